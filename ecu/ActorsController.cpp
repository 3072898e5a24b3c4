// Start/stop state machine of the actors view, driven by the GUI's events.
#include "ecu/ActorsController.h"

#include "ecu/CoreState.h"

namespace velmoro {

namespace {

// Ignores re-entrant calls that arrive while a modal message of an earlier call is open.
class BusyGuard {
public:
    explicit BusyGuard(bool& busy) : busy_(busy), entered_(!busy) { busy_ = true; }
    ~BusyGuard()
    {
        if (entered_)
            busy_ = false;
    }
    bool Entered() const { return entered_; }

private:
    bool& busy_;
    bool entered_;
};

} // namespace

ActorsController::ActorsController(ActionList& actions, ProcedureRecord& record,
                                   LanguageTexts& texts, ActorsCallbacks callbacks)
    : actions_(actions), record_(record), texts_(texts), cb_(std::move(callbacks))
{
}

ActorsController::ActorsController(CoreState& state, ActorsCallbacks callbacks)
    : ActorsController(state.actions, state.procedure, state.texts, std::move(callbacks))
{
}

ActorsController::~ActorsController()
{
    JoinThread();
}

bool ActorsController::ProcedureThreadRunning() const
{
    if (!threadEnd_)
        return false;
    std::lock_guard lock(threadEnd_->mutex);
    return !threadEnd_->done;
}

bool ActorsController::WaitForProcedure(int timeoutMs) const
{
    if (!threadEnd_)
        return true;
    std::unique_lock lock(threadEnd_->mutex);
    return threadEnd_->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [this] { return threadEnd_->done; });
}

const ActionEntry* ActorsController::EntryAt(int position) const
{
    for (const ActionEntry& entry : actions_)
        if (entry.position == position)
            return &entry;
    return nullptr;
}

void ActorsController::SetButton(const QString& text, bool enabled)
{
    buttonText_ = text;
    buttonEnabled_ = enabled;
    if (cb_.setButton)
        cb_.setButton(text, enabled);
}

void ActorsController::SetList(bool enabled)
{
    listEnabled_ = enabled;
    if (cb_.setListEnabled)
        cb_.setListEnabled(enabled);
}

void ActorsController::EnableControls()
{
    buttonState_ = ActorsIdle;
    const QString start = texts_.Text(QStringLiteral("View_100"));
    // After a disconnect the controls stay off until the link is up again.
    SetList(linkUp_);
    SetButton(start, linkUp_ && selected_ >= 0);
}

void ActorsController::SetEnabled(bool enabled)
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
    // A running procedure re-enables the controls itself when it ends.
}

void ActorsController::Select(int itemData)
{
    selected_ = itemData;
    if (!listEnabled_ || buttonState_ != ActorsIdle)
        return;
    SetButton(buttonText_.isEmpty() ? texts_.Text(QStringLiteral("View_100")) : buttonText_,
              itemData >= 0 && EntryAt(itemData) != nullptr);
}

void ActorsController::Press()
{
    if (!buttonEnabled_)
        return;
    BusyGuard guard(busy_);
    if (!guard.Entered())
        return;

    if (buttonState_ != ActorsIdle) {
        const ActionEntry* last = EntryAt(lastStarted_);
        if (buttonState_ == ActorsSwitchOn && last && last->kind == KindSwitch)
            Switch(*last, 0);
        EnableControls();
        return;
    }

    const ActionEntry* entry = EntryAt(selected_);
    if (!entry)
        return;
    lastStarted_ = entry->position;
    switch (entry->kind) {
    case KindSwitch:
        SetList(false);
        // A refused switch-on is said, and still offers Stop.
        Switch(*entry, 1);
        buttonState_ = ActorsSwitchOn;
        SetButton(texts_.Text(QStringLiteral("View_101")), true);
        break;
    case KindProcedure:
        SetList(false);
        SetButton(buttonText_, false);
        StartThread(*entry);
        buttonState_ = ActorsProcedureRunning;
        if (cb_.startTimer)
            cb_.startTimer(kProcedureTimer, kProcedureTimerMs);
        break;
    case KindSelfLearning:
        SetList(false);
        SetButton(buttonText_, false);
        StartThread(*entry);
        buttonState_ = ActorsSelfLearningRunning;
        if (cb_.startTimer)
            cb_.startTimer(kSelfLearningTimer, kSelfLearningTimerMs);
        break;
    default:
        break;
    }
}

void ActorsController::Tick(int timerId)
{
    BusyGuard guard(busy_);
    if (!guard.Entered())
        return;

    if (timerId == kProcedureTimer) {
        if (buttonState_ != ActorsProcedureRunning || !threadEnd_ || ProcedureThreadRunning())
            return;
        JoinThread();
        if (cb_.stopTimer)
            cb_.stopTimer(kProcedureTimer);
        if (!record_.resultText.isEmpty() && cb_.showMessage)
            cb_.showMessage(record_.resultText);
        EnableControls();
        return;
    }

    if (timerId != kSelfLearningTimer || buttonState_ != ActorsSelfLearningRunning ||
        ProcedureThreadRunning() || pollPending_)
        return;
    JoinThread();
    PollRoutine();
}

std::function<int(ProcedureRecord&)> ActorsController::RoutineResultFn() const
{
    if (cb_.routineResult)
        return cb_.routineResult;
    return [](ProcedureRecord&) { return 0; };
}

void ActorsController::PollRoutine()
{
    std::function<int(ProcedureRecord&)> poll = RoutineResultFn();
    if (!cb_.runJob || !cb_.postToCaller) {
        RoutinePolled(poll(record_));
        return;
    }
    // The poll waits for the ECU's answer in a job; the timer's ticks pass until its result is
    // back on this thread. The record is the job's until then.
    pollPending_ = true;
    ProcedureRecord* record = &record_;
    std::function<void(std::function<void()>)> post = cb_.postToCaller;
    cb_.runJob([this, poll, record, post] {
        const int ok = poll(*record);
        post([this, ok] {
            pollPending_ = false;
            BusyGuard guard(busy_); // its messages are modal: ticks meanwhile pass
            RoutinePolled(ok);
        });
    });
}

void ActorsController::RoutinePolled(int ok)
{
    if (buttonState_ != ActorsSelfLearningRunning)
        return;
    if (ok) {
        if (cb_.stopTimer)
            cb_.stopTimer(kSelfLearningTimer);
        EnableControls();
        if (cb_.showMessage)
            cb_.showMessage(texts_.Text(QStringLiteral("View_52")));
        if (cb_.disconnect)
            cb_.disconnect();
        if (cb_.showMessage)
            cb_.showMessage(texts_.Text(QStringLiteral("View_57")));
        if (cb_.quit)
            cb_.quit();
        return;
    }
    // Bounded even when the count was never set: a non-positive count ends the polling too.
    if (--record_.pollsLeft <= 0) {
        if (cb_.stopTimer)
            cb_.stopTimer(kSelfLearningTimer);
        if (cb_.showMessage)
            cb_.showMessage(record_.resultText);
        EnableControls();
    }
}

void ActorsController::Switch(const ActionEntry& entry, int on)
{
    if (!entry.switchActuator)
        return;
    const QString name = entry.text;
    if (!cb_.runJob) {
        SwitchAnswered(name, entry.switchActuator(on));
        return;
    }
    // The list may be rebuilt before the job runs: the job keeps its own copy of the request.
    std::function<JobEnding(int)> request = entry.switchActuator;
    std::function<void(std::function<void()>)> post = cb_.postToCaller;
    cb_.runJob([this, request, on, post, name] {
        const JobEnding ending = request(on);
        if (post)
            post([this, name, ending] { SwitchAnswered(name, ending); });
    });
}

void ActorsController::SwitchAnswered(const QString& name, JobEnding ending)
{
    switchEnding_ = ending;
    // A link that ended says so itself; a switch the ECU did not take is said here. Stop stays
    // offered after a refused switch-on: it sends the off request all the same.
    if (ending == JobEnding::Done || ending == JobEnding::CutShort)
        return;
    if (cb_.showMessage)
        cb_.showMessage(TextOrEnglish(texts_, ending == JobEnding::Refused
                                                  ? QStringLiteral("Job_4")
                                                  : QStringLiteral("Job_5"))
                            .arg(name));
}

void ActorsController::StartThread(const ActionEntry& entry)
{
    JoinThread();
    auto end = std::make_shared<ThreadEnd>();
    threadEnd_ = end;
    std::function<int(ProcedureRecord&)> procedure = entry.procedure;
    ProcedureRecord* record = &record_;
    if (cb_.runJob) {
        // The procedure has ended when the job is gone, whether it ran or was dropped.
        struct EndWhenGone {
            explicit EndWhenGone(std::shared_ptr<ThreadEnd> e) : end(std::move(e)) {}
            EndWhenGone(const EndWhenGone&) = delete;
            EndWhenGone& operator=(const EndWhenGone&) = delete;
            std::shared_ptr<ThreadEnd> end;
            ~EndWhenGone()
            {
                std::lock_guard lock(end->mutex);
                end->done = true;
                end->ended.notify_all();
            }
        };
        auto gone = std::make_shared<EndWhenGone>(end);
        cb_.runJob([procedure, record, gone] {
            if (procedure)
                procedure(*record);
        });
        return;
    }
    thread_ = std::thread([procedure, record, end] {
        if (procedure)
            procedure(*record);
        std::lock_guard lock(end->mutex);
        end->done = true;
        end->ended.notify_all();
    });
}

void ActorsController::JoinThread()
{
    if (thread_.joinable())
        thread_.join();
    threadEnd_.reset();
}

} // namespace velmoro
