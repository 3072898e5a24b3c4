// The gadgets of the five views of the main window, each view one transparent panel over the
// client area that is shown or hidden as a group.
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <functional>

class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace velmoro {

// The window's message box: title and text; returns once the box is closed.
using ShowMessageFn = std::function<void(const QString& title, const QString& text)>;

struct ViewFonts {
    QFont big;
    QFont normal;
};

// The measurements view: eight value rows, the engine status, the ECU information and the Read all
// button.
class MeasurementsView : public QWidget {
    Q_OBJECT
public:
    MeasurementsView(QWidget* parent, float scale, const ViewFonts& fonts);

    std::array<QComboBox*, 8> choosers{};
    std::array<QLabel*, 8> valueTexts{};
    std::array<QLabel*, 8> rawTexts{};
    std::array<QProgressBar*, 8> bars{};
    QLabel* statusCaption = nullptr;
    QLabel* statusText = nullptr;
    QLabel* ecuInfoCaption = nullptr;
    QPlainTextEdit* ecuInfoText = nullptr;
    QPushButton* readAllButton = nullptr;
};

// The faults view: new and stored faults with Read and Clear.
class FaultsView : public QWidget {
    Q_OBJECT
public:
    FaultsView(QWidget* parent, float scale);

    QLabel* newCaption = nullptr;
    QListWidget* newList = nullptr;
    QLabel* storedCaption = nullptr;
    QListWidget* storedList = nullptr;
    QPushButton* readButton = nullptr;
    QPushButton* clearButton = nullptr;
};

// The actors view: the actors list and its Start/Stop button.
class ActorsView : public QWidget {
    Q_OBJECT
public:
    ActorsView(QWidget* parent, float scale, const ViewFonts& fonts);

    QListWidget* list = nullptr;
    QPushButton* startButton = nullptr;
};

// The CO Trim view: built with its gadgets, never shown (no family offers the operation).
class CoTrimView : public QWidget {
    Q_OBJECT
public:
    CoTrimView(QWidget* parent, float scale, const ViewFonts& fonts);

    QPushButton* minusButton = nullptr;
    QLabel* valueText = nullptr;
    QPushButton* plusButton = nullptr;
    QPushButton* startButton = nullptr;
};

// The report view: the report list with Read/Cancel and Save.
class ReportView : public QWidget {
    Q_OBJECT
public:
    ReportView(QWidget* parent, float scale);

    QTreeWidget* list = nullptr;
    QPushButton* readButton = nullptr;
    QPushButton* saveButton = nullptr;
};

} // namespace velmoro
