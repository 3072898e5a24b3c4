// The command line of velmoro-cli: its options, --help from the table of commands, and the
// exit statuses.
#include "cli/CliOptions.h"

#include "cli/CliApp.h"
#include "cli/CliJson.h"
#include "cli/Terminal.h"

#include <QCommandLineParser>
#include <csignal>
#include <utility>

namespace velmoro::cli {

namespace {

const QString kVersionText = QStringLiteral("velmoro-cli (VelmoroCanDiag V0.02)");

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
    for (const CliCommand& command : CliCommands())
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
            "       an option that does not fit the command; a settings file that cannot be\n"
            "       read, is empty or lists no models\n"
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

// A command line that cannot be read: said on stderr, and for a script that asked for JSON as
// JSON too (before the options are read, --json is looked for among the words as typed).
void UsageError(const QStringList& arguments, const QString& text)
{
    PrintErr(text);
    if (arguments.contains(QStringLiteral("--json")))
        PrintJson(ErrorJson(text, ExitUsage));
}

} // namespace

QString CliOptions::OptionNotFor(unsigned accepted) const
{
    const std::pair<bool, const char*> given[] = {
        {!csvFile.isEmpty() && !(accepted & OptCsv), "--csv"},
        {!passes.isEmpty() && !(accepted & OptPasses), "--passes"},
        {!interval.isEmpty() && !(accepted & OptInterval), "--interval"},
        {!duration.isEmpty() && !(accepted & OptDuration), "--duration"},
        {reconnect && !(accepted & OptReconnect), "--reconnect"},
        {clear && !(accepted & OptClear), "--clear"},
        {!outputFile.isEmpty() && !(accepted & OptOutput), "-o"},
        {wait && !(accepted & OptWait), "--wait"},
        {!faultsEvery.isEmpty() && !(accepted & OptFaultsEvery), "--faults-every"},
        {!rideGap.isEmpty() && !(accepted & OptRideGap), "--ride-gap"},
    };
    for (const auto& [wrong, option] : given)
        if (wrong)
            return QLatin1String(option);
    return {};
}

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

int ExitStatusOfSignal(int signal)
{
    return signal == SIGINT ? ExitInterrupted : ExitBySignal + signal;
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
        UsageError(arguments, parser.errorText());
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
        UsageError(arguments, QStringLiteral("Usage: velmoro-cli [options] COMMAND [ARGUMENTS]; "
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

} // namespace velmoro::cli
