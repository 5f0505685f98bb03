// The game's built-in functions on the script side: the registry, the
// arguments handed to the game's side in signature order, the checks and
// their script errors, the trade built-ins, the elapsed time, the script
// types 4, 6 and 7, and the system command on record.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iomanip>
#include <optional>
#include <sstream>
#include <string>
#include <typeinfo>
#include <vector>

#include "data/Globals.h"
#include "data/Tables.h"
#include "platform/Utf8.h"
#include "script/GameplayInterface.h"
#include "support/Files.h"
#include "support/GameScriptFixture.h"

namespace gamescripttest {
namespace {

using Texts = std::vector<std::wstring>;

// What the fixture's runs give: a script error's code, or one of these.
constexpr int kNone = -1;      // no error
constexpr int kFileError = -2; // the run throws a file exception

std::wstring Item(const TItemOrder& item) {
    return std::to_wstring(item.type) + L" x" + std::to_wstring(item.count) + (item.random ? L" random " : L" plain ") +
           std::to_wstring(item.property1) + L" " + std::to_wstring(item.property2);
}

std::wstring Pattern(const TQuestItem& item) {
    return std::to_wstring(item.itemType) + L" x" + std::to_wstring(item.count) + L" " + std::to_wstring(item.number);
}

std::wstring Hex(uint32_t value) {
    std::wostringstream text;
    text << L"0x" << std::hex << std::uppercase << std::setw(8) << std::setfill(L'0') << value;
    return text.str();
}

// Records each call as "Name(arguments)"; answers as told.
class CRecordingGameplay final : public CGameplayInterface {
public:
    void SetStartLoc(const std::wstring& l, uint32_t x, uint32_t y) override { Call(L"SetStartLoc", {l, N(x), N(y)}); }
    void CreateDungeonSite(uint16_t w, uint16_t h, uint16_t levels, const std::wstring& l, uint32_t x,
                           uint32_t y) override {
        Call(L"CreateDungeonSite", {N(w), N(h), N(levels), l, N(x), N(y)});
    }
    void RevealCurrentLoc() override { Call(L"RevealCurrentLoc", {}); }
    void AddLocEffect(const std::wstring& f, uint32_t key, uint32_t value) override {
        Call(L"AddLocEffect", {f, N(key), Hex(value)});
    }
    void AddObject(const std::wstring& l, uint32_t x, uint32_t y, uint32_t o) override {
        Call(L"AddObject", {l, N(x), N(y), N(o)});
    }
    void DeleteObject(const std::wstring& l, uint32_t x, uint32_t y) override {
        Call(L"DeleteObject", {l, N(x), N(y)});
    }
    void SetSpecialActive(const std::wstring& l, uint32_t x, uint32_t y, uint8_t a) override {
        Call(L"SetSpecialActive", {l, N(x), N(y), N(a)});
    }
    void AddItem(const std::wstring& l, const std::wstring& i, uint32_t x, uint32_t y) override {
        Call(L"AddItem", {l, i, N(x), N(y)});
    }
    void DeleteItem(const std::wstring& l, const std::wstring& i, uint32_t x, uint32_t y) override {
        Call(L"DeleteItem", {l, i, N(x), N(y)});
    }
    void DeleteAllItems(const std::wstring& l, uint32_t x, uint32_t y) override {
        Call(L"DeleteAllItems", {l, N(x), N(y)});
    }
    void AddMonster(const std::wstring& l, const std::wstring& m, uint32_t x, uint32_t y) override {
        Call(L"AddMonster", {l, m, N(x), N(y)});
    }
    void DeleteAllMonsters(const std::wstring& l) override { Call(L"DeleteAllMonsters", {l}); }
    bool AnyAliveMonster(const std::wstring& l) override { return Call(L"AnyAliveMonster", {l}), answer; }
    void AddDragon(const std::wstring& l, const std::wstring& m, uint32_t x, uint32_t y) override {
        Call(L"AddDragon", {l, m, N(x), N(y)});
    }
    bool HeroWield(const TItemOrder& i) override { return Call(L"HeroWield", {Item(i)}), answer; }
    uint16_t HeroAddToInventory(const TItemOrder& i) override { return Call(L"HeroAddToInventory", {Item(i)}), taken; }
    void HeroGiveItem(const TItemOrder& i) override { Call(L"HeroGiveItem", {Item(i)}); }
    bool HeroHasItems(const TQuestItem& p) override { return Call(L"HeroHasItems", {Pattern(p)}), answer; }
    void HeroRemoveItems(const TQuestItem& p) override { Call(L"HeroRemoveItems", {Pattern(p)}); }
    bool IsPlayerWoman() override { return Call(L"IsPlayerWoman", {}), answer; }
    bool HeroIsAnyLimbMissing() override { return Call(L"HeroIsAnyLimbMissing", {}), answer; }
    int32_t HeroGetLimb(uint32_t l) override { return Call(L"HeroGetLimb", {N(l)}), limb; }
    uint32_t FindSkill(const std::wstring& n) override { return Call(L"FindSkill", {n}), 2; }
    void HeroLearnSkill(uint32_t s, uint8_t level) override { Call(L"HeroLearnSkill", {N(s), N(level)}); }
    uint8_t HeroGetSkillLevel(uint32_t s) override { return Call(L"HeroGetSkillLevel", {N(s)}), 7; }
    uint32_t HeroGetAttribute(uint32_t a) override { return Call(L"HeroGetAttribute", {N(a)}), 10 + a; }
    void Cure() override { Call(L"Cure", {}); }
    void CureLimb() override { Call(L"CureLimb", {}); }
    void AddCompanion(const std::wstring& m, const std::wstring& l) override { Call(L"AddCompanion", {m, l}); }
    void NPCAddInvItem(uint16_t t, uint32_t q) override { Call(L"NPCAddInvItem", {N(t), N(q)}); }
    void NPCAddSpell(uint16_t s, uint16_t level) override { Call(L"NPCAddSpell", {N(s), N(level)}); }
    bool NPCIsAlive(const std::wstring& n, const std::wstring& l) override {
        return Call(L"NPCIsAlive", {n, l}), answer;
    }
    bool IsNPCPresentInLoc(const std::wstring& n, const std::wstring& h, const std::wstring& l) override {
        return Call(L"IsNPCPresentInLoc", {n, h, l}), answer;
    }
    void NPCSetGroup(const std::wstring& n, const std::wstring& l, const std::wstring& g) override {
        Call(L"NPCSetGroup", {n, l, g});
    }
    void NPCStartChat(const std::wstring& n, const std::wstring& l) override { Call(L"NPCStartChat", {n, l}); }
    void NPCChangeAttitude(const std::wstring& n, const std::wstring& l, uint32_t a) override {
        Call(L"NPCChangeAttitude", {n, l, N(a)});
    }
    void NPCAddEnemy(const std::wstring& n, const std::wstring& l, const std::wstring& e,
                     const std::wstring& el) override {
        Call(L"NPCAddEnemy", {n, l, e, el});
    }
    void NPCMakeHeroEnemy(const std::wstring& n, const std::wstring& l) override { Call(L"NPCMakeHeroEnemy", {n, l}); }
    void NPCFollowHero(const CScript& s) override { Call(L"NPCFollowHero", {s.GetFileName()}); }
    void NPCUnfollowHero(const CScript& s) override { Call(L"NPCUnfollowHero", {s.GetFileName()}); }
    void KillNPC(const std::wstring& l, const std::wstring& n, const std::wstring& h) override {
        Call(L"KillNPC", {l, n, h});
    }
    void NPCSetActivity(const std::wstring& n, const std::wstring& l, uint32_t a) override {
        Call(L"NPCSetActivity", {n, l, N(a)});
    }
    void NPCActivate(const std::wstring& n, const std::wstring& l, bool on) override {
        Call(L"NPCActivate", {n, l, N(on ? 1 : 0)});
    }
    void AddGroup(const std::wstring& g) override { Call(L"AddGroup", {g}); }
    void AddMonsterToGroup(const std::wstring& m, const std::wstring& l, uint32_t x, uint32_t y,
                           const std::wstring& g) override {
        Call(L"AddMonsterToGroup", {m, l, N(x), N(y), g});
    }
    void StartBattle(const std::wstring& b, const std::wstring& g1, const std::wstring& g2) override {
        Call(L"StartBattle", {b, g1, g2});
    }
    std::wstring BattleWinner(const std::wstring& b) override { return Call(L"BattleWinner", {b}), winner; }
    void BeginQuest(const std::wstring& n, const std::wstring& t, const std::wstring& d,
                    const std::wstring& g) override {
        Call(L"BeginQuest", {n, t, d, g});
    }
    void EndQuest(const std::wstring& n) override { Call(L"EndQuest", {n}); }

    Texts calls;
    std::function<void()> raise; // the game's error, after the call is on record
    bool answer = true;
    uint16_t taken = 2;
    std::wstring winner = L"a";
    int32_t limb = 0;

private:
    static std::wstring N(uint32_t value) { return std::to_wstring(value); }
    void Call(const wchar_t* name, const Texts& arguments) {
        std::wstring text = std::wstring(name) + L"(";
        for (size_t i = 0; i < arguments.size(); ++i) {
            text += (i ? L", " : L"") + arguments[i];
        }
        calls.push_back(text + L")");
        if (raise) {
            raise();
        }
    }
};

// Items: 0 key, 1 herb, 2 coin, 3 arrow (ammunition). Monsters: 0 wolf.
// Spells: 0 spark, 1 frost.
class ScriptBuiltins : public CGameScriptTest {
protected:
    void SetUp() override {
        CGameScriptTest::SetUp();
        CDefinitionTables& tables = m_game.GetTableSet(kScriptTables);
        TItemInfo arrow;
        arrow.name = L"arrow";
        arrow.category = 22;
        tables.items.push_back(arrow);
        tables.spells.assign(2, TSpellInfo());
        tables.spells[0].name = L"spark";
        tables.spells[1].name = L"frost";
        SetGameplay(&m_gameplay);
    }
    void TearDown() override {
        SetGameplay(nullptr);
        m_game.SetCurrentNpc(nullptr);
        CGameScriptTest::TearDown();
    }

    // The script layer never looks into the NPC; any object stands for one.
    void DefineAnNpc() { m_game.SetCurrentNpc(reinterpret_cast<CNpc*>(&m_npcStandIn)); }

    // Runs "r = LINE" (or LINE alone when it gives nothing to keep) after the
    // item declarations; the error code (kNone: none) and the result.
    int Run(const std::wstring& line, int64_t& result) {
        m_script = std::make_unique<CScript>();
        m_script->SetConsole(&m_console);
        const std::wstring text =
            L"var r = -1\n"
            L"item \"herbs\" \"herb\" 5 0 0\n"
            L"item \"gift\" \"herb\" 3 0 0\n"
            L"item \"##wolf\" \"##wolf\" 2 0 0\n"
            L"r = " +
            line + L"\n";
        const int parsed = Parse(*m_script, text);
        if (parsed >= 0) {
            return 100 + parsed;
        }
        const int code = CGameScriptTest::Run(*m_script, kScriptTypeWhole);
        result = m_script->FindVariable(L"r", false)->GetValue();
        return code;
    }

    // The runner of the tables of lines: for every row, prepare(row), then
    // its line run as Run runs it, the calls recorded afresh and the error
    // code checked, then check(row, result, what).
    template <class TRow, size_t N, class TPrepare, class TCheck>
    void RunRows(const TRow (&rows)[N], TPrepare prepare, TCheck check) {
        for (const TRow& row : rows) {
            m_gameplay.calls.clear();
            prepare(row);
            int64_t result = 0;
            const std::string what = platform::ToUtf8(row.line);
            EXPECT_EQ(Run(row.line, result), row.code) << what << " " << m_errorLine;
            check(row, result, what);
        }
    }

    CRecordingGameplay m_gameplay;
    std::unique_ptr<CScript> m_script;
    std::istringstream m_input;
    std::wostringstream m_output;
    CStreamScriptConsole m_console{m_input, m_output};
    int m_npcStandIn = 0;
};

// The ids, names and signatures as the game's scripts know them.
TEST_F(ScriptBuiltins, EveryBuiltinIsRegisteredAtItsId) {
    const struct {
        const wchar_t* name;
        const wchar_t* signature;
    } expected[] = {
        {L"Rnd", L"nn"},
        {L"Chance", L"nn"},
        {L"SetStartLoc", L"snn"},
        {L"EquipItem", L"s"},
        {L"AddInvItem", L"sn"},
        {L"AddInvItemByAlias", L"s"},
        {L"NPCAddInvItem", L"sn"},
        {L"CreateDungeonSite", L"nnnsnn"},
        {L"Reveal", L"n"},
        {L"LoadTradeProfile", L"sffnnn"},
        {L"DefineTradeItem", L"snnn"},
        {L"DefineRandomTradeItem", L"nn"},
        {L"DefineBuyCategory", L"n"},
        {L"HasHeroItem", L"s"},
        {L"HasHeroSomeItem", L"s"},
        {L"NPCIsAlive", L"ss"},
        {L"NPCIsPresentInLoc", L"sss"},
        {L"_Test", L"ns"},
        {L"NPCAddSpell", L"sn"},
        {L"AddGroup", L"s"},
        {L"AddMonsterToGroup", L"ssnns"},
        {L"NPCSetGroup", L"sss"},
        {L"NPCStartChat", L"ss"},
        {L"BeginQuest", L"ssss"},
        {L"EndQuest", L"s"},
        {L"Battle", L"sss"},
        {L"NPCSetAttitude", L"ssn"},
        {L"AddDragon", L"ssnn"},
        {L"NPCAddEnemy", L"ssss"},
        {L"NPCMakeHeroEnemy", L"ss"},
        {L"IsBattleEnded", L"s"},
        {L"HasGroupWonBattle", L"ss"},
        {L"MsgLog", L"sn"},
        {L"MsgBox", L"s"},
        {L"AddLocLightEffect", L"snnnn"},
        {L"IsPlayerWoman", L""},
        {L"EquipAmmo", L"sn"},
        {L"AddCompanion", L"ss"},
        {L"NPCFollowHero", L""},
        {L"NPCUnfollowHero", L""},
        {L"AddInvItemEx", L"snnnn"},
        {L"EquipItemBS", L"sn"},
        {L"EquipAmmoBS", L"snn"},
        {L"KillNPC", L"sss"},
        {L"NPCSetActivity", L"ssn"},
        {L"NPCActivate", L"ss"},
        {L"NPCDeactivate", L"ss"},
        {L"GiveItem", L"s"},
        {L"TakeItem", L"s"},
        {L"AddObject", L"snnn"},
        {L"DeleteObject", L"snn"},
        {L"ActivateSpecial", L"snn"},
        {L"DeactivateSpecial", L"snn"},
        {L"AddItem", L"ssnn"},
        {L"DeleteItem", L"ssnn"},
        {L"DeleteAllItems", L"snn"},
        {L"AddMonster", L"ssnn"},
        {L"DeleteAllMonsters", L"s"},
        {L"AnyAliveMonster", L"s"},
        {L"HeroIsAnyLimbMissing", L""},
        {L"HeroLearnSkill", L"sn"},
        {L"HeroGetSkillLevel", L"s"},
        {L"HeroGetStrength", L""},
        {L"HeroGetDexterity", L""},
        {L"HeroGetIntelligence", L""},
        {L"HeroGetVitality", L""},
        {L"HeroGetAppearance", L""},
        {L"DiffSeconds", L""},
        {L"DiffHours", L""},
        {L"DiffDays", L""},
        {L"DiffMonths", L""},
        {L"DiffYears", L""},
    };
    CScript script;
    const std::vector<TSystemFunction>& registry = script.GetRegistry();
    ASSERT_EQ(registry.size(), std::size(expected));
    for (uint32_t id = 0; id < registry.size(); ++id) {
        const std::string name = platform::ToUtf8(expected[id].name);
        EXPECT_EQ(registry[id].name, expected[id].name) << id;
        EXPECT_EQ(registry[id].id, id) << name;
        EXPECT_EQ(registry[id].signature, expected[id].signature) << name;
        EXPECT_EQ(registry[id].value1 + registry[id].value2 + registry[id].value3, 0u) << name;
        EXPECT_EQ(script.FindSystemFunction(expected[id].name), static_cast<int32_t>(id)) << name;
    }
    // They stay through a parse (which drops the user functions) and a copy.
    ASSERT_EQ(Parse(script, L"function Mine() {\n}\n"), kNone);
    EXPECT_EQ(script.GetRegistry().size(), std::size(expected) + 1);
    ASSERT_EQ(Parse(script, L"var x = 1\n"), kNone);
    EXPECT_EQ(script.GetRegistry().size(), std::size(expected));
    const CScript copy(script);
    EXPECT_EQ(copy.GetRegistry().size(), std::size(expected));
}

// One row a built-in: the line, what the game's side was asked (in the
// order asked) and the result.
TEST_F(ScriptBuiltins, ArgumentsReachTheGameInSignatureOrder) {
    DefineAnNpc();
    const struct {
        std::wstring line;
        Texts calls;
        int64_t result;
        int code = kNone;
    } rows[] = {
        {L"SetStartLoc(\"mill.map\", 3, 65535)", {L"SetStartLoc(mill.map, 3, 65535)"}, 0},
        {L"EquipItem(\"herb\")", {L"HeroWield(1 x1 random 0 0)"}, 0},
        {L"AddInvItem(\"coin\", 25)", {L"HeroAddToInventory(2 x25 plain 0 0)"}, 0},
        {L"AddInvItemByAlias(\"GIFT\")", {L"HeroAddToInventory(1 x3 plain 0 0)"}, 0},
        {L"NPCAddInvItem(\"coin\", 4)", {L"NPCAddInvItem(2, 4)"}, 0},
        {L"CreateDungeonSite(40, 30, 3, \"mill.map\", 5, 6)", {L"CreateDungeonSite(40, 30, 3, mill.map, 5, 6)"}, 0},
        {L"Reveal(9)", {L"RevealCurrentLoc()"}, 0},
        {L"HasHeroItem(\"herbs\")", {L"HeroHasItems(1 x5 0)"}, 1},
        {L"HasHeroSomeItem(\"herbs\")", {L"HeroHasItems(1 x4294967295 0)"}, 1},
        {L"NPCIsAlive(\"Ada\", \"mill.map\")", {L"NPCIsAlive(Ada, mill.map)"}, 1},
        {L"NPCIsPresentInLoc(\"Ada\", \"mill.map\", \"vale\")", {L"IsNPCPresentInLoc(Ada, mill.map, vale)"}, 1},
        {L"NPCAddSpell(\"FROST\", 100)", {L"NPCAddSpell(1, 100)"}, 0},
        {L"AddGroup(\"guards\")", {L"AddGroup(guards)"}, 0},
        {L"AddMonsterToGroup(\"wolf\", \"mill.map\", 2, 3, \"pack\")",
         {L"AddMonsterToGroup(wolf, mill.map, 2, 3, pack)"},
         0},
        {L"NPCSetGroup(\"Ada\", \"mill.map\", \"guards\")", {L"NPCSetGroup(Ada, mill.map, guards)"}, 0},
        {L"NPCStartChat(\"Ada\", \"mill.map\")", {L"NPCStartChat(Ada, mill.map)"}, 0},
        {L"BeginQuest(\"q1\", \"T\", \"D\", \"G\")", {L"BeginQuest(q1, T, D, G)"}, 0},
        {L"EndQuest(\"q1\")", {L"EndQuest(q1)"}, 0},
        {L"Battle(\"Ford\", \"a\", \"b\")", {L"StartBattle(Ford, a, b)"}, 0},
        {L"NPCSetAttitude(\"Ada\", \"mill.map\", 2)", {L"NPCChangeAttitude(Ada, mill.map, 2)"}, 0},
        {L"AddDragon(\"cave\", \"wyrm\", 4, 5)", {L"AddDragon(cave, wyrm, 4, 5)"}, 0},
        {L"NPCAddEnemy(\"Ada\", \"mill.map\", \"Bo\", \"farm.map\")", {L"NPCAddEnemy(Ada, mill.map, Bo, farm.map)"}, 0},
        {L"NPCMakeHeroEnemy(\"Ada\", \"mill.map\")", {L"NPCMakeHeroEnemy(Ada, mill.map)"}, 0},
        {L"IsBattleEnded(\"Ford\")", {L"BattleWinner(Ford)"}, 1},
        {L"HasGroupWonBattle(\"Ford\", \"a\")", {L"BattleWinner(Ford)"}, 1},
        // The winner's name exactly, not in other letters.
        {L"HasGroupWonBattle(\"Ford\", \"A\")", {L"BattleWinner(Ford)"}, 0},
        {L"HasGroupWonBattle(\"Ford\", \"b\")", {L"BattleWinner(Ford)"}, 0},
        // 300 and -5 (a literal cannot carry a sign: its 32-bit pattern) are
        // cut to 255 and 0; the value is built unsigned.
        {L"AddLocLightEffect(\"mill.map\", 300, 1, 2, 4294967291)", {L"AddLocEffect(mill.map, 0, 0xFF010200)"}, 0},
        {L"AddLocLightEffect(\"mill.map\", 255, 255, 255, 255)", {L"AddLocEffect(mill.map, 0, 0xFFFFFFFF)"}, 0},
        {L"AddLocLightEffect(\"mill.map\", 4294967295, 256, 0, 254)", {L"AddLocEffect(mill.map, 0, 0x00FF00FE)"}, 0},
        {L"AddLocLightEffect(\"mill.map\", 128, 0, 0, 0)", {L"AddLocEffect(mill.map, 0, 0x80000000)"}, 0},
        {L"IsPlayerWoman()", {L"IsPlayerWoman()"}, 1},
        {L"EquipAmmo(\"arrow\", 20)", {L"HeroWield(3 x20 random 0 0)"}, 0},
        {L"AddCompanion(\"wolf\", \"mill.map\")", {L"AddCompanion(wolf, mill.map)"}, 0},
        {L"NPCFollowHero()", {L"NPCFollowHero(test.u)"}, 0},
        {L"NPCUnfollowHero()", {L"NPCUnfollowHero(test.u)"}, 0},
        // Random properties only for 16 as the first property value.
        {L"AddInvItemEx(\"herb\", 2, 16, 5, 9)", {L"HeroAddToInventory(1 x2 random 16 5)"}, 0},
        {L"AddInvItemEx(\"herb\", 2, 15, 5, 9)", {L"HeroAddToInventory(1 x2 plain 15 5)"}, 0},
        {L"AddInvItemEx(\"herb\", 2, 17, 0, 0)", {L"HeroAddToInventory(1 x2 plain 17 0)"}, 0},
        {L"EquipItemBS(\"herb\", 7)", {L"HeroWield(1 x1 plain 7 0)"}, 0},
        {L"EquipAmmoBS(\"arrow\", 10, 4)", {L"HeroWield(3 x10 plain 4 0)"}, 0},
        {L"KillNPC(\"mill.map\", \"Ada\", \"farm.map\")", {L"KillNPC(mill.map, Ada, farm.map)"}, 0},
        {L"NPCSetActivity(\"Ada\", \"mill.map\", 6)", {L"NPCSetActivity(Ada, mill.map, 6)"}, 0},
        {L"NPCActivate(\"Ada\", \"mill.map\")", {L"NPCActivate(Ada, mill.map, 1)"}, 0},
        {L"NPCDeactivate(\"Ada\", \"mill.map\")", {L"NPCActivate(Ada, mill.map, 0)"}, 0},
        {L"GiveItem(\"herbs\")", {L"HeroGiveItem(1 x5 plain 0 0)"}, 0},
        {L"TakeItem(\"herbs\")", {L"HeroRemoveItems(1 x5 0)"}, 0},
        {L"AddObject(\"mill.map\", 1, 2, 7)", {L"AddObject(mill.map, 1, 2, 7)"}, 0},
        {L"DeleteObject(\"mill.map\", 1, 2)", {L"DeleteObject(mill.map, 1, 2)"}, 0},
        {L"ActivateSpecial(\"mill.map\", 1, 2)", {L"SetSpecialActive(mill.map, 1, 2, 1)"}, 0},
        {L"DeactivateSpecial(\"mill.map\", 1, 2)", {L"SetSpecialActive(mill.map, 1, 2, 0)"}, 0},
        {L"AddItem(\"mill.map\", \"herb\", 1, 2)", {L"AddItem(mill.map, herb, 1, 2)"}, 0},
        {L"DeleteItem(\"mill.map\", \"herb\", 1, 2)", {L"DeleteItem(mill.map, herb, 1, 2)"}, 0},
        {L"DeleteAllItems(\"mill.map\", 1, 2)", {L"DeleteAllItems(mill.map, 1, 2)"}, 0},
        {L"AddMonster(\"mill.map\", \"wolf\", 1, 2)", {L"AddMonster(mill.map, wolf, 1, 2)"}, 0},
        {L"DeleteAllMonsters(\"mill.map\")", {L"DeleteAllMonsters(mill.map)"}, 0},
        {L"AnyAliveMonster(\"mill.map\")", {L"AnyAliveMonster(mill.map)"}, 1},
        // The first limb is the built-in's own to look at.
        {L"HeroIsAnyLimbMissing()", {L"HeroGetLimb(0)", L"HeroIsAnyLimbMissing()"}, 1},
        // The level goes on as it is, up to what a byte holds: above that it
        // is 255, not what is left of it in a byte (300 -> 44).
        {L"HeroLearnSkill(\"Swords\", 300)", {L"FindSkill(Swords)", L"HeroLearnSkill(2, 255)"}, 0},
        {L"HeroLearnSkill(\"Swords\", 256)", {L"FindSkill(Swords)", L"HeroLearnSkill(2, 255)"}, 0},
        {L"HeroLearnSkill(\"Swords\", 255)", {L"FindSkill(Swords)", L"HeroLearnSkill(2, 255)"}, 0},
        {L"HeroLearnSkill(\"Swords\", 254)", {L"FindSkill(Swords)", L"HeroLearnSkill(2, 254)"}, 0},
        {L"HeroLearnSkill(\"Swords\", 101)", {L"FindSkill(Swords)", L"HeroLearnSkill(2, 101)"}, 0},
        {L"HeroLearnSkill(\"Swords\", 100)", {L"FindSkill(Swords)", L"HeroLearnSkill(2, 100)"}, 0},
        {L"HeroLearnSkill(\"Swords\", 99)", {L"FindSkill(Swords)", L"HeroLearnSkill(2, 99)"}, 0},
        {L"HeroLearnSkill(\"Swords\", 4294967295)", {L"FindSkill(Swords)", L"HeroLearnSkill(2, 255)"}, 0},
        {L"HeroGetSkillLevel(\"Swords\")", {L"FindSkill(Swords)", L"HeroGetSkillLevel(2)"}, 7},
        {L"HeroGetStrength()", {L"HeroGetAttribute(0)"}, 10},
        {L"HeroGetDexterity()", {L"HeroGetAttribute(1)"}, 11},
        {L"HeroGetIntelligence()", {L"HeroGetAttribute(3)"}, 13},
        {L"HeroGetVitality()", {L"HeroGetAttribute(2)"}, 12},
        {L"HeroGetAppearance()", {L"HeroGetAttribute(4)"}, 14},
    };
    RunRows(
        rows, [](const auto&) {},
        [&](const auto& row, int64_t result, const std::string& what) {
            EXPECT_EQ(m_gameplay.calls, row.calls) << what;
            EXPECT_EQ(result, row.result) << what;
        });
}

// The built-in looks at the first limb itself, and asks about the others
// only while the first is there.
TEST_F(ScriptBuiltins, AnyLimbMissingLooksAtTheFirstLimbItself) {
    const struct {
        int32_t first;
        bool others;
        Texts calls;
        int64_t result;
    } cases[] = {
        {3, false, {L"HeroGetLimb(0)"}, 1},
        {2, false, {L"HeroGetLimb(0)", L"HeroIsAnyLimbMissing()"}, 0},
        {0, true, {L"HeroGetLimb(0)", L"HeroIsAnyLimbMissing()"}, 1},
    };
    for (const auto& c : cases) {
        m_gameplay.calls.clear();
        m_gameplay.limb = c.first;
        m_gameplay.answer = c.others;
        int64_t result = 0;
        EXPECT_EQ(Run(L"HeroIsAnyLimbMissing()", result), kNone) << c.first;
        EXPECT_EQ(m_gameplay.calls, c.calls) << c.first;
        EXPECT_EQ(result, c.result) << c.first;
    }
    m_gameplay.limb = 0;
    m_gameplay.answer = true;
}

TEST_F(ScriptBuiltins, RefusedArgumentsAreScriptErrors) {
    const struct {
        const char* what;
        std::wstring line;
        int code;
        bool npc = true;
        bool answer = true;
        uint16_t taken = 2;
    } rows[] = {
        {.what = "an unknown item", .line = L"EquipItem(\"stone\")", .code = kErrItemNotFound},
        {.what = "a \"#\" number", .line = L"EquipItem(\"#1\")", .code = kNone},
        {.what = "wielding refused", .line = L"EquipItem(\"herb\")", .code = kErrBadFunctionResult, .answer = false},
        {.what = "the backpack refuses", .line = L"AddInvItem(\"herb\", 1)", .code = kErrBadFunctionResult, .taken = 1},
        {.what = "the backpack refuses (Ex)",
         .line = L"AddInvItemEx(\"herb\", 1, 0, 0, 0)",
         .code = kErrBadFunctionResult,
         .taken = 0},
        {.what = "a corpse alias", .line = L"AddInvItemByAlias(\"##wolf\")", .code = kErrInvalidArgumentValue},
        {.what = "\"##\" alone, not declared", .line = L"AddInvItemByAlias(\"##\")", .code = kErrInvalidArgumentValue},
        {.what = "\"#\" and a name, not declared",
         .line = L"AddInvItemByAlias(\"#wolf\")",
         .code = kErrItemAliasNotDeclared},
        {.what = "an alias not declared", .line = L"AddInvItemByAlias(\"nope\")", .code = kErrItemAliasNotDeclared},
        {.what = "an alias refused", .line = L"AddInvItemByAlias(\"gift\")", .code = kErrNoFunctionResult, .taken = 1},
        {.what = "no NPC being defined", .line = L"NPCAddInvItem(\"herb\", 1)", .code = kErrNpcNotFound, .npc = false},
        {.what = "the item before the NPC",
         .line = L"NPCAddInvItem(\"stone\", 1)",
         .code = kErrItemNotFound,
         .npc = false},
        // Dungeon sites: whole world cells of 20 x 15, at most 50 x 50 of
        // them, 1 to 1000 levels.
        {.what = "a site of 40 x 30, 3 levels", .line = L"CreateDungeonSite(40, 30, 3, \"m\", 0, 0)", .code = kNone},
        {.what = "the smallest site", .line = L"CreateDungeonSite(20, 15, 1, \"m\", 0, 0)", .code = kNone},
        {.what = "the largest site", .line = L"CreateDungeonSite(1000, 750, 1000, \"m\", 0, 0)", .code = kNone},
        {.what = "width 30", .line = L"CreateDungeonSite(30, 30, 3, \"m\", 0, 0)", .code = kErrInvalidArgumentValue},
        {.what = "width 10", .line = L"CreateDungeonSite(10, 30, 3, \"m\", 0, 0)", .code = kErrInvalidArgumentValue},
        {.what = "width 0", .line = L"CreateDungeonSite(0, 30, 3, \"m\", 0, 0)", .code = kErrInvalidArgumentValue},
        {.what = "width 1020",
         .line = L"CreateDungeonSite(1020, 30, 3, \"m\", 0, 0)",
         .code = kErrInvalidArgumentValue},
        {.what = "width 65540 (20 in 16 bits)",
         .line = L"CreateDungeonSite(65540, 30, 3, \"m\", 0, 0)",
         .code = kErrInvalidArgumentValue},
        {.what = "width -20",
         .line = L"CreateDungeonSite(4294967276, 30, 3, \"m\", 0, 0)",
         .code = kErrInvalidArgumentValue},
        {.what = "height 20", .line = L"CreateDungeonSite(40, 20, 3, \"m\", 0, 0)", .code = kErrInvalidArgumentValue},
        {.what = "height 765", .line = L"CreateDungeonSite(40, 765, 3, \"m\", 0, 0)", .code = kErrInvalidArgumentValue},
        {.what = "height 65550 (15 in 16 bits)",
         .line = L"CreateDungeonSite(40, 65550, 3, \"m\", 0, 0)",
         .code = kErrInvalidArgumentValue},
        {.what = "0 levels", .line = L"CreateDungeonSite(40, 30, 0, \"m\", 0, 0)", .code = kErrInvalidArgumentValue},
        {.what = "1001 levels",
         .line = L"CreateDungeonSite(40, 30, 1001, \"m\", 0, 0)",
         .code = kErrInvalidArgumentValue},
        {.what = "65537 levels (1 in 16 bits)",
         .line = L"CreateDungeonSite(40, 30, 65537, \"m\", 0, 0)",
         .code = kErrInvalidArgumentValue},
        // Spell levels 1 to 100, checked before they are cut to 16 bits.
        {.what = "spell level 0", .line = L"NPCAddSpell(\"spark\", 0)", .code = kErrInvalidArgumentValue},
        {.what = "spell level 1", .line = L"NPCAddSpell(\"spark\", 1)", .code = kNone},
        {.what = "spell level 100", .line = L"NPCAddSpell(\"spark\", 100)", .code = kNone},
        {.what = "spell level 101", .line = L"NPCAddSpell(\"spark\", 101)", .code = kErrInvalidArgumentValue},
        {.what = "spell level 65537 (1 in 16 bits)",
         .line = L"NPCAddSpell(\"spark\", 65537)",
         .code = kErrInvalidArgumentValue},
        {.what = "the level before the spell",
         .line = L"NPCAddSpell(\"nothing\", 0)",
         .code = kErrInvalidArgumentValue},
        {.what = "an unknown spell", .line = L"NPCAddSpell(\"nothing\", 5)", .code = kErrSpellNotFound},
        {.what = "the spell before the NPC",
         .line = L"NPCAddSpell(\"nothing\", 5)",
         .code = kErrSpellNotFound,
         .npc = false},
        {.what = "a spell without an NPC", .line = L"NPCAddSpell(\"spark\", 5)", .code = kErrNpcNotFound, .npc = false},
        {.what = "attitude 0", .line = L"NPCSetAttitude(\"Ada\", \"m\", 0)", .code = kNone},
        {.what = "attitude 1", .line = L"NPCSetAttitude(\"Ada\", \"m\", 1)", .code = kNone},
        {.what = "attitude 2", .line = L"NPCSetAttitude(\"Ada\", \"m\", 2)", .code = kNone},
        {.what = "attitude 3", .line = L"NPCSetAttitude(\"Ada\", \"m\", 3)", .code = kErrInvalidArgumentValue},
        {.what = "attitude -1",
         .line = L"NPCSetAttitude(\"Ada\", \"m\", 4294967295)",
         .code = kErrInvalidArgumentValue},
        {.what = "ammunition of another class", .line = L"EquipAmmo(\"herb\", 1)", .code = kErrNoFunctionResult},
        {.what = "ammunition that no record describes",
         .line = L"EquipAmmo(\"#500\", 1)",
         .code = kErrNoFunctionResult},
        {.what = "ammunition (BS) of another class",
         .line = L"EquipAmmoBS(\"coin\", 1, 0)",
         .code = kErrNoFunctionResult},
        {.what = "ammunition refused",
         .line = L"EquipAmmo(\"arrow\", 1)",
         .code = kErrBadFunctionResult,
         .answer = false},
        {.what = "an item alias not declared", .line = L"HasHeroItem(\"nope\")", .code = kErrItemAliasNotDeclared},
        {.what = "GiveItem of an alias not declared", .line = L"GiveItem(\"nope\")", .code = kErrItemAliasNotDeclared},
        {.what = "TakeItem of an alias not declared", .line = L"TakeItem(\"nope\")", .code = kErrItemAliasNotDeclared},
    };
    RunRows(
        rows,
        [&](const auto& row) {
            m_game.SetCurrentNpc(nullptr);
            if (row.npc) {
                DefineAnNpc();
            }
            m_gameplay.answer = row.answer;
            m_gameplay.taken = row.taken;
        },
        [&](const auto& row, int64_t, const std::string&) {
            if (row.code != kNone && row.code != kErrItemAliasNotDeclared) {
                EXPECT_EQ(m_errorFunction, L"CScript::ExecuteFunction") << row.what;
                EXPECT_EQ(m_errorLine, 5u) << row.what;
            }
        });
}

TEST_F(ScriptBuiltins, CorpseAliasesNameTheMonsterOfTheirValue) {
    // "##wolf" is declared with the value "##wolf": the lookup drops the
    // "##" the declaration needs, and the corpse is 50000 + the wolf's 0.
    const struct {
        std::wstring line;
        Texts calls;
        int code = kNone;
    } rows[] = {
        {L"HasHeroItem(\"##wolf\")", {L"HeroHasItems(50000 x2 0)"}},
        {L"HasHeroSomeItem(\"##WOLF\")", {L"HeroHasItems(50000 x4294967295 0)"}},
        {L"GiveItem(\"##wolf\")", {L"HeroGiveItem(50000 x2 plain 0 0)"}},
        {L"TakeItem(\"##wolf\")", {L"HeroRemoveItems(50000 x2 0)"}},
    };
    RunRows(
        rows, [](const auto&) {},
        [&](const auto& row, int64_t, const std::string& what) { EXPECT_EQ(m_gameplay.calls, row.calls) << what; });
    // A monster the table no longer has (the parse saw another table).
    g_gameData = nullptr;
    CScript script;
    ASSERT_EQ(Parse(script, L"item \"##bear\" \"##bear\" 1 0 0\nHasHeroItem(\"##bear\")\n"), kNone);
    g_gameData = &m_game;
    EXPECT_EQ(CGameScriptTest::Run(script, kScriptTypeWhole), kErrMonsterNotFound);
    EXPECT_EQ(m_errorFunction, L"CScript::ExecuteFunction");
    // "##" alone: an ordinary alias to HasHeroSomeItem (its declared item, no
    // monster looked up), a corpse alias to HasHeroItem.
    const struct {
        const char* what;
        const wchar_t* text;
        int code;
        Texts calls;
    } bare[] = {
        {"some, of an item",
         L"item \"##\" \"herb\" 1 0 0\nHasHeroSomeItem(\"##\")",
         kNone,
         {L"HeroHasItems(1 x4294967295 0)"}},
        {"the quantity, of an item", L"item \"##\" \"herb\" 1 0 0\nHasHeroItem(\"##\")", kErrMonsterNotFound, {}},
        {"the quantity, of a monster",
         L"item \"##\" \"##wolf\" 3 0 0\nHasHeroItem(\"##\")",
         kNone,
         {L"HeroHasItems(50000 x3 0)"}},
        {"the quantity, not declared", L"HasHeroItem(\"##\")", kErrItemAliasNotDeclared, {}},
        {"into the backpack", L"item \"##\" \"herb\" 1 0 0\nAddInvItemByAlias(\"##\")", kErrInvalidArgumentValue, {}},
    };
    for (const auto& row : bare) {
        CScript plain;
        ASSERT_EQ(Parse(plain, row.text), kNone) << row.what;
        m_gameplay.calls.clear();
        EXPECT_EQ(CGameScriptTest::Run(plain, kScriptTypeWhole), row.code) << row.what;
        EXPECT_EQ(m_gameplay.calls, row.calls) << row.what;
    }
}

TEST_F(ScriptBuiltins, UnknownNamesAndIdsAreFunctionNotFound) {
    CScript script;
    ASSERT_EQ(Parse(script, L"function Mine() {\n}\n"), kNone);
    std::wstring function;
    const auto code = [&](const std::function<void()>& call) {
        try {
            call();
        } catch (const CScriptException& e) {
            function = e.GetFunction();
            return static_cast<int>(e.GetCode());
        }
        return kNone;
    };
    EXPECT_EQ(code([&] { script.ExecuteFunction(L"NoSuchThing", false, L""); }), kErrFunctionNotFound);
    EXPECT_EQ(function, L"CScript::ExecuteFunction");
    // The registry index of a user function, and one past the registry: the
    // base has no built-in of that id.
    const uint32_t mine = static_cast<uint32_t>(script.FindSystemFunction(L"Mine"));
    EXPECT_EQ(mine, 72u);
    EXPECT_EQ(code([&] { script.ExecuteFunction(mine); }), kErrFunctionNotFound);
    EXPECT_EQ(function, L"CScriptBase::ExecuteFunction");
    EXPECT_EQ(code([&] { script.ExecuteFunction(73u); }), kErrFunctionNotFound);
    EXPECT_EQ(function, L"CScriptBase::ExecuteFunction");
    // Rnd still runs in the base: bounds 6 and 1 give the upper one.
    script.PushArgument(L"6");
    script.PushArgument(L"1");
    EXPECT_EQ(script.ExecuteFunction(0u), 1);
}

TEST_F(ScriptBuiltins, TestPrintsItsArgumentsLastFirst) {
    int64_t result = 0;
    ASSERT_EQ(Run(L"_Test(5, \"abc\")", result), kNone);
    EXPECT_EQ(m_output.str(), L"Args: 2\nArg 2: abc\nArg 1: 5\n");
}

TEST_F(ScriptBuiltins, WithoutTheGameBuiltinsCheckAndDoNothing) {
    SetGameplay(nullptr);
    DefineAnNpc();
    const struct {
        std::wstring line;
        int code;
    } rows[] = {
        {L"EquipItem(\"herb\")", kNone},
        {L"EquipItem(\"stone\")", kErrItemNotFound},
        {L"IsPlayerWoman()", kNone},
        {L"HasHeroItem(\"herbs\")", kNone},
        {L"NPCAddSpell(\"spark\", 0)", kErrInvalidArgumentValue},
        {L"AnyAliveMonster(\"m\")", kNone},
        {L"HeroGetSkillLevel(\"Swords\")", kNone},
    };
    RunRows(
        rows, [](const auto&) {},
        [](const auto& row, int64_t result, const std::string& what) {
            if (row.code == kNone) {
                EXPECT_EQ(result, 0) << what;
            }
        });
}

TEST_F(ScriptBuiltins, MessagesGoToTheLogAndTheImportantWindow) {
    struct CMessages final : public IGameDisplay {
        void AddMessage(const std::wstring& text, uint32_t type, bool) override {
            lines.push_back(L"log " + std::to_wstring(type) + L" " + text);
        }
        void ShowMessage(const std::wstring&, uint32_t) override {}
        void ShowImportantMessage(const std::wstring& caption, const std::wstring& text, bool) override {
            lines.push_back(L"box " + caption + L": " + text);
        }
        void OpenWindow(uint32_t, uint32_t, uint32_t) override {}
        void SetInputMode(uint32_t) override {}
        void Draw() override {}
        void CenterView() override {}
        void UpdateAutomapImage() override {}
        void RunModalLoop() override {}
        bool HasWindow() const override { return false; }
        void ShowMessageBox(const std::wstring&) override {}
        Texts* out = nullptr;
        Texts lines;
    };
    m_game.GetStrings().LoadText(L"STR_IMPORTANT_MSG Note\nSTR_HELLO Hello there\n");
    auto display = std::make_unique<CMessages>();
    CMessages* messages = display.get();
    m_game.SetDisplay(std::move(display));
    int64_t result = 0;
    ASSERT_EQ(Run(L"MsgLog(\"STR_HELLO\", 2)", result), kNone);
    ASSERT_EQ(Run(L"MsgBox(\"STR_HELLO\")", result), kNone);
    EXPECT_EQ(messages->lines, (Texts{L"log 2 Hello there", L"box Note: Hello there"}));
}

TEST_F(ScriptBuiltins, ElapsedTimeIsCountedUnsignedAndCut) {
    const struct {
        uint64_t clock = 0;
        uint64_t exitTime = 0;
        int64_t seconds = 0, hours = 0, days = 0, months = 0, years = 0;
    } rows[] = {
        {},
        {.clock = 100, .exitTime = 200}, // the exit time lies ahead
        {.clock = 3599, .seconds = 3599},
        {.clock = 3600, .seconds = 3600, .hours = 1},
        {.clock = 43199, .seconds = 43199, .hours = 11},
        {.clock = 43200, .seconds = 43200, .hours = 12, .days = 1},
        // A "day" of 43,200 s: 86,399 s are one, and 23 hours.
        {.clock = 1086399, .exitTime = 1000000, .seconds = 86399, .hours = 23, .days = 1},
        {.clock = 1295999, .seconds = 1295999, .hours = 359, .days = 29},
        {.clock = 1296000, .seconds = 1296000, .hours = 360, .days = 30, .months = 1},
        {.clock = 15551999, .seconds = 15551999, .hours = 4319, .days = 359, .months = 11},
        {.clock = 15552000, .seconds = 15552000, .hours = 4320, .days = 360, .months = 12, .years = 1},
        {.clock = 2147483647, .seconds = 2147483647, .hours = 596523, .days = 49710, .months = 1657, .years = 138},
        // Beyond 2^31 - 1 the count stays positive: seconds are cut.
        {.clock = 2147483648, .seconds = 2147483647, .hours = 596523, .days = 49710, .months = 1657, .years = 138},
        {.clock = 3732480000, .seconds = 2147483647, .hours = 1036800, .days = 86400, .months = 2880, .years = 240},
        // More than the game counts is as much as it counts.
        {.clock = 3732480001, .seconds = 2147483647, .hours = 1036800, .days = 86400, .months = 2880, .years = 240},
        {.clock = 10000000000000,
         .exitTime = 5,
         .seconds = 2147483647,
         .hours = 1036800,
         .days = 86400,
         .months = 2880,
         .years = 240},
    };
    for (const auto& row : rows) {
        m_game.SetClock(row.clock);
        m_game.SetCurrentLocExitTime(row.exitTime);
        const std::string what = std::to_string(row.clock) + " - " + std::to_string(row.exitTime);
        int64_t result = 0;
        for (const auto& [line, expected] :
             {std::pair{L"DiffSeconds()", row.seconds}, std::pair{L"DiffHours()", row.hours},
              std::pair{L"DiffDays()", row.days}, std::pair{L"DiffMonths()", row.months},
              std::pair{L"DiffYears()", row.years}}) {
            ASSERT_EQ(Run(line, result), kNone) << what;
            EXPECT_EQ(result, expected) << what << " " << platform::ToUtf8(line);
        }
    }
    // No current location: nothing has elapsed.
    m_game.SetClock(5000);
    m_game.SetCurrentLocExitTime(std::nullopt);
    int64_t result = 0;
    ASSERT_EQ(Run(L"DiffSeconds()", result), kNone);
    EXPECT_EQ(result, 0);
}

// A game folder of the test's own for the files the scripts read.
class ScriptBuiltinFiles : public ScriptBuiltins {
protected:
    void SetUp() override {
        ScriptBuiltins::SetUp();
        m_folder.emplace();
    }
    void TearDown() override {
        m_folder.reset();
        ScriptBuiltins::TearDown();
    }
    static void Write(const std::string& path, const std::string& text) { testsupport::WriteBytes(path, text); }

    std::optional<testsupport::CScratchWorkingFolder> m_folder;
};

std::string Shown(const TTradeInfo& t) {
    std::ostringstream text;
    text << int{t.valid} << " " << t.factor1 << " " << t.factor2 << " " << int{t.valueA} << " " << t.valueB << " "
         << t.valueC << " |";
    for (const TTradeItem& item : t.items) {
        text << " {" << item.itemType << " " << item.value1 << " " << item.value2 << " " << item.value3 << "}";
    }
    text << " |";
    for (uint16_t category : t.buyCategories) {
        text << " " << category;
    }
    return text.str();
}

TEST_F(ScriptBuiltinFiles, TradeProfilesFillTheTradeRecord) {
    Write("Data/Scripts/stock.u",
          "// The herbalist's stock.\n"
          "DefineTradeItem(\"herb\", 70000, 3, 4)\n"
          "DefineRandomTradeItem(5, 6)\n"
          "DefineBuyCategory(12)\n"
          "DefineBuyCategory(65537)\n");
    const struct {
        const char* what;
        std::wstring text;
        uint32_t type;
        int code;
        std::string trade;
    } rows[] = {
        // The profile's entry {9, 7, b, c} comes first; a keeps its low
        // byte; a and the category are cut to 16 bits.
        {.what = "whole text",
         .text = L"LoadTradeProfile(\"stock.u\", 1.5, 0.25, 300, 7, 8)\n",
         .type = kScriptTypeWhole,
         .code = kNone,
         .trade = "1 1.5 0.25 44 7 8 | {9 7 7 8} {1 4464 3 4} {65535 5 0 6} | 12 1"},
        {.what = "trade set-up",
         .text = L"var x = 0\nx = LoadTradeProfile(\"stock.u\", 2.0, 1.0, 1, 2, 3)\nx = 5\n",
         .type = kScriptTypeTradeSetUp,
         .code = kNone,
         .trade = "1 2 1 1 2 3 | {9 7 2 3} {1 4464 3 4} {65535 5 0 6} | 12 1"},
        {.what = "trade set-up without a profile",
         .text = L"DefineBuyCategory(2)\nDefineTradeItem(\"key\", 1, 2, 3)\n",
         .type = kScriptTypeTradeSetUp,
         .code = kNone,
         .trade = "0 0 0 0 0 0 | |"},
        {.what = "definitions of the script itself",
         .text = L"DefineBuyCategory(2)\nDefineTradeItem(\"key\", 1, 2, 3)\n",
         .type = kScriptTypeWhole,
         .code = kNone,
         .trade = "0 0 0 0 0 0 | {0 1 2 3} | 2"},
        {.what = "a profile that is not there",
         .text = L"LoadTradeProfile(\"none.u\", 1.0, 1.0, 1, 1, 1)\n",
         .type = kScriptTypeWhole,
         .code = kFileError,
         .trade = "0 0 0 0 0 0 | |"},
        {.what = "an unknown item",
         .text = L"DefineTradeItem(\"stone\", 1, 2, 3)\n",
         .type = kScriptTypeWhole,
         .code = kErrItemNotFound,
         .trade = "0 0 0 0 0 0 | |"},
    };
    for (const auto& row : rows) {
        CScript script;
        ASSERT_EQ(Parse(script, row.text), kNone) << row.what;
        if (row.code == kFileError) {
            EXPECT_THROW(script.ExecuteScript(row.type), vek::CFileException) << row.what;
        } else {
            EXPECT_EQ(CGameScriptTest::Run(script, row.type), row.code) << row.what;
        }
        EXPECT_EQ(Shown(script.GetExtraData().trade), row.trade) << row.what;
    }
    // Type 4 on a script with a trade record clears the header only.
    CScript kept;
    ASSERT_EQ(Parse(kept, L"var x = 1\n"), kNone);
    kept.GetExtraData().trade.valid = 1;
    kept.GetExtraData().trade.valueB = 9;
    kept.GetExtraData().trade.items = {{2, 1, 1, 1}};
    kept.GetExtraData().trade.buyCategories = {4};
    EXPECT_EQ(CGameScriptTest::Run(kept, kScriptTypeTradeSetUp), kNone);
    EXPECT_EQ(Shown(kept.GetExtraData().trade), "0 0 0 0 0 0 | {2 1 1 1} | 4");
}

// The game's own errors go on through the script as they are, their details
// saying which script line asked for the work.
TEST_F(ScriptBuiltins, GameErrorsNameTheScriptLine) {
    const struct {
        const char* what;
        std::function<void()> raise;
        const std::type_info& kind;
        std::wstring details;
        std::wstring text;
    } rows[] = {
        {"plain",
         [] {
             throw vek::CException(L"CGameplay::FindLoc", L"shell/Gameplay.cpp", 12,
                                   L"Cannot find location, UID = moor");
         },
         typeid(vek::CException), L"Cannot find location, UID = moor (test.u, line 5)",
         L"Details: Cannot find location, UID = moor (test.u, line 5)\r\nSource file: Gameplay.cpp\r\n"
         L"Function: CGameplay::FindLoc\r\nLine: 12"},
        {"a file's",
         [] {
             throw vek::CFileException(vek::CFileException::kNotFound, L"mill.map", L"vek::CFile::Open", L"Files.cpp",
                                       7, L"");
         },
         typeid(vek::CFileException), L"File not found (mill.map) (test.u, line 5)",
         L"File not found (mill.map) (test.u, line 5)\r\nSource file: Files.cpp\r\nFunction: vek::CFile::Open\r\n"
         L"Line: 7.\r\n"},
        {"a look-up's",
         [] { throw CEntityError(L"CGame::FindEntity", L"GameData", 3, CEntityError::kMonster, L"lion"); },
         typeid(CEntityError), L"Monster entity not found: lion (test.u, line 5)",
         L"Details: Monster entity not found: lion (test.u, line 5)\r\nSource file: GameData\r\n"
         L"Function: CGame::FindEntity\r\nLine: 3"},
        {"without a message", [] { throw vek::CException(L"f", L"s", 1, L" "); }, typeid(vek::CException),
         L"(test.u, line 5)", L"Details: (test.u, line 5)\r\nSource file: s\r\nFunction: f\r\nLine: 1"},
    };
    for (const auto& row : rows) {
        m_gameplay.raise = row.raise;
        int64_t result = 0;
        try {
            Run(L"AddObject(\"moor\", 1, 2, 3)", result);
            ADD_FAILURE() << row.what;
        } catch (const vek::CException& e) {
            EXPECT_EQ(typeid(e), row.kind) << row.what;
            EXPECT_EQ(e.GetDetails(), row.details) << row.what;
            EXPECT_EQ(e.GetText(), row.text) << row.what;
        }
    }
    m_gameplay.raise = nullptr;
}

// Error 2 of a limit says which limit it was and how far it goes.
TEST_F(ScriptBuiltinFiles, LimitsSayWhichRanOut) {
    Write("Data/Scripts/self.u", "LoadTradeProfile(\"self.u\", 1.0, 1.0, 1, 1, 1)\n");
    const auto calls = [](int depth) {
        return L"var d = 0\nF()\nfunction F() {\nincr d\nif (d < " + std::to_wstring(depth) + L") {\nF()\n}\n}\n";
    };
    const struct {
        const char* what;
        std::wstring text;
        uint64_t budget;
        int code;
        std::wstring details;
        int runs = 1; // the code is the last run's
    } rows[] = {
        {.what = "200 calls deep", .text = calls(200), .budget = 10000, .code = kNone, .details = L""},
        {.what = "201 calls deep",
         .text = calls(201),
         .budget = 10000,
         .code = kErrExecution,
         .details = L"call depth cap of 200 calls reached"},
        {.what = "within the budget",
         .text = L"var d = 0\nfor i = 1 to 100 {\nincr d\n}\n",
         .budget = 1000,
         .code = kNone,
         .details = L""},
        {.what = "a runaway loop",
         .text = L"top:\ngoto top\n",
         .budget = 1000,
         .code = kErrExecution,
         .details = L"step budget of 1000 commands ran out"},
        // The budget, not where the run's count ends.
        {.what = "a runaway loop in a second run",
         .text = L"var d = 0\nincr d\nif (d == 2) {\ntop:\ngoto top\n}\n",
         .budget = 1000,
         .code = kErrExecution,
         .details = L"step budget of 1000 commands ran out",
         .runs = 2},
        {.what = "a profile that loads itself",
         .text = L"LoadTradeProfile(\"self.u\", 1.0, 1.0, 1, 1, 1)\n",
         .budget = 1000,
         .code = kErrExecution,
         .details = L"trade profile depth cap of 8 reached"},
    };
    for (const auto& row : rows) {
        CScript script;
        script.SetStepBudget(row.budget);
        ASSERT_EQ(Parse(script, row.text), kNone) << row.what;
        for (int run = 1; run < row.runs; ++run) {
            ASSERT_EQ(CGameScriptTest::Run(script, kScriptTypeWhole), kNone) << row.what << " " << run;
        }
        m_errorDetails.clear();
        EXPECT_EQ(CGameScriptTest::Run(script, kScriptTypeWhole), row.code) << row.what;
        EXPECT_EQ(m_errorDetails, row.details) << row.what;
    }
}

TEST_F(ScriptBuiltins, InitAndAfterStartRunStraightThrough) {
    const struct {
        const char* what;
        std::wstring body;
        uint32_t type;
        int code;
        int64_t n;
    } rows[] = {
        {"every command once", L"incr n\nincr n\n", kScriptTypeBrainInit, kNone, 2},
        {"a false if still runs its block", L"if (n == 99) {\nincr n\n} else {\nincr n\nincr n\n}\n",
         kScriptTypeBrainInit, kNone, 3},
        {"a loop runs once", L"for i = 1 to 5 {\nincr n\n}\n", kScriptTypeBrainInit, kNone, 1},
        {"a goto is not followed", L"goto skip\nincr n\nskip:\nincr n\n", kScriptTypeBrainInit, kNone, 2},
        {"a called function runs whole", L"Helper()\nincr n\n", kScriptTypeBrainInit, kNone, 11},
        // Once return has left the function the walk ends: the closing brace
        // has no call to return from (error 34 otherwise).
        {"return ends it", L"incr n\nreturn 1\nincr n\n", kScriptTypeBrainInit, kNone, 1},
        {"a return in a block ends it", L"if (n == 0) {\nincr n\nreturn 1\n}\nincr n\n", kScriptTypeBrainInit, kNone,
         1},
        // A jump out of the function leaves it as return does.
        {"a goto out of it ends it", L"incr n\ngoto outside\nincr n\n", kScriptTypeBrainInit, kNone, 1},
        {"AfterStart", L"incr n\n", kScriptTypeAfterStart, kNone, 1},
        {"built-ins run", L"n = DiffSeconds()\n", kScriptTypeBrainInit, kNone, 0},
        // Jumps within the function only move the index: the blocks they
        // would leave stay open for the commands that still run.
        {"break", L"for i = 1 to 3 {\nincr n\nbreak\nincr n\n}\nincr n\n", kScriptTypeBrainInit, kNone, 3},
        {"break in a block", L"for i = 1 to 3 {\nif (i == 1) {\nbreak\n}\nincr n\n}\nincr n\n", kScriptTypeBrainInit,
         kNone, 2},
        {"continue", L"for i = 1 to 3 {\nincr n\ncontinue\nincr n\n}\nincr n\n", kScriptTypeBrainInit, kNone, 3},
        {"a goto back out of a loop", L"back:\nfor i = 1 to 3 {\nincr n\ngoto back\nincr n\n}\nincr n\n",
         kScriptTypeBrainInit, kNone, 3},
        {"exit", L"incr n\nexit\nincr n\n", kScriptTypeBrainInit, kNone, 2},
        {"exit in AfterStart", L"incr n\nexit\nincr n\n", kScriptTypeAfterStart, kNone, 2},
    };
    for (const auto& row : rows) {
        CScript script;
        const bool afterStart = row.type == kScriptTypeAfterStart;
        const std::wstring text =
            L"var n = 0\n"
            L"function Helper() {\n"
            L"for i = 1 to 10 {\nincr n\n}\n"
            L"}\n"
            L"function AfterStart() {\n" +
            (afterStart ? row.body : L"n = 100\n") +
            L"}\n"
            L"outside:\n"
            L"function Init() {\n" +
            row.body + L"}\n";
        ASSERT_EQ(Parse(script, text), kNone) << row.what;
        EXPECT_EQ(CGameScriptTest::Run(script, row.type), row.code) << row.what << " " << m_errorLine;
        EXPECT_EQ(script.FindVariable(L"n", false)->GetValue(), row.n) << row.what;
    }
    // Without the function nothing runs and nothing fails; the name is
    // found in any case.
    CScript none;
    ASSERT_EQ(Parse(none, L"var n = 0\nincr n\nfunction Other() {\nincr n\n}\n"), kNone);
    EXPECT_EQ(CGameScriptTest::Run(none, kScriptTypeBrainInit), kNone);
    EXPECT_EQ(CGameScriptTest::Run(none, kScriptTypeAfterStart), kNone);
    EXPECT_EQ(none.FindVariable(L"n", false)->GetValue(), 0);
    CScript upper;
    ASSERT_EQ(Parse(upper, L"var n = 0\nfunction INIT() {\nincr n\n}\n"), kNone);
    EXPECT_EQ(CGameScriptTest::Run(upper, kScriptTypeBrainInit), kNone);
    EXPECT_EQ(upper.FindVariable(L"n", false)->GetValue(), 1);
    // A break used to close the loop, whose closing brace then missed its
    // counter (error 2 after "b").
    for (const uint32_t type : {kScriptTypeBrainInit, kScriptTypeAfterStart}) {
        CScript broken;
        broken.SetConsole(&m_console);
        m_output.str(L"");
        const std::wstring name = type == kScriptTypeBrainInit ? L"Init" : L"AfterStart";
        ASSERT_EQ(Parse(broken, L"function " + name +
                                    L"(){ for i = 1 to 3 { _Test(1,\"a\") break _Test(2,\"b\") } _Test(3,\"c\") }"),
                  kNone);
        EXPECT_EQ(CGameScriptTest::Run(broken, type), kNone) << type;
        EXPECT_EQ(m_output.str(),
                  L"Args: 2\nArg 2: a\nArg 1: 1\nArgs: 2\nArg 2: b\nArg 1: 2\nArgs: 2\nArg 2: c\nArg 1: 3\n");
    }
}

TEST_F(ScriptBuiltins, SystemCommandsAreOnRecord) {
    std::vector<std::wstring> log;
    m_game.SetLogSink([&log](const std::wstring& line) { log.push_back(line); });
    int64_t result = 0;
    m_script = std::make_unique<CScript>();
    m_script->SetConsole(&m_console);
    ASSERT_EQ(Parse(*m_script, L"var i = 0\nfor i = 1 to 2 {\nsystem \"echo hi\"\n}\n"), kNone);
    ASSERT_EQ(CGameScriptTest::Run(*m_script, kScriptTypeWhole), kNone);
    EXPECT_EQ(m_console.commands, (Texts{L"echo hi", L"echo hi"}));
    EXPECT_EQ(log, (Texts{L"Script test.u, line 3, runs the system command: echo hi",
                          L"Script test.u, line 3, runs the system command: echo hi"}));
    (void)result;

    // A script without a console of its own takes the default one.
    std::istringstream input;
    std::wostringstream output;
    CStreamScriptConsole fallback(input, output);
    SetDefaultScriptConsole(&fallback);
    CScript plain;
    ASSERT_EQ(Parse(plain, L"system \"rm -rf nothing\"\n"), kNone);
    EXPECT_EQ(CGameScriptTest::Run(plain, kScriptTypeWhole), kNone);
    SetDefaultScriptConsole(nullptr);
    EXPECT_EQ(fallback.commands, (Texts{L"rm -rf nothing"}));
    EXPECT_EQ(&DefaultScriptConsole(), &ProcessScriptConsole());
}

} // namespace
} // namespace gamescripttest
