#include <gtest/gtest.h>

#include <irrlicht.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Random.h"
#include "data/DataArchive.h"
#include "data/IrrWrap.h"
#include "platform/Utf8.h"
#include "script/GameplayInterface.h"
#include "script/Script.h"
#include "shell/Game.h"
#include "shell/ScriptGlobals.h"
#include "world/World.h"

namespace {

namespace fs = std::filesystem;

using Lines = std::vector<std::wstring>;

const fs::path kSampleData = fs::path(__FILE__).parent_path().parent_path().parent_path() / "Data";
const fs::path kSampleGraphics = kSampleData.parent_path() / "Graphics";

// The steps after the device line, in order.
const Lines kSetUpSteps = {
    L"Initializing data archive...",
    L"Loading localized resources...",
    L"Loading graphics...",
    L"Creating game objects...",
    L"Loading game data...",
    L"Loading localized strings...",
    L"Loading game data (for scripts)...",
    L"Loading global declarations...",
    L"Analyzing monster parameters...",
    L"Loading world...",
};

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The ASCII of UTF-16 bytes: zero bytes and byte-order marks dropped.
std::string Narrow(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        if (c != '\0' && c != '\xFF' && c != '\xFE') {
            text += c;
        }
    }
    return text;
}

// A game folder of the test's own: the sample data as loose files, with a
// configuration that may differ from the sample's.
class GameFolder : public testing::Test {
protected:
    void SetUp() override {
        m_cwd = fs::current_path();
        m_root = fs::path(testing::TempDir()) / ("morvheld_game_" + std::to_string(::getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root / "Data");
        // The build's game folder links the sample data and the data made
        // from it (locations, the world).
        const fs::path gameData = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "game" / "Data";
        ASSERT_TRUE(fs::exists(gameData / "vale.world")) << gameData;
        for (const fs::directory_entry& entry : fs::directory_iterator(gameData)) {
            if (entry.path().filename() != "game.ini") {
                fs::create_symlink(entry.path(), m_root / "Data" / entry.path().filename());
            }
        }
        fs::create_directory_symlink(kSampleGraphics, m_root / "Graphics");
        fs::current_path(m_root);
    }
    void TearDown() override {
        fs::current_path(m_cwd);
        fs::remove_all(m_root);
    }

    // The sample configuration with force_files set as given.
    static void WriteConfig(bool forceFiles) {
        std::string text = ReadBytes(kSampleData / "game.ini");
        const std::string key = "force_files = 0";
        ASSERT_NE(text.find(key), std::string::npos);
        text.replace(text.find(key), key.size(), forceFiles ? "force_files = 1" : "force_files = 0");
        std::ofstream("Data/game.ini", std::ios::binary) << text;
    }

    // The lines after the device's, which must come first.
    static Lines Steps(const Lines& logged) {
        EXPECT_FALSE(logged.empty());
        if (logged.empty()) {
            return {};
        }
        EXPECT_TRUE(logged[0].starts_with(L"Video driver: ")) << platform::ToUtf8(logged[0]);
        return Lines(logged.begin() + 1, logged.end());
    }

    fs::path m_cwd;
    fs::path m_root;
};

TEST_F(GameFolder, SetUpFromLooseFiles) {
    WriteConfig(true);
    Lines logged;
    {
        CGame game;
        g_gameData = &game; // as the program entry does
        game.ForceNullDriver(true);
        game.SetLogSink([&](const std::wstring& line) { logged.push_back(line); });
        game.SetUp();
        EXPECT_EQ(Steps(logged), kSetUpSteps);

        ASSERT_NE(game.GetDevice(), nullptr);
        EXPECT_EQ(GetIrrDevice(), game.GetDevice());
        EXPECT_EQ(game.GetDriver()->getDriverType(), irr::video::EDT_NULL);
        EXPECT_FALSE(IsArchiveInUse());
        EXPECT_TRUE(DataArchive().IsReady());

        // Skill names in the script language; the strings show the display language.
        ASSERT_EQ(game.GetSkillNames().size(), kSkillCount);
        EXPECT_EQ(game.GetSkillNames()[0], L"Bro\x0144 kr\x00F3tka");
        EXPECT_EQ(game.GetSkillNames()[27], L"P\x0142ywanie");
        EXPECT_EQ(game.GetSkillName(1), L"Sidearms");
        EXPECT_EQ(game.GetSkillName(28), L"Swimming");

        // The configured world, with no game on it yet, and no autosave.
        ASSERT_NE(game.GetWorld(), nullptr);
        EXPECT_EQ(game.GetWorld()->width, 8);
        EXPECT_EQ(game.GetWorld()->height, 3);
        EXPECT_EQ(game.GetWorld()->GetLocationCount(), 0u);
        EXPECT_EQ(game.GetCurrentLoc(), nullptr);
        EXPECT_FALSE(game.HasAutosave());

        // Both sets, the script language's active; the heroes in both.
        EXPECT_EQ(game.GetTableSelector(), kScriptTables);
        EXPECT_EQ(game.FindMonsterType(L"szary wilk"), 1);
        EXPECT_EQ(game.GetItemByName(L"##Szary wilk"), 50001);
        EXPECT_EQ(game.GetTableSet(kDisplayTables).monsters[1].name, L"grey wolf");
        EXPECT_EQ(game.GetTableSet(kDisplayTables).monsters.size(), game.GetTableSet(kScriptTables).monsters.size());
        EXPECT_EQ(game.GetTableSet(kDisplayTables).heroes, (std::vector<THeroInfo>{{0, 0, 1, 2}, {1, 3, 4, 5}}));
        EXPECT_EQ(game.GetTableSet(kScriptTables).heroes, game.GetTableSet(kDisplayTables).heroes);
        game.SelectTables(kDisplayTables);
        EXPECT_EQ(game.FindMonsterType(L"grey wolf"), 1);

        // The generator: 56576 × 214013 + 2531011 = 3520595907 (mod 2^32);
        // (3520595907 >> 16) & 0x7FFF = 20952.
        ASSERT_NE(vek::GetRandomGenerator(), nullptr);
        EXPECT_EQ(vek::GetRandomGenerator()->GetSeed(), kRandomSeed);
        EXPECT_EQ(vek::GetRandomGenerator()->Next(), 20952);

        // The game scripts: the global declarations, the bank's conversation,
        // the game's side installed.
        EXPECT_EQ(GetScriptGame(), &game);
        EXPECT_EQ(CScript::GetGlobalScript(), &Globals().GetDeclarations());
        const CVariable* supplies = Globals().GetDeclarations().FindVariable(L"StartSupplies", false);
        ASSERT_NE(supplies, nullptr);
        EXPECT_EQ(supplies->GetValue(), 1);
        ASSERT_NE(game.GetBankScript(), nullptr);
        EXPECT_TRUE(game.GetBankScript()->IsDialogScript());
        // A conversation in the game's own window, in the display language;
        // with no window to click in, the player's answer is none.
        game.GetDialog().RunScript(*game.GetBankScript());
        EXPECT_EQ(game.GetDialog().GetText(), L"Welcome. Your gold is safe with me.");
        ASSERT_EQ(game.GetDialog().GetAnswerButtons().size(), 4u);
        EXPECT_EQ(game.GetDialog().GetAnswerButtons()[3].label, L"Nothing, thank you.");
        EXPECT_EQ(game.GetDialog().GetEndLabel(), L"End conversation");
        EXPECT_EQ(game.GetKeepInputMode(), 0);
        game.KeepInputMode();
        EXPECT_EQ(game.GetKeepInputMode(), 1);
        // The world side of the built-ins is the game's; without a hero the
        // healer and the bank have nobody to serve.
        EXPECT_EQ(GetGameplay(), &game.GetGameplay());
        const size_t lines = logged.size();
        game.Cure();
        game.BankTransaction(nullptr, 2);
        EXPECT_EQ(logged.size(), lines);

        // The library's texts for the player reach "error.log", and so do
        // the texts shown as important, each in a session of its own.
        ASSERT_NE(vek::GetMessageDisplay(), nullptr);
        vek::CException(L"Test", L"SetUpTest", 1, L"shown").Display();
        EXPECT_NE(ReadBytes("error.log").find(std::string("s\0h\0o\0w\0n\0", 10)), std::string::npos);
        game.ShowImportantMessage(L"urgent", false);
        const std::string errorLog = Narrow(ReadBytes("error.log"));
        EXPECT_NE(errorLog.find("urgent\r\n*** Session closed.\r\n"), std::string::npos) << errorLog;
        size_t sessions = 0;
        for (size_t at = errorLog.find("*** Session started: "); at != std::string::npos;
             at = errorLog.find("*** Session started: ", at + 1)) {
            ++sessions;
        }
        EXPECT_EQ(sessions, 2u) << errorLog;

        EXPECT_THROW(game.SetUp(), vek::CException);
        game.ShutDown();
        EXPECT_EQ(GetGameplay(), nullptr);
        EXPECT_EQ(game.GetDevice(), nullptr);
        EXPECT_EQ(GetIrrDevice(), nullptr);
        EXPECT_EQ(vek::GetMessageDisplay(), nullptr);
        EXPECT_EQ(vek::GetRandomGenerator(), nullptr);
        EXPECT_EQ(GetScriptGame(), nullptr);
        EXPECT_EQ(CScript::GetGlobalScript(), nullptr);
        EXPECT_FALSE(DataArchive().IsReady());
        EXPECT_EQ(DataArchive().GetDevice(), nullptr);
        // Nothing more reaches the log once the display is gone.
        game.ShowImportantMessage(L"later", false);
        EXPECT_EQ(Narrow(ReadBytes("error.log")).find("later"), std::string::npos);
    }
    // The set-up's lines, then the two important messages on the console.
    ASSERT_EQ(logged.size(), kSetUpSteps.size() + 3);
    EXPECT_TRUE(logged.back().ends_with(L"later"));
}

// The script check's set-up: no device, no world, no bank, no game's side
// for the built-ins, so a world that is missing does not stop it.
TEST_F(GameFolder, ScriptCheckSetsUpOnlyWhatItNeeds) {
    WriteConfig(true);
    std::string text = ReadBytes("Data/game.ini");
    text.replace(text.find("vale.world"), 10, "none.world");
    std::ofstream("Data/game.ini", std::ios::binary) << text;
    std::ofstream("check.u", std::ios::binary)
        << "AddInvItem(\"bochenek chleba\", 1)\nSetStartLoc(\"mill.map\", 1, 1)\n";
    std::ofstream("bad.u", std::ios::binary) << "AddInvItem(\"nothing of the kind\", 1)\n";
    Lines logged;
    {
        CGame game;
        g_gameData = &game;
        game.SetLogSink([&](const std::wstring& line) { logged.push_back(line); });
        game.SetUpForScriptCheck();
        EXPECT_EQ(game.GetDevice(), nullptr);
        EXPECT_EQ(game.GetWorld(), nullptr);
        EXPECT_EQ(game.GetBankScript(), nullptr);
        EXPECT_EQ(GetGameplay(), nullptr);
        EXPECT_EQ(GetScriptGame(), nullptr);
        EXPECT_EQ(vek::GetMessageDisplay(), nullptr);
        EXPECT_EQ(CScript::GetGlobalScript(), &Globals().GetDeclarations());
        EXPECT_NE(Globals().GetDeclarations().FindVariable(L"StartSupplies", false), nullptr);
        EXPECT_TRUE(DataArchive().IsReady());
        EXPECT_EQ(game.FindMonsterType(L"szary wilk"), 1);
        EXPECT_EQ(game.GetSkillName(1), L"Sidearms");
        ASSERT_NE(vek::GetRandomGenerator(), nullptr);
        EXPECT_EQ(vek::GetRandomGenerator()->GetSeed(), kRandomSeed);
        EXPECT_TRUE(game.CheckDialogScript(L"check.u", true));
        EXPECT_FALSE(game.CheckDialogScript(L"bad.u", true));
        EXPECT_THROW(game.CheckDialogScript(L"none.u", true), vek::CFileException);
        EXPECT_THROW(game.SetUp(), vek::CException);
    }
    EXPECT_FALSE(DataArchive().IsReady());
    EXPECT_EQ(CScript::GetGlobalScript(), nullptr);
    EXPECT_EQ(vek::GetRandomGenerator(), nullptr);
    EXPECT_EQ(logged,
              (Lines{L"Loading game data...", L"Loading localized strings...", L"Loading global declarations..."}));
}

// A set-up that fails half-way leaves nothing behind once the game is gone.
TEST_F(GameFolder, FailedSetUpReleasesWhatItMade) {
    WriteConfig(false); // the archive, which this folder lacks
    Lines logged;
    {
        CGame game;
        game.ForceNullDriver(true);
        game.SetLogSink([&](const std::wstring& line) { logged.push_back(line); });
        try {
            game.SetUp();
            ADD_FAILURE() << "nothing thrown";
        } catch (const vek::CException& e) {
            EXPECT_EQ(e.GetDetails(), L"Cannot access data archive file! (Morvheld.dat: the file cannot be opened)");
        }
        EXPECT_NE(GetIrrDevice(), nullptr);
    }
    EXPECT_EQ(Steps(logged), (Lines{L"Initializing data archive..."}));
    EXPECT_EQ(GetIrrDevice(), nullptr);
    EXPECT_EQ(DataArchive().GetDevice(), nullptr);
}

// Where a file is expected and something else is there, set-up stops at
// once and says what and where; a number out of range is named with its
// line. (A hang ends the test by the alarm.)
TEST_F(GameFolder, WhatCannotBeReadIsNamed) {
    const struct {
        const char* what;
        bool forceFiles;
        const char* fifo;
        const char* fpsLimit;
        std::wstring text;
    } cases[] = {
        {"game.ini a pipe", false, "Data/game.ini", nullptr,
         L"File not found (Data/game.ini)Details: It is a named pipe (FIFO), not a file."},
        {"the archive a pipe", false, "Morvheld.dat", nullptr,
         L"Cannot access data archive file! (Morvheld.dat: It is a named pipe (FIFO), not a file.)"},
        {"a loose data file a pipe", true, "Data/hero.ini", nullptr,
         L"File not found (Data/hero.ini)Details: It is a named pipe (FIFO), not a file."},
        {"a number out of range", false, nullptr, "70000",
         L"Invalid type: fps_limit (too high numeric value for unsigned short variable) (Data/game.ini, line 6)"},
    };
    ::alarm(60);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteConfig(c.forceFiles);
        if (c.fpsLimit != nullptr) {
            std::string text = ReadBytes("Data/game.ini");
            text.replace(text.find("fps_limit = 30"), 14, std::string("fps_limit = ") + c.fpsLimit);
            std::ofstream("Data/game.ini", std::ios::binary) << text;
        }
        // The sample file the folder links, put back afterwards.
        const fs::path linked = c.fifo != nullptr && fs::is_symlink(c.fifo) ? fs::read_symlink(c.fifo) : fs::path();
        if (c.fifo != nullptr) {
            fs::remove(c.fifo);
            ASSERT_EQ(::mkfifo(c.fifo, 0600), 0);
        }
        CGame game;
        game.ForceNullDriver(true);
        game.SetLogSink([](const std::wstring&) {});
        try {
            game.SetUp();
            ADD_FAILURE() << "nothing thrown";
        } catch (const vek::CException& e) {
            EXPECT_NE(e.GetText().find(c.text), std::wstring::npos) << platform::ToUtf8(e.GetText());
        }
        if (c.fifo != nullptr) {
            fs::remove(c.fifo);
        }
        if (!linked.empty()) {
            fs::create_symlink(linked, c.fifo);
        }
    }
    ::alarm(0);
}

// The build's game folder: the sample configuration reads the data archive.
TEST(GameSetUp, FromTheDataArchive) {
    const fs::path folder = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "game";
    if (!fs::exists(folder / "Morvheld.dat")) {
        GTEST_SKIP() << "no data archive in " << folder;
    }
    const fs::path cwd = fs::current_path();
    fs::current_path(folder);
    Lines logged;
    {
        CGame game;
        g_gameData = &game;
        game.ForceNullDriver(true);
        game.SetLogSink([&](const std::wstring& line) { logged.push_back(line); });
        try {
            game.SetUp();
        } catch (const vek::CException& e) {
            ADD_FAILURE() << platform::ToUtf8(e.GetText());
        }
        EXPECT_TRUE(IsArchiveInUse());
        EXPECT_EQ(game.GetSkillName(2), L"Swords");
        EXPECT_EQ(game.GetTableSet(kDisplayTables).items[0].name, L"brass key");
    }
    fs::current_path(cwd);
    EXPECT_FALSE(IsArchiveInUse());
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(Lines(logged.begin() + 1, logged.end()), kSetUpSteps);

    // The script check reads the archive without a device, and gives it back.
    fs::current_path(folder);
    {
        CGame game;
        g_gameData = &game;
        game.SetLogSink([](const std::wstring&) {});
        game.SetUpForScriptCheck();
        EXPECT_TRUE(IsArchiveInUse());
        EXPECT_TRUE(DataArchive().IsReady());
        EXPECT_EQ(DataArchive().GetDevice(), nullptr);
        EXPECT_EQ(game.GetTableSet(kDisplayTables).items[0].name, L"brass key");
    }
    fs::current_path(cwd);
    EXPECT_FALSE(IsArchiveInUse());
    EXPECT_FALSE(DataArchive().IsReady());
}

} // namespace
