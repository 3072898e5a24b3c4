// The table of velmoro-cli's commands, and the commands that list, read and run once: ports,
// values, actions, info, faults, report, survey, run and download. Watch and record are in
// CliWatch.cpp.
#include "cli/CliApp.h"

#include "cli/CliJson.h"
#include "cli/Terminal.h"
#include "ecu/Procedures.h"
#include "link/AdapterPort.h"
#include "link/PortDiscovery.h"
#include "output/Report.h"
#include "output/Survey.h"
#include "values/ValueCatalog.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>

namespace velmoro::cli {

namespace {

// The chosen family's actuator tests and procedures; none before a family is chosen.
ActionList ActionsOf(const DiagSession& session)
{
    const std::shared_ptr<const Ecu> family = session.family();
    return family ? family->actions() : ActionList{};
}

constexpr double kDefaultSwitchSeconds = 5.0;
constexpr int kProgressWidth = 32;

const char* ActionKindName(int kind)
{
    return kind == KindSwitch ? "switch" : kind == KindProcedure ? "procedure" : "self-learning";
}

// Moves a written file to where the user asked for it, replacing what was there; a copy where
// the two lie on different file systems.
bool MoveFile(const QString& from, const QString& to)
{
    QFile::remove(to);
    return QFile::rename(from, to) || (QFile::copy(from, to) && QFile::remove(from));
}

} // namespace

const QVector<CliCommand>& CliCommands()
{
    using C = CliCommand;
    static const QVector<CliCommand> commands = {
        {"ports", "ports",
         "every adapter port: device, stable name, description, USB ids, free or not", 0,
         C::NeedsNothing, &CliRun::ListPorts, nullptr},
        {"info", "info", "connects, shows the adapter and the ECU identification", 0, C::NeedsLink,
         nullptr, &CliRun::StartInfo},
        {"values", "values", "the value names of the model's family, numbered", 0, C::NeedsModel,
         &CliRun::ListValues, nullptr},
        {"watch", "watch NAME...",
         "up to eight values (names or numbers) pass after pass; --csv FILE logs them, "
         "--passes N or --duration S ends it, --interval MS spaces the passes",
         OptCsv | OptPasses | OptInterval | OptDuration | OptReconnect, C::NeedsLink,
         &CliRun::PrepareWatch, &CliRun::StartWatch},
        {"record", "record [NAME...]",
         "records a ride: the values into a CSV log and, in an event file beside it, the faults "
         "that appeared or went (read every --faults-every S, 10 by default), the link lost and "
         "back, adapter restarts and your marks (Enter); reconnects by itself, --wait for an "
         "adapter not yet there, a new pair of files after the link was down --ride-gap S (300)",
         OptCsv | OptPasses | OptInterval | OptDuration | OptWait | OptFaultsEvery | OptRideGap,
         C::NeedsLink, &CliRun::PrepareWatch, &CliRun::StartWatch},
        {"faults", "faults [--clear]", "new and stored faults; --clear clears them and reads again",
         OptClear, C::NeedsLink, nullptr, &CliRun::StartFaults},
        {"report", "report [-o FILE]", "the diagnostic report, as the window saves it", OptOutput,
         C::NeedsLink, nullptr, &CliRun::StartReport},
        {"survey", "survey [-o FILE]", "the answers to every identifier 0x1000..0x10FF", OptOutput,
         C::NeedsLink, nullptr, &CliRun::StartSurvey},
        {"actions", "actions", "the actuator tests and procedures of the model's family", 0,
         C::NeedsModel, &CliRun::ListActions, nullptr},
        {"run", "run ACTION --yes",
         "runs one of them (switches are on for --duration S, 5 s by default); without --yes it "
         "says what would move",
         OptDuration, C::NeedsLink, &CliRun::PrepareAction, &CliRun::StartAction},
        {"download", "download [-o FILE]", "the ECU's stored data into a file", OptOutput,
         C::NeedsLink, &CliRun::PrepareDownload, &CliRun::StartAction},
    };
    return commands;
}

int CliRun::ListPorts()
{
    QJsonArray array;
    // The window's list in the window's order, but every port the system reports: whether one
    // opens now is said, not used to leave it out.
    PortDiscoveryOptions options;
    options.canOpen = [](const QString&) { return true; };
    for (const PortEntry& port : DiscoverPorts(options)) {
        const bool simulator = port.kind == PortKind::Simulator;
        const QString description = simulator ? T("Cli_27") : port.description;
        const QString stableName = port.savedName != port.name ? port.savedName : QString();
        // A Bluetooth port is not opened to find out: that calls the adapter over the air.
        const bool opensNow = simulator || (!IsBluetoothPort(port.name) && TryOpenPort(port.name));
        if (o_.json) {
            QJsonObject object{{QStringLiteral("port"), port.name},
                               {QStringLiteral("stableName"), stableName},
                               {QStringLiteral("description"), description},
                               {QStringLiteral("opensNow"), opensNow}};
            array.append(object);
            continue;
        }
        QStringList parts{port.name};
        for (const QString& part : {description, stableName})
            if (!part.isEmpty())
                parts << part;
        parts << (opensNow ? T("Cli_25") : T("Cli_26"));
        PrintOut(parts.join(QStringLiteral("  ")));
    }
    if (o_.json)
        PrintJson(array);
    return ExitDone;
}

int CliRun::ListValues()
{
    QJsonArray array;
    const QVector<ChooserEntry>& entries = state_.choosers[0].entries;
    for (int k = 1; k < entries.size(); ++k) {
        if (!o_.json) {
            PrintOut(QStringLiteral("%1  %2").arg(k, 3).arg(entries[k].text));
            continue;
        }
        // The identifier the value is read by, for a script that lines it up with a survey.
        std::uint8_t hi = 0;
        std::uint8_t lo = 0;
        const bool read = state_.link.family == Family11mp
                              ? ValueIdentifier11mp(entries[k].itemData, hi, lo)
                              : ValueIdentifierMiug4(entries[k].itemData, hi, lo);
        const QJsonValue identifier =
            read ? QJsonValue(QStringLiteral("0x%1").arg(hi * 256 + lo, 4, 16, QLatin1Char('0')))
                 : QJsonValue(QJsonValue::Null);
        const QString unit = state_.link.family == Family11mp ? ValueUnit11mp(entries[k].itemData)
                                                              : ValueUnitMiug4(entries[k].itemData);
        array.append(QJsonObject{
            {QStringLiteral("number"), k},
            {QStringLiteral("name"), entries[k].text},
            {QStringLiteral("identifier"), identifier},
            {QStringLiteral("unit"), unit.isEmpty() ? QJsonValue(QJsonValue::Null) : unit}});
    }
    if (o_.json)
        PrintJson(array);
    return ExitDone;
}

int CliRun::ListActions()
{
    QJsonArray array;
    const ActionList actions = ActionsOf(*session_);
    // As the actors view lists them: the tests with the engine off, then those with it running.
    for (const int group : {1, 0}) {
        bool headed = false;
        for (const ActionEntry& entry : actions) {
            if (entry.group != group)
                continue;
            const QString condition = state_.texts.Text(group == 1 ? QStringLiteral("Status_12")
                                                                   : QStringLiteral("Status_11"));
            if (o_.json) {
                array.append(
                    QJsonObject{{QStringLiteral("number"), entry.position + 1},
                                {QStringLiteral("name"), entry.text},
                                {QStringLiteral("kind"), QLatin1String(ActionKindName(entry.kind))},
                                {QStringLiteral("condition"), condition}});
                continue;
            }
            if (!headed)
                PrintOut(condition);
            headed = true;
            PrintOut(QStringLiteral("%1  %2").arg(entry.position + 1, 4).arg(entry.text));
        }
    }
    if (o_.json)
        PrintJson(array);
    return ExitDone;
}

void CliRun::StartInfo()
{
    const AdapterInfo adapter = session_->adapterInfo();
    const QStringList ecu = EcuInfoText(ecuInfo_).split(QLatin1Char('\n'));
    if (o_.json) {
        PrintJsonResult(QJsonObject{{QStringLiteral("adapter"),
                                     QJsonObject{{QStringLiteral("kind"), adapter.kind},
                                                 {QStringLiteral("banner"), adapter.banner},
                                                 {QStringLiteral("detail"), adapter.detail}}},
                                    {QStringLiteral("ecu"), QJsonArray::fromStringList(ecu)}},
                        ExitDone);
    } else {
        QString line = T("Cli_24") + QStringLiteral(": ") + adapter.kind;
        for (const QString& part : {adapter.detail, adapter.banner})
            if (!part.isEmpty())
                line += QStringLiteral(", ") + part;
        PrintOut(line);
        PrintOut(state_.texts.Text(QStringLiteral("View_11")) + QLatin1Char(':'));
        for (const QString& text : ecu)
            PrintOut(QStringLiteral("  ") + text);
    }
    End(ExitDone);
}

void CliRun::StartFaults()
{
    session_->faults().Clear();
    if (o_.clear)
        session_->clearFaults();
    else
        session_->readFaults();
}

void CliRun::OnFaults(const JobResult& result)
{
    if (status_ >= 0)
        return;
    const FaultLists& faults = session_->faults();
    if (faults.Unread()) {
        // Never an empty list: that would read as "no faults".
        EndWith(result, QJsonObject{{QStringLiteral("new"), QJsonValue::Null},
                                    {QStringLiteral("stored"), QJsonValue::Null}});
        return;
    }
    const QStringList current = faults.Current();
    const QStringList stored = faults.Stored();
    if (!o_.json) {
        PrintOut(state_.texts.Text(QStringLiteral("View_21")) + QLatin1Char(':'));
        for (const QString& line : current)
            PrintOut(QStringLiteral("  ") + line);
        PrintOut(state_.texts.Text(QStringLiteral("View_22")) + QLatin1Char(':'));
        for (const QString& line : stored)
            PrintOut(QStringLiteral("  ") + line);
    }
    // A clearing the ECU refused: the lists are what it still holds.
    QJsonObject json{{QStringLiteral("new"), FaultsJson(faults.CurrentEntries())},
                     {QStringLiteral("stored"), FaultsJson(faults.StoredEntries())}};
    if (o_.clear)
        json.insert(QStringLiteral("cleared"), result.ending == JobEnding::Done);
    EndWith(result, json);
}

void CliRun::StartReport()
{
    session_->buildReport(EcuInfoText(ecuInfo_), state_.choosers[0].entries);
}

void CliRun::OnReport(const JobResult& result)
{
    if (!session_->report().FinishBuild() || status_ >= 0)
        return;
    const QDateTime now = QDateTime::currentDateTime();
    const QString file =
        o_.outputFile.isEmpty() ? ReportFileName(state_.paths, now) : o_.outputFile;
    if (!SaveReportAt(session_->report(), file, now)) {
        Fail(T("Cli_22").arg(file));
        End(ExitFailed);
        return;
    }
    // A report cut short, or without its fault memory, is written as far as it got and says so
    // in its last lines; the run ends with the ending's status.
    const bool complete = result.ending == JobEnding::Done;
    if (!o_.json)
        PrintOut((complete ? T("Cli_23") : T("Job_11")).arg(file));
    EndWith(result,
            QJsonObject{{QStringLiteral("file"), file}, {QStringLiteral("complete"), complete}});
}

void CliRun::StartSurvey()
{
    surveyFile_ = o_.outputFile.isEmpty()
                      ? SurveyFileName(state_.paths, QDateTime::currentDateTime())
                      : o_.outputFile;
    if (!session_->startSurveyAt(surveyFile_)) {
        Fail(T("Cli_22").arg(surveyFile_));
        End(ExitFailed);
    }
}

void CliRun::OnSurveyStep(int counter)
{
    if (o_.quiet || !StderrIsTerminal())
        return;
    // counter kSurveyEnd: every identifier has been read, the bar is full.
    const int done = std::min(counter, kSurveyEnd) * kProgressWidth / kSurveyEnd;
    WriteErr(QStringLiteral("\r%1 [%2%3]")
                 .arg(SurveyButtonText(state_.texts, std::min(counter, kSurveyEnd - 1)))
                 .arg(QString(done, QLatin1Char('#')))
                 .arg(QString(kProgressWidth - done, QLatin1Char('.'))));
    progressShown_ = true;
}

void CliRun::OnSurveyFinished(const JobResult& result)
{
    const bool complete = result.ending == JobEnding::Done;
    if (complete && progressShown_)
        OnSurveyStep(kSurveyEnd); // the bar ends full
    if (progressShown_)
        WriteErr(QStringLiteral("\n"));
    progressShown_ = false;
    if (status_ >= 0)
        return;
    if (!o_.json)
        PrintOut((complete ? T("Cli_23") : T("Job_11")).arg(surveyFile_));
    QJsonObject json{{QStringLiteral("file"), surveyFile_}, {QStringLiteral("complete"), complete}};
    if (result.identifier >= 0)
        json.insert(QStringLiteral("cutAt"),
                    QStringLiteral("0x10%1").arg(result.identifier, 2, 16, QLatin1Char('0')));
    EndWith(result, json);
}

int CliRun::PrepareDownload()
{
    for (const ActionEntry& entry : ActionsOf(*session_))
        if (entry.key == QLatin1String("View_68")) {
            actionPosition_ = entry.position;
            actionName_ = entry.text;
        }
    return -1;
}

int CliRun::PrepareAction()
{
    QStringList names;
    QVector<int> positions;
    const ActionList actions = ActionsOf(*session_);
    for (const ActionEntry& entry : actions) {
        names << entry.text;
        positions << entry.position;
    }
    const QString typed = o_.arguments.join(QLatin1Char(' '));
    bool number = false;
    const int k = typed.toInt(&number);
    QString nearest;
    int at = -1;
    if (number)
        at = static_cast<int>(positions.indexOf(k - 1));
    else if (!typed.isEmpty())
        at = MatchName(names, typed, &nearest);
    if (at < 0) {
        Fail(T("Cli_6").arg(typed) +
             (nearest.isEmpty() ? QString() : QLatin1Char(' ') + T("Cli_2").arg(nearest)));
        return ExitUsage;
    }
    const ActionEntry& entry = actions[at];
    actionPosition_ = entry.position;
    actionName_ = entry.text;
    switchAction_ = entry.kind == KindSwitch;
    // What will move, and with the engine off or running, before anything does.
    const double seconds = durationS_ > 0 ? durationS_ : kDefaultSwitchSeconds;
    const QString what = entry.kind == KindSwitch
                             ? T("Cli_17").arg(entry.text, QString::number(seconds))
                         : entry.kind == KindProcedure ? T("Cli_18").arg(entry.text)
                                                       : T("Cli_19").arg(entry.text);
    const QString condition = state_.texts.Text(entry.group == 1 ? QStringLiteral("Status_12")
                                                                 : QStringLiteral("Status_11"));
    if (o_.yes) {
        PrintInfo(what + QLatin1Char(' ') + condition + QLatin1Char('.'));
        return -1;
    }
    if (o_.json) {
        // What would move, for a script that asks before it runs anything.
        errorText_ = T("Cli_20");
        PrintJsonResult(
            QJsonObject{{QStringLiteral("action"), entry.text},
                        {QStringLiteral("kind"), QLatin1String(ActionKindName(entry.kind))},
                        {QStringLiteral("what"), what},
                        {QStringLiteral("condition"), condition}},
            ExitUsage);
        return ExitUsage;
    }
    PrintOut(what);
    PrintOut(condition + QLatin1Char('.'));
    PrintOut(T("Cli_20"));
    return ExitUsage;
}

void CliRun::SetUpActions()
{
    connect(session_.get(), &DiagSession::actionFinished, this, &CliRun::OnActionFinished);
}

void CliRun::StartAction()
{
    if (!session_->startAction(actionPosition_)) {
        End(ExitFailed);
    } else if (switchAction_) {
        const double seconds = durationS_ > 0 ? durationS_ : kDefaultSwitchSeconds;
        durationTimer_.start(static_cast<int>(seconds * 1000));
    }
}

void CliRun::SwitchOff()
{
    if (switchAction_ && session_ && session_->stopAction())
        offPending_ = true;
}

void CliRun::OnActionFinished(const ActionResult& result)
{
    if (result.kind == KindSwitch && !result.switchedOn) {
        // The off request has been answered: a link that waited for it may end now.
        offPending_ = false;
        if (disconnectWaiting_)
            End(status_);
        return;
    }
    if (status_ >= 0)
        return;
    QJsonObject json{{QStringLiteral("action"), actionName_},
                     {QStringLiteral("text"), result.text},
                     {QStringLiteral("ending"), JobEndingName(result.ending)}};
    if (result.kind == KindSwitch) {
        // A switch the ECU did not take ends the run, with the off request all the same.
        if (result.ending == JobEnding::Refused || result.ending == JobEnding::NoAnswer) {
            Fail(result.text);
            SwitchOff();
            if (o_.json)
                PrintJsonResult(json, ExitStatusOf(result.ending));
            End(ExitStatusOf(result.ending));
        }
        return;
    }
    if (result.ending != JobEnding::Done) {
        Fail(result.text);
        // A download the link cut short keeps what arrived, beside the file asked for.
        if (Is("download") && !result.fileName.isEmpty()) {
            QString kept = result.fileName;
            if (!o_.outputFile.isEmpty() && MoveFile(kept, o_.outputFile + QStringLiteral(".part")))
                kept = o_.outputFile + QStringLiteral(".part");
            json.insert(QStringLiteral("file"), kept);
            if (!o_.json)
                PrintOut(T("Job_11").arg(kept));
        }
        if (o_.json)
            PrintJsonResult(json, ExitStatusOf(result.ending));
        End(ExitStatusOf(result.ending));
        return;
    }
    if (result.kind == KindSelfLearning) {
        // The ECU has learned: the link ends, and the program with it.
        const QString finish = state_.texts.Text(QStringLiteral("View_52"));
        json.insert(QStringLiteral("text"), finish);
        if (o_.json)
            PrintJsonResult(json, ExitDone);
        else
            PrintOut(finish);
        End(ExitDone);
        return;
    }
    if (!Is("download")) {
        if (o_.json)
            PrintJsonResult(json, ExitDone);
        else
            PrintOut(result.text);
        End(ExitDone);
        return;
    }
    QString file = result.fileName;
    if (!o_.outputFile.isEmpty()) {
        if (!MoveFile(file, o_.outputFile)) {
            Fail(T("Cli_22").arg(o_.outputFile));
            End(ExitFailed);
            return;
        }
        file = o_.outputFile;
    }
    if (o_.json)
        PrintJsonResult(QJsonObject{{QStringLiteral("file"), file}}, ExitDone);
    else
        PrintOut(T("Cli_23").arg(file));
    End(ExitDone);
}

} // namespace velmoro::cli
