// Survey steps over the real worker and request channel against the simulated MIUG4 ECU.
#include "link/LinkTestSupport.h"
#include "output/Survey.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace velmoro {
namespace {

TEST(SurveyOverLinkTest, StepsWriteTheAnswersOfTheSimulatedEcu)
{
    test::WorkerHarness h;
    CommWorkerTimings timings;
    timings.pauseAfterRequestMs = 1;
    ASSERT_TRUE(h.Start(true, timings));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ProgramPaths paths;
    paths.directory = dir.path() + "/";

    SurveyState survey;
    ASSERT_TRUE(survey.Start(paths, LinkSettings{}, QDateTime::currentDateTime(), 0));
    survey.counter = 0x99; // only the last identifiers
    for (int nn = survey.NextStep(0); nn >= 0; nn = survey.NextStep(5))
        RunSurveyStep(h.channel, survey.file, nn);
    h.Stop();
    RunSurveyStep(h.channel, survey.file, 0x30); // not written: the survey is over

    QFile file(survey.file.FileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArrayList lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4 + (0x100 - 0x99) + 2 + 1);
    EXPECT_EQ(lines[4], "Tx: 99 Rx: not available\r");
    EXPECT_TRUE(lines[5].startsWith("Tx: 9A Rx: 48 57 20 31 2E 30 ")); // "HW 1.0 ..."
    EXPECT_EQ(lines[6], "Tx: 9B Rx: not available\r");
    EXPECT_EQ(lines[lines.size() - 2], "Needed: 5ms\r");
}

} // namespace
} // namespace velmoro
