// The actions of the actors list as session jobs: a switch's on and off requests, a procedure,
// a self-learning routine and the polls of its result.
#include "session/DiagSession.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace velmoro {

namespace {

// A self-learning routine's result is asked for this often; its start sets how many times.
constexpr int kRoutinePollMs = 500;

// A request the ECU did not take, in words; a link that ended says so itself.
QString SwitchRequestText(LanguageTexts& texts, const QString& name, JobEnding ending)
{
    if (ending != JobEnding::Refused && ending != JobEnding::NoAnswer)
        return {};
    return TextOrEnglish(texts, ending == JobEnding::Refused ? QStringLiteral("Job_4")
                                                             : QStringLiteral("Job_5"))
        .arg(name);
}

} // namespace

// The entry is a copy: the view may rebuild its list (a language change) while the action runs.
// `record` belongs to the job that runs the action; `stopWanted` is read and written under the
// session's mutex.
struct DiagSession::RunningAction {
    ActionEntry entry;
    std::shared_ptr<Ecu> ecu;
    ProcedureRecord record;
    bool stopWanted = false;
};

bool DiagSession::startAction(int position)
{
    qRegisterMetaType<ActionResult>();
    std::lock_guard<std::mutex> lock(mutex_);
    if (quitting_ || action_)
        return false;
    const std::shared_ptr<Ecu> ecu = JobEcu();
    if (!ecu)
        return false;
    const ActionList actions = ecu->actions();
    const auto found = std::find_if(actions.begin(), actions.end(), [position](const auto& entry) {
        return entry.position == position;
    });
    if (found == actions.end())
        return false;
    auto action = std::make_shared<RunningAction>();
    action->entry = *found;
    action->ecu = ecu;
    action_ = action;
    jobs_.push_back({Job::Action, {}, [this, action] { RunAction(action); }, {}, ecu});
    wake_.notify_all();
    return true;
}

bool DiagSession::stopAction()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!action_)
        return false;
    if (action_->entry.kind != KindSwitch) {
        action_->stopWanted = true;
        wake_.notify_all();
        return false;
    }
    // The switch is off for the next action at once: its off request goes out before anything
    // that action asks, since jobs run in their order.
    const std::shared_ptr<RunningAction> action = std::exchange(action_, nullptr);
    if (quitting_)
        return false;
    jobs_.push_back({Job::Action, {}, [this, action] { SwitchOff(*action); }, {}, action->ecu});
    wake_.notify_all();
    return true;
}

bool DiagSession::actionRunning() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return action_ != nullptr;
}

void DiagSession::ForgetSwitchLocked()
{
    if (action_ && action_->entry.kind == KindSwitch)
        action_.reset();
}

void DiagSession::RunAction(const std::shared_ptr<RunningAction>& action)
{
    const ActionEntry& entry = action->entry;
    ActionResult result;
    result.position = entry.position;
    result.kind = entry.kind;
    if (entry.kind == KindSwitch) {
        // The switch stays on whatever the answer: the off request follows at stopAction().
        result.switchedOn = true;
        result.ending = entry.switchActuator ? entry.switchActuator(1) : JobEnding::Refused;
        result.text = SwitchRequestText(Config()->texts, entry.text, result.ending);
        emit actionFinished(result);
        return;
    }
    ProcedureRecord& record = action->record;
    if (entry.procedure)
        entry.procedure(record);
    // A start that the link's end cut short has nothing to poll.
    if (entry.kind == KindSelfLearning && record.ending != JobEnding::CutShort)
        PollRoutine(*action);
    // A self-learning cut short has no result: it says so as a failed one does.
    if (entry.kind == KindSelfLearning && record.ending == JobEnding::CutShort)
        record.resultText = ProcedureResultText(Config()->texts, entry.key, false);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (action_ == action)
            action_.reset();
    }
    result.ending = record.ending;
    result.fileName = record.fileName;
    result.text = record.resultText;
    emit actionFinished(result);
}

void DiagSession::SwitchOff(const RunningAction& action)
{
    const ActionEntry& entry = action.entry;
    ActionResult result;
    result.position = entry.position;
    result.kind = entry.kind;
    result.switchedOn = false;
    result.ending = entry.switchActuator ? entry.switchActuator(0) : JobEnding::Refused;
    result.text = SwitchRequestText(Config()->texts, entry.text, result.ending);
    emit actionFinished(result);
}

void DiagSession::PollRoutine(RunningAction& action)
{
    ProcedureRecord& record = action.record;
    if (!action.ecu || !action.ecu->hasRoutineResult())
        return;
    for (;;) {
        if (!WaitForRoutinePoll(action)) {
            record.ending = JobEnding::CutShort;
            return;
        }
        if (action.ecu->routineResult(record) != 0 || record.ending == JobEnding::CutShort)
            return;
        // Bounded even when the count was never set: a non-positive count ends the polls too.
        if (--record.pollsLeft <= 0)
            return;
    }
}

bool DiagSession::WaitForRoutinePoll(const RunningAction& action)
{
    return WaitOnClock(kRoutinePollMs, &action);
}

bool DiagSession::WaitOnClock(int ms, const RunningAction* action)
{
    std::unique_lock<std::mutex> lock(mutex_);
    const qint64 dueMs = retryClock_.NowMs() + ms;
    for (;;) {
        if (quitting_ || (action != nullptr && action->stopWanted) ||
            linkState_ != LinkState::Connected)
            return false;
        const qint64 leftMs = dueMs - retryClock_.NowMs();
        if (leftMs <= 0)
            return true;
        // Woken by a disconnect, a quit or stopAction(), and by a clock advanced by hand.
        wake_.wait_for(lock, std::chrono::milliseconds(leftMs));
    }
}

} // namespace velmoro
