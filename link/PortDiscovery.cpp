// Port discovery: the ports that can be opened now, grouped, described, the simulator last.
#include "link/PortDiscovery.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QSet>
#include <algorithm>

namespace velmoro {

namespace {

QString BaseName(const QString& name)
{
    return name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
}

// "host:port" with a numeric port; a Windows drive or a device path never matches.
bool IsNetworkAddress(const QString& name)
{
    static const QRegularExpression address(QStringLiteral("^[^:/\\\\]+:\\d{1,5}$"));
    return address.match(name).hasMatch();
}

int Rank(PortKind kind)
{
    switch (kind) {
    case PortKind::Network:
        return 0;
    case PortKind::Adapter:
        return 1;
    case PortKind::Other:
        return 2;
    case PortKind::Legacy:
        return 3;
    case PortKind::Simulator:
        break;
    }
    return 4;
}

// Natural order: the text before the trailing number, then the number ("ttyUSB2" < "ttyUSB10").
bool NaturalLess(const QString& a, const QString& b)
{
    static const QRegularExpression trailing(QStringLiteral("^(.*?)(\\d*)$"));
    const QRegularExpressionMatch ma = trailing.match(a);
    const QRegularExpressionMatch mb = trailing.match(b);
    if (ma.captured(1) != mb.captured(1))
        return ma.captured(1) < mb.captured(1);
    const QString na = ma.captured(2);
    const QString nb = mb.captured(2);
    if (na.size() != nb.size())
        return na.size() < nb.size();
    return na < nb;
}

// The device each link of directory points to -> that link's path, the first link by name when
// several point to one device.
QHash<QString, QString> StableNames(const QString& directory)
{
    QHash<QString, QString> names;
    if (directory.isEmpty())
        return names;
    const QFileInfoList links = QDir(directory).entryInfoList(
        QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& link : links) {
        const QString device = link.canonicalFilePath();
        if (!device.isEmpty() && !names.contains(device))
            names.insert(device, link.absoluteFilePath());
    }
    return names;
}

QString Canonical(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

bool NothingKnown(const PortInfo& info)
{
    return info.manufacturer.trimmed().isEmpty() && info.product.trimmed().isEmpty() &&
           info.vendorId < 0;
}

} // namespace

QList<PortInfo> SystemPortInfoSource::Ports()
{
    QList<PortInfo> ports;
    for (const QSerialPortInfo& system : QSerialPortInfo::availablePorts()) {
        PortInfo info;
#ifdef Q_OS_WIN
        info.name = system.portName();
#else
        info.name = system.systemLocation();
#endif
        info.manufacturer = system.manufacturer();
        info.product = system.description();
        if (system.hasVendorIdentifier())
            info.vendorId = system.vendorIdentifier();
        if (system.hasProductIdentifier())
            info.productId = system.productIdentifier();
        ports << info;
    }
    return ports;
}

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

bool IsBluetoothPort(const QString& name)
{
    return BaseName(name).startsWith(QLatin1String("rfcomm"));
}

PortKind KindOfPort(const QString& name)
{
    if (IsSimulatorPort(name))
        return PortKind::Simulator;
    if (IsNetworkAddress(name))
        return PortKind::Network;
    const QString base = BaseName(name);
    if (base.startsWith(QLatin1String("ttyUSB")) || base.startsWith(QLatin1String("ttyACM")) ||
        IsBluetoothPort(name))
        return PortKind::Adapter;
    if (base.startsWith(QLatin1String("ttyS")))
        return PortKind::Legacy;
    return PortKind::Other;
}

QString DescribePort(const PortInfo& info)
{
    const QString maker = info.manufacturer.trimmed();
    const QString product = info.product.trimmed();
    QString text = maker;
    if (!product.isEmpty() && !product.startsWith(maker, Qt::CaseInsensitive))
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + product;
    else if (!product.isEmpty())
        text = product;
    if (info.vendorId >= 0 && info.productId >= 0) {
        const QString ids = QStringLiteral("%1:%2")
                                .arg(info.vendorId, 4, 16, QLatin1Char('0'))
                                .arg(info.productId, 4, 16, QLatin1Char('0'));
        text += text.isEmpty() ? ids : QStringLiteral(" (") + ids + QLatin1Char(')');
    }
    if (text.isEmpty() && IsBluetoothPort(info.name))
        text = QStringLiteral("Bluetooth");
    return text;
}

QList<PortEntry> DiscoverPorts(const PortDiscoveryOptions& options)
{
    SystemPortInfoSource system;
    QList<PortInfo> infos = (options.infos != nullptr ? options.infos : &system)->Ports();
    QStringList candidates = options.extraCandidates;
#ifdef Q_OS_WIN
    for (int n = 1; n <= 30; ++n)
        candidates << QStringLiteral("COM%1").arg(n);
#endif
    for (const QString& name : candidates)
        infos << PortInfo{name, {}, {}, -1, -1};

    const QHash<QString, QString> stable = StableNames(options.byIdDirectory);
    const auto canOpen = options.canOpen ? options.canOpen : TryOpenPort;
    QList<PortEntry> entries;
    QSet<QString> seen;
    for (const PortInfo& info : infos) {
        if (info.name.isEmpty() || IsSimulatorPort(info.name) || seen.contains(info.name))
            continue;
        seen.insert(info.name);
        PortKind kind = KindOfPort(info.name);
        if (kind == PortKind::Other && info.vendorId >= 0)
            kind = PortKind::Adapter;
        if (kind == PortKind::Legacy && NothingKnown(info))
            continue;
        if (!IsBluetoothPort(info.name) && !canOpen(info.name))
            continue;
        entries << PortEntry{info.name, stable.value(Canonical(info.name), info.name),
                             DescribePort(info), kind, PortPresence::Listed};
    }
    std::stable_sort(entries.begin(), entries.end(), [](const PortEntry& a, const PortEntry& b) {
        if (Rank(a.kind) != Rank(b.kind))
            return Rank(a.kind) < Rank(b.kind);
        return NaturalLess(a.name, b.name);
    });
    entries << PortEntry{
        kSimulatorPortName, kSimulatorPortName, {}, PortKind::Simulator, PortPresence::Listed};
    return entries;
}

int PlaceSavedPort(QList<PortEntry>& entries, const QString& saved,
                   const std::function<bool(const QString& path)>& exists,
                   const std::function<bool(const QString& name)>& canOpen)
{
    if (saved.isEmpty()) {
        for (int i = 0; i < entries.size(); ++i)
            if (entries[i].kind != PortKind::Simulator)
                return i;
        return -1;
    }
    const QString device = Canonical(saved);
    for (int i = 0; i < entries.size(); ++i) {
        const PortEntry& e = entries[i];
        if (e.savedName == saved || e.name == saved || e.name == device)
            return i;
    }
    PortEntry kept{saved, saved, {}, KindOfPort(saved), PortPresence::Listed};
    if (kept.kind != PortKind::Network) {
        const bool there = exists ? exists(saved) : QFileInfo::exists(saved);
        const bool opens =
            there && (IsBluetoothPort(saved) || (canOpen ? canOpen(saved) : TryOpenPort(saved)));
        kept.presence = !there  ? PortPresence::Absent
                        : opens ? PortPresence::Listed
                                : PortPresence::Unavailable;
    }
    entries.prepend(kept);
    return 0;
}

} // namespace velmoro
