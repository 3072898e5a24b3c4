// Port discovery: the adapter ports there are right now, likely adapters first, each described,
// and the simulator last, offered but never chosen for the user.
//
// Order: USB serial and Bluetooth ports (ttyUSB*, ttyACM*, rfcomm*, or any port with USB ids),
// then the other ports, then the built-in legacy UARTs (ttyS*); within a group in natural name
// order (ttyUSB2 before ttyUSB10). A legacy UART the system reports nothing about (no maker, no
// product, no USB ids) is left out: that is the on-board port with nothing behind it. A port
// another program holds open is left out too (it cannot be opened). Bluetooth ports are listed
// without being opened, because opening one calls the adapter over the air.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

namespace velmoro {

inline const QString kSimulatorPortName = QStringLiteral("Simulator");

// The port that selects the in-process simulated motorcycle.
inline bool IsSimulatorPort(const QString& name)
{
    return name == kSimulatorPortName;
}

// What the system reports about one serial port.
struct PortInfo {
    QString name; // the device: "/dev/ttyUSB0", "COM3"
    QString manufacturer;
    QString product;
    int vendorId = -1; // USB ids; -1 when the port has none
    int productId = -1;
};

// Where discovery reads the ports from; tests fill their own list.
class PortInfoSource {
public:
    virtual ~PortInfoSource() = default;
    virtual QList<PortInfo> Ports() = 0;
};

// The ports QSerialPortInfo reports.
class SystemPortInfoSource : public PortInfoSource {
public:
    QList<PortInfo> Ports() override;
};

enum class PortKind { Adapter, Other, Legacy, Network, Simulator };

enum class PortPresence {
    Listed,     // found by discovery
    Absent,     // a saved port that is not there now
    Unavailable // a saved port whose device exists but cannot be opened now (in use, refused)
};

struct PortEntry {
    QString name;        // what the list shows: the device path, "host:port", "Simulator"
    QString savedName;   // what the settings keep: the stable /dev/serial/by-id name if any
    QString description; // maker, product and USB ids: "FTDI FT232R USB UART (0403:6001)"
    PortKind kind = PortKind::Other;
    PortPresence presence = PortPresence::Listed;
};

struct PortDiscoveryOptions {
    // nullptr: the system's ports.
    PortInfoSource* infos = nullptr;
    // Links named after the device's maker, product and serial number, which stay the same from
    // one plug-in to the next while /dev/ttyUSB0 may become /dev/ttyUSB1.
    QString byIdDirectory = QStringLiteral("/dev/serial/by-id");
    // empty: TryOpenPort.
    std::function<bool(const QString& name)> canOpen;
    // Ports the system does not report (pseudo-terminals), checked like the others.
    QStringList extraCandidates;
};

// Opens the port at 9600 8N1 without flow control and closes it again. A port another program
// holds open fails (QSerialPort opens exclusively: lock file and TIOCEXCL).
bool TryOpenPort(const QString& name);

// The group of a port name: ttyUSB*/ttyACM*/rfcomm* Adapter, ttyS* Legacy, "host:port" Network,
// "Simulator" Simulator, everything else Other.
PortKind KindOfPort(const QString& name);
bool IsBluetoothPort(const QString& name);

// "FTDI FT232R USB UART (0403:6001)"; "Bluetooth" for an rfcomm port the system knows nothing
// about; empty when nothing is known.
QString DescribePort(const PortInfo& info);

// The ports in the order of the header, "Simulator" always the last entry (with no description:
// the view names it in the user's language).
QList<PortEntry> DiscoverPorts(const PortDiscoveryOptions& options = {});

// Finds the saved port among the entries: by its saved or shown name, or by the device a saved
// link points to. A saved port that is not among them is put first and kept: a network address
// as such; a device that is not there as Absent; one that is there as Listed when it opens (a
// legacy UART discovery left out) and as Unavailable when it does not (held by another program).
// exists and canOpen replace the file system and TryOpenPort. Returns the index to select: -1
// when nothing is saved and no entry other than the simulator exists, otherwise the first entry
// for an empty saved port. The simulator is only ever selected when it was saved.
int PlaceSavedPort(QList<PortEntry>& entries, const QString& saved,
                   const std::function<bool(const QString& path)>& exists = {},
                   const std::function<bool(const QString& name)>& canOpen = {});

} // namespace velmoro
