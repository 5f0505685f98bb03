#pragma once
// The draws of one generation stage from the generator it is handed.
#include <cstdint>

#include "VEKLib/Random.h"

namespace gen {

class CDraw {
public:
    // Not owned; null makes every draw 0.
    explicit CDraw(vek::CRandomGeneratorBase* generator) : m_generator(generator) {}

    int32_t Next() { return m_generator ? m_generator->Next() : 0; }

    // r(n): the next value's remainder by n, never negative. A generator whose
    // values may be negative would otherwise give negative sizes and cells.
    // n must be positive (a caller that cannot promise it skips the draw).
    int32_t R(int32_t n);

    // rs(n): the remainder with the sign of the value.
    int32_t Rs(int32_t n);

private:
    vek::CRandomGeneratorBase* m_generator;
};

} // namespace gen
