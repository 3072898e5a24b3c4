// The link's millisecond clock: the steady clock in the program, a hand-driven clock in tests.
#pragma once

#include <QtGlobal>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>

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
    // Calls onAdvance on the advancing thread each time this clock's time is moved on by hand, so
    // that a thread waiting for a moment of this clock can look again. A clock that runs on its
    // own never calls it. Returns the handle that Unwatch takes.
    virtual int Watch(std::function<void()> onAdvance)
    {
        (void)onAdvance;
        return 0;
    }
    // Ends a watch; onAdvance is not running and is not called again once this returns.
    virtual void Unwatch(int handle) { (void)handle; }
};

// The process's steady clock (std::chrono::steady_clock), shared and thread-safe.
class SteadyClock : public Clock {
public:
    qint64 NowMs() override;
    void SleepMs(int ms) override;
};
SteadyClock& SteadyClockInstance();

// A clock that only moves when told: AdvanceMs from a test, or SleepMs, which advances the time
// at once instead of blocking. Only AdvanceMs calls the watchers: a sleeper may hold the lock a
// watcher takes. Thread-safe.
class ManualClock : public Clock {
public:
    explicit ManualClock(qint64 startMs = 0) : nowMs_(startMs) {}
    qint64 NowMs() override { return nowMs_.load(); }
    void SleepMs(int ms) override { nowMs_ += ms; }
    void AdvanceMs(qint64 ms)
    {
        // The time moves before the watchers run: a watcher's thread sees the new time.
        nowMs_ += ms;
        std::lock_guard<std::mutex> lock(watchersMutex_);
        for (const auto& entry : watchers_)
            entry.second();
    }
    int Watch(std::function<void()> onAdvance) override
    {
        std::lock_guard<std::mutex> lock(watchersMutex_);
        watchers_.emplace(++lastHandle_, std::move(onAdvance));
        return lastHandle_;
    }
    void Unwatch(int handle) override
    {
        std::lock_guard<std::mutex> lock(watchersMutex_);
        watchers_.erase(handle);
    }

private:
    std::atomic<qint64> nowMs_;
    std::mutex watchersMutex_;
    std::map<int, std::function<void()>> watchers_;
    int lastHandle_ = 0;
};

} // namespace velmoro
