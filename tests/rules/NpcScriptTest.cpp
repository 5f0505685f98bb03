// An NPC's own script: read and run at its set-up (its trade record from its
// trade profile), copied with it, written for an NPC that has none; a book's
// script read by the hero; battle records saved with the hero.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Utf8.h"
#include "rules/Battle.h"
#include "rules/Hero.h"
#include "rules/Monster.h"
#include "script/Script.h"
#include "script/ScriptException.h"
#include "support/Files.h"
#include "support/RecordingPrompt.h"
#include "tests/rules/RulesFixture.h"

namespace rulestest {
namespace {

// A game in a scratch folder of its own, where the tests write scripts.
class NpcScript : public CRulesTest {
protected:
    void SetUp() override {
        CRulesTest::SetUp();
        m_folder.emplace();
    }
    void TearDown() override {
        m_folder.reset();
        CRulesTest::TearDown();
    }
    static void Write(const std::string& path, const std::string& text) { testsupport::WriteBytes(path, text); }

    static CNpc Miller() {
        CNpc npc;
        npc.name = L"Ada";
        npc.homeLocation = L"mill.map";
        npc.scriptFile = L"Scripts\\miller.u";
        npc.trade.valid = 1;
        npc.trade.factor1 = 2.0f;
        npc.trade.items = {{4, 1, 2, 3}};
        return npc;
    }

    std::optional<testsupport::CScratchWorkingFolder> m_folder;
    testsupport::CRecordingPrompt m_prompt;
};

// The trade record as a line: header, then the items and categories.
std::string Shown(const TTradeInfo& t) {
    std::string text = std::to_string(t.valid) + " " + std::to_string(t.factor1) + " " + std::to_string(t.factor2) +
                       " " + std::to_string(t.valueA) + " " + std::to_string(t.valueB) + " " +
                       std::to_string(t.valueC) + " |";
    for (const TTradeItem& item : t.items) {
        text += " {" + std::to_string(item.itemType) + " " + std::to_string(item.value1) + " " +
                std::to_string(item.value2) + " " + std::to_string(item.value3) + "}";
    }
    text += " |";
    for (uint16_t category : t.buyCategories) {
        text += ' ';
        text += std::to_string(category);
    }
    return text;
}

TEST_F(NpcScript, SetUpReadsTheScriptAndTakesItsTradeRecord) {
    // The profile's own stock follows the {9, 7, b, c} entry that every
    // profile begins with; a = 300 keeps its low byte, 44.
    Write("Data/Scripts/miller_stock.u",
          "DefineTradeItem(\"sword\", 2, 3, 4)\nDefineRandomTradeItem(5, 6)\nDefineBuyCategory(12)\n"
          "NPCAddInvItem(\"bread\", 2)\n");
    const std::string profile = "LoadTradeProfile(\"miller_stock.u\", 1.5, 0.25, 300, 7, 8)\n";
    const std::string before = Shown(Miller().trade);
    const std::string cleared = "0 0.000000 0.000000 0 0 0 | |";
    const struct {
        const char* what;
        std::string script; // empty: no file
        bool fromSave;
        bool hasScript;
        std::string trade;
        size_t boxes;
    } cases[] = {
        {"a trade profile", "// stock\n" + profile, false, true,
         "1 1.500000 0.250000 44 7 8 | {9 7 7 8} {1 2 3 4} {65535 5 0 6} | 12", 0},
        {"only the first call runs", profile + "LoadTradeProfile(\"nothing.u\", 1.0, 1.0, 1, 1, 1)\n", false, true,
         "1 1.500000 0.250000 44 7 8 | {9 7 7 8} {1 2 3 4} {65535 5 0 6} | 12", 0},
        {"no profile: the header is cleared", "var x = 1\n", false, true, cleared, 0},
        {"from a saved game its record stands", profile, true, true, before, 0},
        {"no script file", "", false, false, before, 0},
        {"a script that does not parse", "if (\n", false, false, before, 1},
        {"a profile that does not parse", "LoadTradeProfile(\"broken.u\", 1.0, 1.0, 1, 1, 1)\n", false, true, before,
         1},
    };
    Write("Data/Scripts/broken.u", "for\n");
    for (const auto& c : cases) {
        std::filesystem::remove("Data/Scripts/miller.u");
        if (!c.script.empty()) {
            Write("Data/Scripts/miller.u", c.script);
        }
        m_prompt.shown.clear();
        CNpc npc = Miller();
        npc.Setup(c.fromSave);
        EXPECT_EQ(npc.script != nullptr, c.hasScript) << c.what;
        EXPECT_EQ(Shown(npc.trade), c.trade) << c.what;
        EXPECT_EQ(m_prompt.shown.size(), c.boxes) << c.what;
        // The game's current NPC is back as it was.
        EXPECT_EQ(m_game.GetCurrentNpc(), nullptr) << c.what;
    }
}

TEST_F(NpcScript, ProfilesThatLoadProfilesAreBounded) {
    // Each profile loads itself again: the eighth level is refused.
    Write("Data/Scripts/loop.u", "LoadTradeProfile(\"loop.u\", 1.0, 1.0, 1, 1, 1)\n");
    Write("Data/Scripts/miller.u", "LoadTradeProfile(\"loop.u\", 1.0, 1.0, 1, 1, 1)\n");
    CNpc npc = Miller();
    const std::string before = Shown(npc.trade);
    npc.Setup(false);
    ASSERT_EQ(m_prompt.shown.size(), 1u);
    EXPECT_NE(m_prompt.shown[0].find(L"loop.u"), std::wstring::npos);
    EXPECT_EQ(Shown(npc.trade), before);
    // The bound is on the depth, not the count: eight in a row pass again.
    Write("Data/Scripts/miller.u", "LoadTradeProfile(\"leaf.u\", 1.0, 1.0, 1, 1, 1)\n");
    Write("Data/Scripts/leaf.u", "DefineBuyCategory(3)\n");
    CNpc again = Miller();
    again.Setup(false);
    EXPECT_EQ(again.trade.buyCategories, std::vector<uint16_t>{3});
}

TEST_F(NpcScript, TheScriptPathDropsFolders) {
    const struct {
        const wchar_t* file;
        const wchar_t* path;
    } cases[] = {
        {L"miller.u", L"Data/Scripts/miller.u"},
        {L"Scripts\\miller.u", L"Data/Scripts/miller.u"},
        {L"a/b\\c/miller.u", L"Data/Scripts/miller.u"},
        {L"", L"Data/Scripts/Ada.u"},
    };
    for (const auto& c : cases) {
        CNpc npc = Miller();
        npc.scriptFile = c.file;
        EXPECT_EQ(npc.GetScriptPath(), c.path) << platform::ToUtf8(c.file);
    }
}

TEST_F(NpcScript, ACopyHasACopyOfTheScript) {
    Write("Data/Scripts/miller.u", "var sacks = 3\n");
    CNpc npc = Miller();
    npc.Setup(true);
    ASSERT_NE(npc.script, nullptr);
    CNpc copy(npc);
    ASSERT_NE(copy.script, nullptr);
    EXPECT_NE(copy.script.get(), npc.script.get());
    EXPECT_EQ(copy.script->FindVariable(L"sacks", false)->GetValue(), 3);
    EXPECT_EQ(copy.name, L"Ada");
    EXPECT_EQ(Shown(copy.trade), Shown(npc.trade));
    CNpc assigned;
    assigned = npc;
    ASSERT_NE(assigned.script, nullptr);
    EXPECT_NE(assigned.script.get(), npc.script.get());
    assigned = CNpc();
    EXPECT_EQ(assigned.script, nullptr);
}

TEST_F(NpcScript, ADefaultScriptGreetsInEveryLanguage) {
    std::filesystem::create_directories("Data/Scripts");
    Write("game.ini", "[config]\nall_available_langs = \"pl|en|de\"\n");
    m_game.GetConfig().SetFileName(L"game.ini");
    m_game.GetConfig().Load();
    CNpc npc = Miller();
    npc.name = L"Old \"Jo\"|Smith";
    WriteDefaultNpcScript(npc);
    CScript script;
    script.LoadFile(L"Data/Scripts/miller.u");
    script.Parse();
    EXPECT_TRUE(script.IsDialogScript());
    script.ExecuteScript(kScriptTypeWhole);
    EXPECT_EQ(script.GetNode().text, L"Old 'Jo'/Smith|Old 'Jo'/Smith|Old 'Jo'/Smith");
    ASSERT_EQ(script.GetNode().options.size(), 1u);
    EXPECT_EQ(script.GetNode().options[0].target, L"end");
    // It can be set up with.
    npc.Setup(false);
    EXPECT_NE(npc.script, nullptr);
}

TEST_F(NpcScript, ReadingABookRunsItsOnRead) {
    const struct {
        const char* what;
        std::wstring text;
        bool read;
        int64_t pages;
    } cases[] = {
        {"OnRead", L"var pages = 0\nfunction OnRead() {\npages = 12\n}\n", true, 12},
        {"any case", L"var pages = 0\nfunction onread() {\npages = 3\n}\n", true, 3},
        {"none", L"var pages = 0\nfunction OnOpen() {\npages = 5\n}\n", false, 0},
    };
    for (const auto& c : cases) {
        CScript book;
        book.LoadText(c.text, L"book.u");
        book.Parse();
        CHero hero;
        EXPECT_EQ(hero.ReadBook(book), c.read) << c.what;
        EXPECT_EQ(book.FindVariable(L"pages", false)->GetValue(), c.pages) << c.what;
    }
}

TEST_F(NpcScript, BattleRecordsAreSavedWithTheHero) {
    CHero hero;
    hero.battles = {{L"Ford", L"bandits", L"guards"}, {L"Hill", L"a", L""}};
    hero.Save();
    const Bytes all = Written();
    // The battle records follow the hero's array.
    Bytes battles;
    Put(battles, 2, 4);
    for (const wchar_t* text : {L"Ford", L"bandits", L"guards", L"Hill", L"a", L""}) {
        PutText(battles, text);
    }
    ASSERT_GT(all.size(), battles.size());
    EXPECT_EQ(Bytes(all.end() - static_cast<std::ptrdiff_t>(battles.size()), all.end()), battles);
    CHero loaded;
    loaded.Load();
    EXPECT_EQ(loaded.battles, hero.battles);

    // Records cut short: refused, the hero as he was.
    for (size_t cut : {size_t{1}, size_t{4}, battles.size()}) {
        vek::StreamAssign(Bytes(all.begin(), all.end() - static_cast<std::ptrdiff_t>(cut)));
        CHero kept;
        kept.satiation = 7;
        ExpectInvalidContent([&] { kept.Load(); }, L"vek::ReadBattleVector", std::to_string(cut));
        EXPECT_EQ(kept.satiation, 7u);
        EXPECT_TRUE(kept.battles.empty());
    }
    // A count larger than the bytes can hold allocates nothing.
    vek::StreamReset();
    Bytes huge;
    Put(huge, 0xFFFFFFFF, 4);
    vek::StreamAssign(huge);
    std::vector<TBattleRecord> records = {{L"x", L"y", L"z"}};
    ExpectInvalidContent([&] { vek::ReadBattleVector(records); }, L"vek::ReadBattleVector", "huge");
    EXPECT_EQ(records.size(), 1u);
}

} // namespace
} // namespace rulestest
