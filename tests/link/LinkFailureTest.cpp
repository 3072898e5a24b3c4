// The failed step named from the set-up's answers, and the texts chosen for Bluetooth ports.
#include "link/LinkFailure.h"

#include "config/LanguageTexts.h"
#include "link/AdapterPort.h"

#include <gtest/gtest.h>

namespace velmoro {
namespace {

TEST(LinkFailureTest, StepNamedFromTheSetUpAnswersAndBluetoothTexts)
{
    const auto diagnose = [](const QByteArray& protocolAnswer, const QByteArray& sessionAnswer) {
        SetUpAnswers a{{"ATE 0\rOK\r\r", protocolAnswer, sessionAnswer},
                       "ATSP 6",
                       protocolAnswer,
                       sessionAnswer};
        return DiagnoseSetUp(QStringLiteral("/dev/ttyUSB0"), a);
    };
    EXPECT_EQ(DiagnoseSetUp({}, SetUpAnswers{{"", "", ""}, "ATSP 6", "", ""}).failure,
              LinkFailure::AdapterSilent);
    // An adapter that ignored "ATE 0" echoes the command before its "?".
    EXPECT_EQ(diagnose("ATSP 6\r?\r\r>", "NO DATA\r\r").failure, LinkFailure::CanRefused);
    EXPECT_EQ(diagnose("?\r\r", "").detail, "ATSP 6");
    EXPECT_EQ(diagnose("OK\r\r", "CAN ERROR\r\r").detail, "CAN ERROR");
    // Any answer of the ECU, a refusal too, means the ECU is there.
    EXPECT_EQ(diagnose("OK\r\r", "7F 10 11 \r\r").failure, LinkFailure::None);

    LanguageTexts texts; // an older settings file without the keys: English
    const auto bound = [](const QString&) { return true; };
    const auto unbound = [](const QString&) { return false; };
    const LinkFailureReport closed{LinkFailure::PortNotOpened, "/dev/rfcomm3", "Err_1"};
    EXPECT_EQ(LinkFailureText(texts, closed, unbound),
              "Bluetooth port /dev/rfcomm3 is not bound: sudo rfcomm bind 3 <adapter address>");
    EXPECT_EQ(LinkFailureText(texts, closed, bound),
              "Port /dev/rfcomm3 could not be opened: the device does not exist: is the adapter "
              "plugged in?");
    EXPECT_EQ(LinkFailureKey({LinkFailure::AdapterSilent, "/dev/rfcomm3", {}}), "Port_10");
    EXPECT_EQ(LinkFailureKey({LinkFailure::AdapterSilent, "/dev/ttyUSB0", {}}), "Port_9");
    texts.Set("Port_12", "Das Steuergerät antwortet nicht (%1)");
    EXPECT_EQ(LinkFailureText(texts, {LinkFailure::EcuSilent, "/dev/ttyUSB0", "NO DATA"}),
              "Das Steuergerät antwortet nicht (NO DATA)");
    // The reason is told in the sentence's language, never in the system's English.
    texts.Set("Port_7", "Port %1 konnte nicht geöffnet werden: %2");
    texts.Set("Err_2", "dieser Benutzer darf das Gerät nicht benutzen");
    EXPECT_EQ(LinkFailureText(texts, {LinkFailure::PortNotOpened, "/dev/ttyS0", "Err_2"}, bound),
              "Port /dev/ttyS0 konnte nicht geöffnet werden: dieser Benutzer darf das Gerät nicht "
              "benutzen");
}

// Real ports that do not open name their reason by its key: a device that is not there, a TCP
// port nobody listens on, no name at all.
TEST(LinkFailureTest, PortsThatDoNotOpenNameTheirReasonByKey)
{
    EXPECT_EQ(OpenAdapterPort(QStringLiteral("/dev/velmoro-no-such-device")), nullptr);
    EXPECT_EQ(LastPortOpenError(), "Err_1");
    EXPECT_EQ(OpenAdapterPort(QStringLiteral("127.0.0.1:1")), nullptr);
    EXPECT_EQ(LastPortOpenError(), "Err_5");
    EXPECT_EQ(OpenAdapterPort(QString()), nullptr);
    EXPECT_EQ(LastPortOpenError(), "Err_8");
}

TEST(LinkFailureTest, SetUpCommandsCountAsTheStepsTheUserSees)
{
    const QByteArrayList commands = {"",       "ATZ",    "ATE 0",    "STMFR",
                                     "VTPROI", "ATSP 6", "ATSH 7A0", "ATCRA 7A8"};
    QList<int> steps;
    for (const QByteArray& command : commands)
        steps << AdapterSetUpStep(command);
    EXPECT_EQ(steps, (QList<int>{1, 2, 3, 4, 4, 5, 6, 7}));
    EXPECT_EQ(AdapterSetUpStep("STP 33"), 5);
    EXPECT_EQ(AdapterSetUpStep("VTP2 33"), 5);
    EXPECT_EQ(AdapterSetUpStep("221080"), 0);
    LanguageTexts texts;
    EXPECT_EQ(ConnectStepText(texts, ConnectStep::AdapterSetUp, 3), "Adapter set-up 3 of 7");
    texts.Set("Conn_2", "Adapter-Einrichtung %1 von %2");
    EXPECT_EQ(ConnectStepText(texts, ConnectStep::AdapterSetUp, 7), "Adapter-Einrichtung 7 von 7");
}

// The worker reports the adapter from its set-up's answers: the reset's banner without its
// echo, and a recognised vendor's identity answer.
TEST(LinkFailureTest, TheSetUpsAnswersNameTheAdapter)
{
    SetUpAnswers elm;
    elm.all = {"", "ATZ\r\rELM327 v1.5\r\r"};
    elm.resetAnswer = "ATZ\r\rELM327 v1.5\r\r>";
    const FoundAdapter plain = AdapterOf(elm);
    EXPECT_TRUE(plain.answered);
    EXPECT_EQ(plain.kind, "ELM327");
    EXPECT_EQ(plain.banner, "ELM327 v1.5");
    EXPECT_TRUE(plain.detail.isEmpty());

    SetUpAnswers stn = elm;
    stn.identityCommand = "STMFR";
    stn.identityAnswer = "OBD Solutions LLC\r\r";
    EXPECT_EQ(AdapterOf(stn).kind, "STN");
    EXPECT_EQ(AdapterOf(stn).detail, "OBD Solutions LLC");
    SetUpAnswers vgate = elm;
    vgate.identityCommand = "VTPROI";
    vgate.identityAnswer = "VTPROI\rVgate iCar Pro\r\r";
    EXPECT_EQ(AdapterOf(vgate).kind, "Vgate");
    EXPECT_EQ(AdapterOf(vgate).detail, "Vgate iCar Pro");

    EXPECT_FALSE(AdapterOf(SetUpAnswers{{"", ""}, {}, {}, {}, true}).answered);
}

} // namespace
} // namespace velmoro
