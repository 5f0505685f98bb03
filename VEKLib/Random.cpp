#include "VEKLib/Random.h"

#include "platform/CrtRand.h"

namespace vek {

namespace {
CRandomGeneratorBase* g_generator = nullptr;
}

int32_t CStdRand::Next() { return platform::CrtRand(); }

void CStdRand::Seed(uint32_t seed) {
    m_seed = seed;
    platform::CrtSrand(seed);
}

void CMersenneTwister::Seed(uint32_t seed) {
    m_state[0] = seed;
    for (int i = 1; i < kStateSize; ++i) {
        const uint32_t prev = m_state[i - 1];
        m_state[i] = 1812433253u * (prev ^ (prev << 30)) + static_cast<uint32_t>(i);
    }
    m_seed = seed;
}

void CMersenneTwister::Regenerate() {
    for (int i = 0; i < kStateSize; ++i) {
        const uint32_t y = (m_state[(i + 1) % kStateSize] & ~1u) | (m_state[i] & 1u);
        m_state[i] = m_state[(i + 397) % kStateSize] ^ (y << 1);
        if (y & 1u) {
            m_state[i] ^= 0x9908B0DFu;
        }
    }
}

int32_t CMersenneTwister::Next() {
    if (m_index == 0) {
        Regenerate();
    }
    // Right shifts copy the sign bit: the state word is taken as signed.
    int32_t y = static_cast<int32_t>(m_state[m_index]);
    y = static_cast<int32_t>(static_cast<uint32_t>(y) ^ (static_cast<uint32_t>(y) << 1));
    y ^= (y >> 7) & static_cast<int32_t>(0x9D2C5680u);
    y ^= (y >> 15) & static_cast<int32_t>(0xEFC60000u);
    m_index = (m_index + 1) % kStateSize;
    return y ^ (y >> 18);
}

CRandomGeneratorBase* GetRandomGenerator() { return g_generator; }

void SetRandomGenerator(CRandomGeneratorBase* generator) { g_generator = generator; }

int32_t RandomRange(int32_t lo, int32_t hi) {
    if (!g_generator) {
        return 0;
    }
    const int64_t draw = g_generator->Next();
    // Reversed bounds are taken as the same range the right way round, so
    // the result stays within both; the draw happens either way so that
    // sequences do not shift.
    const int64_t low = lo <= hi ? lo : hi;
    const int64_t span = (lo <= hi ? static_cast<int64_t>(hi) - lo : static_cast<int64_t>(lo) - hi) + 1;
    int64_t offset = draw % span;
    if (offset < 0) {
        offset += span; // a negative draw must not land below the range
    }
    return static_cast<int32_t>(low + offset);
}

bool Chance(int32_t p, int32_t n) {
    if (!g_generator) {
        return false;
    }
    const int64_t draw = g_generator->Next();
    const int64_t modulus = static_cast<int64_t>(n) + 1;
    if (modulus == 0) {
        return 0 <= p; // an empty range reduces every draw to 0
    }
    return draw % modulus <= p;
}

} // namespace vek
