// The CSV value log: file name, quoting and trimming, immediate writing, replacing and failures.
#include "output/CsvLog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velmoro;

namespace {

const QDateTime kStamp(QDate(2026, 3, 7), QTime(9, 5, 4));

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

std::array<QString, 8> Texts(std::initializer_list<QString> first)
{
    std::array<QString, 8> texts;
    int i = 0;
    for (const QString& t : first)
        texts[static_cast<std::size_t>(i++)] = t;
    return texts;
}

class CsvLogTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString Prefix() const { return dir.path() + QLatin1Char('/'); }
};

} // namespace

TEST(CsvLineTest, QuotesEveryFieldTrimsOnlyCommasAndKeepsQuotesInside)
{
    EXPECT_EQ(CsvLine({"12", "a", ""}), QByteArray("\"12\",\"a\",\"\"\r\n"));
    EXPECT_EQ(CsvLine({"say \"hi\"", "x,"}), QByteArray("\"say \"hi\"\",\"x,\"\r\n"));
    EXPECT_EQ(CsvLine({QString::fromUtf8("90°C")}), QByteArray("\"90\xC2\xB0"
                                                               "C\"\r\n"));
}

TEST_F(CsvLogTest, WritesHeaderAndEachLineAtOnceAndClosesToTheSameBytes)
{
    CsvLog log;
    ASSERT_TRUE(log.OpenCsvLog(Prefix(), "VelmoroCanDiag", kStamp, "Time in ms",
                               Texts({"Engine speed", "", "Battery"})));
    const QString name = Prefix() + "VelmoroCanDiag_20260307_090504.csv";
    EXPECT_EQ(log.FileName(), name);

    log.AddCsvLine(true, 0, Texts({"1200", "----", "13.8"}));
    log.AddCsvLine(false, 50, Texts({"ignored"}));
    log.AddCsvLine(true, 155, Texts({"12\"5", "", ""}));

    const QByteArray expected = "\"Time in ms\",\"Engine speed\",\"\",\"Battery\",\"\",\"\",\"\","
                                "\"\",\"\"\r\n"
                                "\"0\",\"1200\",\"----\",\"13.8\",\"\",\"\",\"\",\"\",\"\"\r\n"
                                "\"155\",\"12\"5\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n";
    // Everything is on disk while the file is still open.
    EXPECT_EQ(ReadAll(name), expected);
    log.FlushCsvLog();
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(ReadAll(name), expected);
    EXPECT_TRUE(log.WriteOk());

    // After closing, lines go nowhere.
    log.AddCsvLine(true, 200, Texts({"1"}));
    EXPECT_EQ(ReadAll(name), expected);
}

TEST_F(CsvLogTest, SecondOpenInTheSameSecondReplacesTheFirstFile)
{
    CsvLog log;
    ASSERT_TRUE(log.OpenCsvLog(Prefix(), "App", kStamp, "Time in ms", Texts({"A"})));
    log.AddCsvLine(true, 10, Texts({"1"}));
    log.FlushCsvLog();
    ASSERT_TRUE(log.OpenCsvLog(Prefix(), "App", kStamp, "Zeit in ms", Texts({"B"})));
    log.FlushCsvLog();

    // A connection without passes leaves the header alone.
    EXPECT_EQ(ReadAll(Prefix() + "App_20260307_090504.csv"),
              QByteArray("\"Zeit in ms\",\"B\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

TEST_F(CsvLogTest, UncreatableFileWritesNothingAndIsReported)
{
    CsvLog log;
    const QString missing = Prefix() + "no/such/dir/";
    EXPECT_FALSE(log.OpenCsvLog(missing, "App", kStamp, "Time in ms", Texts({"A"})));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(log.FailedFileName(), missing + "App_20260307_090504.csv");
    log.AddCsvLine(true, 1, Texts({"1"}));
    log.FlushCsvLog();
    EXPECT_TRUE(
        QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());

    // A later open that works clears the failure.
    EXPECT_TRUE(log.OpenCsvLog(Prefix(), "App", kStamp, "Time in ms", Texts({"A"})));
    EXPECT_TRUE(log.FailedFileName().isEmpty());
}
