// The actors view wired to its controller, its timers and the session's job runner.
#include "ui/ActorsPanel.h"

#include "ui/Layout.h"

#include <QListWidget>
#include <QPushButton>
#include <QTimer>

namespace velmoro {

ActorsPanel::ActorsPanel(ActorsView* view, AppState& state, DiagSession& session,
                         ShowMessageFn showMessage, std::function<void()> quit)
    : view_(view), state_(state)
{
    procedureTimer_ = new QTimer(this);
    selfLearningTimer_ = new QTimer(this);
    connect(procedureTimer_, &QTimer::timeout, this,
            [this] { controller_->Tick(kProcedureTimer); });
    connect(selfLearningTimer_, &QTimer::timeout, this,
            [this] { controller_->Tick(kSelfLearningTimer); });

    ActorsCallbacks callbacks;
    callbacks.showMessage = [showMessage](const QString& text) { showMessage(kWindowTitle, text); };
    callbacks.startTimer = [this](int id, int periodMs) {
        QTimer* timer = id == kProcedureTimer ? procedureTimer_ : selfLearningTimer_;
        timer->start(periodMs);
    };
    callbacks.stopTimer = [this](int id) {
        (id == kProcedureTimer ? procedureTimer_ : selfLearningTimer_)->stop();
    };
    DiagSession* s = &session;
    callbacks.disconnect = [s] { s->disconnectLink(); };
    callbacks.runJob = [s](std::function<void()> work) { s->startAction(std::move(work)); };
    callbacks.routineResult = [s](ProcedureRecord& record) { return s->routineResult(record); };
    // A job's result comes back to this thread; dropped if the panel is gone by then.
    callbacks.postToCaller = [this](std::function<void()> then) {
        QMetaObject::invokeMethod(this, std::move(then), Qt::QueuedConnection);
    };
    callbacks.quit = std::move(quit);
    callbacks.setListEnabled = [this](bool enabled) { view_->list->setEnabled(enabled); };
    callbacks.setButton = [this](const QString& text, bool enabled) {
        view_->startButton->setText(text);
        view_->startButton->setEnabled(enabled);
    };
    controller_ = std::make_unique<ActorsController>(state_, std::move(callbacks));
    connect(view_->list, &QListWidget::currentRowChanged, this, [this](int row) {
        QListWidgetItem* item = row >= 0 ? view_->list->item(row) : nullptr;
        controller_->Select(item ? item->data(Qt::UserRole).toInt() : -1);
    });
    connect(view_->startButton, &QPushButton::clicked, this, [this] { controller_->Press(); });
}

ActorsPanel::~ActorsPanel() = default;

void ActorsPanel::ApplyTexts()
{
    if (controller_->ButtonState() == ActorsIdle && controller_->ButtonEnabled())
        view_->startButton->setText(state_.texts.Text(QStringLiteral("View_100")));
}

void ActorsPanel::FillList()
{
    QListWidget* list = view_->list;
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
    controller_->Select(item ? item->data(Qt::UserRole).toInt() : -1);
}

void ActorsPanel::SetEnabled(bool enabled)
{
    controller_->SetEnabled(enabled);
}

void ActorsPanel::StopTimers()
{
    procedureTimer_->stop();
    selfLearningTimer_->stop();
}

} // namespace velmoro
