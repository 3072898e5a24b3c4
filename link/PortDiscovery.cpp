// Port discovery: every port that opens at 9600 8N1 right now, then the simulator.
#include "link/PortDiscovery.h"

#include <QDir>
#include <QFileInfo>
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

QVector<PortCandidate> DescribePorts()
{
    // The by-id links name a device by its make and serial number, so they survive replugging.
    const QFileInfoList links = QDir(QStringLiteral("/dev/serial/by-id"))
                                    .entryInfoList(QDir::Files | QDir::System, QDir::Name);
    QVector<PortCandidate> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortCandidate port;
        port.name = info.systemLocation();
        port.description = info.description();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
            port.usbVendor = info.vendorIdentifier();
            port.usbProduct = info.productIdentifier();
        }
        const QString device = QFileInfo(port.name).canonicalFilePath();
        for (const QFileInfo& link : links)
            if (!device.isEmpty() && link.canonicalFilePath() == device)
                port.stableName = link.absoluteFilePath();
        port.opensNow = TryOpenPort(port.name);
        ports.append(port);
    }
    std::sort(ports.begin(), ports.end(),
              [](const PortCandidate& a, const PortCandidate& b) { return a.name < b.name; });
    PortCandidate simulator;
    simulator.name = kSimulatorPortName;
    simulator.opensNow = true;
    ports.append(simulator);
    return ports;
}

} // namespace velmoro
