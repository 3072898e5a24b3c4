// The steady clock behind the link's Clock interface.
#include "link/Clock.h"

#include <chrono>
#include <thread>

namespace velmoro {

qint64 SteadyClock::NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SteadyClock::SleepMs(int ms)
{
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

SteadyClock& SteadyClockInstance()
{
    static SteadyClock clock;
    return clock;
}

} // namespace velmoro
