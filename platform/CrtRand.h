#pragma once
// The run-time library's one random state of the game's original platform:
// every vek::CStdRand shares it, so sequences match for equal seeds.
#include <cstdint>

namespace platform {

// One step of the generator on a state: state = state * 214013 + 2531011;
// result (state >> 16) & 0x7FFF. For loops that draw many numbers from a copy
// of the state (CrtRandState) and put it back (CrtSrand) afterwards.
inline int32_t CrtRandStep(uint32_t& state) {
    state = state * 214013u + 2531011u;
    return static_cast<int32_t>((state >> 16) & 0x7FFF);
}

void CrtSrand(uint32_t seed);
int32_t CrtRand();
uint32_t CrtRandState();

} // namespace platform
