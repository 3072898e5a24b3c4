// The failed step named from the set-up's answers, and the texts chosen for Bluetooth ports.
#include "link/LinkFailure.h"

#include "config/LanguageTexts.h"

#include <gtest/gtest.h>

namespace velmoro {
namespace {

SetUpAnswers Heard(const QByteArray& protocolAnswer, const QByteArray& sessionAnswer)
{
    SetUpAnswers a;
    a.all = {"\r\r",          "ATZ\r\r\rELM327 v1.5\r\r",
             "ATE 0\rOK\r\r", "?\r\r",
             "?\r\r",         protocolAnswer,
             "OK\r\r",        "OK\r\r",
             sessionAnswer};
    a.protocolCommand = "ATSP 6";
    a.protocolAnswer = protocolAnswer;
    a.sessionAnswer = sessionAnswer;
    return a;
}

TEST(LinkFailureTest, StepNamedFromTheSetUpAnswers)
{
    const QString port = "/dev/ttyUSB0";
    SetUpAnswers silent;
    silent.all = {"", "", "", "", "", "", "", "", ""};
    EXPECT_EQ(DiagnoseSetUp(port, silent).failure, LinkFailure::AdapterSilent);

    const LinkFailureReport refused = DiagnoseSetUp(port, Heard("?\r\r", "NO DATA\r\r"));
    EXPECT_EQ(refused.failure, LinkFailure::CanRefused);
    EXPECT_EQ(refused.detail, "ATSP 6");
    // An adapter that ignored "ATE 0" echoes the command before its "?".
    EXPECT_EQ(DiagnoseSetUp(port, Heard("ATSP 6\r?\r\r>", "")).failure, LinkFailure::CanRefused);

    const LinkFailureReport bus = DiagnoseSetUp(port, Heard("OK\r\r", "CAN ERROR\r\r"));
    EXPECT_EQ(bus.failure, LinkFailure::EcuSilent);
    EXPECT_EQ(bus.detail, "CAN ERROR");
    EXPECT_EQ(DiagnoseSetUp(port, Heard("OK\r\r", "NO DATA\r\r")).detail, "NO DATA");

    // Any answer of the ECU, a refusal too, means the ECU is there.
    EXPECT_EQ(DiagnoseSetUp(port, Heard("OK\r\r", "50 03 00 32 01 F4 \r\r")).failure,
              LinkFailure::None);
    EXPECT_EQ(DiagnoseSetUp(port, Heard("OK\r\r", "7F 10 11 \r\r")).failure, LinkFailure::None);
}

TEST(LinkFailureTest, BluetoothPortsSayWhetherTheyAreBound)
{
    LanguageTexts texts; // an older settings file without the keys: English
    const auto bound = [](const QString&) { return true; };
    const auto unbound = [](const QString&) { return false; };
    const LinkFailureReport closed{LinkFailure::PortNotOpened, "/dev/rfcomm3", "No such file"};
    EXPECT_EQ(LinkFailureText(texts, closed, unbound),
              "Bluetooth port /dev/rfcomm3 is not bound: sudo rfcomm bind 3 <adapter address>");
    EXPECT_EQ(LinkFailureText(texts, closed, bound),
              "Port /dev/rfcomm3 could not be opened: No such file");
    const LinkFailureReport silent{LinkFailure::AdapterSilent, "/dev/rfcomm3", {}};
    EXPECT_EQ(LinkFailureKey(silent, bound), "Port_10");
    EXPECT_TRUE(LinkFailureText(texts, silent, bound)
                    .startsWith("The Bluetooth adapter on /dev/rfcomm3 is bound"));
    EXPECT_EQ(LinkFailureKey({LinkFailure::AdapterSilent, "/dev/ttyUSB0", {}}), "Port_9");

    texts.Set("Port_12", "Das Steuergerät antwortet nicht (%1)");
    EXPECT_EQ(LinkFailureText(texts, {LinkFailure::EcuSilent, "/dev/ttyUSB0", "NO DATA"}),
              "Das Steuergerät antwortet nicht (NO DATA)");
}

} // namespace
} // namespace velmoro
