// The diagram window: a scrolling plot of the eight measured values, legends, Copy/Save/Clear.
#pragma once

#include "values/MeasurementRow.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>

class QLabel;
class QPushButton;

namespace velmoro {

class LanguageTexts;

constexpr int kPlotWidth = 550;
constexpr int kPlotHeight = 320;
constexpr int kPlotZeroY = 200; // a level L is drawn at y = kPlotZeroY - L
constexpr int kPlotScrollPx = 5;
constexpr int kDiagramCurves = 8;

// Curve colour of row i (0..7).
QColor DiagramCurveColour(int i);

// A fresh plot picture: 550 x 320, white.
QImage NewPlotImage();

// One diagram step on the picture: scroll 5 px left, blank the new strip, draw the zero line
// piece and tick, then per row either a line from the row's last level to its graphLevel in its
// curve colour (lastLevels updated) or, for kNoGraphLevel, nothing. legends[i] becomes "----" or
// chooserTexts[i] (empty when the list is shorter).
void DiagramStepOnImage(QImage& plot, std::array<int, kDiagramCurves>& lastLevels,
                        const std::array<MeasurementRow, 9>& rows, const QStringList& chooserTexts,
                        std::array<QString, kDiagramCurves>& legends);

// The name a chosen save-file name is written under: ".bmp" is appended unless the name ends in
// exactly ".bmp" (so "x.BMP" becomes "x.BMP.bmp"); an empty name stays empty (nothing to save).
QString DiagramBmpFileName(const QString& chosen);

// Writes the picture as a Windows bitmap; false when the file could not be written.
bool SaveDiagramBmp(const QImage& plot, const QString& path);

// The diagram window. Owned by the main window (a separate top-level window with it as parent),
// created hidden, centred on the owner when first shown. The title-bar close does not close the
// window: it emits closeRequested() and the shell hides it and clears the menu check mark.
class DiagramWindow : public QWidget {
    Q_OBJECT
public:
    DiagramWindow(QWidget* owner, const QString& programDirectory);

    // Run once per finished measurement pass, shown or not.
    void DiagramStep(const std::array<MeasurementRow, 9>& rows, const QStringList& chooserTexts);

    // Button captions View_32 (Copy), View_33 (Save), View_34 (Clear).
    void ApplyTexts(LanguageTexts& texts);

    void Copy(); // the plot picture onto the clipboard
    // Asks for a name and writes a Windows bitmap; false when cancelled or not written.
    bool Save();
    void Clear(); // white picture; the last levels stay

    // Replaces the save-file dialog (tests). Arguments: parent, title, start directory, filter;
    // returns the chosen name or empty when cancelled.
    std::function<QString(QWidget*, const QString&, const QString&, const QString&)>
        askSaveFileName;

    const QImage& PlotImage() const { return plot_; }
    QString LegendText(int i) const;
    const std::array<int, kDiagramCurves>& LastLevels() const { return lastLevels_; }
    QPushButton* CopyButton() const { return copyButton_; }
    QPushButton* SaveButton() const { return saveButton_; }
    QPushButton* ClearButton() const { return clearButton_; }

signals:
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ShowPlot();

    QString programDirectory_;
    QImage plot_;
    std::array<int, kDiagramCurves> lastLevels_{};
    std::array<QString, kDiagramCurves> legends_;
    QLabel* plotLabel_ = nullptr;
    std::array<QLabel*, kDiagramCurves> legendLabels_{};
    QPushButton* copyButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    bool centred_ = false;
};

} // namespace velmoro
