#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "VEKLib/Stream.h"
#include "data/GameData.h"
#include "rules/Hero.h"
#include "rules/Monster.h"
#include "shell/Game.h"
#include "shell/IrrDisplay.h"
#include "shell/MapView.h"
#include "world/Loc.h"

namespace {

std::string Show(const std::vector<TSpriteDraw>& draws) {
    static const char* const kSheets[] = {"terrain", "objects", "items", "monsters", "heroes"};
    std::string text;
    for (const TSpriteDraw& d : draws) {
        text += std::string(d.sheet < kSheetCount ? kSheets[d.sheet] : "?") + " " + std::to_string(d.frame) + " at " +
                std::to_string(d.x) + "," + std::to_string(d.y) + "; ";
    }
    return text;
}

TEST(ViewOrigin, HeroCentredAndViewKeptInsideTheLocation) {
    const struct {
        const char* what;
        vek::TPoint hero;
        int32_t width, height;
        vek::TPoint origin;
    } cases[] = {
        {"one screen: always the top-left", {10, 7}, 20, 15, {0, 0}},
        {"one screen, hero in the far corner", {19, 14}, 20, 15, {0, 0}},
        {"wide: hero at column 10 starts at 0", {10, 7}, 40, 30, {0, 0}},
        {"wide: column 11 moves the view by one", {11, 8}, 40, 30, {1, 1}},
        {"wide: hero at the left edge", {0, 0}, 40, 30, {0, 0}},
        {"wide: last origin reached", {30, 22}, 40, 30, {20, 15}},
        {"wide: beyond it the view stays", {31, 23}, 40, 30, {20, 15}},
        {"wide: hero at the far edge", {39, 29}, 40, 30, {20, 15}},
        {"one cell more than the view", {12, 9}, 21, 16, {1, 1}},
        {"smaller than the view", {4, 2}, 5, 3, {0, 0}},
        {"hero outside the location", {100, -5}, 40, 30, {20, 0}},
        {"empty location", {3, 3}, 0, 0, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ViewOrigin(c.hero, c.width, c.height), c.origin);
    }
    EXPECT_EQ(ClampViewOrigin({25, 20}, 40, 30), (vek::TPoint{20, 15}));
    EXPECT_EQ(ClampViewOrigin({-3, 7}, 40, 30), (vek::TPoint{0, 7}));
    EXPECT_EQ(ClampViewOrigin({5, 5}, 10, 10), (vek::TPoint{0, 0}));
}

// Tables whose pictures differ from their positions: terrain n is frame
// 10 + n, object n 20 + n, item n 30 + n, monster n 40 + n, hero n 50 + n.
// Monster 1 is large.
class MapViewCells : public testing::Test {
protected:
    void SetUp() override {
        vek::StreamReset();
        CDefinitionTables& tables = m_game.GetTableSet(kScriptTables);
        tables.terrain.resize(3);
        tables.objects.resize(3);
        tables.items.resize(3);
        tables.monsters.resize(2);
        tables.heroes.resize(2);
        for (size_t i = 0; i < 3; ++i) {
            tables.terrain[i].picindex = static_cast<uint16_t>(10 + i);
            tables.objects[i].picindex = static_cast<uint16_t>(20 + i);
            tables.items[i].picindex = static_cast<uint16_t>(30 + i);
        }
        for (size_t i = 0; i < 2; ++i) {
            tables.monsters[i].picindex = static_cast<uint16_t>(40 + i);
            tables.monsters[i].hp = 5;
            tables.heroes[i].pic = static_cast<uint16_t>(50 + i);
        }
        tables.monsters[1].flags = kLargeCreatureFlag;
        g_gameData = &m_game;
    }
    void TearDown() override { g_gameData = nullptr; }

    // A location of grass (terrain 0), every cell explored.
    static void Grass(CLoc& loc, uint16_t width, uint16_t height) {
        loc.Init(L"test", width, height, 0, 0);
        loc.GetTerrain().Fill(0);
        loc.RevealAll();
    }
    static void AddMonster(CLoc& loc, uint16_t type, uint32_t x, uint32_t y) {
        auto monster = std::make_unique<CMonster>();
        monster->monsterType = type;
        monster->x = x;
        monster->y = y;
        monster->hitPoints = 5;
        loc.AddCreature(std::move(monster));
    }

    CGameData m_game;
};

TEST_F(MapViewCells, EachLayerDrawsItsDefinitionsPicture) {
    using Setup = std::function<void(CLoc&, CHero&)>;
    const struct {
        const char* what;
        Setup setup;
        bool withHero;
        std::string draws; // beyond the grass of the other cells
    } cases[] = {
        {"terrain tile", [](CLoc& loc, CHero&) { loc.GetTerrain().At(1, 0) = 2; }, false, "terrain 12 at 32,0; "},
        {"no terrain tile", [](CLoc& loc, CHero&) { loc.GetTerrain().At(1, 0) = kNoTile; }, false, ""},
        {"terrain beyond the table", [](CLoc& loc, CHero&) { loc.GetTerrain().At(1, 0) = 3; }, false, ""},
        {"unexplored cell is dark", [](CLoc& loc, CHero&) { loc.GetExplored().At(1, 0) = 0; }, false, ""},
        {"explored by any mark", [](CLoc& loc, CHero&) { loc.GetExplored().At(1, 0) = 1; }, false,
         "terrain 10 at 32,0; "},
        {"map object", [](CLoc& loc, CHero&) { loc.GetObjects().At(1, 0) = 2; }, false,
         "terrain 10 at 32,0; objects 22 at 32,0; "},
        {"object marks 0xFFFE and 0xFFFF are no object",
         [](CLoc& loc, CHero&) {
             loc.GetObjects().At(1, 0) = kNoTile;
             loc.GetObjects().At(0, 0) = 0xFFFF;
         },
         false, "terrain 10 at 32,0; "},
        {"object beyond the table", [](CLoc& loc, CHero&) { loc.GetObjects().At(1, 0) = 3; }, false,
         "terrain 10 at 32,0; "},
        {"special object by its appearance",
         [](CLoc& loc, CHero&) { loc.SetSpecialObject(1, 0, kSpecialDoor, 1, 0, L""); }, false,
         "terrain 10 at 32,0; objects 21 at 32,0; "},
        {"special object beyond the table",
         [](CLoc& loc, CHero&) { loc.SetSpecialObject(1, 0, kSpecialPassage, 99, 0, L""); }, false,
         "terrain 10 at 32,0; "},
        {"inactive special object",
         [](CLoc& loc, CHero&) {
             loc.SetSpecialObject(1, 0, kSpecialDoor, 1, 0, L"");
             loc.ClearSpecialObject(1, 0);
         },
         false, "terrain 10 at 32,0; "},
        {"the last item dropped lies on top",
         [](CLoc& loc, CHero&) {
             loc.PutItem(1, 0, CItem(0, 1));
             loc.PutItem(1, 0, CItem(2, 1));
         },
         false, "terrain 10 at 32,0; items 32 at 32,0; "},
        {"a corpse on top has no picture: the item below shows",
         [](CLoc& loc, CHero&) {
             loc.PutItem(1, 0, CItem(1, 1));
             loc.PutItem(1, 0, CItem(kCorpseBase, 1));
         },
         false, "terrain 10 at 32,0; items 31 at 32,0; "},
        {"a pile of kinds without pictures", [](CLoc& loc, CHero&) { loc.PutItem(1, 0, CItem(3, 1)); }, false,
         "terrain 10 at 32,0; "},
        {"monster", [](CLoc& loc, CHero&) { AddMonster(loc, 0, 1, 0); }, false,
         "terrain 10 at 32,0; monsters 40 at 32,0; "},
        {"dead monster",
         [](CLoc& loc, CHero&) {
             AddMonster(loc, 0, 1, 0);
             loc.GetCreatures()[0]->hitPoints = 0;
         },
         false, "terrain 10 at 32,0; "},
        {"monster kind beyond the table",
         [](CLoc& loc, CHero&) {
             AddMonster(loc, 0, 1, 0);
             loc.GetCreatures()[0]->monsterType = 2;
         },
         false, "terrain 10 at 32,0; "},
        {"hero", [](CLoc&, CHero&) {}, true, "terrain 10 at 32,0; heroes 51 at 32,0; "},
        {"hero picture beyond the table", [](CLoc&, CHero& hero) { hero.heroInfo = 2; }, true, "terrain 10 at 32,0; "},
        {"hero on an unexplored cell", [](CLoc& loc, CHero&) { loc.GetExplored().At(1, 0) = 0; }, true,
         "heroes 51 at 32,0; "},
        {"every layer, bottom up",
         [](CLoc& loc, CHero&) {
             loc.GetTerrain().At(1, 0) = 1;
             loc.GetObjects().At(1, 0) = 0;
             loc.SetSpecialObject(1, 0, kSpecialText, 2, 0, L"");
             loc.PutItem(1, 0, CItem(1, 1));
             AddMonster(loc, 0, 1, 0);
         },
         true,
         "terrain 11 at 32,0; objects 20 at 32,0; objects 22 at 32,0; items 31 at 32,0; monsters 40 at 32,0; "
         "heroes 51 at 32,0; "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Cell (1, 0) is the one each case changes; (0, 0) is plain grass.
        CLoc loc;
        Grass(loc, 2, 1);
        CHero hero;
        hero.x = 1;
        hero.y = 0;
        hero.heroInfo = 1;
        c.setup(loc, hero);
        const std::vector<TSpriteDraw> draws =
            ComposeMapView(loc, c.withHero ? &hero : nullptr, m_game.GetTables(), {});
        ASSERT_FALSE(draws.empty());
        EXPECT_EQ(draws[0], (TSpriteDraw{kSheetTerrain, 10, 0, 0}));
        EXPECT_EQ(Show(std::vector<TSpriteDraw>(draws.begin() + 1, draws.end())), c.draws);
    }
}

// A large monster fills 4 x 3 cells and is drawn once, on its own cell.
TEST_F(MapViewCells, LargeMonsterIsDrawnOnce) {
    CLoc loc;
    Grass(loc, 6, 4);
    AddMonster(loc, 1, 1, 1);
    ASSERT_EQ(loc.GetCreatureIds().At(4, 3), 0);
    std::vector<TSpriteDraw> monsters;
    for (const TSpriteDraw& d : ComposeMapView(loc, nullptr, m_game.GetTables(), {})) {
        if (d.sheet == kSheetMonsters) {
            monsters.push_back(d);
        }
    }
    EXPECT_EQ(Show(monsters), "monsters 41 at 32,32; ");
}

// The view shows 20 x 15 cells from its origin; cells before the origin,
// beyond it and beyond the location show nothing.
TEST_F(MapViewCells, ViewCoversTwentyByFifteenCellsFromItsOrigin) {
    const struct {
        const char* what;
        uint16_t width, height;
        vek::TPoint origin;
        size_t cells;
        TSpriteDraw first, last;
    } cases[] = {
        {"one screen", 20, 15, {0, 0}, 300, {kSheetTerrain, 10, 0, 0}, {kSheetTerrain, 10, 608, 448}},
        {"larger, shifted view", 30, 20, {10, 5}, 300, {kSheetTerrain, 10, 0, 0}, {kSheetTerrain, 10, 608, 448}},
        {"smaller than the view", 3, 2, {0, 0}, 6, {kSheetTerrain, 10, 0, 0}, {kSheetTerrain, 10, 64, 32}},
        {"origin outside: only what lies in the view",
         30,
         20,
         {25, 18},
         10,
         {kSheetTerrain, 10, 0, 0},
         {kSheetTerrain, 10, 128, 32}},
        {"origin before the location", 4, 4, {-2, -1}, 16, {kSheetTerrain, 10, 64, 32}, {kSheetTerrain, 10, 160, 128}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CLoc loc;
        Grass(loc, c.width, c.height);
        const std::vector<TSpriteDraw> draws = ComposeMapView(loc, nullptr, m_game.GetTables(), c.origin);
        ASSERT_EQ(draws.size(), c.cells);
        EXPECT_EQ(draws.front(), c.first);
        EXPECT_EQ(draws.back(), c.last);
    }
}

// The hero is found in the view wherever it starts, and left out when the
// view does not hold his cell.
TEST_F(MapViewCells, HeroDrawnWhereTheViewHoldsHim) {
    CLoc loc;
    Grass(loc, 40, 30);
    CHero hero;
    hero.x = 35;
    hero.y = 2;
    CMapView view;
    view.Center(&loc, &hero);
    EXPECT_EQ(view.GetOrigin(&loc), (vek::TPoint{20, 0}));
    std::vector<TSpriteDraw> draws = ComposeMapView(loc, &hero, m_game.GetTables(), view.GetOrigin(&loc));
    EXPECT_EQ(draws.back(), (TSpriteDraw{kSheetHeroes, 50, 15 * 32, 2 * 32}));
    draws = ComposeMapView(loc, &hero, m_game.GetTables(), {0, 0});
    EXPECT_EQ(draws.back().sheet, kSheetTerrain);

    // A smaller location after the view was centred: the origin is kept inside it.
    CLoc small;
    Grass(small, 25, 15);
    EXPECT_EQ(view.GetOrigin(&small), (vek::TPoint{5, 0}));
    // Without a hero or a location the view starts at the top-left.
    view.Center(&loc, nullptr);
    EXPECT_EQ(view.GetOrigin(&loc), (vek::TPoint{0, 0}));
    view.Center(nullptr, &hero);
    EXPECT_EQ(view.GetOrigin(nullptr), (vek::TPoint{0, 0}));
}

// The window's display centres the game's view; without a device a frame
// draws nothing, and messages keep to the log until there are windows.
TEST(IrrDisplay, CentresTheGamesViewAndLogsMessages) {
    CGame game;
    std::vector<std::wstring> logged;
    game.SetLogSink([&](const std::wstring& line) { logged.push_back(line); });
    auto owned = std::make_unique<CIrrDisplay>(game);
    CIrrDisplay& display = *owned;
    game.SetDisplay(std::move(owned));

    CLoc loc;
    loc.Init(L"test", 40, 30, 0, 0);
    CHero hero;
    hero.x = 25;
    hero.y = 29;
    game.SetCurrentLoc(&loc);
    game.SetHero(&hero);
    game.CenterView();
    EXPECT_EQ(display.GetView().GetOrigin(&loc), (vek::TPoint{15, 15}));
    game.Draw();

    game.AddMessage(L"one");
    EXPECT_FALSE(game.IsWindowUp());
    ASSERT_EQ(display.GetConsole().GetMessageLog().GetLines().size(), 1u);
    EXPECT_EQ(display.GetConsole().GetMessageLog().GetLines()[0].text, L"one");
    EXPECT_EQ(logged, (std::vector<std::wstring>{L"one"}));
    game.SetCurrentLoc(nullptr);
    game.SetHero(nullptr);
}

} // namespace
