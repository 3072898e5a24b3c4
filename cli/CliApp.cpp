// One run of velmoro-cli: the command line, the commands, and the session's signals as lines.
#include "cli/CliApp.h"

#include "cli/Terminal.h"
#include "config/DataLocations.h"
#include "config/IniFile.h"
#include "ecu/ActorsController.h"
#include "ecu/Procedures.h"
#include "ecu/RefreshCycle.h"
#include "link/AdapterPort.h"
#include "link/PortDiscovery.h"
#include "output/Report.h"
#include "output/Survey.h"
#include "values/MeasurementLists.h"
#include "values/RowDisplay.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <csignal>
#include <tuple>

namespace velmoro::cli {

namespace {

const QString kVersionText = QStringLiteral("velmoro-cli (VelmoroCanDiag V0.02)");

struct CommandHelp {
    const char* name;
    const char* synopsis;
    const char* what;
    bool connects;
};

const CommandHelp kCommands[] = {
    {"ports", "ports", "every adapter port: device, stable name, description, USB ids, free or not",
     false},
    {"info", "info", "connects, shows the adapter and the ECU identification", true},
    {"values", "values", "the value names of the model's family, numbered", false},
    {"watch", "watch NAME...",
     "up to eight values (names or numbers) pass after pass; --csv FILE logs them, "
     "--passes N or --duration S ends it, --interval MS spaces the passes",
     true},
    {"record", "record [NAME...]",
     "records a ride: the values into a CSV log and, in an event file beside it, the faults "
     "that appeared or went (read every --faults-every S, 10 by default), the link lost and "
     "back, adapter restarts and your marks (Enter); reconnects by itself, --wait for an "
     "adapter not yet there, a new pair of files after the link was down --ride-gap S (300)",
     true},
    {"faults", "faults [--clear]", "new and stored faults; --clear clears them and reads again",
     true},
    {"report", "report [-o FILE]", "the diagnostic report, as the window saves it", true},
    {"survey", "survey [-o FILE]", "the answers to every identifier 0x1000..0x10FF", true},
    {"actions", "actions", "the actuator tests and procedures of the model's family", false},
    {"run", "run ACTION --yes",
     "runs one of them (switches are on for --duration S, 5 s by default); without --yes it "
     "says what would move",
     true},
    {"download", "download [-o FILE]", "the ECU's stored data into a file", true},
};

constexpr double kDefaultSwitchSeconds = 5.0;
constexpr int kProgressWidth = 32;

// words filled into lines of at most kHelpWidth characters, every line after the first
// indented by `indent` blanks.
QString Wrapped(const QString& words, int indent)
{
    constexpr int kHelpWidth = 79;
    QString text;
    QString line;
    for (const QString& word : words.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && indent + line.size() + 1 + word.size() > kHelpWidth) {
            text += line + QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    return text + line;
}

QString HelpDescription()
{
    QString text = QStringLiteral("Every diagnostic job of VelmoroCanDiag from a terminal.\n\n"
                                  "Commands:\n");
    for (const CommandHelp& command : kCommands)
        text += QStringLiteral("  %1  ").arg(QString::fromLatin1(command.synopsis), -20) +
                Wrapped(QString::fromLatin1(command.what), 24) + QLatin1Char('\n');
    text +=
        QLatin1Char('\n') +
        Wrapped(
            QStringLiteral("Port, model, language and the values to watch come from the "
                           "program's settings file (the one the window uses) unless "
                           "given here; that file is never changed. Names of values, "
                           "actions, models and languages may be typed in any letter "
                           "case, with _ for a blank; values and actions also by their numbers."),
            0) +
        QStringLiteral(
            "\n\nExit statuses:\n"
            "  0    done\n"
            "  1    the ECU refused the job (a switch, procedure or clearing), or a file could\n"
            "       not be written\n"
            "  2    usage: unknown command, value, action, model or language; no port or model;\n"
            "       an option that does not fit the command\n"
            "  3    the port does not exist, is busy or may not be opened\n"
            "  4    the adapter does not answer, or refuses CAN\n"
            "  5    the ECU does not answer (the ignition may be off), or left a job unanswered\n"
            "  6    the link was lost in the middle: a survey or report written so far says it\n"
            "       is incomplete, a download is kept as FILE.part\n"
            "  130  interrupted by Ctrl-C (the link is ended cleanly first)\n"
            "  129, 141, 143  ended by SIGHUP, SIGPIPE (the reader went away), SIGTERM: the\n"
            "       link is ended cleanly first, as for Ctrl-C");
    return text;
}

void PrintJson(const QJsonValue& value)
{
    const QJsonDocument document =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    PrintOut(QString::fromUtf8(document.toJson(QJsonDocument::Compact)));
}

bool IsHostAndPort(const QString& port)
{
    return !QDir::isAbsolutePath(port) && port.contains(QLatin1Char(':'));
}

// A value as JSON: a number where it is one, null where it could not be read ("----"), the
// text otherwise (a bit field such as "00001101" keeps its digits).
QJsonValue JsonValue(const QString& text)
{
    if (text.isEmpty() || text == QLatin1String("----"))
        return QJsonValue::Null;
    const bool bits =
        text.size() > 1 && text.startsWith(QLatin1Char('0')) && !text.contains(QLatin1Char('.'));
    bool number = false;
    const double value = text.toDouble(&number);
    return number && !bits ? QJsonValue(value) : QJsonValue(text);
}

// The value names of a family in English, by dispatcher index.
QVector<QString> EnglishValueNames(int family)
{
    LanguageTexts english;
    IniFile ini;
    ini.SetContent(DefaultSettingsFile());
    for (const auto& [key, text] : ini.Entries(QStringLiteral("English")))
        english.Set(key, text);
    QVector<QString> names;
    if (family == Family11mp)
        BuildValueNames11mp(english, names);
    else
        BuildValueNamesMiug4(english, names);
    return names;
}

} // namespace

int ExitStatusOf(JobEnding ending)
{
    switch (ending) {
    case JobEnding::Done:
        return ExitDone;
    case JobEnding::Refused:
        return ExitFailed;
    case JobEnding::NoAnswer:
        return ExitEcuSilent;
    case JobEnding::CutShort:
        return ExitLinkLost;
    }
    return ExitFailed;
}

int ExitStatusOf(LinkFailure failure)
{
    switch (failure) {
    case LinkFailure::None:
        return ExitDone;
    case LinkFailure::PortNotOpened:
        return ExitPort;
    case LinkFailure::AdapterSilent:
    case LinkFailure::CanRefused:
        return ExitAdapter;
    case LinkFailure::EcuSilent:
    case LinkFailure::NoIdentification:
        return ExitEcuSilent;
    }
    return ExitEcuSilent;
}

int ParseCommandLine(const QStringList& arguments, CliOptions& options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(HelpDescription());
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("This help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("The program's version."));
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("The adapter: a device (/dev/ttyUSB0, COM3), a WiFi adapter's host:port, "
                       "or Simulator (the built-in motorcycle)."),
        QStringLiteral("P"));
    const QCommandLineOption model(QStringLiteral("model"),
                                   QStringLiteral("The motorcycle model, e.g. \"Velmoro 850\"."),
                                   QStringLiteral("NAME"));
    const QCommandLineOption language(QStringLiteral("language"),
                                      QStringLiteral("The language of the texts, e.g. English."),
                                      QStringLiteral("L"));
    const QCommandLineOption settings(
        QStringLiteral("settings"),
        QStringLiteral("Take port, model, language and values from this settings file."),
        QStringLiteral("FILE"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Machine-readable output: JSON, one object per "
                                                 "pass for watch."));
    const QCommandLineOption debugLog(QStringLiteral("debug-log"),
                                      QStringLiteral("Log every adapter exchange to FILE."),
                                      QStringLiteral("FILE"));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("No prompts, progress or notes on stderr; "
                                                  "errors only."));
    const QCommandLineOption yes({QStringLiteral("y"), QStringLiteral("yes")},
                                 QStringLiteral("Do not wait at the ignition prompt; confirms "
                                                "run."));
    const QCommandLineOption csv(QStringLiteral("csv"),
                                 QStringLiteral("watch: the CSV value log of the window, to FILE."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption passes(QStringLiteral("passes"),
                                    QStringLiteral("watch: end after N passes."),
                                    QStringLiteral("N"));
    const QCommandLineOption duration(
        QStringLiteral("duration"),
        QStringLiteral("watch: end after S seconds; run: how long a switch stays on."),
        QStringLiteral("S"));
    const QCommandLineOption reconnect(
        QStringLiteral("reconnect"),
        QStringLiteral("watch: a lost link is tried again after 2 s, 5 s, then every 10 s, "
                       "logging into the same CSV file (also the Reconnect key of the settings "
                       "file)."));
    const QCommandLineOption clear(QStringLiteral("clear"),
                                   QStringLiteral("faults: clear them, then read again."));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("report, survey, download: write to FILE "
                                                   "instead of the program's files folder."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption interval(
        QStringLiteral("interval"),
        QStringLiteral("watch: passes start no sooner than MS milliseconds apart (by default as "
                       "fast as the pace allows)."),
        QStringLiteral("MS"));
    const QCommandLineOption fast(QStringLiteral("fast"),
                                  QStringLiteral("Fast refresh for this run, whatever the "
                                                 "settings file says."));
    const QCommandLineOption noFast(QStringLiteral("no-fast"),
                                    QStringLiteral("The normal pace for this run, whatever the "
                                                   "settings file says."));
    const QCommandLineOption wait(QStringLiteral("wait"),
                                  QStringLiteral("record: an adapter or port not there yet is "
                                                 "tried again until it is."));
    const QCommandLineOption faultsEvery(
        QStringLiteral("faults-every"),
        QStringLiteral("record: read the fault memory every S seconds (10; 0: never)."),
        QStringLiteral("S"));
    const QCommandLineOption rideGap(
        QStringLiteral("ride-gap"),
        QStringLiteral("record: a link down longer than S seconds ends the ride; the next one "
                       "gets new files (300; 0: never)."),
        QStringLiteral("S"));
    parser.addOptions({help,      version, port,   model,  language,    settings, json, debugLog,
                       quiet,     yes,     csv,    passes, duration,    interval, fast, noFast,
                       reconnect, clear,   output, wait,   faultsEvery, rideGap});
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("One of the commands above."),
                                 QStringLiteral("COMMAND [ARGUMENTS]"));

    if (!parser.parse(arguments)) {
        PrintErr(parser.errorText());
        return ExitUsage;
    }
    if (parser.isSet(help)) {
        // The first line names the program as it is typed, not by the path it was started with.
        QString text = parser.helpText().trimmed();
        text.replace(0, text.indexOf(QLatin1Char('[')), QStringLiteral("Usage: velmoro-cli "));
        PrintOut(text);
        return ExitDone;
    }
    if (parser.isSet(version)) {
        PrintOut(kVersionText);
        return ExitDone;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        PrintErr(QStringLiteral("Usage: velmoro-cli [options] COMMAND [ARGUMENTS]; "
                                "velmoro-cli --help lists the commands."));
        return ExitUsage;
    }
    options.command = positional.front();
    options.arguments = positional.mid(1);
    options.settings.settingsFile = parser.value(settings);
    options.settings.port = parser.value(port);
    options.settings.model = parser.value(model);
    options.settings.language = parser.value(language);
    options.json = parser.isSet(json);
    options.quiet = parser.isSet(quiet);
    options.yes = parser.isSet(yes);
    options.clear = parser.isSet(clear);
    options.reconnect = parser.isSet(reconnect);
    options.csvFile = parser.value(csv);
    options.debugLogFile = parser.value(debugLog);
    options.outputFile = parser.value(output);
    options.passes = parser.value(passes);
    options.duration = parser.value(duration);
    options.interval = parser.value(interval);
    options.fast = parser.isSet(fast);
    options.noFast = parser.isSet(noFast);
    options.wait = parser.isSet(wait);
    options.faultsEvery = parser.value(faultsEvery);
    options.rideGap = parser.value(rideGap);
    return -1;
}

CliRun::CliRun(CliOptions options, QString programDirectory, DiagSessionOptions sessionOptions)
    : o_(std::move(options)), programDirectory_(std::move(programDirectory)),
      sessionOptions_(std::move(sessionOptions))
{
    for (QTimer* timer : {&procedureTimer_, &selfLearningTimer_})
        timer->setSingleShot(false);
    durationTimer_.setSingleShot(true);
}

CliRun::~CliRun()
{
    actors_.reset();
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

void CliRun::PrintResult(const QString& text)
{
    PrintOut(text);
}

int CliRun::NumberOption(const QString& name, const QString& text, double& value)
{
    if (text.isEmpty())
        return -1;
    bool ok = false;
    value = text.toDouble(&ok);
    if (!ok || value <= 0 || value > 1e7) {
        PrintErr(T("Cli_28").arg(name, text));
        return ExitUsage;
    }
    return -1;
}

int CliRun::Start()
{
    if (!work_.isValid()) {
        PrintErr(T("Cli_22").arg(work_.path()));
        return ExitFailed;
    }
    QString error;
    // An installed copy keeps its settings and files in the user's folders, as the window does.
    const ProgramPaths paths = LocateDataFiles(CliProgramPaths(programDirectory_));
    if (!LoadCliState(state_, paths, o_.settings, work_.path(), error)) {
        PrintErr(error);
        return ExitUsage;
    }
    // The session holds the family: the value lists and the actions come from it.
    session_ = std::make_unique<DiagSession>(state_, sessionOptions_);
    if (const std::shared_ptr<const Ecu> family = session_->family()) {
        RefreshChoosers(state_, *family, false);
        state_.actions = family->actions();
    }

    QStringList names;
    for (const CommandHelp& command : kCommands)
        names << QString::fromLatin1(command.name);
    QString nearest;
    const int command = MatchName(names, o_.command, &nearest);
    if (command < 0) {
        PrintErr(T("Cli_1").arg(o_.command) +
                 (nearest.isEmpty() ? QString() : QLatin1Char(' ') + T("Cli_2").arg(nearest)));
        return ExitUsage;
    }
    o_.command = names[command];

    // An option the command has no use for is a typing error, not something to ignore.
    const auto onlyFor = [this](bool given, const char* option, QStringList commands) {
        if (!given || commands.contains(o_.command))
            return false;
        PrintErr(T("Rec_8").arg(QLatin1String(option), o_.command));
        return true;
    };
    const QStringList logging{QStringLiteral("watch"), QStringLiteral("record")};
    const QStringList files{QStringLiteral("report"), QStringLiteral("survey"),
                            QStringLiteral("download")};
    if (onlyFor(!o_.csvFile.isEmpty(), "--csv", logging) ||
        onlyFor(!o_.passes.isEmpty(), "--passes", logging) ||
        onlyFor(!o_.interval.isEmpty(), "--interval", logging) ||
        onlyFor(!o_.duration.isEmpty(), "--duration",
                logging + QStringList{QStringLiteral("run")}) ||
        onlyFor(o_.reconnect, "--reconnect", {QStringLiteral("watch")}) ||
        onlyFor(o_.clear, "--clear", {QStringLiteral("faults")}) ||
        onlyFor(!o_.outputFile.isEmpty(), "-o", files) ||
        onlyFor(o_.wait, "--wait", {QStringLiteral("record")}) ||
        onlyFor(!o_.faultsEvery.isEmpty(), "--faults-every", {QStringLiteral("record")}) ||
        onlyFor(!o_.rideGap.isEmpty(), "--ride-gap", {QStringLiteral("record")}))
        return ExitUsage;

    double passes = 0;
    if (const int status = NumberOption(QStringLiteral("--passes"), o_.passes, passes); status >= 0)
        return status;
    if (const int status = NumberOption(QStringLiteral("--duration"), o_.duration, durationS_);
        status >= 0)
        return status;
    // A number of passes is whole: 2.5 passes is a typing error, not two.
    if (passes != std::floor(passes)) {
        PrintErr(T("Cli_28").arg(QStringLiteral("--passes"), o_.passes));
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
            PrintErr(T("Cli_28").arg(QLatin1String(name), text));
            return ExitUsage;
        }
        *value = parsed;
    }
    // Files asked for are checked before the link is: a typing error in a folder's name should
    // not cost a connect and an ignition prompt. A recording's events need a file beside its log.
    if (Recording() && o_.csvFile == QLatin1String("-")) {
        PrintErr(T("Cli_22").arg(o_.csvFile));
        return ExitUsage;
    }
    for (const QString& file : {o_.csvFile, o_.outputFile, o_.debugLogFile}) {
        if (file.isEmpty() || file == QLatin1String("-"))
            continue;
        const QFileInfo info(file);
        const QFileInfo folder(info.absolutePath());
        if (info.isDir() || !folder.isDir() || !folder.isWritable() ||
            (info.exists() && !info.isWritable())) {
            PrintErr(T("Cli_22").arg(file));
            return ExitFailed;
        }
    }
    if (o_.fast && o_.noFast) {
        PrintErr(T("Rate_1"));
        return ExitUsage;
    }
    // For this run only: the settings file stays as it is.
    if (o_.fast || o_.noFast)
        state_.settings.fastRefresh = o_.fast ? 1 : 0;

    if (o_.command == QLatin1String("ports"))
        return ListPorts();
    if (const int status = CheckLinkSettings(); status >= 0)
        return status;
    if (o_.command == QLatin1String("values"))
        return ListValues();
    if (o_.command == QLatin1String("actions"))
        return ListActions();
    if (o_.command == QLatin1String("watch") || Recording())
        if (const int status = PrepareWatch(); status >= 0)
            return status;
    if (o_.command == QLatin1String("run") || o_.command == QLatin1String("download"))
        if (const int status = PrepareAction(); status >= 0)
            return status;
    if (state_.link.port.isEmpty()) {
        PrintErr(T("Cli_7"));
        return ExitUsage;
    }
    return Connect();
}

int CliRun::CheckLinkSettings()
{
    if (!state_.link.ecuId.isEmpty())
        return -1;
    QStringList models;
    for (const ModelEntry& entry : state_.models)
        models << entry.name;
    PrintErr(T("Cli_8").arg(models.join(QStringLiteral(", "))));
    return ExitUsage;
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
        if (o_.json)
            array.append(QJsonObject{{QStringLiteral("number"), k},
                                     {QStringLiteral("name"), entries[k].text}});
        else
            PrintOut(QStringLiteral("%1  %2").arg(k, 3).arg(entries[k].text));
    }
    if (o_.json)
        PrintJson(array);
    return ExitDone;
}

int CliRun::ListActions()
{
    QJsonArray array;
    // As the actors view lists them: the tests with the engine off, then those with it running.
    for (const int group : {1, 0}) {
        bool headed = false;
        for (const ActionEntry& entry : state_.actions) {
            if (entry.group != group)
                continue;
            const QString condition = state_.texts.Text(group == 1 ? QStringLiteral("Status_12")
                                                                   : QStringLiteral("Status_11"));
            if (o_.json) {
                const char* kind = entry.kind == KindSwitch      ? "switch"
                                   : entry.kind == KindProcedure ? "procedure"
                                                                 : "self-learning";
                array.append(QJsonObject{{QStringLiteral("number"), entry.position + 1},
                                         {QStringLiteral("name"), entry.text},
                                         {QStringLiteral("kind"), QLatin1String(kind)},
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

int CliRun::PrepareWatch()
{
    QStringList names;
    const QVector<ChooserEntry>& entries = state_.choosers[0].entries;
    for (const ChooserEntry& entry : entries)
        names << entry.text;
    // The same values by their English names, whatever language the texts are in, so that a
    // script works in every language.
    QStringList englishNames;
    {
        const QVector<QString> english = EnglishValueNames(state_.link.family);
        for (const ChooserEntry& entry : entries)
            englishNames << english.value(entry.itemData);
    }
    if (o_.arguments.size() > kDisplayRows) {
        PrintErr(T("Cli_16"));
        return ExitUsage;
    }
    if (!o_.arguments.isEmpty()) {
        QVector<int> chosen;
        for (const QString& typed : o_.arguments) {
            bool number = false;
            const int k = typed.toInt(&number);
            QString nearest;
            int at = number ? (k >= 1 && k < entries.size() ? k : -1)
                            : MatchName(names, typed, &nearest);
            if (at < 0 && !number) {
                QString englishNearest;
                at = MatchName(englishNames, typed, &englishNearest);
                if (nearest.isEmpty())
                    nearest = englishNearest;
            }
            if (at < 0) {
                PrintErr(
                    T("Cli_3").arg(typed) +
                    (nearest.isEmpty() ? QString() : QLatin1Char(' ') + T("Cli_2").arg(nearest)));
                return ExitUsage;
            }
            chosen << at;
        }
        // The values go into the rows as the window's choosers put them there.
        for (int r = 0; r < kDisplayRows; ++r)
            ChooseValue(state_, r, r < chosen.size() ? chosen[r] : 0);
    }
    for (int r = 0; r < kDisplayRows; ++r)
        if (state_.rows[static_cast<std::size_t>(r)].valueIndex > 0)
            watchCount_ = r + 1;
    if (watchCount_ == 0) {
        PrintErr(T("Cli_16"));
        return ExitUsage;
    }
    return -1;
}

int CliRun::PrepareAction()
{
    QStringList names;
    QVector<int> positions;
    for (const ActionEntry& entry : state_.actions) {
        names << entry.text;
        positions << entry.position;
    }
    if (o_.command == QLatin1String("download")) {
        for (const ActionEntry& entry : state_.actions)
            if (entry.key == QLatin1String("View_68"))
                actionPosition_ = entry.position;
        return -1;
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
        PrintErr(T("Cli_6").arg(typed) +
                 (nearest.isEmpty() ? QString() : QLatin1Char(' ') + T("Cli_2").arg(nearest)));
        return ExitUsage;
    }
    const ActionEntry& entry = state_.actions[at];
    actionPosition_ = entry.position;
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
    PrintOut(what);
    PrintOut(condition + QLatin1Char('.'));
    PrintOut(T("Cli_20"));
    return ExitUsage;
}

int CliRun::Connect()
{
    interrupts_ = new InterruptWatcher(this);
    key_ = new KeyWait(this);
    connect(interrupts_, &InterruptWatcher::interrupted, this, &CliRun::OnInterrupt);
    connect(key_, &KeyWait::pressed, this, [this] { session_->answerQuestion(); });

    DiagSession* s = session_.get();
    connect(s, &DiagSession::question, this, &CliRun::OnQuestion);
    connect(s, &DiagSession::ecuInfoText, this, [this](const QString& text) { ecuInfo_ = text; });
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
        PrintErr(text);
        End(ExitFailed);
    });
    connect(s, &DiagSession::stopped, this, &CliRun::Finish);
    connect(&durationTimer_, &QTimer::timeout, this, [this] {
        if (actors_ && actors_->ButtonState() == ActorsSwitchOn)
            actors_->Press(); // the switch goes off again
        End(ExitDone);
    });

    if (actionPosition_ >= 0) {
        ActorsCallbacks callbacks;
        callbacks.showMessage = [this](const QString& text) { actionResult_ = text; };
        callbacks.startTimer = [this](int id, int periodMs) {
            (id == kProcedureTimer ? procedureTimer_ : selfLearningTimer_).start(periodMs);
        };
        callbacks.stopTimer = [this](int id) {
            (id == kProcedureTimer ? procedureTimer_ : selfLearningTimer_).stop();
        };
        // A self-learning that succeeded ends the link; the program ends with it.
        callbacks.disconnect = [this] {
            PrintResult(actionResult_);
            End(ExitDone);
        };
        // Every request of the action is a session job; the run knows how many are still out,
        // so that a switch-off goes to the adapter before the link ends.
        // The run outlives every job: its destructor waits for the session's threads.
        callbacks.runJob = [this](std::function<void()> work) {
            ++jobsOut_;
            session_->startAction([this, work = std::move(work)] {
                work();
                QMetaObject::invokeMethod(this, &CliRun::OnJobDone, Qt::QueuedConnection);
            });
        };
        callbacks.postToCaller = [this](std::function<void()> then) {
            QMetaObject::invokeMethod(
                this,
                [this, then = std::move(then)] {
                    then();
                    OnActionStep();
                },
                Qt::QueuedConnection);
        };
        callbacks.routineResult = [this](ProcedureRecord& record) {
            return session_->routineResult(record);
        };
        actors_ = std::make_unique<ActorsController>(state_, std::move(callbacks));
        connect(&procedureTimer_, &QTimer::timeout, this, [this] {
            actors_->Tick(kProcedureTimer);
            OnActionStep();
        });
        // A self-learning tick sends its poll as a job; its result comes back through
        // postToCaller.
        connect(&selfLearningTimer_, &QTimer::timeout, this,
                [this] { actors_->Tick(kSelfLearningTimer); });
    }

    const bool watch = o_.command == QLatin1String("watch") || Recording();
    // A recording always logs: into --csv FILE, or a dated file where the window logs.
    state_.settings.csv = Recording() || (watch && !o_.csvFile.isEmpty()) ? 1 : 0;
    state_.settings.logging = o_.debugLogFile.isEmpty() ? 0 : 1;
    // A lost link ends the run with its own status, unless a watch is to ride through it; a
    // recording always does.
    state_.settings.reconnect =
        Recording() || (watch && (o_.reconnect || state_.settings.reconnect != 0)) ? 1 : 0;
    if (Recording())
        StartRecorder();
    session_->setLogFileNames(o_.csvFile, o_.debugLogFile);
    // Passes run for watch, and for the survey whose steps go between them; other jobs read alone.
    session_->setMeasurementsShown(watch || o_.command == QLatin1String("survey"));
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
        PrintErr(T("Cli_7"));
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

void CliRun::StartRecorder()
{
    session_->setRetryFirstConnect(o_.wait);
    RideRecorderOptions options;
    options.faultsEverySeconds = faultsEveryS_;
    options.rideGapSeconds = rideGapS_;
    recorder_ = std::make_unique<RideRecorder>(*session_, session_->faults(), options);
    connect(recorder_.get(), &RideRecorder::rideStarted, this,
            [this](const QString& csvFile, const QString& eventFile) {
                PrintInfo(T("Rec_3").arg(csvFile, eventFile));
            });
    connect(recorder_.get(), &RideRecorder::noted, this, [this](const LogEvent& event) {
        const QString seconds = QString::number(event.timeMs / 1000.0, 'f', 1);
        if (event.kind == EventKind::FaultAppeared)
            PrintInfo(T("Rec_5").arg(event.text));
        else if (event.kind == EventKind::FaultGone)
            PrintInfo(T("Rec_6").arg(event.text));
        else if (event.kind == EventKind::Mark)
            PrintInfo(T("Rec_1").arg(seconds));
    });
    marks_ = new LineReader(this);
    connect(marks_, &LineReader::line, this, [this](const QString& note) {
        if (!recorder_->mark(note))
            PrintInfo(T("Rec_2"));
    });
}

void CliRun::OnConnected()
{
    if (status_ >= 0)
        return;
    if (Recording() && !recorder_->writeOk()) {
        PrintErr(T("Err_14").arg(recorder_->problem()));
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
            PrintErr(adapter.setUpFailureText);
            End(ExitStatusOf(adapter.setUpFailure));
            return;
        }
        PrintErr(adapter.answered ? T("Cli_12") : T("Cli_11").arg(state_.link.port));
        End(adapter.answered ? ExitEcuSilent : ExitAdapter);
        return;
    }
    linkUp_ = true;
    if (state_.link.port == kSimulatorPortName)
        PrintInfo(T("Job_10"));
    const QString& command = o_.command;
    if (command == QLatin1String("info")) {
        const QStringList ecu = ecuInfo_.split(QLatin1Char('\n'));
        if (o_.json) {
            PrintJson(
                QJsonObject{{QStringLiteral("adapter"),
                             QJsonObject{{QStringLiteral("kind"), adapter.kind},
                                         {QStringLiteral("banner"), adapter.banner},
                                         {QStringLiteral("detail"), adapter.detail}}},
                            {QStringLiteral("ecu"), QJsonArray::fromStringList(ecu)},
                            {QStringLiteral("simulated"), state_.link.port == kSimulatorPortName}});
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
    } else if (command == QLatin1String("watch") || Recording()) {
        if (durationS_ > 0)
            durationTimer_.start(static_cast<int>(durationS_ * 1000));
        if (Recording() && marks_->Start())
            PrintInfo(T("Rec_4"));
    } else if (command == QLatin1String("faults")) {
        session_->faults().Clear();
        if (o_.clear)
            session_->clearFaults();
        else
            session_->readFaults();
    } else if (command == QLatin1String("report")) {
        session_->buildReport(ecuInfo_, state_.choosers[0].entries);
    } else if (command == QLatin1String("survey")) {
        surveyFile_ = o_.outputFile.isEmpty()
                          ? SurveyFileName(state_.paths, QDateTime::currentDateTime())
                          : o_.outputFile;
        if (!session_->startSurveyAt(surveyFile_)) {
            PrintErr(T("Cli_22").arg(surveyFile_));
            End(ExitFailed);
        }
    } else if (actors_) {
        actors_->SetEnabled(true);
        actors_->Select(actionPosition_);
        actors_->Press();
        if (actors_->ButtonState() == ActorsSwitchOn) {
            const double seconds = durationS_ > 0 ? durationS_ : kDefaultSwitchSeconds;
            durationTimer_.start(static_cast<int>(seconds * 1000));
        }
    }
}

void CliRun::OnJobDone()
{
    if (--jobsOut_ == 0 && disconnectWaiting_)
        End(status_);
}

void CliRun::OnActionStep()
{
    if (status_ >= 0)
        return;
    if (switchAction_) {
        // A switch the ECU did not take ends the run; its words came through showMessage.
        const JobEnding ending = actors_->SwitchEnding();
        if (ending == JobEnding::Refused || ending == JobEnding::NoAnswer) {
            PrintErr(actionResult_);
            if (actors_->ButtonState() == ActorsSwitchOn)
                actors_->Press(); // the off request all the same
            End(ExitStatusOf(ending));
        }
        return;
    }
    if (actors_->ButtonState() != ActorsIdle)
        return;
    // The procedure has ended and said how.
    const JobEnding ending = state_.procedure.ending;
    if (ending != JobEnding::Done) {
        PrintErr(actionResult_);
        End(ExitStatusOf(ending));
        return;
    }
    if (o_.command != QLatin1String("download")) {
        PrintResult(actionResult_);
        End(ExitDone);
        return;
    }
    // "<View_68>: Ok" and, on the next line, the file's name in the program's files folder.
    QString file = state_.paths.directory + actionResult_.section(QLatin1Char('\n'), 1, 1);
    if (!o_.outputFile.isEmpty()) {
        QFile::remove(o_.outputFile);
        if (!QFile::rename(file, o_.outputFile) &&
            !(QFile::copy(file, o_.outputFile) && QFile::remove(file))) {
            PrintErr(T("Cli_22").arg(o_.outputFile));
            End(ExitFailed);
            return;
        }
        file = o_.outputFile;
    }
    if (o_.json)
        PrintJson(QJsonObject{{QStringLiteral("file"), file}});
    else
        PrintResult(T("Cli_23").arg(file));
    End(ExitDone);
}

void CliRun::OnRows(const RowsSnapshot& rows)
{
    if (status_ >= 0 || (o_.command != QLatin1String("watch") && !Recording()))
        return;
    ++passesShown_;
    // A recording's values go into its CSV log; a terminal shows them, a service's journal not.
    // With the CSV log on the standard output, that is all it carries.
    if ((Recording() && !StdoutIsTerminal()) || o_.csvFile == QLatin1String("-"))
        return;
    if (o_.json) {
        QJsonArray values;
        for (int r = 0; r < watchCount_; ++r) {
            const MeasurementRow& row = rows[static_cast<std::size_t>(r)];
            values.append(QJsonObject{
                {QStringLiteral("name"),
                 state_.choosers[static_cast<std::size_t>(r)].SelectedText()},
                {QStringLiteral("value"), JsonValue(row.valueText)},
                {QStringLiteral("unit"), row.valueIndex > 0 ? row.unitText : QString()}});
        }
        // When: on the CSV log's clock, and the wall clock for lining up with other records.
        PrintJson(QJsonObject{{QStringLiteral("pass"), passesShown_},
                              {QStringLiteral("ms"), static_cast<double>(session_->linkTimeMs())},
                              {QStringLiteral("time"),
                               QDateTime::currentDateTime()
                                   .toOffsetFromUtc(QDateTime::currentDateTime().offsetFromUtc())
                                   .toString(Qt::ISODateWithMs)},
                              {QStringLiteral("values"), values}});
        return;
    }
    if (StdoutIsTerminal()) {
        // The block of rows is written over in place, as the window's rows change.
        QString text;
        if (passesShown_ > 1)
            text += QStringLiteral("\x1b[%1A").arg(watchCount_);
        int width = 0;
        for (int r = 0; r < watchCount_; ++r)
            width = std::max(
                width, static_cast<int>(
                           state_.choosers[static_cast<std::size_t>(r)].SelectedText().size()));
        for (int r = 0; r < watchCount_; ++r) {
            const MeasurementRow& row = rows[static_cast<std::size_t>(r)];
            text += QStringLiteral("\r\x1b[K%1  %2\n")
                        .arg(state_.choosers[static_cast<std::size_t>(r)].SelectedText(), -width)
                        .arg(row.valueIndex > 0 ? DisplayRow(row).valueText : QString());
        }
        WriteOut(text);
        return;
    }
    QStringList fields;
    if (passesShown_ == 1) {
        for (int r = 0; r < watchCount_; ++r)
            fields << state_.choosers[static_cast<std::size_t>(r)].SelectedText();
        PrintOut(fields.join(QLatin1Char('\t')));
        fields.clear();
    }
    for (int r = 0; r < watchCount_; ++r) {
        const MeasurementRow& row = rows[static_cast<std::size_t>(r)];
        fields << (row.valueIndex > 0 && !row.unitText.isEmpty()
                       ? row.valueText + QLatin1Char(' ') + row.unitText
                       : row.valueText);
    }
    PrintOut(fields.join(QLatin1Char('\t')));
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

void CliRun::EndWith(const JobResult& result)
{
    if (result.ending == JobEnding::Done) {
        End(ExitDone);
        return;
    }
    const QString text = JobResultText(state_.texts, result);
    if (!text.isEmpty())
        PrintErr(text);
    End(ExitStatusOf(result.ending));
}

void CliRun::OnFaults(const JobResult& result)
{
    if (status_ >= 0)
        return;
    const FaultLists& faults = session_->faults();
    if (faults.Unread()) {
        // Never an empty list: that would read as "no faults".
        if (o_.json)
            PrintJson(QJsonObject{{QStringLiteral("new"), QJsonValue::Null},
                                  {QStringLiteral("stored"), QJsonValue::Null},
                                  {QStringLiteral("error"), JobResultText(state_.texts, result)}});
        EndWith(result);
        return;
    }
    const QStringList current = faults.Current();
    const QStringList stored = faults.Stored();
    if (o_.json) {
        // Each fault as an object: its code, and the line the fault view shows.
        const auto objects = [](const QStringList& lines) {
            QJsonArray array;
            const QMap<QString, QString> codes = FaultCodesOf(lines);
            for (const QString& line : lines)
                if (!line.trimmed().isEmpty())
                    array.append(QJsonObject{{QStringLiteral("code"), codes.key(line.trimmed())},
                                             {QStringLiteral("text"), line.trimmed()}});
            return array;
        };
        PrintJson(QJsonObject{{QStringLiteral("new"), objects(current)},
                              {QStringLiteral("stored"), objects(stored)}});
    } else {
        PrintOut(state_.texts.Text(QStringLiteral("View_21")) + QLatin1Char(':'));
        for (const QString& line : current)
            PrintOut(QStringLiteral("  ") + line);
        PrintOut(state_.texts.Text(QStringLiteral("View_22")) + QLatin1Char(':'));
        for (const QString& line : stored)
            PrintOut(QStringLiteral("  ") + line);
    }
    // A clearing the ECU refused: the lists above are what it still holds.
    EndWith(result);
}

void CliRun::OnReport(const JobResult& result)
{
    if (!session_->report().FinishBuild() || status_ >= 0)
        return;
    const QDateTime now = QDateTime::currentDateTime();
    const QString file =
        o_.outputFile.isEmpty() ? ReportFileName(state_.paths, now) : o_.outputFile;
    if (!SaveReportAt(session_->report(), file, now)) {
        PrintErr(T("Cli_22").arg(file));
        End(ExitFailed);
        return;
    }
    // A report cut short, or without its fault memory, is written as far as it got and says so
    // in its last lines; the run ends with the ending's status.
    const bool complete = result.ending == JobEnding::Done;
    if (o_.json)
        PrintJson(
            QJsonObject{{QStringLiteral("file"), file}, {QStringLiteral("complete"), complete}});
    else
        PrintResult((complete ? T("Cli_23") : T("Job_11")).arg(file));
    EndWith(result);
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
    if (o_.json)
        PrintJson(QJsonObject{{QStringLiteral("file"), surveyFile_},
                              {QStringLiteral("complete"), complete}});
    else
        PrintResult((complete ? T("Cli_23") : T("Job_11")).arg(surveyFile_));
    EndWith(result);
}

void CliRun::OnReconnectCountdown(int seconds)
{
    if (status_ >= 0)
        return;
    // Waiting for an adapter that was never there: said once, then the attempts go on quietly.
    if (Recording() && !linkUp_) {
        if (!waitSaid_)
            PrintInfo(T("Rec_7").arg(state_.link.port));
        waitSaid_ = true;
        return;
    }
    // One line per attempt: when it comes, and that it is being made.
    if (seconds == 0)
        PrintErr(T("Job_8"));
    else if (!countdownSaid_)
        PrintErr(T("Job_7").arg(seconds));
    countdownSaid_ = seconds != 0;
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
    PrintErr(T("Cli_14"));
    // A switched actuator is switched off before the link ends, as the view's Stop does.
    if (actors_ && actors_->ButtonState() == ActorsSwitchOn)
        actors_->Press();
    End(signal == SIGINT ? ExitInterrupted : 128 + signal);
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
    disconnectWaiting_ =
        jobsOut_ > 0 && switchAction_ && link == LinkState::Connected && interruptCount_ < 2;
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
            PrintErr(T("Cli_13"));
            status_ = ExitLinkLost;
        } else if (failure_ != LinkFailure::None && failure_ != LinkFailure::PortNotOpened) {
            // The step that failed, in the window's words.
            PrintErr(failureText_);
            status_ = failure_ == LinkFailure::AdapterSilent || failure_ == LinkFailure::CanRefused
                          ? ExitAdapter
                          : ExitEcuSilent;
        } else if (!adapter.portOpened) {
            const QString advice = SerialPermissionAdvice(port);
            if (!advice.isEmpty())
                PrintErr(advice);
            else if (IsHostAndPort(port))
                PrintErr(T("Cli_29").arg(port));
            else if (QDir::isAbsolutePath(port) && !QFileInfo::exists(port))
                PrintErr(T("Cli_9").arg(port));
            else
                PrintErr(T("Cli_10").arg(port));
            status_ = ExitPort;
        } else if (!adapter.answered) {
            PrintErr(T("Cli_11").arg(port));
            status_ = ExitAdapter;
        } else {
            PrintErr(T("Cli_12"));
            status_ = ExitEcuSilent;
        }
    }
    Finish();
}

void CliRun::Finish()
{
    if (finished_)
        return;
    finished_ = true;
    emit finished(status_ < 0 ? ExitDone : status_);
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
