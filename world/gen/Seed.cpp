#include "world/gen/Seed.h"

#include <ctime>
#include <utility>

namespace gen {

namespace {

TSeedSource& Source() {
    static TSeedSource source;
    return source;
}

} // namespace

uint32_t ClockSeed() { return ClockSeed(static_cast<uint32_t>(std::time(nullptr))); }

uint32_t ClockSeed(uint32_t seconds) {
    // An odd step never brings two runs of one second back to one seed.
    constexpr uint32_t kStep = 0x9E3779B9u;
    static uint32_t runs = 0;
    return seconds + kStep * runs++;
}

uint32_t NextSeed() { return Source() ? Source()() : ClockSeed(); }

void SetSeedSource(TSeedSource source) { Source() = std::move(source); }

} // namespace gen
