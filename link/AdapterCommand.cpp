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

int CollectAnswer(AdapterCommand& command, Clock& clock, qint64 startMs)
{
    AdapterPort* port = command.port;
    command.prompted = false;
    for (;;) {
        while (port->BytesWaiting() > 0) {
            const QByteArray byte = port->Read(1);
            if (byte.isEmpty()) {
                break;
            }
            if (byte[0] == command.endChar) {
                command.prompted = true;
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
} // namespace

int SendAdapterCommand(AdapterCommand& command, Clock& clock)
{
    command.answer.clear();
    if (command.port == nullptr) {
        return 0;
    }
    const qint64 startMs = clock.NowMs();
    command.port->Write(command.command + '\r');
    return CollectAnswer(command, clock, startMs);
}

int ReceiveAdapterAnswer(AdapterCommand& command, Clock& clock)
{
    command.answer.clear();
    if (command.port == nullptr) {
        return 0;
    }
    return CollectAnswer(command, clock, clock.NowMs());
}

} // namespace velmoro
