// The diagram window: plot stepping on an off-screen picture, legends, Copy/Save/Clear.
#include "ui/DiagramWindow.h"

#include "config/LanguageTexts.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <cstring>

namespace velmoro {

namespace {

const QString kWindowTitle = QStringLiteral("VelmoroCanDiag V0.02");
const QString kNoValue = QStringLiteral("----");

} // namespace

QColor DiagramCurveColour(int i)
{
    static const std::array<QColor, kDiagramCurves> colours{
        QColor(0, 0, 0),     QColor(0, 0, 255),   QColor(0, 255, 0),   QColor(255, 0, 0),
        QColor(0, 255, 255), QColor(255, 127, 0), QColor(255, 0, 255), QColor(127, 127, 127)};
    return colours[static_cast<std::size_t>(i)];
}

QImage NewPlotImage()
{
    QImage plot(kPlotWidth, kPlotHeight, QImage::Format_RGB32);
    plot.fill(Qt::white);
    return plot;
}

void DiagramStepOnImage(QImage& plot, std::array<int, kDiagramCurves>& lastLevels,
                        const std::array<MeasurementRow, 9>& rows, const QStringList& chooserTexts,
                        std::array<QString, kDiagramCurves>& legends)
{
    const int keep = kPlotWidth - kPlotScrollPx; // 545
    // Scroll row by row in memory: a painter drawing the picture onto itself is undefined.
    for (int y = 0; y < plot.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(plot.scanLine(y));
        std::memmove(line, line + kPlotScrollPx, static_cast<std::size_t>(keep) * sizeof(QRgb));
    }
    QPainter painter(&plot);
    painter.fillRect(keep, 0, kPlotScrollPx, kPlotHeight, Qt::white);
    painter.setPen(Qt::black);
    painter.drawLine(keep, kPlotZeroY, kPlotWidth, kPlotZeroY);
    painter.drawLine(kPlotWidth - 1, kPlotZeroY + 3, kPlotWidth - 1, kPlotZeroY - 3);
    for (int i = 0; i < kDiagramCurves; ++i) {
        const int level = rows[static_cast<std::size_t>(i)].graphLevel;
        auto& last = lastLevels[static_cast<std::size_t>(i)];
        auto& legend = legends[static_cast<std::size_t>(i)];
        if (level == kNoGraphLevel) {
            legend = kNoValue;
            continue;
        }
        painter.setPen(DiagramCurveColour(i));
        painter.drawLine(keep - 1, kPlotZeroY - last, kPlotWidth - 1, kPlotZeroY - level);
        last = level;
        legend = i < chooserTexts.size() ? chooserTexts[i] : QString();
    }
}

QString DiagramBmpFileName(const QString& chosen)
{
    if (chosen.isEmpty())
        return {};
    if (chosen.endsWith(QStringLiteral(".bmp"), Qt::CaseSensitive))
        return chosen;
    return chosen + QStringLiteral(".bmp");
}

bool SaveDiagramBmp(const QImage& plot, const QString& path)
{
    return !path.isEmpty() && plot.save(path, "BMP");
}

DiagramWindow::DiagramWindow(QWidget* owner, const QString& programDirectory)
    : QWidget(owner, Qt::Window), programDirectory_(programDirectory), plot_(NewPlotImage())
{
    setWindowTitle(kWindowTitle);
    setFixedSize(760, 500);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(204, 0, 0));
    setPalette(pal);

    plotLabel_ = new QLabel(this);
    plotLabel_->setGeometry(180, 30, kPlotWidth, kPlotHeight);
    for (int i = 0; i < kDiagramCurves; ++i) {
        auto* legend = new QLabel(this);
        legend->setGeometry(10, 30 + 35 * i, 160, 25);
        legend->setAlignment(Qt::AlignCenter);
        legend->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        legend->setAutoFillBackground(true);
        QPalette lp = legend->palette();
        lp.setColor(QPalette::Window, Qt::white);
        lp.setColor(QPalette::WindowText, DiagramCurveColour(i));
        legend->setPalette(lp);
        legendLabels_[static_cast<std::size_t>(i)] = legend;
    }
    copyButton_ = new QPushButton(this);
    copyButton_->setGeometry(200, 400, 100, 40);
    saveButton_ = new QPushButton(this);
    saveButton_->setGeometry(320, 400, 100, 40);
    clearButton_ = new QPushButton(this);
    clearButton_->setGeometry(440, 400, 100, 40);
    connect(copyButton_, &QPushButton::clicked, this, &DiagramWindow::Copy);
    connect(saveButton_, &QPushButton::clicked, this, &DiagramWindow::Save);
    connect(clearButton_, &QPushButton::clicked, this, &DiagramWindow::Clear);
    ShowPlot();
    hide();
}

void DiagramWindow::DiagramStep(const std::array<MeasurementRow, 9>& rows,
                                const QStringList& chooserTexts)
{
    DiagramStepOnImage(plot_, lastLevels_, rows, chooserTexts, legends_);
    for (int i = 0; i < kDiagramCurves; ++i)
        legendLabels_[static_cast<std::size_t>(i)]->setText(legends_[static_cast<std::size_t>(i)]);
    ShowPlot();
}

void DiagramWindow::ApplyTexts(LanguageTexts& texts)
{
    copyButton_->setText(texts.Text(QStringLiteral("View_32")));
    saveButton_->setText(texts.Text(QStringLiteral("View_33")));
    clearButton_->setText(texts.Text(QStringLiteral("View_34")));
}

void DiagramWindow::Copy()
{
    QApplication::clipboard()->setImage(plot_);
}

bool DiagramWindow::Save()
{
    const QString title = QStringLiteral("Diagram abspeichern");
    const QString filter = QStringLiteral("Bild (*.bmp)");
    const QString chosen =
        askSaveFileName ? askSaveFileName(this, title, programDirectory_, filter)
                        : QFileDialog::getSaveFileName(this, title, programDirectory_, filter);
    const QString path = DiagramBmpFileName(chosen);
    return SaveDiagramBmp(plot_, path);
}

void DiagramWindow::Clear()
{
    plot_.fill(Qt::white);
    ShowPlot();
}

QString DiagramWindow::LegendText(int i) const
{
    return legendLabels_[static_cast<std::size_t>(i)]->text();
}

void DiagramWindow::closeEvent(QCloseEvent* event)
{
    // The window lives as long as the main window; the shell hides it and clears the check.
    event->ignore();
    emit closeRequested();
}

void DiagramWindow::showEvent(QShowEvent* event)
{
    if (!centred_) {
        centred_ = true;
        const QWidget* owner = parentWidget();
        const QRect area =
            owner ? owner->frameGeometry() : (screen() ? screen()->availableGeometry() : QRect());
        if (area.isValid())
            move(area.center() - QPoint(width() / 2, height() / 2));
    }
    QWidget::showEvent(event);
}

void DiagramWindow::ShowPlot()
{
    plotLabel_->setPixmap(QPixmap::fromImage(plot_));
}

} // namespace velmoro
