// The window-size procedure: the window-size window is dragged to the wanted size, the ratio is
// WindowScale.
#pragma once

#include <QFont>
#include <QString>
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace velmoro {

class LanguageTexts;

constexpr int kScaleBaseWidth = 800;
constexpr int kScaleBaseHeight = 540;

// The smaller of width / 800 and height / 540.
float WindowScaleFromSize(int width, int height);

// The window-size window: minimum 800 x 540, no close button, text Settings_14 and button View_52
// kept centred (integer halving) on every resize.
class WindowScaleDialog : public QWidget {
    Q_OBJECT
public:
    WindowScaleDialog(LanguageTexts& texts, const QFont& bigFont);

    int LastWidth() const { return lastWidth_; }
    int LastHeight() const { return lastHeight_; }
    bool Done() const { return done_; }
    float Result() const { return WindowScaleFromSize(lastWidth_, lastHeight_); }
    QLabel* Text() const { return text_; }
    QPushButton* Button() const { return button_; }

signals:
    void finished();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* text_ = nullptr;
    QPushButton* button_ = nullptr;
    int lastWidth_ = kScaleBaseWidth;
    int lastHeight_ = kScaleBaseHeight;
    bool done_ = false;
};

// Hides and disables mainWindow (may be null), shows the window-size window centred on the screen,
// waits for its button, closes it, shows and enables mainWindow again and returns the factor (1.0
// without resizing). onOpened, if set, is called once the window is shown (tests drive it from
// there).
float AskWindowScale(LanguageTexts& texts, QWidget* mainWindow, const QFont& bigFont,
                     const std::function<void(WindowScaleDialog&)>& onOpened = {});

} // namespace velmoro
