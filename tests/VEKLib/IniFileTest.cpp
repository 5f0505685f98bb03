#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <variant>

#include "VEKLib/Config.h"
#include "VEKLib/Exception.h"
#include "VEKLib/IniFile.h"
#include "platform/Locale.h"

namespace {

namespace fs = std::filesystem;

struct Fault {
    const wchar_t* function;
    int32_t line;
    std::wstring message;
};

// Runs action and checks that it throws a CException with exactly this
// function, line and message.
void ExpectFault(const std::function<void()>& action, const Fault& fault, const std::string& context) {
    try {
        action();
        ADD_FAILURE() << "no exception: " << context;
    } catch (const vek::CException& e) {
        EXPECT_EQ(e.GetDetails(), fault.message) << context;
        EXPECT_EQ(e.GetFunction(), fault.function) << context;
        EXPECT_EQ(e.GetLine(), fault.line) << context;
        EXPECT_EQ(e.GetSourceFile(), L"IniFile") << context;
    }
}

vek::CIniFile Parsed(const std::wstring& text) {
    vek::CIniFile ini;
    ini.Text() = text;
    ini.Parse();
    return ini;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class TempFolder {
public:
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = fs::temp_directory_path() / (std::string("morvheld_ini_") + info->name());
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~TempFolder() { fs::remove_all(m_path); }
    std::wstring operator/(const std::string& name) const { return (m_path / name).wstring(); }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const wchar_t* const kParse = L"vek::CIniFile::Parse";
const wchar_t* const kExpression = L"vek::CIniFile::GetExpression";
const wchar_t* const kGetValue = L"vek::CIniFile::GetValue";

TEST(IniFile, ParseFaults) {
    const struct {
        const wchar_t* text;
        Fault fault;
    } cases[] = {
        {L"", {kParse, 72, L"Buffer not ready"}},
        {L"[My Section]\n", {kParse, 118, L"Invalid section header"}},
        {L"[Main", {kParse, 118, L"Invalid section header"}},
        {L"[Ma_in]", {kParse, 118, L"Invalid section header"}},
        {L"[Ma.in]", {kParse, 118, L"Invalid section header"}},
        {L"[[Main]", {kParse, 96, L"Invalid header, double '[' found!"}},
        {L"a=1\n[Main]", {kParse, 143, L"Orphan value"}},
        {L" \n[Main]", {kParse, 143, L"Orphan value"}},
        {L"[Main]\nabc\n", {kParse, 130, L"Invalid expression found in section: Main"}},
        {L"[Main]\na =\n", {kParse, 130, L"Invalid expression found in section: Main"}},
        {L"[Main]\n= 1\n", {kParse, 130, L"Invalid expression found in section: Main"}},
        {L"[Main]\na = 1 = 2\n", {kExpression, 213, L"Redundant characters: a = 1 = 2"}},
        {L"[Main]\na = \"1=2\"\n", {kExpression, 213, L"Redundant characters: a = \"1=2\""}},
        {L"[Main]\na = x \"y\"\n", {kExpression, 229, L"Redundant characters: a = x \"y\""}},
        {L"[Main]\na = \"x\" y\n", {kExpression, 233, L"Redundant characters: a = \"x\" y"}},
    };
    for (const auto& c : cases) {
        ExpectFault([&] { Parsed(c.text); }, c.fault, Narrow(c.text));
    }
}

TEST(IniFile, FullMessageText) {
    try {
        Parsed(L"x\n[Main]");
        FAIL();
    } catch (const vek::CException& e) {
        EXPECT_EQ(e.GetText(),
                  L"Details: Orphan value\r\nSource file: IniFile\r\nFunction: "
                  L"vek::CIniFile::Parse\r\nLine: 143");
    }
}

TEST(IniFile, ParseLayout) {
    // Only comments and blank lines: one unnamed, empty section.
    vek::CIniFile comments = Parsed(L"; one\r\n\r\n;two\n");
    ASSERT_EQ(comments.GetSections().size(), 1u);
    EXPECT_EQ(comments.GetSections()[0].name, L"");
    EXPECT_TRUE(comments.GetSections()[0].entries.empty());

    // CR, LF and CR LF endings; no final line end; '[' mid-line drops what came before.
    vek::CIniFile ini = Parsed(L"[Main]\ra = 1\r\nmax hp = 2\nxyz[Second];c\nk=\"v\"");
    const auto& sections = ini.GetSections();
    ASSERT_EQ(sections.size(), 3u);
    EXPECT_EQ(sections[0].name, L"");
    EXPECT_EQ(sections[1].name, L"Main");
    ASSERT_EQ(sections[1].entries.size(), 2u);
    EXPECT_EQ(sections[1].entries[1].key, L"maxhp");
    EXPECT_EQ(sections[1].entries[1].value, L"2");
    EXPECT_EQ(sections[2].name, L"Second");
    ASSERT_EQ(sections[2].entries.size(), 1u);
    EXPECT_EQ(sections[2].entries[0].value, L"\"v\"");

    // Parsing again rebuilds the same sections.
    ini.Parse();
    EXPECT_EQ(ini.GetSections().size(), 3u);
    EXPECT_EQ(ini.GetSections()[1].entries.size(), 2u);
}

TEST(IniFile, NationalLettersInHeader) {
    if (!platform::HasUnicodeRules()) {
        GTEST_SKIP() << "no Unicode character rules on this system";
    }
    EXPECT_TRUE(vek::IsAlnum(L'\u0142')); // l with stroke
    EXPECT_TRUE(vek::IsAlnum(L'\u0436')); // Cyrillic zhe
    EXPECT_FALSE(vek::IsAlnum(L'_'));
    EXPECT_FALSE(vek::IsAlnum(static_cast<wchar_t>(0xD800)));
    vek::CIniFile ini = Parsed(L"[Za\u017C\u00F3\u0142\u0107]\nk=1");
    EXPECT_EQ(ini.GetValue(L"k", L"ZA\u017B\u00D3\u0141\u0106", L"-"), L"1");
}

TEST(IniFile, QuotedValues) {
    vek::CIniFile ini = Parsed(
        L"[Main]\n"
        L"quoted = \"two  words\" ; comment\n"
        L"bare = two  words\n"
        L"cut = \"x;y\"\n"
        L"empty = \"\"\n");
    EXPECT_EQ(ini.GetValue(L"quoted", L"Main", L""), L"\"two  words\"");
    EXPECT_EQ(ini.GetStringValue(L"quoted", L"Main", L""), L"two  words");
    EXPECT_EQ(ini.GetValue(L"bare", L"Main", L""), L"twowords");
    ExpectFault([&] { ini.GetStringValue(L"bare", L"Main", L""); },
                {L"vek::CIniFile::GetString", 186, L"Quotation mark expected"}, "bare");
    EXPECT_EQ(ini.GetValue(L"cut", L"Main", L""), L"\"x");
    EXPECT_EQ(ini.GetStringValue(L"cut", L"Main", L""), L"x");
    EXPECT_EQ(ini.GetStringValue(L"empty", L"Main", L"default"), L"");
    EXPECT_EQ(ini.GetStringValue(L"missing", L"Main", nullptr), L"");
    EXPECT_EQ(ini.GetStringValue(L"missing", L"Main", L"d"), L"d");

    size_t position = 0;
    EXPECT_EQ(ini.GetString(L" \t\"a b\"rest", position), L"a b");
    EXPECT_EQ(position, 7u);
}

TEST(IniFile, Lookup) {
    vek::CIniFile empty;
    ExpectFault([&] { empty.GetValue(L"k", L"Main", L""); }, {kGetValue, 256, L"Buffer not parsed"}, "unparsed");

    vek::CIniFile ini = Parsed(L"[Main]\nhp=1\nhp=2\n[main]\nhp=3\n");
    EXPECT_EQ(ini.GetValue(L"HP", L"mAIN", L""), L"1");
    EXPECT_EQ(ini.GetCurrentSection(), 1u);
    EXPECT_EQ(ini.GetValue(L"mp", L"Main", L"dflt"), L"dflt");
    ExpectFault([&] { ini.GetValue(L"hp", L"Other", L""); }, {kGetValue, 269, L"Section not found: Other"}, "section");
    EXPECT_EQ(ini.GetCurrentSection(), vek::CIniFile::kNoSection);
}

// Typed getter cases: raw value, getter, flag sums, then either the value
// (as text, to keep one table) or the line and message of the refusal.
enum class Getter { U32, I32, U16, U8, I64, Float, Bool, Color };

std::wstring Read(vek::CIniFile& ini, Getter getter, bool flags) {
    const std::wstring k = L"k";
    const std::wstring s = L"S";
    switch (getter) {
    case Getter::U32:
        return std::to_wstring(ini.GetValue(k, s, uint32_t{7}, flags));
    case Getter::I32:
        return std::to_wstring(ini.GetValue(k, s, int32_t{7}, flags));
    case Getter::U16:
        return std::to_wstring(ini.GetValue(k, s, uint16_t{7}, flags));
    case Getter::U8:
        return std::to_wstring(ini.GetValue(k, s, uint8_t{7}, flags));
    case Getter::I64:
        return std::to_wstring(ini.GetValue(k, s, int64_t{7}, flags));
    case Getter::Float:
        return std::to_wstring(ini.GetValue(k, s, 7.0f));
    case Getter::Bool:
        return ini.GetValue(k, s, false) ? L"true" : L"false";
    case Getter::Color:
        return std::to_wstring(ini.GetHexColorValue(k, s, 7));
    }
    return L"";
}

TEST(IniFile, TypedGetters) {
    const std::wstring type = L"Invalid type: k";
    const std::wstring high = L" (too high numeric value for ";
    const struct {
        const wchar_t* raw;
        Getter getter;
        bool flags;
        std::variant<const wchar_t*, std::pair<int32_t, std::wstring>> expected;
    } cases[] = {
        {L"4294967294", Getter::U32, false, L"4294967294"},
        {L"4294967295", Getter::U32, false, std::pair{311, type + high + L"unsigned int variable)"}},
        {L"4294967296", Getter::U32, false, std::pair{311, type + high + L"unsigned int variable)"}},
        {L"12a", Getter::U32, false, std::pair{302, type}},
        {L"1|2", Getter::U32, false, std::pair{302, type}},
        {L"1|2", Getter::U32, true, L"3"},
        {L"1|4294967295", Getter::U32, true, std::pair{311, type + high + L"unsigned int variable)"}},

        {L"-5", Getter::I32, false, L"-5"},
        {L"2147483646", Getter::I32, false, L"2147483646"},
        {L"2147483647", Getter::I32, false, std::pair{338, type + high + L"signed int variable)"}},
        {L"99999999999", Getter::I32, false, std::pair{338, type + high + L"signed int variable)"}},
        {L"-2147483647", Getter::I32, false, L"-2147483647"},
        {L"-2147483648", Getter::I32, false,
         std::pair{341, type + L" (too low numeric value for signed int variable)"}},
        {L"-99999999999", Getter::I32, false,
         std::pair{341, type + L" (too low numeric value for signed int variable)"}},
        {L"5-", Getter::I32, false, std::pair{325, type}},
        {L"-5", Getter::I32, true, std::pair{325, type}},
        {L"1|2", Getter::I32, true, L"3"},

        {L"65534", Getter::U16, false, L"65534"},
        {L"65535", Getter::U16, false, std::pair{366, type + high + L"unsigned short variable)"}},
        {L"65536", Getter::U16, false, std::pair{366, type + high + L"unsigned short variable)"}},
        {L"-1", Getter::U16, false, std::pair{357, type}},

        {L"254", Getter::U8, false, L"254"},
        {L"255", Getter::U8, false, std::pair{391, type + high + L"unsigned char variable)"}},
        {L"256", Getter::U8, false, std::pair{391, type + high + L"unsigned char variable)"}},
        {L"128|128|1", Getter::U8, true, L"129"},
        {L"x", Getter::U8, false, std::pair{382, type}},

        {L"5000000000", Getter::I64, false, L"5000000000"},
        {L"9223372036854775807", Getter::I64, false, L"9223372036854775807"},
        {L"9223372036854775808", Getter::I64, false, std::pair{416, type + high + L"64-bit integer variable)"}},
        {L"4294967296|1", Getter::I64, true, L"4294967297"},
        {L"-5", Getter::I64, false, std::pair{407, type}},

        {L"0,5", Getter::Float, false, L"0.500000"},
        {L"0.5", Getter::Float, false, L"0.500000"},
        {L"-1.5", Getter::Float, false, std::pair{452, type}},
        {L"1e5", Getter::Float, false, std::pair{452, type}},

        {L"1", Getter::Bool, false, L"true"},
        {L"0", Getter::Bool, false, L"false"},
        {L"true", Getter::Bool, false, std::pair{479, type}},
        {L"01", Getter::Bool, false, std::pair{479, type}},

        {L"#FF8000", Getter::Color, false, L"16744448"},
        {L"255", Getter::Color, false, L"255"},
        {L"#fffffffe", Getter::Color, false, L"4294967294"},
        {L"#ffffffff", Getter::Color, false, std::pair{548, type + high + L"unsigned int variable)"}},
        {L"#100000000", Getter::Color, false, std::pair{548, type + high + L"unsigned int variable)"}},
        {L"-2", Getter::Color, false, L"4294967294"},
    };
    for (const auto& c : cases) {
        vek::CIniFile ini = Parsed(std::wstring(L"[S]\nk = ") + c.raw + L"\n");
        const std::string context = Narrow(c.raw) + " getter " + std::to_string(static_cast<int>(c.getter));
        if (const auto* value = std::get_if<const wchar_t*>(&c.expected)) {
            EXPECT_EQ(Read(ini, c.getter, c.flags), *value) << context;
        } else {
            const auto& refusal = std::get<1>(c.expected);
            const wchar_t* function = c.getter == Getter::Color ? L"vek::CIniFile::GetHexColorValue" : kGetValue;
            ExpectFault([&] { Read(ini, c.getter, c.flags); }, {function, refusal.first, refusal.second}, context);
        }
    }
}

// A missing key reads as the default written out, and that text meets the
// same checks as a written value: each limit at, just inside and beyond.
TEST(IniFile, MissingKeyDefaultMeetsTheChecks) {
    vek::CIniFile ini = Parsed(L"[S]\nother = 1\n");
    const std::wstring tooHighU32 = L"Invalid type: k (too high numeric value for unsigned int variable)";
    const std::wstring invalid = L"Invalid type: k";
    const struct {
        const char* name;
        std::function<int64_t()> get;
        int64_t value;        // when accepted
        std::wstring refusal; // empty when accepted
    } cases[] = {
        {"u32 max", [&] { return ini.GetValue(L"k", L"S", uint32_t{4294967295u}); }, 0, tooHighU32},
        {"u32 max-1", [&] { return ini.GetValue(L"k", L"S", uint32_t{4294967294u}); }, 4294967294, L""},
        {"i32 max", [&] { return ini.GetValue(L"k", L"S", int32_t{2147483647}); }, 0,
         L"Invalid type: k (too high numeric value for signed int variable)"},
        {"i32 max-1", [&] { return ini.GetValue(L"k", L"S", int32_t{2147483646}); }, 2147483646, L""},
        {"i32 min", [&] { return ini.GetValue(L"k", L"S", int32_t{-2147483647 - 1}); }, 0,
         L"Invalid type: k (too low numeric value for signed int variable)"},
        {"i32 min+1", [&] { return ini.GetValue(L"k", L"S", int32_t{-2147483647}); }, -2147483647, L""},
        {"i32 negative, flag sums", [&] { return ini.GetValue(L"k", L"S", int32_t{-5}, true); }, 0, invalid},
        {"i32 zero, flag sums", [&] { return ini.GetValue(L"k", L"S", int32_t{0}, true); }, 0, L""},
        {"u16 max", [&] { return ini.GetValue(L"k", L"S", uint16_t{65535}); }, 0,
         L"Invalid type: k (too high numeric value for unsigned short variable)"},
        {"u16 max-1", [&] { return ini.GetValue(L"k", L"S", uint16_t{65534}); }, 65534, L""},
        {"u8 max", [&] { return ini.GetValue(L"k", L"S", uint8_t{255}); }, 0,
         L"Invalid type: k (too high numeric value for unsigned char variable)"},
        {"u8 max-1", [&] { return ini.GetValue(L"k", L"S", uint8_t{254}); }, 254, L""},
        {"i64 negative", [&] { return ini.GetValue(L"k", L"S", int64_t{-9}); }, 0, invalid},
        {"i64 positive", [&] { return ini.GetValue(L"k", L"S", int64_t{9}); }, 9, L""},
        {"bool true", [&] { return int64_t{ini.GetValue(L"k", L"S", true)}; }, 1, L""},
        {"colour all ones", [&] { return int64_t{ini.GetHexColorValue(L"k", L"S", 0xFFFFFFFFu)}; }, 0, tooHighU32},
        {"colour all ones - 1", [&] { return int64_t{ini.GetHexColorValue(L"k", L"S", 0xFFFFFFFEu)}; }, 0xFFFFFFFE,
         L""},
    };
    for (const auto& c : cases) {
        try {
            const int64_t value = c.get();
            EXPECT_TRUE(c.refusal.empty()) << c.name << " was accepted";
            EXPECT_EQ(value, c.value) << c.name;
        } catch (const vek::CException& e) {
            EXPECT_EQ(e.GetDetails(), c.refusal) << c.name;
        }
    }
    // The float default is written with two decimals, so it reads back
    // rounded; a sign is no float character.
    EXPECT_FLOAT_EQ(ini.GetValue(L"k", L"S", 1.234f), 1.23f);
    EXPECT_THROW(ini.GetValue(L"k", L"S", -1.5f), vek::CException);
}

TEST(IniFile, SumFlags) {
    const struct {
        const wchar_t* raw;
        uint64_t sum;
    } cases[] = {
        {L"1|2|4", 7}, {L"4|4|1", 5}, {L"4|1|4", 9}, {L"4|4|4", 4}, {L"", 0}, {L"18446744073709551615|1", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vek::CIniFile::SumFlags(c.raw), c.sum) << Narrow(c.raw);
    }
}

TEST(IniFile, WriteEntry) {
    const struct {
        const wchar_t* name;
        vek::CValue value;
        const wchar_t* line;
    } cases[] = {
        {L"hp", vek::CValue::FromInt(12), L"hp = 12\r\n"},
        {L"name", vek::CValue(L"Old  Bob"), L"name = \"Old  Bob\"\r\n"},
        {L"flag", vek::CValue::FromBool(true), L"flag = 1\r\n"},
        {L"scale", vek::CValue::FromFloat(0.5f), L"scale = 0.50\r\n"},
        {L"none", vek::CValue(), L"none = \"\"\r\n"},
        {L"blank", vek::CValue(L""), L"blank = \"\"\r\n"},
    };
    for (const auto& c : cases) {
        std::wstring out = L"x";
        vek::CIniFile::WriteEntry(out, c.name, c.value);
        EXPECT_EQ(out, std::wstring(L"x") + c.line);
        // What is written reads back.
        vek::CIniFile ini = Parsed(L"[S]\n" + out.substr(1));
        EXPECT_EQ(ini.GetSections()[1].entries.size(), 1u);
    }
}

TEST(IniFile, WriteEntryRefusesWhatCannotBeRead) {
    const struct {
        const wchar_t* name;
        const wchar_t* text;
    } cases[] = {
        {L"k", L"say \"hi\""}, {L"k", L"a;b"},    {L"k", L"a=b"}, {L"k", L"[a]"}, {L"k", L"a\r\nb"},
        {L"k", L"a\nb"},       {L"max hp", L"x"}, {L"a=b", L"x"}, {L"", L"x"},
    };
    for (const auto& c : cases) {
        std::wstring out = L"kept";
        try {
            vek::CIniFile::WriteEntry(out, c.name, vek::CValue(c.text));
            ADD_FAILURE() << Narrow(c.text);
        } catch (const vek::CException& e) {
            EXPECT_EQ(e.GetFunction(), L"vek::CIniFile::WriteEntry");
            if (*c.name != 0) {
                EXPECT_NE(e.GetDetails().find(c.name), std::wstring::npos) << Narrow(e.GetDetails());
            }
        }
        EXPECT_EQ(out, L"kept");
    }
}

TEST(IniFile, SaveCreatesFolderAndLoadReadsBack) {
    TempFolder folder;
    const std::wstring path = folder / "sub/data.ini";
    vek::CIniFile writer;
    writer.Output() = L"[Main]\r\n";
    vek::CIniFile::WriteEntry(writer.Output(), L"hp", vek::CValue::FromU16(30));
    vek::CIniFile::WriteEntry(writer.Output(), L"title", vek::CValue(L"\u017Bar"));
    writer.SaveToFile(path, 2);
    EXPECT_EQ(ReadBytes(folder.Path() / "sub/data.ini"),
              "\xEF\xBB\xBF[Main]\r\nhp = 30\r\ntitle = \"\xC5\xBB"
              "ar\"\r\n");

    vek::CIniFile reader;
    reader.Load(path, 0);
    EXPECT_EQ(reader.GetValue(L"hp", L"main", uint16_t{0}), 30);
    EXPECT_EQ(reader.GetStringValue(L"title", L"main", L""), L"\u017Bar");
}

} // namespace
