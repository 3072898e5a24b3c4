// The main window's views: show/hide rules, choosers, the refresh loop, the survey, the faults,
// the actors and the report.
#include "ui/MainWindow.h"

#include "ecu/RefreshCycle.h"
#include "output/Report.h"
#include "output/Survey.h"
#include "ui/DiagramWindow.h"
#include "ui/Layout.h"
#include "ui/Views.h"

#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

namespace velmoro {

void MainWindow::WireViews()
{
    for (int r = 0; r < 8; ++r)
        connect(measurements_->choosers[r], qOverload<int>(&QComboBox::activated), this,
                [this, r](int entry) { OnChooserPicked(r, entry); });
    connect(measurements_->readAllButton, &QPushButton::clicked, this, &MainWindow::OnReadAll);
    connect(faults_->readButton, &QPushButton::clicked, this, [this] { RunFaultOperation(false); });
    connect(faults_->clearButton, &QPushButton::clicked, this, [this] { RunFaultOperation(true); });
    connect(report_->readButton, &QPushButton::clicked, this, &MainWindow::OnReportRead);
    connect(report_->saveButton, &QPushButton::clicked, this, &MainWindow::OnReportSave);
    connect(diagram_, &DiagramWindow::closeRequested, this, [this] { PostMenu(ItemDiagram); });

    procedureTimer_ = new QTimer(this);
    selfLearningTimer_ = new QTimer(this);
    connect(procedureTimer_, &QTimer::timeout, this,
            [this] { actorsController_->Tick(kProcedureTimer); });
    connect(selfLearningTimer_, &QTimer::timeout, this,
            [this] { actorsController_->Tick(kSelfLearningTimer); });

    ActorsCallbacks callbacks;
    callbacks.showMessage = [this](const QString& text) { ShowMessage(kWindowTitle, text); };
    callbacks.startTimer = [this](int id, int periodMs) {
        QTimer* timer = id == kProcedureTimer ? procedureTimer_ : selfLearningTimer_;
        timer->start(periodMs);
    };
    callbacks.stopTimer = [this](int id) {
        (id == kProcedureTimer ? procedureTimer_ : selfLearningTimer_)->stop();
    };
    callbacks.disconnect = [this] { session_->disconnectLink(); };
    callbacks.runJob = [this](std::function<void()> work) {
        session_->startAction(std::move(work));
    };
    callbacks.postToCaller = [this](std::function<void()> then) {
        QMetaObject::invokeMethod(this, std::move(then), Qt::QueuedConnection);
    };
    callbacks.quit = [this] {
        state_.flags.quitFlag = 1;
        QMetaObject::invokeMethod(
            this, [this] { StopAll(); }, Qt::QueuedConnection);
    };
    callbacks.setListEnabled = [this](bool enabled) { actors_->list->setEnabled(enabled); };
    callbacks.setButton = [this](const QString& text, bool enabled) {
        actors_->startButton->setText(text);
        actors_->startButton->setEnabled(enabled);
    };
    actorsController_ = std::make_unique<ActorsController>(state_, std::move(callbacks));
    connect(actors_->list, &QListWidget::currentRowChanged, this, [this](int row) {
        QListWidgetItem* item = row >= 0 ? actors_->list->item(row) : nullptr;
        actorsController_->Select(item ? item->data(Qt::UserRole).toInt() : -1);
    });
    connect(actors_->startButton, &QPushButton::clicked, this,
            [this] { actorsController_->Press(); });
}

// ---- show / hide ----

void MainWindow::ShowView(int id)
{
    switch (id) {
    case ItemMeasurements:
        ShowFaults(false);
        ShowDiagram(false);
        ShowActors(false);
        ShowCoTrim(false);
        ShowReport(false);
        ShowMeasurements(true);
        if (state_.viewMode != ViewMeasurements) {
            state_.viewMode = ViewMeasurements;
            session_->setMeasurementsShown(true);
        }
        break;
    case ItemFaults:
        state_.viewMode = ViewFaults;
        ShowMeasurements(false);
        ShowDiagram(false);
        ShowActors(false);
        ShowCoTrim(false);
        ShowFaults(true);
        ShowReport(false);
        break;
    case ItemActors:
        state_.viewMode = ViewActors;
        ShowMeasurements(false);
        ShowFaults(false);
        ShowDiagram(false);
        ShowCoTrim(false);
        ShowActors(true);
        ShowReport(false);
        break;
    case ItemCoTrim:
        state_.viewMode = ViewCoTrim;
        ShowMeasurements(false);
        ShowFaults(false);
        ShowDiagram(false);
        ShowActors(false);
        ShowCoTrim(true);
        ShowReport(false);
        break;
    case ItemReport:
        state_.viewMode = ViewReport;
        ShowMeasurements(false);
        ShowFaults(false);
        ShowDiagram(false);
        ShowActors(false);
        ShowCoTrim(false);
        ShowReport(true);
        break;
    default:
        break;
    }
}

void MainWindow::ShowMeasurements(bool show)
{
    if (!show) {
        // The pass (or survey step) in progress ends and shows nothing; no other starts.
        session_->setMeasurementsShown(false);
        items_[ItemDiagram]->setEnabled(false);
        for (QProgressBar* bar : measurements_->bars)
            bar->hide();
        measurements_->hide();
    } else {
        items_[ItemDiagram]->setEnabled(true);
        const bool raw = state_.settings.debug == 1;
        for (QLabel* label : measurements_->rawTexts)
            label->setVisible(raw);
        measurements_->show();
        if (quickMenuShown_)
            SetHeaderGadgetsVisible(false);
    }
    items_[ItemMeasurements]->setChecked(show);
}

void MainWindow::ShowFaults(bool show)
{
    if (show) {
        state_.faults.Clear();
        faults_->newList->clear();
        faults_->storedList->clear();
        const bool stored = state_.ecu && state_.ecu->hasStoredFaults();
        faults_->storedCaption->setVisible(stored);
        faults_->storedList->setVisible(stored);
        faults_->clearButton->setVisible(stored && !quickMenuShown_);
        faults_->readButton->setVisible(!quickMenuShown_);
    }
    faults_->setVisible(show);
    items_[ItemFaults]->setChecked(show);
}

void MainWindow::ShowActors(bool show)
{
    actors_->setVisible(show);
    items_[ItemActors]->setChecked(show);
}

void MainWindow::ShowReport(bool show)
{
    report_->setVisible(show);
    items_[ItemReport]->setChecked(show);
}

void MainWindow::ShowCoTrim(bool show)
{
    coTrim_->setVisible(show);
    items_[ItemCoTrim]->setChecked(show);
}

void MainWindow::ShowDiagram(bool show)
{
    diagram_->setVisible(show);
    items_[ItemDiagram]->setChecked(show);
}

// ---- choosers and the actors list ----

void MainWindow::MirrorChoosers()
{
    for (int r = 0; r < 8; ++r) {
        QComboBox* box = measurements_->choosers[r];
        const ValueChooser& chooser = state_.choosers[r];
        const QSignalBlocker block(box);
        box->clear();
        for (const ChooserEntry& entry : chooser.entries)
            box->addItem(entry.text, entry.itemData);
        box->setCurrentIndex(chooser.selected);
        // A named row shows "----" until its first read; an empty row shows nothing.
        if (state_.rows[r].valueIndex > 0 && measurements_->valueTexts[r]->text().isEmpty())
            measurements_->valueTexts[r]->setText(QStringLiteral("----"));
        else if (state_.rows[r].valueIndex == 0)
            measurements_->valueTexts[r]->clear();
    }
}

QStringList MainWindow::ChooserTexts() const
{
    QStringList texts;
    for (QComboBox* box : measurements_->choosers)
        texts << box->currentText();
    return texts;
}

void MainWindow::OnChooserPicked(int chooser, int entry)
{
    const int index = ChooseValue(state_, chooser, entry);
    session_->chooseValue(chooser, index);
    if (index == 0) {
        measurements_->bars[chooser]->hide();
        measurements_->valueTexts[chooser]->clear();
        measurements_->rawTexts[chooser]->clear();
    } else if (!session_->workerAlive()) {
        measurements_->valueTexts[chooser]->setText(QStringLiteral("----"));
    }
}

void MainWindow::FillActorsList()
{
    QListWidget* list = actors_->list;
    const QSignalBlocker block(list);
    list->clear();
    auto addLine = [list](const QString& text, int data) {
        auto* item = new QListWidgetItem(text, list);
        item->setData(Qt::UserRole, data);
    };
    addLine(state_.texts.Text(QStringLiteral("Status_12")), -1);
    for (const ActionEntry& entry : state_.actions)
        if (entry.group == 1)
            addLine(QStringLiteral("    ") + entry.text, entry.position);
    bool headed = false;
    for (const ActionEntry& entry : state_.actions) {
        if (entry.group != 0)
            continue;
        if (!headed) {
            addLine(state_.texts.Text(QStringLiteral("Status_11")), -1);
            headed = true;
        }
        addLine(QStringLiteral("    ") + entry.text, entry.position);
    }
    list->setCurrentRow(list->count() > 1 ? 1 : -1);
    QListWidgetItem* item = list->currentItem();
    actorsController_->Select(item ? item->data(Qt::UserRole).toInt() : -1);
}

// ---- values ----

void MainWindow::DisplayRows(const RowsSnapshot& rows)
{
    // A pass that ended before the link went down may arrive after it did: the dashes stay.
    if (state_.viewMode != ViewMeasurements || stopped_ || !linkActive_)
        return;
    const bool raw = state_.settings.debug == 1;
    for (int r = 0; r < kDisplayRows; ++r) {
        const MeasurementRow& row = rows[r];
        if (row.valueIndex == 0)
            continue;
        const RowDisplay shown = DisplayRow(row);
        measurements_->valueTexts[r]->setText(shown.valueText);
        if (raw)
            measurements_->rawTexts[r]->setText(shown.rawText);
        QProgressBar* bar = measurements_->bars[r];
        if (shown.barVisible) {
            bar->setRange(shown.barMin, shown.barMax);
            bar->setValue(shown.barValue);
            bar->show();
        } else {
            bar->hide();
        }
    }
    if (state_.ecu && state_.ecu->hasEngineStatus())
        measurements_->statusText->setText(rows[kEngineStatusRow].valueText);
    diagram_->DiagramStep(rows, ChooserTexts());
}

// ---- read-all survey ----

void MainWindow::OnReadAll()
{
    LanguageTexts& t = state_.texts;
    const QString lf = QStringLiteral("\n");
    ShowMessage(QStringLiteral("Info"), t.Text(QStringLiteral("ReadAll_1")) + lf +
                                            t.Text(QStringLiteral("ReadAll_2")) + lf + lf +
                                            t.Text(QStringLiteral("ReadAll_3")) + lf + lf +
                                            t.Text(QStringLiteral("ReadAll_4")));
    measurements_->readAllButton->setEnabled(false);
    // The steps run between passes while the measurements are shown.
    session_->startSurvey();
}

void MainWindow::OnSurveyStep(int counter)
{
    measurements_->readAllButton->setText(SurveyButtonText(state_.texts, counter));
}

void MainWindow::OnSurveyFinished()
{
    measurements_->readAllButton->setText(state_.texts.Text(QStringLiteral("View_12")));
    measurements_->readAllButton->setEnabled(linkActive_);
}

// ---- faults ----

void MainWindow::RunFaultOperation(bool clear)
{
    if (!state_.ecu || faultsBusy_)
        return;
    if (!clear) {
        state_.faults.Clear();
        faults_->newList->clear();
        faults_->storedList->clear();
    }
    faultsBusy_ = true;
    SetFaultButtonsDisabled(faultButtonsDisabled_);
    if (clear)
        session_->clearFaults();
    else
        session_->readFaults();
}

void MainWindow::MirrorFaults()
{
    faults_->newList->clear();
    faults_->newList->addItems(state_.faults.Current());
    faults_->storedList->clear();
    faults_->storedList->addItems(state_.faults.Stored());
}

// ---- report ----

void MainWindow::OnReportRead()
{
    const QString info = measurements_->ecuInfoText->toPlainText();
    if (!session_->buildReport(info))
        return;
    report_->saveButton->setEnabled(false);
    report_->readButton->setText(state_.texts.Text(QStringLiteral("Report_5")));
    report_->list->setFocus();
}

void MainWindow::OnReportDone()
{
    const bool kept = session_->report().FinishBuild();
    if (!kept) {
        report_->list->clear(); // a cancelled report is discarded at once
    } else {
        report_->saveButton->setEnabled(true);
        if (QTreeWidgetItem* first = report_->list->topLevelItem(0))
            report_->list->setCurrentItem(first);
    }
    report_->list->setFocus();
    report_->readButton->setText(state_.texts.Text(QStringLiteral("Report_2")));
}

void MainWindow::OnReportSave()
{
    const bool saved = SaveReport(session_->report(), state_.paths, QDateTime::currentDateTime());
    ShowMessage(kWindowTitle, state_.texts.Text(saved ? QStringLiteral("Report_61")
                                                      : QStringLiteral("Report_62")));
    if (QTreeWidgetItem* first = report_->list->topLevelItem(0))
        report_->list->setCurrentItem(first);
    report_->list->setFocus();
}

void MainWindow::MirrorReport(ReportChange change, int line)
{
    QTreeWidget* tree = report_->list;
    auto fill = [](QTreeWidgetItem* item, const ReportLine& data) {
        for (int c = 0; c < 4; ++c)
            item->setText(c, data.columns[c]);
        item->setData(0, Qt::UserRole, data.kind);
    };
    const int count = session_->report().Count();
    if (change == ReportChange::Cleared)
        tree->clear();
    // The queued notifications may lag behind the list: bring the tree up to the list's size,
    // then refresh the line named.
    while (tree->topLevelItemCount() > count)
        delete tree->takeTopLevelItem(tree->topLevelItemCount() - 1);
    for (int i = tree->topLevelItemCount(); i < count; ++i)
        fill(new QTreeWidgetItem(tree), session_->report().Line(i));
    if (line >= 0 && line < count) {
        QTreeWidgetItem* item = tree->topLevelItem(line);
        fill(item, session_->report().Line(line));
        if (change == ReportChange::Selected || change == ReportChange::Added) {
            tree->setCurrentItem(item);
            tree->scrollToItem(item);
        }
    }
}

} // namespace velmoro
