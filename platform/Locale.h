#pragma once
// Locales of the program and the fixed Unicode rules for case and white space.
#include <string>
#include <string_view>

#include "platform/CodePages.h"

namespace platform {

// Case mapping and white space come from one C.UTF-8 locale made once, so
// they never depend on the process locale or the user's settings. When the
// system has no C.UTF-8 locale only ASCII letters and white space are known.
// A unit outside the Basic Multilingual Plane or a surrogate maps to itself.
wchar_t UnicodeToUpper(wchar_t c);
wchar_t UnicodeToLower(wchar_t c);
bool UnicodeIsSpace(wchar_t c);
// Letters and digits of any script (national letters count).
bool UnicodeIsAlnum(wchar_t c);
bool UnicodeIsAlpha(wchar_t c);
// Visible characters: neither white space nor control.
bool UnicodeIsGraph(wchar_t c);
// false when the ASCII-only rules are in use.
bool HasUnicodeRules();

// A locale is a name and the narrow code page that goes with it. Known names:
// "" (the user default) and "C" with the Latin-1 identity page, "en_US"
// (Windows-1252) and "pl_PL" (Windows-1250); a suffix after '.' is ignored
// ("pl_PL.1250").
class Locale {
public:
    Locale() = default; // the "C" locale

    // Becomes the named locale; false and unchanged when the name is unknown.
    bool Set(std::wstring_view name);

    const std::wstring& GetName() const { return m_name; }
    CodePage GetCodePage() const { return m_codePage; }
    // True when narrow bytes are taken as they are.
    bool AlwaysNoConversion() const { return m_codePage == CodePage::kLatin1Identity; }

    std::wstring ToWide(std::string_view bytes) const { return Decode(m_codePage, bytes); }
    std::string ToNarrow(std::wstring_view text) const { return Encode(m_codePage, text); }

private:
    std::wstring m_name = L"C";
    CodePage m_codePage = CodePage::kLatin1Identity;
};

} // namespace platform
