// Port discovery from a filled-in list of ports: adapters first, described, stable names, the
// legacy UART with nothing behind it left out, and a saved port found by its old name.
#include "link/PortDiscovery.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace velmoro {
namespace {

class FakePorts : public PortInfoSource {
public:
    QList<PortInfo> Ports() override { return ports; }
    QList<PortInfo> ports;
};

class PortDiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkpath("by-id"));
        for (const char* name : {"ttyUSB2", "ttyUSB10", "ttyACM0", "ttyS0", "ttyS1", "rfcomm0",
                                 "ttyXR0", "ttyBusy", "pts7"}) {
            QFile device(Dev(name));
            ASSERT_TRUE(device.open(QIODevice::WriteOnly));
        }
        ASSERT_TRUE(QFile::link(Dev("ttyUSB2"), ById()));
        fake.ports = {{Dev("ttyS0"), {}, {}, -1, -1},
                      {Dev("ttyUSB10"), {}, {}, -1, -1},
                      {Dev("ttyS1"), {}, "16550A UART", -1, -1},
                      {Dev("ttyUSB2"), "FTDI", "FT232R USB UART", 0x0403, 0x6001},
                      {Dev("rfcomm0"), {}, {}, -1, -1},
                      {Dev("ttyBusy"), "FTDI", "FT232R USB UART", 0x0403, 0x6001},
                      {Dev("ttyXR0"), "Exar", "Exar Corp. XR21V1410", 0x04e2, 0x1410},
                      {Dev("ttyACM0"), {}, {}, 0x2341, 0x0043},
                      {"Simulator", {}, {}, -1, -1}};
        options.infos = &fake;
        options.byIdDirectory = dir.path() + "/by-id";
        options.extraCandidates = {Dev("pts7"), Dev("ttyUSB2")};
        options.canOpen = [this](const QString& name) {
            asked << name;
            return !name.endsWith("ttyBusy");
        };
    }

    QString Dev(const QString& name) const { return dir.path() + "/" + name; }
    QString ById() const { return dir.path() + "/by-id/usb-FTDI_FT232R_USB_UART_A5-if00-port0"; }

    QTemporaryDir dir;
    FakePorts fake;
    PortDiscoveryOptions options;
    QStringList asked;
};

TEST_F(PortDiscoveryTest, AdaptersFirstDescribedWithStableNamesAndTheSimulatorLast)
{
    const QList<PortEntry> ports = DiscoverPorts(options);
    QStringList names;
    for (const PortEntry& p : ports)
        names << p.name;
    EXPECT_EQ(names, (QStringList{Dev("rfcomm0"), Dev("ttyACM0"), Dev("ttyUSB2"), Dev("ttyUSB10"),
                                  Dev("ttyXR0"), Dev("pts7"), Dev("ttyS1"), "Simulator"}));
    ASSERT_EQ(ports.size(), 8);
    EXPECT_EQ(ports[0].description, "Bluetooth");
    EXPECT_EQ(ports[1].description, "2341:0043");
    EXPECT_EQ(ports[2].description, "FTDI FT232R USB UART (0403:6001)");
    EXPECT_EQ(ports[3].description, "");
    EXPECT_EQ(ports[4].description, "Exar Corp. XR21V1410 (04e2:1410)");
    EXPECT_EQ(ports[4].kind, PortKind::Adapter); // an unknown name with USB ids
    EXPECT_EQ(ports[5].kind, PortKind::Other);
    EXPECT_EQ(ports[6].kind, PortKind::Legacy);
    EXPECT_EQ(ports[7].kind, PortKind::Simulator);
    // The stable name is what gets saved; a port without one is saved as it is called.
    EXPECT_EQ(ports[2].savedName, ById());
    EXPECT_EQ(ports[3].savedName, Dev("ttyUSB10"));
    // A Bluetooth port is not called up to be listed; the UART nobody knows anything about is not
    // even tried.
    EXPECT_FALSE(asked.contains(Dev("rfcomm0")));
    EXPECT_FALSE(asked.contains(Dev("ttyS0")));
    EXPECT_TRUE(asked.contains(Dev("ttyBusy")));
    EXPECT_EQ(asked.count(Dev("ttyUSB2")), 1);

    // Saved under the old device name, it is found; a saved device another program holds is
    // kept first, marked as not openable now; a saved UART discovery left out is kept as it is.
    QList<PortEntry> entries = ports;
    EXPECT_EQ(PlaceSavedPort(entries, Dev("ttyUSB2")), 2);
    ASSERT_EQ(PlaceSavedPort(entries, Dev("ttyBusy"), {}, options.canOpen), 0);
    EXPECT_EQ(entries[0].presence, PortPresence::Unavailable);
    ASSERT_EQ(PlaceSavedPort(entries, Dev("ttyS0"), {}, options.canOpen), 0);
    EXPECT_EQ(entries[0].presence, PortPresence::Listed);
}

} // namespace
} // namespace velmoro
