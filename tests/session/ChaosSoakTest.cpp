// The session against a simulated adapter that misbehaves at random (a fixed seed): no wrong
// value ever reaches a view or the CSV log, the link stays up through adapter restarts, and once
// the adapter behaves again every pass is right.
#include "ecu/Ecu.h"
#include "session/DiagSession.h"
#include "sim/Simulator.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace velmoro {
namespace {

using test::WaitUntil;

// The fields of one CSV line ("1234","1141","1.5",...): time first, then the eight values.
QStringList CsvFields(const QByteArray& line)
{
    QString text = QString::fromUtf8(line.trimmed());
    text = text.mid(1, text.size() - 2);
    return text.split(QStringLiteral("\",\""));
}

struct Ride {
    int family;
    bool fast;
    std::uint32_t seed;
};

TEST(ChaosSoakTest, NoWrongValueAndTheLinkRecoversFromEveryFault)
{
    const QString kUnread = QStringLiteral("----");
    for (const Ride ride : {Ride{kSimFamilyMiug4, false, 22}, Ride{kSimFamily11mp, true, 2022}}) {
        SCOPED_TRACE(ride.family == kSimFamily11mp ? "11MP, fast refresh" : "MIUG4, normal pace");
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        CoreState state;
        state.paths.directory = dir.path() + QStringLiteral("/");
        state.paths.baseName = QStringLiteral("VelmoroCanDiag");
        state.settings.loggingDirectory = state.paths.directory;
        state.settings.csv = 1;
        state.settings.logging = 1;
        state.settings.fastRefresh = ride.fast ? 1 : 0;
        state.texts.Set(QStringLiteral("CSV_1"), QStringLiteral("Time in ms"));
        state.link.model = QStringLiteral("Velmoro 850");
        state.link.ecuId =
            ride.family == kSimFamily11mp ? QStringLiteral("11MP") : QStringLiteral("MIUG4");
        state.link.family = ride.family;
        state.link.port = QStringLiteral("Simulator");
        std::array<int, 8> indices{};
        for (int r = 0; r < kDisplayRows; ++r)
            indices[static_cast<std::size_t>(r)] = r + 1;

        // The engine stands still; every answer takes a millisecond, so the passes' times grow.
        SimulatorOptions simOptions;
        simOptions.family = ride.family;
        simOptions.latencyMs = 1;
        auto sim = std::make_shared<Simulator>(simOptions);
        sim->SetEngineTimeMs(5000);
        DiagSessionOptions options;
        options.simulator = sim;
        options.workerTimings.adapterTimeoutMs = 150;
        options.workerTimings.pauseAfterRequestMs = 1;
        DiagSession session(state, options);

        QList<RowsSnapshot> passes;
        int restarts = 0;
        int disconnects = 0;
        QObject::connect(&session, &DiagSession::question, &session,
                         [&] { session.answerQuestion(); });
        QObject::connect(&session, &DiagSession::rowsRead, &session,
                         [&](const RowsSnapshot& rows) { passes << rows; });
        QObject::connect(&session, &DiagSession::adapterRestarted, &session,
                         [&](const QString& text) {
                             EXPECT_EQ(text, QStringLiteral("Adapter restarted, set up again"));
                             ++restarts;
                         });
        QObject::connect(&session, &DiagSession::disconnected, &session, [&] { ++disconnects; });

        ASSERT_TRUE(session.connectLink({"a", "b", "c", "d", "e", "f", "g", "h"}, indices));
        // The smoothed engine speed settles within a few passes; from then on each value has
        // one true text.
        const qsizetype settled = 10;
        ASSERT_TRUE(WaitUntil([&] { return passes.size() >= settled; }));
        QStringList truth;
        for (int r = 0; r < kDisplayRows; ++r) {
            truth << passes.last()[static_cast<std::size_t>(r)].valueText;
            ASSERT_NE(truth.last(), kUnread) << r;
        }

        // One request in ten meets a fault of any kind; late answers come after the time-out.
        ChaosOptions chaos;
        chaos.rate = 0.1;
        chaos.seed = ride.seed;
        chaos.lateMs = 250;
        sim->SetChaos(chaos);
        const qsizetype chaosFrom = passes.size();
        ASSERT_TRUE(WaitUntil(
            [&] {
                return passes.size() >= chaosFrom + 150 && sim->ChaosCount(ChaosKind::Restart) >= 3;
            },
            40000));
        for (ChaosKind kind :
             {ChaosKind::Message, ChaosKind::Status, ChaosKind::Noise, ChaosKind::Late,
              ChaosKind::Silent, ChaosKind::Half, ChaosKind::Restart})
            EXPECT_GT(sim->ChaosCount(kind), 0) << ChaosKindName(kind);

        // The adapter behaves again: from the second pass on every value is right.
        sim->SetChaos({});
        const qsizetype chaosTo = passes.size();
        ASSERT_TRUE(WaitUntil([&] { return passes.size() >= chaosTo + 6; }));
        EXPECT_EQ(session.linkState(), LinkState::Connected);
        EXPECT_FALSE(sim->SetUpLost());
        EXPECT_GT(restarts, 0);
        int unread = 0;
        for (qsizetype p = settled - 1; p < passes.size(); ++p) {
            for (int r = 0; r < kDisplayRows; ++r) {
                const QString& shown = passes[p][static_cast<std::size_t>(r)].valueText;
                if (shown == kUnread && p < chaosTo + 2) {
                    ++unread;
                    continue;
                }
                ASSERT_EQ(shown, truth[r]) << "pass " << p << " row " << r;
            }
        }
        EXPECT_GT(unread, 0) << "the faults reached the rows";

        session.disconnectLink();
        ASSERT_TRUE(WaitUntil([&] { return disconnects == 1; }));
        EXPECT_EQ(disconnects, 1);

        // One CSV log for the whole ride: true values or dashes, times growing.
        const QStringList csvFiles = QDir(dir.path()).entryList({QStringLiteral("*.csv")});
        ASSERT_EQ(csvFiles.size(), 1);
        QFile csv(dir.filePath(csvFiles.first()));
        ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = csv.readAll().split('\n');
        lines.removeAll(QByteArray());
        ASSERT_EQ(lines.size(), 1 + passes.size());
        qint64 lastMs = -1;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const bool checked = i >= settled; // line i holds pass i - 1
            const QStringList fields = CsvFields(lines[i]);
            ASSERT_EQ(fields.size(), 1 + kDisplayRows) << lines[i].constData();
            const qint64 ms = fields[0].toLongLong();
            ASSERT_GT(ms, lastMs) << lines[i].constData();
            lastMs = ms;
            for (int r = 0; r < kDisplayRows; ++r)
                ASSERT_TRUE(!checked || fields[1 + r] == truth[r] || fields[1 + r] == kUnread)
                    << lines[i].constData();
        }

        // The debug log names each restart that was mended.
        const QStringList debugLogs = QDir(dir.path()).entryList({QStringLiteral("*.log")});
        ASSERT_EQ(debugLogs.size(), 1);
        QFile debugLog(dir.filePath(debugLogs.first()));
        ASSERT_TRUE(debugLog.open(QIODevice::ReadOnly));
        EXPECT_EQ(debugLog.readAll().count(" ! Adapter restarted, set up again ("), restarts);
    }
}

} // namespace
} // namespace velmoro
