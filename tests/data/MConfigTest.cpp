#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "data/MConfig.h"
#include "platform/Utf8.h"

namespace {

namespace fs = std::filesystem;
using vek::CValue;

// A fresh working folder with its own XDG_CONFIG_HOME; the old working folder
// and environment come back afterwards.
class ConfigFolder : public ::testing::Test {
protected:
    void SetUp() override {
        m_oldCwd = fs::current_path();
        if (const char* xdg = std::getenv("XDG_CONFIG_HOME")) {
            m_oldXdg = xdg;
        }
        std::string pattern = (fs::temp_directory_path() / "morvheld_mcfg_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        fs::current_path(m_root);
        ::setenv("XDG_CONFIG_HOME", (m_root / "xdg").c_str(), 1);
    }
    void TearDown() override {
        fs::current_path(m_oldCwd);
        if (m_oldXdg) {
            ::setenv("XDG_CONFIG_HOME", m_oldXdg->c_str(), 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
        fs::remove_all(m_root);
    }

    static void Write(const fs::path& path, const std::string& bytes) {
        fs::create_directories(path.parent_path().empty() ? "." : path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // A configuration read from "game.ini" holding the given section body.
    static void LoadFrom(CMorvheldConfig& config, const std::string& body) {
        Write("game.ini", "[config]\r\n" + body);
        config.SetFileName(L"game.ini");
        config.Load();
    }

    fs::path m_root;
    fs::path m_oldCwd;
    std::optional<std::string> m_oldXdg;
};

std::wstring MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const vek::CException& e) {
        EXPECT_EQ(e.GetSourceFile(), L"MConfig");
        return e.GetFunction() + L": " + e.GetDetails();
    }
    return L"(nothing thrown)";
}

TEST_F(ConfigFolder, MissingFileLeavesTheFourteenDefaults) {
    const struct {
        const wchar_t* key;
        uint32_t kind;
        const wchar_t* text;
    } expected[] = {
        {L"lang", CValue::kText, L"en"},        {L"lang_script", CValue::kText, L"pl"},
        {L"fps_limit", CValue::kU16, L"30"},    {L"center_radius", CValue::kU16, L"1"},
        {L"one_line_log", CValue::kBool, L"0"}, {L"log_colors", CValue::kBool, L"1"},
        {L"log_images", CValue::kBool, L"1"},   {L"all_available_langs", CValue::kText, L"pl|en"},
        {L"cmd_line", CValue::kText, L""},      {L"force_files", CValue::kBool, L"0"},
        {L"opengl", CValue::kBool, L"0"},       {L"immersion", CValue::kBool, L"0"},
        {L"fullscreen", CValue::kBool, L"0"},   {L"world", CValue::kText, L"big.world"},
    };
    CMorvheldConfig config;
    const std::wstring name = ChooseConfigFileName();
    config.SetFileName(name);
    config.Load();
    EXPECT_FALSE(fs::exists(fs::path(name))); // nothing is created

    ASSERT_EQ(config.GetEntries().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const auto& entry = config.GetEntries()[i];
        EXPECT_EQ(entry.name, expected[i].key);
        EXPECT_EQ(entry.value.GetKind(), expected[i].kind) << expected[i].key;
        EXPECT_EQ(entry.value.ToString(), expected[i].text) << expected[i].key;
    }
    EXPECT_FALSE(config.IsOneLineLog());
    EXPECT_TRUE(config.HasLogColors());
    EXPECT_TRUE(config.HasLogImages());
    EXPECT_TRUE(config.LanguagesDiffer());
    EXPECT_EQ(config.GetLanguages(), (std::vector<std::wstring>{L"pl", L"en"}));
}

TEST_F(ConfigFolder, FileChoice) {
    const std::wstring inUserFolder = (m_root / "xdg/Morvheld/game.ini").wstring();
    EXPECT_EQ(ChooseConfigFileName(), inUserFolder);
    Write("Data/game.ini", "");
    EXPECT_EQ(ChooseConfigFileName(), L"Data/game.ini");
}

TEST(Config, GetLangIDWithTheDefaultList) {
    CMorvheldConfig config;
    config.SetFileName(L"/nonexistent/morvheld/game.ini");
    config.Load();
    EXPECT_EQ(config.GetLangID(L"pl"), 0u);
    EXPECT_EQ(config.GetLangID(L"en"), 1u);
    EXPECT_EQ(config.GetLangID(L"EN"), 1u);
    EXPECT_EQ(MessageOf([&] { config.GetLangID(L"de"); }), L"CMorvheldConfig::GetLangID: Language not defined: de");
    EXPECT_EQ(MessageOf([&] { config.GetLangID(L""); }), L"CMorvheldConfig::GetLangID: Language not defined: ");
}

TEST_F(ConfigFolder, LanguageLists) {
    const struct {
        const char* list;
        const wchar_t* message; // null: loads
    } cases[] = {
        {"pl|eng", L"CMorvheldConfig::Load: Incorrect language identifier eng"},
        {"", L"CMorvheldConfig::Load: No languages found."},
        {"p", L"CMorvheldConfig::Load: Incorrect language identifier p"},
        {"pl||en", L"CMorvheldConfig::Load: Incorrect language identifier "},
        {"pl|en|", L"CMorvheldConfig::Load: Incorrect language identifier "},
        {"de", nullptr},
        {"de|pl|en", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        CMorvheldConfig config;
        const std::wstring message =
            MessageOf([&] { LoadFrom(config, std::string("all_available_langs = \"") + c.list + "\"\r\n"); });
        if (c.message) {
            EXPECT_EQ(message, c.message + std::wstring(L" (game.ini)")); // the file that holds the list
        } else {
            EXPECT_EQ(message, L"(nothing thrown)");
            EXPECT_EQ(config.GetLangID(L"de"), 0u);
        }
    }
}

TEST_F(ConfigFolder, FileValuesAndCachedFlags) {
    const struct {
        const char* body;
        bool differ;
        bool oneLine;
        bool colors;
    } cases[] = {
        {"lang = \"en\"\r\nlang_script = \"pl\"\r\n", true, false, true},
        {"lang = \"EN\"\r\nlang_script = \"en\"\r\n", false, false, true},
        {"lang = \"pl\"\r\nlang_script = \"Pl\"\r\none_line_log = 1\r\nlog_colors = 0\r\n", false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        CMorvheldConfig config;
        LoadFrom(config, c.body);
        EXPECT_EQ(config.LanguagesDiffer(), c.differ);
        EXPECT_EQ(config.IsOneLineLog(), c.oneLine);
        EXPECT_EQ(config.HasLogColors(), c.colors);
        EXPECT_TRUE(config.HasLogImages());
        EXPECT_EQ(config.FindEntry(L"world").GetString(), L"big.world"); // not in the file
    }
}

TEST_F(ConfigFolder, WriterSavesTheDefaultsAsNarrowIni) {
    CMorvheldConfig config;
    config.SetFileName(ChooseConfigFileName());
    config.SetValue(L"lang", CValue(L"de")); // the writer ignores changes
    WriteDefaultConfig(config);
    EXPECT_EQ(config.GetFileName(), L"game.ini");
    // No byte-order mark: the table's encoding is "detect", saved as narrow.
    EXPECT_EQ(Read("game.ini"),
              "[config]\r\n"
              "lang = \"en\"\r\n"
              "lang_script = \"pl\"\r\n"
              "fps_limit = 30\r\n"
              "center_radius = 1\r\n"
              "one_line_log = 0\r\n"
              "log_colors = 1\r\n"
              "log_images = 1\r\n"
              "all_available_langs = \"pl|en\"\r\n"
              "cmd_line = \"\"\r\n"
              "force_files = 0\r\n"
              "opengl = 0\r\n"
              "immersion = 0\r\n"
              "fullscreen = 0\r\n"
              "world = \"big.world\"\r\n");

    // What the writer wrote reads back unchanged.
    CMorvheldConfig reread;
    reread.SetFileName(L"game.ini");
    reread.Load();
    ASSERT_EQ(reread.GetEntries().size(), config.GetEntries().size());
    for (size_t i = 0; i < config.GetEntries().size(); ++i) {
        EXPECT_EQ(reread.GetEntries()[i].value, config.GetEntries()[i].value) << i;
    }
}

} // namespace

// Damaged configuration files: each is refused with what is wrong, the file
// it is in and, where there is one, the line; nothing is taken silently.
TEST_F(ConfigFolder, DamagedFilesNameTheFileAndTheFault) {
    const struct {
        const char* what;
        std::string bytes;
        const wchar_t* details;          // the exception's details; null: loads
        const wchar_t* detail = nullptr; // a file error's detail, in its full text
    } cases[] = {
        {"empty", "", L"Invalid file content (game.ini)", L"The file is empty."},
        {"only a UTF-8 mark", "\xEF\xBB\xBF", L"Invalid file content (game.ini)", L"The file is empty."},
        {"only a UTF-16 mark", "\xFF\xFE", L"Invalid file content (game.ini)", L"The file is empty."},
        {"a mark and a blank", std::string("\xFF\xFE \0", 4), L"Orphan value (game.ini, line 1)"},
        {"garbage", "\x89PNG\r\n\x1a\n", L"Orphan value (game.ini, line 1)"},
        {"cut in the header", "[con", L"Invalid section header (game.ini, line 1)"},
        {"comments only", "; Morvheld\r\n; settings\r\n", L"Section not found: config (game.ini)"},
        {"cut inside a quoted value", "[config]\r\nlang = \"e",
         L"The text ends inside a quoted value (game.ini, line 2)"},
        {"closed value without a line end", "[config]\r\nlang = \"en\"", nullptr},
        {"quoted value cut by a comment", "[config]\r\nlang = \"en;\"\r\n", nullptr},
        {"unquoted text", "[config]\r\n\r\nlang = en\r\n", L"Quotation mark expected (game.ini, line 3)"},
        {"negative number", "[config]\r\nfps_limit = -1\r\n", L"Invalid type: fps_limit (game.ini, line 2)"},
        {"zero byte", std::string("[config]\r\nworld = \"a\0b\"\r\n", 24), L"Invalid file content (game.ini)",
         L"Zero byte in the text, line 2"},
        {"zeros at the end", std::string("[config]\r\nlang = \"en\"\r\n\0\0", 25), nullptr},
        {"Latin-1 byte in UTF-8", "\xEF\xBB\xBF[config]\r\nlang_script = \"p\xE9l\"\r\n",
         L"Invalid file content (game.ini)", L"Byte 0xE9 is not UTF-8, line 2"},
        {"UTF-16, big-endian", std::string("\xFE\xFF\0[", 4), L"Other error (game.ini)",
         L"Big Endian is not supported"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Write("game.ini", c.bytes);
        CMorvheldConfig config;
        config.SetFileName(L"game.ini");
        try {
            config.Load();
            EXPECT_EQ(c.details, nullptr) << "loaded";
        } catch (const vek::CException& e) {
            ASSERT_NE(c.details, nullptr) << platform::ToUtf8(e.GetText());
            EXPECT_EQ(e.GetDetails(), c.details);
            if (c.detail != nullptr) {
                EXPECT_NE(e.GetText().find(std::wstring(L"Details: ") + c.detail), std::wstring::npos)
                    << platform::ToUtf8(e.GetText());
            }
        }
    }
}

// A configuration that is there but cannot be read is an error, not the defaults.
TEST_F(ConfigFolder, UnreadableFileIsAnError) {
    fs::create_directories("game.ini");
    CMorvheldConfig config;
    config.SetFileName(L"game.ini");
    try {
        config.Load();
        ADD_FAILURE() << "a folder loaded as the configuration";
    } catch (const vek::CFileException& e) {
        EXPECT_EQ(e.GetFileName(), L"game.ini");
        EXPECT_NE(e.GetText().find(L"It is a folder, not a file."), std::wstring::npos);
    }
    fs::remove("game.ini");
    if (::geteuid() == 0) {
        return; // the administrator reads every file
    }
    Write("game.ini", "[config]\r\n");
    fs::permissions("game.ini", fs::perms::none);
    EXPECT_THROW(config.Load(), vek::CFileException);
}
