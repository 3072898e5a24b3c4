// A whole refresh pass of each family through the operations table, the real worker and request
// channel, against the in-process simulated adapter and ECU.
#include "ecu/CoreState.h"
#include "ecu/RefreshCycle.h"
#include "link/CommWorker.h"
#include "link/LinkTestSupport.h"
#include "sim/Simulator.h"
#include "sim/SimulatorPort.h"
#include "support/FamilyRig.h"
#include "support/ScriptedLink.h"
#include "values/EnglishTexts.h"
#include "values/ValueCatalog.h"

#include <gtest/gtest.h>
#include <thread>

namespace velmoro {
namespace {

class EcuOpsSimulatorTest : public ::testing::Test {
protected:
    // Connects like the session does: the worker on its own thread with the simulator handed in
    // as the port "Simulator", then the family's identification on this thread.
    void Connect(const char* ecuId, int family)
    {
        sim = std::make_shared<Simulator>();
        test::SetEnglishTexts(state.texts);
        state.link.port = "Simulator";
        state.link.ecuId = ecuId;
        state.Choose();
        ASSERT_EQ(state.link.family, family);
        sim->SetFamily(family);
        state.flags.SetWorkerState(kWorkerStarting);
        worker = std::thread([this] {
            CommWorker commWorker(state.channel, state.texts, ui, state.link.port, nullptr,
                                  [this](const QString&) { return OpenSimulatorPort(sim); });
            commWorker.Run();
        });
        ASSERT_EQ(WaitForWorker(state.flags), kWorkerRunning)
            << "the simulated link did not come up";
        ASSERT_TRUE(state.ecu->identify());
        sim->SetEngineTimeMs(4000); // the same answers for the pass and its replay
        sim->ClearReceived();
    }

    void TearDown() override
    {
        if (worker.joinable()) {
            state.channel.Stop();
            worker.join();
        }
        EXPECT_EQ(state.flags.workerState.load(), kWorkerStopped);
    }

    // The requests 22 .. that reached the simulated ECU, as hex text.
    QStringList ValueRequests() const
    {
        QStringList requests;
        for (const QByteArray& command : sim->ReceivedCommands()) {
            if (command.startsWith("22")) {
                requests << QString::fromLatin1(command);
            }
        }
        return requests;
    }

    // Decodes what the simulated ECU answers for `index` through a scripted link, so the row
    // the pass produced can be compared with the same bytes decoded without the link.
    MeasurementRow Replay(int index, int (*dispatcher)(ReaderContext&, MeasurementRow&),
                          bool (*identifier)(int, std::uint8_t&, std::uint8_t&))
    {
        test::ScriptedLink link;
        std::uint8_t hi = 0;
        std::uint8_t lo = 0;
        if (identifier(index, hi, lo)) {
            const QByteArray answer = sim->EcuAnswer(QByteArray("\x22", 1) + char(hi) + char(lo));
            link.Queue(answer.mid(3).toHex());
        }
        float smoothing = 0.0f;
        ReaderContext ctx{link, state.texts, smoothing};
        MeasurementRow row;
        row.valueIndex = index;
        dispatcher(ctx, row);
        return row;
    }

    test::FamilyRig state;
    test::RecordingUi ui; // confirms the ignition prompt at once
    std::shared_ptr<Simulator> sim;
    std::thread worker;
};

TEST_F(EcuOpsSimulatorTest, Miug4PassReadsEveryChosenRowAndTheEngineStatus)
{
    Connect("MIUG4", FamilyMiug4);
    EXPECT_EQ(ui.Messages().size(), 1);
    const int chosen[kDisplayRows] = {1, 5, 13, 0, 32, 45, 80, 86};
    for (int r = 0; r < kDisplayRows; ++r) {
        state.rows[r].valueIndex = chosen[r];
    }
    RunRefreshPass(*state.ecu, state.flags, state.rows);

    EXPECT_EQ(ValueRequests(),
              QStringList({"221030", "221033", "22103C", "221058", "22104C", "221073", "221074"}));
    for (int r = 0; r < kDisplayRows; ++r) {
        SCOPED_TRACE(chosen[r]);
        if (chosen[r] == 0) {
            EXPECT_EQ(state.rows[r].valueText, "");
            continue;
        }
        const MeasurementRow expected =
            Replay(chosen[r], ValueDispatcherMiug4, ValueIdentifierMiug4);
        EXPECT_EQ(DisplayRow(state.rows[r]).valueText, DisplayRow(expected).valueText);
        EXPECT_EQ(state.rows[r].rawValue, expected.rawValue);
    }
    EXPECT_NE(state.rows[0].valueText, "----");
    EXPECT_NE(state.rows[1].valueText, "----");
    EXPECT_EQ(state.rows[7].valueText, "----");
    EXPECT_EQ(state.rows[kEngineStatusRow].valueText.count('\n'), 8);
    EXPECT_TRUE(state.rows[kEngineStatusRow].valueText.contains("Engine"));
}

TEST_F(EcuOpsSimulatorTest, ElevenMpPassReadsEveryChosenRowWithoutAnEngineStatus)
{
    Connect("11MP", Family11mp);
    const int chosen[kDisplayRows] = {1, 3, 14, 33, 107, 112, 80, 106};
    for (int r = 0; r < kDisplayRows; ++r) {
        state.rows[r].valueIndex = chosen[r];
    }
    RunRefreshPass(*state.ecu, state.flags, state.rows);

    EXPECT_EQ(ValueRequests(), QStringList({"221030", "221031", "22103C", "22104F", "22109A",
                                            "22109F", "22107E", "229810"}));
    for (int r = 0; r < kDisplayRows; ++r) {
        SCOPED_TRACE(chosen[r]);
        const MeasurementRow expected = Replay(chosen[r], ValueDispatcher11mp, ValueIdentifier11mp);
        EXPECT_EQ(DisplayRow(state.rows[r]).valueText, DisplayRow(expected).valueText);
        EXPECT_EQ(state.rows[r].rawValue, expected.rawValue);
        EXPECT_NE(state.rows[r].valueText, "----");
    }
    EXPECT_EQ(state.rows[kEngineStatusRow].valueText, "");

    // A stop ends the next pass before its first row.
    state.flags.stopFlag = 1;
    sim->ClearReceived();
    RunRefreshPass(*state.ecu, state.flags, state.rows);
    EXPECT_TRUE(ValueRequests().isEmpty());
}

} // namespace
} // namespace velmoro
