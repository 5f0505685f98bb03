#include "platform/Time.h"

#include <chrono>
#include <ctime>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

TimeSource g_timeSource = nullptr;

} // namespace

bool QueryCounterFrequency(int64_t& frequency) {
    frequency = static_cast<int64_t>(Clock::period::den / Clock::period::num);
    return true;
}

int64_t QueryCounter() { return static_cast<int64_t>(Clock::now().time_since_epoch().count()); }

uint32_t TickCount() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
    return static_cast<uint32_t>(static_cast<uint64_t>(ms.count()));
}

int64_t CurrentTime() {
    if (g_timeSource) {
        return g_timeSource();
    }
    return static_cast<int64_t>(std::time(nullptr));
}

void SetTimeSource(TimeSource source) { g_timeSource = source; }

} // namespace platform
