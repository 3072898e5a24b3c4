// One run of velmoro-cli: the settings and options checked, the command looked up in the table,
// the link, the session's signals, and the one way a run ends.
#include "cli/CliApp.h"

#include "cli/CliJson.h"
#include "cli/Terminal.h"
#include "config/DataLocations.h"
#include "ecu/RefreshCycle.h"
#include "link/AdapterPort.h"
#include "link/PortDiscovery.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <tuple>

namespace velmoro::cli {

namespace {

bool IsHostAndPort(const QString& port)
{
    return !QDir::isAbsolutePath(port) && port.contains(QLatin1Char(':'));
}

} // namespace

CliRun::CliRun(CliOptions options, QString programDirectory, DiagSessionOptions sessionOptions)
    : o_(std::move(options)), programDirectory_(std::move(programDirectory)),
      sessionOptions_(std::move(sessionOptions))
{
    durationTimer_.setSingleShot(true);
}

CliRun::~CliRun()
{
    if (session_)
        session_->waitStopped();
}

QString CliRun::T(const char* key)
{
    return TextOrEnglish(state_.texts, QLatin1String(key));
}

void CliRun::PrintInfo(const QString& text)
{
    if (!o_.quiet)
        PrintErr(text);
}

void CliRun::Fail(const QString& text)
{
    if (errorText_.isEmpty())
        errorText_ = text;
    PrintErr(text);
}

void CliRun::PrintJsonResult(QJsonObject object, int status)
{
    if (resultPrinted_)
        return;
    resultPrinted_ = true;
    // The simulated motorcycle's values are invented: a result read from it says so.
    if (session_)
        object.insert(QStringLiteral("simulated"), session_->linkIsSimulated());
    if (status != ExitDone) {
        const QJsonObject error = ErrorJson(errorText_, status);
        for (auto it = error.begin(); it != error.end(); ++it)
            object.insert(it.key(), it.value());
    }
    PrintJson(object);
}

int CliRun::NumberOption(const QString& name, const QString& text, double& value)
{
    if (text.isEmpty())
        return -1;
    bool ok = false;
    value = text.toDouble(&ok);
    if (!ok || value <= 0 || value > 1e7) {
        Fail(T("Cli_28").arg(name, text));
        return ExitUsage;
    }
    return -1;
}

int CliRun::Start()
{
    const int status = Begin();
    // A run that ends before any link: its JSON error, as Finish() gives one after a link.
    if (status > ExitDone && o_.json && !resultPrinted_)
        PrintJsonResult({}, status);
    return status;
}

int CliRun::Begin()
{
    QString error;
    // An installed copy keeps its settings and files in the user's folders, as the window does.
    const ProgramPaths paths = LocateDataFiles(CliProgramPaths(programDirectory_));
    if (!LoadCliState(state_, paths, o_.settings, error)) {
        Fail(error);
        return ExitUsage;
    }
    // The session holds the family: the value lists and the actions come from it.
    session_ = std::make_unique<DiagSession>(state_, sessionOptions_);
    if (const std::shared_ptr<const Ecu> family = session_->family())
        RefreshChoosers(state_, *family, false);

    QStringList names;
    for (const CliCommand& command : CliCommands())
        names << QString::fromLatin1(command.name);
    QString nearest;
    const int command = MatchName(names, o_.command, &nearest);
    if (command < 0) {
        Fail(T("Cli_1").arg(o_.command) +
             (nearest.isEmpty() ? QString() : QLatin1Char(' ') + T("Cli_2").arg(nearest)));
        return ExitUsage;
    }
    command_ = &CliCommands()[command];
    o_.command = names[command];
    if (const int status = CheckOptions(); status >= 0)
        return status;

    if (command_->needs != CliCommand::NeedsNothing)
        if (const int status = CheckLinkSettings(); status >= 0)
            return status;
    if (command_->prepare)
        if (const int status = (this->*command_->prepare)(); status >= 0)
            return status;
    if (command_->needs != CliCommand::NeedsLink)
        return ExitDone;
    if (state_.link.port.isEmpty()) {
        Fail(T("Cli_7"));
        return ExitUsage;
    }
    return Connect();
}

int CliRun::CheckOptions()
{
    // An option the command has no use for is a typing error, not something to ignore.
    if (const QString option = o_.OptionNotFor(command_->options); !option.isEmpty()) {
        Fail(T("Rec_8").arg(option, o_.command));
        return ExitUsage;
    }

    double passes = 0;
    if (const int status = NumberOption(QStringLiteral("--passes"), o_.passes, passes); status >= 0)
        return status;
    if (const int status = NumberOption(QStringLiteral("--duration"), o_.duration, durationS_);
        status >= 0)
        return status;
    // A number of passes is whole: 2.5 passes is a typing error, not two.
    if (passes != std::floor(passes)) {
        Fail(T("Cli_28").arg(QStringLiteral("--passes"), o_.passes));
        return ExitUsage;
    }
    passLimit_ = static_cast<int>(passes);
    if (const int status = NumberOption(QStringLiteral("--interval"), o_.interval, intervalMs_);
        status >= 0)
        return status;
    for (const auto& [name, text, value] :
         {std::tuple{"--faults-every", o_.faultsEvery, &faultsEveryS_},
          std::tuple{"--ride-gap", o_.rideGap, &rideGapS_}}) {
        if (text.isEmpty())
            continue;
        // Whole seconds; 0 switches the reading or the new rides off.
        const double seconds = text.toDouble();
        bool whole = false;
        const int parsed = text.toInt(&whole);
        if (!whole || parsed < 0 || seconds != parsed) {
            Fail(T("Cli_28").arg(QLatin1String(name), text));
            return ExitUsage;
        }
        *value = parsed;
    }
    // Files asked for are checked before the link is: a typing error in a folder's name should
    // not cost a connect and an ignition prompt. A recording's events need a file beside its log.
    if (Recording() && o_.csvFile == QLatin1String("-")) {
        Fail(T("Cli_22").arg(o_.csvFile));
        return ExitUsage;
    }
    for (const QString& file : {o_.csvFile, o_.outputFile, o_.debugLogFile}) {
        if (file.isEmpty() || file == QLatin1String("-"))
            continue;
        const QFileInfo info(file);
        const QFileInfo folder(info.absolutePath());
        if (info.isDir() || !folder.isDir() || !folder.isWritable() ||
            (info.exists() && !info.isWritable())) {
            Fail(T("Cli_22").arg(file));
            return ExitFailed;
        }
    }
    if (o_.fast && o_.noFast) {
        Fail(T("Rate_1"));
        return ExitUsage;
    }

    return -1;
}

int CliRun::CheckLinkSettings()
{
    if (!state_.link.ecuId.isEmpty())
        return -1;
    QStringList models;
    for (const ModelEntry& entry : state_.models)
        models << entry.name;
    Fail(T("Cli_8").arg(models.join(QStringLiteral(", "))));
    return ExitUsage;
}

void CliRun::ApplyOptionsToSettings()
{
    // For this run only: the settings file stays as it is.
    if (o_.fast || o_.noFast)
        state_.settings.fastRefresh = o_.fast ? 1 : 0;
    // A recording always logs: into --csv FILE, or a dated file where the window logs.
    state_.settings.csv = Recording() || (Watching() && !o_.csvFile.isEmpty()) ? 1 : 0;
    state_.settings.logging = o_.debugLogFile.isEmpty() ? 0 : 1;
    // A lost link ends the run with its own status, unless a watch is to ride through it; a
    // recording always does.
    state_.settings.reconnect =
        Recording() || (Watching() && (o_.reconnect || state_.settings.reconnect != 0)) ? 1 : 0;
}

int CliRun::Connect()
{
    // The snapshot the session gets: the settings file's, changed by the options.
    ApplyOptionsToSettings();
    interrupts_ = new InterruptWatcher(this);
    key_ = new KeyWait(this);
    connect(interrupts_, &InterruptWatcher::interrupted, this, &CliRun::OnInterrupt);
    connect(key_, &KeyWait::pressed, this, [this] { session_->answerQuestion(); });

    DiagSession* s = session_.get();
    connect(s, &DiagSession::question, this, &CliRun::OnQuestion);
    connect(s, &DiagSession::identified, this, [this](const EcuInfo& info) { ecuInfo_ = info; });
    connect(s, &DiagSession::connected, this, &CliRun::OnConnected);
    connect(s, &DiagSession::disconnected, this, &CliRun::OnDisconnected);
    connect(s, &DiagSession::linkFailed, this, [this](LinkFailure failure, const QString& text) {
        failure_ = failure;
        failureText_ = text;
    });
    connect(s, &DiagSession::rowsRead, this, &CliRun::OnRows);
    // Fast refresh (FastRefresh in the settings file) fell back to the normal pace.
    connect(s, &DiagSession::fastRefreshEnded, this, [this] { PrintInfo(T("Fast_2")); });
    // The adapter restarted by itself and was set up again: the values go on.
    connect(s, &DiagSession::adapterRestarted, this,
            [this](const QString& text) { PrintInfo(text); });
    connect(s, &DiagSession::passLimitReached, this, [this] { End(ExitDone); });
    connect(s, &DiagSession::jobEnded, this, &CliRun::OnJobEnded);
    connect(s, &DiagSession::surveyStep, this, &CliRun::OnSurveyStep);
    connect(s, &DiagSession::reconnectCountdown, this, &CliRun::OnReconnectCountdown);
    connect(s, &DiagSession::logProblem, this, [this](const QString& text) {
        // A log asked for on the command line that cannot be written ends the run at once.
        Fail(text);
        End(ExitFailed);
    });
    connect(s, &DiagSession::stopped, this, &CliRun::Finish);
    connect(&durationTimer_, &QTimer::timeout, this, [this] {
        if (switchAction_ && session_->stopAction()) {
            offPending_ = true; // the switch goes off again
            if (o_.json)
                PrintJsonResult(
                    QJsonObject{{QStringLiteral("action"), actionName_},
                                {QStringLiteral("ending"), JobEndingName(JobEnding::Done)}},
                    ExitDone);
        }
        End(ExitDone);
    });

    if (actionPosition_ >= 0)
        SetUpActions();

    const bool watch = Watching();
    if (Recording())
        StartRecorder();
    session_->setLogFileNames(o_.csvFile, o_.debugLogFile);
    // Passes run for watch, and for the survey whose steps go between them; other jobs read alone.
    session_->setMeasurementsShown(watch || Is("survey"));
    if (watch) {
        session_->stopPassesAfter(passLimit_);
        session_->setMinimumPassIntervalMs(static_cast<int>(intervalMs_));
    } else
        for (int r = 0; r < kDisplayRows; ++r)
            ChooseValue(state_, r, 0);

    std::array<QString, 8> header;
    for (int r = 0; r < kDisplayRows; ++r)
        header[static_cast<std::size_t>(r)] =
            state_.choosers[static_cast<std::size_t>(r)].SelectedText();
    std::array<int, 8> indices;
    for (int r = 0; r < kDisplayRows; ++r)
        indices[static_cast<std::size_t>(r)] = state_.rows[static_cast<std::size_t>(r)].valueIndex;
    // The link takes the settings as the options left them.
    session_->applySettings(state_);
    if (!session_->connectLink(header, indices)) {
        Fail(T("Cli_7"));
        return ExitUsage;
    }
    return -1;
}

void CliRun::OnQuestion(const QString& text)
{
    // The box's "press Ok" line means nothing on a terminal.
    const QString pressOk = state_.texts.Text(QStringLiteral("Thread_3")).trimmed();
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty() && line.trimmed() != pressOk)
            PrintInfo(line.trimmed());
    // Quiet, a script or a run in the background never waits for a key it did not ask for.
    if (status_ >= 0 || o_.yes || o_.quiet || !StdinIsForegroundTerminal()) {
        session_->answerQuestion();
        return;
    }
    PrintInfo(T("Cli_15"));
    key_->Start();
}

void CliRun::OnConnected()
{
    if (status_ >= 0)
        return;
    if (Recording() && !recorder_->writeOk()) {
        Fail(T("Err_14").arg(recorder_->problem()));
        End(ExitFailed);
        return;
    }
    if (linkUp_) {
        // A watch riding through a lost link: the same passes go on into the same CSV file.
        PrintInfo(T("Job_9"));
        return;
    }
    // A family that connects without an identification still needs an adapter and an ECU that
    // answer; what follows would otherwise be a run of dashes. What the set-up found names why.
    const AdapterInfo adapter = session_->adapterInfo();
    // A recorder started before the ignition waits for the ECU: its values come once it answers.
    if (!adapter.answered || (!adapter.ecuAnswered && !Recording())) {
        // CAN refused is the adapter's failing for both families, not a silent ECU.
        if (adapter.setUpFailure == LinkFailure::CanRefused) {
            Fail(adapter.setUpFailureText);
            End(ExitStatusOf(adapter.setUpFailure));
            return;
        }
        Fail(adapter.answered ? T("Cli_12") : T("Cli_11").arg(state_.link.port));
        End(ExitStatusOf(adapter.answered ? LinkFailure::EcuSilent : LinkFailure::AdapterSilent));
        return;
    }
    linkUp_ = true;
    if (state_.link.port == kSimulatorPortName)
        PrintInfo(T("Job_10"));
    (this->*command_->start)();
}

void CliRun::OnJobEnded(const JobResult& result)
{
    // A recording's fault reads are its recorder's: they note, they end nothing.
    if (Recording())
        return;
    switch (result.kind) {
    case JobKind::ReadFaults:
    case JobKind::ClearFaults:
        OnFaults(result);
        break;
    case JobKind::Report:
        OnReport(result);
        break;
    case JobKind::Survey:
        OnSurveyFinished(result);
        break;
    }
}

void CliRun::EndWith(const JobResult& result, QJsonObject json)
{
    const int status = ExitStatusOf(result.ending);
    if (result.ending != JobEnding::Done) {
        const QString text = JobResultText(state_.texts, result);
        if (!text.isEmpty())
            Fail(text);
    }
    if (o_.json) {
        json.insert(QStringLiteral("ending"), JobEndingName(result.ending));
        PrintJsonResult(json, status);
    }
    End(status);
}

void CliRun::OnInterrupt(int signal)
{
    if (progressShown_)
        WriteErr(QStringLiteral("\n"));
    progressShown_ = false;
    if (++interruptCount_ > 1) {
        // Asked again: stop without waiting for the link to end in order.
        session_->quit();
        return;
    }
    Fail(T("Cli_14"));
    // A switched actuator is switched off before the link ends, as the view's Stop does.
    SwitchOff();
    End(ExitStatusOfSignal(signal));
}

void CliRun::End(int status)
{
    if (status_ < 0)
        status_ = status;
    durationTimer_.stop();
    if (key_ && key_->Waiting())
        key_->Cancel();
    const LinkState link = session_ ? session_->linkState() : LinkState::Disconnected;
    if (link == LinkState::Disconnected) {
        Finish();
        return;
    }
    // A switch's requests are short: the off request is sent before the link ends. A long
    // procedure is not waited for.
    disconnectWaiting_ = offPending_ && link == LinkState::Connected && interruptCount_ < 2;
    if (disconnectWaiting_)
        return;
    session_->disconnectLink();
    // A worker waiting at the ignition prompt goes on, sees the stop and resets the adapter.
    session_->answerQuestion();
}

void CliRun::OnDisconnected()
{
    if (progressShown_)
        WriteErr(QStringLiteral("\n"));
    progressShown_ = false;
    // "Ignition off" reads as a finding after a run that went well; it is said only where the
    // link ended in a way the user should look at.
    if (linkUp_ && status_ != ExitDone)
        PrintInfo(state_.texts.Text(QStringLiteral("View_56")));
    if (status_ < 0) {
        const AdapterInfo adapter = session_->adapterInfo();
        const QString& port = state_.link.port;
        if (linkUp_) {
            Fail(T("Cli_13"));
            status_ = ExitStatusOf(JobEnding::CutShort);
        } else if (failure_ != LinkFailure::None && failure_ != LinkFailure::PortNotOpened) {
            // The step that failed, in the window's words.
            Fail(failureText_);
            status_ = ExitStatusOf(failure_);
        } else if (!adapter.portOpened) {
            // A serial port names its reason as the window does: no such device (with the
            // binding hint for Bluetooth), not a serial device, busy, or no permission with
            // what to do about it.
            if (IsHostAndPort(port))
                Fail(T("Cli_29").arg(port));
            else if (failure_ == LinkFailure::PortNotOpened && !failureText_.isEmpty())
                Fail(failureText_);
            else if (QDir::isAbsolutePath(port) && !QFileInfo::exists(port))
                Fail(T("Cli_9").arg(port));
            else
                Fail(T("Cli_10").arg(port));
            status_ = ExitStatusOf(LinkFailure::PortNotOpened);
        } else {
            Fail(adapter.answered ? T("Cli_12") : T("Cli_11").arg(port));
            status_ = ExitStatusOf(adapter.answered ? LinkFailure::EcuSilent
                                                    : LinkFailure::AdapterSilent);
        }
    }
    Finish();
}

void CliRun::Finish()
{
    if (finished_)
        return;
    finished_ = true;
    const int status = status_ < 0 ? ExitDone : status_;
    // A run that failed without a result of its own (a lost link, a port, Ctrl-C): the error
    // alone, so that a script never reads silence as success.
    if (status != ExitDone && o_.json && !resultPrinted_)
        PrintJsonResult({}, status);
    emit finished(status);
}

int RunCli(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The window's name: the user's folders of an installed copy are named after it.
    QCoreApplication::setApplicationName(QStringLiteral("VelmoroCanDiag"));
    CliOptions options;
    if (const int status = ParseCommandLine(QCoreApplication::arguments(), options); status >= 0)
        return status;
    const QString programDirectory =
        QFileInfo(QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath())
            .absolutePath();
    CliRun run(options, programDirectory);
    QObject::connect(
        &run, &CliRun::finished, &app, [&app](int status) { app.exit(status); },
        Qt::QueuedConnection);
    const int status = run.Start();
    if (status >= 0)
        return status;
    return app.exec();
}

} // namespace velmoro::cli
