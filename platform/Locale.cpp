#include "platform/Locale.h"

#include <locale.h>
#include <wctype.h>

#include <cstdint>

namespace platform {
namespace {

// Made on first use and kept for the life of the process: objects destroyed
// at exit may still compare names.
locale_t UnicodeLocale() {
    static const locale_t locale = [] {
        locale_t made = newlocale(LC_ALL_MASK, "C.UTF-8", locale_t(0));
        if (made == locale_t(0)) {
            made = newlocale(LC_ALL_MASK, "C.utf8", locale_t(0));
        }
        return made;
    }();
    return locale;
}

bool Mappable(uint32_t u) { return u <= 0xFFFF && (u < 0xD800 || u > 0xDFFF); }

wchar_t KeepInPlane(wchar_t c, wint_t mapped) {
    return Mappable(static_cast<uint32_t>(mapped)) ? static_cast<wchar_t>(mapped) : c;
}

} // namespace

bool HasUnicodeRules() { return UnicodeLocale() != locale_t(0); }

wchar_t UnicodeToUpper(wchar_t c) {
    const uint32_t u = static_cast<uint32_t>(c);
    if (u < 0x80) {
        return (u >= 'a' && u <= 'z') ? static_cast<wchar_t>(u - 32) : c;
    }
    const locale_t locale = UnicodeLocale();
    if (locale == locale_t(0) || !Mappable(u)) {
        return c;
    }
    return KeepInPlane(c, towupper_l(static_cast<wint_t>(u), locale));
}

wchar_t UnicodeToLower(wchar_t c) {
    const uint32_t u = static_cast<uint32_t>(c);
    if (u < 0x80) {
        return (u >= 'A' && u <= 'Z') ? static_cast<wchar_t>(u + 32) : c;
    }
    const locale_t locale = UnicodeLocale();
    if (locale == locale_t(0) || !Mappable(u)) {
        return c;
    }
    return KeepInPlane(c, towlower_l(static_cast<wint_t>(u), locale));
}

namespace {
// A class test beyond ASCII, by the Unicode table; false without one.
template <class Test>
bool UnicodeClass(uint32_t u, Test test) {
    const locale_t locale = UnicodeLocale();
    return locale != locale_t(0) && Mappable(u) && test(static_cast<wint_t>(u), locale) != 0;
}
} // namespace

bool UnicodeIsSpace(wchar_t c) {
    const uint32_t u = static_cast<uint32_t>(c);
    if (u < 0x80) {
        return u == ' ' || (u >= 9 && u <= 13);
    }
    return UnicodeClass(u, iswspace_l);
}

bool UnicodeIsAlnum(wchar_t c) {
    const uint32_t u = static_cast<uint32_t>(c);
    if (u < 0x80) {
        return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
    }
    return UnicodeClass(u, iswalnum_l);
}

bool UnicodeIsAlpha(wchar_t c) {
    const uint32_t u = static_cast<uint32_t>(c);
    if (u < 0x80) {
        return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
    }
    return UnicodeClass(u, iswalpha_l);
}

bool UnicodeIsGraph(wchar_t c) {
    const uint32_t u = static_cast<uint32_t>(c);
    if (u < 0x80) {
        return u > ' ' && u < 0x7F;
    }
    return UnicodeClass(u, iswgraph_l);
}

bool Locale::Set(std::wstring_view name) {
    std::wstring_view base = name;
    const size_t dot = name.find(L'.');
    if (dot != std::wstring_view::npos) {
        // A bare suffix names nothing.
        if (dot == 0) {
            return false;
        }
        base = name.substr(0, dot);
    }
    CodePage page;
    if (base.empty() || base == L"C") {
        page = CodePage::kLatin1Identity;
    } else if (base == L"en_US") {
        page = CodePage::kWindows1252;
    } else if (base == L"pl_PL") {
        page = CodePage::kWindows1250;
    } else {
        return false;
    }
    m_name = std::wstring(name);
    m_codePage = page;
    return true;
}

} // namespace platform
