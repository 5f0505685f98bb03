#include "world/gen/Draw.h"

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"

namespace gen {

namespace {

[[noreturn]] void ThrowEmptyRange(const wchar_t* function, int32_t n) {
    throw vek::CException(function, L"Draw", __LINE__, vek::Format(L"Draw over an empty range: %li", n));
}

} // namespace

int32_t CDraw::R(int32_t n) {
    if (n <= 0) {
        ThrowEmptyRange(L"gen::CDraw::R", n);
    }
    const int32_t rest = Next() % n;
    return rest < 0 ? rest + n : rest;
}

int32_t CDraw::Rs(int32_t n) {
    if (n <= 0) {
        ThrowEmptyRange(L"gen::CDraw::Rs", n);
    }
    return Next() % n;
}

} // namespace gen
