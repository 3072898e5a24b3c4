// The diagnostic session: the heart of the program below any view.
//
// session/ holds what a connection to the bike is, apart from any window or terminal: the
// communication worker (a QThread that alone touches the adapter port), the connect sequence, the
// link state, one long-lived refresh loop that reads the chosen values pass after pass, the jobs
// that run one at a time between two passes (faults, report, survey steps), and the CSV and debug
// logs. A view calls the methods below on the main thread and shows what the signals carry; the
// signals are emitted from the session's threads and reach a view on the main thread queued.
// Nothing here waits on the main thread for another thread, except waitStopped() after the event
// loop has ended.
//
// The session owns what its threads touch: its own copy of the configuration (given at
// construction and again by applySettings(), never read from the view), the link's flags and
// request channel, the fault lists and the chosen ECU family. A view reaches them only through
// the methods and signals below. The class is defined in DiagSession.cpp (settings, worker,
// connect sequence, link state), SessionLoop.cpp (the loop, passes, logs) and SessionJobs.cpp
// (the jobs between passes).
#pragma once

#include "ecu/CoreState.h"
#include "ecu/Ecu.h"
#include "ecu/FaultLists.h"
#include "link/AdapterPort.h"
#include "link/CommWorker.h"
#include "link/LinkFailure.h"
#include "link/LinkFlags.h"
#include "link/RequestChannel.h"
#include "output/CsvLog.h"
#include "output/DebugLog.h"
#include "output/Report.h"
#include "output/Survey.h"
#include "session/ActionResult.h"
#include "values/ValueChooser.h"

#include <QObject>
#include <QSemaphore>
#include <QThread>
#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace velmoro {

class Simulator;

// Reconnecting: the link was lost and is tried again after a countdown (no worker runs).
enum class LinkState { Disconnected, Connecting, Connected, Disconnecting, Reconnecting };

// The rows as one pass left them: 0..7 displayed, kEngineStatusRow the engine status.
using RowsSnapshot = std::array<MeasurementRow, 9>;

// The jobs the session runs for a view.
enum class JobKind { ReadFaults, ClearFaults, Report, Survey };

// How a job ended, sent with jobEnded() before the job's own done signal. A view says the
// ending in its words and never reads it from a text.
struct JobResult {
    JobKind kind = JobKind::ReadFaults;
    JobEnding ending = JobEnding::Done;
    // Survey cut short: the identifier 0x10nn it stopped at (nn); -1 otherwise.
    int identifier = -1;
    // Survey: its file.
    QString fileName;
};

// The ending in the user's words, as every view shows it; empty for Done. A survey cut short
// says it as its file's last line does.
QString JobResultText(LanguageTexts& texts, const JobResult& result);

// What the last connect learned about the adapter, for a view that explains a failed link.
struct AdapterInfo {
    bool portOpened = false; // the port could be opened
    bool answered = false;   // the adapter answered anything during its set-up
    QString kind;            // "ELM327", "STN" or "Vgate", as the set-up recognised it
    QString banner;          // the answer to ATZ without its echo, e.g. "ELM327 v1.5"
    QString detail;          // the STN's or Vgate's answer to its identity command
    // The ECU answered the set-up's session request or the identification, even negatively.
    bool ecuAnswered = false;
    // What the set-up found wrong even when the link came up all the same (CAN refused).
    LinkFailure setUpFailure = LinkFailure::None;
    QString setUpFailureText;
};

struct DiagSessionOptions {
    // Opens the adapter port by name; empty: serial and TCP ports, and "Simulator" for the
    // session's own simulated motorcycle.
    AdapterPortFactory portFactory;
    // The simulated motorcycle behind the port "Simulator"; empty: the session makes its own.
    std::shared_ptr<Simulator> simulator;
    // The worker's time-outs and pauses; tests shorten them.
    CommWorkerTimings workerTimings;
    // The time of the reconnect countdown and of the polls of a self-learning routine; empty: the
    // steady clock. Tests drive it by hand, and the session looks again at its countdown and its
    // polls each time such a clock is advanced.
    Clock* retryClock = nullptr;
};

class DiagSession : public QObject {
    Q_OBJECT
public:
    // config: the settings, texts, paths and model table the session works with, copied; the
    // family its link settings name (link.ecuId) is chosen at once.
    explicit DiagSession(CoreState config, DiagSessionOptions options = {},
                         QObject* parent = nullptr);
    ~DiagSession() override;

    DiagSession(const DiagSession&) = delete;
    DiagSession& operator=(const DiagSession&) = delete;

    // ---- in: called on the main thread ----

    // New settings, copied: family() follows at once; the link and its logs take them at the
    // next connect, the texts and settings the loop reads between two jobs or passes, never in
    // the middle of one. A link keeps its family until it ends.
    void applySettings(CoreState config);
    // The family the settings last given chose (value names, actions, what it offers); empty
    // while no model is chosen. Its const side only reads the language texts.
    std::shared_ptr<const Ecu> family() const;

    // Opens the logs (csvHeader: the eight chooser texts), starts the worker and the connect
    // sequence; the rows read valueIndices (the choosers' values now) until chooseValue()
    // changes one. False when no model or port is set or a link is up. Log files that cannot be
    // created are named by logProblem.
    bool connectLink(const std::array<QString, 8>& csvHeader,
                     const std::array<int, 8>& valueIndices);
    // Asks the link to end: the ignition-off message follows once the worker has stopped.
    void disconnectLink();
    // Stops everything; stopped() follows once no thread of the session runs any more.
    void quit();
    // Blocks until the session's threads have ended (for the exit steps after the event loop).
    void waitStopped();

    // Log files named by the view (a terminal's --csv): a non-empty name replaces the dated file
    // in the logging directory at the next connects; the settings still decide whether a log is
    // written at all.
    void setLogFileNames(const QString& csvFileName, const QString& debugLogFileName);
    // After that many further passes (shown and logged) the passes stop as if the measurements
    // were hidden, and passLimitReached() follows; 0 takes the limit away.
    void stopPassesAfter(int passes);
    // Passes start no sooner than intervalMs apart (jobs still run in between); 0, the default:
    // each pass starts as soon as the last has ended.
    void setMinimumPassIntervalMs(int intervalMs);

    // A lost link is tried again even when the first connect failed (a port not plugged in yet,
    // an adapter or ECU still without power): for a recorder that starts before the bike. Takes
    // effect with reconnecting on, at the next connect.
    void setRetryFirstConnect(bool retry);
    // Ends the logged ride: before the next pass the CSV log is closed and a new one opened (a
    // dated name, or the view's name with "_2", "_3", ...), its clock starting at 0; rideRolled()
    // follows. Nothing happens without an open CSV log.
    void startNewRide();
    // The CSV log being written, empty when none is open.
    QString csvLogFileName() const;
    // The link asked for goes to the simulated motorcycle: its values are invented.
    bool linkIsSimulated() const;
    // Milliseconds on the CSV log's clock (since the link start) at this moment.
    qint64 linkTimeMs() const;

    // The row's value changes between two reads, never during one.
    void chooseValue(int row, int valueIndex);
    // Passes run only while the measurement view is shown; hiding it ends the pass in progress
    // and pauses a survey, showing it starts a pass (and resumes the survey after it).
    void setMeasurementsShown(bool shown);

    // Jobs: each runs once the job or pass in progress has ended.
    void readFaults();
    void clearFaults();
    // False when a report is being built: the build is then cancelled instead. values: the
    // entries the first chooser offers now (the language may change while the report is built).
    bool buildReport(const QString& ecuInfoText, const QVector<ChooserEntry>& values);
    // Opens the survey file; the steps run between passes while the measurements are shown.
    bool startSurvey();
    // The same with a survey file of the view's choosing.
    bool startSurveyAt(const QString& fileName);
    // Actions of the family's actions list (by position), run as jobs one at a time: a switch
    // sends its on request, a procedure or stored-data download runs once, a self-learning
    // routine is started and its result asked for every 500 ms of the clock until it succeeds,
    // its polls are used up, the link ends or stopAction() comes. actionFinished() says how each
    // ended. False, and nothing runs, while another action runs or a switch is on, for a position
    // the family does not have, and once quitting.
    bool startAction(int position);
    // A switch that is on gets its off request (sent even when the ECU refused the on request);
    // true then, and actionFinished() follows for it. A self-learning routine stops asking for
    // its result and ends cut short. A procedure runs to its end.
    bool stopAction();
    // An action runs or waits to run, or a switch is on. A switch counts as off once the link it
    // was switched on has ended: the adapter's reset ends it, no off request is sent.
    bool actionRunning() const;

    // The user closed the box of question().
    void answerQuestion();

    LinkState linkState() const;
    bool workerAlive() const { return workerAlive_.load(); }
    // The worker has set the adapter up and talks to the ECU.
    bool workerRunning() const;
    bool jobRunning() const;
    // Nothing to do: no pass, job or connect sequence runs or waits.
    bool idle() const;
    bool surveyRunning() const;
    AdapterInfo adapterInfo() const;
    ReportList& report() { return report_; }
    // The fault lists the fault jobs and the report fill (locked; faultsChanged() follows a
    // change); a view may clear them before it asks for a read.
    FaultLists& faults() { return faults_; }
    const CsvLog& csv() const { return csvLog_; }

signals:
    void linkStateChanged(velmoro::LinkState state);
    // The link is up and identified.
    void connected();
    // The link has ended: the moment for the ignition-off message.
    void disconnected();
    // What the identification read, just before connected().
    void identified(const velmoro::EcuInfo& info);
    // A pass has ended with the view still shown: what the rows show now.
    void rowsRead(const velmoro::RowsSnapshot& rows);
    // A box for the user (the ignition prompt); answerQuestion() lets the worker go on.
    void question(const QString& text);
    // How a fault, report or survey job ended; before faultsDone(), reportDone() and
    // surveyFinished(). Actions say theirs with actionFinished().
    void jobEnded(const velmoro::JobResult& result);
    void faultsDone();
    // The fault lists changed (emitted on the thread that changed them).
    void faultsChanged();
    void reportDone();
    // counter: the identifier about to be read.
    void surveyStep(int counter);
    // A request of a switch was answered, or a procedure or self-learning routine has ended.
    void actionFinished(const velmoro::ActionResult& result);
    // The survey has ended, finished or cut short (jobEnded() says which).
    void surveyFinished();
    // Log files that could not be created, by name.
    void logProblem(const QString& text);
    // A lost link is tried again in `seconds` (counting down each second); 0: trying now.
    void reconnectCountdown(int seconds);
    // The step of the link that failed, in the user's words (also written to the debug log):
    // before disconnected() when connecting failed, after connected() when the link came up all
    // the same (an ECU family that connects without an identification).
    void linkFailed(velmoro::LinkFailure failure, const QString& text);
    // The step a link that comes up is at, in the user's words ("Adapter set-up 3 of 7").
    void connectProgress(velmoro::ConnectStep step, const QString& text);
    // Answers turned bad under fast refresh: the link keeps the normal pace until the next
    // connect.
    void fastRefreshEnded();
    // The adapter restarted by itself (a voltage dip) and was set up again at once; the values
    // go on in the same rows and the same logs. text: the words for the user.
    void adapterRestarted(const QString& text);
    // Every chosen value went unanswered for several passes and the ECU session was opened
    // again (the ignition was switched off and on).
    void sessionReopened();
    // startNewRide() took effect: the CSV log of the new ride.
    void rideRolled(const QString& csvFileName);
    void stopped();
    // The pass limit of stopPassesAfter() was reached: the passes have stopped.
    void passLimitReached();

private:
    class Bridge;
    struct RunningAction;
    struct Job {
        enum Kind { ReadFaults, ClearFaults, Report, Action } kind;
        QString text;
        std::function<void()> work;
        QVector<ChooserEntry> values;
        std::shared_ptr<Ecu> ecu; // the family the job speaks to; empty: none chosen yet
    };
    // The configuration the loop and the worker read now (taken under mutex_).
    std::shared_ptr<CoreState> Config() const;
    // Under mutex_, on the loop thread between two jobs or passes: settings applied meanwhile
    // take effect.
    void TakeSettingsLocked();

    void LoopMain();
    // Ends the link; one the user did not end is tried again when reconnecting is on.
    void EndLink(bool byUser);
    bool RetryWantedLocked() const;
    // On the loop thread: collects the last worker and starts one for port_.
    void StartWorker(bool resume);
    // On the loop thread, once the worker was started: waits until it is up, identifies the ECU
    // and says connected, or ends the link when the worker did not come up or the family's
    // identification failed.
    void Identify(Ecu& ecu);
    void RunPass();
    // On the loop thread: startNewRide() takes effect.
    void RollRide();
    void RunSurveySteps();
    void RunJob(Job job);
    // A survey still running when its link ends is cut short at nn (-1: the next identifier).
    void CutSurveyShort(int nn = -1);
    void FinishDisconnect();
    // Under mutex_: connecting has failed; the set-up's finding names why, else the worker state.
    void NoteConnectFailureLocked(bool workerRunning);
    void ReportFailure(const LinkFailureReport& report);
    void CloseLogs();
    bool StopRequested() const;
    // The family of the link, set when it was asked for (the loop thread's reference).
    std::shared_ptr<Ecu> CurrentEcu() const;
    // On the main thread with mutex_ held: the link's family, or the chosen one before a link.
    std::shared_ptr<Ecu> JobEcu() const;
    qint64 NowMs() const;
    // The actions' jobs, on the loop thread.
    void RunAction(const std::shared_ptr<RunningAction>& action);
    void SwitchOff(const RunningAction& action);
    // Asks for a self-learning routine's result until it succeeds or ends otherwise.
    void PollRoutine(RunningAction& action);
    // Waits for the next poll on the clock; false when the link ended, quit or stopAction() came.
    bool WaitForRoutinePoll(const RunningAction& action);
    // Inside a job: waits ms of the session's clock; false when the link ended, quit came or the
    // action (when given) was asked to stop.
    bool WaitOnClock(int ms, const RunningAction* action = nullptr);
    // Under mutex_, when a link has ended: a switch it had on is off.
    void ForgetSwitchLocked();

    DiagSessionOptions options_;
    std::shared_ptr<Simulator> simulator_;
    std::unique_ptr<Bridge> bridge_;
    // The countdown's time, and the handle of the session's watch on it.
    Clock& retryClock_;
    int retryWatch_ = 0;

    // Read by the worker and the loop, changed only by the session's methods.
    LinkFlags flags_;
    RequestChannel channel_{flags_};
    FaultLists faults_;

    // Guarded by mutex_.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    // The settings last applied and the family they chose; config_ is what the loop and the
    // worker read, taken from them at a connect and between jobs.
    std::shared_ptr<CoreState> applied_;
    std::shared_ptr<Ecu> family_;
    std::shared_ptr<CoreState> config_;
    LinkState linkState_ = LinkState::Disconnected;
    bool connectPending_ = false;
    bool passWanted_ = false;
    bool disconnectPending_ = false;
    bool quitting_ = false;
    bool measurementsShown_ = true;
    bool jobRunning_ = false;
    bool idle_ = false;
    std::deque<Job> jobs_;
    std::vector<std::pair<int, int>> choices_; // row, value index
    std::vector<std::shared_ptr<QSemaphore>> gates_;
    std::shared_ptr<Ecu> ecu_;
    QString port_;
    bool startPending_ = false;
    bool resumePending_ = false;
    // Reconnecting: wanted when the link was asked for; only after a link that was up, never
    // after the user ended it.
    bool reconnectWanted_ = false;
    bool fastWanted_ = false;
    bool everConnected_ = false;
    bool userStop_ = false;
    bool retryFirstConnect_ = false;
    bool newRidePending_ = false;
    int rideNumber_ = 1;
    QString csvOpenFileName_;
    std::array<QString, 8> csvHeader_;
    bool retryAfterStop_ = false;
    int retries_ = 0;
    qint64 retryAtMs_ = 0;
    int countdownShown_ = -1;
    QString csvFileName_;
    QString debugLogFileName_;
    int passLimit_ = 0;
    int passIntervalMs_ = 0;
    qint64 nextPassAtMs_ = 0;
    AdapterInfo adapterInfo_;
    LinkFailureReport setUpFailure_;
    LinkFailureReport connectFailure_;
    // The action that runs or waits to run, or the switch that is on; empty: none.
    std::shared_ptr<RunningAction> action_;

    std::atomic<bool> workerAlive_{false};
    std::unique_ptr<QThread> worker_;
    std::unique_ptr<QThread> loop_;

    // Owned by the loop thread.
    RowsSnapshot rows_;
    int silentPasses_ = 0;
    // The channel's count of ECU answers when the worker was started (loop thread only).
    std::uint64_t answersAtWorkerStart_ = 0;
    CsvLog csvLog_;
    DebugLog debugLog_;
    SurveyState survey_;
    std::atomic<bool> surveyActive_{false};
    ReportList report_;
};

} // namespace velmoro

Q_DECLARE_METATYPE(velmoro::RowsSnapshot)
Q_DECLARE_METATYPE(velmoro::LinkState)
Q_DECLARE_METATYPE(velmoro::JobResult)
