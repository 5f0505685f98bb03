#include "platform/Locale.h"

#include <gtest/gtest.h>

#include "platform/CodePages.h"

namespace {

using platform::CodePage;

struct KnownByte {
    CodePage page;
    unsigned char byte;
    wchar_t unit;
};

TEST(CodePages, WellKnownBytes) {
    const KnownByte cases[] = {
        {CodePage::kWindows1250, 0xA5, 0x0104},                                            // Ą
        {CodePage::kWindows1250, 0xB9, 0x0105},                                            // ą
        {CodePage::kWindows1250, 0x8C, 0x015A},                                            // Ś
        {CodePage::kWindows1250, 0xB3, 0x0142},                                            // ł
        {CodePage::kWindows1250, 0x80, 0x20AC},                                            // €
        {CodePage::kWindows1250, 0x81, 0xFFFD},                                            // undefined
        {CodePage::kWindows1252, 0x80, 0x20AC},    {CodePage::kWindows1252, 0x9F, 0x0178}, // Ÿ
        {CodePage::kWindows1252, 0xE9, 0x00E9},                                            // é
        {CodePage::kWindows1252, 0x8D, 0xFFFD},                                            // undefined
        {CodePage::kLatin1Identity, 0x80, 0x0080}, {CodePage::kLatin1Identity, 0xFF, 0x00FF},
        {CodePage::kWindows1250, 'A', L'A'},
    };
    for (const KnownByte& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.byte));
        EXPECT_EQ(c.unit, platform::DecodeByte(c.page, c.byte));
    }
}

TEST(CodePages, DefinedBytesRoundTrip) {
    for (CodePage page : {CodePage::kLatin1Identity, CodePage::kWindows1250, CodePage::kWindows1252}) {
        int undefined = 0;
        for (int b = 0; b < 256; ++b) {
            const wchar_t unit = platform::DecodeByte(page, static_cast<unsigned char>(b));
            if (unit == 0xFFFD) {
                ++undefined;
                continue;
            }
            EXPECT_EQ(static_cast<char>(b), platform::EncodeUnit(page, unit)) << b;
        }
        // Each Windows page leaves exactly five bytes undefined.
        EXPECT_EQ(page == CodePage::kLatin1Identity ? 0 : 5, undefined);
    }
}

TEST(CodePages, UnitsThePageCannotHoldBecomeQuestionMarks) {
    EXPECT_EQ('?', platform::EncodeUnit(CodePage::kWindows1252, 0x0105)); // ą
    EXPECT_EQ('?', platform::EncodeUnit(CodePage::kWindows1250, 0xFFFD));
    EXPECT_EQ('?', platform::EncodeUnit(CodePage::kWindows1250, 0x0080));
    EXPECT_EQ('?', platform::EncodeUnit(CodePage::kLatin1Identity, 0x0100));
    EXPECT_EQ(std::string("\xB9?"), platform::Encode(CodePage::kWindows1250, L"\u0105\u4E00"));
}

TEST(Locale, NamesAndCodePages) {
    struct Case {
        const wchar_t* name;
        bool known;
        CodePage page;
    };
    const Case cases[] = {
        {L"", true, CodePage::kLatin1Identity},        {L"C", true, CodePage::kLatin1Identity},
        {L"en_US", true, CodePage::kWindows1252},      {L"pl_PL", true, CodePage::kWindows1250},
        {L"pl_PL.1250", true, CodePage::kWindows1250}, {L"en_US.UTF-8", true, CodePage::kWindows1252},
        {L"Polish", false, CodePage::kWindows1250},    {L"pl_pl", false, CodePage::kWindows1250},
        {L".1250", false, CodePage::kWindows1250},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::Locale locale;
        ASSERT_TRUE(locale.Set(L"pl_PL"));
        EXPECT_EQ(c.known, locale.Set(c.name));
        EXPECT_EQ(c.known ? std::wstring(c.name) : L"pl_PL", locale.GetName());
        EXPECT_EQ(c.page, locale.GetCodePage());
    }
}

TEST(UnicodeRules, CaseMapping) {
    ASSERT_TRUE(platform::HasUnicodeRules());
    struct Case {
        wchar_t c, upper, lower;
    };
    const Case cases[] = {
        {L'a', L'A', L'a'},       {L'Z', L'Z', L'z'},       {L'1', L'1', L'1'}, {0x0105, 0x0104, 0x0105}, // ą
        {0x017C, 0x017B, 0x017C},                                                                         // ż
        {0x017F, L'S', 0x017F},                                                                           // long s
        {0x03C2, 0x03A3, 0x03C2},                                                                         // final sigma
        {0x00DF, 0x00DF, 0x00DF},                           // sharp s has no one-unit upper form
        {0xD800, 0xD800, 0xD800},                           // surrogates are left alone
        {0xDFFF, 0xDFFF, 0xDFFF}, {0xFF41, 0xFF21, 0xFF41}, // fullwidth a
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.c));
        EXPECT_EQ(c.upper, platform::UnicodeToUpper(c.c));
        EXPECT_EQ(c.lower, platform::UnicodeToLower(c.c));
    }
}

TEST(UnicodeRules, WhiteSpace) {
    for (wchar_t c : {L' ', L'\t', L'\n', L'\v', L'\f', L'\r', wchar_t(0x2003), wchar_t(0x3000)}) {
        EXPECT_TRUE(platform::UnicodeIsSpace(c)) << static_cast<int>(c);
    }
    for (wchar_t c : {L'a', L'\0', L'_', wchar_t(0x200B), wchar_t(0xD800)}) {
        EXPECT_FALSE(platform::UnicodeIsSpace(c)) << static_cast<int>(c);
    }
}

} // namespace
