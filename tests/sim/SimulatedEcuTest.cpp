// The simulated ECUs of both families: identifiers, moving values and the ECU services.
#include "sim/SimulatedEcu.h"
#include "sim/Simulator.h"

#include <gtest/gtest.h>

namespace velmoro {
namespace {

QByteArray Hex(const char* hex)
{
    return QByteArray::fromHex(hex);
}

int U16(const QByteArray& answer, int at)
{
    return static_cast<std::uint8_t>(answer[at]) << 8 | static_cast<std::uint8_t>(answer[at + 1]);
}

QByteArray Read(SimulatedEcu& ecu, std::uint8_t low, qint64 engineMs = 60000)
{
    return ecu.Answer(Hex("2210") + QByteArray(1, static_cast<char>(low)), engineMs);
}

TEST(SimulatedEcuTest, SurveyAnswersKnownIdentifiersAndRefusesTheRest)
{
    for (int family : {kSimFamilyMiug4, kSimFamily11mp}) {
        SimulatedEcu ecu(family);
        int known = 0;
        for (int low = 0; low <= 0xFF; ++low) {
            const QByteArray answer = Read(ecu, static_cast<std::uint8_t>(low));
            if (ecu.KnowsIdentifier(static_cast<std::uint8_t>(low))) {
                ++known;
                ASSERT_GE(answer.size(), 4) << family << " " << low;
                ASSERT_EQ(answer.left(3), Hex("6210") + QByteArray(1, char(low)));
            } else {
                ASSERT_EQ(answer, Hex("7F2231")) << family << " " << low;
            }
        }
        // MIUG4: 10 30..7E plus identification 80 and 9A; 11MP: 10 30..A1 without 99.
        EXPECT_EQ(known, family == kSimFamilyMiug4 ? 0x4F + 2 : 0x72 - 1);
    }
}

TEST(SimulatedEcuTest, IdentifierWidthsMatchTheCatalogues)
{
    SimulatedEcu miug4(kSimFamilyMiug4);
    EXPECT_EQ(Read(miug4, 0x30).size(), 3 + 2);
    EXPECT_EQ(Read(miug4, 0x3D).size(), 3 + 1);
    EXPECT_EQ(Read(miug4, 0x73).size(), 3 + 4);
    EXPECT_GE(Read(miug4, 0x74).size(), 3 + 5) << "engine status block";

    const QByteArray id = Read(miug4, 0x80);
    ASSERT_EQ(id.size(), 3 + 73);
    for (int offset : {0, 11, 17, 23, 27, 36, 47}) {
        const char first = id[3 + offset];
        EXPECT_TRUE(first >= 0x20 && first < 0x7F) << offset;
    }
    EXPECT_EQ(id.mid(3 + 69, 4), Hex("01020304"));
    const QByteArray text = Read(miug4, 0x9A).mid(3);
    EXPECT_TRUE(
        std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; }));

    SimulatedEcu mp11(kSimFamily11mp);
    EXPECT_EQ(Read(mp11, 0x55).size(), 3 + 1);
    EXPECT_EQ(Read(mp11, 0x9A).mid(3), QByteArray("A05"));
    EXPECT_EQ(Read(mp11, 0x9F).size(), 3 + 4);
    EXPECT_EQ(mp11.Answer(Hex("229810"), 0).size(), 3 + 2);
    const QByteArray b0 = mp11.Answer(Hex("22B0"), 0);
    EXPECT_EQ(b0.left(2), Hex("62B0"));
    EXPECT_GE(b0.size() - 3, 67);
    EXPECT_EQ(mp11.Answer(Hex("22B1"), 0).left(2), Hex("7F22"));
}

TEST(SimulatedEcuTest, EngineIdlesRevsAndWarmsUp)
{
    SimulatedEcu ecu(kSimFamilyMiug4);
    const int idle = U16(Read(ecu, 0x30, 10000), 3);
    const int revs = U16(Read(ecu, 0x30, 23000), 3);
    EXPECT_GT(idle, 900);
    EXPECT_LT(idle, 1400);
    EXPECT_GT(revs, 4000);
    const int cold = U16(Read(ecu, 0x33, 0), 3) - 40;
    const int warm = U16(Read(ecu, 0x33, 900000), 3) - 40;
    EXPECT_LT(cold, 30);
    EXPECT_GT(warm, 80);
    const int battery = U16(Read(ecu, 0x3C), 3);
    EXPECT_GE(battery, 135);
    EXPECT_LE(battery, 145);
}

TEST(SimulatedEcuTest, FaultMemoryOfBothFamilies)
{
    SimulatedEcu miug4(kSimFamilyMiug4);
    EXPECT_EQ(miug4.Answer(Hex("1902AF"), 0), Hex("5902FF"));
    miug4.currentFaults = {{0x01, 0x05, 0x1C, 0x01}};
    miug4.storedFaults = {{0xC1, 0x21, 0x00, 0x88}};
    EXPECT_EQ(miug4.Answer(Hex("1902AF"), 0), Hex("5902FF01051C01C1210088"));
    EXPECT_EQ(miug4.Answer(Hex("14FFFFFF"), 0), Hex("54"));
    EXPECT_TRUE(miug4.currentFaults.empty() && miug4.storedFaults.empty());
    EXPECT_EQ(miug4.faultClearCount, 1);

    SimulatedEcu mp11(kSimFamily11mp);
    mp11.currentFaults = {{0x01, 0x05, 0, 0x01}};
    mp11.storedFaults = {{0x03, 0x35, 0, 0x21}};
    EXPECT_EQ(mp11.Answer(Hex("1800FF00"), 0), Hex("5802010501033521"));
    EXPECT_EQ(mp11.Answer(Hex("14FF00"), 0), Hex("54FF00"));
    EXPECT_EQ(mp11.Answer(Hex("1800FF00"), 0), Hex("5800"));
}

TEST(SimulatedEcuTest, ActuatorsSwitchAndReportTheirState)
{
    SimulatedEcu miug4(kSimFamilyMiug4);
    EXPECT_EQ(miug4.Answer(Hex("2F50030364"), 0), Hex("6F50030364"));
    EXPECT_TRUE(miug4.actuators[0x03]);
    EXPECT_EQ(miug4.Answer(Hex("2F500300"), 0), Hex("6F500300"));
    EXPECT_FALSE(miug4.actuators[0x03]);
    EXPECT_EQ(miug4.Answer(Hex("2F507E01"), 0), Hex("6F507E0100"));
    EXPECT_EQ(miug4.adaptationResetCount, 1);
    EXPECT_EQ(miug4.Answer(Hex("2F505503"), 0), Hex("7F2F31"));

    SimulatedEcu mp11(kSimFamily11mp);
    const QByteArray on = mp11.Answer(Hex("302207"), 0);
    EXPECT_EQ(on.left(3), Hex("702207"));
    EXPECT_GE(on.size(), 4);
    EXPECT_TRUE(mp11.actuators[0x22]);
    EXPECT_EQ(mp11.Answer(Hex("302200"), 0).left(3), Hex("702200"));
    EXPECT_FALSE(mp11.actuators[0x22]);
    EXPECT_EQ(mp11.Answer(Hex("307E04"), 0).size(), 3 + 2);
}

TEST(SimulatedEcuTest, RoutinesSucceedOrFailAsTold)
{
    SimulatedEcu miug4(kSimFamilyMiug4);
    EXPECT_EQ(miug4.Answer(Hex("31030221"), 0).left(1), Hex("7F")) << "results before start";
    EXPECT_EQ(miug4.Answer(Hex("31010221"), 0), Hex("71010221"));
    EXPECT_EQ(miug4.Answer(Hex("31030221"), 0), Hex("71030221FF"));
    miug4.routineSucceeds = false;
    miug4.Answer(Hex("31010221"), 0);
    EXPECT_EQ(miug4.Answer(Hex("31030221"), 0), Hex("7103022100"));

    SimulatedEcu mp11(kSimFamily11mp);
    EXPECT_GE(mp11.Answer(Hex("3122"), 0).size(), 4);
    EXPECT_GE(mp11.Answer(Hex("3322"), 0).size(), 4);
    mp11.routineSucceeds = false;
    mp11.Answer(Hex("3123"), 0);
    EXPECT_EQ(mp11.Answer(Hex("3323"), 0).left(2), Hex("7F33"));
}

TEST(SimulatedEcuTest, StoredDataBlocksAndTheirClearing)
{
    SimulatedEcu miug4(kSimFamilyMiug4);
    miug4.storedData = {{false, Hex("A1A2")}, {true, {}}, {false, Hex("B1")}};
    EXPECT_EQ(miug4.Answer(Hex("31010224"), 0), Hex("7101022403"));
    EXPECT_EQ(miug4.Answer(Hex("3103022401"), 0), Hex("710302240100A1A2"));
    EXPECT_EQ(miug4.Answer(Hex("3103022402"), 0), Hex("7103022402AA"));
    EXPECT_EQ(miug4.Answer(Hex("3103022404"), 0).left(1), Hex("7F"));
    EXPECT_EQ(miug4.Answer(Hex("14FF24FF"), 0).size(), 4);
    EXPECT_EQ(miug4.Answer(Hex("31010224"), 0), Hex("7101022400"));

    SimulatedEcu mp11(kSimFamily11mp);
    mp11.storedData = {{false, Hex("0102")}, {false, Hex("FF")}};
    EXPECT_EQ(mp11.Answer(Hex("3124"), 0), Hex("7124000200"));
    // Block: number, header byte, data, checksum byte.
    EXPECT_EQ(mp11.Answer(Hex("332401"), 0), Hex("73240101010203"));
    EXPECT_EQ(mp11.Answer(Hex("332402"), 0), Hex("73240202FFFF"));
    EXPECT_EQ(mp11.Answer(Hex("14FF24"), 0).size(), 3 + 2);
    EXPECT_EQ(mp11.Answer(Hex("3124"), 0), Hex("7124000000"));
}

TEST(SimulatedEcuTest, SimulatorExposesEcuStateToTests)
{
    Simulator sim;
    EXPECT_EQ(sim.Family(), kSimFamilyMiug4);
    sim.SetCurrentFaults({{0x01, 0x05, 0x1C, 0x89}});
    EXPECT_EQ(sim.EcuAnswer(Hex("1902AF")), Hex("5902FF01051C89"));
    sim.EcuAnswer(Hex("2F50790300"));
    EXPECT_TRUE(sim.ActuatorOn(0x79));
    sim.SetFamily(kSimFamily11mp);
    EXPECT_EQ(sim.Family(), kSimFamily11mp);
    EXPECT_TRUE(sim.CurrentFaults().empty()) << "a new family starts with a fresh ECU";
    EXPECT_FALSE(sim.ActuatorOn(0x79));

    sim.SetEngineTimeMs(23000);
    const int a = U16(sim.EcuAnswer(Hex("221030")), 3);
    const int b = U16(sim.EcuAnswer(Hex("221030")), 3);
    EXPECT_EQ(a, b) << "frozen engine time gives repeatable values";
}

} // namespace
} // namespace velmoro
