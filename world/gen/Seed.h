#pragma once
// Where the generators of random locations get their seeds: the clock's
// seconds, with a count of runs mixed in so that two levels made in one
// second differ. Tests put a source of their own to make a run repeatable.
#include <cstdint>
#include <functional>

namespace gen {

using TSeedSource = std::function<uint32_t()>;

// The seed of the next generation run.
uint32_t NextSeed();
// Null puts the clock back.
void SetSeedSource(TSeedSource source);
// The clock's seconds plus the run count times a large odd number.
uint32_t ClockSeed();
// The same for a second the caller names.
uint32_t ClockSeed(uint32_t seconds);

} // namespace gen
