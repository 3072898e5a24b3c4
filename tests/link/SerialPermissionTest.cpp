// Advice for a serial device the user may not open: which group to join, and silence otherwise.
#include "link/AdapterPort.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace velmoro {
namespace {

TEST(SerialPermissionTest, AdviceNamesTheDevicesGroupOnlyWhenAccessIsRefused)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString device = dir.filePath("ttyUSB0");
    QFile file(device);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const auto refused = [](const QString&) { return true; };

    // Root may hand the stand-in device to the usual group; others see their own group.
    QString group = QFileInfo(device).group();
    if (geteuid() == 0 && ::chown(QFile::encodeName(device).constData(), 0, 20) == 0)
        group = QFileInfo(device).group();
    ASSERT_FALSE(group.isEmpty());

    const QString advice = SerialPermissionAdvice(device, refused);
    EXPECT_TRUE(advice.contains(device)) << advice.toStdString();
    EXPECT_TRUE(advice.contains(QStringLiteral("\"") + group + QStringLiteral("\"")))
        << advice.toStdString();
    EXPECT_TRUE(advice.contains(QStringLiteral("usermod -aG ") + group + QLatin1Char(' ')))
        << advice.toStdString();

    // The real check: a device this user may open, and names that are no device at all.
    EXPECT_TRUE(SerialPermissionAdvice(device).isEmpty());
    EXPECT_TRUE(SerialPermissionAdvice(dir.filePath("ttyUSB9"), refused).isEmpty());
    EXPECT_TRUE(SerialPermissionAdvice(QStringLiteral("Simulator"), refused).isEmpty());
    EXPECT_TRUE(SerialPermissionAdvice(QStringLiteral("127.0.0.1:35000"), refused).isEmpty());
}

TEST(SerialPermissionTest, RealCheckSeesAnUnreadableDevice)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root opens every device";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString device = dir.filePath("ttyUSB0");
    QFile file(device);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(QFile::setPermissions(device, QFileDevice::Permissions()));
    EXPECT_FALSE(SerialPermissionAdvice(device).isEmpty());
}

} // namespace
} // namespace velmoro
