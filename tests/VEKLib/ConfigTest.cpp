#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "VEKLib/Config.h"
#include "VEKLib/Exception.h"

namespace {

namespace fs = std::filesystem;
using vek::CConfig;
using vek::CValue;

class TempFolder {
public:
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = fs::temp_directory_path() / (std::string("morvheld_cfg_") + info->name());
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~TempFolder() { fs::remove_all(m_path); }
    std::wstring operator/(const std::string& name) const { return (m_path / name).wstring(); }

private:
    fs::path m_path;
};

std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream(fs::path(path), std::ios::binary) << bytes;
}

// One entry of every kind, in kind order.
void AddAllKinds(CConfig& config) {
    config.AddEntry(L"empty", CValue());
    config.AddEntry(L"lang", L"en");
    config.AddEntry(L"log", CValue::FromBool(true));
    config.AddEntry(L"offset", CValue::FromInt(12));
    config.AddEntry(L"level", CValue::FromU8(5));
    config.AddEntry(L"fps", CValue::FromU16(30));
    config.AddEntry(L"seed", CValue::FromU32(7));
    config.AddEntry(L"big", CValue::FromI64(5000000000));
    config.AddEntry(L"scale", CValue::FromFloat(0.5f));
}

TEST(Value, ToString) {
    const struct {
        CValue value;
        const wchar_t* text;
    } cases[] = {
        {CValue(), L""},
        {CValue(L"a b"), L"a b"},
        {CValue::FromBool(true), L"1"},
        {CValue::FromBool(false), L"0"},
        {CValue::FromInt(-7), L"-7"},
        {CValue::FromU8(200), L"200"},
        {CValue::FromU16(65535), L"65535"},
        {CValue::FromU32(4294967295u), L"4294967295"},
        {CValue(int64_t{-5}), L"-5"},
        {CValue::FromFloat(0.5f), L"0.50"},
        {CValue(9, L"5"), L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.value.ToString(), c.text) << c.value.GetKind();
    }
}

TEST(Value, FromText) {
    EXPECT_EQ(CValue(CValue::kU8, L"300"), CValue::FromU8(44));
    EXPECT_EQ(CValue(CValue::kBool, L"2"), CValue::FromBool(true));
    EXPECT_EQ(CValue(CValue::kBool, L"0"), CValue::FromBool(false));
    EXPECT_EQ(CValue(CValue::kInt, L"-1"), CValue::FromInt(-1));
    EXPECT_EQ(CValue(CValue::kU16, L"70000"), CValue::FromU16(4464));
    EXPECT_EQ(CValue(CValue::kI64, L"-5"), CValue(int64_t{-5}));
    EXPECT_EQ(CValue(CValue::kFloat, L"0.25"), CValue::FromFloat(0.25f));
    EXPECT_EQ(CValue(CValue::kText, L"x"), CValue(L"x"));
    EXPECT_EQ(CValue(CValue::kEmpty, L"x"), CValue());
    EXPECT_EQ(CValue(9, L"5").GetKind(), 9u);
    EXPECT_EQ(CValue(9, L"5").GetU32(), 0u);
}

TEST(Config, FileNames) {
    CConfig config(L"game");
    EXPECT_EQ(config.GetFileName(), L"game.cfg");
    config.SetFormat(CConfig::kFormatXml, 2);
    EXPECT_EQ(config.GetFileName(), L"game.xml");
    config.SetFormat(CConfig::kFormatIni, 2);
    EXPECT_EQ(config.GetFileName(), L"game.ini");
    config.SetFileName(L"other.txt");
    config.SetFormat(2, 2);
    EXPECT_EQ(config.GetFileName(), L"other.txt");
}

TEST(Config, UnknownFormatDoesNothing) {
    TempFolder folder;
    CConfig config(L"game");
    config.AddEntry(L"a", CValue::FromInt(1));
    config.SetFormat(2, 1);
    config.SetFileName(folder / "game.ini");
    config.Save();
    EXPECT_FALSE(fs::exists(fs::path(folder / "game.ini")));
    config.Load(false);
    EXPECT_EQ(config.FindEntry(L"a").GetKind(), CValue::kEmpty); // not even reset
}

TEST(Config, FindAndSetTakeTheFirstMatch) {
    CConfig config(L"game");
    config.AddEntry(L"Key", CValue::FromInt(1));
    config.AddEntry(L"key", CValue::FromInt(2));
    EXPECT_EQ(config.FindEntry(L"KEY").GetKind(), CValue::kEmpty); // no value before the reset
    config.ResetToDefaults();
    EXPECT_EQ(config.FindEntry(L"KEY"), CValue::FromInt(1));
    config.SetValue(L"kEY", L"text");
    EXPECT_EQ(config.GetEntries()[0].value, CValue(L"text"));
    EXPECT_EQ(config.GetEntries()[1].value, CValue::FromInt(2));
    config.SetValue(L"none", CValue::FromInt(3));
    EXPECT_EQ(config.FindEntry(L"none"), CValue());
    config.Clear();
    EXPECT_TRUE(config.GetEntries().empty());
}

TEST(Config, SaveWritesOneSection) {
    TempFolder folder;
    CConfig config(L"game");
    AddAllKinds(config);
    config.AddEntry(L"cmd", L"");
    config.ResetToDefaults();
    config.SetFileName(folder / "game.ini");
    config.Save(); // encoding 0 writes narrow text, no byte-order mark
    EXPECT_EQ(ReadBytes(folder / "game.ini"),
              "[game]\r\n"
              "empty = \"\"\r\n"
              "lang = \"en\"\r\n"
              "log = 1\r\n"
              "offset = 12\r\n"
              "level = 5\r\n"
              "fps = 30\r\n"
              "seed = 7\r\n"
              "big = 5000000000\r\n"
              "scale = 0.50\r\n"
              "cmd = \"\"\r\n");
}

TEST(Config, SaveRefusesWhatCannotBeReadBack) {
    TempFolder folder;
    const std::wstring path = folder / "game.ini";
    WriteBytes(path, "old");

    CConfig config(L"game");
    config.AddEntry(L"first", CValue::FromInt(1));
    config.AddEntry(L"motto", L"say \"hi\"");
    config.ResetToDefaults();
    config.SetFileName(path);
    try {
        config.Save();
        ADD_FAILURE() << "saved a quotation mark";
    } catch (const vek::CException& e) {
        EXPECT_NE(e.GetDetails().find(L"motto"), std::wstring::npos);
    }
    EXPECT_EQ(ReadBytes(path), "old");

    CConfig badName(L"my game");
    badName.SetFileName(path);
    EXPECT_THROW(badName.Save(), vek::CException);
    EXPECT_EQ(ReadBytes(path), "old");
}

TEST(Config, IniRoundTrip) {
    TempFolder folder;
    CConfig saved(L"game");
    AddAllKinds(saved);
    saved.ResetToDefaults();
    saved.SetFormat(CConfig::kFormatIni, 2);
    saved.SetFileName(folder / "sub/game.ini"); // the folder is made
    saved.SetValue(L"lang", L" two  words ");
    saved.SetValue(L"level", CValue::FromU8(255));
    saved.SetValue(L"fps", CValue::FromU16(65534));
    saved.SetValue(L"big", CValue::FromI64(9000000000000000000));
    saved.SetValue(L"scale", CValue::FromFloat(1.25f));
    saved.SetValue(L"log", CValue::FromBool(false));
    saved.Save();

    CConfig loaded(L"game");
    AddAllKinds(loaded);
    loaded.SetFormat(CConfig::kFormatIni, 2);
    loaded.SetFileName(folder / "sub/game.ini");
    loaded.Load(false);
    for (size_t i = 0; i < saved.GetEntries().size(); ++i) {
        EXPECT_EQ(loaded.GetEntries()[i].value, saved.GetEntries()[i].value)
            << i << ": " << std::string(loaded.GetEntries()[i].name.begin(), loaded.GetEntries()[i].name.end());
    }
}

TEST(Config, IniLoadReadsWhatIsThere) {
    TempFolder folder;
    const std::wstring path = folder / "game.ini";
    CConfig config(L"game");
    AddAllKinds(config);
    config.SetFileName(path);

    WriteBytes(path, "[Other]\r\nfps = 1\r\n[GAME]\r\nFPS = 60\r\nunknown = 3\r\nseed = 1|2\r\n");
    config.Load(false);
    EXPECT_EQ(config.FindEntry(L"fps"), CValue::FromU16(60));
    EXPECT_EQ(config.FindEntry(L"seed"), CValue::FromU32(3));
    EXPECT_EQ(config.FindEntry(L"lang"), CValue(L"en"));
    EXPECT_EQ(config.FindEntry(L"scale"), CValue::FromFloat(0.5f));

    // An entry without a kind takes the text and stays without a kind.
    WriteBytes(path, "[game]\r\nempty = \"some text\"\r\n");
    config.Load(false);
    EXPECT_EQ(config.FindEntry(L"empty").GetKind(), CValue::kEmpty);
    EXPECT_EQ(config.FindEntry(L"empty").GetString(), L"some text");

    // A negative integer is refused; entries before it keep what was read.
    WriteBytes(path, "[game]\r\nlog = 0\r\noffset = -3\r\nfps = 60\r\n");
    try {
        config.Load(false);
        ADD_FAILURE() << "negative integer loaded";
    } catch (const vek::CException& e) {
        // The text of the fault, then the file and line it is in.
        EXPECT_EQ(e.GetDetails(), L"Invalid type: offset (" + path + L", line 3)");
        EXPECT_EQ(e.GetLine(), 325);
    }
    EXPECT_EQ(config.FindEntry(L"log"), CValue::FromBool(false));
    EXPECT_EQ(config.FindEntry(L"fps"), CValue::FromU16(30));

    // A byte value that does not fit is refused, not cut to its low bits.
    WriteBytes(path, "[game]\r\nlevel = 300\r\n");
    EXPECT_THROW(config.Load(false), vek::CException);
    EXPECT_EQ(config.FindEntry(L"level"), CValue::FromU8(5));

    WriteBytes(path, "[other]\r\nfps = 1\r\n");
    try {
        config.Load(false);
        ADD_FAILURE() << "missing section loaded";
    } catch (const vek::CException& e) {
        EXPECT_EQ(e.GetDetails(), L"Section not found: game (" + path + L")");
    }
}

TEST(Config, MissingFileKeepsDefaults) {
    TempFolder folder;
    CConfig config(L"game");
    AddAllKinds(config);
    config.SetFileName(folder / "absent.ini");
    config.SetValue(L"fps", CValue::FromU16(1));
    EXPECT_NO_THROW(config.Load(false));
    EXPECT_EQ(config.FindEntry(L"fps"), CValue::FromU16(30));

    config.SetFormat(CConfig::kFormatXml, 2);
    config.SetFileName(folder / "absent.xml");
    EXPECT_NO_THROW(config.Load(false));
    EXPECT_EQ(config.FindEntry(L"fps"), CValue::FromU16(30));

    config.SetFormat(CConfig::kFormatIni, 2);
    config.SetFileName(folder / "absent.ini");
    config.Load(true);
    EXPECT_TRUE(config.GetEntries().empty());
}

TEST(Config, LoadAllKeysAsText) {
    TempFolder folder;
    const std::wstring path = folder / "any.ini";
    WriteBytes(path, "[a]\r\nx = \"one\"\r\n[b]\r\ny = 2|3\r\n");
    CConfig config(L"game");
    config.AddEntry(L"gone", CValue::FromInt(1));
    config.SetFileName(path);
    config.Load(true);
    ASSERT_EQ(config.GetEntries().size(), 2u);
    EXPECT_EQ(config.GetEntries()[0].name, L"x");
    EXPECT_EQ(config.GetEntries()[0].defaultValue, CValue(L"\"one\""));
    EXPECT_EQ(config.GetEntries()[0].value, CValue());
    EXPECT_EQ(config.GetEntries()[1].defaultValue, CValue(L"2|3"));
}

TEST(Config, XmlWritesOneElementPerEntry) {
    TempFolder folder;
    CConfig config(L"game");
    config.AddEntry(L"fps", CValue::FromU16(30));
    config.AddEntry(L"lang", L"a<b");
    config.ResetToDefaults();
    config.SetFormat(CConfig::kFormatXml, 2);
    config.SetFileName(folder / "game.xml");
    config.Save();
    EXPECT_EQ(ReadBytes(folder / "game.xml"),
              "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
              "<game>\n"
              "    <fps>30</fps>\n"
              "    <lang>a&lt;b</lang>\n"
              "</game>\n");
}

TEST(Config, XmlRoundTrip) {
    TempFolder folder;
    CConfig saved(L"game");
    AddAllKinds(saved);
    saved.ResetToDefaults();
    saved.SetFormat(CConfig::kFormatXml, 3);
    saved.SetFileName(folder / "game.xml");
    saved.SetValue(L"lang", L"say \"hi\"; a=b [c]"); // XML can hold what ini cannot
    saved.SetValue(L"offset", CValue::FromInt(-3));
    saved.SetValue(L"big", CValue::FromI64(-9000000000));
    saved.Save();

    CConfig loaded(L"game");
    AddAllKinds(loaded);
    loaded.ResetToDefaults();
    loaded.SetFormat(CConfig::kFormatXml, 3);
    loaded.SetFileName(folder / "game.xml");
    loaded.Load(false);
    for (size_t i = 0; i < saved.GetEntries().size(); ++i) {
        EXPECT_EQ(loaded.GetEntries()[i].value, saved.GetEntries()[i].value) << i;
    }

    loaded.Load(true);
    ASSERT_EQ(loaded.GetEntries().size(), saved.GetEntries().size());
    EXPECT_EQ(loaded.GetEntries()[1].name, L"lang");
    EXPECT_EQ(loaded.GetEntries()[1].defaultValue, CValue(L"say \"hi\"; a=b [c]"));
}

} // namespace
