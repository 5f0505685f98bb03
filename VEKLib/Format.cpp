#include "VEKLib/Format.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

namespace vek {
namespace {

// Every digit a double can have after the point (its exact expansion ends by
// 2^-1074); longer precisions only add zeros, which are counted, not stored.
constexpr int kMaxFloatDigits = 1100;
constexpr wchar_t kReplacement = 0xFFFD;

struct Conversion {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = 0;
    int precision = -1; // -1: none given
    int bits = 32;      // integer width the conversion reads
    char text = 0;      // 'h' narrow, 'l' wide, 0 by the conversion letter
};

// The result is built here and copied once; output past the limit is dropped,
// so huge widths and long texts cost no memory.
class Output {
public:
    bool Full() const { return m_len >= kFormatLimit || m_ended; }
    size_t Room() const { return m_ended ? 0 : kFormatLimit - m_len; }
    void Put(wchar_t c) {
        if (c == 0) {
            m_ended = true; // the text ends at its first zero
        }
        if (!Full()) {
            m_buf[m_len++] = c;
        }
    }
    void Fill(wchar_t c, size_t n) {
        n = std::min(n, Room());
        std::fill_n(m_buf + m_len, n, c);
        m_len += n;
    }
    void Ascii(const char* s, size_t n) {
        n = std::min(n, Room());
        for (size_t k = 0; k < n; ++k) {
            m_buf[m_len++] = static_cast<unsigned char>(s[k]);
        }
    }
    void Wide(const wchar_t* s, size_t n) {
        n = std::min(n, Room());
        std::copy_n(s, n, m_buf + m_len);
        m_len += n;
    }
    std::wstring Result() const { return std::wstring(m_buf, m_len); }

private:
    wchar_t m_buf[kFormatLimit];
    size_t m_len = 0;
    bool m_ended = false;
};

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

size_t LeftPad(const Conversion& s, size_t len) {
    return !s.left && static_cast<size_t>(s.width) > len ? s.width - len : 0;
}
size_t RightPad(const Conversion& s, size_t len) {
    return s.left && static_cast<size_t>(s.width) > len ? s.width - len : 0;
}

// A printed number: prefix (sign, 0x), zeros, body, with `midZeros` more zeros
// inserted at body[midAt] (precision beyond the stored digits).
struct Number {
    char prefix[3] = {};
    size_t prefixLen = 0;
    size_t leadZeros = 0;
    const char* body = nullptr;
    size_t bodyLen = 0;
    size_t midZeros = 0;
    size_t midAt = 0;
    bool zeroPadOk = true;
};

void EmitNumber(Output& out, const Conversion& s, Number n) {
    size_t len = n.prefixLen + n.leadZeros + n.bodyLen + n.midZeros;
    if (s.zero && !s.left && n.zeroPadOk && static_cast<size_t>(s.width) > len) {
        n.leadZeros += s.width - len;
        len = s.width;
    }
    out.Fill(L' ', LeftPad(s, len));
    out.Ascii(n.prefix, n.prefixLen);
    out.Fill(L'0', n.leadZeros);
    out.Ascii(n.body, n.midAt);
    out.Fill(L'0', n.midZeros);
    out.Ascii(n.body + n.midAt, n.bodyLen - n.midAt);
    out.Fill(L' ', RightPad(s, len));
}

void AddSign(Number& n, const Conversion& s, bool negative) {
    if (negative) {
        n.prefix[n.prefixLen++] = '-';
    } else if (s.plus) {
        n.prefix[n.prefixLen++] = '+';
    } else if (s.space) {
        n.prefix[n.prefixLen++] = ' ';
    }
}

// The bits an integer conversion of `bits` width reads from an argument,
// zero-extended. Doubles are truncated and saturate at that width's range.
uint64_t IntegerBits(const FormatArg& a, int bits, bool isSigned) {
    switch (a.kind) {
    case FormatArg::kSigned:
    case FormatArg::kUnsigned:
        break;
    case FormatArg::kPointer:
        return reinterpret_cast<uintptr_t>(a.p);
    case FormatArg::kDouble: {
        const double d = std::trunc(a.d);
        if (std::isnan(d)) {
            return 0;
        }
        if (isSigned) {
            const double top = std::ldexp(1.0, bits - 1);
            if (d >= top) {
                return (uint64_t{1} << (bits - 1)) - 1;
            }
            if (d <= -top) {
                return uint64_t{1} << (bits - 1);
            }
            return static_cast<uint64_t>(static_cast<int64_t>(d));
        }
        if (d <= 0) {
            return 0;
        }
        if (d >= std::ldexp(1.0, bits)) {
            return ~uint64_t{0};
        }
        return static_cast<uint64_t>(d);
    }
    default:
        return 0; // text counts as 0
    }
    return a.u;
}

void EmitInteger(Output& out, const Conversion& s, wchar_t conv, const FormatArg& a) {
    const bool isSigned = conv == L'd' || conv == L'i';
    const int bits = s.bits;
    uint64_t v = IntegerBits(a, bits, isSigned);
    if (bits < 64) {
        v &= (uint64_t{1} << bits) - 1;
    }
    bool negative = false;
    if (isSigned && (v >> (bits - 1)) != 0) {
        negative = true;
        v = (~v + 1) & (bits < 64 ? (uint64_t{1} << bits) - 1 : ~uint64_t{0});
    }
    const int base = conv == L'o' ? 8 : (conv == L'x' || conv == L'X') ? 16 : 10;
    char digits[24];
    size_t len = 0;
    if (v != 0 || s.precision != 0) {
        len = std::to_chars(digits, digits + sizeof digits, v, base).ptr - digits;
        if (conv == L'X') {
            std::transform(digits, digits + len, digits, Upper);
        }
    }
    Number n;
    n.body = digits;
    n.bodyLen = n.midAt = len;
    if (isSigned) {
        AddSign(n, s, negative);
    }
    if (s.precision >= 0) {
        n.zeroPadOk = false;
        n.leadZeros = static_cast<size_t>(s.precision) > len ? s.precision - len : 0;
    }
    if (s.alt && base == 8 && n.leadZeros == 0 && (len == 0 || digits[0] != '0')) {
        n.leadZeros = 1;
    }
    if (s.alt && base == 16 && v != 0) {
        n.prefix[n.prefixLen++] = '0';
        n.prefix[n.prefixLen++] = static_cast<char>(conv);
    }
    EmitNumber(out, s, n);
}

void EmitPointer(Output& out, const Conversion& s, const FormatArg& a) {
    uint64_t v = IntegerBits(a, 64, false);
    char digits[16];
    for (int k = 15; k >= 0; --k, v >>= 4) {
        digits[k] = "0123456789ABCDEF"[v & 15];
    }
    Number n;
    n.body = digits;
    n.bodyLen = n.midAt = sizeof digits;
    EmitNumber(out, s, n);
}

double DoubleOf(const FormatArg& a) {
    switch (a.kind) {
    case FormatArg::kDouble:
        return a.d;
    case FormatArg::kSigned:
        return static_cast<double>(a.i);
    case FormatArg::kUnsigned:
        return static_cast<double>(a.u);
    case FormatArg::kPointer:
        return static_cast<double>(reinterpret_cast<uintptr_t>(a.p));
    default:
        return 0.0;
    }
}

// Position of the exponent mark ('e', or 'p' in hex) in a printed number, or its length.
size_t ExponentAt(const char* b, size_t len, char mark) { return std::find(b, b + len, mark) - b; }

// Drops trailing zeros of the fraction (and a bare point) before the exponent.
size_t StripZeros(char* b, size_t len) {
    const size_t e = ExponentAt(b, len, 'e');
    if (std::find(b, b + e, '.') == b + e) {
        return len;
    }
    size_t end = e;
    while (b[end - 1] == '0') {
        --end;
    }
    if (b[end - 1] == '.') {
        --end;
    }
    std::memmove(b + end, b + e, len - e);
    return len - (e - end);
}

// Puts a point before the exponent when there is none ('#' flag).
size_t EnsurePoint(char* b, size_t len, char mark) {
    const size_t e = ExponentAt(b, len, mark);
    if (std::find(b, b + e, '.') != b + e) {
        return len;
    }
    std::memmove(b + e + 1, b + e, len - e);
    b[e] = '.';
    return len + 1;
}

void EmitFloat(Output& out, const Conversion& s, wchar_t conv, const FormatArg& a) {
    const double value = DoubleOf(a);
    const bool upper = conv == L'E' || conv == L'F' || conv == L'G' || conv == L'A';
    const wchar_t kind = upper ? static_cast<wchar_t>(conv - L'A' + L'a') : conv;
    const bool hex = kind == L'a';
    const char mark = hex ? 'p' : 'e';
    char buf[1536];
    size_t len = 3;
    Number n;
    AddSign(n, s, std::signbit(value));
    const double mag = std::fabs(value);
    if (!std::isfinite(mag)) {
        std::memcpy(buf, std::isnan(mag) ? "nan" : "inf", 3);
        n.zeroPadOk = false;
        n.midAt = len;
    } else {
        const int precision = s.precision < 0 ? (hex ? 13 : 6) : s.precision;
        const int stored = std::min(precision, kMaxFloatDigits);
        int extra = precision - stored;
        std::to_chars_result r{};
        if (kind == L'f') {
            r = std::to_chars(buf, buf + sizeof buf, mag, std::chars_format::fixed, stored);
        } else if (kind == L'e' || hex) {
            r = std::to_chars(buf, buf + sizeof buf, mag, hex ? std::chars_format::hex : std::chars_format::scientific,
                              stored);
        } else {
            // %g: P significant digits, fixed or scientific by the exponent
            // that the scientific form with P digits has.
            const int p = std::max(stored, 1);
            extra = s.alt ? std::max(precision, 1) - p : 0;
            r = std::to_chars(buf, buf + sizeof buf, mag, std::chars_format::scientific, p - 1);
            int x = 0;
            if (r.ec == std::errc() && mag != 0) {
                const char* e = std::find(buf, r.ptr, 'e');
                std::from_chars(e + (e[1] == '+' ? 2 : 1), r.ptr, x);
            }
            if (r.ec == std::errc() && x < p && x >= -4) {
                r = std::to_chars(buf, buf + sizeof buf, mag, std::chars_format::fixed, p - 1 - x);
            }
        }
        if (r.ec != std::errc()) {
            return;
        }
        len = r.ptr - buf;
        if (kind == L'g' && !s.alt) {
            len = StripZeros(buf, len);
        }
        if (s.alt) {
            len = EnsurePoint(buf, len, mark);
        }
        n.midZeros = static_cast<size_t>(extra);
        n.midAt = ExponentAt(buf, len, mark);
        if (hex) {
            n.prefix[n.prefixLen++] = '0';
            n.prefix[n.prefixLen++] = upper ? 'X' : 'x';
        }
    }
    if (upper) {
        std::transform(buf, buf + len, buf, Upper);
    }
    n.body = buf;
    n.bodyLen = len;
    EmitNumber(out, s, n);
}

// Decodes one UTF-8 sequence into 1 or 2 UTF-16 units; a malformed sequence
// gives U+FFFD and skips only its longest valid beginning.
size_t DecodeUtf8(const unsigned char*& p, const unsigned char* end, wchar_t units[2]) {
    const unsigned b = *p++;
    int more = 0;
    unsigned cp = kReplacement, lo = 0x80, hi = 0xBF; // range of the next byte
    if (b < 0x80) {
        cp = b;
    } else if (b >= 0xC2 && b <= 0xDF) {
        more = 1;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        more = 2;
        cp = b & 0x0F;
        lo = b == 0xE0 ? 0xA0 : 0x80; // no overlong forms
        hi = b == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        more = 3;
        cp = b & 0x07;
        lo = b == 0xF0 ? 0x90 : 0x80;
        hi = b == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    }
    for (; more > 0; --more, lo = 0x80, hi = 0xBF) {
        if (p == end || *p < lo || *p > hi) {
            cp = kReplacement;
            break;
        }
        cp = (cp << 6) | (*p++ & 0x3F);
    }
    if (cp < 0x10000) {
        units[0] = static_cast<wchar_t>(cp);
        return 1;
    }
    units[0] = static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
    units[1] = static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    return 2;
}

// A text argument ends at its first zero, as the caller's text did.
void EmitWideText(Output& out, const Conversion& s, std::wstring_view t) {
    if (s.precision >= 0) {
        t = t.substr(0, s.precision);
    }
    if (!s.left && s.width > 0) {
        // Only as far as the width reaches does the length matter.
        const std::wstring_view head = t.substr(0, s.width);
        out.Fill(L' ', LeftPad(s, std::min(head.find(L'\0'), head.size())));
    }
    t = t.substr(0, out.Room());
    const size_t len = std::min(t.find(L'\0'), t.size());
    out.Wide(t.data(), len);
    out.Fill(L' ', RightPad(s, len));
}

// UTF-8 text, measured in UTF-16 units; a precision never splits a pair.
void EmitNarrowText(Output& out, const Conversion& s, std::string_view t) {
    const size_t max = s.precision < 0 ? SIZE_MAX : static_cast<size_t>(s.precision);
    const auto* begin = reinterpret_cast<const unsigned char*>(t.data());
    const auto* end = begin + t.size();
    wchar_t units[2];
    size_t len = 0;
    if (!s.left && s.width > 0) {
        for (const unsigned char* p = begin; p != end && *p != 0 && len < static_cast<size_t>(s.width);) {
            const size_t n = DecodeUtf8(p, end, units);
            if (len + n > max) {
                break;
            }
            len += n;
        }
        out.Fill(L' ', LeftPad(s, len));
    }
    len = 0;
    for (const unsigned char* p = begin; p != end && *p != 0 && !out.Full();) {
        const size_t n = DecodeUtf8(p, end, units);
        if (len + n > max) {
            break;
        }
        len += n;
        out.Wide(units, n);
    }
    out.Fill(L' ', RightPad(s, len));
}

// Any argument prints as text: numbers in decimal, pointers as by %p.
void EmitText(Output& out, const Conversion& s, const FormatArg& a) {
    char buf[32];
    char* end;
    switch (a.kind) {
    case FormatArg::kWide:
        return EmitWideText(out, s, a.wide);
    case FormatArg::kNarrow:
        return EmitNarrowText(out, s, a.narrow);
    case FormatArg::kSigned:
        end = std::to_chars(buf, buf + sizeof buf, a.i).ptr;
        break;
    case FormatArg::kUnsigned:
        end = std::to_chars(buf, buf + sizeof buf, a.u).ptr;
        break;
    case FormatArg::kDouble:
        end = std::to_chars(buf, buf + sizeof buf, a.d).ptr;
        break;
    default:
        return EmitPointer(out, s, a);
    }
    EmitNarrowText(out, s, std::string_view(buf, end - buf));
}

// A zero character ends the result, as the caller's zero-terminated text did.
void EmitChar(Output& out, const Conversion& s, bool narrow, const FormatArg& a) {
    wchar_t c;
    if (a.kind == FormatArg::kWide) {
        if (a.wide.empty()) {
            return;
        }
        c = a.wide[0];
    } else if (a.kind == FormatArg::kNarrow) {
        if (a.narrow.empty()) {
            return;
        }
        const auto* p = reinterpret_cast<const unsigned char*>(a.narrow.data());
        wchar_t units[2];
        DecodeUtf8(p, p + a.narrow.size(), units);
        c = units[0];
    } else if (narrow) {
        const auto b = static_cast<unsigned char>(IntegerBits(a, 8, false));
        c = b < 0x80 ? b : kReplacement;
    } else {
        c = static_cast<wchar_t>(IntegerBits(a, 16, false) & 0xFFFF);
    }
    out.Fill(L' ', LeftPad(s, 1));
    out.Put(c);
    out.Fill(L' ', RightPad(s, 1));
}

// Reads decimal digits, saturating so that any width stays an int.
int ReadNumber(std::wstring_view f, size_t& i) {
    int v = 0;
    for (; i < f.size() && f[i] >= L'0' && f[i] <= L'9'; ++i) {
        v = v > (INT_MAX - 9) / 10 ? INT_MAX : v * 10 + (f[i] - L'0');
    }
    return v;
}

} // namespace

std::wstring FormatArgs(std::wstring_view format, const FormatArg* args, size_t count) {
    Output out;
    size_t next = 0;
    const std::wstring_view f = format.substr(0, format.find(L'\0'));
    const size_t end = f.size();
    auto take = [&]() -> const FormatArg* { return next < count ? &args[next++] : nullptr; };
    auto takeInt = [&](int fallback) {
        const FormatArg* a = take();
        return a ? static_cast<int>(static_cast<int32_t>(IntegerBits(*a, 32, true))) : fallback;
    };
    size_t i = 0;
    while (i < end && !out.Full()) {
        const size_t pct = std::min(f.find(L'%', i), end);
        out.Wide(f.data() + i, pct - i);
        if (pct == end) {
            break;
        }
        const size_t start = pct;
        i = pct + 1;
        Conversion s;
        for (; i < end; ++i) {
            const wchar_t c = f[i];
            if (c == L'-') {
                s.left = true;
            } else if (c == L'+') {
                s.plus = true;
            } else if (c == L' ') {
                s.space = true;
            } else if (c == L'#') {
                s.alt = true;
            } else if (c == L'0') {
                s.zero = true;
            } else {
                break;
            }
        }
        if (i < end && f[i] == L'*') {
            ++i;
            const int w = takeInt(0);
            if (w < 0) {
                s.left = true;
            }
            s.width = w == INT_MIN ? INT_MAX : std::abs(w);
        } else {
            s.width = ReadNumber(f, i);
        }
        if (i < end && f[i] == L'.') {
            ++i;
            if (i < end && f[i] == L'*') {
                ++i;
                s.precision = std::max(takeInt(-1), -1);
            } else {
                s.precision = ReadNumber(f, i);
            }
        }
        if (i < end) {
            const wchar_t c = f[i];
            const wchar_t c1 = i + 1 < end ? f[i + 1] : 0;
            const wchar_t c2 = i + 2 < end ? f[i + 2] : 0;
            if (c == L'h') {
                s.text = 'h';
                s.bits = c1 == L'h' ? 8 : 16;
                i += c1 == L'h' ? 2 : 1;
            } else if (c == L'l' || c == L'w') {
                s.text = 'l';
                s.bits = c == L'l' && c1 == L'l' ? 64 : 32;
                i += c == L'l' && c1 == L'l' ? 2 : 1;
            } else if (c == L'I') {
                const bool b64 = c1 == L'6' && c2 == L'4', b32 = c1 == L'3' && c2 == L'2';
                s.bits = b32 ? 32 : 64;
                i += b64 || b32 ? 3 : 1;
            } else if (c == L'z' || c == L'j' || c == L't' || c == L'L') {
                s.bits = 64;
                ++i;
            }
        }
        if (i >= end) {
            out.Wide(f.data() + start, end - start);
            break;
        }
        const wchar_t conv = f[i++];
        switch (conv) {
        case L'%':
            out.Put(L'%');
            continue;
        case L'n':
            take();
            continue; // would store the count so far: never here
        case L'd':
        case L'i':
        case L'u':
        case L'o':
        case L'x':
        case L'X':
        case L'e':
        case L'E':
        case L'f':
        case L'F':
        case L'g':
        case L'G':
        case L'a':
        case L'A':
        case L'p':
        case L's':
        case L'S':
        case L'c':
        case L'C':
            break;
        default:
            out.Wide(f.data() + start, i - start);
            continue;
        }
        const FormatArg* a = take();
        if (!a) {
            continue;
        }
        switch (conv) {
        case L's':
        case L'S':
        case L'c':
        case L'C': {
            const bool narrow = s.text == 'h' || (s.text == 0 && (conv == L'S' || conv == L'C'));
            if (conv == L'c' || conv == L'C') {
                EmitChar(out, s, narrow, *a);
            } else {
                EmitText(out, s, *a);
            }
            break;
        }
        case L'p':
            EmitPointer(out, s, *a);
            break;
        case L'e':
        case L'E':
        case L'f':
        case L'F':
        case L'g':
        case L'G':
        case L'a':
        case L'A':
            EmitFloat(out, s, conv, *a);
            break;
        default:
            EmitInteger(out, s, conv, *a);
            break;
        }
    }
    return out.Result();
}

} // namespace vek
