// The link's millisecond clock: the steady clock in the program, a hand-driven clock in tests.
#pragma once

#include <QtGlobal>
#include <atomic>

namespace velmoro {

// Time as the link sees it: time-outs, the pause after a request and the keep-alive all read
// this clock, so tests can advance simulated milliseconds instead of sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic milliseconds; only differences mean something.
    virtual qint64 NowMs() = 0;
    // Blocks the calling thread for ms milliseconds of this clock's time.
    virtual void SleepMs(int ms) = 0;
};

// The process's steady clock (std::chrono::steady_clock), shared and thread-safe.
class SteadyClock : public Clock {
public:
    qint64 NowMs() override;
    void SleepMs(int ms) override;
};
SteadyClock& SteadyClockInstance();

// A clock that only moves when told: AdvanceMs from a test, or SleepMs, which advances the time
// at once instead of blocking. Thread-safe.
class ManualClock : public Clock {
public:
    explicit ManualClock(qint64 startMs = 0) : nowMs_(startMs) {}
    qint64 NowMs() override { return nowMs_.load(); }
    void SleepMs(int ms) override { nowMs_ += ms; }
    void AdvanceMs(qint64 ms) { nowMs_ += ms; }

private:
    std::atomic<qint64> nowMs_;
};

} // namespace velmoro
