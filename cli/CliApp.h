// velmoro-cli: every diagnostic job of the program from a terminal, without a display.
//
// cli/ is a second view of the diagnostic session, beside the window. It reads the same settings
// file, calls the same DiagSession methods, drives the actions with the same controller and
// writes its files with the same functions, so a report, a survey, a CSV log or a stored-data
// file from here is byte for byte what the window writes for the same answers. What it adds is
// only what a terminal needs: options instead of menus, lines instead of message boxes, a
// keypress for the ignition prompt, Ctrl-C that ends the link cleanly (the adapter still gets
// its ATZ and every file is complete up to that moment), and exit statuses a script can test.
// It links QtCore and the core libraries only, so it runs where there is no display.
//
//   velmoro-cli --port Simulator --model "Velmoro 850" watch RPM Throttle --passes 20 --csv
//   ride.csv
#pragma once

#include "cli/CliSetup.h"
#include "ecu/CoreState.h"
#include "session/DiagSession.h"
#include "session/RideRecorder.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

namespace velmoro {
class ActorsController;
}

namespace velmoro::cli {

class InterruptWatcher;
class KeyWait;
class LineReader;

enum ExitStatus : int {
    ExitDone = 0,
    ExitFailed = 1,    // the ECU refused a job, or a file could not be written
    ExitUsage = 2,     // unknown command, value, action, model or language; no port or model
    ExitPort = 3,      // the port does not exist, is busy or is refused
    ExitAdapter = 4,   // the adapter does not answer
    ExitEcuSilent = 5, // the ECU does not answer (ignition off?)
    ExitLinkLost = 6,  // the link ended in the middle
    ExitInterrupted = 130,
    // A signal that ends the run (SIGTERM, SIGHUP, SIGPIPE) gives 128 + its number.
    ExitBySignal = 128,
};

// The one place where the way a job or a link ended becomes the run's exit status.
int ExitStatusOf(JobEnding ending);
int ExitStatusOf(LinkFailure failure);

struct CliOptions {
    QString command;
    QStringList arguments;
    SettingsChoice settings;
    bool json = false;
    bool quiet = false;
    bool yes = false;
    bool clear = false;
    bool reconnect = false;
    QString csvFile;
    QString debugLogFile;
    QString outputFile;
    QString passes;      // checked when the texts are known
    QString duration;    // seconds
    QString interval;    // watch: the least milliseconds from one pass's start to the next's
    bool fast = false;   // --fast: fast refresh for this run, whatever the settings say
    bool noFast = false; // --no-fast: the normal pace for this run
    bool wait = false;   // record: a port or adapter not there yet is tried until it is
    QString faultsEvery; // record: seconds between two reads of the fault memory
    QString rideGap;     // record: seconds of link loss that end a ride
};

// Reads the command line into options. Returns -1 to go on, or the status to end with after
// --help, --version or a malformed command line (the text is already printed).
int ParseCommandLine(const QStringList& arguments, CliOptions& options);

// One run of one command.
class CliRun : public QObject {
    Q_OBJECT
public:
    // programDirectory: where the program lives (its settings file is looked for there, or in
    // the user's folders for an installed copy). sessionOptions: a test's port factory.
    CliRun(CliOptions options, QString programDirectory, DiagSessionOptions sessionOptions = {});
    ~CliRun() override;

    // Runs a command that needs no link to its end and returns its status; a command that
    // connects is started and -1 returned: its status then comes with finished().
    int Start();

signals:
    void finished(int status);

private:
    int CheckLinkSettings();
    int ListPorts();
    int ListValues();
    int ListActions();
    int PrepareWatch();
    int PrepareAction();
    int Connect();
    bool Recording() const { return o_.command == QLatin1String("record"); }
    // record: the ride's event file beside its CSV log, fault reads, marks from stdin.
    void StartRecorder();
    void OnQuestion(const QString& text);
    void OnConnected();
    void OnDisconnected();
    void OnRows(const RowsSnapshot& rows);
    void OnJobEnded(const JobResult& result);
    void OnFaults(const JobResult& result);
    void OnReport(const JobResult& result);
    void OnSurveyStep(int counter);
    void OnSurveyFinished(const JobResult& result);
    void OnReconnectCountdown(int seconds);
    // The ending said on stderr; its status ends the run.
    void EndWith(const JobResult& result);
    // After a step of the action (a tick, a poll's result): when it has ended, says how.
    void OnActionStep();
    void OnJobDone();
    void OnInterrupt(int signal);
    // Ends the run with status (the first reason wins), through a clean disconnect if a link is up.
    void End(int status);
    void Finish();
    void PrintResult(const QString& text);
    void PrintInfo(const QString& text);
    QString T(const char* key);
    int NumberOption(const QString& name, const QString& text, double& value);

    CliOptions o_;
    QString programDirectory_;
    DiagSessionOptions sessionOptions_;
    QTemporaryDir work_;
    CliState state_;
    std::unique_ptr<DiagSession> session_;
    std::unique_ptr<ActorsController> actors_;
    InterruptWatcher* interrupts_ = nullptr;
    KeyWait* key_ = nullptr;
    std::unique_ptr<RideRecorder> recorder_;
    LineReader* marks_ = nullptr;
    int faultsEveryS_ = 10;
    int rideGapS_ = 300;
    bool waitSaid_ = false;
    QTimer procedureTimer_;
    QTimer selfLearningTimer_;
    QTimer durationTimer_;

    QString ecuInfo_;
    QString surveyFile_;
    int watchCount_ = 0;
    int passesShown_ = 0;
    int passLimit_ = 0;
    double durationS_ = 0;
    double intervalMs_ = 0;
    int actionPosition_ = -1;
    bool switchAction_ = false;
    int jobsOut_ = 0;
    bool disconnectWaiting_ = false;
    QString actionResult_;
    bool linkUp_ = false;
    LinkFailure failure_ = LinkFailure::None;
    QString failureText_;
    bool progressShown_ = false;
    bool countdownSaid_ = false;
    bool finished_ = false;
    int interruptCount_ = 0;
    int status_ = -1;
};

// The whole program: QCoreApplication, the command line, one run, its exit status.
int RunCli(int argc, char** argv);

} // namespace velmoro::cli
