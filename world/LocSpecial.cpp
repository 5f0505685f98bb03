// The special objects the hero uses: doors, scripted objects and passages to
// other locations and levels.
#include <memory>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Random.h"
#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "data/Globals.h"
#include "rules/Hero.h"
#include "script/Script.h"
#include "world/GenServices.h"
#include "world/Loc.h"
#include "world/World.h"

namespace {

const wchar_t* const kSource = L"Loc";
const wchar_t* const kFunction = L"CLoc::ExecuteSpecialObject";

// Passage targets of their own kind.
const wchar_t kSitePrefix[] = L"DungeonSite";
const wchar_t kSiteNameKey[] = L"default_random_dungeon";
// A hero of less dexterity may fall down stairs: the chance is 2 in n + 1,
// n growing from 1 to 3000 with his dexterity.
constexpr uint32_t kSureFootedDexterity = 10;
constexpr int32_t kFallLeast = 1;
constexpr int32_t kFallMost = 3000;
// What a fall does: one leg is hurt, and so is he.
constexpr int32_t kFallDamageLeast = 1;
constexpr int32_t kFallDamageMost = 6;

bool LeadsDown(uint16_t appearance) { return appearance == kOldStairsDown || appearance == kStairsDown; }

bool HasCell(uint32_t value) { return (value & 0xFFFF) != kNoTargetCell && (value >> 16) != kNoTargetCell; }

void Tell(CGameData& game, const wchar_t* tag, const std::wstring& name) {
    game.AddMessage(vek::Format(game.GetStrings().Get(tag), name));
}

// What a passage's object says: whether it leads down (by its appearance),
// its target location, the passage to arrive at and the target cell.
struct TPassage {
    bool down = false;
    std::wstring target;
    std::wstring arrivalPassage;
    uint32_t value = 0;
    uint16_t cellX = 0;
    uint16_t cellY = 0;
};

// 2-3. The text split at "|": the target is field 0 (none without a
// field), the arrival passage field 2 (none with fewer than three).
TPassage ReadPassage(const TSpecialObject& object) {
    TPassage passage;
    passage.down = LeadsDown(object.appearance);
    const std::vector<std::wstring> fields = vek::Split(CLoc::SpecialObjectText(object), L'|');
    passage.target = fields.empty() ? std::wstring() : fields[0];
    passage.arrivalPassage = fields.size() >= 3 ? fields[2] : std::wstring();
    passage.value = object.value;
    passage.cellX = static_cast<uint16_t>(object.value & 0xFFFF);
    passage.cellY = static_cast<uint16_t>(object.value >> 16);
    return passage;
}

// 4b. A tower's level, found by its key; a random one is built as he
// enters it, so it is not prepared here.
bool EnterTowerLevel(CWorld* world, const TPassage& passage, TArrival arrival) {
    uint16_t tx = 0;
    uint16_t ty = 0;
    if (world == nullptr || !world->FindLocation(passage.target, tx, ty, CWorld::kFindByKey)) {
        throw vek::CException(kFunction, kSource, __LINE__, L"Location not found: " + passage.target);
    }
    if (!HasCell(passage.value) && world->grid.At(tx, ty).randomKind != kWorldRandom) {
        throw vek::CException(kFunction, kSource, __LINE__, L"Portal target to non-random location not set.");
    }
    arrival.name = passage.arrivalPassage;
    return world->MakeLocAt(tx, ty).Enter(passage.cellX, passage.cellY, kArriveFromObject, arrival);
}

// 4d. A dungeon site, found by its file name; its level count becomes the
// game's.
bool EnterSite(CGameData& game, CWorld* world, const TPassage& passage) {
    uint16_t tx = 0;
    uint16_t ty = 0;
    if (world == nullptr || !world->FindLocation(passage.target, tx, ty, CWorld::kFindByFile)) {
        throw vek::CException(kFunction, kSource, __LINE__, L"Location not found: " + passage.target);
    }
    game.SetLevelCount(world->grid.At(tx, ty).values16[0]);
    return world->ReadyLoc(L"", tx, ty, passage.cellX, passage.cellY, kArriveFromObject, L"");
}

// 4e. Any other location: at the target cell when there is one, else at
// the arrival passage.
bool EnterLocation(CWorld* world, const TPassage& passage) {
    if (world == nullptr) {
        throw vek::CException(kFunction, kSource, __LINE__, L"Location not found: " + passage.target);
    }
    return world->ReadyLoc(passage.target, 0, 0, passage.cellX, passage.cellY, kArriveFromObject,
                           HasCell(passage.value) ? std::wstring() : passage.arrivalPassage);
}

// 6. A hero of less dexterity may fall down the stairs.
void FallDownStairs(CGameData& game, CHero& hero, CLoc* now) {
    if (hero.GetAttribute(CHero::kDexterity) >= kSureFootedDexterity) {
        return;
    }
    if (vek::Chance(1, ScaleByAttribute(hero, CHero::kDexterity, kFallLeast, kFallMost))) {
        game.AddMessage(game.GetStrings().Get(L"STR_MSG_FALL_STAIRS"), kMessageWarning);
        hero.DamageLimb(static_cast<uint32_t>(vek::RandomRange(CHero::kRightLeg, CHero::kLeftLeg)));
        hero.Damage(static_cast<uint32_t>(vek::RandomRange(kFallDamageLeast, kFallDamageMost)), 0, now);
    }
}

} // namespace

void CLoc::ExecuteSpecialObject(uint16_t x, uint16_t y) {
    if (!IsInside(x, y) || m_specialObjects.At(x, y).active == 0) {
        throw vek::CException(
            kFunction, kSource, __LINE__,
            L"Incorrect function argument - CLoc::ExecuteSpecialObject, no special object at specified position!");
    }
    if (g_gameData == nullptr) {
        return;
    }
    const TSpecialObject& object = m_specialObjects.At(x, y);
    switch (object.kind) {
    case kSpecialDoor:
        UseDoor(x, y);
        break;
    case kSpecialScripted: {
        // Owned here, so that it goes however its parse or its run ends.
        const auto script = std::make_unique<CScript>();
        script->LoadFile(std::wstring(kScriptDir) + SpecialObjectText(object));
        script->Parse();
        script->ExecuteScript(kScriptTypeWhole);
        break;
    }
    case kSpecialPassage:
        TakePassage(x, y);
        break;
    default:
        break;
    }
}

void CLoc::TakePassage(uint16_t x, uint16_t y) {
    CGameData& game = *g_gameData;
    // 1. The game waits for the next location, however the way ends, and
    // one frame is drawn.
    const gen::CBusyInput busy(&GenServices());
    if (game.IsWindowUp()) {
        game.Draw();
    }
    // Read at once: a level made anew in this location replaces the object.
    const TPassage passage = ReadPassage(m_specialObjects.At(x, y));
    const TArrival arrival = ArrivalFromHere();

    // 4. The first way that applies.
    bool entered = false;
    if (m_worldCell != nullptr && m_worldCell->towerFlag != 0 && (passage.down || game.GetCurrentLevel() != 0)) {
        entered = TakeStairsToLevel(passage.down, arrival);
    } else if (vek::StartsWithNoCase(kTowerStem, passage.target)) {
        entered = EnterTowerLevel(game.GetWorld(), passage, arrival);
    } else if (passage.target.empty()) {
        throw vek::CException(kFunction, kSource, __LINE__, L"Target location not set.");
    } else if (vek::StartsWithNoCase(kSitePrefix, passage.target)) {
        entered = EnterSite(game, game.GetWorld(), passage);
    } else {
        entered = EnterLocation(game.GetWorld(), passage);
    }
    if (!entered) {
        return;
    }

    // 5-6. Where he is now is told, and the stairs down may trip him.
    CLoc* now = game.GetCurrentLoc();
    Tell(game, passage.down ? L"STR_GAME_MSG_GO_DOWNSTAIRS" : L"STR_GAME_MSG_GO_UPSTAIRS",
         now != nullptr ? now->GetName() : std::wstring());
    if (passage.down && game.GetHero() != nullptr) {
        FallDownStairs(game, *game.GetHero(), now);
    }
}

// 2. Where he comes from: this location's first world cell, which he
// remembers too.
TArrival CLoc::ArrivalFromHere() {
    TArrival arrival;
    arrival.previous = this;
    const vek::TPoint first = FirstWorldCell();
    arrival.previousX = static_cast<uint16_t>(first.x);
    arrival.previousY = static_cast<uint16_t>(first.y);
    CHero* hero = g_gameData->GetHero();
    if (hero != nullptr && m_worldCell != nullptr) {
        hero->worldX = arrival.previousX;
        hero->worldY = arrival.previousY;
    }
    return arrival;
}

// 4a. Another level of this location, made anew in its place; the location
// keeps its script.
bool CLoc::TakeStairsToLevel(bool down, const TArrival& arrival) {
    CGameData& game = *g_gameData;
    const uint16_t level =
        down ? static_cast<uint16_t>(game.GetCurrentLevel() + 1) : static_cast<uint16_t>(game.GetCurrentLevel() - 1);
    game.SetCurrentLevel(level);
    TSiteLevel site;
    site.width = m_worldCell->width;
    site.height = m_worldCell->height;
    site.level = level;
    site.levelCount = game.GetLevelCount();
    site.comingUp = !down;
    site.siteLocation = m_worldCell->text5;
    site.siteCell = {static_cast<int32_t>(m_worldCell->values32[0] & 0xFFFF),
                     static_cast<int32_t>(m_worldCell->values32[0] >> 16)};
    TScriptHandle script = std::move(m_script);
    vek::TPoint at;
    try {
        at = GenerateLocForSite(site);
    } catch (...) {
        m_script = std::move(script);
        throw;
    }
    m_script = std::move(script);
    m_name = vek::Format(game.GetStrings().GetLocName(kSiteNameKey, true), static_cast<uint32_t>(level + 1));
    m_flags |= kLocLayoutPresent;
    return Enter(static_cast<uint16_t>(at.x), static_cast<uint16_t>(at.y), kArriveFromObject, arrival);
}
