// Flags shared between the main thread, the worker and the callers of Exchange.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace velmoro {

constexpr int kWorkerStarting = -1;
constexpr int kWorkerStopped = 0;
constexpr int kWorkerRunning = 1;

struct LinkFlags {
    std::atomic<int> workerState{kWorkerStopped};
    std::atomic<int> stopFlag{0};
    std::atomic<int> quitFlag{0};
    // WorkerStartTime: the steady clock in ms when the user confirmed the ignition prompt.
    std::atomic<std::int64_t> workerStartTimeMs{0};

    // Stores workerState and wakes the threads waiting in WaitForWorkerState. The worker always
    // uses it; a plain store still works, its waiters then see it only at their time-out.
    void SetWorkerState(int state)
    {
        {
            std::lock_guard<std::mutex> lock(stateMutex_);
            workerState.store(state);
        }
        stateChanged_.notify_all();
    }

    // Waits up to timeoutMs until workerState satisfies done(state); returns whether it does.
    template <typename Predicate> bool WaitForWorkerState(Predicate done, int timeoutMs)
    {
        std::unique_lock<std::mutex> lock(stateMutex_);
        return stateChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [&] { return done(workerState.load()); });
    }

private:
    std::mutex stateMutex_;
    std::condition_variable stateChanged_;
};

} // namespace velmoro
