// The ECU services end to end: the real worker and request channel against the simulated ECUs.
#include "ecu/Actuators.h"
#include "ecu/Faults.h"
#include "ecu/Identification.h"
#include "link/LinkTestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace velmoro {
namespace {

using test::WorkerHarness;

class ServicesOverLinkTest : public ::testing::Test {
protected:
    void StartWorker(int family)
    {
        SimulatorOptions options;
        options.family = family;
        harness = std::make_unique<WorkerHarness>(std::make_shared<Simulator>(options));
        CommWorkerTimings timings;
        timings.pauseAfterRequestMs = 1;
        ASSERT_TRUE(harness->Start(true, timings));
        ASSERT_TRUE(dir.isValid());
        for (auto [key, text] : {std::pair{"View_59", "Handle self-learning"},
                                 {"View_60", "Throttle self-learning"},
                                 {"View_68", "Stored data download"},
                                 {"View_102", "Ok"},
                                 {"View_103", "Error"},
                                 {"Fault_3", "to high"},
                                 {"Fault_4", "to low"}})
            texts.Set(key, text);
        ctx.link = &harness->channel;
        ctx.texts = &texts;
        ctx.paths.directory = dir.path() + "/";
        ctx.paths.baseName = "VelmoroCanDiag";
        ctx.wait = [](int) { return true; };
        ctx.now = [] { return QDateTime(QDate(2026, 12, 7), QTime(2, 15, 0)); };
        actions = BuildActions(family, texts, ctx);
    }
    QByteArray ReadFile(const QString& name)
    {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    std::unique_ptr<WorkerHarness> harness;
    QTemporaryDir dir;
    LanguageTexts texts;
    ProcedureContext ctx;
    ActionList actions;
    FaultLists lists;
};

TEST_F(ServicesOverLinkTest, Miug4ConnectFaultsActuatorsAndProcedures)
{
    StartWorker(kSimFamilyMiug4);
    Simulator& sim = *harness->sim;
    sim.SetCurrentFaults({{0x01, 0x05, 0x1C, 0x01}});
    sim.SetStoredFaults({{0xC1, 0x21, 0x00, 0x88}});
    sim.SetStoredData({{false, QByteArray("\x11\x12", 2)}, {true, {}}, {false, "\x13"}});
    sim.SetRoutineSucceeds(true);

    LinkSettings settings;
    settings.ecuId = "MIUG4";
    const std::optional<EcuInfo> info = IdentifyMiug4(harness->channel, settings);
    ASSERT_TRUE(info);
    EXPECT_EQ(EcuInfoText(*info), "IAW MIUG4\nSIM-MIUG4\nSW0412 V0102\n2026 1207-01\n"
                                  "VELMOR\nSIMULATOR\n0102.03.04\nHW 1.0 SIMULATED ECU");

    ReadFaultsMiug4(harness->channel, texts, lists);
    EXPECT_EQ(lists.Current(), QStringList{"P0105-1C"});
    EXPECT_EQ(lists.Stored(), QStringList{"U0121-00 LED on"});
    ClearFaultsMiug4(harness->channel, texts, lists);
    EXPECT_EQ(sim.FaultClearCount(), 1);
    EXPECT_EQ(lists.Stored(), QStringList{"U0121-00 LED on"}); // the re-read had no records

    actions[2].switchActuator(1);
    EXPECT_TRUE(sim.ActuatorOn(0x03));
    actions[2].switchActuator(0);
    EXPECT_FALSE(sim.ActuatorOn(0x03));

    ProcedureRecord record;
    actions[10].procedure(record);
    EXPECT_EQ(record.resultText, "Throttle self-learning: Ok");
    actions[12].procedure(record);
    const QString name = "VelmoroCanDiag_20261207_021500_MIUG4_StoredData.bin";
    EXPECT_EQ(record.resultText, "Stored data download: Ok\n" + name);
    EXPECT_EQ(record.fileName, dir.filePath(name));
    EXPECT_EQ(ReadFile(name), QByteArray("\x11\x12\x13"));
}

TEST_F(ServicesOverLinkTest, ElevenMpConnectFaultsAndSelfLearning)
{
    StartWorker(kSimFamily11mp);
    Simulator& sim = *harness->sim;
    sim.SetCurrentFaults({{0x01, 0x05, 0, 0x01}});
    sim.SetStoredFaults({{0xC1, 0x21, 0, 0x22}});
    sim.SetStoredData({{false, QByteArray("\xA1\xA2", 2)}, {false, "\xB1"}});
    sim.SetRoutineSucceeds(true);

    LinkSettings settings;
    settings.ecuId = "11MP";
    settings.ecuVariant = "V1";
    EXPECT_EQ(EcuInfoText(Identify11mp(harness->channel, settings)),
              "IAW 11MP V1\nSIM-11MP\nSW 11MP 0.5\nHW 2.1\nVELMOR\nSIMULATOR\n2026");

    ReadFaults11mp(harness->channel, texts, lists);
    EXPECT_EQ(lists.Current(), QStringList{"P0105 : to high"});
    EXPECT_EQ(lists.Stored(), QStringList{"U0121 : to low"});

    actions[2].switchActuator(1);
    EXPECT_TRUE(sim.ActuatorOn(0x22));
    actions[2].switchActuator(0);
    EXPECT_FALSE(sim.ActuatorOn(0x22));

    ProcedureRecord record;
    actions[11].procedure(record);
    EXPECT_EQ(ReadFile("VelmoroCanDiag_20261207_021500_11MP_StoredData.bin"),
              QByteArray("\xA1\xA2\xB1"));

    // Handle self-learning: the start, then its result asked for.
    ProcedureRecord learning;
    actions[8].procedure(learning);
    EXPECT_EQ(learning.routineId, 0x22);
    EXPECT_EQ(learning.pollsLeft, 20);
    EXPECT_EQ(RoutineResult11mp(harness->channel, texts, learning), 1);
    EXPECT_EQ(learning.resultText, "Handle self-learning: Ok");
    EXPECT_EQ(learning.ending, JobEnding::Done);
}

TEST_F(ServicesOverLinkTest, NoIdentificationWhenThePortCannotBeOpened)
{
    WorkerHarness h;
    h.openFails = true;
    ASSERT_FALSE(h.Start());
    EXPECT_EQ(WaitForWorker(h.flags), kWorkerStopped);
    LinkSettings settings;
    settings.ecuId = "MIUG4";
    EXPECT_FALSE(IdentifyMiug4(h.channel, settings));
}

} // namespace
} // namespace velmoro
