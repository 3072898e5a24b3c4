// Why a serial port did not open, told apart by looking at the device, and what a user who may
// not use it is advised to do.
#include "link/SerialDevice.h"

#include "config/LanguageTexts.h"
#include "link/AdapterPort.h"
#include "link/LinkFailure.h"

#include <QDir>
#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

namespace velmoro {
namespace {

TEST(SerialDeviceTest, PortsThatDoNotOpenSayWhichCaseItIs)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("ttyUSB0");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();

    const auto reason = [](const QString& path) {
        EXPECT_EQ(OpenAdapterPort(path), nullptr) << path.toStdString();
        return LastPortOpenError();
    };
    EXPECT_EQ(reason(dir.filePath("ttyUSB9")), "Err_1");
    // A file, a folder and a device that takes no line settings are no serial devices.
    EXPECT_EQ(reason(file), "Dev_1");
    EXPECT_EQ(reason(dir.path()), "Dev_1");
    EXPECT_EQ(reason(QStringLiteral("/dev/null")), "Dev_1");

    // A terminal another program holds is busy, never "no permission".
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    {
        QSerialPort holder(QString::fromLocal8Bit(name));
        ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
        EXPECT_EQ(reason(QString::fromLocal8Bit(name)), "Err_3");
    }
    ::close(slave);
    ::close(master);

    // Facts the tests, run as root, cannot make: a device this user may not use.
    SerialDeviceFacts refused;
    refused.exists = true;
    refused.characterDevice = true;
    refused.permitted = false;
    EXPECT_EQ(SerialOpenFailureKey(refused), "Dev_2");
}

TEST(SerialDeviceTest, PermissionAdviceNeverNamesAGroupThatCannotHelp)
{
    LanguageTexts texts; // English
    SerialDeviceFacts facts;
    facts.exists = true;
    facts.characterDevice = true;
    facts.permitted = false;
    facts.user = QStringLiteral("rider");
    facts.group = QStringLiteral("dialout");
    facts.groupMayUse = true;
    EXPECT_EQ(SerialPermissionAdvice(texts, "/dev/ttyUSB0", facts),
              "The device belongs to the group \"dialout\", which may use it: add your user to "
              "it with \"sudo usermod -aG dialout rider\", then log out and in again.");
    facts.userInGroup = true;
    EXPECT_EQ(SerialPermissionAdvice(texts, "/dev/ttyUSB0", facts),
              "Your user is in the group \"dialout\" of the device, but this login does not have "
              "it yet: log out and in again.");

    // crw------- root root, crw-r----- dialout, or a group this program already has: joining
    // a group would not help.
    const QString noGroup =
        "No group may use /dev/ttyUSB0 (only its owner may): ask whoever looks after this "
        "computer to give the device to your user, e.g. with a udev rule.";
    SerialDeviceFacts owner = facts;
    owner.group = QStringLiteral("root");
    EXPECT_EQ(SerialPermissionAdvice(texts, "/dev/ttyUSB0", owner), noGroup);
    SerialDeviceFacts readOnly = facts;
    readOnly.groupMayUse = false;
    EXPECT_EQ(SerialPermissionAdvice(texts, "/dev/ttyUSB0", readOnly), noGroup);
    SerialDeviceFacts member = facts;
    member.processHasGroup = true;
    EXPECT_EQ(SerialPermissionAdvice(texts, "/dev/ttyUSB0", member), noGroup);

    // The window's and the CLI's sentence: the reason, then the advice on the next line.
    const QString text =
        LinkFailureText(texts, {LinkFailure::PortNotOpened, "/dev/velmoro-gone", "Dev_2"});
    EXPECT_TRUE(text.startsWith("Port /dev/velmoro-gone could not be opened: this user has no "
                                "permission to use the device\n"))
        << text.toStdString();
    EXPECT_EQ(LinkFailureText(texts, {LinkFailure::PortNotOpened, "/dev/ttyS0", "Dev_1"}),
              "Port /dev/ttyS0 could not be opened: it is not a serial device (a file, a folder "
              "or a device without line settings), not the adapter's port");
}

} // namespace
} // namespace velmoro
