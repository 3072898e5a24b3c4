// Flags shared between the main thread, the worker and the callers of Exchange.
#pragma once

#include <atomic>
#include <cstdint>

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
};

} // namespace velmoro
