// The byte port to the OBD adapter (serial, TCP or the in-process simulator) and its factory.
//
// Contracts that may surprise:
// - A port is used by one thread only, the one that opened it (Qt ports live on their thread).
// - Read never blocks; WaitForReadable is the only blocking call and returns false on time-out.
// - Failed() becomes true when the device vanished (unplugged, TCP closed, pty gone, simulator
//   told to vanish); every later call is harmless and returns nothing.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace velmoro {

class Simulator;

class AdapterPort {
public:
    virtual ~AdapterPort() = default;

    // Number of bytes that can be read at once without waiting.
    virtual qint64 BytesWaiting() = 0;
    // Up to maxBytes of the waiting bytes (possibly none).
    virtual QByteArray Read(qint64 maxBytes) = 0;
    // Writes all bytes; false when the port failed.
    virtual bool Write(const QByteArray& bytes) = 0;
    // Waits up to timeoutMs for at least one readable byte; true when one is waiting.
    virtual bool WaitForReadable(int timeoutMs) = 0;
    virtual void Close() = 0;
    // The device is gone; see the header's contracts.
    virtual bool Failed() const = 0;
};

// Opens the port named `name`; nullptr when it cannot be opened. The simulated adapter is not
// among them: it is handed in through an AdapterPortFactory (sim/SimulatorPort.h).
//   "host:port"      TCP (WiFi adapters), e.g. "127.0.0.1:35000".
//   anything else    a serial device: 115200 8N1, no flow control, RTS off where the device
//                    allows it (pseudo-terminals refuse modem-line calls). On Windows a COM
//                    name gets the "\\.\" prefix.
std::unique_ptr<AdapterPort> OpenAdapterPort(const QString& name);

// Why the last port opener on this thread returned nullptr, as the language key of the reason in
// our own words ("Err_2": this user may not use the device); never the system's own text. Read
// like errno: on the same thread, right after the failed call. OpenAdapterPort sets it on
// failure; other openers (the simulator's) set it themselves.
QString LastPortOpenError();
void SetLastPortOpenError(const QString& reasonKey);

using AdapterPortFactory = std::function<std::unique_ptr<AdapterPort>(const QString& name)>;

} // namespace velmoro
