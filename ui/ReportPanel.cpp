// The report view wired to the session's report job.
#include "ui/ReportPanel.h"

#include "ui/Layout.h"

#include <QDateTime>
#include <QPushButton>
#include <QTreeWidget>

namespace velmoro {

ReportPanel::ReportPanel(ReportView* view, AppState& state, DiagSession& session,
                         ShowMessageFn showMessage, std::function<QString()> ecuInfoText)
    : view_(view), state_(state), session_(session), showMessage_(std::move(showMessage)),
      ecuInfoText_(std::move(ecuInfoText))
{
    connect(view_->readButton, &QPushButton::clicked, this, &ReportPanel::Read);
    connect(view_->saveButton, &QPushButton::clicked, this, &ReportPanel::Save);
    // The job fills the report on the session's thread; the list follows on this one.
    session_.report().changed = [this](ReportChange change, int line) {
        QMetaObject::invokeMethod(
            this, [this, change, line] { Mirror(change, line); }, Qt::QueuedConnection);
    };
}

ReportPanel::~ReportPanel()
{
    session_.report().changed = nullptr;
}

void ReportPanel::ApplyTexts()
{
    LanguageTexts& t = state_.texts;
    view_->readButton->setText(t.Text(session_.report().Building() ? QStringLiteral("Report_5")
                                                                   : QStringLiteral("Report_2")));
    view_->saveButton->setText(t.Text(QStringLiteral("Report_3")));
}

void ReportPanel::Read()
{
    if (!session_.buildReport(ecuInfoText_(), state_.choosers[0].entries))
        return;
    view_->saveButton->setEnabled(false);
    view_->readButton->setText(state_.texts.Text(QStringLiteral("Report_5")));
    view_->list->setFocus();
}

void ReportPanel::JobDone()
{
    const bool kept = session_.report().FinishBuild();
    if (!kept) {
        view_->list->clear(); // a cancelled report is discarded at once
    } else {
        view_->saveButton->setEnabled(true);
        if (QTreeWidgetItem* first = view_->list->topLevelItem(0))
            view_->list->setCurrentItem(first);
    }
    view_->list->setFocus();
    view_->readButton->setText(state_.texts.Text(QStringLiteral("Report_2")));
}

void ReportPanel::Save()
{
    const bool saved = SaveReport(session_.report(), state_.paths, QDateTime::currentDateTime());
    showMessage_(kWindowTitle, state_.texts.Text(saved ? QStringLiteral("Report_61")
                                                       : QStringLiteral("Report_62")));
    if (QTreeWidgetItem* first = view_->list->topLevelItem(0))
        view_->list->setCurrentItem(first);
    view_->list->setFocus();
}

void ReportPanel::Mirror(ReportChange change, int line)
{
    QTreeWidget* tree = view_->list;
    ReportList& report = session_.report();
    auto fill = [](QTreeWidgetItem* item, const ReportLine& data) {
        for (int c = 0; c < 4; ++c)
            item->setText(c, data.columns[c]);
        item->setData(0, Qt::UserRole, data.kind);
    };
    const int count = report.Count();
    if (change == ReportChange::Cleared)
        tree->clear();
    // The queued notifications may lag behind the list: bring the tree up to the list's size,
    // then refresh the line named.
    while (tree->topLevelItemCount() > count)
        delete tree->takeTopLevelItem(tree->topLevelItemCount() - 1);
    for (int i = tree->topLevelItemCount(); i < count; ++i)
        fill(new QTreeWidgetItem(tree), report.Line(i));
    if (line >= 0 && line < count) {
        QTreeWidgetItem* item = tree->topLevelItem(line);
        fill(item, report.Line(line));
        if (change == ReportChange::Selected || change == ReportChange::Added) {
            tree->setCurrentItem(item);
            tree->scrollToItem(item);
        }
    }
}

} // namespace velmoro
