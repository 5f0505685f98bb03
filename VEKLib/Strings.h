#pragma once
// Wide strings (one UTF-16 code unit per element), case-insensitive
// comparisons, encodings, number parsing and the library locales.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vek {

// Text encodings of files.
enum : uint32_t {
    kEncodingDetect = 0,
    kEncodingNarrow = 1,
    kEncodingUtf8 = 2,
    kEncodingUtf16 = 3,
};

// --- Locales -------------------------------------------------------------
// The library's current locale decides the narrow code page. Case mapping
// and white-space tests never depend on it: they use one fixed Unicode table.
// Sets the current locale by name ("pl_PL", "en_US", "" for the user default).
// Returns false and leaves the current locale as it was for an unknown name.
bool SetCurrentLocale(const std::wstring& name);
std::wstring GetCurrentLocaleName();

// --- Case and comparison -------------------------------------------------
wchar_t FoldCase(wchar_t c); // one case folding used everywhere
wchar_t ToUpper(wchar_t c);
wchar_t ToLower(wchar_t c);
bool IsSpace(wchar_t c); // Unicode white space
bool IsAlnum(wchar_t c); // Unicode letter or digit
bool IsAlpha(wchar_t c); // Unicode letter
bool IsGraph(wchar_t c); // visible: not space, not control
std::wstring ucase(const std::wstring& text);
std::wstring lcase(const std::wstring& text);
// caseSensitive false: equal ignoring case. A null text counts as empty.
bool equals(const std::wstring& a, const wchar_t* b, bool caseSensitive);
bool equals(const std::wstring& a, const std::wstring& b); // ignoring case
bool differs(const std::wstring& a, const std::wstring& b, bool caseSensitive);
// Three-way comparison ignoring case (<0, 0, >0), for sorting.
int CompareNoCase(std::wstring_view a, std::wstring_view b);
bool ContainsNoCase(const std::wstring& text, const std::wstring& part);
bool StartsWithNoCase(const wchar_t* prefix, const std::wstring& text);
bool EndsWithNoCase(const wchar_t* suffix, const std::wstring& text);

// --- Tests and splitting -------------------------------------------------
bool is_string_empty(const std::wstring& text);
bool is_string_empty(const wchar_t* text);
std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator);

// --- Conversion ------------------------------------------------------------
// Narrow bytes in the current locale's code page <-> wide text.
std::wstring NarrowToWide(std::string_view bytes);
std::wstring ToWide(std::string_view bytes);
std::string WideToNarrow(const std::wstring& text);
// UTF-8 of file contents: each unit is encoded by itself (surrogates are not
// combined); decoding does not validate continuation bytes.
void WideToUtf8(const wchar_t* text, std::string& out);
void Utf8ToWide(const char* bytes, std::wstring& out);
std::string WideToUtf8(const std::wstring& text);
// How many bytes from the start are plain ASCII (1 to 127): the bulk of every
// data file, which the decoders pass over eight bytes at a time.
size_t AsciiRunLength(const char* begin, const char* end);
std::wstring Utf8ToWide(const std::string& bytes);
float StrToFloat(const wchar_t* text);

// --- Numbers ----------------------------------------------------------------
// The only way to parse integers: the 32-bit wcstoul/wcstol of the original
// platform. Leading white space, an optional sign, base 0 detects 0x and 0;
// WcsToUL saturates at 4294967295 and negates in 32 bits ("-1" gives
// 4294967295); WcsToL saturates at the 32-bit signed limits. *end, when
// given, points behind the last character used (at text when nothing was).
uint32_t WcsToUL(const wchar_t* text, const wchar_t** end, int base);
int32_t WcsToL(const wchar_t* text, const wchar_t** end, int base);
// 64-bit forms for the few 64-bit fields.
uint64_t WcsToUI64(const wchar_t* text, const wchar_t** end, int base);
int64_t WcsToI64(const wchar_t* text, const wchar_t** end, int base);

// --- Encoding rules ----------------------------------------------------------
class CEncodingValidator {
public:
    // Throws CFileException code 5 when the combination is not allowed.
    static void Check(const std::wstring& fileName, uint32_t encoding, bool read, bool bom);
};

} // namespace vek
