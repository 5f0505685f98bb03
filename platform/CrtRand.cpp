#include "platform/CrtRand.h"

namespace platform {

namespace {
// The original run-time library starts as if seeded with 1.
uint32_t g_state = 1;
} // namespace

void CrtSrand(uint32_t seed) { g_state = seed; }

int32_t CrtRand() { return CrtRandStep(g_state); }

uint32_t CrtRandState() { return g_state; }

} // namespace platform
