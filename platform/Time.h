#pragma once
// Clocks of the original platform: the high-resolution counter, the
// millisecond tick count and the calendar time.
#include <cstdint>

namespace platform {

// Counts per second of QueryCounter. The counter always exists here, so this
// is always true.
bool QueryCounterFrequency(int64_t& frequency);
// A monotonic counter; only differences between two values mean anything.
int64_t QueryCounter();
// Milliseconds on a monotonic clock, wrapping at 2^32.
uint32_t TickCount();

// Seconds since 1 January 1970 00:00 UTC.
int64_t CurrentTime();
// Replaces the calendar clock (tests); null restores the real one.
using TimeSource = int64_t (*)();
void SetTimeSource(TimeSource source);

} // namespace platform
