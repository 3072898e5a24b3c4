// Port discovery: every port that opens at 9600 8N1 right now, then the simulator.
#include "link/PortDiscovery.h"

#include <QSerialPort>
#include <QSerialPortInfo>
#include <algorithm>

namespace velmoro {

bool TryOpenPort(const QString& name)
{
    QSerialPort port;
    port.setPortName(name);
    if (!port.open(QIODevice::ReadWrite))
        return false;
    // Line settings on a pseudo-terminal may be refused; opening is what counts.
    port.setBaudRate(QSerialPort::Baud9600);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    port.close();
    return true;
}

QStringList DiscoverPorts(const QStringList& extraCandidates)
{
    QStringList found;
#ifdef Q_OS_WIN
    for (int n = 1; n <= 30; ++n) {
        const QString name = QStringLiteral("COM%1").arg(n);
        if (TryOpenPort(name))
            found << name;
    }
    for (const QString& name : extraCandidates)
        if (!found.contains(name) && TryOpenPort(name))
            found << name;
#else
    QStringList candidates = extraCandidates;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        candidates << info.systemLocation();
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    for (const QString& name : candidates)
        if (!name.isEmpty() && name != kSimulatorPortName && TryOpenPort(name))
            found << name;
#endif
    found << kSimulatorPortName;
    return found;
}

} // namespace velmoro
