#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Random.h"
#include "rules/Monster.h"
#include "shell/Game.h"
#include "tests/shell/SampleGameFixture.h"
#include "world/Loc.h"
#include "world/World.h"
#include "world/gen/Seed.h"

// The group table that set-up builds from the sample's monster table, the
// creatures it gives the generated levels of each depth, a monster table of
// no kinds to meet, and the table built again when the tables are reloaded.
namespace {

using samplegame::SampleGame;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

// The sample's kinds by strength (see the sample order of the tables' test):
// rat, bog imp, grey wolf, skeleton, bandit, marsh witch, cave bear, barrow wraith.
const std::vector<uint16_t> kSampleOrder = {0, 2, 1, 3, 5, 4, 6, 7};

std::vector<uint16_t> Kinds(const std::vector<TGroupTableEntry>& table) {
    std::vector<uint16_t> kinds;
    for (const TGroupTableEntry& entry : table) {
        kinds.push_back(entry.monsterType);
    }
    return kinds;
}

// A level "fdung" + depth of 40 x 30, generated from the seed on the set-up
// game's tables and group table.
class CDepthLevel {
public:
    CDepthLevel(uint32_t depth, uint32_t seed) {
        m_cell.name = L"Depths";
        m_cell.nameKey = L"fdung" + std::to_wstring(depth);
        m_cell.terrainType = 4;
        m_cell.randomKind = kWorldRandom;
        m_cell.width = 40;
        m_cell.height = 30;
        gen::SetSeedSource([seed] { return seed; });
        vek::GetRandomGenerator()->Seed(seed);
        m_loc.SetWorldCell(&m_cell);
        m_loc.GenerateLoc();
        gen::SetSeedSource(nullptr);
    }
    // The living creatures' kinds.
    std::vector<uint16_t> Kinds() const {
        std::vector<uint16_t> kinds;
        for (const CMonster* creature : m_loc.GetCreatures()) {
            if (creature != nullptr && creature->IsAlive()) {
                kinds.push_back(creature->monsterType);
            }
        }
        return kinds;
    }

private:
    TWorldLocInfo m_cell;
    CLoc m_loc;
};

class GroupTable : public SampleGame {
protected:
    void SetUp() override {
        SampleGame::SetUp();
        for (const char* lang : {"en", "pl"}) {
            m_sample[lang] = ReadBytes(MonsterFile(lang));
        }
    }
    std::filesystem::path MonsterFile(const std::string& lang) const {
        return m_root / "Data" / ("monsters." + lang + ".ini");
    }
    // Both languages' monster tables in place of the sample's: the sample's, edited.
    void EditMonsters(const std::regex& pattern, const std::string& replacement) {
        for (const auto& [lang, text] : m_sample) {
            std::filesystem::remove(MonsterFile(lang));
            WriteBytes(MonsterFile(lang), std::regex_replace(text, pattern, replacement));
        }
    }

    std::map<std::string, std::string> m_sample;
};

TEST_F(GroupTable, SetUpBuildsItFromTheMonsterTable) { EXPECT_EQ(Kinds(MakeGame().GetGroupTable()), kSampleOrder); }

// Every depth holds its twenty groups; over ten seeds the deeper levels'
// creatures are stronger on average (hit points times the damage bounds'
// sum). Depths 0 and 1 draw from the same band, so every other depth.
TEST_F(GroupTable, LevelsOfEveryDepthHoldCreaturesDeeperOnesStronger) {
    CGame& game = MakeGame();
    const std::vector<TMonsterInfo>& monsters = game.GetTables().monsters;
    std::map<uint32_t, double> meanStrength;
    for (uint32_t depth = 0; depth <= 6; ++depth) {
        uint64_t strength = 0;
        size_t creatures = 0;
        for (uint32_t seed = 1; seed <= 10; ++seed) {
            const std::vector<uint16_t> kinds = CDepthLevel(depth, seed).Kinds();
            EXPECT_EQ(kinds.size(), 20u) << "depth " << depth << ", seed " << seed;
            for (const uint16_t kind : kinds) {
                ASSERT_LT(kind, monsters.size());
                strength += static_cast<uint64_t>(monsters[kind].hp) * (monsters[kind].dmg1 + monsters[kind].dmg2);
            }
            creatures += kinds.size();
        }
        ASSERT_GT(creatures, 0u);
        meanStrength[depth] = static_cast<double>(strength) / static_cast<double>(creatures);
    }
    for (uint32_t depth = 2; depth <= 6; depth += 2) {
        EXPECT_LT(meanStrength[depth - 2], meanStrength[depth]) << "depth " << depth;
    }
}

TEST_F(GroupTable, NoKindToMeetGivesNoneAndLevelsWithoutCreatures) {
    const struct {
        const char* what;
        std::regex pattern;
        std::string replacement;
    } cases[] = {
        {"no kinds", std::regex(R"(monsters = 8[\s\S]*)"), "monsters = 0\n"},
        {"none to meet", std::regex(R"(occurrence = \d+)"), "occurrence = 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EditMonsters(c.pattern, c.replacement);
        CGame& game = MakeGame();
        EXPECT_TRUE(game.GetGroupTable().empty());
        EXPECT_TRUE(CDepthLevel(3, 1).Kinds().empty());
        m_game.reset();
    }
}

// A reload reads the tables afresh and builds the group table again; one
// that fails leaves both as they were.
TEST_F(GroupTable, AReloadBuildsItAgain) {
    CGame& game = MakeGame();
    // The cave rat grown strongest: 500 x 3 = 1500.
    EditMonsters(std::regex(R"(hp = 4\n)"), "hp = 500\n");
    m_log.clear();
    game.ReloadTables();
    std::vector<uint16_t> order = {2, 1, 3, 5, 4, 6, 7, 0};
    EXPECT_EQ(Kinds(game.GetGroupTable()), order);
    EXPECT_EQ(game.GetTables().monsters[0].hp, 500);
    EXPECT_EQ(m_log, (samplegame::Lines{L"Analyzing monster parameters..."}));

    EditMonsters(std::regex(R"(hp = 4\n)"), "hp = many\n");
    EXPECT_THROW(game.ReloadTables(), vek::CException);
    EXPECT_EQ(Kinds(game.GetGroupTable()), order);
    EXPECT_EQ(game.GetTables().monsters[0].hp, 500);
}

} // namespace
