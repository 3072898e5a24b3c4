// Layout and default states of the views' gadgets at their design positions.
#include "ui/Views.h"

#include "ui/Layout.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

namespace velmoro {

namespace {

void CoverClientArea(QWidget* view, QWidget* parent, float scale)
{
    view->setGeometry(0, 0, Scaled(scale, kDesignWidth), Scaled(scale, kDesignHeight));
    Q_UNUSED(parent);
}

} // namespace

MeasurementsView::MeasurementsView(QWidget* parent, float scale, const ViewFonts& fonts)
    : QWidget(parent)
{
    CoverClientArea(this, parent, scale);
    for (int i = 0; i < 8; ++i) {
        const int column = i % 4;
        const int row = i / 4;
        // The column's 20 pixels are not scaled, its step is.
        const int x = 20 + static_cast<int>(std::lround(155.0 * column * scale));
        const int w = Scaled(scale, 135);
        auto y = [&](int row0, int row1) { return Scaled(scale, row == 0 ? row0 : row1); };

        choosers[i] = new QComboBox(this);
        choosers[i]->setGeometry(x, y(25, 195), w, Scaled(scale, 25));
        choosers[i]->setMaxVisibleItems(25);

        valueTexts[i] = FramedLabel(this);
        valueTexts[i]->setGeometry(x, y(60, 230), w, Scaled(scale, 35));
        valueTexts[i]->setFont(fonts.big);

        rawTexts[i] = FramedLabel(this);
        rawTexts[i]->setFrameStyle(QFrame::NoFrame);
        rawTexts[i]->setGeometry(x, y(100, 270), w, Scaled(scale, 20));
        rawTexts[i]->hide();

        bars[i] = new QProgressBar(this);
        bars[i]->setGeometry(x, y(130, 300), w, Scaled(scale, 20));
        bars[i]->setRange(0, 10000);
        bars[i]->setValue(0);
        bars[i]->setTextVisible(false);
        bars[i]->setStyleSheet(
            QStringLiteral("QProgressBar { background: white; border: 1px solid #606060; }"
                           "QProgressBar::chunk { background: rgb(0, 192, 0); }"));
        bars[i]->hide();
    }

    statusCaption = FramedLabel(this);
    statusCaption->setGeometry(ScaledRect(scale, 650, 27, 130, 20));
    statusText = FramedLabel(this, true, false);
    statusText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    statusText->setGeometry(ScaledRect(scale, 650, 60, 130, 205));
    statusText->setMargin(3);

    ecuInfoCaption = FramedLabel(this);
    ecuInfoCaption->setGeometry(ScaledRect(scale, 20, 340, 220, 20));
    ecuInfoText = new QPlainTextEdit(this);
    ecuInfoText->setGeometry(ScaledRect(scale, 20, 370, 220, 105));
    ecuInfoText->setReadOnly(true);
    ecuInfoText->setFont(fonts.big);
    ecuInfoText->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    readAllButton = new QPushButton(this);
    readAllButton->setGeometry(ScaledRect(scale, 350, 370, 150, 40));
    readAllButton->setEnabled(false);
}

FaultsView::FaultsView(QWidget* parent, float scale) : QWidget(parent)
{
    CoverClientArea(this, parent, scale);
    newCaption = FramedLabel(this);
    newCaption->setGeometry(ScaledRect(scale, 60, 30, 120, 20));
    newList = new QListWidget(this);
    newList->setGeometry(ScaledRect(scale, 200, 30, 400, 150));
    storedCaption = FramedLabel(this);
    storedCaption->setGeometry(ScaledRect(scale, 60, 200, 120, 20));
    storedList = new QListWidget(this);
    storedList->setGeometry(ScaledRect(scale, 200, 200, 400, 150));
    readButton = new QPushButton(this);
    readButton->setGeometry(ScaledRect(scale, 250, 400, 100, 40));
    readButton->setEnabled(false);
    clearButton = new QPushButton(this);
    clearButton->setGeometry(ScaledRect(scale, 450, 400, 100, 40));
    clearButton->setEnabled(false);
}

ActorsView::ActorsView(QWidget* parent, float scale, const ViewFonts& fonts) : QWidget(parent)
{
    CoverClientArea(this, parent, scale);
    list = new QListWidget(this);
    list->setGeometry(ScaledRect(scale, 35, 35, 460, 280));
    list->setFont(fonts.big);
    list->setEnabled(false);
    startButton = new QPushButton(this);
    startButton->setGeometry(ScaledRect(scale, 535, 35, 110, 280));
    startButton->setFont(fonts.big);
    startButton->setEnabled(false);
}

CoTrimView::CoTrimView(QWidget* parent, float scale, const ViewFonts& fonts) : QWidget(parent)
{
    CoverClientArea(this, parent, scale);
    minusButton = new QPushButton(QStringLiteral("-"), this);
    minusButton->setGeometry(ScaledRect(scale, 150, 50, 33, 33));
    minusButton->setFont(fonts.big);
    minusButton->setEnabled(false);
    valueText = FramedLabel(this);
    valueText->setText(QStringLiteral("0"));
    valueText->setGeometry(ScaledRect(scale, 200, 50, 70, 33));
    valueText->setFont(fonts.big);
    plusButton = new QPushButton(QStringLiteral("+"), this);
    plusButton->setGeometry(ScaledRect(scale, 290, 50, 33, 33));
    plusButton->setFont(fonts.big);
    plusButton->setEnabled(false);
    startButton = new QPushButton(this);
    startButton->setGeometry(ScaledRect(scale, 150, 100, 173, 33));
}

ReportView::ReportView(QWidget* parent, float scale) : QWidget(parent)
{
    CoverClientArea(this, parent, scale);
    list = new QTreeWidget(this);
    list->setGeometry(ScaledRect(scale, 35, 35, 650, 300));
    list->setColumnCount(4);
    list->setHeaderLabels({QString(), QString(), QString(), QString()});
    list->setRootIsDecorated(false);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setUniformRowHeights(true);
    const int widths[4] = {150, 250, 100, 50};
    for (int c = 0; c < 4; ++c)
        list->setColumnWidth(c, widths[c]);
    readButton = new QPushButton(this);
    readButton->setGeometry(ScaledRect(scale, 35, 380, 100, 30));
    saveButton = new QPushButton(this);
    saveButton->setGeometry(ScaledRect(scale, 155, 380, 100, 30));
    saveButton->setEnabled(false);
}

} // namespace velmoro
