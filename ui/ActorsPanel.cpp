// The actors view: its list and button, the actions it asks of the session and their endings.
#include "ui/ActorsPanel.h"

#include "ui/Layout.h"

#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>

namespace velmoro {

ActorsPanel::ActorsPanel(ActorsView* view, AppState& state, DiagSession& session,
                         ShowMessageFn showMessage, std::function<void()> quit)
    : view_(view), state_(state), session_(session), showMessage_(std::move(showMessage)),
      quit_(std::move(quit))
{
    connect(view_->list, &QListWidget::currentRowChanged, this, [this](int row) {
        QListWidgetItem* item = row >= 0 ? view_->list->item(row) : nullptr;
        Select(item ? item->data(Qt::UserRole).toInt() : -1);
    });
    connect(view_->startButton, &QPushButton::clicked, this, &ActorsPanel::Press);
    connect(&session_, &DiagSession::actionFinished, this, &ActorsPanel::OnActionFinished);
}

void ActorsPanel::ApplyTexts()
{
    if (buttonState_ == ActorsIdle && buttonEnabled_)
        SetButton(state_.texts.Text(QStringLiteral("View_100")), true);
}

void ActorsPanel::FillList()
{
    const std::shared_ptr<const Ecu> family = session_.family();
    actions_ = family ? family->actions() : ActionList{};
    QListWidget* list = view_->list;
    const QSignalBlocker block(list);
    list->clear();
    auto addLine = [list](const QString& text, int data) {
        auto* item = new QListWidgetItem(text, list);
        item->setData(Qt::UserRole, data);
    };
    addLine(state_.texts.Text(QStringLiteral("Status_12")), -1);
    for (const ActionEntry& entry : actions_)
        if (entry.group == 1)
            addLine(QStringLiteral("    ") + entry.text, entry.position);
    bool headed = false;
    for (const ActionEntry& entry : actions_) {
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
    Select(item ? item->data(Qt::UserRole).toInt() : -1);
}

const ActionEntry* ActorsPanel::EntryAt(int position) const
{
    for (const ActionEntry& entry : actions_)
        if (entry.position == position)
            return &entry;
    return nullptr;
}

void ActorsPanel::SetButton(const QString& text, bool enabled)
{
    buttonText_ = text;
    buttonEnabled_ = enabled;
    view_->startButton->setText(text);
    view_->startButton->setEnabled(enabled);
}

void ActorsPanel::SetList(bool enabled)
{
    listEnabled_ = enabled;
    view_->list->setEnabled(enabled);
}

void ActorsPanel::Show(const QString& text)
{
    if (!text.isEmpty())
        showMessage_(kWindowTitle, text);
}

void ActorsPanel::EnableControls()
{
    buttonState_ = ActorsIdle;
    // After a disconnect the controls stay off until the link is up again.
    SetList(linkUp_);
    SetButton(state_.texts.Text(QStringLiteral("View_100")), linkUp_ && selected_ >= 0);
}

void ActorsPanel::SetEnabled(bool enabled)
{
    linkUp_ = enabled;
    const bool procedureRunning =
        buttonState_ == ActorsProcedureRunning || buttonState_ == ActorsSelfLearningRunning;
    if (!enabled) {
        SetList(false);
        SetButton(buttonText_, false);
    } else if (!procedureRunning) {
        EnableControls();
    }
}

void ActorsPanel::Select(int itemData)
{
    selected_ = itemData;
    if (!listEnabled_ || buttonState_ != ActorsIdle)
        return;
    SetButton(buttonText_.isEmpty() ? state_.texts.Text(QStringLiteral("View_100")) : buttonText_,
              itemData >= 0 && EntryAt(itemData) != nullptr);
}

void ActorsPanel::Press()
{
    if (!buttonEnabled_)
        return;
    if (buttonState_ != ActorsIdle) {
        // Stop: a switch that is on gets its off request, whatever the on request's answer.
        if (buttonState_ == ActorsSwitchOn)
            session_.stopAction();
        EnableControls();
        return;
    }
    const ActionEntry* entry = EntryAt(selected_);
    if (!entry || !session_.startAction(entry->position))
        return;
    SetList(false);
    switch (entry->kind) {
    case KindSwitch:
        buttonState_ = ActorsSwitchOn;
        SetButton(state_.texts.Text(QStringLiteral("View_101")), true);
        break;
    case KindProcedure:
        buttonState_ = ActorsProcedureRunning;
        SetButton(buttonText_, false);
        break;
    default:
        buttonState_ = ActorsSelfLearningRunning;
        SetButton(buttonText_, false);
        break;
    }
}

void ActorsPanel::OnActionFinished(const ActionResult& result)
{
    if (result.kind == KindSwitch) {
        // A refused switch-on still offers Stop: the off request is sent all the same.
        Show(result.text);
        return;
    }
    if (result.kind == KindSelfLearning && result.ending == JobEnding::Done) {
        // The ECU has learned: the program ends, as the rider is told.
        EnableControls();
        Show(state_.texts.Text(QStringLiteral("View_52")));
        session_.disconnectLink();
        Show(state_.texts.Text(QStringLiteral("View_57")));
        if (quit_)
            quit_();
        return;
    }
    QString text = result.text;
    // A download the link cut short kept what arrived: the user learns where.
    if (result.ending == JobEnding::CutShort && !result.fileName.isEmpty())
        text += QLatin1Char('\n') + TextOrEnglish(state_.texts, QStringLiteral("Job_11"))
                                        .arg(QFileInfo(result.fileName).fileName());
    Show(text);
    EnableControls();
}

} // namespace velmoro
