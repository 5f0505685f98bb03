#include "VEKLib/Strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "VEKLib/Exception.h"

namespace {

std::string Bytes(std::initializer_list<unsigned char> list) { return std::string(list.begin(), list.end()); }

TEST(Split, Cases) {
    struct Case {
        const wchar_t* text;
        std::vector<std::wstring> tokens;
    };
    const Case cases[] = {
        {L"a,b", {L"a", L"b"}}, {L"a,,b", {L"a", L"", L"b"}}, {L"abc,", {L"abc", L""}},
        {L",a", {L"", L"a"}},   {L",", {L"", L""}},           {L"", {}},
        {L"abc", {L"abc"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.tokens, vek::Split(c.text, L',')) << c.text;
    }
}

TEST(IsStringEmpty, BlankTexts) {
    EXPECT_TRUE(vek::is_string_empty(std::wstring()));
    EXPECT_TRUE(vek::is_string_empty(std::wstring(L"   ")));
    EXPECT_TRUE(vek::is_string_empty(std::wstring(L"\t\r\n")));
    EXPECT_TRUE(vek::is_string_empty(L""));
    EXPECT_TRUE(vek::is_string_empty(static_cast<const wchar_t*>(nullptr)));
    EXPECT_TRUE(vek::is_string_empty(L"\u3000 "));
    EXPECT_FALSE(vek::is_string_empty(std::wstring(L"a")));
    EXPECT_FALSE(vek::is_string_empty(L"  x "));
}

TEST(CaseInsensitive, Equals) {
    EXPECT_FALSE(vek::equals(L"a", L"A", true));
    EXPECT_TRUE(vek::equals(L"a", L"A", false));
    EXPECT_TRUE(vek::equals(L"", nullptr, true));
    EXPECT_TRUE(vek::equals(L"", nullptr, false));
    EXPECT_FALSE(vek::equals(L"x", nullptr, false));
    EXPECT_TRUE(vek::equals(std::wstring(L"Zażółć"), std::wstring(L"ZAŻÓŁĆ")));
    EXPECT_TRUE(vek::equals(std::wstring(L"\u017Fword"), std::wstring(L"SWORD"))); // long s
    EXPECT_FALSE(vek::equals(std::wstring(L"ab"), std::wstring(L"abc")));
    // '@' and '`' differ from 'A' and 'a' only in the bit that case uses.
    EXPECT_FALSE(vek::equals(std::wstring(L"@"), std::wstring(L"`")));
    EXPECT_FALSE(vek::equals(std::wstring(L"["), std::wstring(L"{")));
    EXPECT_TRUE(vek::differs(L"Key", L"key", true));
    EXPECT_FALSE(vek::differs(L"Key", L"key", false));
}

TEST(CaseInsensitive, CompareNoCaseOrdersByLowerCase) {
    EXPECT_EQ(0, vek::CompareNoCase(L"Town", L"tOWN"));
    EXPECT_LT(vek::CompareNoCase(L"apple", L"Banana"), 0);
    EXPECT_GT(vek::CompareNoCase(L"b", L"A"), 0);
    EXPECT_LT(vek::CompareNoCase(L"ab", L"ABC"), 0);
    EXPECT_GT(vek::CompareNoCase(L"abc", L"AB"), 0);
    // '_' sorts before letters, as it does among lower-case names.
    EXPECT_LT(vek::CompareNoCase(L"_x", L"Ax"), 0);
}

TEST(CaseInsensitive, ContainsStartsEnds) {
    EXPECT_TRUE(vek::ContainsNoCase(L"The Old TOWER", L"old tower"));
    EXPECT_TRUE(vek::ContainsNoCase(L"abc", L""));
    EXPECT_FALSE(vek::ContainsNoCase(L"ab", L"abc"));
    EXPECT_FALSE(vek::ContainsNoCase(L"abcabd", L"abe"));
    EXPECT_TRUE(vek::EndsWithNoCase(L".MAP", L"town.map"));
    EXPECT_FALSE(vek::EndsWithNoCase(L"xtown.map", L"town.map"));
    EXPECT_FALSE(vek::EndsWithNoCase(L".map", L"town.mat"));
    EXPECT_TRUE(vek::StartsWithNoCase(L"", L"anything"));
    EXPECT_TRUE(vek::StartsWithNoCase(L"STR_", L"str_hello"));
    EXPECT_FALSE(vek::StartsWithNoCase(L"STR_HELLO", L"str_"));
}

TEST(CaseInsensitive, UpperAndLowerCaseWholeTexts) {
    EXPECT_EQ(L"ZAŻÓŁĆ GĘŚLĄ JAŹŃ 12", vek::ucase(L"zażółć gęślą jaźń 12"));
    EXPECT_EQ(L"zażółć gęślą jaźń 12", vek::lcase(L"ZAŻÓŁĆ GĘŚLĄ JAŹŃ 12"));
    EXPECT_EQ(L"", vek::ucase(L""));
    EXPECT_EQ(L's', vek::FoldCase(0x017F));
    EXPECT_EQ(vek::FoldCase(0x03C3), vek::FoldCase(0x03C2)); // both sigmas
}

TEST(Utf8, GoldenValues) {
    EXPECT_EQ(Bytes({0xC3, 0xA9}), vek::WideToUtf8(std::wstring(1, 0x00E9)));
    EXPECT_EQ(Bytes({0xE2, 0x82, 0xAC}), vek::WideToUtf8(std::wstring(1, 0x20AC)));
    EXPECT_EQ(std::wstring(1, 0x00E9), vek::Utf8ToWide(Bytes({0xC3, 0xA9})));
    EXPECT_EQ(std::wstring(1, 0x20AC), vek::Utf8ToWide(Bytes({0xE2, 0x82, 0xAC})));
    // Each surrogate is encoded on its own.
    EXPECT_EQ(Bytes({0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}),
              vek::WideToUtf8(std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}));
    std::string appended = "x";
    vek::WideToUtf8(L"y", appended);
    EXPECT_EQ("xy", appended);
}

TEST(Utf8, DecodingOddInput) {
    struct Case {
        std::string bytes;
        std::wstring units;
    };
    const Case cases[] = {
        {Bytes({0x80}), std::wstring(1, 0xFF80)}, // stray continuation byte
        {Bytes({'a', 0xBF, 'b'}), std::wstring{L'a', wchar_t(0xFFBF), L'b'}},
        {Bytes({0xC0, 0x80}), L""},                                                        // a zero unit is dropped
        {Bytes({0xF0, 0x9F, 0x98, 0x80}), std::wstring{wchar_t(0x07D8), wchar_t(0xFF80)}}, // F0 read as E0
        {Bytes({'a', 0xE2, 0x82}), L"a"},                                                  // cut off at the end
        {Bytes({'a', 0xE2}), L"a"},
        {Bytes({'a', 0xC3}), L"a"},
        {Bytes({'a', 0, 'b'}), L"a"}, // a zero ends the text
        // Plain runs go eight bytes at a time: the same at a word's end.
        {Bytes({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x80, 'j'}),
         std::wstring(L"abcdefgh") + wchar_t(0xFF80) + L"j"},
        {Bytes({'a', 'b', 'c', 'd', 'e', 'f', 'g', 0xC5, 0x82}), L"abcdefg\u0142"},
        {Bytes({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 0, 'k'}), L"abcdefghi"},
        {Bytes({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 0xE2, 0x82}), L"abcdefghi"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        EXPECT_EQ(c.units, vek::Utf8ToWide(c.bytes));
    }
    std::wstring out = L"x";
    vek::Utf8ToWide("\xC5\x82", out);
    EXPECT_EQ(L"xł", out);
}

TEST(Numbers, WcsToUL) {
    struct Case {
        const wchar_t* text;
        int base;
        uint32_t value;
        size_t used;
    };
    const Case cases[] = {
        {L"123", 10, 123, 3},
        {L"  \t42abc", 10, 42, 5},
        {L"+7", 10, 7, 2},
        {L"-1", 10, 4294967295u, 2},
        {L"-2", 10, 4294967294u, 2},
        {L"4294967295", 10, 4294967295u, 10},
        {L"4294967296", 10, 4294967295u, 10},
        {L"-4294967296", 10, 4294967295u, 11},
        {L"99999999999999999999999x", 10, 4294967295u, 23},
        {L"0x1F", 0, 31, 4},
        {L"0X1f", 16, 31, 4},
        {L"1f", 16, 31, 2},
        {L"017", 0, 15, 3},
        {L"0", 0, 0, 1},
        {L"019", 0, 1, 2},
        {L"z", 36, 35, 1},
        {L"1012", 2, 5, 3},
        {L"abc", 10, 0, 0},
        {L"", 10, 0, 0},
        {L"   ", 10, 0, 0},
        {L"-", 10, 0, 0},
        {L"0x", 16, 0, 0},
        {L"12", 1, 0, 0},
        {L"12", 37, 0, 0},
        {L"\u0663", 10, 0, 0}, // only ASCII digits count
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "\"" << c.text << "\" base " << c.base);
        const wchar_t* end = nullptr;
        EXPECT_EQ(c.value, vek::WcsToUL(c.text, &end, c.base));
        EXPECT_EQ(c.used, static_cast<size_t>(end - c.text));
    }
    const wchar_t* end = L"x";
    EXPECT_EQ(0u, vek::WcsToUL(nullptr, &end, 10));
    EXPECT_EQ(nullptr, end);
    EXPECT_EQ(10u, vek::WcsToUL(L"10", nullptr, 10));
}

TEST(Numbers, WcsToLSaturates) {
    struct Case {
        const wchar_t* text;
        int32_t value;
    };
    const Case cases[] = {
        {L"-15", -15},
        {L"2147483647", INT32_MAX},
        {L"2147483648", INT32_MAX},
        {L"-2147483648", INT32_MIN},
        {L"-2147483649", INT32_MIN},
        {L"-99999999999999999999", INT32_MIN},
        {L"4294967296", INT32_MAX},
        {L"0x7fffffff", INT32_MAX},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value, vek::WcsToL(c.text, nullptr, 0)) << c.text;
    }
}

TEST(Numbers, SixtyFourBitForms) {
    EXPECT_EQ(UINT64_C(18446744073709551615), vek::WcsToUI64(L"18446744073709551615", nullptr, 10));
    EXPECT_EQ(UINT64_C(18446744073709551615), vek::WcsToUI64(L"18446744073709551616", nullptr, 10));
    EXPECT_EQ(UINT64_C(18446744073709551615), vek::WcsToUI64(L"-1", nullptr, 10));
    EXPECT_EQ(UINT64_C(4294967296), vek::WcsToUI64(L"4294967296", nullptr, 10));
    EXPECT_EQ(INT64_MIN, vek::WcsToI64(L"-9223372036854775808", nullptr, 10));
    EXPECT_EQ(INT64_MIN, vek::WcsToI64(L"-9223372036854775809", nullptr, 10));
    EXPECT_EQ(INT64_MAX, vek::WcsToI64(L"9223372036854775808", nullptr, 10));
    EXPECT_EQ(-5, vek::WcsToI64(L" -5", nullptr, 10));
}

TEST(Numbers, StrToFloat) {
    EXPECT_FLOAT_EQ(1.5f, vek::StrToFloat(L"1.5"));
    EXPECT_FLOAT_EQ(-22.5f, vek::StrToFloat(L"  -2.25e1"));
    EXPECT_FLOAT_EQ(3.0f, vek::StrToFloat(L"3,5")); // ',' is never a decimal point
    EXPECT_FLOAT_EQ(0.25f, vek::StrToFloat(L".25x"));
    EXPECT_EQ(0.0f, vek::StrToFloat(L"abc"));
    EXPECT_EQ(0.0f, vek::StrToFloat(L""));
    EXPECT_EQ(0.0f, vek::StrToFloat(nullptr));
}

class NarrowText : public testing::Test {
protected:
    void SetUp() override { m_saved = vek::GetCurrentLocaleName(); }
    void TearDown() override { vek::SetCurrentLocale(m_saved); }
    std::wstring m_saved;
};

TEST_F(NarrowText, FollowsTheCurrentLocale) {
    const std::string polish = Bytes({'Z', 0xA5, 0xB9, 0x8C});
    ASSERT_TRUE(vek::SetCurrentLocale(L"pl_PL"));
    EXPECT_EQ(L"pl_PL", vek::GetCurrentLocaleName());
    EXPECT_EQ(L"ZĄąŚ", vek::NarrowToWide(polish));
    EXPECT_EQ(polish, vek::WideToNarrow(L"ZĄąŚ"));
    EXPECT_EQ("?", vek::WideToNarrow(L"\u00E6"));

    ASSERT_TRUE(vek::SetCurrentLocale(L"en_US"));
    EXPECT_EQ(L"\u00C6\u20AC", vek::ToWide(Bytes({0xC6, 0x80})));
    EXPECT_EQ("?", vek::WideToNarrow(L"ą"));

    ASSERT_TRUE(vek::SetCurrentLocale(L""));
    EXPECT_EQ(L"\u00A5\u0080", vek::NarrowToWide(Bytes({0xA5, 0x80})));
    EXPECT_EQ(Bytes({0xFF, '?'}), vek::WideToNarrow(L"\u00FF\u0100"));
}

TEST_F(NarrowText, UnknownLocaleLeavesTheCurrentOne) {
    ASSERT_TRUE(vek::SetCurrentLocale(L"pl_PL"));
    EXPECT_FALSE(vek::SetCurrentLocale(L"xx_YY"));
    EXPECT_EQ(L"pl_PL", vek::GetCurrentLocaleName());
    EXPECT_EQ(L"Ą", vek::NarrowToWide(Bytes({0xA5})));
}

class EncodingValidator : public testing::Test {
protected:
    static std::wstring MakeFile(const char* name, size_t size) {
        const std::filesystem::path path = std::filesystem::path(testing::TempDir()) / name;
        std::ofstream(path, std::ios::binary) << std::string(size, 'x');
        return path.wstring();
    }
};

TEST_F(EncodingValidator, Rules) {
    const std::wstring empty = MakeFile("morvheld_enc_empty.txt", 0);
    const std::wstring one = MakeFile("morvheld_enc_one.txt", 1);
    const std::wstring two = MakeFile("morvheld_enc_two.txt", 2);
    const std::wstring three = MakeFile("morvheld_enc_three.txt", 3);
    struct Case {
        std::wstring file;
        uint32_t encoding;
        bool read, bom;
        int32_t line; // 0: allowed
        const wchar_t* message;
    };
    const Case cases[] = {
        {L"w.txt", vek::kEncodingUtf8, false, false, 0, nullptr},
        {L"w.txt", vek::kEncodingNarrow, false, false, 0, nullptr},
        {L"w.txt", vek::kEncodingUtf16, false, true, 0, nullptr},
        {L"w.txt", vek::kEncodingUtf16, false, false, 351, L"BOM must be always present for UTF-16"},
        {L"w.txt", vek::kEncodingUtf16, true, false, 351, L"BOM must be always present for UTF-16"},
        {L"w.txt", vek::kEncodingDetect, false, true, 354, L"Autodetection makes no sense for write mode"},
        {L"r.txt", vek::kEncodingDetect, true, false, 357, L"Autodetection without BOM is not supported"},
        {two, vek::kEncodingUtf8, true, true, 363, L"Invalid BOM"},
        {three, vek::kEncodingUtf8, true, true, 0, nullptr},
        {one, vek::kEncodingUtf16, true, true, 365, L"Invalid BOM"},
        {two, vek::kEncodingUtf16, true, true, 0, nullptr},
        {empty, vek::kEncodingNarrow, true, true, 0, nullptr},
        {empty, vek::kEncodingDetect, true, true, 0, nullptr},
        {L"/no/such/dir/missing.txt", vek::kEncodingUtf8, true, true, 363, L"Invalid BOM"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << " encoding " << c.encoding << " read " << c.read << " bom "
                                        << c.bom);
        if (c.line == 0) {
            EXPECT_NO_THROW(vek::CEncodingValidator::Check(c.file, c.encoding, c.read, c.bom));
            continue;
        }
        try {
            vek::CEncodingValidator::Check(c.file, c.encoding, c.read, c.bom);
            ADD_FAILURE() << "no exception";
        } catch (const vek::CFileException& e) {
            EXPECT_EQ(5u, e.GetCode());
            EXPECT_EQ(c.file, e.GetFileName());
            EXPECT_EQ(L"vek::CEncodingValidator::Check", e.GetFunction());
            EXPECT_EQ(L"Strings", e.GetSourceFile());
            EXPECT_EQ(c.line, e.GetLine());
            EXPECT_NE(std::wstring::npos, e.GetText().find(std::wstring(L"Details: ") + c.message + L"\r\n"));
        }
    }
    for (const std::wstring& f : {empty, one, two, three}) {
        std::filesystem::remove(f);
    }
}

} // namespace
