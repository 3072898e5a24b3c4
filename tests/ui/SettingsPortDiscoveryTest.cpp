// Port discovery: a free pseudo-terminal is offered, one held open elsewhere is not.
#include "link/PortDiscovery.h"

#include <QSerialPort>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

using namespace velmoro;

namespace {

// The master side of a pseudo-terminal; its slave is an openable serial device.
struct Pty {
    int master = -1;
    QString slave;
    Pty()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0)
            slave = QString::fromLocal8Bit(ptsname(master));
    }
    ~Pty()
    {
        if (master >= 0)
            close(master);
    }
};

// The host's own ports are left aside: only the pseudo-terminals of the test are offered.
class NoSystemPorts : public PortInfoSource {
public:
    QList<PortInfo> Ports() override { return {}; }
};

QStringList DiscoverPorts(const QStringList& candidates)
{
    NoSystemPorts none;
    PortDiscoveryOptions options;
    options.infos = &none;
    options.extraCandidates = candidates;
    QStringList names;
    for (const PortEntry& entry : velmoro::DiscoverPorts(options))
        names << entry.name;
    return names;
}

} // namespace

TEST(SettingsPortDiscoveryTest, ListsOpenablePortsInNameOrderAndSimulatorLast)
{
    Pty a, b;
    ASSERT_FALSE(a.slave.isEmpty());
    ASSERT_FALSE(b.slave.isEmpty());
    const QStringList ports = DiscoverPorts({b.slave, "/dev/velmoro-no-such-port", a.slave});
    const QStringList inOrder = a.slave.mid(9).toInt() < b.slave.mid(9).toInt()
                                    ? QStringList{a.slave, b.slave, "Simulator"}
                                    : QStringList{b.slave, a.slave, "Simulator"};
    EXPECT_EQ(ports, inOrder);
    // Discovery closes what it opened: the port can be taken right after.
    QSerialPort again(a.slave);
    EXPECT_TRUE(again.open(QIODevice::ReadWrite));
}

TEST(SettingsPortDiscoveryTest, PortHeldOpenByAnotherUserIsLeftOut)
{
    Pty held, free;
    ASSERT_FALSE(held.slave.isEmpty());
    QSerialPort other(held.slave);
    ASSERT_TRUE(other.open(QIODevice::ReadWrite));
    const QStringList ports = DiscoverPorts({held.slave, free.slave});
    EXPECT_FALSE(ports.contains(held.slave));
    EXPECT_TRUE(ports.contains(free.slave));
    other.close();
    EXPECT_TRUE(DiscoverPorts({held.slave}).contains(held.slave));
}
