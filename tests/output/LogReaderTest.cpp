// Reading CSV value logs back: the program's own logs of both families, spreadsheet variants,
// broken and oversized input, slices.
#include "output/LogReader.h"
#include "output/LogUnits.h"
#include "support/SimulatedRideLog.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

using namespace velmoro;
using namespace velmoro::test;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// What a reader should make of a value text: a number, or NaN for "----", "" and state texts.
double Expected(const QString& text)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? v : std::nan("");
}

void ExpectCell(double actual, const QString& text)
{
    const double expected = Expected(text);
    if (std::isnan(expected))
        EXPECT_TRUE(std::isnan(actual)) << text.toStdString();
    else
        EXPECT_DOUBLE_EQ(actual, expected) << text.toStdString();
}

} // namespace

TEST(LogReaderTest, ProgramLogsOfBothFamiliesReadBackCellForCellAndUnchanged)
{
    QTemporaryDir dir;
    LanguageTexts english;
    LoadDefaultEnglish(english);
    const QHash<QString, QString> units = ValueUnitsByName(english);
    // Chooser 8 stays empty in both: its column is left out. MIUG4 index 86 never sends, so its
    // column is "----" throughout.
    const std::array<std::array<int, 8>, 2> chosen = {std::array<int, 8>{1, 2, 3, 5, 6, 9, 86, 0},
                                                      std::array<int, 8>{1, 4, 5, 6, 7, 9, 25, 0}};
    for (int family : {kSimFamilyMiug4, kSimFamily11mp}) {
        SCOPED_TRACE(family);
        const RideLog ride =
            WriteSimulatedRideLog(dir.path() + "/", family, 600, chosen[std::size_t(family)]);
        const QByteArray before = ReadAll(ride.fileName);
        const LogReadResult read = ReadLogFile(ride.fileName);
        ASSERT_TRUE(read.Ok()) << int(read.error) << " line " << read.line;
        EXPECT_EQ(ReadAll(ride.fileName), before);

        const LogData& log = read.log;
        EXPECT_EQ(log.timeTitle, "Time in ms");
        ASSERT_EQ(log.RowCount(), 600);
        ASSERT_EQ(log.columns.size(), 7u);
        EXPECT_DOUBLE_EQ(log.timesMs.back(), 599 * 50);
        for (std::size_t c = 0; c < 7; ++c) {
            EXPECT_EQ(log.columns[c].name, ride.names[c]);
            EXPECT_EQ(log.columns[c].field, int(c) + 1);
            for (int row = 0; row < log.RowCount(); row += 37) {
                ExpectCell(log.columns[c].values[std::size_t(row)], ride.rows[std::size_t(row)][c]);
                EXPECT_EQ(LogRowFields(log, row).value(int(c) + 1), ride.rows[std::size_t(row)][c]);
            }
        }
        // The simulated engine moves: speed is numeric and not constant.
        const auto& rpm = log.columns[0].values;
        EXPECT_EQ(log.columns[0].numericCount, 600);
        EXPECT_NE(*std::min_element(rpm.begin(), rpm.end()),
                  *std::max_element(rpm.begin(), rpm.end()));
        if (family == kSimFamilyMiug4) {
            EXPECT_EQ(ride.rows[0][6], "----");
            EXPECT_EQ(log.columns[6].numericCount + log.columns[6].textCount, 0);
        }
        // A temperature column gets its unit back from the catalogue by its name.
        EXPECT_EQ(units.value(log.columns[family == kSimFamilyMiug4 ? 3 : 2].name), "°C");

        // A slice holds the header and the lines of its range, unchanged.
        const QString slice = dir.path() + "/slice.csv";
        ASSERT_TRUE(WriteLogSlice(log, 1000, 2000, slice));
        const QList<QByteArray> all = before.split('\n');
        const QList<QByteArray> lines = ReadAll(slice).split('\n');
        ASSERT_EQ(lines.size(), 1 + 21 + 1);
        EXPECT_EQ(lines[0], all[0]);
        EXPECT_EQ(lines[1], all[1 + 20]);
        EXPECT_EQ(lines[21], all[1 + 40]);
        const LogReadResult again = ReadLogFile(slice);
        ASSERT_TRUE(again.Ok());
        EXPECT_DOUBLE_EQ(again.log.timesMs.front(), 1000);
    }
}

TEST(LogReaderTest, SpreadsheetVariantsGiveTheSameNumbers)
{
    const QByteArray program = "\"Time in ms\",\"RPM\",\"Voltage\",\"Mode\",\"\"\r\n"
                               "\"0\",\"1200\",\"13.8\",\"rich\",\"\"\r\n"
                               "\"50\",\"----\",\"14.1\",\"lean\",\"\"\r\n"
                               "\"100\",\"1250\",\"----\",\"\",\"\"\r\n";
    const std::vector<std::pair<const char*, QByteArray>> variants = {
        {"program", program},
        {"LF, BOM, unquoted, blank lines",
         "\xEF\xBB\xBFTime in ms,RPM,Voltage,Mode,\n\n0,1200,13.8,rich,\n50,----,14.1,lean,\n"
         "100, 1250 ,----,,\n\n"},
        {"semicolons and decimal commas",
         "Time in ms;RPM;Voltage;Mode;\r\n0;1200;13,8;rich;\r\n50;----;14,1;lean;\r\n"
         "100;1250;----;;\r\n"},
        {"tabs, quoted with doubled quotes",
         "\"Time in ms\"\t\"RPM\"\t\"Voltage\"\t\"Mode\"\t\n0\t1200\t13.8\t\"rich\"\t\n"
         "50\t----\t14.1\t\"lean\"\t\n100\t1250\t----\t\"\"\t\n"},
        {"old Mac line ends, cut-off last line",
         "Time in ms,RPM,Voltage,Mode,\r0,1200,13.8,rich,\r50,----,14.1,lean,\r"
         "100,1250,----,,\r150,13"},
    };
    for (const auto& [name, bytes] : variants) {
        SCOPED_TRACE(name);
        const LogReadResult read = ParseLog(bytes);
        ASSERT_TRUE(read.Ok()) << int(read.error) << " line " << read.line;
        const LogData& log = read.log;
        EXPECT_EQ(log.timeTitle, "Time in ms");
        ASSERT_EQ(log.RowCount(), 3);
        ASSERT_EQ(log.columns.size(), 3u); // the empty fifth column is left out
        EXPECT_EQ(log.columns[2].name, "Mode");
        EXPECT_EQ(log.columns[2].numericCount, 0);
        EXPECT_EQ(log.columns[2].textCount, 2);
        const double rpm[] = {1200, NAN, 1250};
        const double volts[] = {13.8, 14.1, NAN};
        for (int r = 0; r < 3; ++r) {
            EXPECT_DOUBLE_EQ(log.timesMs[std::size_t(r)], r * 50);
            ExpectCell(log.columns[0].values[std::size_t(r)], QString::number(rpm[r]));
            ExpectCell(log.columns[1].values[std::size_t(r)], QString::number(volts[r]));
        }
        EXPECT_EQ(LogRowFields(log, 1).value(3), "lean");
    }

    // The documented example, units in brackets, and the program's unescaped quotes.
    const LogReadResult example = ParseLog("\"Time in ms\",\"RPM\",\"Voltage [V]\",\"\"\r\n"
                                           "\"0\",\"1200\",\"----\",\"\"\r\n");
    ASSERT_TRUE(example.Ok());
    ASSERT_EQ(example.log.columns.size(), 2u);
    EXPECT_EQ(example.log.columns[1].name, "Voltage");
    EXPECT_EQ(example.log.columns[1].unit, "V");
    EXPECT_TRUE(std::isnan(example.log.columns[1].values[0]));
    const LogReadResult quotes =
        ParseLog("\"T\",\"A\",\"B\"\r\n\"5\",\"12\"5\",\"say \"\"hi\"\"\"\r\n");
    ASSERT_TRUE(quotes.Ok());
    EXPECT_EQ(LogRowFields(quotes.log, 0), QStringList({"5", "12\"5", "say \"hi\""}));
}

TEST(LogReaderTest, BrokenInputGetsOneErrorWithItsLine)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        LogError error;
        int line;
    };
    const std::vector<Case> cases = {
        {"0 bytes", "", LogError::Empty, 0},
        {"blank lines only", "\r\n  \r\n", LogError::Empty, 0},
        {"no header", "0,1200,13.8\r\n50,1210,13.9\r\n", LogError::NoHeader, 1},
        // Prose with a comma: a header of two columns, then a line without the second.
        {"prose", "Dear diary,\nthe bike ran fine\n", LogError::FieldCount, 2},
        {"one column", "hello world\nfoo bar\n", LogError::NoValueColumns, 1},
        {"ragged", "T,A,B\n0,1,2\n\n50,1,2,3\n", LogError::FieldCount, 4},
        {"short line mid-file", "T,A,B\n0,1,2\n50,1\n100,1,2\n", LogError::FieldCount, 3},
        {"text as time", "T,A\n0,1\nabc,2\n", LogError::BadTime, 3},
        {"time backwards", "T,A\n0,1\n100,2\n50,3\n", LogError::TimeBackwards, 4},
        {"header only", "\"Time in ms\",\"RPM\"\r\n", LogError::NoDataLines, 1},
        {"binary", QByteArray("T,A\n0,1\n\x89PNG\0\x01", 14), LogError::Binary, 3},
        // A spreadsheet's "Unicode text": named as such, not as binary data.
        {"utf-16 with mark", QByteArray("\xFF\xFET\0,\0A\0\n\0", 10), LogError::Utf16, 0},
        {"utf-16 without mark",
         QByteArray("T\0,\0A\0\n\0"
                    "0\0,\0"
                    "1\0\n\0",
                    16),
         LogError::Utf16, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LogReadResult read = ParseLog(c.bytes);
        EXPECT_EQ(read.error, c.error);
        EXPECT_EQ(read.line, c.line);
    }
    EXPECT_EQ(ParseLog("T,A\n0,1\nabc,2\n").detail, "abc");

    // Junk never crashes the reader and gives a log or one error, never both.
    QRandomGenerator random(42);
    for (int n = 0; n < 300; ++n) {
        QByteArray junk(int(random.bounded(1, 600)), Qt::Uninitialized);
        for (char& b : junk)
            b = char(random.bounded(256));
        if (n % 2 == 0)
            junk.prepend("\"Time in ms\",\"RPM\"\r\n\"0\",\"1\"\r\n");
        const LogReadResult read = ParseLog(junk);
        EXPECT_EQ(read.Ok(), read.log.RowCount() > 0);
    }
}

TEST(LogReaderTest, FileAboveTheLimitIsRefusedUnreadAndUnchanged)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/huge.csv";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("\"Time in ms\",\"RPM\"\r\n\"0\",\"1\"\r\n");
        ASSERT_TRUE(file.resize(200ll * 1024 * 1024)); // sparse: quick to make, 200 MB long
    }
    const LogReadResult read = ReadLogFile(path);
    EXPECT_EQ(read.error, LogError::TooLarge);
    EXPECT_EQ(read.detail, "200");
    EXPECT_EQ(QFileInfo(path).size(), 200ll * 1024 * 1024);

    // A file that cannot be opened names its reason by the key of our own words for it.
    const LogReadResult missing = ReadLogFile(dir.path() + "/none.csv");
    EXPECT_EQ(missing.error, LogError::CannotOpen);
    EXPECT_EQ(missing.detail, "Err_11");
    const LogReadResult folder = ReadLogFile(dir.path());
    EXPECT_EQ(folder.error, LogError::CannotOpen);
    EXPECT_EQ(folder.detail, "Err_12");
}

TEST(LogReaderTest, StatusBitFieldsReadAsTheirBitsAndNumbersOfOnesAndZerosStayNumbers)
{
    const LogReadResult read = ParseLog("\"T\",\"Status\",\"RPM\",\"Code\"\r\n"
                                        "\"0\",\"00001101\",\"1000\",\"0101\"\r\n"
                                        "\"50\",\"----\",\"1100\",\"1101\"\r\n"
                                        "\"100\",\"10000001\",\"1010\",\"110\"\r\n");
    ASSERT_TRUE(read.Ok());
    const std::vector<LogColumn>& columns = read.log.columns;
    EXPECT_EQ(columns[0].bitCount, 8);
    EXPECT_DOUBLE_EQ(columns[0].values[0], 13);
    EXPECT_TRUE(std::isnan(columns[0].values[1]));
    EXPECT_DOUBLE_EQ(columns[0].values[2], 129);
    // Engine speed of ones and zeros has no leading zero; strings of unequal length are numbers.
    EXPECT_EQ(columns[1].bitCount, 0);
    EXPECT_DOUBLE_EQ(columns[1].values[0], 1000);
    EXPECT_EQ(columns[2].bitCount, 0);
    EXPECT_DOUBLE_EQ(columns[2].values[0], 101);
}

TEST(LogUnitsTest, UnitsAreFoundWhateverLanguageTheLogWasWrittenIn)
{
    LanguageTexts english;
    LoadDefaultEnglish(english);
    LanguageTexts german;
    IniFile ini;
    ini.SetContent(DefaultSettingsFile());
    for (const auto& [key, text] : ini.Entries(QStringLiteral("Deutsch")))
        german.Set(key, text);
    QVector<QString> englishNames;
    QVector<QString> germanNames;
    BuildValueNamesMiug4(english, englishNames);
    BuildValueNamesMiug4(german, germanNames);
    const qsizetype index = englishNames.indexOf("Engine temperature");
    ASSERT_GT(index, 0);
    const QString germanName = germanNames.value(index);
    ASSERT_NE(germanName, "Engine temperature");

    // A German window on an English log from the command line, and the other way round.
    const QHash<QString, QString> inGerman = ValueUnitsOfAllLanguages(german);
    const QHash<QString, QString> inEnglish = ValueUnitsOfAllLanguages(english);
    EXPECT_EQ(inGerman.value("Engine temperature"), QString::fromUtf8("°C"));
    EXPECT_EQ(inEnglish.value(germanName), QString::fromUtf8("°C"));
    EXPECT_FALSE(ValueUnitsByName(german).contains("Engine temperature"));
}
