// velmoro-cli watch --reconnect run in process, with the reconnect countdown on a clock the test
// moves: a ride across a lost and regained link is one CSV file, and every attempt is a line.
#include "cli/CliApp.h"
#include "cli/Terminal.h"
#include "config/Settings.h"
#include "link/Clock.h"
#include "sim/Simulator.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

namespace velmoro {
namespace {

using test::WaitUntil;

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// stdout and stderr of the command go to files while it lives; on a failure the test's own
// stderr gets what the command said.
class CapturedOutput {
public:
    explicit CapturedOutput(const QString& directory)
        : outPath_(directory + QStringLiteral("/out.txt")),
          errPath_(directory + QStringLiteral("/err.txt"))
    {
        out_ = std::fopen(QFile::encodeName(outPath_).constData(), "w");
        err_ = std::fopen(QFile::encodeName(errPath_).constData(), "w");
        cli::SetOutputFiles(out_, err_);
    }
    ~CapturedOutput()
    {
        cli::SetOutputFiles(nullptr, nullptr);
        std::fclose(out_);
        std::fclose(err_);
        if (::testing::Test::HasFailure())
            std::fprintf(stderr, "velmoro-cli said:\n%s\n", Err().toUtf8().constData());
    }
    QByteArray Out() const { return ReadAll(outPath_); }
    QString Err() const { return QString::fromUtf8(ReadAll(errPath_)); }

private:
    QString outPath_;
    QString errPath_;
    FILE* out_ = nullptr;
    FILE* err_ = nullptr;
};

TEST(CliReconnectTest, WatchRidesAcrossALostLinkIntoOneCsvFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString settingsFile = dir.filePath(QStringLiteral("settings.ini"));
    {
        QFile file(settingsFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(DefaultSettingsFile());
    }
    cli::CliOptions options;
    options.command = QStringLiteral("watch");
    options.arguments = QStringList{QStringLiteral("RPM")};
    options.settings = {settingsFile, QStringLiteral("Simulator"), QStringLiteral("Velmoro 850"),
                        QStringLiteral("English")};
    options.yes = true;
    options.reconnect = true;
    options.csvFile = dir.filePath(QStringLiteral("ride.csv"));

    // The adapter and ECU of the ride, and the countdown's clock: it moves only when told.
    ManualClock clock;
    auto sim = std::make_shared<Simulator>();
    DiagSessionOptions sessionOptions;
    sessionOptions.simulator = sim;
    sessionOptions.retryClock = &clock;

    CapturedOutput output(dir.path());
    // A line on stdout for each pass (after the names' line when stdout is no terminal).
    const auto shown = [&output] { return static_cast<int>(output.Out().count('\n')); };
    int status = -1;
    {
        cli::CliRun run(options, dir.path(), sessionOptions);
        QObject::connect(&run, &cli::CliRun::finished, &run, [&](int s) { status = s; });
        ASSERT_EQ(run.Start(), -1);
        ASSERT_TRUE(WaitUntil([&] { return shown() >= 3; }));

        // The adapter loses its power: the first attempt comes after 2 s and finds nothing, the
        // next after 5 s finds the adapter back.
        sim->Vanish();
        ASSERT_TRUE(WaitUntil([&] { return output.Err().contains("trying again in 2 s."); }));
        clock.AdvanceMs(2000);
        ASSERT_TRUE(WaitUntil([&] { return output.Err().contains("trying again in 5 s."); }));
        sim->Restore();
        clock.AdvanceMs(5000);
        ASSERT_TRUE(WaitUntil([&] { return output.Err().contains("Link up again."); }));
        const int before = shown();
        ASSERT_TRUE(WaitUntil([&] { return shown() >= before + 2; }));

        // The rider stops the ride as Ctrl-C does.
        std::raise(SIGINT);
        ASSERT_TRUE(WaitUntil([&] { return status >= 0; }));
    }
    EXPECT_EQ(status, 130);

    // A line for each attempt and for the link back; nothing says the ride ended.
    const QString err = output.Err();
    EXPECT_EQ(err.count(QStringLiteral("Link lost: trying again in 2 s.")), 1);
    EXPECT_EQ(err.count(QStringLiteral("Link lost: trying again in 5 s.")), 1);
    EXPECT_EQ(err.count(QStringLiteral("Trying to connect again.")), 2);
    EXPECT_EQ(err.count(QStringLiteral("Link up again.")), 1);
    EXPECT_FALSE(err.contains(QStringLiteral("The link to the adapter was lost.")));
    EXPECT_EQ(sim->ReceivedCommands().last(), QByteArray("ATZ"));

    // One CSV file for the ride: every pass a whole line, engine speeds read before the loss and
    // after it, the times running on across the gap.
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.csv")}),
              QStringList{QStringLiteral("ride.csv")});
    const QByteArray csv = ReadAll(options.csvFile);
    ASSERT_TRUE(csv.endsWith("\r\n"));
    const QList<QByteArray> lines = csv.trimmed().split('\n');
    ASSERT_GE(lines.size(), 1 + 4);
    // Time, engine speed, and the seven unused columns.
    const QRegularExpression line(QStringLiteral("^\"(\\d+)\",\"(\\d+|----)\"") +
                                  QStringLiteral(",\"\"").repeated(7) + QStringLiteral("\r?$"));
    qint64 last = -1;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QRegularExpressionMatch m = line.match(QString::fromUtf8(lines[i]));
        ASSERT_TRUE(m.hasMatch()) << lines[i].constData();
        EXPECT_GE(m.captured(1).toLongLong(), last);
        last = m.captured(1).toLongLong();
    }
    EXPECT_NE(lines[1].split(',')[1], "\"----\"") << "read before the link was lost";
    EXPECT_NE(lines.last().split(',')[1], "\"----\"") << "and after it came back";
}

} // namespace
} // namespace velmoro
