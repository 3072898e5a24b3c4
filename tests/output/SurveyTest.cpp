// The read-all survey file: layout byte for byte, step lines and the step counter.
#include "output/Survey.h"
#include "support/ScriptedLink.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace velmoro {
namespace {

using test::Hex;
using test::ScriptedLink;

TEST(SurveyTest, FileLayoutOfAWholeSurvey)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ProgramPaths paths;
    paths.directory = dir.path() + "/";
    paths.baseName = "VelmoroCanDiag";
    LinkSettings link;
    link.model = "Velmoro 800";
    link.ecuId = "MIUG4";
    ScriptedLink ecu;
    ecu.Answer(Hex("22 10 30"), Hex("62 10 30 0B B8"));
    ecu.Answer(Hex("22 10 31"), Hex("7F 22 31"));
    ecu.Answer(Hex("22 10 FF"), Hex("62 10 FF 00"));

    SurveyState survey;
    EXPECT_EQ(survey.NextStep(0), SurveyState::kIdle);
    const QDateTime now(QDate(2026, 12, 7), QTime(2, 15, 0));
    ASSERT_TRUE(survey.Start(paths, link, now, 1000));
    EXPECT_TRUE(survey.Running());
    EXPECT_EQ(survey.file.FileName(), dir.path() + "/TestResultate_20261207_021500.log");

    QStringList buttonTexts;
    LanguageTexts texts;
    texts.Set("View_23", "Read");
    for (;;) {
        buttonTexts << SurveyButtonText(texts, survey.counter);
        const int nn = survey.NextStep(74412);
        if (nn < 0) {
            EXPECT_EQ(nn, SurveyState::kFinished);
            break;
        }
        if (nn == 0x32) {
            // A stop: no answer, and nothing written that would look like one.
            ecu.SetConnected(false);
            EXPECT_FALSE(RunSurveyStep(ecu, survey.file, nn));
            ecu.SetConnected(true);
        }
        EXPECT_TRUE(RunSurveyStep(ecu, survey.file, nn));
    }
    EXPECT_FALSE(survey.Running());
    EXPECT_EQ(buttonTexts.first(), "Read: 0x00");
    EXPECT_EQ(buttonTexts[0xFF], "Read: 0xFF");
    EXPECT_EQ(ecu.Requests().size(), 256);

    QFile file(survey.file.FileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_TRUE(bytes.endsWith("\r\n"));
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast(); // after the final line end
    ASSERT_EQ(lines.size(), 262);
    for (const QByteArray& line : lines)
        ASSERT_TRUE(line.endsWith('\r')) << line.constData();
    auto line = [&lines](int n) { return lines[n - 1].chopped(1); };
    EXPECT_EQ(line(1), "VelmoroCanDiag V0.02");
    EXPECT_EQ(line(2), "Bike: Velmoro 800");
    EXPECT_EQ(line(3), "ECU: MIUG4");
    EXPECT_EQ(line(4), "");
    EXPECT_EQ(line(5), "Tx: 00 Rx: not available");
    EXPECT_EQ(line(5 + 0x30), "Tx: 30 Rx: 0B B8");
    EXPECT_EQ(line(5 + 0x31), "Tx: 31 Rx: not available");
    EXPECT_TRUE(line(5 + 0x32).startsWith("Tx: 32 Rx:"));
    EXPECT_EQ(line(260), "Tx: FF Rx: 00");
    EXPECT_EQ(line(261), "");
    EXPECT_EQ(line(262), "Needed: 73412ms");
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
}

TEST(SurveyTest, UnwritableFileDoesNotStart)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ProgramPaths paths;
    paths.directory = dir.path() + "/missing/";
    paths.baseName = "VelmoroCanDiag";
    SurveyState survey;
    EXPECT_FALSE(survey.Start(paths, LinkSettings{}, QDateTime::currentDateTime(), 0));
    EXPECT_FALSE(survey.Running());
    EXPECT_EQ(survey.NextStep(0), SurveyState::kIdle);
}

TEST(SurveyTest, StepLineShowsEveryDataByte)
{
    ExchangeResult r;
    r.result = 127;
    for (int i = 0; i < 127; ++i)
        r.response[static_cast<std::size_t>(1 + i)] = static_cast<std::uint8_t>(i);
    const QString line = SurveyStepLine(0xAB, r);
    EXPECT_TRUE(line.startsWith("Tx: AB Rx: 00 01 02"));
    EXPECT_TRUE(line.endsWith(" 7C 7D 7E"));
    EXPECT_EQ(line.size(), 10 + 127 * 3);
}

} // namespace
} // namespace velmoro
