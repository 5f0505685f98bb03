// Doors closed, locked, opened and unlocked; traps disarmed and set off; the
// vampire's bite and its blood vials.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "tests/world/PlayFixture.h"
#include "world/Loc.h"

namespace {

using worldtest::AddMonster;
using worldtest::kRat;
using worldtest::Lines;

// The hall at world cell (1, 0), the hero standing in it at (4, 4); items
// 0 to 199 with a key of type 12, a sword (1) that wears out in 50 steps,
// empty vials (54) and vials of blood (55).
class LocDoors : public worldtest::PlayFixture {
protected:
    void SetUp() override {
        PlayFixture::SetUp();
        CDefinitionTables& tables = m_game.GetTableSet(kScriptTables);
        tables.items.resize(200);
        tables.items[12].name = L"iron key";
        tables.items[54].name = L"empty vial";
        tables.items[55].name = L"vial of blood";
        tables.objects.resize(120);
        m_hall = &Grass(1, 0, L"hall");
        Stand(*m_hall, 4, 4);
        m_display->lines.clear();
    }

    // A door (or other object) of the kind, appearance, state and key at (5, 5).
    TSpecialObject& Door(uint16_t appearance, uint16_t state, uint16_t key, uint16_t kind = kSpecialDoor) {
        m_hall->SetSpecialObject(5, 5, kind, appearance, (static_cast<uint32_t>(state) << 16) | key, L"");
        return m_hall->GetSpecialObjects().At(5, 5);
    }
    // A known trap of that type on a closed door at (5, 5).
    TSpecialObject& Trap(uint32_t type) {
        m_hall->CreateTrapObject(5, 5, 2, true, type);
        return m_hall->GetSpecialObjects().At(5, 5);
    }
    uint16_t Blocked(uint16_t x, uint16_t y) const { return m_hall->GetPassabilityGrid().At(x, y); }
    uint32_t TrapPoints() const {
        return m_hero.skills.size() > CLoc::kTrapSkill ? m_hero.skills[CLoc::kTrapSkill].points : 0;
    }

    CLoc* m_hall = nullptr;
};

// --- Closing and locking ----------------------------------------------------------------------------------

TEST_F(LocDoors, CloseDoor) {
    const struct {
        const char* what;
        uint16_t kind;
        uint16_t appearance, state;
        uint16_t appearanceAfter, stateAfter;
        bool closes;
    } cases[] = {
        {"an open door", kSpecialDoor, 50, 0, 48, 1, true},
        {"an open tower door", kSpecialDoor, 104, 0, 103, 1, true},
        {"a tower door opened to 105", kSpecialDoor, 105, 0, 103, 1, true},
        {"a door opened to 106", kSpecialDoor, 106, 0, 104, 1, true},
        {"an open door drawn as record 2", kSpecialDoor, 2, 0, 0, 1, true},
        {"an open door drawn as record 1 cannot be drawn lower", kSpecialDoor, 1, 0, 1, 1, true},
        {"an open door with a known trap", kSpecialDoor, 50, 4, 48, 5, true},
        // Closing a closed door again must not draw it as another object.
        {"a closed door", kSpecialDoor, 48, 1, 48, 1, false},
        {"a closed tower door", kSpecialDoor, 103, 1, 103, 1, false},
        {"a passage", kSpecialPassage, 50, 0, 50, 0, false},
    };
    for (const auto& c : cases) {
        TSpecialObject& door = Door(c.appearance, c.state, 12, c.kind);
        m_hall->RefreshPassability(0);
        m_display->lines.clear();
        m_hall->CloseDoor(5, 5);
        EXPECT_EQ(door.appearance, c.appearanceAfter) << c.what;
        EXPECT_EQ(door.value, (static_cast<uint32_t>(c.stateAfter) << 16) | 12u) << c.what;
        EXPECT_EQ(m_display->Logged(), c.closes ? Lines{L"Closes."} : Lines{}) << c.what;
        if (c.closes) {
            EXPECT_EQ(Blocked(5, 5), 1) << c.what;
        }
    }
    // No special object: nothing.
    m_hall->ClearSpecialObject(5, 5);
    m_display->lines.clear();
    m_hall->CloseDoor(5, 5);
    EXPECT_TRUE(m_display->lines.empty());
}

TEST_F(LocDoors, LockDoor) {
    const struct {
        const char* what;
        uint16_t state, key;
        bool carries;
        bool armsUseless;
        uint32_t valueAfter;
        Lines logged;
    } cases[] = {
        {"a closed door with its key carried", 1, 12, true, false, 0x3000C, {L"Locks."}},
        // The trap stays known.
        {"a closed door with a known trap", 5, 12, true, false, 0x7000C, {L"Locks."}},
        {"a closed door with a disarmed trap", 9, 12, true, false, 0xB000C, {L"Locks."}},
        {"the key not carried", 1, 12, false, false, 0x1000C, {L"No key: iron key."}},
        {"both arms useless", 1, 12, true, true, 0x1000C, {L"Arms."}},
        {"the last key item", 1, 0xFFFD, true, false, 0x3FFFD, {L"Locks."}},
        {"a door without a key", 1, 0xFFFE, true, false, 0x1FFFE, {}},
        {"an open door", 0, 12, true, false, 0x0000C, {}},
        {"a locked door", 3, 12, true, false, 0x3000C, {}},
    };
    for (const auto& c : cases) {
        TSpecialObject& door = Door(40, c.state, c.key);
        m_hero.backpack.clear();
        if (c.carries) {
            m_hero.backpack.push_back(CItem(c.key, 1));
        }
        m_hero.limbs = {};
        if (c.armsUseless) {
            m_hero.limbs[CHero::kRightArm] = CHero::kLimbCrippled;
            m_hero.limbs[CHero::kLeftArm] = CHero::kLimbLost;
        }
        m_display->lines.clear();
        m_hall->LockDoor(5, 5);
        EXPECT_EQ(door.value, c.valueAfter) << c.what;
        EXPECT_EQ(door.appearance, 40) << c.what;
        EXPECT_EQ(m_display->Logged(), c.logged) << c.what;
    }
}

// --- Opening and unlocking ------------------------------------------------------------------------------

TEST_F(LocDoors, UsingADoorOpensOrUnlocksIt) {
    const struct {
        const char* what;
        uint16_t appearance, state, key;
        bool carries;
        bool legsUseless;
        uint16_t appearanceAfter, stateAfter;
        Lines logged;
    } cases[] = {
        {"a closed door opens", 30, 1, 12, false, false, 32, 0, {L"Opens."}},
        // Opening knows no pair: 103 + 2.
        {"a closed tower door opens", 103, 1, 0xFFFE, false, false, 105, 0, {L"Opens."}},
        {"an open door stays", 32, 0, 12, true, false, 32, 0, {}},
        // A door that needs no key unlocks without one, and its name is
        // not looked for among the items.
        {"a locked door without a key", 30, 3, 0xFFFE, false, false, 30, 1, {L"Unlocks: ."}},
        {"a locked door, its key carried", 30, 3, 12, true, false, 30, 1, {L"Unlocks: iron key."}},
        {"a locked door, its key missing", 30, 3, 12, false, false, 30, 3, {L"No key: iron key."}},
        {"a locked door whose key names no item", 30, 3, 0xFFFD, false, false, 30, 3, {L"No key: ."}},
        {"a locked door, the hero's legs useless", 30, 3, 12, true, true, 30, 3, {L"Legs."}},
    };
    for (const auto& c : cases) {
        TSpecialObject& door = Door(c.appearance, c.state, c.key);
        m_hall->RefreshPassability(0);
        m_hero.backpack.clear();
        if (c.carries) {
            m_hero.backpack.push_back(CItem(c.key, 1));
        }
        m_hero.limbs = {};
        if (c.legsUseless) {
            m_hero.limbs[CHero::kRightLeg] = CHero::kLimbCrippled;
            m_hero.limbs[CHero::kLeftLeg] = CHero::kLimbCrippled;
        }
        m_display->lines.clear();
        m_hall->ExecuteSpecialObject(5, 5);
        EXPECT_EQ(door.appearance, c.appearanceAfter) << c.what;
        EXPECT_EQ(door.value, (static_cast<uint32_t>(c.stateAfter) << 16) | c.key) << c.what;
        EXPECT_EQ(m_display->Logged(), c.logged) << c.what;
        if (c.state == 1) {
            EXPECT_EQ(Blocked(5, 5), 0) << c.what;
        }
    }
    // Unlocked without a key, the door opens when used again.
    m_hero.limbs = {};
    TSpecialObject& door = Door(30, 3, 0xFFFE);
    m_hall->ExecuteSpecialObject(5, 5);
    m_hall->ExecuteSpecialObject(5, 5);
    EXPECT_EQ(door.appearance, 32);
    EXPECT_EQ(door.value, 0xFFFEu);
}

TEST_F(LocDoors, OpeningATrappedDoorSetsItOff) {
    Trap(3);
    AddMonster(*m_hall, kRat, 5, 6);
    m_hall->ExecuteSpecialObject(5, 5);
    EXPECT_EQ(m_display->Logged(), (Lines{L"Opens.", L"Trap.", L"Gas."}));
    EXPECT_EQ(m_hero.states.size(), 1u);
    EXPECT_EQ(m_hall->GetCreatures()[0]->states.size(), 1u);
    EXPECT_EQ(m_hall->GetSpecialObjects().At(5, 5).appearance, 4);
    EXPECT_TRUE(m_hall->GetSpecialObjects().At(5, 5).GetBuffer().empty());
}

// --- Disarming -----------------------------------------------------------------------------------------

// Time: 7200 + (300 - 7200) / 99 x (level - 1) seconds, truncated, within
// 300 to 7200; chance: 30 + 70 / 99 x (level - 1) within 30 to 100, tested
// as draw mod 101 <= chance.
TEST_F(LocDoors, DisarmingTakesTimeAndSkill) {
    const struct {
        uint8_t level;
        int32_t draw;
        uint32_t seconds;
        bool disarmed;
    } cases[] = {
        {0, 30, 7200, true},                          // not learnt: the slowest and the least chance
        {1, 30, 7200, true},                          // at the chance
        {1, 31, 7200, false},                         // just outside
        {2, 30, 7130, true},  {22, 45, 5736, false},  // chance 44
        {23, 45, 5666, true},                         // chance 45
        {50, 64, 3784, true}, {50, 166, 3784, false}, // 166 mod 101 = 65
        {99, 99, 369, true},  {100, 100, 300, true},
    };
    for (const auto& c : cases) {
        TSpecialObject& trap = Trap(2);
        m_hero.skills.assign(CLoc::kTrapSkill + 1, TSkillEntry{});
        m_hero.skills[CLoc::kTrapSkill].level = c.level;
        m_hero.states.clear();
        m_game.SetClock(1000);
        m_draws.Set({c.draw});
        m_display->lines.clear();
        m_hall->DisarmTrap(5, 5);
        const std::wstring level = std::to_wstring(c.level);
        EXPECT_EQ(m_game.GetClock(), 1000u + c.seconds) << level;
        EXPECT_EQ(m_draws.Drawn(), 1u) << level;
        EXPECT_EQ(m_display->lines.front(), L"show " + std::to_wstring(c.seconds) + L" Disarming.") << level;
        if (c.disarmed) {
            EXPECT_EQ(trap.value, 0x9FFFEu) << level; // known bit off, disarmed on
            EXPECT_TRUE(trap.GetBuffer().empty()) << level;
            EXPECT_EQ(m_display->Logged(), Lines{L"Disarmed."}) << level;
            EXPECT_EQ(TrapPoints(), 5u) << level;
            EXPECT_TRUE(m_hero.states.empty()) << level;
        } else {
            // Set off by the hero (one point) and failed (two).
            EXPECT_EQ(m_display->Logged(), (Lines{L"Trap.", L"Frost."})) << level;
            EXPECT_EQ(TrapPoints(), 3u) << level;
            ASSERT_EQ(m_hero.states.size(), 1u) << level;
            EXPECT_EQ(m_hero.states[0].type, CState::kFrozen) << level;
            EXPECT_EQ(trap.value, 0x5FFFEu) << level;
            EXPECT_TRUE(trap.GetBuffer().empty()) << level;
        }
    }
}

TEST_F(LocDoors, DisarmingNeedsAKnownArmedTrapAndTheWholeTime) {
    // Broken off a second early: no draw, the trap as it was.
    TSpecialObject& trap = Trap(2);
    m_game.SetClock(1000);
    m_display->onShow = [this](uint32_t) { m_game.SetClock(m_game.GetClock() - 1); };
    m_hall->DisarmTrap(5, 5);
    m_display->onShow = nullptr;
    EXPECT_EQ(m_game.GetClock(), 1000u + 7200u - 1u);
    EXPECT_EQ(m_display->Logged(), Lines{L"Interrupted."});
    EXPECT_EQ(m_draws.Drawn(), 0u);
    EXPECT_EQ(trap.GetBuffer().size(), 5u);
    const struct {
        const char* what;
        void (*make)(CLoc& hall);
    } refused[] = {
        {"an unknown trap",
         [](CLoc& h) { h.CreateTrapObject(5, 5, 2, true, 2), h.GetSpecialObjects().At(5, 5).value = 0x1FFFE; }},
        {"a door without a trap", [](CLoc& h) { h.CreateTrapObject(5, 5, 2, false, 0); }},
        {"a trap no longer armed",
         [](CLoc& h) { h.CreateTrapObject(5, 5, 2, true, 2), h.GetSpecialObjects().At(5, 5).GetBuffer()[0] = 0; }},
        {"a record cut short",
         [](CLoc& h) { h.CreateTrapObject(5, 5, 2, true, 2), h.GetSpecialObjects().At(5, 5).GetBuffer().resize(4); }},
        {"a text object", [](CLoc& h) { h.CreateTextObject(5, 5, 2, L"note"); }},
        {"nothing", [](CLoc& h) { h.ClearSpecialObject(5, 5); }},
    };
    for (const auto& r : refused) {
        r.make(*m_hall);
        m_display->lines.clear();
        m_hall->DisarmTrap(5, 5);
        m_hall->TriggerTrap(5, 5, true);
        EXPECT_TRUE(m_display->lines.empty()) << r.what;
        EXPECT_EQ(m_draws.Drawn(), 0u) << r.what;
    }
}

// --- Traps going off -------------------------------------------------------------------------------------

// The trap at (5, 5); the hero at (4, 4) and a rat at (5, 6) are within its
// blast, a rat at (7, 7) is not. An explosion draws its two bounds (5 + draw
// mod 16) and then one damage for each creature reached, in row order.
TEST_F(LocDoors, ATrapGoesOffByItsType) {
    const struct {
        uint32_t type;
        std::vector<int32_t> draws;
        Lines logged;
        uint16_t heroHp, ratHp;
        uint16_t state; // on the hero and the near rat; 0 none
        bool destroyed;
    } cases[] = {
        // Bounds 13 and 12; damage 12 + draw mod 2.
        {0, {8, 7, 1, 0}, {L"Trap.", L"Boom.", L"Destroyed."}, 37, 0, 0, true},
        {1, {}, {L"Trap.", L"Flame."}, 50, 5, CState::kBurning, false},
        {2, {}, {L"Trap.", L"Frost."}, 50, 5, CState::kFrozen, false},
        {3, {}, {L"Trap.", L"Gas."}, 50, 5, CState::kPoisoned, false},
        {4, {}, {L"Trap."}, 50, 5, 0, false},
    };
    for (const auto& c : cases) {
        m_world.Init();
        m_hall = &Grass(1, 0, L"hall");
        Stand(*m_hall, 4, 4);
        m_hero.hitPoints = 50;
        m_hero.states.clear();
        Trap(c.type);
        CMonster& near = AddMonster(*m_hall, kRat, 5, 6);
        CMonster& far = AddMonster(*m_hall, kRat, 7, 7);
        m_hall->GetItemPiles().At(5, 5) = {CItem(1, 1), CItem(1, 1)};
        m_hall->GetItemPiles().At(5, 5)[1].durability = 5;
        m_hall->RefreshPassability(0);
        m_draws.Set(c.draws);
        m_display->lines.clear();
        m_hall->TriggerTrap(5, 5, false);
        const std::wstring type = std::to_wstring(c.type);
        EXPECT_EQ(m_draws.Drawn(), c.draws.size()) << type;
        EXPECT_EQ(m_display->Logged(), c.logged) << type;
        EXPECT_EQ(m_hero.hitPoints, c.heroHp) << type;
        EXPECT_EQ(near.hitPoints, c.ratHp) << type;
        EXPECT_EQ(far.hitPoints, 5) << type;
        EXPECT_TRUE(far.states.empty()) << type;
        EXPECT_EQ(m_hero.states.size(), c.state != 0 ? 1u : 0u) << type;
        if (c.state != 0) {
            EXPECT_EQ(m_hero.states[0].type, c.state) << type;
            ASSERT_EQ(near.states.size(), 1u) << type;
            EXPECT_EQ(near.states[0].type, c.state) << type;
        }
        const TSpecialObject& object = m_hall->GetSpecialObjects().At(5, 5);
        EXPECT_EQ(object.active, c.destroyed ? 0 : 1) << type;
        EXPECT_TRUE(object.GetBuffer().empty()) << type;
        if (c.destroyed) {
            EXPECT_EQ(m_hall->GetPassabilityGrid().At(5, 5), 0) << type;
        }
        // The items on the cell wore 5 steps: the worn one is gone.
        ASSERT_EQ(m_hall->GetItemCount(5, 5), 1u) << type;
        EXPECT_EQ(m_hall->GetItem(5, 5, 0).durability, 45) << type;
        // Set off by no one: no training.
        EXPECT_EQ(TrapPoints(), 0u) << type;
        // Armed no more.
        m_display->lines.clear();
        m_hall->TriggerTrap(5, 5, true);
        EXPECT_TRUE(m_display->lines.empty()) << type;
    }
}

// The blast is shown over the cells it reaches, once, after the trap's
// messages and before anyone is hit; at the map's edge only the cells inside.
TEST_F(LocDoors, TheBlastIsShownOverTheCellsItReaches) {
    using Cells = std::vector<vek::TPoint>;
    const Cells around = {{4, 4}, {5, 4}, {6, 4}, {4, 5}, {5, 5}, {6, 5}, {4, 6}, {5, 6}, {6, 6}};
    const struct {
        uint32_t type;
        uint16_t x, y;
        Cells cells; // none: no blast
        std::vector<int32_t> draws;
    } cases[] = {
        {0, 5, 5, around, {0, 0, 0}},
        {1, 5, 5, around, {}},
        {2, 5, 5, around, {}},
        {3, 5, 5, around, {}},
        {4, 5, 5, {}, {}},
        {2, 0, 0, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}, {}},
        {3, 19, 14, {{18, 13}, {19, 13}, {18, 14}, {19, 14}}, {}},
    };
    bool hitWhenShown = false;
    m_display->onBlast = [&] { hitWhenShown = m_hero.hitPoints != 50 || !m_hero.states.empty(); };
    for (const auto& c : cases) {
        const std::string what = std::to_string(c.type) + " at " + std::to_string(c.x) + "," + std::to_string(c.y);
        m_hero.hitPoints = 50;
        m_hall->CreateTrapObject(c.x, c.y, 2, true, c.type);
        m_draws.Set(c.draws);
        m_display->lines.clear();
        m_display->blasts.clear();
        m_hall->TriggerTrap(c.x, c.y, false);
        EXPECT_EQ(m_draws.Drawn(), c.draws.size()) << what;
        if (c.cells.empty()) {
            EXPECT_TRUE(m_display->blasts.empty()) << what;
            continue;
        }
        ASSERT_EQ(m_display->blasts.size(), 1u) << what;
        EXPECT_EQ(m_display->blasts[0], (TBlast{c.type, {c.x, c.y}, c.cells})) << what;
        ASSERT_GE(m_display->lines.size(), 3u) << what;
        EXPECT_EQ(m_display->lines[2], L"blast " + std::to_wstring(c.type)) << what;
        // The hero at (4, 4), reached by the blasts at (5, 5), is hit only
        // once the blast has been shown.
        EXPECT_FALSE(hitWhenShown) << what;
        EXPECT_EQ(m_hero.hitPoints != 50 || !m_hero.states.empty(), c.x == 5) << what;
        m_hero.states.clear();
    }
}

TEST_F(LocDoors, ASetTrapOnTheGroundExplodes) {
    const struct {
        const char* what;
        bool object; // a special object on the cell
        bool fires;
    } cases[] = {
        {"on a bare cell", false, true},
        {"on a cell with a special object", true, false},
    };
    for (const auto& c : cases) {
        m_hall->ClearSpecialObject(5, 5);
        if (c.object) {
            m_hall->CreateTextObject(5, 5, 1, L"note");
        }
        m_hall->GetItemPiles().At(5, 5) = {CItem(CLoc::kSetTrapItem, 1), CItem(2, 3)};
        m_hero.hitPoints = 50;
        m_hero.skills.clear();
        m_draws.Set(c.fires ? std::vector<int32_t>{0, 0, 0} : std::vector<int32_t>{});
        m_display->lines.clear();
        m_hall->TriggerTrap(5, 5, true);
        EXPECT_EQ(m_draws.Drawn(), c.fires ? 3u : 0u) << c.what;
        if (!c.fires) {
            EXPECT_TRUE(m_display->lines.empty()) << c.what;
            EXPECT_EQ(m_hall->GetItemCount(5, 5), 2u) << c.what;
            continue;
        }
        // Bounds 5 and 5: the hero takes 5.
        EXPECT_EQ(m_display->Logged(), (Lines{L"Trap.", L"Boom."})) << c.what;
        EXPECT_EQ(m_hero.hitPoints, 45) << c.what;
        EXPECT_EQ(TrapPoints(), 1u) << c.what;
        // The set trap is gone, the coins stay.
        ASSERT_EQ(m_hall->GetItemCount(5, 5), 1u) << c.what;
        EXPECT_EQ(m_hall->GetItem(5, 5, 0).type, 2) << c.what;
    }
}

// --- The bite -----------------------------------------------------------------------------------------

// The bite hits when draw mod 100 <= 74 and then draws its damage, 1 + draw
// mod 3. The rat at (5, 4) has 5 hit points.
TEST_F(LocDoors, TheBiteAndItsBloodVials) {
    const struct {
        const char* what;
        bool collect;
        uint32_t vials;
        bool packFull;
        std::vector<int32_t> draws;
        Lines logged;
        uint16_t ratHp;
        uint32_t vialsAfter;
        bool bloodCarried;
        bool bloodOnGround;
    } cases[] = {
        {"a bite", false, 0, false, {74, 1}, {L"Bite: rat."}, 3, 0, false, false},
        {"a bite that misses", false, 0, false, {75}, {L"Bite: rat."}, 5, 0, false, false},
        {"collecting without a vial", true, 0, false, {}, {L"No vial."}, 5, 0, false, false},
        {"collecting", true, 2, false, {0, 2}, {L"Bite: rat.", L"Blood."}, 2, 1, true, false},
        {"collecting, the bite misses", true, 2, false, {99}, {L"Bite: rat."}, 5, 2, false, false},
        {"collecting the last vial", true, 1, false, {0, 0}, {L"Bite: rat.", L"Blood."}, 4, 0, true, false},
        // The pack takes nothing more: the blood is not lost.
        {"collecting with a full pack", true, 2, true, {0, 0}, {L"Bite: rat.", L"Blood."}, 4, 1, false, true},
    };
    for (const auto& c : cases) {
        m_world.Init();
        m_hall = &Grass(1, 0, L"hall");
        Stand(*m_hall, 4, 4);
        CMonster& rat = AddMonster(*m_hall, kRat, 5, 4);
        m_hero.backpack.clear();
        if (c.vials > 0) {
            m_hero.backpack.push_back(CItem(CLoc::kEmptyVial, c.vials));
        }
        if (c.packFull) {
            for (uint16_t i = 0; m_hero.backpack.size() < CHero::kBackpackSlots; ++i) {
                m_hero.backpack.push_back(CItem(100, 1, false, i));
            }
        }
        m_draws.Set(c.draws);
        m_display->lines.clear();
        m_hall->BiteVictim(5, 4, c.collect);
        EXPECT_EQ(m_draws.Drawn(), c.draws.size()) << c.what;
        EXPECT_EQ(m_display->Logged(), c.logged) << c.what;
        EXPECT_EQ(rat.hitPoints, c.ratHp) << c.what;
        uint32_t vials = 0;
        bool blood = false;
        for (const CItem& item : m_hero.backpack) {
            vials += item.type == CLoc::kEmptyVial ? item.count : 0;
            blood = blood || item.type == CLoc::kBloodVial;
        }
        EXPECT_EQ(vials, c.vialsAfter) << c.what;
        EXPECT_EQ(blood, c.bloodCarried) << c.what;
        EXPECT_EQ(m_hall->GetItemCount(4, 4), c.bloodOnGround ? 1u : 0u) << c.what;
        if (c.bloodOnGround) {
            EXPECT_EQ(m_hall->GetItem(4, 4, 0).type, CLoc::kBloodVial) << c.what;
        }
    }
    // Nobody on the cell: nothing at all.
    m_display->lines.clear();
    m_hall->BiteVictim(10, 10, true);
    m_hall->BiteVictim(10, 10, false);
    EXPECT_TRUE(m_display->lines.empty());
}

// A bitten member of a group is attacked: the group's alarm turns it and
// the others on the hero, hit or miss; without a vial there is no bite and
// no alarm.
TEST_F(LocDoors, TheBiteRaisesTheVictimsAlarm) {
    const struct {
        const char* what;
        bool collect;
        std::vector<int32_t> draws;
        bool raised;
    } cases[] = {
        {"a bite that hits", false, {0, 0}, true},
        {"a bite that misses", false, {99}, true},
        {"no vial, no bite", true, {}, false},
    };
    for (const auto& c : cases) {
        m_world.Init();
        g_groupList.Clear();
        m_hall = &Grass(1, 0, L"hall");
        Stand(*m_hall, 4, 4);
        CMonster& rat = AddMonster(*m_hall, kRat, 5, 4);
        CMonster& other = AddMonster(*m_hall, kRat, 9, 9);
        g_groupList.Get().push_back(new CGroup(L"pack"));
        AddToGroup(rat, *g_groupList.Get().back());
        AddToGroup(other, *g_groupList.Get().back());
        TAlarm alarm;
        alarm.name = L"howl";
        alarm.entries = {TAlarmEntry{TAlarmEntry::kGroup, TAlarmEntry::kRaise, L"pack"}};
        m_hall->GetAlarms() = {alarm};
        m_hero.backpack.clear();
        m_draws.Set(c.draws);
        m_hall->BiteVictim(5, 4, c.collect);
        EXPECT_EQ(m_draws.Drawn(), c.draws.size()) << c.what;
        const std::vector<uint32_t> foes =
            c.raised ? std::vector<uint32_t>{CGroupMember::kHeroId} : std::vector<uint32_t>{};
        EXPECT_EQ(rat.hostile, foes) << c.what;
        EXPECT_EQ(other.hostile, foes) << c.what;
        EXPECT_EQ(other.alerted, c.raised ? 1u : 0u) << c.what;
        EXPECT_EQ(m_hall->GetAlarms()[0].counter, c.raised ? 0u : TAlarm::kPresetCounter) << c.what;
    }
}

} // namespace
