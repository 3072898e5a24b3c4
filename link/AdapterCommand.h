// One exchange with the adapter: a command line out, everything up to the '>' prompt back.
#pragma once

#include "link/LinkTimings.h"

#include <QByteArray>

namespace velmoro {

class AdapterPort;
class Clock;

struct AdapterCommand {
    AdapterPort* port = nullptr;
    int timeoutMs = kAdapterTimeoutMs;
    QByteArray command; // without its carriage return
    char endChar = '>';
    QByteArray answer;     // filled by SendAdapterCommand
    bool prompted = false; // the answer ended with endChar, not with the time-out
};

// Writes command + one CR (8-bit ASCII, nothing flushed before), then collects every byte up to
// endChar (not included) or until strictly more than timeoutMs passed since the call began.
// CR, LF and spaces stay in the answer. A short answer means a time-out; bytes that arrive after
// it are the start of the next exchange's answer. Waits for readable bytes instead of polling,
// so the CPU idles while the adapter thinks. Returns the answer's length.
int SendAdapterCommand(AdapterCommand& command, Clock& clock);

// Collects the next answer up to endChar or the time-out without writing anything: used to read
// past an answer that belongs to an earlier, timed-out request.
int ReceiveAdapterAnswer(AdapterCommand& command, Clock& clock);

} // namespace velmoro
