#pragma once
// vek::Format: printf-style formatting with the meaning of the wide printf of
// the game's original platform, made type-safe.
//
//   %s %ls %ws  wide string         %S %hs   narrow (UTF-8) string
//   %c          wide character      %hc %C   narrow character
//   %d %i       32-bit signed       %u %x %X %o  32-bit unsigned
//   %hd %hu     16-bit              %hhd %hhu    8-bit
//   %ld %li %lu 32-bit ("long" is 32 bits there)
//   %lld %I64d %I64u %llu  64-bit   %Id %Iu %zu  64-bit (pointer-sized)
//   %f %F %e %E %g %G %a %A  double; '.' is always the decimal point
//   %p pointer, %% percent; flags - + space # 0, width and precision (also *).
//
// An integer argument is cut to the width the conversion names, as the
// original did when it read the argument. The result is cut at 1024 units.
// A missing argument prints nothing; a number where text is expected prints
// the number, and text where a number is expected counts as 0. Narrow text
// is UTF-8; a zero character (%c of 0) ends the result.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace vek {

constexpr size_t kFormatLimit = 1024;

struct FormatArg {
    enum Kind : uint8_t { kSigned, kUnsigned, kDouble, kWide, kNarrow, kPointer };
    Kind kind;
    union {
        int64_t i;
        uint64_t u;
        double d;
        const void* p;
    };
    std::wstring_view wide;
    std::string_view narrow;

    FormatArg(bool v) : kind(kSigned), i(v ? 1 : 0) {}
    FormatArg(char v) : kind(kSigned), i(v) {}
    FormatArg(signed char v) : kind(kSigned), i(v) {}
    FormatArg(unsigned char v) : kind(kUnsigned), u(v) {}
    FormatArg(wchar_t v) : kind(kUnsigned), u(static_cast<uint32_t>(v)) {}
    FormatArg(char16_t v) : kind(kUnsigned), u(v) {}
    FormatArg(short v) : kind(kSigned), i(v) {}
    FormatArg(unsigned short v) : kind(kUnsigned), u(v) {}
    FormatArg(int v) : kind(kSigned), i(v) {}
    FormatArg(unsigned v) : kind(kUnsigned), u(v) {}
    FormatArg(long v) : kind(kSigned), i(v) {}
    FormatArg(unsigned long v) : kind(kUnsigned), u(v) {}
    FormatArg(long long v) : kind(kSigned), i(v) {}
    FormatArg(unsigned long long v) : kind(kUnsigned), u(v) {}
    FormatArg(float v) : kind(kDouble), d(v) {}
    FormatArg(double v) : kind(kDouble), d(v) {}
    FormatArg(long double v) : kind(kDouble), d(static_cast<double>(v)) {}
    FormatArg(const wchar_t* v) : kind(kWide), p(nullptr), wide(v ? std::wstring_view(v) : std::wstring_view()) {}
    FormatArg(wchar_t* v) : FormatArg(static_cast<const wchar_t*>(v)) {}
    FormatArg(const std::wstring& v) : kind(kWide), p(nullptr), wide(v) {}
    FormatArg(std::wstring_view v) : kind(kWide), p(nullptr), wide(v) {}
    FormatArg(const char* v) : kind(kNarrow), p(nullptr), narrow(v ? std::string_view(v) : std::string_view()) {}
    FormatArg(char* v) : FormatArg(static_cast<const char*>(v)) {}
    FormatArg(const std::string& v) : kind(kNarrow), p(nullptr), narrow(v) {}
    FormatArg(std::string_view v) : kind(kNarrow), p(nullptr), narrow(v) {}
    FormatArg(const void* v) : kind(kPointer), p(v) {}
    FormatArg(void* v) : kind(kPointer), p(v) {}
    template <class E, std::enable_if_t<std::is_enum_v<E>, int> = 0>
    FormatArg(E v) : FormatArg(static_cast<std::underlying_type_t<E>>(v)) {}
};

std::wstring FormatArgs(std::wstring_view format, const FormatArg* args, size_t count);

template <class... A>
std::wstring Format(std::wstring_view format, const A&... args) {
    if constexpr (sizeof...(A) == 0) {
        return FormatArgs(format, nullptr, 0);
    } else {
        const FormatArg list[] = {FormatArg(args)...};
        return FormatArgs(format, list, sizeof...(A));
    }
}

} // namespace vek
