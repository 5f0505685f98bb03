#include "VEKLib/Strings.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <locale>
#include <sstream>

#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "platform/Locale.h"

namespace vek {
namespace {

// The library's locales, made together in this order on first use (the
// program start sets the current one). Only the current one decides anything.
struct LibraryLocales {
    platform::Locale current;
    platform::Locale english;
    platform::Locale polish;

    LibraryLocales() {
        current.Set(L"");
        english.Set(L"en_US");
        polish.Set(L"pl_PL");
    }
};

LibraryLocales& Locales() {
    static LibraryLocales locales;
    return locales;
}

// Names and keys are mostly ASCII, so ASCII pairs skip the Unicode tables.
bool SameIgnoringCase(wchar_t a, wchar_t b) {
    if (a == b) {
        return true;
    }
    const uint32_t ua = static_cast<uint32_t>(a);
    const uint32_t ub = static_cast<uint32_t>(b);
    if (ua < 0x80 && ub < 0x80) {
        return (ua | 0x20) == (ub | 0x20) && (ua | 0x20) >= 'a' && (ua | 0x20) <= 'z';
    }
    return FoldCase(a) == FoldCase(b);
}

bool EqualIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (!SameIgnoringCase(a[i], b[i])) {
            return false;
        }
    }
    return true;
}

uint32_t Unit(wchar_t c) { return static_cast<uint16_t>(static_cast<uint32_t>(c)); }

// --- Integer parsing shared by the 32- and 64-bit forms ---------------------

struct ParsedNumber {
    uint64_t magnitude = 0; // saturated at the limit when overflow is set
    bool negative = false;
    bool overflow = false;
    bool digits = false;
};

int DigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'z') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'Z') {
        return c - L'A' + 10;
    }
    return 99;
}

// Reads the number at text; limit is the largest magnitude the caller holds.
// *end gets the character behind the last digit, or text when there was none.
ParsedNumber ParseNumber(const wchar_t* text, const wchar_t** end, int base, uint64_t limit) {
    ParsedNumber result;
    if (end != nullptr) {
        *end = text;
    }
    if (text == nullptr || base < 0 || base == 1 || base > 36) {
        return result;
    }

    const wchar_t* p = text;
    while (*p != 0 && IsSpace(*p)) {
        ++p;
    }
    if (*p == L'-') {
        result.negative = true;
        ++p;
    } else if (*p == L'+') {
        ++p;
    }
    const bool hexPrefix = p[0] == L'0' && (p[1] == L'x' || p[1] == L'X');
    if (base == 0) {
        base = hexPrefix ? 16 : (p[0] == L'0' ? 8 : 10);
    }
    if (base == 16 && hexPrefix) {
        p += 2;
    }

    const uint64_t b = static_cast<uint64_t>(base);
    for (;; ++p) {
        const int d = DigitValue(*p);
        if (d >= base) {
            break;
        }
        result.digits = true;
        if (result.overflow) {
            continue; // the scan goes on to the end of the digits
        }
        const uint64_t digit = static_cast<uint64_t>(d);
        if (result.magnitude > (limit - digit) / b) {
            result.overflow = true;
            result.magnitude = limit;
        } else {
            result.magnitude = result.magnitude * b + digit;
        }
    }
    if (!result.digits) {
        return ParsedNumber();
    }
    if (end != nullptr) {
        *end = p;
    }
    return result;
}

template <class Unsigned>
Unsigned ToUnsigned(const ParsedNumber& n) {
    if (n.overflow) {
        return std::numeric_limits<Unsigned>::max();
    }
    const Unsigned value = static_cast<Unsigned>(n.magnitude);
    return n.negative ? static_cast<Unsigned>(Unsigned(0) - value) : value;
}

template <class Signed>
Signed ToSigned(const ParsedNumber& n) {
    const uint64_t maxPositive = static_cast<uint64_t>(std::numeric_limits<Signed>::max());
    if (n.negative) {
        // A magnitude of maxPositive + 1 is the lowest value itself.
        if (n.overflow || n.magnitude > maxPositive) {
            return std::numeric_limits<Signed>::min();
        }
        return static_cast<Signed>(-static_cast<Signed>(n.magnitude));
    }
    if (n.overflow || n.magnitude > maxPositive) {
        return std::numeric_limits<Signed>::max();
    }
    return static_cast<Signed>(n.magnitude);
}

constexpr const wchar_t* kValidatorFunction = L"vek::CEncodingValidator::Check";
constexpr const wchar_t* kValidatorSource = L"Strings";

[[noreturn]] void ThrowInvalidEncoding(const std::wstring& fileName, int32_t line, const wchar_t* message) {
    throw CFileException(CFileException::kInvalidContent, fileName, kValidatorFunction, kValidatorSource, line,
                         message);
}

} // namespace

// --- Locales -------------------------------------------------------------------

bool SetCurrentLocale(const std::wstring& name) { return Locales().current.Set(name); }

std::wstring GetCurrentLocaleName() { return Locales().current.GetName(); }

// --- Case and comparison ---------------------------------------------------------

wchar_t FoldCase(wchar_t c) {
    // Upper first, so that letters with two lower forms (long s, final sigma)
    // fold together with their plain form.
    return platform::UnicodeToLower(platform::UnicodeToUpper(c));
}

wchar_t ToUpper(wchar_t c) { return platform::UnicodeToUpper(c); }

wchar_t ToLower(wchar_t c) { return platform::UnicodeToLower(c); }

bool IsSpace(wchar_t c) { return platform::UnicodeIsSpace(c); }

bool IsAlnum(wchar_t c) { return platform::UnicodeIsAlnum(c); }

bool IsAlpha(wchar_t c) { return platform::UnicodeIsAlpha(c); }

bool IsGraph(wchar_t c) { return platform::UnicodeIsGraph(c); }

std::wstring ucase(const std::wstring& text) {
    std::wstring result(text);
    for (wchar_t& c : result) {
        c = ToUpper(c);
    }
    return result;
}

std::wstring lcase(const std::wstring& text) {
    std::wstring result(text);
    for (wchar_t& c : result) {
        c = ToLower(c);
    }
    return result;
}

bool equals(const std::wstring& a, const wchar_t* b, bool caseSensitive) {
    const std::wstring_view other = b != nullptr ? std::wstring_view(b) : std::wstring_view();
    if (caseSensitive) {
        return std::wstring_view(a) == other;
    }
    return EqualIgnoringCase(a, other);
}

bool equals(const std::wstring& a, const std::wstring& b) { return EqualIgnoringCase(a, b); }

bool differs(const std::wstring& a, const std::wstring& b, bool caseSensitive) {
    if (caseSensitive) {
        return a != b;
    }
    return !EqualIgnoringCase(a, b);
}

int CompareNoCase(std::wstring_view a, std::wstring_view b) {
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < common; ++i) {
        if (a[i] == b[i]) {
            continue;
        }
        const uint32_t fa = Unit(FoldCase(a[i]));
        const uint32_t fb = Unit(FoldCase(b[i]));
        if (fa != fb) {
            return fa < fb ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

bool ContainsNoCase(const std::wstring& text, const std::wstring& part) {
    if (part.size() > text.size()) {
        return false;
    }
    const std::wstring_view whole(text);
    for (size_t start = 0; start + part.size() <= text.size(); ++start) {
        if (EqualIgnoringCase(whole.substr(start, part.size()), part)) {
            return true;
        }
    }
    return false;
}

bool StartsWithNoCase(const wchar_t* prefix, const std::wstring& text) {
    const std::wstring_view p = prefix != nullptr ? std::wstring_view(prefix) : std::wstring_view();
    if (p.size() > text.size()) {
        return false;
    }
    return EqualIgnoringCase(std::wstring_view(text).substr(0, p.size()), p);
}

bool EndsWithNoCase(const wchar_t* suffix, const std::wstring& text) {
    const std::wstring_view s = suffix != nullptr ? std::wstring_view(suffix) : std::wstring_view();
    if (s.size() > text.size()) {
        return false;
    }
    return EqualIgnoringCase(std::wstring_view(text).substr(text.size() - s.size()), s);
}

// --- Tests and splitting -----------------------------------------------------------

bool is_string_empty(const std::wstring& text) {
    for (wchar_t c : text) {
        if (!IsSpace(c)) {
            return false;
        }
    }
    return true;
}

bool is_string_empty(const wchar_t* text) {
    if (text == nullptr) {
        return true;
    }
    for (; *text != 0; ++text) {
        if (!IsSpace(*text)) {
            return false;
        }
    }
    return true;
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> tokens;
    std::wstring token;
    for (wchar_t c : text) {
        if (c == separator) {
            tokens.push_back(token);
            token.clear();
        } else {
            token.push_back(c);
        }
    }
    // A trailing separator leaves an empty last token; an empty text none.
    if (!token.empty() || !tokens.empty()) {
        tokens.push_back(token);
    }
    return tokens;
}

// --- Conversion --------------------------------------------------------------------

std::wstring NarrowToWide(std::string_view bytes) { return Locales().current.ToWide(bytes); }

std::wstring ToWide(std::string_view bytes) { return NarrowToWide(bytes); }

std::string WideToNarrow(const std::wstring& text) { return Locales().current.ToNarrow(text); }

void WideToUtf8(const wchar_t* text, std::string& out) {
    if (text == nullptr) {
        return;
    }
    for (; *text != 0; ++text) {
        const uint32_t c = Unit(*text);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

size_t AsciiRunLength(const char* begin, const char* end) {
    constexpr uint64_t kOnes = 0x0101010101010101u;
    constexpr uint64_t kHighs = 0x8080808080808080u;
    const char* p = begin;
    for (; end - p >= 8; p += 8) {
        uint64_t word;
        std::memcpy(&word, p, sizeof word);
        // A high bit set, or a zero byte (whose borrow sets its high bit).
        if (((word | (word - kOnes)) & kHighs) != 0) {
            break;
        }
    }
    while (p != end && static_cast<unsigned char>(*p) - 1u < 0x7Fu) {
        ++p;
    }
    return static_cast<size_t>(p - begin);
}

void Utf8ToWide(const char* bytes, std::wstring& out) {
    if (bytes == nullptr) {
        return;
    }
    const char* const end = bytes + std::strlen(bytes);
    // Never more units than bytes: one allocation for a whole file.
    out.reserve(out.size() + static_cast<size_t>(end - bytes));
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
    while (*p != 0) {
        const char* at = reinterpret_cast<const char*>(p);
        if (const size_t run = AsciiRunLength(at, end); run != 0) {
            const size_t old = out.size();
            out.resize(old + run);
            std::copy(p, p + run, out.begin() + static_cast<std::ptrdiff_t>(old));
            p += run;
            continue;
        }
        const uint32_t b = *p;
        uint32_t unit;
        if ((b & 0xE0) == 0xE0) {
            // A sequence cut off by the end of the text gives nothing.
            if (p[1] == 0 || p[2] == 0) {
                break;
            }
            unit = ((b & 0x0F) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
            p += 3;
        } else if ((b & 0xC0) == 0xC0) {
            if (p[1] == 0) {
                break;
            }
            unit = ((b & 0x1F) << 6) | (p[1] & 0x3Fu);
            p += 2;
        } else {
            // A stray continuation byte is taken as a signed byte: 0x80 gives U+FF80.
            unit = static_cast<uint16_t>(static_cast<int8_t>(b));
            p += 1;
        }
        if (unit != 0) {
            out.push_back(static_cast<wchar_t>(unit));
        }
    }
}

std::string WideToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    WideToUtf8(text.c_str(), out);
    return out;
}

std::wstring Utf8ToWide(const std::string& bytes) {
    // c_str() ends at the string's length, and an embedded zero ends the text.
    std::wstring out;
    Utf8ToWide(bytes.c_str(), out);
    return out;
}

float StrToFloat(const wchar_t* text) {
    if (text == nullptr) {
        return 0.0f;
    }
    std::wistringstream stream{std::wstring(text)};
    stream.imbue(std::locale::classic());
    float value = 0.0f;
    stream >> value;
    return value;
}

// --- Numbers -----------------------------------------------------------------------

uint32_t WcsToUL(const wchar_t* text, const wchar_t** end, int base) {
    return ToUnsigned<uint32_t>(ParseNumber(text, end, base, std::numeric_limits<uint32_t>::max()));
}

int32_t WcsToL(const wchar_t* text, const wchar_t** end, int base) {
    return ToSigned<int32_t>(ParseNumber(text, end, base, std::numeric_limits<uint32_t>::max()));
}

uint64_t WcsToUI64(const wchar_t* text, const wchar_t** end, int base) {
    return ToUnsigned<uint64_t>(ParseNumber(text, end, base, std::numeric_limits<uint64_t>::max()));
}

int64_t WcsToI64(const wchar_t* text, const wchar_t** end, int base) {
    return ToSigned<int64_t>(ParseNumber(text, end, base, std::numeric_limits<uint64_t>::max()));
}

// --- Encoding rules ----------------------------------------------------------------

void CEncodingValidator::Check(const std::wstring& fileName, uint32_t encoding, bool read, bool bom) {
    if (encoding == kEncodingUtf16 && !bom) {
        ThrowInvalidEncoding(fileName, 351, L"BOM must be always present for UTF-16");
    }
    if (encoding == kEncodingDetect && !read) {
        ThrowInvalidEncoding(fileName, 354, L"Autodetection makes no sense for write mode");
    }
    if (encoding == kEncodingDetect && !bom) {
        ThrowInvalidEncoding(fileName, 357, L"Autodetection without BOM is not supported");
    }
    if (read && bom) {
        // A file too short to hold its byte-order mark.
        const uint32_t size = GetFileSize(fileName);
        if (encoding == kEncodingUtf8 && size < 3) {
            ThrowInvalidEncoding(fileName, 363, L"Invalid BOM");
        }
        if (encoding == kEncodingUtf16 && size < 2) {
            ThrowInvalidEncoding(fileName, 365, L"Invalid BOM");
        }
    }
}

} // namespace vek
