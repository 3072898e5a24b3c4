// The failed step named from the set-up's answers, and the texts chosen for Bluetooth ports.
#include "link/LinkFailure.h"

#include "config/LanguageTexts.h"

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
    const LinkFailureReport closed{LinkFailure::PortNotOpened, "/dev/rfcomm3", "No such file"};
    EXPECT_EQ(LinkFailureText(texts, closed, unbound),
              "Bluetooth port /dev/rfcomm3 is not bound: sudo rfcomm bind 3 <adapter address>");
    EXPECT_EQ(LinkFailureText(texts, closed, bound),
              "Port /dev/rfcomm3 could not be opened: No such file");
    EXPECT_EQ(LinkFailureKey({LinkFailure::AdapterSilent, "/dev/rfcomm3", {}}), "Port_10");
    EXPECT_EQ(LinkFailureKey({LinkFailure::AdapterSilent, "/dev/ttyUSB0", {}}), "Port_9");
    texts.Set("Port_12", "Das Steuergerät antwortet nicht (%1)");
    EXPECT_EQ(LinkFailureText(texts, {LinkFailure::EcuSilent, "/dev/ttyUSB0", "NO DATA"}),
              "Das Steuergerät antwortet nicht (NO DATA)");
}

} // namespace
} // namespace velmoro
