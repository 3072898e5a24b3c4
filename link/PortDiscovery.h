// Finds the adapter ports that can be opened right now, plus the built-in simulator.
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace velmoro {

inline const QString kSimulatorPortName = QStringLiteral("Simulator");

// Opens the port at 9600 8N1 without flow control and closes it again. A port another program
// holds open fails (QSerialPort opens exclusively: lock file and TIOCEXCL).
bool TryOpenPort(const QString& name);

// On Windows COM1..COM30 in number order; elsewhere the ports the system reports (device paths
// such as /dev/ttyUSB0) plus extraCandidates (for example pseudo-terminals, which are not
// reported), each confirmed by TryOpenPort, duplicates dropped, in name order. "Simulator" is
// always the last entry.
QStringList DiscoverPorts(const QStringList& extraCandidates = {});

// One port the system reports, described for a person choosing among them.
struct PortCandidate {
    QString name;        // what to open: /dev/ttyUSB0, COM3, Simulator
    QString stableName;  // /dev/serial/by-id/... pointing at it; empty when there is none
    QString description; // as the system describes the device, e.g. "FT232R USB UART"
    int usbVendor = -1;  // -1 when the device is not on USB
    int usbProduct = -1;
    bool opensNow = false; // TryOpenPort succeeded
};

// Every port the system reports, in name order, each tried with TryOpenPort, then "Simulator".
QVector<PortCandidate> DescribePorts();

} // namespace velmoro
