// The adapter port implementations: serial device, TCP socket, in-process simulator.
#include "link/AdapterPort.h"

#include "link/SerialDevice.h"

#include <QSerialPort>
#include <QTcpSocket>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace velmoro {

namespace {

// Qt's reasons are English and worded for programmers; the user reads our own words for them,
// in the user's language, looked up by these keys.
QString SerialOpenErrorKey(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::ResourceError:
        return QStringLiteral("Err_1");
    case QSerialPort::PermissionError:
        return QStringLiteral("Err_2");
    case QSerialPort::OpenError:
        return QStringLiteral("Err_3");
    case QSerialPort::UnsupportedOperationError:
        return QStringLiteral("Err_4");
    default:
        return QStringLiteral("Err_10");
    }
}

QString TcpOpenErrorKey(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("Err_5");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("Err_6");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("Err_7");
    default:
        return QStringLiteral("Err_10");
    }
}

constexpr int kTcpConnectTimeoutMs = 3000;
// Write time-out: a constant plus a share per byte, as the serial driver's write time-out.
constexpr int kWriteTimeoutBaseMs = 10;
constexpr int kWriteTimeoutPerByteMs = 100;
constexpr int kWriteTimeoutMaxMs = 2000;

int WriteTimeoutMs(qsizetype bytes)
{
    return static_cast<int>(std::min<qsizetype>(
        kWriteTimeoutBaseMs + kWriteTimeoutPerByteMs * bytes, kWriteTimeoutMaxMs));
}

class SerialAdapterPort : public AdapterPort {
public:
    bool Open(const QString& name)
    {
        QString system = name;
#ifdef Q_OS_WIN
        if (name.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive)) {
            system = QStringLiteral("\\\\.\\") + name;
        }
#endif
        port_.setPortName(system);
        if (!port_.open(QIODevice::ReadWrite)) {
            // Qt says little of why (a busy port and a refused permission look alike): the
            // device itself is looked at to name it.
            const QString key = SerialOpenFailureKey(ProbeSerialDevice(system, true));
            SetLastPortOpenError(key.isEmpty() ? SerialOpenErrorKey(port_.error()) : key);
            return false;
        }
        const bool configured =
            port_.setBaudRate(115200) && port_.setDataBits(QSerialPort::Data8) &&
            port_.setParity(QSerialPort::NoParity) && port_.setStopBits(QSerialPort::OneStop) &&
            port_.setFlowControl(QSerialPort::NoFlowControl);
        if (!configured) {
            SetLastPortOpenError(QStringLiteral("Err_4"));
            port_.close();
            return false;
        }
        // Pseudo-terminals and some USB bridges refuse modem-line calls: best effort only.
        port_.setRequestToSend(false);
        port_.clearError();
        return true;
    }

    qint64 BytesWaiting() override
    {
        return failed_ ? 0 : port_.bytesAvailable();
    }

    QByteArray Read(qint64 maxBytes) override
    {
        if (failed_) {
            return {};
        }
        QByteArray bytes = port_.read(maxBytes);
        Check();
        return bytes;
    }

    bool Write(const QByteArray& bytes) override
    {
        if (failed_) {
            return false;
        }
        const bool ok =
            port_.write(bytes) == bytes.size() &&
            (port_.bytesToWrite() == 0 || port_.waitForBytesWritten(WriteTimeoutMs(bytes.size())));
        Check();
        return ok && !failed_;
    }

    bool WaitForReadable(int timeoutMs) override
    {
        if (failed_) {
            return false;
        }
        if (port_.bytesAvailable() > 0) {
            return true;
        }
        port_.waitForReadyRead(timeoutMs);
        Check();
        if (port_.bytesAvailable() > 0) {
            return !failed_;
        }
        CheckHangUp();
        return false;
    }

    void Close() override
    {
        port_.close();
    }
    bool Failed() const override
    {
        return failed_;
    }

private:
    void Check()
    {
        switch (port_.error()) {
        case QSerialPort::ResourceError:
        case QSerialPort::DeviceNotFoundError:
        case QSerialPort::PermissionError:
        case QSerialPort::NotOpenError:
            failed_ = true;
            break;
        default:
            break;
        }
        if (!port_.isOpen()) {
            failed_ = true;
        }
    }

    // A device that went away (USB adapter unplugged, pty master closed) reports a hang-up that
    // the port's own wait does not turn into an error.
    void CheckHangUp()
    {
#ifdef Q_OS_UNIX
        pollfd p{static_cast<int>(port_.handle()), POLLIN, 0};
        if (p.fd >= 0 && ::poll(&p, 1, 0) > 0 &&
            (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            failed_ = true;
        }
#endif
    }

    QSerialPort port_;
    bool failed_ = false;
};

class TcpAdapterPort : public AdapterPort {
public:
    bool Open(const QString& host, quint16 port)
    {
        socket_.connectToHost(host, port);
        if (!socket_.waitForConnected(kTcpConnectTimeoutMs)) {
            SetLastPortOpenError(TcpOpenErrorKey(socket_.error()));
            return false;
        }
        socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return true;
    }

    qint64 BytesWaiting() override { return socket_.bytesAvailable(); }
    QByteArray Read(qint64 maxBytes) override { return socket_.read(maxBytes); }

    bool Write(const QByteArray& bytes) override
    {
        if (Failed()) {
            return false;
        }
        const bool ok = socket_.write(bytes) == bytes.size() &&
                        (socket_.bytesToWrite() == 0 ||
                         socket_.waitForBytesWritten(WriteTimeoutMs(bytes.size())));
        return ok && !Failed();
    }

    bool WaitForReadable(int timeoutMs) override
    {
        if (socket_.bytesAvailable() > 0) {
            return true;
        }
        if (Failed()) {
            return false;
        }
        socket_.waitForReadyRead(timeoutMs);
        return socket_.bytesAvailable() > 0;
    }

    void Close() override { socket_.abort(); }
    bool Failed() const override { return socket_.state() != QAbstractSocket::ConnectedState; }

private:
    QTcpSocket socket_;
};

bool SplitHostPort(const QString& name, QString& host, quint16& port)
{
    const qsizetype colon = name.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0 || colon == name.size() - 1) {
        return false;
    }
    bool ok = false;
    const uint value = name.mid(colon + 1).toUInt(&ok);
    if (!ok || value == 0 || value > 65535) {
        return false;
    }
    host = name.left(colon);
    port = static_cast<quint16>(value);
    return true;
}

thread_local QString lastOpenError;

} // namespace

QString LastPortOpenError()
{
    return lastOpenError;
}

void SetLastPortOpenError(const QString& reasonKey)
{
    lastOpenError = reasonKey;
}

std::unique_ptr<AdapterPort> OpenAdapterPort(const QString& name)
{
    QString host;
    quint16 tcpPort = 0;
    if (SplitHostPort(name, host, tcpPort)) {
        auto port = std::make_unique<TcpAdapterPort>();
        if (!port->Open(host, tcpPort)) {
            return nullptr;
        }
        return port;
    }
    if (name.isEmpty()) {
        SetLastPortOpenError(QStringLiteral("Err_8"));
        return nullptr;
    }
    auto port = std::make_unique<SerialAdapterPort>();
    if (!port->Open(name)) {
        return nullptr;
    }
    return port;
}

} // namespace velmoro
