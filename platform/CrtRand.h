#pragma once
// The run-time library's one random state of the game's original platform:
// every vek::CStdRand shares it, so sequences match for equal seeds.
#include <cstdint>

namespace platform {

void CrtSrand(uint32_t seed);
// state = state * 214013 + 2531011; result (state >> 16) & 0x7FFF.
int32_t CrtRand();
uint32_t CrtRandState();

} // namespace platform
