#include "world/PathTrace.h"

#include <bit>
#include <typeinfo>

#include "platform/CrtRand.h"

CDirectionDraws::CDirectionDraws(vek::CRandomGeneratorBase* generator)
    : m_generator(generator), m_runTime(generator && typeid(*generator) == typeid(vek::CStdRand)) {
    if (m_runTime) {
        m_state = platform::CrtRandState();
    }
}

CDirectionDraws::~CDirectionDraws() {
    if (m_runTime) {
        platform::CrtSrand(m_state);
    }
}

uint8_t CDirectionDraws::Draw(uint8_t marked) {
    if (m_generator) {
        for (int draw = 0; draw < kMaxDirectionDraws; ++draw) {
            int32_t r = (m_runTime ? platform::CrtRandStep(m_state) : m_generator->Next()) % 8;
            if (r < 0) {
                r += 8;
            }
            if (marked & (1u << r)) {
                return static_cast<uint8_t>(r + 1);
            }
        }
    }
    return static_cast<uint8_t>(std::countr_zero(static_cast<unsigned>(marked)) + 1);
}
