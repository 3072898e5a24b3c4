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
//
// The files: CliOptions (the command line and the exit statuses), CliCommands (the table of
// commands and one function per command), CliApp (one run: the link, the session's signals, the
// end), CliJson (the results as JSON), CliSetup (the settings snapshot), Terminal.
#pragma once

#include "cli/CliOptions.h"
#include "cli/CliSetup.h"
#include "session/DiagSession.h"
#include "session/RideRecorder.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>

namespace velmoro::cli {

class InterruptWatcher;
class KeyWait;
class LineReader;
class CliRun;

// One command of the table: what --help says of it, the options it takes, and its functions.
struct CliCommand {
    enum Needs { NeedsNothing, NeedsModel, NeedsLink };
    const char* name;
    const char* synopsis;
    const char* what;
    unsigned options; // CommandOption bits
    Needs needs;
    // Before any link: checks and chooses, or does the whole command. Returns the status to end
    // with, or -1 to go on (and connect, for a command that needs the link). May be null.
    int (CliRun::*prepare)();
    // Once the link is up and identified: starts the command's work. Null for a command that
    // needs no link.
    void (CliRun::*start)();
};

// Every command, in the order --help lists them.
const QVector<CliCommand>& CliCommands();

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
    // The table names the command functions below.
    friend const QVector<CliCommand>& CliCommands();

    // ---- the run (CliApp.cpp) ----
    int Begin();
    // The numbers and files of the options, checked before anything is connected.
    int CheckOptions();
    int CheckLinkSettings();
    // The options that change the settings for this run (pace, logs, reconnecting), applied to
    // the snapshot LoadCliState made; with it, the only place the run writes its settings.
    void ApplyOptionsToSettings();
    int Connect();
    void OnQuestion(const QString& text);
    void OnConnected();
    void OnDisconnected();
    void OnJobEnded(const JobResult& result);
    void OnInterrupt(int signal);
    // The ending said on stderr (and in the JSON result); its status ends the run.
    void EndWith(const JobResult& result, QJsonObject json = {});
    // Ends the run with status (the first reason wins), through a clean disconnect if a link is up.
    void End(int status);
    void Finish();
    // An error in the user's words on stderr; the first one is the JSON result's "error".
    void Fail(const QString& text);
    void PrintInfo(const QString& text);
    // The command's result as one JSON object on stdout; a run that did not succeed adds the
    // error and the status to it.
    void PrintJsonResult(QJsonObject object, int status);
    QString T(const char* key);
    int NumberOption(const QString& name, const QString& text, double& value);
    bool Is(const char* command) const { return o_.command == QLatin1String(command); }
    bool Recording() const { return Is("record"); }
    bool Watching() const { return Is("watch") || Recording(); }

    // ---- the commands (CliCommands.cpp) ----
    int ListPorts();
    int ListValues();
    int ListActions();
    int PrepareWatch();
    int PrepareAction();
    int PrepareDownload();
    void StartInfo();
    void StartWatch();
    void StartFaults();
    void StartReport();
    void StartSurvey();
    void StartAction();
    // The session's action results, for run and download.
    void SetUpActions();
    // record: the ride's event file beside its CSV log, fault reads, marks from stdin.
    void StartRecorder();
    void OnRows(const RowsSnapshot& rows);
    void OnFaults(const JobResult& result);
    void OnReport(const JobResult& result);
    void OnSurveyStep(int counter);
    void OnSurveyFinished(const JobResult& result);
    void OnReconnectCountdown(int seconds);
    // A switch request answered, or the procedure ended: says how, and ends the run when done.
    void OnActionFinished(const ActionResult& result);
    // A switch that is on goes off; the link waits for the off request.
    void SwitchOff();

    CliOptions o_;
    const CliCommand* command_ = nullptr;
    QString programDirectory_;
    DiagSessionOptions sessionOptions_;
    CliState state_;
    std::unique_ptr<DiagSession> session_;
    InterruptWatcher* interrupts_ = nullptr;
    KeyWait* key_ = nullptr;
    std::unique_ptr<RideRecorder> recorder_;
    LineReader* marks_ = nullptr;
    int faultsEveryS_ = 10;
    int rideGapS_ = 300;
    bool waitSaid_ = false;
    QTimer durationTimer_;

    EcuInfo ecuInfo_; // what the identification read; commands run once it did
    QString surveyFile_;
    int watchCount_ = 0;
    int passesShown_ = 0;
    int passLimit_ = 0;
    double durationS_ = 0;
    double intervalMs_ = 0;
    int actionPosition_ = -1;
    QString actionName_;
    bool switchAction_ = false;
    bool offPending_ = false; // a switch's off request is out
    bool disconnectWaiting_ = false;
    bool linkUp_ = false;
    LinkFailure failure_ = LinkFailure::None;
    QString failureText_;
    QString errorText_;
    bool resultPrinted_ = false;
    bool progressShown_ = false;
    bool countdownSaid_ = false;
    bool finished_ = false;
    int interruptCount_ = 0;
    int status_ = -1;
};

// The whole program: QCoreApplication, the command line, one run, its exit status.
int RunCli(int argc, char** argv);

} // namespace velmoro::cli
