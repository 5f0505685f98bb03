#pragma once
// Narrow code pages that text files and outside libraries may use. Each byte
// 0x80..0xFF of a Windows page stands for one UTF-16 unit; bytes below 0x80
// are ASCII on every page.
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

enum class CodePage : uint8_t {
    kLatin1Identity, // byte b is U+00bb; no conversion is needed
    kWindows1250,    // Central European
    kWindows1252,    // Western European
};

// The unit a byte stands for; U+FFFD for a byte the page leaves undefined.
wchar_t DecodeByte(CodePage page, unsigned char byte);
// The byte for a unit; '?' when the page cannot hold it.
char EncodeUnit(CodePage page, wchar_t unit);

std::wstring Decode(CodePage page, std::string_view bytes);
std::string Encode(CodePage page, std::wstring_view text);

} // namespace platform
