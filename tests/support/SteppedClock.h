#pragma once
// A frame clock whose time moves only when told to, or by the time slept.
// Each sleep is recorded, and may act (look at the frame just drawn).
#include <cstdint>
#include <functional>
#include <vector>

#include "shell/MainLoop.h"

namespace testsupport {

class CSteppedClock final : public IFrameClock {
public:
    explicit CSteppedClock(uint32_t start = 0) : now(start) {}
    uint32_t Now() override { return now; }
    void Sleep(uint32_t milliseconds) override {
        sleeps.push_back(milliseconds);
        now += milliseconds;
        if (onSleep) {
            onSleep();
        }
    }

    uint32_t now;
    std::vector<uint32_t> sleeps;
    std::function<void()> onSleep;
};

} // namespace testsupport
