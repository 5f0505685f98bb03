// The built-ins of the world and its locations against the real game: the
// start location, dungeon sites, the explored area, light effects, map
// objects, special objects, item piles, monsters and messages.
#include <gtest/gtest.h>

#include "VEKLib/Geometry.h"
#include "tests/shell/GameplayFixture.h"

namespace gameplaytest {
namespace {

class BuiltinsWorld : public GameplayTest {};

TEST_F(BuiltinsWorld, StartLocationsAndSites) {
    const auto state = [](CPlay& play) {
        const CLoc* here = play.game.GetCurrentLoc();
        std::wstring text = L"in " + (here != nullptr ? here->GetOwnName() : std::wstring(L"-"));
        for (uint16_t y = 0; y < 4; ++y) {
            for (uint16_t x = 2; x < 4; ++x) {
                const TWorldLocInfo& cell = play.world.grid.At(x, y);
                if (!cell.fileName.empty()) {
                    text += L" " + std::to_wstring(x) + L"," + std::to_wstring(y) + L"=" + cell.fileName;
                }
            }
        }
        return text;
    };
    CheckRows(
        {
            {"SetStartLoc by cell", nullptr, L"SetStartLoc(\"\", 1, 0)", -1, 0, L"in Farm"},
            {"SetStartLoc by name (x of 65535)", nullptr, L"SetStartLoc(\"vale\", 65535, 0)", -1, 0, L"in Vale"},
            {"SetStartLoc by name (y of 65536)", nullptr, L"SetStartLoc(\"farm.map\", 0, 65536)", -1, 0, L"in Farm"},
            {"SetStartLoc: the cell wins below 65535", nullptr, L"SetStartLoc(\"farm.map\", 0, 1)", -1, 0, L"in Vale"},
            {"SetStartLoc: no such location", nullptr, L"SetStartLoc(\"moor\", 65535, 65535)", -2, 0, L"in Mill"},
            // A site of 2 x 2 world cells in the first free hidden block.
            {"CreateDungeonSite 40 x 30, 3 levels", nullptr, L"CreateDungeonSite(40, 30, 3, \"mill\", 6, 7)", -1, 0,
             L"in Mill 2,0=DungeonSite1 3,0=DungeonSite1 2,1=DungeonSite1 3,1=DungeonSite1"},
            {"CreateDungeonSite 20 x 15", nullptr, L"CreateDungeonSite(20, 15, 1, \"mill\", 6, 7)", -1, 0,
             L"in Mill 2,0=DungeonSite1"},
            {"CreateDungeonSite: width 30", nullptr, L"CreateDungeonSite(30, 30, 3, \"mill\", 6, 7)", 44, 0,
             L"in Mill"},
            {"CreateDungeonSite: height 20", nullptr, L"CreateDungeonSite(40, 20, 3, \"mill\", 6, 7)", 44, 0,
             L"in Mill"},
            {"CreateDungeonSite: 1001 levels", nullptr, L"CreateDungeonSite(40, 30, 1001, \"mill\", 6, 7)", 44, 0,
             L"in Mill"},
            {"CreateDungeonSite: larger than the hidden cells", nullptr,
             L"CreateDungeonSite(60, 15, 1, \"mill\", 6, 7)", -2, 0, L"in Mill"},
            {"CreateDungeonSite: an entrance outside", nullptr, L"CreateDungeonSite(20, 15, 1, \"mill\", 70000, 7)", -2,
             0, L"in Mill"},
        },
        state);
    CPlay play;
    int64_t result = 0;
    ASSERT_EQ(play.Run(L"SetStartLoc(\"moor\", 65535, 65535)", result), -2);
    EXPECT_EQ(play.thrown, L"Location not found: moor");
}

TEST_F(BuiltinsWorld, TheStartLocationMustTakeTheHero) {
    // Every cell of the vale is a wall.
    {
        CDataOnly data;
        SaveMap(L"vale.map", L"Vale", [](CLoc& loc) { loc.GetTerrain().Fill(1); });
    }
    CPlay play;
    int64_t result = 0;
    ASSERT_EQ(play.Run(L"SetStartLoc(\"vale\", 65535, 65535)", result), -2);
    EXPECT_EQ(play.thrown, L"No free cell for the hero in location Vale");
    // A cell outside the world is the grid's error.
    ASSERT_EQ(play.Run(L"SetStartLoc(\"\", 9, 9)", result), -2);
    // A game without a world has no location to go to.
    play.game.SetWorld(nullptr);
    ASSERT_EQ(play.Run(L"SetStartLoc(\"mill\", 0, 0)", result), -2);
    EXPECT_EQ(play.thrown, L"Cannot access the location at specified position - mill, x=0, y=0");
    play.game.SetWorld(&play.world);
}

TEST_F(BuiltinsWorld, TheExploredAreaAndLightEffects) {
    const auto state = [](CPlay& play) {
        uint32_t seen = 0;
        const CLoc& mill = play.Mill();
        for (uint16_t y = 0; y < mill.GetHeight(); ++y) {
            for (uint16_t x = 0; x < mill.GetWidth(); ++x) {
                seen += mill.GetExplored().At(x, y) == 255 ? 1 : 0;
            }
        }
        std::wstring text = L"seen " + std::to_wstring(seen);
        for (uint16_t x = 0; x < 2; ++x) {
            for (uint16_t y = 0; y < 2; ++y) {
                if (const CLoc* loc = play.world.grid.At(x, y).loc) {
                    for (const TLocEffect& effect : loc->GetEffects()) {
                        text += L" " + loc->GetOwnName() + L":" + std::to_wstring(effect.key) + L"=" +
                                std::to_wstring(effect.value);
                    }
                }
            }
        }
        return text;
    };
    const auto lit = [](CPlay& play) { play.Mill().AddEffect(TLocEffect(0, 5)); };
    // The hero came into the mill at (2, 2) and saw the cells within 3 of
    // him: 5 + 5 + 6 + 5 + 5 + 1 = 27 of them lie inside.
    CheckRows(
        {
            {"Reveal", nullptr, L"Reveal(0)", -1, 0, L"seen 300"},
            {"AddLocLightEffect", nullptr, L"AddLocLightEffect(\"mill.map\", 128, 1, 2, 3)", -1, 0,
             L"seen 27 Mill:0=2147549699"},
            // a = 300 is 255 and b = -5 is 0.
            {"AddLocLightEffect cut", nullptr, L"AddLocLightEffect(\"mill.map\", 300, 0, 0, 4294967291)", -1, 0,
             L"seen 27 Mill:0=4278190080"},
            {"AddLocLightEffect replaces", lit, L"AddLocLightEffect(\"MILL.MAP\", 0, 0, 0, 7)", -1, 0,
             L"seen 27 Mill:0=7"},
            {"AddLocLightEffect: a location not made yet", nullptr, L"AddLocLightEffect(\"vale.map\", 0, 0, 0, 1)", -1,
             0, L"seen 27 Vale:0=1"},
            {"AddLocLightEffect: by file name only", nullptr, L"AddLocLightEffect(\"mill\", 0, 0, 0, 1)", -2, 0,
             L"seen 27"},
        },
        state);
    CPlay play;
    int64_t result = 0;
    ASSERT_EQ(play.Run(L"AddLocLightEffect(\"vale.map\", 0, 0, 0, 1)", result), -1);
    // Made for the effect, it is kept with the game.
    EXPECT_NE(play.world.grid.At(0, 1).loc->GetFlags() & kLocSaved, 0);
    ASSERT_EQ(play.Run(L"AddLocLightEffect(\"moor.map\", 0, 0, 0, 1)", result), -2);
    EXPECT_EQ(play.thrown, L"Couldn't find location moor.map");
}

TEST_F(BuiltinsWorld, ObjectsAndSpecialObjects) {
    // The mill: a sign (an active text object) at (6, 6).
    const auto state = [](CPlay& play) {
        CLoc& mill = play.Mill();
        auto object = [&](uint16_t x, uint16_t y) {
            const uint16_t tile = mill.GetObjects().At(x, y);
            return tile == kNoTile ? std::wstring(L"-") : std::to_wstring(tile);
        };
        return L"(4,5) " + object(4, 5) + L" (6,6) " + object(6, 6) + L" active " +
               std::to_wstring(mill.GetSpecialObjects().At(6, 6).active) + L" passable " +
               std::to_wstring(IsPassable(4, 5, mill) ? 1 : 0);
    };
    const auto tree = [](CPlay& play) { play.Mill().GetObjects().At(4, 5) = 0; };
    const auto off = [](CPlay& play) { play.Mill().GetSpecialObjects().At(6, 6).active = 0; };
    CheckRows(
        {
            {"AddObject", nullptr, L"AddObject(\"mill\", 4, 5, 0)", -1, 0, L"(4,5) 0 (6,6) - active 1 passable 0"},
            {"AddObject: an active special object", nullptr, L"AddObject(\"mill\", 6, 6, 0)", -1, 0,
             L"(4,5) - (6,6) - active 1 passable 1"},
            {"AddObject: an inactive special object", off, L"AddObject(\"mill\", 6, 6, 1)", -1, 0,
             L"(4,5) - (6,6) 1 active 0 passable 1"},
            {"AddObject: outside", nullptr, L"AddObject(\"mill\", 20, 5, 0)", -2, 0,
             L"(4,5) - (6,6) - active 1 passable 1"},
            {"AddObject: far outside", nullptr, L"AddObject(\"mill\", 65540, 5, 0)", -2, 0,
             L"(4,5) - (6,6) - active 1 passable 1"},
            {"DeleteObject", tree, L"DeleteObject(\"mill\", 4, 5)", -1, 0, L"(4,5) - (6,6) - active 1 passable 1"},
            {"DeactivateSpecial", nullptr, L"DeactivateSpecial(\"mill\", 6, 6)", -1, 0,
             L"(4,5) - (6,6) - active 0 passable 1"},
            {"ActivateSpecial", off, L"ActivateSpecial(\"mill\", 6, 6)", -1, 0, L"(4,5) - (6,6) - active 1 passable 1"},
            {"ActivateSpecial: no such location", nullptr, L"ActivateSpecial(\"moor\", 6, 6)", -2, 0,
             L"(4,5) - (6,6) - active 1 passable 1"},
        },
        state);
}

TEST_F(BuiltinsWorld, ItemPiles) {
    // The mill's pile at (3, 3): a sword and two herbs.
    const auto state = [](CPlay& play) {
        return L"(3,3) " + CPlay::Pile(play.Mill(), 3, 3) + L" | (9,9) " + CPlay::Pile(play.Mill(), 9, 9);
    };
    CheckRows(
        {
            {"AddItem stacks", nullptr, L"AddItem(\"mill\", \"herb\", 3, 3)", -1, 0, L"(3,3) 1x1 5x3 | (9,9) "},
            {"AddItem on an empty cell", nullptr, L"AddItem(\"mill\", \"sword\", 9, 9)", -1, 0,
             L"(3,3) 1x1 5x2 | (9,9) 1x1"},
            {"AddItem: no such item", nullptr, L"AddItem(\"mill\", \"lute\", 9, 9)", -2, 0, L"(3,3) 1x1 5x2 | (9,9) "},
            {"DeleteItem", nullptr, L"DeleteItem(\"mill\", \"herb\", 3, 3)", -1, 0, L"(3,3) 1x1 | (9,9) "},
            {"DeleteItem: none of that kind", nullptr, L"DeleteItem(\"mill\", \"key\", 3, 3)", -1, 0,
             L"(3,3) 1x1 5x2 | (9,9) "},
            {"DeleteAllItems", nullptr, L"DeleteAllItems(\"mill\", 3, 3)", -1, 0, L"(3,3)  | (9,9) "},
            {"DeleteAllItems: outside", nullptr, L"DeleteAllItems(\"mill\", 3, 15)", -2, 0, L"(3,3) 1x1 5x2 | (9,9) "},
        },
        state);
    // A location that the hero never entered keeps what a script put there.
    CPlay play;
    int64_t result = 0;
    ASSERT_EQ(play.Run(L"AddItem(\"vale.map\", \"key\", 1, 1)", result), -1);
    const CLoc& vale = *play.world.grid.At(0, 1).loc;
    EXPECT_NE(vale.GetFlags() & kLocSaved, 0);
    EXPECT_EQ(vale.GetFlags() & kLocEntered, 0);
    EXPECT_EQ(play.Run(L"DeleteAllItems(\"moor\", 1, 1)", result), -2);
    EXPECT_EQ(play.thrown, L"Cannot find location, UID = moor");
}

TEST_F(BuiltinsWorld, Monsters) {
    // The mill holds a rat at (10, 10); the farm two NPCs and a wolf.
    const auto state = [](CPlay& play) {
        return CPlay::Creatures(play.Mill()) + L" | " + CPlay::Creatures(play.Farm()) + L" | " +
               std::to_wstring(play.Mill().GetCreatures().size());
    };
    const auto hostile = [](CPlay& play) { play.Mill().GetCreatures()[0]->AddHostile(CGroupMember::kHeroId); };
    const auto inactive = [](CPlay& play) { play.Mill().GetCreatures()[0]->stateByte = 0; };
    // Walls around the rat; a group for the wolf.
    const auto walled = [](CPlay& play) {
        for (uint8_t direction = 1; direction <= 8; ++direction) {
            const vek::TPoint cell = vek::MoveInDirection(direction, {10, 10});
            play.Mill().GetTerrain().At(static_cast<uint16_t>(cell.x), static_cast<uint16_t>(cell.y)) = 1;
        }
    };
    const auto pack = [](CPlay&) { g_groupList.Get().push_back(new CGroup(L"pack")); };
    CheckRows(
        {
            {"AddMonster", nullptr, L"AddMonster(\"mill\", \"wolf\", 5, 6)", -1, 0,
             L"rat@10,10 wolf@5,6 | Ada@4,4 Bo@6,4 wolf@8,8 | 2"},
            // Nobody is put over the hero or a creature: the first free
            // neighbour in direction order ((1, 1) is a wall).
            {"AddMonster on the hero", nullptr, L"AddMonster(\"mill\", \"wolf\", 2, 2)", -1, 0,
             L"rat@10,10 wolf@2,1 | Ada@4,4 Bo@6,4 wolf@8,8 | 2"},
            {"AddMonster on the rat", nullptr, L"AddMonster(\"mill\", \"wolf\", 10, 10)", -1, 0,
             L"rat@10,10 wolf@9,9 | Ada@4,4 Bo@6,4 wolf@8,8 | 2"},
            {"AddMonster on the rat, walls around", walled, L"AddMonster(\"mill\", \"wolf\", 10, 10)", -2, 0,
             L"rat@10,10 | Ada@4,4 Bo@6,4 wolf@8,8 | 1"},
            {"AddMonsterToGroup on the rat", pack, L"AddMonsterToGroup(\"wolf\", \"mill\", 10, 10, \"pack\")", -1, 0,
             L"rat@10,10 wolf@9,9 | Ada@4,4 Bo@6,4 wolf@8,8 | 2"},
            {"AddMonsterToGroup on the rat, walls around",
             [walled, pack](CPlay& play) {
                 walled(play);
                 pack(play);
             },
             L"AddMonsterToGroup(\"wolf\", \"mill\", 10, 10, \"pack\")", -2, 0,
             L"rat@10,10 | Ada@4,4 Bo@6,4 wolf@8,8 | 1"},
            {"AddDragon on the hero", nullptr, L"AddDragon(\"mill\", \"wyrm\", 2, 2)", -1, 0,
             L"rat@10,10 wyrm@2,1 | Ada@4,4 Bo@6,4 wolf@8,8 | 2"},
            {"AddDragon on the rat, walls around", walled, L"AddDragon(\"mill\", \"wyrm\", 10, 10)", -2, 0,
             L"rat@10,10 | Ada@4,4 Bo@6,4 wolf@8,8 | 1"},
            {"AddMonster: no such monster", nullptr, L"AddMonster(\"mill\", \"lion\", 5, 6)", -2, 0,
             L"rat@10,10 | Ada@4,4 Bo@6,4 wolf@8,8 | 1"},
            {"AddMonster: outside", nullptr, L"AddMonster(\"mill\", \"wolf\", 5, 15)", -2, 0,
             L"rat@10,10 | Ada@4,4 Bo@6,4 wolf@8,8 | 1"},
            {"DeleteAllMonsters keeps the NPCs", nullptr, L"DeleteAllMonsters(\"farm\")", -1, 0,
             L"rat@10,10 | Ada@4,4 Bo@6,4 | 1"},
            {"DeleteAllMonsters compacts the list", nullptr, L"DeleteAllMonsters(\"mill\")", -1, 0,
             L" | Ada@4,4 Bo@6,4 wolf@8,8 | 0"},
            {"DeleteAllMonsters: an inactive one", inactive, L"DeleteAllMonsters(\"mill\")", -1, 0,
             L" | Ada@4,4 Bo@6,4 wolf@8,8 | 0"},
            {"DeleteAllMonsters: one whose cell is empty", [](CPlay& p) { p.Mill().GetCreatures()[0]->x = 2; },
             L"DeleteAllMonsters(\"mill\")", -1, 0, L" | Ada@4,4 Bo@6,4 wolf@8,8 | 0"},
            // An inactive wolf that stands where Ada does: she stays.
            {"DeleteAllMonsters: one on another's cell",
             [](CPlay& p) {
                 for (CMonster* creature : p.Farm().GetCreatures()) {
                     if (creature->GetName() == L"wolf") {
                         creature->stateByte = 0;
                         creature->x = 4;
                         creature->y = 4;
                     }
                 }
             },
             L"DeleteAllMonsters(\"farm\")", -1, 0, L"rat@10,10 | Ada@4,4 Bo@6,4 | 1"},
            {"AnyAliveMonster: none hostile", nullptr, L"AnyAliveMonster(\"mill\")", -1, 0,
             L"rat@10,10 | Ada@4,4 Bo@6,4 wolf@8,8 | 1"},
            {"AnyAliveMonster: the rat is the hero's foe", hostile, L"AnyAliveMonster(\"mill\")", -1, 1,
             L"rat@10,10 | Ada@4,4 Bo@6,4 wolf@8,8 | 1"},
            {"AnyAliveMonster: a dead foe",
             [](CPlay& p) {
                 p.Mill().GetCreatures()[0]->AddHostile(65535);
                 p.Mill().GetCreatures()[0]->hitPoints = 0;
             },
             L"AnyAliveMonster(\"mill\")", -1, 0, L" | Ada@4,4 Bo@6,4 wolf@8,8 | 1"},
            {"AddDragon", nullptr, L"AddDragon(\"mill\", \"wyrm\", 12, 3)", -1, 0,
             L"rat@10,10 wyrm@12,3 | Ada@4,4 Bo@6,4 wolf@8,8 | 2"},
            {"AddDragon: no such monster", nullptr, L"AddDragon(\"mill\", \"lion\", 12, 3)", -2, 0,
             L"rat@10,10 | Ada@4,4 Bo@6,4 wolf@8,8 | 1"},
            {"AddDragon: no such location", nullptr, L"AddDragon(\"moor\", \"wyrm\", 12, 3)", -2, 0,
             L"rat@10,10 | Ada@4,4 Bo@6,4 wolf@8,8 | 1"},
        },
        state);
    CPlay play;
    int64_t result = 0;
    // A new monster and a dragon are the hero's foes; the dragon's script runs.
    ASSERT_EQ(play.Run(L"AddMonster(\"mill\", \"wolf\", 5, 6)", result), -1);
    EXPECT_TRUE(play.Mill().GetCreatures()[1]->IsHostile(CGroupMember::kHeroId));
    ASSERT_EQ(play.Run(L"AddDragon(\"mill\", \"wyrm\", 12, 3)", result), -1);
    EXPECT_TRUE(play.Mill().GetCreatures()[2]->IsHostile(CGroupMember::kHeroId));
    EXPECT_EQ(play.Lines(), (Texts{L"log3 A dragon roars."}));
    // Beside the hero, his mark stays; no room: the built-in's error.
    ASSERT_EQ(play.Run(L"AddMonster(\"mill\", \"wolf\", 2, 2)", result), -1);
    EXPECT_EQ(play.Mill().GetCreatureIds().At(2, 2), kHeroCell);
    walled(play);
    EXPECT_EQ(play.Run(L"AddMonster(\"mill\", \"wolf\", 10, 10)", result), -2);
    EXPECT_EQ(play.thrown, L"No room for another creature in mill");
    EXPECT_EQ(play.Run(L"AddDragon(\"moor\", \"wyrm\", 12, 3)", result), -2);
    EXPECT_EQ(play.thrown, L"Location not found: moor");
    EXPECT_EQ(play.Run(L"AddDragon(\"mill\", \"lion\", 12, 3)", result), -2);
    EXPECT_EQ(play.thrown, L"No dragon defined (AddDragon)");
    std::filesystem::remove("Data/Scripts/dragon.u");
    EXPECT_EQ(play.Run(L"AddDragon(\"mill\", \"wyrm\", 12, 3)", result), -2);
    EXPECT_EQ(play.thrown, L"No dragon defined (AddDragon)");
}

TEST_F(BuiltinsWorld, Messages) {
    const auto state = [](CPlay& play) {
        std::wstring text;
        for (const std::wstring& line : play.Lines()) {
            text += line + L";";
        }
        return text;
    };
    CheckRows(
        {
            {"MsgLog", nullptr, L"MsgLog(\"STR_HELLO\", 1)", -1, 0, L"log1 Hello there;"},
            {"MsgLog as a warning", nullptr, L"MsgLog(\"STR_HELLO\", 3)", -1, 0, L"log3 Hello there;"},
            {"MsgBox", nullptr, L"MsgBox(\"STR_HELLO\")", -1, 0, L"box Important: Hello there;"},
        },
        state);
}

} // namespace
} // namespace gameplaytest
