// The debug log: visible control characters, one line per exchange from several threads.
#include "output/DebugLog.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace velmoro;

TEST(DebugLogTest, ControlCharactersBecomeVisible)
{
    EXPECT_EQ(VisibleBytes("ATZ\r"), QByteArray("ATZ\\r"));
    EXPECT_EQ(VisibleBytes("\r\nELM327 v1.5\r\r>"), QByteArray("\\r\\nELM327 v1.5\\r\\r>"));
    EXPECT_EQ(VisibleBytes(QByteArray("a\\b\t\x01\x7F", 6)), QByteArray("a\\\\b\\t\\x01\\x7F"));
}

TEST(DebugLogTest, LinesFromManyThreadsStayWholeAndReopenReplaces)
{
    QTemporaryDir dir;
    const QString prefix = dir.path() + QLatin1Char('/');
    const QDateTime stamp(QDate(2026, 12, 31), QTime(23, 59, 58));
    DebugLog log;
    log.Log(1, "lost", "before open");
    ASSERT_TRUE(log.OpenDebugLog(prefix, "App", stamp));
    EXPECT_EQ(log.FileName(), prefix + "App_20261231_235958.log");

    constexpr int kThreads = 4;
    constexpr int kLines = 100;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kLines; ++i)
                log.Log(t * 1000 + i, "221033\r", "62 10 33 00 28 \r\r>");
        });
    for (auto& th : threads)
        th.join();
    log.Close();
    log.Log(5, "lost", "after close");

    QFile f(log.FileName());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray content = f.readAll();
    const QList<QByteArray> lines = content.split('\n');
    ASSERT_EQ(lines.size(), kThreads * kLines + 1); // the last element follows the final LF
    EXPECT_TRUE(lines.last().isEmpty());
    const QRegularExpression pattern(
        QStringLiteral(R"(^\d+ > 221033\\r < 62 10 33 00 28 \\r\\r>\r$)"));
    for (int i = 0; i < kThreads * kLines; ++i)
        ASSERT_TRUE(pattern.match(QString::fromUtf8(lines[i])).hasMatch()) << lines[i].data();
    EXPECT_FALSE(content.contains("lost"));

    // Opening again with the same stamp replaces the file.
    ASSERT_TRUE(log.OpenDebugLog(prefix, "App", stamp));
    log.Close();
    f.close();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().isEmpty());
}
