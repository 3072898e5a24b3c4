// One command/answer exchange with the adapter.
#include "link/AdapterCommand.h"

#include "link/AdapterPort.h"
#include "link/Clock.h"

#include <algorithm>

namespace velmoro {

namespace {
// Longest single wait on the port; the clock is read again after each, so an injected clock
// that another thread advances is noticed.
constexpr int kMaxWaitSliceMs = 50;
} // namespace

int SendAdapterCommand(AdapterCommand& command, Clock& clock)
{
    command.answer.clear();
    AdapterPort* port = command.port;
    if (port == nullptr) {
        return 0;
    }
    const qint64 startMs = clock.NowMs();
    port->Write(command.command + '\r');

    for (;;) {
        while (port->BytesWaiting() > 0) {
            const QByteArray byte = port->Read(1);
            if (byte.isEmpty()) {
                break;
            }
            if (byte[0] == command.endChar) {
                return static_cast<int>(command.answer.size());
            }
            command.answer.append(byte[0]);
        }
        if (port->Failed()) {
            break;
        }
        const qint64 elapsedMs = clock.NowMs() - startMs;
        if (elapsedMs > command.timeoutMs) {
            break;
        }
        const qint64 waitMs = std::min<qint64>(command.timeoutMs - elapsedMs + 1, kMaxWaitSliceMs);
        port->WaitForReadable(static_cast<int>(waitMs));
    }
    return static_cast<int>(command.answer.size());
}

int SendAdapterCommand(AdapterCommand& command)
{
    return SendAdapterCommand(command, SteadyClockInstance());
}

} // namespace velmoro
