// The window of the window-size procedure and the procedure itself.
#include "ui/WindowScaleDialog.h"

#include "config/LanguageTexts.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <algorithm>

namespace velmoro {

float WindowScaleFromSize(int width, int height)
{
    return std::min(static_cast<float>(width) / kScaleBaseWidth,
                    static_cast<float>(height) / kScaleBaseHeight);
}

WindowScaleDialog::WindowScaleDialog(LanguageTexts& texts, const QFont& bigFont)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowMinMaxButtonsHint)
{
    setWindowTitle(QStringLiteral("VelmoroCanDiag V0.02"));
    setMinimumSize(kScaleBaseWidth, kScaleBaseHeight);
    resize(kScaleBaseWidth, kScaleBaseHeight);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(204, 0, 0));
    setPalette(pal);

    text_ = new QLabel(texts.Text(QStringLiteral("Settings_14")), this);
    text_->setGeometry(0, 180, 800, 40);
    text_->setAlignment(Qt::AlignCenter);
    text_->setFont(bigFont);
    text_->setAutoFillBackground(true);
    text_->setPalette(pal);
    button_ = new QPushButton(texts.Text(QStringLiteral("View_52")), this);
    button_->setGeometry(325, 255, 150, 80);
    button_->setFont(bigFont);
    connect(button_, &QPushButton::clicked, this, [this] {
        done_ = true;
        emit finished();
    });
}

void WindowScaleDialog::resizeEvent(QResizeEvent* event)
{
    lastWidth_ = event->size().width();
    lastHeight_ = event->size().height();
    text_->move(lastWidth_ / 2 - 400, lastHeight_ / 2 - 75);
    button_->move(lastWidth_ / 2 - 75, lastHeight_ / 2 - 15);
    QWidget::resizeEvent(event);
}

void WindowScaleDialog::closeEvent(QCloseEvent* event)
{
    // Only the button ends the procedure (a window manager may still offer a close).
    if (done_)
        event->accept();
    else
        event->ignore();
}

float AskWindowScale(LanguageTexts& texts, QWidget* mainWindow, const QFont& bigFont,
                     const std::function<void(WindowScaleDialog&)>& onOpened)
{
    if (mainWindow) {
        mainWindow->setEnabled(false);
        mainWindow->hide();
    }
    WindowScaleDialog dialog(texts, bigFont);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        dialog.move(area.center() - QPoint(kScaleBaseWidth / 2, kScaleBaseHeight / 2));
    }
    QEventLoop loop;
    QObject::connect(&dialog, &WindowScaleDialog::finished, &loop, &QEventLoop::quit);
    dialog.show();
    if (onOpened)
        onOpened(dialog);
    if (!dialog.Done())
        loop.exec();
    dialog.close();
    if (mainWindow) {
        mainWindow->show();
        mainWindow->setEnabled(true);
    }
    return dialog.Result();
}

} // namespace velmoro
