// velmoro-cli end to end, as a user runs it without a display: against the built-in bike and
// against velmoro-sim on a pty and on TCP. Its report, survey and stored data are compared with
// the golden files the window's own test writes; Ctrl-C, a lost link and every bad input are
// checked for their status, their message and complete files.
#include "config/Settings.h"
#include "support/SimProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace velmoro {
namespace {

using test::SimProcess;

constexpr int kRunMs = 120000;
// The simulated bike of the golden files: engine time, one current and two stored faults.
const QStringList kGoldenBike = {"--engine-time", "90000",           "--fault", "current:01051C01",
                                 "--fault",       "stored:02301100", "--fault", "stored:01151C00"};

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A finished CSV log: ends with CR LF, every line nine quoted fields (time and eight values).
void ExpectCompleteCsv(const QByteArray& csv, const QString& firstValueTitle)
{
    ASSERT_TRUE(csv.endsWith("\r\n"));
    const QList<QByteArray> lines = csv.split('\n');
    EXPECT_TRUE(lines.front().startsWith("\"Time in ms\",\"" + firstValueTitle.toUtf8() + "\""));
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_TRUE(lines[i].startsWith('"') && lines[i].endsWith("\"\r")) << lines[i].constData();
        EXPECT_EQ(lines[i].count("\",\""), 8) << lines[i].constData();
    }
}

// One run of velmoro-cli in a folder of its own, with the built-in settings file as its settings.
class Cli {
public:
    explicit Cli(QByteArray settingsText = DefaultSettingsFile())
        : settingsText_(std::move(settingsText))
    {
        settings_ = dir_.filePath(QStringLiteral("settings.ini"));
        QFile file(settings_);
        if (file.open(QIODevice::WriteOnly))
            file.write(settingsText_);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        process_.setProcessEnvironment(env);
        process_.setWorkingDirectory(dir_.path());
        process_.setProgram(QStringLiteral(VELMORO_CLI_EXECUTABLE));
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }
    QByteArray File(const QString& name) const { return ReadAll(Path(name)); }

    void Start(QStringList arguments)
    {
        process_.setArguments(QStringList{"--settings", settings_, "--language", "english"} +
                              arguments);
        process_.start();
        ASSERT_TRUE(process_.waitForStarted(SimProcess::kWaitMs));
    }
    // Starts, waits for the end; the exit status.
    int Run(const QStringList& arguments)
    {
        Start(arguments);
        return Wait();
    }
    int Wait()
    {
        EXPECT_TRUE(process_.waitForFinished(kRunMs));
        EXPECT_EQ(process_.exitStatus(), QProcess::NormalExit);
        out_ += process_.readAllStandardOutput();
        err_ = QString::fromUtf8(process_.readAllStandardError());
        // The settings file given is read, never written.
        EXPECT_EQ(ReadAll(settings_), settingsText_);
        return process_.exitCode();
    }
    // Waits until standard output holds `lines` lines.
    bool WaitForLines(int lines)
    {
        while (out_.count('\n') < lines) {
            if (!process_.waitForReadyRead(SimProcess::kWaitMs))
                return false;
            out_ += process_.readAllStandardOutput();
        }
        return true;
    }
    void Interrupt() { ::kill(static_cast<pid_t>(process_.processId()), SIGINT); }
    // The run's output through `| head -LINES` in a shell; the run's own status (pipefail).
    int RunPiped(const QStringList& arguments, int lines)
    {
        const QStringList all =
            QStringList{"--settings", settings_, "--language", "english"} + arguments;
        process_.setProgram(QStringLiteral("bash"));
        process_.setArguments(
            QStringList{"-c", QStringLiteral("set -o pipefail; \"$@\" | head -%1").arg(lines),
                        "bash", QStringLiteral(VELMORO_CLI_EXECUTABLE)} +
            all);
        process_.start();
        EXPECT_TRUE(process_.waitForStarted(SimProcess::kWaitMs));
        return Wait();
    }

    QByteArray Out() const { return out_; }
    QString Err() const { return err_; }

private:
    QTemporaryDir dir_;
    QByteArray settingsText_;
    QString settings_;
    QProcess process_;
    QByteArray out_;
    QString err_;
};

TEST(CliTest, WatchOnTheBuiltInBikeWritesExactlyTheAskedPasses)
{
    Cli cli;
    ASSERT_EQ(cli.Run({"--port", "Simulator", "--model", "velmoro 850", "watch", "RPM", "throttle",
                       "--passes", "20", "--csv", "ride.csv", "--debug-log", "link.log"}),
              0)
        << cli.Err().toStdString();
    const QByteArray csv = cli.File(QStringLiteral("ride.csv"));
    ExpectCompleteCsv(csv, QStringLiteral("RPM"));
    const QList<QByteArray> lines = csv.split('\n');
    ASSERT_EQ(csv.count('\n'), 21);
    EXPECT_EQ(lines[0], "\"Time in ms\",\"RPM\",\"Throttle\",\"\",\"\",\"\",\"\",\"\",\"\"\r");
    EXPECT_TRUE(QRegularExpression(R"(^"\d+","\d+","1\.5","",)").match(lines[20]).hasMatch())
        << lines[20].constData();
    // A name line, then one line per pass.
    const QList<QByteArray> shown = cli.Out().trimmed().split('\n');
    ASSERT_EQ(shown.size(), 21);
    EXPECT_EQ(shown[0], "RPM\tThrottle");
    EXPECT_TRUE(shown[20].endsWith("\t1.5 °")) << shown[20].constData();
    EXPECT_TRUE(cli.File(QStringLiteral("link.log")).trimmed().contains(" > ATZ < "));
    EXPECT_TRUE(cli.Err().contains("Please switch on ignition."));
    // A run that went well does not end in "Ignition off", which would read as a finding.
    EXPECT_FALSE(cli.Err().contains("Ignition off")) << cli.Err().toStdString();

    // The same values by number, as JSON, for a script.
    Cli json;
    ASSERT_EQ(json.Run({"--port", "Simulator", "--model", "Velmoro 850", "--json", "-q", "watch",
                        "1", "6", "--passes", "2"}),
              0);
    const QList<QByteArray> objects = json.Out().trimmed().split('\n');
    ASSERT_EQ(objects.size(), 2);
    const QJsonObject pass = QJsonDocument::fromJson(objects[1]).object();
    EXPECT_EQ(pass["pass"].toInt(), 2);
    EXPECT_EQ(pass["values"][1]["name"].toString().toStdString(), "Throttle");
    EXPECT_EQ(pass["values"][1]["unit"].toString().toStdString(), "°");
    EXPECT_TRUE(json.Err().isEmpty()) << json.Err().toStdString();

    // English names are understood in every language: a script works whatever the texts are.
    Cli german;
    ASSERT_EQ(german.Run({"--language", "Deutsch", "--port", "Simulator", "--model", "Velmoro 850",
                          "--json", "-q", "watch", "engine temperature", "--passes", "1"}),
              0)
        << german.Err().toStdString();
    const QJsonObject first = QJsonDocument::fromJson(german.Out().trimmed()).object();
    EXPECT_EQ(first["values"][0]["name"].toString().toStdString(), "Motortemperatur");

    // The CSV log on the standard output, for a pipe: nothing else goes there.
    Cli piped;
    ASSERT_EQ(piped.Run({"--port", "Simulator", "--model", "Velmoro 850", "-q", "watch", "RPM",
                         "--passes", "2", "--csv", "-"}),
              0);
    ExpectCompleteCsv(piped.Out(), QStringLiteral("RPM"));
    EXPECT_EQ(piped.Out().count('\n'), 3);

    Cli ports;
    ASSERT_EQ(ports.Run({"--json", "ports"}), 0);
    const QJsonArray listed = QJsonDocument::fromJson(ports.Out()).array();
    ASSERT_FALSE(listed.isEmpty());
    EXPECT_EQ(listed.last()["port"].toString().toStdString(), "Simulator");
    EXPECT_TRUE(listed.last()["opensNow"].toBool());
}

// --fast and --no-fast override the settings file for one run (the count digit shows in the
// adapter traffic only when fast), and --interval spaces the passes: with ten minutes between
// them, a run of a few seconds logs a single pass.
TEST(CliTest, WatchTakesThePaceAndTheIntervalOfTheCommandLine)
{
    const QStringList bike = {"--port", "Simulator", "--model", "Velmoro 850", "-q"};
    QByteArray fastSettings = DefaultSettingsFile();
    ASSERT_TRUE(fastSettings.contains("CSV = 0"));
    fastSettings.replace("CSV = 0", "CSV = 0\r\nFastRefresh = 1");
    struct PaceCase {
        QByteArray settings;
        QString option;
        bool fast;
    };
    for (const PaceCase& c :
         {PaceCase{DefaultSettingsFile(), "--fast", true},
          PaceCase{fastSettings, "--no-fast", false}, PaceCase{fastSettings, QString(), true}}) {
        SCOPED_TRACE(c.option.toStdString());
        Cli cli(c.settings);
        QStringList arguments =
            bike + QStringList{"watch",       "RPM",      "--passes", "4",
                               "--debug-log", "link.log", "--csv",    "ride.csv"};
        if (!c.option.isEmpty())
            arguments << c.option;
        ASSERT_EQ(cli.Run(arguments), 0) << cli.Err().toStdString();
        const QByteArray log = cli.File(QStringLiteral("link.log"));
        // RPM in one frame, the engine status block in two.
        EXPECT_EQ(log.contains(" > 221030 1 < "), c.fast) << log.constData();
        EXPECT_EQ(log.contains(" > 221074 2 < "), c.fast);
        EXPECT_TRUE(log.contains(" > 221074 < "));
        EXPECT_EQ(cli.File(QStringLiteral("ride.csv")).count('\n'), 5);
    }

    Cli spaced;
    ASSERT_EQ(spaced.Run(bike + QStringList{"--fast", "watch", "RPM", "--interval", "600000",
                                            "--duration", "5", "--csv", "ride.csv"}),
              0)
        << spaced.Err().toStdString();
    EXPECT_EQ(spaced.Out().trimmed().split('\n').size(), 2) << spaced.Out().constData();
    const QByteArray csv = spaced.File(QStringLiteral("ride.csv"));
    ExpectCompleteCsv(csv, QStringLiteral("RPM"));
    EXPECT_EQ(csv.count('\n'), 2);
}

struct GoldenCase {
    const char* family; // golden folder and velmoro-sim --family
    const char* model;
    bool tcp;
};

class CliGoldenTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(CliGoldenTest, EveryJobShowsAndWritesWhatTheWindowDoes)
{
    const GoldenCase c = GetParam();
    SimProcess sim((c.tcp ? QStringList{"--tcp", "0"} : QStringList{"--pty"})
                   << "--family" << c.family << kGoldenBike);
    ASSERT_FALSE(sim.Address().isEmpty());
    const QString port = c.tcp ? "127.0.0.1:" + sim.Address() : sim.Address();
    const QString golden = QStringLiteral(VELMORO_SOURCE_DIR "/tests/golden/") + c.family + "/";
    const QStringList link = {"--port", port, "--model", c.model, "-q"};

    Cli report;
    ASSERT_EQ(report.Run(link + QStringList{"report", "-o", "report.txt"}), 0)
        << report.Err().toStdString();
    EXPECT_EQ(report.Out(), "Written: report.txt\n");
    // The title line ends in the date and time of the save.
    const QString text = QString::fromUtf8(report.File(QStringLiteral("report.txt")))
                             .replace(QRegularExpression(R"(\d{4}\.\d\d\.\d\d \d\d:\d\d\r\n)"),
                                      "yyyy.MM.dd hh:mm\r\n");
    EXPECT_EQ(text.toStdString(), ReadAll(golden + "report.txt").toStdString());

    Cli info;
    ASSERT_EQ(info.Run(link + QStringList{"info"}), 0);
    QByteArray shownInfo = "Adapter: ELM327, ELM327 v1.5\nECU information:\n";
    for (const QByteArray& line : ReadAll(golden + "ecu-info.txt").split('\n'))
        shownInfo += "  " + line + "\n";
    EXPECT_EQ(info.Out().toStdString(), shownInfo.toStdString());

    // The window's fault lists ("--" opens the new, then the stored ones), then a clear.
    Cli faults;
    ASSERT_EQ(faults.Run(link + QStringList{"faults"}), 0);
    QByteArray shownFaults;
    for (const QByteArray& line : ReadAll(golden + "faults.txt").chopped(1).split('\n'))
        shownFaults += line != "--"            ? "  " + line + "\n"
                       : shownFaults.isEmpty() ? QByteArray("New faults:\n")
                                               : QByteArray("Stored faults:\n");
    EXPECT_EQ(faults.Out().toStdString(), shownFaults.toStdString());
    Cli faultsJson;
    ASSERT_EQ(faultsJson.Run(link + QStringList{"--json", "faults"}), 0);
    const QJsonObject listed = QJsonDocument::fromJson(faultsJson.Out()).object();
    // The same lists as objects: each line with its code, its first word, and the record's
    // status byte (MIUG4 says "LED on" for its top bit).
    QStringList jsonLines;
    for (const char* list : {"new", "stored"})
        for (const QJsonValue fault : listed[QLatin1String(list)].toArray()) {
            const QString text = fault["text"].toString();
            EXPECT_EQ(fault["code"].toString(), text.section(' ', 0, 0));
            ASSERT_TRUE(fault["status"].isDouble()) << text.toStdString();
            const int status = fault["status"].toInt();
            EXPECT_TRUE(status >= 0 && status <= 255) << status;
            if (QLatin1String(c.family) == QLatin1String("miug4")) {
                EXPECT_EQ((status & 0x80) != 0, text.endsWith("LED on")) << text.toStdString();
            }
            jsonLines << text;
        }
    QStringList goldenLines = QString::fromUtf8(ReadAll(golden + "faults.txt")).split('\n');
    goldenLines.removeAll(QStringLiteral("--"));
    goldenLines.removeAll(QString());
    EXPECT_EQ(jsonLines, goldenLines)
        << jsonLines.join('|').toStdString() << " / " << goldenLines.join('|').toStdString();
    Cli cleared;
    ASSERT_EQ(cleared.Run(link + QStringList{"faults", "--clear"}), 0);
    const QByteArrayList sent = sim.Received("ATZ", 10);
    const QByteArrayList clearTraffic = ReadAll(golden + "traffic-faults-clear.txt").split('\n');
    const qsizetype clearAt = sent.indexOf(clearTraffic.front());
    ASSERT_GE(clearAt, 0);
    EXPECT_EQ(sent.mid(clearAt, clearTraffic.size()), clearTraffic);
    // The ECU has nothing left: its empty answer leaves the lists as they were, empty here.
    EXPECT_EQ(cleared.Out(), "New faults:\nStored faults:\n");

    Cli survey;
    ASSERT_EQ(survey.Run(link + QStringList{"survey", "-o", "survey.log"}), 0);
    const QString surveyText = QString::fromUtf8(survey.File(QStringLiteral("survey.log")))
                                   .replace(QRegularExpression("Needed: \\d+ms"), "Needed: Tms");
    EXPECT_EQ(surveyText.toStdString(), ReadAll(golden + "survey.log").toStdString());

    Cli download;
    ASSERT_EQ(download.Run(link + QStringList{"download", "-o", "stored.bin"}), 0);
    EXPECT_EQ(download.File(QStringLiteral("stored.bin")), ReadAll(golden + "stored-data.bin"));
    // The set-up and the reset of each of the six runs.
    EXPECT_EQ(sim.Received("ATZ", 12).count("ATZ"), 12);
}

INSTANTIATE_TEST_SUITE_P(Families, CliGoldenTest,
                         ::testing::Values(GoldenCase{"miug4", "Velmoro 850", false},
                                           GoldenCase{"11mp", "velmoro_1000", true}),
                         [](const auto& info) { return std::string(info.param.family); });

TEST(CliTest, AnAdapterThatRestartsIsSetUpAgainAndTheRideGoesOn)
{
    // One request in four makes the adapter restart and lose its set-up (the same ones on every
    // run); an 11MP ECU connects whatever its identification brought.
    SimProcess sim({"--pty", "--ideal", "--family", "11mp", "--engine-time", "90000", "--chaos",
                    "0.25", "--chaos-seed", "5", "--chaos-kinds", "restart"});
    ASSERT_FALSE(sim.Address().isEmpty());
    Cli cli;
    ASSERT_EQ(cli.Run({"--port", sim.Address(), "--model", "Velmoro 1000", "watch", "RPM",
                       "--passes", "40", "--csv", "ride.csv", "--debug-log", "link.log"}),
              0)
        << cli.Err().toStdString();
    const int told =
        static_cast<int>(cli.Err().count(QStringLiteral("Adapter restarted, set up again\n")));
    EXPECT_GT(told, 0) << cli.Err().toStdString();
    EXPECT_EQ(cli.File(QStringLiteral("link.log")).count(" ! Adapter restarted, set up again ("),
              told);
    // Every pass shows the true engine speed or dashes, never a number made of a restart's words.
    const QByteArray csv = cli.File(QStringLiteral("ride.csv"));
    ExpectCompleteCsv(csv, QStringLiteral("RPM"));
    const QList<QByteArray> lines = csv.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 41);
    int right = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray value = lines[i].split(',')[1];
        EXPECT_TRUE(value == "\"1141\"" || value == "\"----\"") << lines[i].constData();
        right += value == "\"1141\"" ? 1 : 0;
    }
    EXPECT_GT(right, 20);
}

TEST(CliTest, CtrlCDuringWatchSurveyAndSwitchEndsTheLinkCleanly)
{
    // Slow enough an ECU that the survey is still running when Ctrl-C comes.
    SimProcess sim({"--pty", "--request-latency", "40"});
    ASSERT_FALSE(sim.Address().isEmpty());
    const QStringList link = {"--port", sim.Address(), "--model", "Velmoro 850"};

    Cli watch;
    watch.Start(link + QStringList{"watch", "engine temperature", "--csv", "ride.csv"});
    ASSERT_TRUE(watch.WaitForLines(3)); // names and two passes
    watch.Interrupt();
    EXPECT_EQ(watch.Wait(), 130);
    EXPECT_TRUE(watch.Err().contains("Interrupted")) << watch.Err().toStdString();
    ExpectCompleteCsv(watch.File(QStringLiteral("ride.csv")), QStringLiteral("Engine temperature"));
    EXPECT_GE(watch.File(QStringLiteral("ride.csv")).count('\n'), 3);
    EXPECT_EQ(sim.Received("ATZ", 2).last(), "ATZ");

    Cli survey;
    survey.Start(link + QStringList{"survey", "-o", "survey.log"});
    ASSERT_TRUE(sim.Received("221040").contains("221040"));
    survey.Interrupt();
    EXPECT_EQ(survey.Wait(), 130);
    const QByteArrayList received = sim.Received("ATZ", 4);
    EXPECT_EQ(received.last(), "ATZ");
    EXPECT_FALSE(received.contains("2210FF"));
    // As the window leaves a survey whose link ended: every line read whole, then the line that
    // says where it was cut short, never the footer of a finished survey.
    const QList<QByteArray> lines = survey.File(QStringLiteral("survey.log")).split('\n');
    ASSERT_GE(lines.size(), 4 + 0x40 + 2 + 1);
    EXPECT_EQ(lines[1], "Bike: Velmoro 850\r");
    const QByteArray cutLine = lines[lines.size() - 2];
    ASSERT_TRUE(cutLine.startsWith("Survey cut short at identifier 0x10")) << cutLine.constData();
    const int read = cutLine.mid(35, 2).toInt(nullptr, 16);
    ASSERT_EQ(lines.size(), 4 + read + 2 + 1);
    for (int nn = 0; nn < read; ++nn) {
        const QByteArray& line = lines[4 + nn];
        EXPECT_TRUE(
            line.startsWith("Tx: " + QByteArray::number(nn, 16).toUpper().rightJustified(2, '0') +
                            " Rx:") &&
            line.endsWith('\r'))
            << line.constData();
    }
    EXPECT_TRUE(lines[4 + 0x30].startsWith("Tx: 30 Rx: 0")) << lines[4 + 0x30].constData();
    EXPECT_FALSE(survey.File(QStringLiteral("survey.log")).contains("Needed: "));
    EXPECT_TRUE(lines.last().isEmpty());

    // A switched fuel pump is switched off before the adapter is reset.
    Cli pump;
    pump.Start(link + QStringList{"run", "fuelpump", "--yes", "--duration", "60"});
    ASSERT_TRUE(sim.Received("2F507903").contains("2F507903"));
    pump.Interrupt();
    EXPECT_EQ(pump.Wait(), 130);
    const QByteArrayList afterPump = sim.Received("ATZ", 6);
    EXPECT_EQ(afterPump.mid(afterPump.size() - 2), (QByteArrayList{"2F507900", "ATZ"}));
}

struct BadInput {
    QStringList arguments;
    int status;
    const char* message;
};

TEST(CliTest, EveryBadInputGetsItsMessageAndStatus)
{
    const QStringList bike = {"--port", "Simulator", "--model", "Velmoro 850"};
    SimProcess silentAdapter({"--pty", "--silent"});
    SimProcess silentEcu({"--pty", "--ecu-silent"});
    SimProcess noCan({"--pty", "--fault", "no-can"});
    SimProcess held({"--pty"});
    QSerialPort holder(held.Address());
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite)); // another program has the adapter open
    const BadInput cases[] = {
        {bike + QStringList{"wach"}, 2, "Unknown command \"wach\". Did you mean \"watch\"?"},
        {bike + QStringList{"watch", "RMP"}, 2, "Unknown value \"RMP\". Did you mean \"RPM\"?"},
        {bike + QStringList{"watch", "1", "2", "3", "4", "5", "6", "7", "8", "9"}, 2,
         "Name one to eight values"},
        {{"--port", "Simulator", "--model", "Velmoro 950", "info"},
         2,
         "Unknown motorcycle model \"Velmoro 950\" (models: Velmoro 850, Velmoro 1000). Did you "
         "mean \"Velmoro 850\"?"},
        {{"--model", "Velmoro 850", "info"}, 2, "No port given: use --port"},
        {bike + QStringList{"run", "fuelpump"}, 2, "Add --yes to run it."},
        {bike + QStringList{"watch", "RPM", "--fast", "--no-fast"}, 2,
         "--fast and --no-fast cannot be given together."},
        {bike + QStringList{"watch", "RPM", "--interval", "soon"}, 2,
         "Invalid number for --interval: \"soon\"."},
        {bike + QStringList{"--language", "francai", "info"}, 2, "Did you mean \"Français\"?"},
        // A file that cannot be written is named before the link is asked for.
        {bike + QStringList{"watch", "RPM", "--csv", "/velmoro-no-such-folder/ride.csv"}, 1,
         "The file /velmoro-no-such-folder/ride.csv cannot be written."},
        {bike + QStringList{"record", "RPM", "--csv", "-"}, 2, "The file - cannot be written."},
        {bike + QStringList{"faults", "--passes", "3"}, 2,
         "The option --passes does not apply to faults."},
        {bike + QStringList{"record", "RPM", "--faults-every", "often"}, 2,
         "Invalid number for --faults-every: \"often\"."},
        {{"--port", "/dev/velmoro-no-such-adapter", "--model", "Velmoro 850", "info"},
         3,
         "Port /dev/velmoro-no-such-adapter could not be opened: the device does not exist"},
        {{"--port", held.Address(), "--model", "Velmoro 850", "info"},
         3,
         "the port is already in use"},
        {{"--port", "127.0.0.1:1", "--model", "Velmoro 850", "info"}, 3, "Nothing answers at"},
        // The 11MP family connects without an identification: it still needs an answer.
        {{"--port", silentAdapter.Address(), "--model", "Velmoro 1000", "info"},
         4,
         "The adapter did not answer"},
        {{"--port", silentEcu.Address(), "--model", "Velmoro 850", "info"},
         5,
         "the ECU did not answer (NO DATA): ignition on?"},
        {{"--port", noCan.Address(), "--model", "Velmoro 850", "info"},
         4,
         "refused CAN (\"?\" to ATSP 6)"},
    };
    for (const BadInput& bad : cases) {
        SCOPED_TRACE(bad.arguments.join(' ').toStdString());
        Cli cli;
        EXPECT_EQ(cli.Run(bad.arguments), bad.status);
        EXPECT_TRUE(cli.Err().contains(bad.message) || cli.Out().contains(bad.message))
            << cli.Err().toStdString();
        EXPECT_TRUE(QDir(cli.Path(".")).entryList({"*.csv", "*.txt", "*.log"}).isEmpty());
    }

    // A link lost in the middle: the CSV log stays complete up to then.
    auto sim = std::make_unique<SimProcess>(QStringList{"--tcp", "0"});
    Cli cli;
    cli.Start({"--port", "127.0.0.1:" + sim->Address(), "--model", "Velmoro 850", "watch", "RPM",
               "--csv", "ride.csv"});
    ASSERT_TRUE(cli.WaitForLines(3));
    sim->Kill();
    EXPECT_EQ(cli.Wait(), 6);
    EXPECT_TRUE(cli.Err().contains("The link to the adapter was lost.")) << cli.Err().toStdString();
    ExpectCompleteCsv(cli.File(QStringLiteral("ride.csv")), QStringLiteral("RPM"));
}

// The last line of a file, without its line end.
QByteArray LastLine(const QByteArray& text)
{
    return text.trimmed().split('\n').last().trimmed();
}

TEST(CliTest, NoJobThatFailedEndsAsDone)
{
    // A link killed in the middle of a job: status 6, and no file that looks finished.
    struct Cut {
        const char* command;
        const char* output;
        QByteArray waitFor; // a request of the job in progress
    };
    const Cut cuts[] = {
        {"survey", "survey.log", "221040"},
        {"report", "report.txt", "221045"},
        {"download", "stored.bin", "3103022401"},
    };
    for (const Cut& cut : cuts) {
        SCOPED_TRACE(cut.command);
        auto sim = std::make_unique<SimProcess>(QStringList{"--pty", "--request-latency", "40"});
        Cli cli;
        cli.Start({"--port", sim->Address(), "--model", "Velmoro 850", "-q", cut.command, "-o",
                   cut.output});
        ASSERT_TRUE(sim->Received(cut.waitFor).contains(cut.waitFor));
        sim->Kill();
        EXPECT_EQ(cli.Wait(), 6) << cli.Err().toStdString();
        const QByteArray written = cli.File(QString::fromLatin1(cut.output));
        EXPECT_FALSE(written.contains("Needed:"));
        if (QByteArray(cut.command) == "survey")
            EXPECT_TRUE(LastLine(written).startsWith("Survey cut short at identifier 0x10"))
                << LastLine(written).constData();
        else if (QByteArray(cut.command) == "report")
            EXPECT_EQ(LastLine(written), "Report incomplete: the link ended before everything "
                                         "was read.");
        else {
            EXPECT_TRUE(written.isEmpty()) << "a download cut short is never the finished file";
            // What arrived is kept beside the file asked for, and named.
            EXPECT_TRUE(QFileInfo::exists(cli.Path("stored.bin.part")));
            EXPECT_EQ(cli.Out().trimmed(), "Incomplete, written: stored.bin.part");
        }
        EXPECT_FALSE(cli.Out().startsWith("Written:")) << cli.Out().constData();
    }

    // The ECU refuses or ignores a job: said on stderr, with the job's status.
    struct Refusal {
        QStringList sim;
        QStringList arguments;
        int status;
        const char* message;
    };
    const Refusal refusals[] = {
        {{"--unanswered", "1902"}, {"faults"}, 5, "Could not read the fault memory."},
        {{"--refuse", "1902"}, {"faults"}, 1, "Could not read the fault memory."},
        {{"--refuse", "14"}, {"faults", "--clear"}, 1, "The ECU refused: Faults: Clear"},
        {{"--refuse", "2F50"}, {"run", "fuelpump", "--yes"}, 1, "The ECU refused: "},
        {{"--unanswered", "2F507E"},
         {"run", "12", "--yes"},
         5,
         "Reset autolearning parameters: Error"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.arguments.join(' ').toStdString());
        SimProcess sim(QStringList{"--pty"} + refusal.sim);
        Cli cli;
        EXPECT_EQ(cli.Run(QStringList{"--port", sim.Address(), "--model", "Velmoro 850", "-q"} +
                          refusal.arguments),
                  refusal.status)
            << cli.Err().toStdString();
        EXPECT_TRUE(cli.Err().contains(refusal.message)) << cli.Err().toStdString();
        // Never an empty list that reads as "no faults".
        if (refusal.arguments == QStringList{"faults"}) {
            EXPECT_TRUE(cli.Out().isEmpty()) << cli.Out().constData();
        }
    }
    // The same unanswered read for a script: JSON that says it, never two empty lists.
    SimProcess silentFaults({"--pty", "--unanswered", "1902"});
    Cli json;
    EXPECT_EQ(json.Run({"--port", silentFaults.Address(), "--model", "Velmoro 850", "-q", "--json",
                        "faults"}),
              5);
    const QJsonObject faults = QJsonDocument::fromJson(json.Out()).object();
    EXPECT_TRUE(faults["new"].isNull());
    EXPECT_TRUE(faults["stored"].isNull());
    EXPECT_EQ(faults["error"].toString().toStdString(), "Could not read the fault memory.");

    // An adapter that refuses CAN is named as such for both families.
    SimProcess noCan({"--pty", "--fault", "no-can"});
    Cli canRefused;
    EXPECT_EQ(canRefused.Run({"--port", noCan.Address(), "--model", "Velmoro 1000", "info"}), 4);
    EXPECT_TRUE(canRefused.Err().contains("refused CAN")) << canRefused.Err().toStdString();

    // A reader that goes away ends the run as SIGTERM does: the adapter is reset.
    SimProcess sim({"--pty"});
    Cli piped;
    EXPECT_EQ(
        piped.RunPiped(
            {"--port", sim.Address(), "--model", "Velmoro 850", "--json", "-q", "watch", "1"}, 2),
        128 + SIGPIPE);
    EXPECT_EQ(piped.Out().count('\n'), 2);
    EXPECT_EQ(sim.Received("ATZ", 2).last(), "ATZ");
}

// Every command's result parsed as a script parses it: one JSON document on stdout, numbers as
// numbers, null where nothing was read, the simulated bike named as such, and a failure as an
// object with the user's words and the status.
TEST(CliTest, EveryCommandAnswersAScriptInJson)
{
    const QStringList bike = {"--port", "Simulator", "--model", "Velmoro 850", "-q", "--json"};
    struct JsonCase {
        QStringList arguments;
        int status;
        std::function<void(const QJsonDocument&)> check;
    };
    const auto simulated = [](const QJsonObject& object) {
        EXPECT_TRUE(object["simulated"].toBool()) << "the built-in bike's values are invented";
    };
    const JsonCase cases[] = {
        {bike + QStringList{"values"}, 0,
         [](const QJsonDocument& d) {
             const QJsonArray values = d.array();
             ASSERT_GT(values.size(), 30);
             EXPECT_EQ(values[0]["number"].toInt(), 1);
             EXPECT_TRUE(values[0]["number"].isDouble());
             EXPECT_EQ(values[0]["name"].toString().toStdString(), "RPM");
             EXPECT_EQ(values[0]["identifier"].toString().toStdString(), "0x1030");
             // Engine speed has no unit; the engine temperature is in degrees Celsius.
             EXPECT_TRUE(values[0]["unit"].isNull());
             EXPECT_EQ(values[3]["unit"].toString().toStdString(), "°C");
         }},
        {bike + QStringList{"actions"}, 0,
         [](const QJsonDocument& d) {
             const QJsonArray actions = d.array();
             ASSERT_GT(actions.size(), 10);
             EXPECT_EQ(actions[0]["kind"].toString().toStdString(), "switch");
             EXPECT_EQ(actions[0]["condition"].toString().toStdString(), "Engine off");
         }},
        {bike + QStringList{"info"}, 0,
         [&](const QJsonDocument& d) {
             simulated(d.object());
             EXPECT_FALSE(d["adapter"]["kind"].toString().isEmpty());
             EXPECT_GT(d["ecu"].toArray().size(), 2);
         }},
        {bike + QStringList{"faults"}, 0,
         [&](const QJsonDocument& d) {
             simulated(d.object());
             EXPECT_EQ(d["ending"].toString().toStdString(), "done");
             EXPECT_TRUE(d["new"].isArray());
             EXPECT_TRUE(d["stored"].isArray());
             EXPECT_FALSE(d.object().contains("error"));
         }},
        {bike + QStringList{"faults", "--clear"}, 0,
         [](const QJsonDocument& d) { EXPECT_TRUE(d["cleared"].toBool()); }},
        {bike + QStringList{"report", "-o", "report.txt"}, 0,
         [&](const QJsonDocument& d) {
             simulated(d.object());
             EXPECT_EQ(d["file"].toString().toStdString(), "report.txt");
             EXPECT_TRUE(d["complete"].toBool());
         }},
        {bike + QStringList{"survey", "-o", "survey.log"}, 0,
         [](const QJsonDocument& d) {
             EXPECT_EQ(d["file"].toString().toStdString(), "survey.log");
             EXPECT_TRUE(d["complete"].toBool());
             EXPECT_EQ(d["ending"].toString().toStdString(), "done");
         }},
        {bike + QStringList{"run", "fuelpump", "--yes", "--duration", "0.2"}, 0,
         [&](const QJsonDocument& d) {
             simulated(d.object());
             EXPECT_EQ(d["action"].toString().toStdString(), "Fuelpump");
             EXPECT_EQ(d["ending"].toString().toStdString(), "done");
         }},
        {bike + QStringList{"run", "reset autolearning parameters", "--yes"}, 0,
         [](const QJsonDocument& d) {
             EXPECT_EQ(d["ending"].toString().toStdString(), "done");
             EXPECT_EQ(d["text"].toString().toStdString(), "Reset autolearning parameters: Ok");
         }},
        {bike + QStringList{"download", "-o", "stored.bin"}, 0,
         [](const QJsonDocument& d) {
             EXPECT_EQ(d["file"].toString().toStdString(), "stored.bin");
         }},
        // Failures: the words of stderr and the status, before a link and after one.
        {bike + QStringList{"wach"}, 2,
         [](const QJsonDocument& d) {
             EXPECT_EQ(d["error"].toString().toStdString(),
                       "Unknown command \"wach\". Did you mean \"watch\"?");
             EXPECT_EQ(d["status"].toInt(), 2);
         }},
        {bike + QStringList{"run", "fuelpump"}, 2,
         [](const QJsonDocument& d) {
             EXPECT_EQ(d["action"].toString().toStdString(), "Fuelpump");
             EXPECT_EQ(d["error"].toString().toStdString(), "Add --yes to run it.");
         }},
        {{"--json", "--port", "/dev/velmoro-no-such-adapter", "--model", "Velmoro 850", "info"},
         3,
         [](const QJsonDocument& d) {
             EXPECT_EQ(d["error"].toString().toStdString(),
                       "Port /dev/velmoro-no-such-adapter could not be opened: the device does not "
                       "exist: is the "
                       "adapter plugged in?");
             EXPECT_EQ(d["status"].toInt(), 3);
         }},
        {{"--json", "watch", "--passes"},
         2,
         [](const QJsonDocument& d) {
             EXPECT_EQ(d["error"].toString().toStdString(), "Missing value after '--passes'.");
         }},
    };
    for (const JsonCase& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        Cli cli;
        EXPECT_EQ(cli.Run(c.arguments), c.status) << cli.Err().toStdString();
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(cli.Out(), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << cli.Out().constData();
        EXPECT_EQ(cli.Out().count('\n'), 1) << "one document on one line";
        c.check(document);
    }

    // watch: one record per pass, each with its values as numbers and the simulated bike named.
    Cli watch;
    ASSERT_EQ(watch.Run(bike + QStringList{"watch", "RPM", "engine temperature", "--passes", "2"}),
              0);
    const QList<QByteArray> records = watch.Out().trimmed().split('\n');
    ASSERT_EQ(records.size(), 2);
    for (const QByteArray& record : records) {
        const QJsonObject pass = QJsonDocument::fromJson(record).object();
        EXPECT_TRUE(pass["simulated"].toBool());
        EXPECT_TRUE(pass["values"][0]["value"].isDouble()) << record.constData();
        EXPECT_TRUE(pass["ms"].isDouble());
    }
}

// A settings file that cannot be used is named with what is wrong with it, before any name is
// looked up in it: never "no such model" for a file that has none.
TEST(CliTest, AnUnusableSettingsFileIsNamedAsTheProblem)
{
    QByteArray noModels = DefaultSettingsFile();
    const qsizetype models = noModels.indexOf("[Modells]");
    ASSERT_GE(models, 0);
    const qsizetype next = noModels.indexOf("\n[", models + 1);
    noModels.remove(models, next - models + 1);
    struct SettingsCase {
        QByteArray content;
        QString settingsFile; // empty: the test's own file
        const char* message;
    };
    const SettingsCase cases[] = {
        {QByteArray("\r\n; nothing here\r\n"), {}, "is empty: it holds no settings"},
        {noModels, {}, "lists no motorcycle models"},
        {DefaultSettingsFile(), QDir::tempPath(), "cannot be read."},
    };
    for (const SettingsCase& c : cases) {
        SCOPED_TRACE(c.message);
        Cli cli(c.content);
        QStringList arguments{"--port", "Simulator", "--model", "Velmoro 850", "info"};
        if (!c.settingsFile.isEmpty())
            arguments = QStringList{"--settings", c.settingsFile} + arguments;
        EXPECT_EQ(cli.Run(arguments), 2);
        const QString file = c.settingsFile.isEmpty() ? cli.Path("settings.ini") : c.settingsFile;
        EXPECT_TRUE(cli.Err().startsWith("The settings file " + file + " "))
            << cli.Err().toStdString();
        EXPECT_TRUE(cli.Err().contains(c.message)) << cli.Err().toStdString();
        EXPECT_FALSE(cli.Err().contains("Unknown")) << cli.Err().toStdString();
    }
}

} // namespace
} // namespace velmoro
