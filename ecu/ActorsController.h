// The start/stop logic of the actors view without widgets: the GUI forwards list selections,
// button presses and timer ticks, and mirrors the button and list states it is told.
#pragma once

#include "config/LanguageTexts.h"
#include "values/ActionList.h"

#include <QString>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace velmoro {

struct CoreState;

// Timer ids and periods of the actors view.
constexpr int kProcedureTimer = 2; // a procedure: polls for its end
constexpr int kProcedureTimerMs = 100;
constexpr int kSelfLearningTimer = 4; // the self-learning routine: polls its result
constexpr int kSelfLearningTimerMs = 500;

// Button data (running state).
enum ActorsButtonState : int {
    ActorsIdle = 0,
    ActorsSwitchOn = 1,
    ActorsProcedureRunning = 3,
    ActorsSelfLearningRunning = 4
};

// Everything the controller asks of the GUI. Every callback is called on the thread that called
// the controller (the main thread), except postToCaller, which a job calls; unset callbacks are
// skipped.
struct ActorsCallbacks {
    std::function<void(const QString& text)> showMessage; // modal, returns once closed
    std::function<void(int timerId, int periodMs)> startTimer;
    std::function<void(int timerId)> stopTimer;
    std::function<void()> disconnect;
    std::function<void()> quit; // sets QuitFlag so the program ends
    std::function<void(bool enabled)> setListEnabled;
    std::function<void(const QString& text, bool enabled)> setButton;
    // The routine result of the family chosen at the moment of each poll. Unset: 0.
    std::function<int(ProcedureRecord&)> routineResult;
    // Runs work off the calling thread, one job after the other in the order handed in (the
    // session's job runner): procedures, switch requests and routine-result polls. A procedure
    // whose job is dropped unrun counts as ended. Unset: procedures run on a thread of the
    // controller's, switch requests and polls on the calling thread.
    std::function<void(std::function<void()> work)> runJob;
    // Called from a job: hands `then` back to the controller's thread, to run there later and
    // only while the controller exists. With runJob, a poll's result comes back this way; unset,
    // polls stay on the calling thread.
    std::function<void(std::function<void()> then)> postToCaller;
};

class ActorsController {
public:
    ActorsController(ActionList& actions, ProcedureRecord& record, LanguageTexts& texts,
                     ActorsCallbacks callbacks);
    // Wires actions, record and texts from the state.
    ActorsController(CoreState& state, ActorsCallbacks callbacks);
    ~ActorsController(); // waits for a running procedure thread

    ActorsController(const ActorsController&) = delete;
    ActorsController& operator=(const ActorsController&) = delete;

    // List selection: item data of the selected row, -1 for a heading or no selection. The GUI
    // calls it after every selection change, including the one FillActorsList makes.
    void Select(int itemData);
    // Button 76 pressed (ignored while the button is disabled).
    void Press();
    // A tick of timer kProcedureTimer or kSelfLearningTimer.
    void Tick(int timerId);
    // SetActorsEnabled: disconnect disables list and button; connect enables them with the
    // button reading View_100 and its data 0.
    void SetEnabled(bool enabled);

    int ButtonState() const { return buttonState_; }
    // How the ECU took the last switch request (procedures say theirs in the ProcedureRecord).
    JobEnding SwitchEnding() const { return switchEnding_; }
    bool ButtonEnabled() const { return buttonEnabled_; }
    bool ListEnabled() const { return listEnabled_; }
    QString ButtonText() const { return buttonText_; }
    bool ProcedureThreadRunning() const;
    // Blocks up to timeoutMs until the procedure thread has ended; true when none runs.
    bool WaitForProcedure(int timeoutMs) const;

private:
    void EnableControls();
    void SetButton(const QString& text, bool enabled);
    void SetList(bool enabled);
    void StartThread(const ActionEntry& entry);
    void JoinThread();
    // Sends a switch request; a refusal or silence is said in words.
    void Switch(const ActionEntry& entry, int on);
    void SwitchAnswered(const QString& name, JobEnding ending);
    void PollRoutine();
    // What a routine poll answered: the self-learning goes on, succeeds or gives up.
    void RoutinePolled(int ok);
    std::function<int(ProcedureRecord&)> RoutineResultFn() const;
    const ActionEntry* EntryAt(int position) const;

    ActionList& actions_;
    ProcedureRecord& record_;
    LanguageTexts& texts_;
    ActorsCallbacks cb_;

    int selected_ = -1;
    int lastStarted_ = -1;
    int buttonState_ = ActorsIdle;
    bool buttonEnabled_ = false;
    bool listEnabled_ = false;
    bool linkUp_ = false;
    bool busy_ = false;
    bool pollPending_ = false; // a routine poll is out; ticks wait for its result
    JobEnding switchEnding_ = JobEnding::Done;
    QString buttonText_;
    std::thread thread_;
    struct ThreadEnd {
        mutable std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
    };
    std::shared_ptr<ThreadEnd> threadEnd_;
};

} // namespace velmoro
