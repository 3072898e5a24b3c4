// The faults view wired to the session's fault jobs.
#include "ui/FaultsPanel.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace velmoro {

FaultsPanel::FaultsPanel(FaultsView* view, AppState& state, DiagSession& session)
    : view_(view), state_(state), session_(session)
{
    connect(view_->readButton, &QPushButton::clicked, this, [this] { Run(false); });
    connect(view_->clearButton, &QPushButton::clicked, this, [this] { Run(true); });
    // The job fills the lists on the session's thread; the widgets follow on this one.
    connect(&session_, &DiagSession::faultsChanged, this, &FaultsPanel::Mirror,
            Qt::QueuedConnection);
}

FaultsPanel::~FaultsPanel() = default;

void FaultsPanel::ApplyTexts()
{
    LanguageTexts& t = state_.texts;
    view_->newCaption->setText(t.Text(QStringLiteral("View_21")));
    view_->storedCaption->setText(t.Text(QStringLiteral("View_22")));
    view_->readButton->setText(t.Text(QStringLiteral("View_23")));
    view_->clearButton->setText(t.Text(QStringLiteral("View_24")));
}

void FaultsPanel::Show(bool show, bool quickMenuShown)
{
    if (show) {
        session_.faults().Clear();
        view_->newList->clear();
        view_->storedList->clear();
        const bool stored = StoredFaults();
        view_->storedCaption->setVisible(stored);
        view_->storedList->setVisible(stored);
        view_->clearButton->setVisible(stored && !quickMenuShown);
        view_->readButton->setVisible(!quickMenuShown);
    }
    view_->setVisible(show);
}

void FaultsPanel::SetHeaderVisible(bool visible)
{
    view_->readButton->setVisible(visible);
    view_->clearButton->setVisible(visible && StoredFaults());
}

void FaultsPanel::SetButtonsDisabled(bool disabled)
{
    disabled_ = disabled;
    const bool enabled = !disabled && !busy_;
    view_->readButton->setEnabled(enabled);
    view_->clearButton->setEnabled(enabled);
}

void FaultsPanel::JobDone()
{
    busy_ = false;
    SetButtonsDisabled(disabled_);
}

void FaultsPanel::Run(bool clear)
{
    if (!session_.family() || busy_)
        return;
    if (!clear) {
        session_.faults().Clear();
        view_->newList->clear();
        view_->storedList->clear();
    }
    busy_ = true;
    SetButtonsDisabled(disabled_);
    if (clear)
        session_.clearFaults();
    else
        session_.readFaults();
}

void FaultsPanel::Mirror()
{
    view_->newList->clear();
    view_->storedList->clear();
    // Empty lists would read as "no faults": the ECU did not give them.
    const FaultLists& faults = session_.faults();
    if (faults.Unread()) {
        view_->newList->addItem(TextOrEnglish(state_.texts, QStringLiteral("Job_2")));
        return;
    }
    view_->newList->addItems(faults.Current());
    view_->storedList->addItems(faults.Stored());
}

} // namespace velmoro
