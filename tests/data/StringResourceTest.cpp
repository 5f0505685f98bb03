#include <gtest/gtest.h>

#include <irrlicht.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Log.h"
#include "data/DataArchive.h"
#include "data/StringResource.h"
#include "platform/Utf8.h"

namespace {

namespace fs = std::filesystem;

const char* const kSkillTags[kSkillCount] = {
    "SIDEARMS",  "SWORDS",      "AXES",     "MACES",      "SPEARS",   "STAVES",    "BOWS",
    "CROSSBOWS", "THROWING",    "UNARMED",  "SHIELDS",    "DODGE",    "ARMOUR",    "FIRSTAID",
    "HERBALISM", "ALCHEMY",     "MINING",   "SMITHING",   "FOUNDING", "CARPENTRY", "TRADING",
    "STEALTH",   "LOCKPICKING", "SURVIVAL", "SPELLCRAFT", "LORE",     "TRAPS",     "SWIMMING",
};

// The skill block of a string file, the names marked with the language, and
// its closing line; `count` names only, `between` lines before the close.
std::string SkillBlock(const std::string& language, uint32_t count = kSkillCount, const std::string& between = "") {
    std::string block;
    for (uint32_t i = 0; i < count; ++i) {
        block += std::string("STR_OTHER_SKILL_") + kSkillTags[i] + " " + kSkillTags[i] + "-" + language + "\n";
    }
    return block + between + "STR_OTHER_BATTLE_SKILLS battle-" + language + "\n";
}

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
    return text.replace(text.find(what), what.size(), with);
}

std::wstring W(const std::string& utf8) { return platform::FromUtf8(utf8); }

template <class E>
std::wstring MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& e) {
        return e.GetFunction() + L": " + e.GetDetails();
    }
    return L"(nothing thrown)";
}

// Loose files in a folder of its own, and a log file whose lines can be read.
class StringResourceTest : public testing::Test {
protected:
    void SetUp() override {
        m_cwd = fs::current_path();
        m_root = fs::path(testing::TempDir()) / ("morvheld_strings_" + std::to_string(::getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root / "Data");
        fs::current_path(m_root);
        SetArchiveInUse(false);
        m_log.m_target = vek::kLogFile;
        m_log.m_fileName = W((m_root / "strings.log").string());
    }
    void TearDown() override {
        SetArchiveInUse(true);
        fs::current_path(m_cwd);
        fs::remove_all(m_root);
    }

    static void WriteFile(const std::string& name, const std::string& bytes) {
        std::ofstream(name, std::ios::binary) << bytes;
    }
    // The log's text without its byte-order marks.
    std::wstring LogText() const {
        std::ifstream in(m_root / "strings.log", std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::wstring text;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
            const wchar_t unit = static_cast<wchar_t>(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8));
            if (unit != 0xFEFF) {
                text += unit;
            }
        }
        return text;
    }

    fs::path m_cwd;
    fs::path m_root;
    vek::CLog m_log;
};

TEST_F(StringResourceTest, ScannerRules) {
    const struct {
        const wchar_t* file;
        const wchar_t* tag;
        const wchar_t* text; // null: the tag is absent
    } cases[] = {
        {L"A  word\n", L"A", L" word"},
        {L"A one\\ntwo\n", L"A", L"one\r\ntwo"},
        {L"A\nB x\n", L"A", nullptr},
        {L"A x y  z \r\n", L"A", L"x y  z "},
        {L"A a\\tb\n", L"A", L"atb"},
        {L"A\\nB x\n", L"AnB", L"x"},
        {L"A x\n\\\\B y\n", L"B", nullptr},
        {L"A x\nB y\\\\z\n", L"B", nullptr},
        {L"A x\\\n\\B y\n", L"B", L"y"},
        {L"A x\nB yz", L"B", L"yz"},
        {L"A x\nB z\\", L"B", nullptr}, // a final backslash ends no line
        {L"A x\nB ", L"B", nullptr},
        {L"\xFEFF"
         L"A x\n",
         L"A", L"x"},
        {L"#comment-without-blanks\n\nA x\n", L"#comment-without-blanks", nullptr},
        {L" x\n", L"", L"x"},
        {L"A first\nA second\n", L"A", L"first"},
    };
    for (const auto& c : cases) {
        CStringResource strings(true);
        strings.LoadText(c.file);
        if (c.text == nullptr) {
            EXPECT_FALSE(strings.Exists(c.tag)) << c.file;
        } else {
            EXPECT_EQ(strings.Get(c.tag), c.text) << c.file;
        }
    }
}

TEST_F(StringResourceTest, StopTagEndsAfterItsLineIgnoringCase) {
    for (const wchar_t* file : {L"A x\nSTOP y\nB z\n", L"A x\nSTOP\nB z\n"}) {
        CStringResource strings(true);
        strings.LoadText(file, L"stop");
        EXPECT_TRUE(strings.Exists(L"A"));
        EXPECT_FALSE(strings.Exists(L"B")) << file;
    }
}

TEST_F(StringResourceTest, NumbersFollowFileOrderAndNeverCollideAfterRemovals) {
    CStringResource strings(true);
    strings.LoadText(L"A a\nB b\nC c\n");
    EXPECT_EQ(strings.GetId(L"A"), 0);
    EXPECT_EQ(strings.GetId(L"C"), 2);
    strings.Remove(1);
    EXPECT_FALSE(strings.Exists(L"B"));
    EXPECT_EQ(strings.GetCount(), 2u);
    // The count (2) is taken by C; the new text must not lose to it.
    strings.AddString(L"d", L"D");
    EXPECT_EQ(strings.GetId(L"D"), 3);
    EXPECT_EQ(strings.Get(L"C"), L"c");
    EXPECT_EQ(strings.Get(L"D"), L"d");
    EXPECT_EQ(strings.GetById(3), L"d");

    EXPECT_EQ(MessageOf<vek::CException>([&] { strings.Remove(1); }),
              L"CStringResource::Remove: Couldn't find string 1");
}

TEST_F(StringResourceTest, MissesShowTheTagAndAreLoggedUnlessSilent) {
    CStringResource loud(false, &m_log);
    loud.LoadText(L"A a\nB b\nC c\n");
    EXPECT_EQ(loud.Get(L"NOPE"), L"NOPE");
    EXPECT_EQ(loud.GetId(L"NONE"), 0);
    EXPECT_EQ(loud.GetById(3), L"#3");
    EXPECT_EQ(loud.GetById(-1), L"#-1");
    const std::wstring log = LogText();
    for (const wchar_t* line : {L"  Error - tag not found: NOPE\r\n", L"  Error - tag not found: NONE\r\n",
                                L"  Error - tag not found: #3\r\n", L"  Error - tag not found: #-1\r\n"}) {
        EXPECT_NE(log.find(line), std::wstring::npos) << line;
    }

    CStringResource silent(true, &m_log);
    EXPECT_EQ(silent.Get(L"NOPE"), L"");
    EXPECT_EQ(silent.GetById(0), L"");
    EXPECT_EQ(LogText(), log);
}

TEST_F(StringResourceTest, PlaceNames) {
    CStringResource strings(false, &m_log);
    strings.AddPlaceName(L"TOWN", L"Miasto");
    strings.AddPlaceName(L"worldpart0", L"Dolina");
    strings.AddPlaceName(L"North", L"Północ");
    EXPECT_EQ(strings.GetLocName(L"town", false), L"Miasto");
    EXPECT_EQ(strings.GetLocName(L"cave", true), L"");
    EXPECT_EQ(LogText(), L"");
    EXPECT_EQ(strings.GetLocName(L"cave", false), L"");

    EXPECT_EQ(strings.GetRegionName(nullptr), L"");
    const TRegionQuery unnamed{L"L1", L""};
    const TRegionQuery north{L"L2", L"North"};
    const TRegionQuery upper{L"L3", L"NORTH"};
    EXPECT_EQ(strings.GetRegionName(&unnamed), L"Dolina");
    EXPECT_EQ(strings.GetRegionName(&north), L"Północ");
    EXPECT_EQ(strings.GetRegionName(&upper), L"");
    const std::wstring log = LogText();
    EXPECT_NE(log.find(L"  Warning: No name assigned to location cave\r\n"), std::wstring::npos);
    EXPECT_NE(log.find(L"  Warning: no region name found for location L3 (region id: NORTH)\r\n"), std::wstring::npos);
}

TEST_F(StringResourceTest, FileIsUtf8AndItsLastLineCounts) {
    WriteFile("Data/strings.xx.txt", "\xEF\xBB\xBFSTR_A Gęś\nSTR_B ząb");
    CStringResource strings(true);
    strings.LoadFile(CStringResource::GetFileName(L"xx"));
    EXPECT_EQ(strings.Get(L"STR_A"), L"G\x0119\x015B");
    EXPECT_EQ(strings.Get(L"STR_B"),
              L"z\x0105"
              L"b");
    EXPECT_THROW(strings.LoadFile(L"Data/strings.zz.txt"), vek::CFileException);
}

// The script language's file gives every text up to its skill block; the
// display language's file gives the block and everything after it.
TEST_F(StringResourceTest, TwoLanguageLoad) {
    WriteFile("Data/strings.pl.txt",
              "STR_EARLY wczesny\n" + SkillBlock("pl", kSkillCount, "STR_BETWEEN pomiędzy\n") + "STR_LATE późny\n");
    WriteFile("Data/strings.en.txt",
              "STR_EARLY early\n" + SkillBlock("en", kSkillCount, "STR_BETWEEN between\n") + "STR_LATE late");
    CStringResource strings(true);
    const std::vector<std::wstring> skills = strings.LoadGameStrings(L"pl", L"en");
    ASSERT_EQ(skills.size(), kSkillCount);
    EXPECT_EQ(skills[0], L"SIDEARMS-pl");
    EXPECT_EQ(skills[27], L"SWIMMING-pl");
    EXPECT_EQ(strings.Get(L"STR_EARLY"), L"wczesny");
    EXPECT_EQ(strings.Get(L"STR_BETWEEN"),
              L"pomi\x0119"
              L"dzy");
    for (const char* skill : kSkillTags) {
        EXPECT_EQ(strings.Get(W(std::string("STR_OTHER_SKILL_") + skill)), W(std::string(skill) + "-en"));
    }
    EXPECT_EQ(strings.Get(L"STR_OTHER_BATTLE_SKILLS"), L"battle-en");
    EXPECT_EQ(strings.Get(L"STR_LATE"), L"late");
}

TEST_F(StringResourceTest, BrokenSkillBlockStopsTheLoadBeforeAnythingIsDropped) {
    const struct {
        std::string file;
        const wchar_t* message;
    } cases[] = {
        {"STR_A a\n" + Replaced(SkillBlock("pl"), "STR_OTHER_SKILL_SIDEARMS", "STR_OTHER_SKILL_DAGGERS"),
         L"No tag STR_OTHER_SKILL_SIDEARMS in Data/strings.pl.txt"},
        {"STR_A a\nSTR_OTHER_SKILL_SIDEARMS s\n", L"No tag STR_OTHER_BATTLE_SKILLS in Data/strings.pl.txt"},
        {SkillBlock("pl", 20), L"Fewer than 28 skill names before STR_OTHER_BATTLE_SKILLS in Data/strings.pl.txt"},
        // A name line without a text is no name.
        {Replaced(SkillBlock("pl"), "SIDEARMS SIDEARMS-pl", "SIDEARMS"),
         L"No tag STR_OTHER_SKILL_SIDEARMS in Data/strings.pl.txt"},
        {Replaced(SkillBlock("pl"), "SWORDS SWORDS-pl", "SWORDS"),
         L"Fewer than 28 skill names before STR_OTHER_BATTLE_SKILLS in Data/strings.pl.txt"},
    };
    WriteFile("Data/strings.en.txt", SkillBlock("en"));
    for (const auto& c : cases) {
        WriteFile("Data/strings.pl.txt", c.file);
        CStringResource strings(true);
        EXPECT_EQ(MessageOf<vek::CException>([&] { strings.LoadGameStrings(L"pl", L"en"); }),
                  std::wstring(L"CStringResource::LoadGameStrings: ") + c.message);
        CStringResource read(true);
        read.LoadText(W(c.file), kSkillBlockEndTag);
        EXPECT_EQ(strings.GetTexts(), read.GetTexts());
    }
}

// The game's own files, read from the data archive as the game reads them.
TEST_F(StringResourceTest, SampleFilesFromTheDataArchive) {
    const fs::path archive = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "game/Morvheld.dat";
    if (!fs::exists(archive)) {
        GTEST_SKIP() << "no data archive at " << archive;
    }
    irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_NULL);
    ASSERT_NE(device, nullptr);
    device->getLogger()->setLogLevel(irr::ELL_NONE);
    DataArchive().SetDevice(device);
    SetArchiveInUse(true);
    CStringResource strings(false, &m_log);
    std::vector<std::wstring> skills;
    try {
        DataArchive().Init(W(archive.string()));
        skills = strings.LoadGameStrings(L"pl", L"en");
    } catch (const vek::CException& e) {
        ADD_FAILURE() << platform::ToUtf8(e.GetText());
    }
    DataArchive().Reset();
    device->drop();

    ASSERT_EQ(skills.size(), kSkillCount);
    EXPECT_EQ(skills[0], L"Bro\x0144 kr\x00F3tka");
    EXPECT_EQ(skills[27], L"P\x0142ywanie");
    EXPECT_EQ(strings.Get(L"STR_OTHER_SKILL_SIDEARMS"), L"Sidearms");
    EXPECT_EQ(strings.Get(L"STR_OTHER_SKILL_SWIMMING"), L"Swimming");
    EXPECT_EQ(strings.Get(L"STR_PRONOUN_HER"), L"her");
    EXPECT_EQ(strings.Get(L"STR_GAME_WELCOME"), L"Welcome to Morvheld.\r\nMay the roads be kind to you.");
    EXPECT_EQ(LogText(), L"");
}

// The sample's languages name the same texts: a key missing from one file
// shows as its tag to that language's players.
TEST(SampleTexts, BothLanguagesHoldTheSameKeys) {
    const fs::path data = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "game" / "Data";
    for (const std::string file : {"strings", "lore"}) {
        std::set<std::string> keys[2];
        for (size_t i = 0; i < 2; ++i) {
            std::ifstream in(data / (file + (i == 0 ? ".en.txt" : ".pl.txt")));
            ASSERT_TRUE(in) << file;
            for (std::string line; std::getline(in, line);) {
                if (const size_t space = line.find(' '); space != std::string::npos) {
                    keys[i].insert(line.substr(0, space));
                }
            }
        }
        EXPECT_FALSE(keys[0].empty()) << file;
        EXPECT_EQ(keys[0], keys[1]) << file;
    }
}

} // namespace
