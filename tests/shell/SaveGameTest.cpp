#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "platform/File.h"
#include "platform/FolderLock.h"
#include "platform/Utf8.h"
#include "rules/Group.h"
#include "rules/Hero.h"
#include "rules/Monster.h"
#include "shell/Game.h"
#include "shell/SaveGame.h"
#include "shell/ScriptGlobals.h"
#include "tests/shell/SampleGameFixture.h"
#include "world/Loc.h"
#include "world/World.h"

namespace {

namespace fs = std::filesystem;
using samplegame::SampleGame;
using testsupport::CInstalledFileCalls;
using testsupport::ReadBytes;
using testsupport::Thrown;
using testsupport::WriteBytes;

const wchar_t kOne[] = L"Save/one.sav";

CVariable& Global(const wchar_t* name) {
    CVariable* variable = Globals().GetDeclarations().FindVariable(name, false);
    if (variable == nullptr) {
        throw std::runtime_error("no global variable " + platform::ToUtf8(name));
    }
    return *variable;
}

// What the running game would save now: it must not change when a load is
// refused.
std::string Snapshot(CGame& game) {
    game.Save(L"Save/snapshot.sav");
    return ReadBytes("Save/snapshot.sav");
}

std::string Bytes(const wchar_t* file) { return ReadBytes(platform::ToUtf8(file)); }

// The save with the flags of a location's record set to the value.
std::string Flagged(std::string save, const std::wstring& name, const std::wstring& file, uint8_t flags) {
    std::string record = "MAP\x03";
    record += '\0';
    for (const std::wstring& text : {name, file}) {
        record += static_cast<char>(text.size());
        record += std::string(3, '\0');
        for (const wchar_t c : text) {
            record += static_cast<char>(c);
            record += '\0';
        }
    }
    const size_t at = save.find(record);
    EXPECT_NE(at, std::string::npos);
    EXPECT_EQ(save.substr(at + record.size(), 2), std::string("\x03\0", 2));
    save[at + record.size()] = static_cast<char>(flags);
    return save;
}

class SavedGame : public SampleGame {
protected:
    // A new game played a little: the cellar entered, a global, the clock,
    // a group, a quest, the bound fields and the hero changed.
    CGame& PlayedGame() {
        CGame& game = MakeGame();
        game.New();
        EXPECT_TRUE(game.GetWorld()->ReadyLoc(L"cellar.map", 0, 0, 0, 0, kArriveRandom, L""));
        Global(L"BanditsBeaten").SetValue(3);
        game.SetClock(0x0102030405060708);
        auto* group = new CGroup(L"bandits");
        group->members = {65536 * 4 + 2, 7};
        g_groupList.Get().push_back(group);
        game.GetQuestLog().Begin(TQuestLogEntry{L"herbs", L"Goldwort", L"Bring five.", L"herbalist", 0});
        game.SetChosenItemSet(9);
        game.SetCharacterCreated(1);
        game.GetHero()->satiation = 77;
        return game;
    }
};

TEST_F(SavedGame, SaveQuitLoadGivesTheSameGameAndBytes) {
    uint32_t heroX = 0;
    uint32_t heroY = 0;
    {
        CGame& game = PlayedGame();
        heroX = game.GetHero()->x;
        heroY = game.GetHero()->y;
        game.Save(kOne);
    }
    const std::string one = Bytes(kOne);
    // The header: the tag, version 0.7.9 as three little-endian i32, the clock
    // as a little-endian u64; then the global variables' count (the seven of
    // "_global.u" and the two bound ones) and the first one's name.
    ASSERT_GT(one.size(), 44u);
    EXPECT_EQ(one.substr(0, 28), std::string("SAVEGAME"
                                             "\x00\x00\x00\x00"
                                             "\x07\x00\x00\x00"
                                             "\x09\x00\x00\x00"
                                             "\x08\x07\x06\x05\x04\x03\x02\x01",
                                             28));
    EXPECT_EQ(one.substr(28, 8), std::string("\x09\x00\x00\x00\x09\x00\x00\x00", 8));
    EXPECT_EQ(one.substr(36, 6), std::string("L\0o\0c\0", 6));
    // Only what was written: nothing of the megabyte the stream reserves.
    EXPECT_LT(one.size(), 65536u);

    // Quit: a new game object, set up afresh, loads it.
    CGame& game = MakeGame();
    EXPECT_EQ(Global(L"BanditsBeaten").GetValue(), 0);
    game.Load(kOne);
    EXPECT_TRUE(game.HasGame());
    EXPECT_EQ(game.GetState(), kStateGame);
    EXPECT_EQ(game.GetClock(), 0x0102030405060708u);
    ASSERT_NE(game.GetCurrentLoc(), nullptr);
    EXPECT_EQ(game.GetCurrentLoc()->GetFileName(), L"cellar.map");
    EXPECT_EQ(game.GetCurrentLoc()->GetOwnName(), L"Mill Cellar");
    // Both entered locations, each bound to its first cell.
    const CWorld& world = *game.GetWorld();
    EXPECT_EQ(world.GetLocationCount(), 2u);
    ASSERT_NE(world.grid.At(1, 1).loc, nullptr);
    EXPECT_EQ(world.grid.At(1, 1).loc->GetFileName(), L"mill.map");
    EXPECT_EQ(world.grid.At(4, 0).loc, game.GetCurrentLoc());
    EXPECT_EQ(game.GetCurrentLoc()->GetCreatureIds().At(static_cast<uint16_t>(heroX), static_cast<uint16_t>(heroY)),
              kHeroCell);
    // The globals, the bound fields, the hero, the groups and the quests.
    EXPECT_EQ(Global(L"BanditsBeaten").GetValue(), 3);
    EXPECT_EQ(Global(L"StartSupplies").GetValue(), 1);
    EXPECT_EQ(game.GetChosenItemSet(), 9u);
    EXPECT_EQ(Global(L"ChosenItemSet").GetValue(), 9);
    EXPECT_TRUE(Global(L"CharacterCreated").IsBound());
    Global(L"CharacterCreated").SetValue(0);
    EXPECT_EQ(game.GetCharacterCreated(), 0);
    Global(L"CharacterCreated").SetValue(1);
    EXPECT_EQ(game.GetHero()->satiation, 77u);
    EXPECT_EQ(game.GetHero()->x, heroX);
    EXPECT_EQ(game.GetHero()->backpack.size(), 4u);
    ASSERT_EQ(g_groupList.Get().size(), 1u);
    EXPECT_EQ(g_groupList.Get()[0]->name, L"bandits");
    EXPECT_EQ(g_groupList.Get()[0]->members, (std::vector<uint32_t>{65536 * 4 + 2, 7}));
    ASSERT_EQ(game.GetQuestLog().GetEntries().size(), 1u);
    EXPECT_EQ(game.GetQuestLog().GetEntries()[0].description, L"Bring five.");

    // Saved again, and after loading that, the same bytes.
    game.Save(L"Save/two.sav");
    EXPECT_EQ(Bytes(L"Save/two.sav"), one);
    game.Load(L"Save/two.sav");
    game.Save(L"Save/three.sav");
    EXPECT_EQ(Bytes(L"Save/three.sav"), one);
}

std::vector<std::wstring> NpcNames(const CGame& game) {
    std::vector<std::wstring> names;
    for (const CNpc* npc : game.GetNpcList()) {
        names.push_back(npc != nullptr ? npc->name + L" " + std::to_wstring(npc->npcIndex) : L"-");
    }
    return names;
}

// A loaded game's NPCs are listed location by location in row order of the
// locations' first cells: a save numbers them so already, dropping the dead.
TEST_F(SavedGame, NpcsAreNumberedAsALoadListsThem) {
    CGame& game = MakeGame();
    game.New();
    const auto addNpc = [](CLoc& loc, uint32_t x, uint32_t y, const wchar_t* name, uint16_t hitPoints) {
        auto npc = std::make_unique<CNpc>();
        npc->x = x;
        npc->y = y;
        npc->hitPoints = hitPoints;
        npc->name = name;
        loc.AddCreature(std::move(npc));
    };
    addNpc(*game.GetCurrentLoc(), 3, 3, L"miller", 10);
    addNpc(*game.GetCurrentLoc(), 4, 3, L"ghost", 0);
    ASSERT_TRUE(game.GetWorld()->ReadyLoc(L"cellar.map", 0, 0, 0, 0, kArriveRandom, L""));
    addNpc(*game.GetCurrentLoc(), 12, 10, L"digger", 10);
    // The mill's own herbalist comes first.
    EXPECT_EQ(NpcNames(game), (std::vector<std::wstring>{L"Marta 0", L"miller 1", L"ghost 2", L"digger 3"}));

    game.Save(kOne);
    // The cellar's first cell (4, 0) comes before the mill's (1, 1).
    EXPECT_EQ(NpcNames(game), (std::vector<std::wstring>{L"digger 0", L"Marta 1", L"miller 2"}));
    game.Load(kOne);
    EXPECT_EQ(NpcNames(game), (std::vector<std::wstring>{L"digger 0", L"Marta 1", L"miller 2"}));
    game.Save(L"Save/two.sav");
    EXPECT_EQ(Bytes(L"Save/two.sav"), Bytes(kOne));
}

// A game saved before NPCs kept the bank: their records end without the
// deposit, and the hero's own deposit is in his record. It still loads, its
// NPCs keeping nothing, and saved again it has the records of today.
TEST_F(SavedGame, AGameSavedBeforeNpcsKeptTheBankStillLoads) {
    constexpr uint32_t kMarked = 0xA5C3E1F7u;
    const std::string marked("\xF7\xE1\xC3\xA5", 4);
    {
        CGame& game = PlayedGame();
        game.GetHero()->unused = 250;
        game.GetNpcList().at(0)->SetBankDeposit(kMarked);
        game.Save(kOne);
    }
    std::string older = Bytes(kOne);
    const size_t at = older.find(marked);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(older.find(marked, at + 1), std::string::npos);
    older.erase(at, 4);
    WriteBytes("Save/older.sav", older);

    CGame& game = MakeGame();
    game.Load(L"Save/older.sav");
    ASSERT_EQ(NpcNames(game), (std::vector<std::wstring>{L"Marta 0"}));
    EXPECT_EQ(game.GetNpcList()[0]->GetBankDeposit(), 0u);
    EXPECT_EQ(game.GetHero()->unused, 250u);
    game.Save(L"Save/two.sav");
    game.Load(L"Save/two.sav");
    EXPECT_EQ(NpcNames(game), (std::vector<std::wstring>{L"Marta 0"}));
    EXPECT_EQ(Bytes(L"Save/two.sav").size(), older.size() + 4);
}

TEST_F(SavedGame, OnlyCompatibleVersionsLoad) {
    {
        CGame& game = PlayedGame();
        game.Save(kOne);
    }
    const std::string one = Bytes(kOne);
    CGame& game = MakeGame();
    game.New();
    const std::string before = Snapshot(game);
    const CLoc* current = game.GetCurrentLoc();
    const struct {
        int32_t major, minor, release;
        bool loads;
        const wchar_t* text;
    } cases[] = {
        // Refused first: the game they leave must be the one before.
        {0, 7, 6, false, L"0.7.6"},   {0, 6, 9, false, L"0.6.9"},       {0, 7, 10, false, L"0.7.10"},
        {1, 0, 0, false, L"1.0.0"},   {9999, 0, 0, false, L"9999.0.0"}, {-1, 7, 9, false, L"-1.7.9"},
        {0, -7, 9, false, L"0.-7.9"}, {0, 7, 9, true, L"0.7.9"},        {0, 7, 8, true, L"0.7.8"},
        {0, 7, 7, true, L"0.7.7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::ToUtf8(c.text));
        std::string bytes = one;
        for (int i = 0; i < 4; ++i) {
            bytes[8 + i] = static_cast<char>(static_cast<uint32_t>(c.major) >> (8 * i));
            bytes[12 + i] = static_cast<char>(static_cast<uint32_t>(c.minor) >> (8 * i));
            bytes[16 + i] = static_cast<char>(static_cast<uint32_t>(c.release) >> (8 * i));
        }
        WriteBytes("Save/version.sav", bytes);
        if (c.loads) {
            game.Load(L"Save/version.sav");
            EXPECT_EQ(game.GetClock(), 0x0102030405060708u);
            EXPECT_EQ(game.GetCurrentLoc()->GetFileName(), L"cellar.map");
            continue;
        }
        const auto e = Thrown<vek::CFileException>([&] { game.Load(L"Save/version.sav"); });
        ASSERT_TRUE(e.has_value());
        EXPECT_EQ(e->GetCode(), vek::CFileException::kInvalidContent);
        EXPECT_EQ(e->GetFileName(), L"Save/version.sav");
        const std::wstring details =
            std::wstring(L"Details: saved by version ") + c.text + L" of the game, which version 0.7.9 cannot load";
        EXPECT_NE(e->GetText().find(details), std::wstring::npos) << platform::ToUtf8(e->GetText());
        EXPECT_EQ(game.GetCurrentLoc(), current);
        EXPECT_EQ(game.GetClock(), 0u);
        EXPECT_EQ(Snapshot(game), before);
    }
}

// A save cut anywhere, with a byte too many, or naming a current location it
// does not hold is refused, and the running game stays as it was.
TEST_F(SavedGame, DamagedSavesAreRefusedAndTheGameIsUntouched) {
    std::string odd;
    {
        CGame& game = PlayedGame();
        game.Save(kOne);
        // A location prepared but never entered is not saved.
        CLoc& heath = game.GetWorld()->LoadLocAt(3, 0);
        game.SetCurrentLoc(&heath);
        game.Save(L"Save/odd.sav");
        odd = Bytes(L"Save/odd.sav");
    }
    const std::string one = Bytes(kOne);
    CGame& game = MakeGame();
    game.New();
    Global(L"HerbsDelivered").SetValue(2);
    const std::string before = Snapshot(game);
    const CLoc* current = game.GetCurrentLoc();
    const CHero* hero = game.GetHero();
    const CWorld* world = game.GetWorld();
    const auto names = game.GetStrings().GetPlaceNames();

    // What each is refused for, where it can be said: the reason a cut
    // save gives depends on the record it cuts.
    struct TDamaged {
        std::string what;
        std::string bytes;
        const wchar_t* reason = nullptr;
    };
    std::vector<TDamaged> damaged = {
        {"an extra byte", one + '\0', L"1 bytes follow the last record"},
        {"another tag", "SAVEGAMX" + one.substr(8), L"invalid format: not a saved game"},
        {"a current location not saved", odd, L"the current location at (3, 0) is not among the saved ones"},
        // A next save would leave them out: refused now, not then.
        {"the current location neither entered nor kept", Flagged(one, L"Mill Cellar", L"cellar.map", 0x02),
         L"the location of cell (4, 0) is saved but was neither entered nor kept (flags 0x0002)"},
        {"another location neither entered nor kept", Flagged(one, L"Mill by the River", L"mill.map", 0x02),
         L"the location of cell (1, 1) is saved but was neither entered nor kept (flags 0x0002)"},
    };
    for (size_t size = 0; size < one.size(); size += size < 64 ? 1 : 61) {
        damaged.push_back({"cut at " + std::to_string(size), one.substr(0, size)});
    }
    damaged.push_back({"cut before the last byte", one.substr(0, one.size() - 1)});
    for (const auto& [what, bytes, reason] : damaged) {
        SCOPED_TRACE(what);
        WriteBytes("Save/damaged.sav", bytes);
        const auto e = Thrown<vek::CFileException>([&] { game.Load(L"Save/damaged.sav"); });
        ASSERT_TRUE(e.has_value());
        EXPECT_EQ(e->GetCode(), vek::CFileException::kInvalidContent);
        EXPECT_EQ(e->GetFileName(), L"Save/damaged.sav");
        if (reason != nullptr) {
            EXPECT_NE(e->GetText().find(std::wstring(L"Details: ") + reason), std::wstring::npos)
                << platform::ToUtf8(e->GetText());
        }
        EXPECT_EQ(game.GetCurrentLoc(), current);
        EXPECT_EQ(game.GetHero(), hero);
        EXPECT_EQ(game.GetWorld(), world);
        EXPECT_EQ(Global(L"HerbsDelivered").GetValue(), 2);
        EXPECT_EQ(game.GetStrings().GetPlaceNames(), names);
    }
    EXPECT_EQ(Snapshot(game), before);

    const auto missing = Thrown<vek::CFileException>([&] { game.Load(L"Save/none.sav"); });
    ASSERT_TRUE(missing.has_value());
    EXPECT_EQ(missing->GetCode(), vek::CFileException::kNotFound);
    EXPECT_EQ(game.GetCurrentLoc(), current);
}

// A save that cannot be written whole leaves the previous one as it was.
TEST_F(SavedGame, FailedSaveKeepsThePreviousFile) {
    CGame& game = PlayedGame();
    game.Save(kOne);
    const std::string one = Bytes(kOne);
    game.SetClock(5);

    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 100;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto e = Thrown<vek::CFileException>([&] { game.Save(kOne); });
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->GetFileName(), kOne);
    EXPECT_EQ(Bytes(kOne), one);
    // Nothing left beside it.
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator("Save")) {
        files.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(files, std::vector<std::string>{"one.sav"});

    EXPECT_THROW(
        {
            game.Clear();
            game.Save(kOne);
        },
        vek::CException);
    EXPECT_EQ(Bytes(kOne), one);
}

// A location of 40 x 30 cells covers four world cells, bound to the first:
// saved once, it loads bound to all four again.
TEST_F(SavedGame, ALocationOfSeveralWorldCellsIsSavedAndLoaded) {
    uint16_t siteX = 0;
    uint16_t siteY = 0;
    {
        CGame& game = MakeGame();
        game.New();
        CWorld& world = *game.GetWorld();
        world.CreateDungeonSite(40, 30, 1, L"mill.map", 8, 8);
        ASSERT_TRUE(world.FindLocation(L"DungeonSite1", siteX, siteY, CWorld::kFindByFile));
        ASSERT_TRUE(world.ReadyLoc(L"DungeonSite1", 0, 0, 0, 0, kArriveRandom, L""));
        ASSERT_EQ(game.GetCurrentLoc(), world.grid.At(siteX, siteY).loc);
        ASSERT_EQ(world.LocBlock(siteX, siteY).size(), 4u);
        game.Save(kOne);
    }
    CGame& game = MakeGame();
    game.Load(kOne);
    const CWorld& world = *game.GetWorld();
    const CLoc* site = world.grid.At(siteX, siteY).loc;
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(game.GetCurrentLoc(), site);
    EXPECT_EQ(site->GetWorldCell(), &world.grid.At(siteX, siteY));
    EXPECT_EQ(site->GetWidth(), 40);
    EXPECT_EQ(site->GetHeight(), 30);
    for (const vek::TPoint cell : world.LocBlock(siteX, siteY)) {
        EXPECT_EQ(world.grid.At(static_cast<uint16_t>(cell.x), static_cast<uint16_t>(cell.y)).loc, site);
    }
    // Loaded, the site's record names its file, which the one made in play
    // did not: from then on the same bytes.
    game.Save(L"Save/two.sav");
    game.Load(L"Save/two.sav");
    game.Save(L"Save/three.sav");
    EXPECT_EQ(Bytes(L"Save/three.sav"), Bytes(L"Save/two.sav"));
}

// The size bound that saving and loading share: 1 GiB, the bound included.
TEST(SaveFileSize, AtMostOneGibibyte) {
    const struct {
        uint64_t bytes;
        bool fits;
    } rows[] = {
        {.bytes = 0, .fits = true},
        {.bytes = 1073741823, .fits = true},
        {.bytes = 1073741824, .fits = true},
        {.bytes = 1073741825, .fits = false},
        {.bytes = uint64_t{1} << 32, .fits = false},
        {.bytes = UINT64_MAX, .fits = false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FitsSaveFileSize(row.bytes), row.fits) << row.bytes;
    }
}

// A save of more bytes than any the game writes is refused before it is read.
TEST_F(SavedGame, ASaveLargerThanAnyIsNotRead) {
    CGame& game = PlayedGame();
    game.Save(kOne);
    const std::string one = Bytes(kOne);
    for (const uint64_t size : {uint64_t{kMaxSaveFileSize} + 1, uint64_t{3} << 30, uint64_t{5} << 30}) {
        SCOPED_TRACE(size);
        WriteBytes("Save/huge.sav", one);
        fs::resize_file("Save/huge.sav", size); // sparse: nothing is written
        const auto e = Thrown<vek::CFileException>([&] { game.Load(L"Save/huge.sav"); });
        ASSERT_TRUE(e.has_value());
        EXPECT_EQ(e->GetCode(), vek::CFileException::kInvalidContent);
        EXPECT_NE(e->GetText().find(L"larger than any saved game (at most 1073741824 bytes)"), std::wstring::npos)
            << platform::ToUtf8(e->GetText());
        EXPECT_EQ(game.GetClock(), 0x0102030405060708u);
    }
}

// The calls of the file layer, the move aside refused (as an immutable file's).
class CNoMoveAside final : public platform::IFileCalls {
public:
    int RenameNoReplace(const std::string&, const std::string&) override { return EPERM; }
};

bool Logged(const samplegame::Lines& log, const std::wstring& text) {
    return std::any_of(log.begin(), log.end(),
                       [&](const std::wstring& line) { return line.find(text) != std::wstring::npos; });
}

// A refused autosave that cannot be moved aside is still the player's game:
// the new game is played, but not autosaved over it.
TEST_F(SavedGame, ARefusedAutosaveThatCannotBeKeptIsNotAutosavedOver) {
    WriteBytes("Save/autosave.sav", "not a saved game");
    CNoMoveAside calls;
    const CInstalledFileCalls installed(calls);
    CGame& game = MakeGame(true);
    game.StartGame(false);
    EXPECT_TRUE(game.HasGame());
    EXPECT_TRUE(Logged(m_log, L"it cannot be kept under another name either, so this game is not autosaved over it"));
    game.SetClock(99);
    game.EndGame();
    EXPECT_FALSE(game.AutosaveFailed());
    EXPECT_EQ(ReadBytes("Save/autosave.sav"), "not a saved game");
    EXPECT_FALSE(fs::exists("Save/autosave.refused.sav"));
}

// Where the autosave should be, a pipe or a folder is refused at once, kept
// aside as any refused autosave is, and the new game is autosaved in its
// place. (A hang ends the test by the alarm.)
TEST_F(SavedGame, AnAutosaveThatIsNoFileIsKeptAside) {
    const struct {
        const char* what;
        std::function<void()> make;
        const wchar_t* why;
        bool (*kind)(const fs::path&);
    } cases[] = {
        {"a pipe", [] { ASSERT_EQ(::mkfifo("Save/autosave.sav", 0600), 0); }, L"It is a named pipe (FIFO), not a file.",
         [](const fs::path& p) { return fs::is_fifo(p); }},
        {"a folder", [] { fs::create_directories("Save/autosave.sav/inside"); }, L"It is a folder, not a file.",
         [](const fs::path& p) { return fs::is_directory(p / "inside"); }},
    };
    ::alarm(60);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all("Save");
        fs::create_directories("Save");
        c.make();
        CGame& game = MakeGame(true);
        EXPECT_TRUE(game.HasAutosave());
        game.StartGame(false);
        EXPECT_EQ(game.GetClock(), 0u);
        EXPECT_TRUE(Logged(m_log, c.why));
        EXPECT_TRUE(Logged(m_log, L"The file is kept as it was under the name Save/autosave.refused.sav."));
        EXPECT_TRUE(c.kind("Save/autosave.refused.sav"));
        game.EndGame();
        EXPECT_FALSE(game.AutosaveFailed());
        EXPECT_TRUE(fs::is_regular_file("Save/autosave.sav"));
    }
    // Written over with a new game asked for: refused, and not said to be
    // an old autosave left as it was.
    fs::remove_all("Save");
    fs::create_directories("Save");
    ASSERT_EQ(::mkfifo("Save/autosave.sav", 0600), 0);
    CGame& game = MakeGame(true);
    game.StartGame(true);
    game.EndGame();
    ::alarm(0);
    EXPECT_TRUE(game.AutosaveFailed());
    EXPECT_TRUE(Logged(m_log, L"The game could not be saved to Save/autosave.sav.\r\nNot a file (Save/autosave.sav)"));
    EXPECT_FALSE(Logged(m_log, L"left as it was"));
    EXPECT_TRUE(fs::is_fifo("Save/autosave.sav"));
}

// What interrupted saves left is removed, by each save of that file and by
// the start of a game for the autosave, but only while the save folder's
// lock is held: another copy of the game may be writing it.
TEST_F(SavedGame, LeftTemporaryFilesGoOnlyUnderTheFoldersLock) {
    const std::string oneLeft = "Save/.one.sav.morvheld-unfinished.a1B2c3";
    const std::string autosaveLeft = "Save/.autosave.sav.morvheld-unfinished.Q9w8E7";
    WriteBytes(oneLeft, "x");
    WriteBytes(autosaveLeft, "x");
    {
        CGame& game = MakeGame(true);
        game.New();
        game.Save(kOne);
        EXPECT_TRUE(fs::exists(oneLeft));
        EXPECT_EQ(game.LockSaveFolder(), platform::CFolderLock::Result::kTaken);
        CGame other;
        EXPECT_EQ(other.LockSaveFolder(), platform::CFolderLock::Result::kHeldElsewhere);
        game.Save(kOne);
        EXPECT_FALSE(fs::exists(oneLeft));
        EXPECT_TRUE(fs::exists(autosaveLeft));
        game.Clear();
    }
    CGame& game = MakeGame(true);
    game.StartGame(false);
    EXPECT_TRUE(fs::exists(autosaveLeft));
    game.Clear();
    ASSERT_EQ(game.LockSaveFolder(), platform::CFolderLock::Result::kTaken);
    game.StartGame(false);
    EXPECT_FALSE(fs::exists(autosaveLeft));
    EXPECT_TRUE(Logged(m_log, L"Removed 1 temporary files that interrupted saves of Save/autosave.sav left behind."));
}

// The folder that holds a save goes to the disk after it; when it cannot,
// the player is told, and the save stays.
TEST_F(SavedGame, AFolderThatCannotBeSyncedIsReported) {
    class CNoFolderSync final : public platform::IFileCalls {
    public:
        int SyncFolder(const std::string&) override { return EIO; }
    } calls;
    CGame& game = PlayedGame();
    {
        const CInstalledFileCalls installed(calls);
        game.Save(kOne);
    }
    EXPECT_TRUE(Logged(m_log,
                       L"The game was saved to Save/one.sav, but its folder could not be synced to the disk "
                       L"(Input/output error)"));
    CGame& loaded = MakeGame();
    loaded.Load(kOne);
    EXPECT_EQ(loaded.GetClock(), 0x0102030405060708u);
}

TEST_F(SavedGame, AutosaveIsContinuedUnlessANewGameIsAsked) {
    {
        CGame& game = MakeGame(true);
        EXPECT_FALSE(game.HasAutosave());
        game.StartGame(false);
        EXPECT_EQ(game.GetCurrentLoc()->GetFileName(), L"mill.map");
        game.SetClock(777);
        game.EndGame();
        EXPECT_FALSE(game.HasGame());
    }
    ASSERT_TRUE(fs::exists("Save/autosave.sav"));
    {
        CGame& game = MakeGame(true);
        EXPECT_TRUE(game.HasAutosave());
        EXPECT_EQ(m_log.back(), L"Autosave found: Save/autosave.sav");
        game.StartGame(false);
        EXPECT_EQ(game.GetClock(), 777u);
    }
    {
        CGame& game = MakeGame(true);
        game.StartGame(true);
        EXPECT_EQ(game.GetClock(), 0u);
        EXPECT_TRUE(game.HasGame());
    }
    // Off: neither looked for nor written.
    const std::string saved = ReadBytes("Save/autosave.sav");
    {
        CGame& game = MakeGame(false);
        EXPECT_FALSE(game.HasAutosave());
        game.StartGame(false);
        EXPECT_EQ(game.GetClock(), 0u);
        game.SetClock(1);
        game.EndGame();
    }
    EXPECT_EQ(ReadBytes("Save/autosave.sav"), saved);
    // One that cannot be loaded gives way to a new game, and is kept.
    WriteBytes("Save/autosave.sav", saved.substr(0, 40));
    {
        CGame& game = MakeGame(true);
        game.StartGame(false);
        EXPECT_TRUE(game.HasGame());
        EXPECT_EQ(game.GetClock(), 0u);
        EXPECT_TRUE(m_log.end() != std::find_if(m_log.begin(), m_log.end(), [](const std::wstring& line) {
                        return line.starts_with(L"The autosave cannot be loaded, a new game starts: ");
                    }));
        EXPECT_EQ(ReadBytes("Save/autosave.refused.sav"), saved.substr(0, 40));
        EXPECT_FALSE(fs::exists("Save/autosave.sav"));
    }
}

} // namespace
