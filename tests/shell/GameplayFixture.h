#pragma once
// The real game that the built-ins' tests run scripts in: the game object
// with small tables, a hero and a world of a few locations read from files
// that the fixture writes into a scratch folder, the hero standing in the
// mill. Each row of a table gets a fresh game (CPlay); the files stay for
// the whole test.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Random.h"
#include "VEKLib/Stream.h"
#include "VEKLib/Strings.h"
#include "data/GameDisplay.h"
#include "platform/Utf8.h"
#include "rules/Group.h"
#include "rules/Hero.h"
#include "rules/Monster.h"
#include "script/GameplayInterface.h"
#include "script/Script.h"
#include "script/ScriptException.h"
#include "shell/Game.h"
#include "tests/support/Files.h"
#include "tests/support/RecordingPrompt.h"
#include "world/Loc.h"
#include "world/World.h"

namespace gameplaytest {

using Texts = std::vector<std::wstring>;

// Items: 0 key, 1 sword (a weapon that wears), 2 bow, 3 arrow
// (ammunition), 4 jerkin (armour), 5 herb, 6 bread, 7 vial, 8 stone (heavy),
// 9 coin. Monsters: 0 rat, 1 wolf, 2 wyrm. Spells: 0 spark, 1 frost.
enum : uint16_t { kKey, kSword, kBow, kArrow, kJerkin, kHerb, kBread, kVial, kStone, kCoin };
enum : uint16_t { kRat, kWolf, kWyrm };

// The game object with its skill names set by the test.
class CTestGame : public CGame {
public:
    void SetSkillNames(std::vector<std::wstring> names) { m_skillNames = std::move(names); }
};

// Shows nothing; answers the number window with what the test says, and
// remembers its questions and the messages.
class CTestDisplay final : public IGameDisplay {
public:
    void AddMessage(const std::wstring& text, uint32_t type, bool) override {
        lines.push_back(L"log" + std::to_wstring(type) + L" " + text);
    }
    void ShowMessage(const std::wstring& text, uint32_t) override { lines.push_back(L"show " + text); }
    void ShowImportantMessage(const std::wstring& caption, const std::wstring& text, bool) override {
        lines.push_back(L"box " + caption + L": " + text);
    }
    void OpenWindow(uint32_t id, uint32_t mode, uint32_t) override {
        lines.push_back(L"window " + std::to_wstring(id) + L" " + std::to_wstring(mode));
    }
    void SetInputMode(uint32_t) override {}
    void Draw() override { ++draws; }
    void CenterView() override {}
    void UpdateAutomapImage() override {}
    // The player's turn while a window waits.
    void RunModalLoop() override {
        if (player) {
            player();
        }
    }
    bool HasWindow() const override { return false; }
    void ShowMessageBox(const std::wstring&) override {}
    std::optional<uint32_t> AskNumber(const std::wstring& caption, const std::wstring& prompt) override {
        lines.push_back(L"ask " + caption + L": " + prompt);
        return amount;
    }

    Texts lines;
    int draws = 0;
    std::optional<uint32_t> amount;
    std::function<void()> player;
};

inline const wchar_t kStrings[] =
    L"STR_IMPORTANT_MSG Important\n"
    L"STR_DLG_BTN_END End\n"
    L"STR_HELLO Hello there\n"
    L"STR_DRAGON A dragon roars.\n"
    L"STR_GAME_MSG_BUMP Bump\n"
    L"STR_GAME_MSG_COMP_LEFT_BEHIND Behind: %s.\n"
    L"STR_MSG_RESTORE_LIMB Restored: %s.\n"
    L"STR_MSG_RIGHT_ARM right arm\n"
    L"STR_MSG_LEFT_ARM left arm\n"
    L"STR_MSG_RIGHT_LEG right leg\n"
    L"STR_MSG_LEFT_LEG left leg\n"
    L"STR_MSG_COMPANION_ATTACK Attack!\n"
    L"STR_MSG_COMPANION_WAIT Wait!\n"
    L"STR_MSG_COMPANION_FOLLOW Follow!\n"
    L"STR_BANK_DEPOSIT_ASK Deposit?\n"
    L"STR_BANK_WITHDRAW_ASK Withdraw?\n"
    L"STR_BANK_DEPOSITED Deposited %lu.\n"
    L"STR_BANK_WITHDRAWN Withdrawn %lu.\n"
    L"STR_BANK_NO_ROOM No room.\n"
    L"STR_BANK_CAPTION_DEPOSIT In\n"
    L"STR_BANK_CAPTION_WITHDRAW Out\n"
    L"STR_BANK_CARRIED Carried %lu.\n"
    L"STR_BANK_KEPT Kept %lu.\n"
    L"STR_BANK_TOO_MUCH_DEPOSIT Not carried.\n"
    L"STR_BANK_TOO_MUCH_WITHDRAW Not kept.\n"
    L"STR_BANK_FULL Full.\n"
    L"STR_OTHER_SKILL_LEARN Learnt %s.\n"
    L"STR_OTHER_SKILL_LEVEL %s at %lu.\n"
    L"STR_OTHER_SPELL_LEARN Spell %s.\n";

// The game's generator, counting its draws.
class CCountingRand final : public vek::CRandomGeneratorBase {
public:
    int32_t Next() override {
        ++draws;
        return m_inner.Next();
    }
    void Seed(uint32_t seed) override { m_inner.Seed(seed); }
    int draws = 0;

private:
    vek::CStdRand m_inner;
};

// One fresh game: a 4 x 4 world of part factor 2 (columns 2 and 3 hidden)
// with the mill at (0, 0), the farm at (1, 0) and the vale at (0, 1); the
// hero (a woman, strength level 2) stands in the mill at (2, 2); the farm is
// made, the vale not.
class CPlay {
public:
    CPlay() {
        vek::StreamReset();
        random.Seed(kRandomSeed);
        vek::SetRandomGenerator(&random);
        FillTables(game.GetTableSet(kScriptTables));
        game.SetLogSink([this](const std::wstring& line) { log.push_back(line); });
        auto shown = std::make_unique<CTestDisplay>();
        display = shown.get();
        game.SetDisplay(std::move(shown));
        game.GetConfig().SetFileName(L"game.ini");
        game.GetConfig().Load();
        game.GetStrings().LoadText(kStrings);
        std::vector<std::wstring> skills;
        for (uint32_t i = 1; i <= kSkillCount; ++i) {
            skills.push_back(i == 2 ? L"Swords" : i == 14 ? L"First aid" : L"skill" + std::to_wstring(i));
        }
        game.SetSkillNames(skills);
        g_gameData = &game;
        g_game = &game;
        world.partFactor = 2;
        for (uint16_t y = 0; y < 4; ++y) {
            for (uint16_t x = 0; x < 4; ++x) {
                world.InitCell(x, y);
            }
        }
        Place(0, 0, L"mill.map", L"mill", L"Mill");
        Place(1, 0, L"farm.map", L"farm", L"Farm");
        Place(0, 1, L"vale.map", L"vale", L"Vale");
        world.SetSiteLevelMaker([](CLoc& loc, const TSiteLevel& level) {
            loc.Init(L"level", level.width, level.height, 0, kLocLayoutPresent);
            loc.GetTerrain().Fill(0);
            return vek::TPoint{3, 4};
        });
        game.SetWorld(&world);
        hero.heroInfo = 1;
        hero.hitPoints = 30;
        hero.attributePoints = {1920, 810, 240, 6480, 0}; // levels 2, 2, 1, 3, 1
        game.SetHero(&hero);
        SetGameplay(&game.GetGameplay());
        SetScriptGame(&game);
        if (!world.ReadyLoc(L"mill.map", 0, 0, 2, 2, kArriveFromWorld, L"")) {
            throw vek::CException(L"CPlay", L"GameplayFixture", __LINE__, L"The hero cannot enter the mill");
        }
        // The farm is made too: its NPCs are the game's.
        world.LoadLocAt(1, 0);
        random.draws = 0;
    }
    ~CPlay() {
        SetGameplay(nullptr);
        SetScriptGame(nullptr);
        g_groupList.Clear();
        game.SetCurrentLoc(nullptr);
        game.SetWorld(nullptr);
        game.SetHero(nullptr);
        g_gameData = nullptr;
        g_game = nullptr;
        vek::SetRandomGenerator(nullptr);
        vek::StreamReset();
    }
    CPlay(const CPlay&) = delete;
    CPlay& operator=(const CPlay&) = delete;

    static void FillTables(CDefinitionTables& tables) {
        const struct {
            const wchar_t* name;
            uint8_t category;
            uint16_t durab, weight;
        } items[] = {
            {L"key", 12, 0, 1},      {L"sword", 1, 50, 30}, {L"bow", 3, 40, 20}, {L"arrow", 22, 0, 1},
            {L"jerkin", 7, 60, 80},  {L"herb", 19, 0, 1},   {L"bread", 5, 3, 5}, {L"vial", 18, 0, 2},
            {L"stone", 18, 0, 1500}, {L"coin", 20, 0, 0},
        };
        for (const auto& i : items) {
            TItemInfo item;
            item.name = i.name;
            item.category = i.category;
            item.durab = i.durab;
            item.weight = i.weight;
            tables.items.push_back(item);
        }
        const struct {
            const wchar_t* name;
            uint16_t hp;
        } monsters[] = {{L"rat", 5}, {L"wolf", 20}, {L"wyrm", 200}};
        for (const auto& m : monsters) {
            TMonsterInfo monster;
            monster.name = m.name;
            monster.hp = m.hp;
            tables.monsters.push_back(monster);
        }
        for (const wchar_t* name : {L"grass", L"wall"}) {
            TTerrainInfo terrain;
            terrain.name = name;
            terrain.flags = name[0] == L'g' ? kPassableFlag : 0;
            tables.terrain.push_back(terrain);
        }
        for (const wchar_t* name : {L"tree", L"bush", L"sign"}) {
            TObjectInfo object;
            object.name = name;
            object.flags = name[0] == L'b' || name[0] == L's' ? kPassableFlag : 0;
            tables.objects.push_back(object);
        }
        tables.spells.assign(2, TSpellInfo());
        tables.spells[0].name = L"spark";
        tables.spells[1].name = L"frost";
        tables.heroes.assign(2, THeroInfo());
        tables.heroes[1].gender = 1;
    }

    void Place(uint16_t x, uint16_t y, const std::wstring& file, const std::wstring& key, const std::wstring& name) {
        TWorldLocInfo& cell = world.grid.At(x, y);
        cell.fileName = file;
        cell.nameKey = key;
        cell.name = name;
        std::wstring id = key;
        for (wchar_t& c : id) {
            c = vek::ToUpper(c);
        }
        game.GetStrings().AddPlaceName(id, name);
    }

    CLoc& Mill() { return world.LoadLocAt(0, 0); }
    CLoc& Farm() { return world.LoadLocAt(1, 0); }
    CNpc& Npc(const wchar_t* name) { return game.FindNPC(name, L"farm.map", &Farm()); }

    // Runs "r = LINE" after the item declarations, in the script given or a
    // new one; the script error's code, -1 for none, -2 for a utility
    // exception (its details in thrown, less the script's place, which they
    // must end with). The result goes to result.
    int Run(const std::wstring& line, int64_t& result, CScript* in = nullptr) {
        CScript own;
        CScript& script = in != nullptr ? *in : own;
        script.Reset();
        script.SetConsole(&console);
        const std::wstring text =
            L"var r = 0\n"
            L"item \"herbs\" \"herb\" 5 0 0\n"
            L"item \"gift\" \"sword\" 1 0 0\n"
            L"item \"purse\" \"coin\" 10 0 0\n"
            L"item \"##rat\" \"##rat\" 2 0 0\n"
            L"r = " +
            line + L"\n";
        script.LoadText(text, L"test.u");
        try {
            script.Parse();
            script.ExecuteScript(kScriptTypeWhole);
        } catch (const CScriptException& e) {
            return static_cast<int>(e.GetCode());
        } catch (const vek::CException& e) {
            thrown = e.GetDetails();
            const std::wstring place = L" (test.u, line 6)";
            EXPECT_TRUE(thrown.ends_with(place)) << platform::ToUtf8(thrown);
            if (thrown.ends_with(place)) {
                thrown.resize(thrown.size() - place.size());
            }
            return -2;
        }
        result = script.FindVariable(L"r", false)->GetValue();
        return -1;
    }

    // --- State as text ----------------------------------------------------------------
    static std::wstring Items(const std::vector<CItem>& items) {
        std::wstring text;
        for (const CItem& item : items) {
            if (item.count == 0) {
                continue;
            }
            text += (text.empty() ? L"" : L" ") + std::to_wstring(item.type) + L"x" + std::to_wstring(item.count);
            if (item.property1 != 0 || item.property2 != 0) {
                text += L"p" + std::to_wstring(item.property1) + L"," + std::to_wstring(item.property2);
            }
        }
        return text;
    }
    std::wstring Pack() const { return Items(hero.backpack); }
    std::wstring Worn() const { return Items(std::vector<CItem>(hero.equipment.begin(), hero.equipment.end())); }
    static std::wstring Pile(CLoc& loc, uint16_t x, uint16_t y) { return Items(loc.GetItemPiles().At(x, y)); }
    // The living creatures of a location: "name@x,y".
    static std::wstring Creatures(const CLoc& loc) {
        std::wstring text;
        for (const CMonster* creature : loc.GetCreatures()) {
            if (creature != nullptr && creature->IsAlive()) {
                text += (text.empty() ? L"" : L" ") + creature->GetName() + L"@" + std::to_wstring(creature->x) + L"," +
                        std::to_wstring(creature->y);
            }
        }
        return text;
    }
    Texts Lines() const { return display->lines; }

    CTestGame game;
    CWorld world;
    CHero hero;
    CTestDisplay* display = nullptr;
    Texts log;
    std::wstring thrown;
    std::istringstream input;
    std::wostringstream output;
    CStreamScriptConsole console{input, output};
    CCountingRand random;
};

// One row of a built-in's table: the state made before (none: as CPlay
// makes it), the script line, the script error (-1 none, -2 a utility
// exception), the result, and the state after as the test's State shows it.
struct TRow {
    const char* what;
    std::function<void(CPlay&)> before;
    std::wstring line;
    int code;
    int64_t result;
    std::wstring state;
};

inline void CheckRows(const std::vector<TRow>& rows, const std::function<std::wstring(CPlay&)>& state) {
    for (const TRow& row : rows) {
        CPlay play;
        if (row.before) {
            row.before(play);
        }
        int64_t result = 0;
        EXPECT_EQ(play.Run(row.line, result), row.code) << row.what << ": " << platform::ToUtf8(play.thrown);
        EXPECT_EQ(result, row.result) << row.what;
        EXPECT_EQ(state(play), row.state) << row.what;
    }
}

// The scratch folder with the game's files, the current folder for the test.
class GameplayTest : public testing::Test {
protected:
    void SetUp() override {
        m_folder.emplace();
        std::filesystem::create_directories("Data/Locations");
        WriteFiles();
    }
    void TearDown() override { m_folder.reset(); }

    static void Write(const std::string& path, const std::string& text) { testsupport::WriteBytes(path, text); }

    // The locations and scripts; the tables must be in place while maps are
    // made (a creature's hit points come from them).
    static void WriteFiles() {
        CDataOnly data;
        SaveMap(L"mill.map", L"Mill", [](CLoc& loc) {
            loc.GetTerrain().At(1, 1) = 1;
            loc.CreateTextObject(6, 6, 2, L"A sign");
            loc.GetItemPiles().At(3, 3) = {CItem(kSword, 1), CItem(kHerb, 2)};
            AddCreature(loc, kRat, 10, 10);
        });
        SaveMap(L"farm.map", L"Farm", [](CLoc& loc) {
            AddNpc(loc, L"Ada", L"ada.u", 4, 4);
            AddNpc(loc, L"Bo", L"bo.u", 6, 4);
            AddCreature(loc, kWolf, 8, 8);
        });
        SaveMap(L"vale.map", L"Vale", [](CLoc&) {});
        Write("Data/Scripts/ada.u",
              "LoadTradeProfile(\"ada_stock.u\", 1.5, 0.5, 2, 3, 4)\n"
              "default action Hello {\n"
              "    text = \"Witaj|Hello\"\n"
              "    option \"Bywaj|Bye\" end\n"
              "}\n");
        Write("Data/Scripts/ada_stock.u", "DefineTradeItem(\"herb\", 1, 2, 3)\n");
        Write("Data/Scripts/dragon.u", "MsgLog(\"STR_DRAGON\", 3)\n");
        Write("game.ini", "[config]\nall_available_langs = \"pl|en\"\nlang = \"en\"\n");
    }

    // A game data object installed while the maps are made.
    struct CDataOnly {
        CDataOnly() {
            CPlay::FillTables(data.GetTableSet(kScriptTables));
            data.SetLogSink([](const std::wstring&) {});
            g_gameData = &data;
        }
        ~CDataOnly() { g_gameData = nullptr; }
        CGameData data;
    };

    static void SaveMap(const std::wstring& file, const std::wstring& name, const std::function<void(CLoc&)>& fill) {
        CLoc loc;
        loc.Init(name, 20, 15, 0, kLocLayoutPresent);
        loc.GetTerrain().Fill(0);
        fill(loc);
        loc.SetFileName(file);
        loc.SaveToFile(std::wstring(L"Data/Locations/") + file, true);
    }
    static void AddCreature(CLoc& loc, uint16_t type, uint32_t x, uint32_t y) {
        auto monster = std::make_unique<CMonster>();
        monster->InitFromType(type, x, y);
        loc.AddCreature(std::move(monster));
    }
    static void AddNpc(CLoc& loc, const wchar_t* name, const wchar_t* script, uint32_t x, uint32_t y) {
        auto npc = std::make_unique<CNpc>();
        npc->InitFromType(kRat, x, y);
        npc->name = name;
        npc->homeLocation = L"farm.map";
        npc->scriptFile = script;
        loc.AddCreature(std::move(npc));
    }

    std::optional<testsupport::CScratchWorkingFolder> m_folder;
    testsupport::CRecordingPrompt m_prompt;
};

} // namespace gameplaytest
