// The measurement view wired to the session: choosers, rows, survey button.
#include "ui/MeasurementsPanel.h"

#include "ecu/RefreshCycle.h"
#include "output/Survey.h"
#include "ui/DiagramWindow.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

namespace velmoro {

MeasurementsPanel::MeasurementsPanel(MeasurementsView* view, DiagramWindow* diagram,
                                     AppState& state, DiagSession& session,
                                     ShowMessageFn showMessage)
    : view_(view), diagram_(diagram), state_(state), session_(session),
      showMessage_(std::move(showMessage))
{
    for (int r = 0; r < 8; ++r)
        connect(view_->choosers[r], qOverload<int>(&QComboBox::activated), this,
                [this, r](int entry) { ChooserPicked(r, entry); });
    connect(view_->readAllButton, &QPushButton::clicked, this, &MeasurementsPanel::ReadAll);
}

void MeasurementsPanel::ApplyTexts()
{
    LanguageTexts& t = state_.texts;
    view_->ecuInfoCaption->setText(t.Text(QStringLiteral("View_11")));
    view_->readAllButton->setText(t.Text(QStringLiteral("View_12")));
    view_->statusCaption->setText(t.Text(QStringLiteral("Value_13")));
}

void MeasurementsPanel::MirrorChoosers()
{
    for (int r = 0; r < 8; ++r) {
        QComboBox* box = view_->choosers[r];
        const ValueChooser& chooser = state_.choosers[r];
        const QSignalBlocker block(box);
        box->clear();
        for (const ChooserEntry& entry : chooser.entries)
            box->addItem(entry.text, entry.itemData);
        box->setCurrentIndex(chooser.selected);
        // A named row shows "----" until its first read; an empty row shows nothing.
        if (state_.rows[r].valueIndex > 0 && view_->valueTexts[r]->text().isEmpty())
            view_->valueTexts[r]->setText(QStringLiteral("----"));
        else if (state_.rows[r].valueIndex == 0)
            view_->valueTexts[r]->clear();
    }
}

QStringList MeasurementsPanel::ChooserTexts() const
{
    QStringList texts;
    for (QComboBox* box : view_->choosers)
        texts << box->currentText();
    return texts;
}

void MeasurementsPanel::SetEcuInfoText(const QString& text)
{
    view_->ecuInfoText->setPlainText(text);
}

QString MeasurementsPanel::EcuInfoText() const
{
    return view_->ecuInfoText->toPlainText();
}

void MeasurementsPanel::Show(bool show)
{
    if (!show) {
        for (QProgressBar* bar : view_->bars)
            bar->hide();
        view_->hide();
        return;
    }
    const bool raw = state_.settings.debug == 1;
    for (QLabel* label : view_->rawTexts)
        label->setVisible(raw);
    view_->show();
}

void MeasurementsPanel::SetHeaderVisible(bool visible)
{
    view_->ecuInfoCaption->setVisible(visible);
    view_->ecuInfoText->setVisible(visible);
    view_->readAllButton->setVisible(visible);
}

void MeasurementsPanel::ChooserPicked(int chooser, int entry)
{
    const int index = ChooseValue(state_, chooser, entry);
    session_.chooseValue(chooser, index);
    if (index == 0) {
        view_->bars[chooser]->hide();
        view_->valueTexts[chooser]->clear();
        view_->rawTexts[chooser]->clear();
    } else if (!session_.workerAlive()) {
        view_->valueTexts[chooser]->setText(QStringLiteral("----"));
    }
}

void MeasurementsPanel::DisplayRows(const RowsSnapshot& rows)
{
    const bool raw = state_.settings.debug == 1;
    for (int r = 0; r < kDisplayRows; ++r) {
        const MeasurementRow& row = rows[r];
        if (row.valueIndex == 0)
            continue;
        const RowDisplay shown = DisplayRow(row);
        view_->valueTexts[r]->setText(shown.valueText);
        if (raw)
            view_->rawTexts[r]->setText(shown.rawText);
        QProgressBar* bar = view_->bars[r];
        if (shown.barVisible) {
            bar->setRange(shown.barMin, shown.barMax);
            bar->setValue(shown.barValue);
            bar->show();
        } else {
            bar->hide();
        }
    }
    const std::shared_ptr<const Ecu> family = session_.family();
    if (family && family->hasEngineStatus())
        view_->statusText->setText(rows[kEngineStatusRow].valueText);
    diagram_->DiagramStep(rows, ChooserTexts());
}

void MeasurementsPanel::LinkUp()
{
    view_->readAllButton->setEnabled(true);
}

void MeasurementsPanel::LinkGoingDown()
{
    view_->readAllButton->setEnabled(false);
    for (int r = 0; r < kDisplayRows; ++r) {
        if (state_.rows[r].valueIndex > 0) {
            view_->valueTexts[r]->setText(QStringLiteral("----"));
            view_->rawTexts[r]->clear();
            view_->bars[r]->setValue(0);
        }
    }
    if (!view_->statusText->text().isEmpty())
        view_->statusText->clear();
}

void MeasurementsPanel::ReadAll()
{
    LanguageTexts& t = state_.texts;
    const QString lf = QStringLiteral("\n");
    showMessage_(QStringLiteral("Info"), t.Text(QStringLiteral("ReadAll_1")) + lf +
                                             t.Text(QStringLiteral("ReadAll_2")) + lf + lf +
                                             t.Text(QStringLiteral("ReadAll_3")) + lf + lf +
                                             t.Text(QStringLiteral("ReadAll_4")));
    view_->readAllButton->setEnabled(false);
    // The steps run between passes while the measurements are shown.
    session_.startSurvey();
}

void MeasurementsPanel::SurveyStep(int counter)
{
    view_->readAllButton->setText(SurveyButtonText(state_.texts, counter));
}

void MeasurementsPanel::SurveyFinished(bool linkActive)
{
    view_->readAllButton->setText(state_.texts.Text(QStringLiteral("View_12")));
    view_->readAllButton->setEnabled(linkActive);
}

} // namespace velmoro
