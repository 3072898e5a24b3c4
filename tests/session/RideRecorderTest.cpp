// A ride recorded against the in-process simulated motorcycle: a fault that appears and goes
// during the ride, a lost link and its return, a mark, and a link loss longer than the ride gap
// that starts a new pair of files; the event file on the CSV log's clock.
#include "session/RideRecorder.h"

#include "ecu/Ecu.h"
#include "output/EventLog.h"
#include "sim/Simulator.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>

namespace velmoro {
namespace {

using test::WaitUntil;

// The first column of every data line of a CSV log, in file order.
QList<qint64> CsvTimes(const QString& path)
{
    QFile file(path);
    QList<qint64> times;
    if (!file.open(QIODevice::ReadOnly))
        return times;
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    for (const QByteArray& line : lines.mid(1))
        times << line.mid(1, line.indexOf('"', 1) - 1).toLongLong();
    return times;
}

QList<EventKind> Kinds(const std::vector<LogEvent>& events)
{
    QList<EventKind> kinds;
    for (const LogEvent& e : events)
        kinds << e.kind;
    return kinds;
}

TEST(RideRecorderTest, FaultsLinkLossMarksAndANewRideLandInTheEventFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CoreState state;
    state.paths.directory = state.settings.loggingDirectory = dir.path() + QStringLiteral("/");
    state.paths.baseName = QStringLiteral("VelmoroCanDiag");
    state.settings.csv = 1;
    state.settings.reconnect = 1;
    state.link.ecuId = QStringLiteral("MIUG4");
    state.link.port = QStringLiteral("Simulator");
    auto sim = std::make_shared<Simulator>();
    DiagSessionOptions options;
    options.simulator = sim;
    DiagSession session(state, options);
    QObject::connect(&session, &DiagSession::question, &session,
                     [&session] { session.answerQuestion(); });
    int passes = 0;
    int connects = 0;
    QObject::connect(&session, &DiagSession::rowsRead, &session, [&] { ++passes; });
    QObject::connect(&session, &DiagSession::connected, &session, [&] { ++connects; });

    RideRecorder recorder(session, session.faults(), {1, 0});
    QStringList rides;
    QObject::connect(&recorder, &RideRecorder::rideStarted, &recorder,
                     [&](const QString& csv, const QString&) { rides << csv; });
    std::vector<LogEvent> noted;
    QObject::connect(&recorder, &RideRecorder::noted, &recorder,
                     [&](const LogEvent& e) { noted.push_back(e); });
    const auto seen = [&](EventKind kind) { return Kinds(noted).contains(kind); };

    session.setLogFileNames(dir.path() + QStringLiteral("/ride.csv"), {});
    ASSERT_TRUE(session.connectLink({"RPM"}, {1}));
    ASSERT_TRUE(WaitUntil([&] { return passes >= 2; }));
    ASSERT_EQ(rides, QStringList{dir.path() + QStringLiteral("/ride.csv")});
    ASSERT_EQ(recorder.eventFileName(), dir.path() + QStringLiteral("/ride.events"));

    // A fault shows up in the memory mid-ride; a read of the recorder's own finds it, and its
    // going is noted too.
    sim->SetCurrentFaults({{0x01, 0x05, 0x1C, 0x01}});
    ASSERT_TRUE(WaitUntil([&] { return seen(EventKind::FaultAppeared); }));
    EXPECT_TRUE(recorder.mark(QStringLiteral("warning light")));
    sim->SetCurrentFaults({});
    ASSERT_TRUE(WaitUntil([&] { return seen(EventKind::FaultGone); }));

    // The port goes away and comes back: lost and back in the same files.
    sim->Vanish();
    ASSERT_TRUE(WaitUntil([&] { return seen(EventKind::LinkLost); }));
    sim->Restore();
    ASSERT_TRUE(WaitUntil([&] { return seen(EventKind::LinkBack); }, 20000));
    const int resumed = passes;
    ASSERT_TRUE(WaitUntil([&] { return passes >= resumed + 2; }));

    // A loss longer than the ride gap: the next link starts a new ride with files of its own.
    recorder.setOptions({1, 1});
    sim->Vanish();
    ASSERT_TRUE(
        WaitUntil([&] { return connects == 2 && session.linkState() == LinkState::Reconnecting; }));
    sim->Restore();
    ASSERT_TRUE(WaitUntil([&] { return rides.size() == 2; }, 20000));
    const int second = passes;
    ASSERT_TRUE(WaitUntil([&] { return passes >= second + 2; }));
    session.disconnectLink();
    ASSERT_TRUE(WaitUntil([&] { return session.linkState() == LinkState::Disconnected; }));
    EXPECT_EQ(rides.last(), dir.path() + QStringLiteral("/ride_2.csv"));

    // The first ride's story, in order, on the clock of its CSV log, which ran on across the
    // loss in one file.
    const EventLogRead first = ReadEventFileOf(dir.path() + QStringLiteral("/ride.csv"));
    EXPECT_TRUE(first.problems.empty());
    EXPECT_EQ(Kinds(first.events),
              (QList<EventKind>{EventKind::RideStart, EventKind::Simulated,
                                EventKind::FaultAppeared, EventKind::Mark, EventKind::FaultGone,
                                EventKind::LinkLost, EventKind::LinkBack, EventKind::LinkLost}));
    EXPECT_EQ(first.events[2].code, QStringLiteral("P0105-1C"));
    EXPECT_EQ(first.events[4].code, QStringLiteral("P0105-1C"));
    EXPECT_EQ(first.events[3].text, QStringLiteral("warning light"));
    const QList<qint64> times = CsvTimes(dir.path() + QStringLiteral("/ride.csv"));
    ASSERT_GE(times.size(), 4);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    for (std::size_t i = 1; i < first.events.size(); ++i)
        EXPECT_GE(first.events[i].timeMs, first.events[i - 1].timeMs);
    // The loss lies between two lines of values, and values follow its return.
    const double lostMs = first.events[5].timeMs;
    const double backMs = first.events[6].timeMs;
    EXPECT_TRUE(std::any_of(times.begin(), times.end(), [&](qint64 t) { return t <= lostMs; }));
    EXPECT_TRUE(std::any_of(times.begin(), times.end(), [&](qint64 t) { return t >= backMs; }));

    // The second ride starts its own clock.
    const EventLogRead next = ReadEventFileOf(dir.path() + QStringLiteral("/ride_2.csv"));
    ASSERT_FALSE(next.events.empty());
    EXPECT_EQ(next.events.front().kind, EventKind::RideStart);
    const QList<qint64> nextTimes = CsvTimes(dir.path() + QStringLiteral("/ride_2.csv"));
    ASSERT_FALSE(nextTimes.isEmpty());
    EXPECT_LT(nextTimes.front(), times.back());
}

} // namespace
} // namespace velmoro
