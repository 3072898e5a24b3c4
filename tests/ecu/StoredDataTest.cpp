// Stored data download of both families into the time-stamped file.
#include "ecu/StoredData.h"
#include "support/ScriptedLink.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace velmoro {
namespace {

using test::Hex;
using test::ScriptedLink;

class StoredDataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        texts.Set("View_68", "Stored data download");
        texts.Set("View_102", "Ok");
        texts.Set("View_103", "Error");
        ctx.link = &link;
        ctx.texts = &texts;
        ctx.paths.directory = dir.path() + QLatin1Char('/');
        ctx.paths.baseName = "VelmoroCanDiag";
        ctx.now = [] { return QDateTime(QDate(2026, 12, 7), QTime(2, 15, 0)); };
    }
    QByteArray FileBytes(const QString& name)
    {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QTemporaryDir dir;
    ScriptedLink link;
    LanguageTexts texts;
    ProcedureContext ctx;
    ProcedureRecord record;
};

TEST_F(StoredDataTest, Miug4ThreeBlocksOneSkipped)
{
    const QString name = "VelmoroCanDiag_20261207_021500_MIUG4_StoredData.bin";
    link.Answer(Hex("31 01 02 24"), Hex("71 01 02 24 03"));
    link.Answer(Hex("31 03 02 24 01"), Hex("71 03 02 24 01 00 11 12 13"));
    link.Answer(Hex("31 03 02 24 02"), Hex("71 03 02 24 02 AA 21 22"));
    link.Answer(Hex("31 03 02 24 03"), Hex("71 03 02 24 03 00 31"));

    DownloadStoredDataMiug4(ctx, record);
    EXPECT_EQ(link.Requests(), (QByteArrayList{Hex("31 01 02 24"), Hex("31 03 02 24 01"),
                                               Hex("31 03 02 24 02"), Hex("31 03 02 24 03")}));
    EXPECT_EQ(FileBytes(name), Hex("11 12 13 31"));
    EXPECT_EQ(record.resultText, "Stored data download: Ok\n" + name);

    // Another download in the same second (a second run beside this one) keeps both files.
    link.Answer(Hex("31 03 02 24 01"), Hex("71 03 02 24 01 00 41"));
    DownloadStoredDataMiug4(ctx, record);
    const QString second = "VelmoroCanDiag_20261207_021500_2_MIUG4_StoredData.bin";
    EXPECT_EQ(record.fileName, dir.filePath(second));
    EXPECT_EQ(FileBytes(second), Hex("41 31"));
    EXPECT_EQ(FileBytes(name), Hex("11 12 13 31"));
}

TEST_F(StoredDataTest, Miug4NoBlocksGivesAnEmptyFileAndRefusalGivesNone)
{
    const QString name = "VelmoroCanDiag_20261207_021500_MIUG4_StoredData.bin";
    link.Answer(Hex("31 01 02 24"), Hex("71 01 02 24 00"));
    DownloadStoredDataMiug4(ctx, record);
    EXPECT_EQ(FileBytes(name), QByteArray());
    EXPECT_EQ(record.resultText, "Stored data download: Ok\n" + name);

    QFile::remove(dir.filePath(name));
    link.Answer(Hex("31 01 02 24"), Hex("7F 31 22"));
    DownloadStoredDataMiug4(ctx, record);
    EXPECT_EQ(record.resultText, "Stored data download: Error");
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(StoredDataTest, LostLinkOrUnwritableFileIsAnError)
{
    link.Answer(Hex("31 01 02 24"), Hex("71 01 02 24 02"));
    link.Answer(Hex("31 03 02 24 01"), Hex("71 03 02 24 01 00 11"));
    link.SetConnected(true);
    // The link goes away after the first block.
    struct DroppingLink : ExchangeLink {
        ScriptedLink* inner;
        int calls = 0;
        using ExchangeLink::Exchange;
        ExchangeResult Exchange(const std::uint8_t* r, int n) override
        {
            if (++calls == 3)
                inner->SetConnected(false);
            return inner->Exchange(r, n);
        }
    } dropping;
    dropping.inner = &link;
    ctx.link = &dropping;
    DownloadStoredDataMiug4(ctx, record);
    EXPECT_EQ(record.resultText, "Stored data download: Error");

    link.SetConnected(true);
    ctx.link = &link;
    ctx.paths.directory = dir.path() + "/missing/";
    DownloadStoredDataMiug4(ctx, record);
    EXPECT_EQ(record.resultText, "Stored data download: Error");
}

TEST_F(StoredDataTest, ElevenMpBlocksWithoutFirstAndLastByte)
{
    const QString name = "VelmoroCanDiag_20261207_021500_11MP_StoredData.bin";
    link.Answer(Hex("31 24"), Hex("71 24 00 02 00"));
    link.Answer(Hex("33 24 01"), Hex("73 24 01 01 A1 A2 A3 C1"));
    link.Answer(Hex("33 24 02"), Hex("73 24 02 02 B1 C2"));
    DownloadStoredData11mp(ctx, record);
    EXPECT_EQ(FileBytes(name), Hex("A1 A2 A3 B1"));
    EXPECT_EQ(record.resultText, "Stored data download: Ok\n" + name);

    // The start must bring exactly two data bytes.
    link.Answer(Hex("31 24"), Hex("71 24 00 02"));
    DownloadStoredData11mp(ctx, record);
    EXPECT_EQ(record.resultText, "Stored data download: Error");
}

} // namespace
} // namespace velmoro
