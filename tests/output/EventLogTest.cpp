// The event file: written beside the CSV log line by line, read back with its problems named.
#include "output/EventLog.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velmoro;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

TEST(EventLogTest, WritesEachEventAtOnceBesideTheCsvLogAndReadsItBack)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString csv = dir.path() + "/Ride_20260501_100000.csv";
    EXPECT_EQ(EventFileName(csv), dir.path() + "/Ride_20260501_100000.events");
    EXPECT_EQ(EventFileName("/logs/v1.2/ride"), "/logs/v1.2/ride.events");

    EventLog log;
    ASSERT_TRUE(log.Open(csv));
    EXPECT_TRUE(log.Append(0, EventKind::Simulated));
    EXPECT_TRUE(log.Append(0, EventKind::RideStart));
    EXPECT_TRUE(log.Append(61250, EventKind::FaultAppeared, "P0117",
                           QString::fromUtf8("Engine temperature \"low\", sensor\r\nshort")));
    // Nothing waits for Close: the line is in the file as soon as it is appended.
    const QByteArray expected = "\"Time\",\"Event\",\"Code\",\"Text\"\r\n"
                                "\"0\",\"simulated\",\"\",\"\"\r\n"
                                "\"0\",\"ride-start\",\"\",\"\"\r\n"
                                "\"61250\",\"fault-appeared\",\"P0117\",\"Engine temperature "
                                "\"low\", sensor short\"\r\n";
    EXPECT_EQ(ReadAll(log.FileName()), expected);
    EXPECT_TRUE(log.Append(70000, EventKind::Mark, {}, QString::fromUtf8("Kurve, Zündaussetzer")));
    log.Close();
    EXPECT_FALSE(log.Append(80000, EventKind::LinkLost));

    const EventLogRead read = ReadEventFileOf(csv);
    EXPECT_TRUE(read.problems.empty());
    ASSERT_EQ(read.events.size(), 4u);
    EXPECT_EQ(read.events[0].kind, EventKind::Simulated);
    EXPECT_EQ(read.events[2].kind, EventKind::FaultAppeared);
    EXPECT_DOUBLE_EQ(read.events[2].timeMs, 61250);
    EXPECT_EQ(read.events[2].code, "P0117");
    // Quotes and commas of the text survive: the text runs to the end of its line.
    EXPECT_EQ(read.events[2].text, "Engine temperature \"low\", sensor short");
    EXPECT_EQ(read.events[3].text, QString::fromUtf8("Kurve, Zündaussetzer"));
    EXPECT_TRUE(ReadEventFileOf(dir.path() + "/none.csv").events.empty());

    // Every word written reads back as its kind.
    for (int k = 0; k <= int(EventKind::RideStart); ++k)
        EXPECT_EQ(EventKindFromWord(EventWord(EventKind(k))), EventKind(k)) << k;
}

TEST(EventLogTest, HandEditedFilesKeepTheirGoodLinesAndNameTheBadOnes)
{
    const QByteArray edited = "\xEF\xBB\xBF"
                              "Time,Event,Code,Text\n"
                              "5000,link-lost,,\n"
                              "\n"
                              "abc,mark,,x\n"
                              "3000,mark,,first\n"
                              "7000,engine-exploded,,\n"
                              "8000,link-back\n"
                              "9000,\"fault-gone\",\"P0117\",\"Engine temperature\"";
    const EventLogRead read = ReadEventLog(edited);
    ASSERT_EQ(read.events.size(), 3u);
    // Sorted by time, whatever the order of the lines.
    EXPECT_EQ(read.events[0].text, "first");
    EXPECT_EQ(read.events[1].kind, EventKind::LinkLost);
    EXPECT_EQ(read.events[2].kind, EventKind::FaultGone);
    EXPECT_EQ(read.events[2].text, "Engine temperature");
    ASSERT_EQ(read.problems.size(), 3u);
    EXPECT_EQ(read.problems[0].line, 4);
    EXPECT_EQ(read.problems[1].line, 6);
    EXPECT_TRUE(read.problems[1].reason.contains("engine-exploded"));
    EXPECT_EQ(read.problems[2].line, 7);

    // No header: said once, the events are still read; binary bytes are not read at all.
    const EventLogRead headless = ReadEventLog("100,mark,,a\r\n");
    EXPECT_EQ(headless.events.size(), 1u);
    EXPECT_EQ(headless.problems.size(), 1u);
    EXPECT_TRUE(ReadEventLog(QByteArray("Time\0x", 6)).events.empty());
}
