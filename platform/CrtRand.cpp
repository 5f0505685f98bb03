#include "platform/CrtRand.h"

namespace platform {

namespace {
// The original run-time library starts as if seeded with 1.
uint32_t g_state = 1;
} // namespace

void CrtSrand(uint32_t seed) { g_state = seed; }

int32_t CrtRand() {
    g_state = g_state * 214013u + 2531011u;
    return static_cast<int32_t>((g_state >> 16) & 0x7FFF);
}

uint32_t CrtRandState() { return g_state; }

} // namespace platform
