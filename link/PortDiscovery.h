// Finds the adapter ports that can be opened right now, plus the built-in simulator.
#pragma once

#include <QString>
#include <QStringList>

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

} // namespace velmoro
