// Doors closed, locked, opened and unlocked; traps disarmed and set off; the
// vampire hero's bite.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "VEKLib/Format.h"
#include "VEKLib/Random.h"
#include "data/GameData.h"
#include "rules/Creature.h"
#include "rules/Hero.h"
#include "rules/Monster.h"
#include "script/Records.h"
#include "world/Loc.h"

namespace {

// A trap's record in its object's buffer: armed byte, then the trap's type
// (u32, low byte first).
constexpr size_t kTrapRecordSize = 5;
// Trap types, which are the kinds of their blasts; any other sets off none.
enum : uint32_t {
    kTrapExplosion = TBlast::kExplosion,
    kTrapFlame = TBlast::kFlame,
    kTrapFreeze = TBlast::kFrost,
    kTrapGas = TBlast::kGas
};
const wchar_t* const kTrapTexts[] = {L"STR_TRAP_TEXT_EXPLODE", L"STR_TRAP_TEXT_FLAME", L"STR_TRAP_TEXT_FREEZE",
                                     L"STR_TRAP_TEXT_GAS"};
// An explosion's damage lies between two draws of this range.
constexpr int32_t kExplosionLeast = 5;
constexpr int32_t kExplosionMost = 20;
// What the other blasts leave on whom they reach.
constexpr uint16_t kBlastStateStrength = 5;
constexpr uint32_t kBlastStateSeconds = 30;
// No creature set the trap off.
constexpr uint32_t kNoAttacker = 0xFFFE;
// The items on the trap's cell wear by this many steps.
constexpr uint32_t kBlastWear = 5;
// Training of the trap skill: disarmed, failed, set off.
constexpr uint32_t kDisarmTraining = 5;
constexpr uint32_t kFailedDisarmTraining = 2;
constexpr uint32_t kTriggerTraining = 1;
// Disarming takes from two hours (a novice) to five minutes (a master), and
// succeeds in 30 to 100 of 101 draws.
constexpr int32_t kDisarmSlowest = 7200;
constexpr int32_t kDisarmFastest = 300;
constexpr int32_t kDisarmLeastChance = 30;
constexpr int32_t kDisarmBestChance = 100;
// The vampire's bite.
constexpr TAttack kBiteAttack{TAttack::kBite, 75, 1, 3};

uint16_t State(const TSpecialObject& object) { return static_cast<uint16_t>(object.value >> 16); }
uint16_t Key(const TSpecialObject& object) { return static_cast<uint16_t>(object.value & 0xFFFF); }
uint32_t WithState(const TSpecialObject& object, uint16_t state) {
    return (static_cast<uint32_t>(state) << 16) | Key(object);
}

bool IsDoor(const TSpecialObject& object) { return object.active != 0 && object.kind == kSpecialDoor; }

// The type of an armed trap that the object carries and the hero knows of.
std::optional<uint32_t> ArmedTrap(const TSpecialObject& object) {
    const std::vector<uint8_t>& record = object.GetBuffer();
    if (!IsDoor(object) || (State(object) & kTrapKnown) == 0 || record.size() < kTrapRecordSize || record[0] == 0) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(record[1]) | (static_cast<uint32_t>(record[2]) << 8) |
           (static_cast<uint32_t>(record[3]) << 16) | (static_cast<uint32_t>(record[4]) << 24);
}

// The name of an item type; empty for a type that names no item (the "no
// key" marks among them).
std::wstring ItemName(uint16_t type) {
    const std::vector<TItemInfo>& items = g_gameData->GetTables().items;
    return type < items.size() ? items[type].name : std::wstring();
}

void Tell(const wchar_t* tag) { g_gameData->AddMessage(g_gameData->GetStrings().Get(tag)); }

void Tell(const wchar_t* tag, const std::wstring& name) {
    g_gameData->AddMessage(vek::Format(g_gameData->GetStrings().Get(tag), name));
}

} // namespace

// --- Doors ---------------------------------------------------------------------------------------

void CLoc::CloseDoor(uint16_t x, uint16_t y) {
    TSpecialObject& door = m_specialObjects.At(x, y);
    // A closed door is left as it is: closing it again would draw it as
    // another object.
    if (g_gameData == nullptr || !IsDoor(door) || (State(door) & kDoorClosed) != 0) {
        return;
    }
    if (door.appearance == kTowerDoorOpen) {
        door.appearance = kTowerDoorClosed;
    } else if (door.appearance >= 2) {
        door.appearance = static_cast<uint16_t>(door.appearance - 2);
    }
    door.value = WithState(door, State(door) | kDoorClosed);
    SetPassabilityCell(x, y, true);
    Tell(L"STR_GAME_MSG_CLOSE_DOOR");
}

void CLoc::LockDoor(uint16_t x, uint16_t y) {
    TSpecialObject& door = m_specialObjects.At(x, y);
    CHero* hero = g_gameData != nullptr ? g_gameData->GetHero() : nullptr;
    if (hero == nullptr || !IsDoor(door) || (State(door) & (kDoorClosed | kDoorLocked)) != kDoorClosed ||
        Key(door) >= kDoorNoKey) {
        return;
    }
    if (!hero->HasItems(TQuestItem(Key(door)))) {
        Tell(L"STR_GAME_MSG_NO_KEY", ItemName(Key(door)));
        return;
    }
    if (hero->CheckLimbs()) {
        return;
    }
    // A trap's bits stay: locking the door does not make the trap unknown.
    door.value = WithState(door, State(door) | kDoorClosed | kDoorLocked);
    Tell(L"STR_GAME_MSG_DOOR_LOCK");
}

void CLoc::UseDoor(uint16_t x, uint16_t y) {
    TSpecialObject& door = m_specialObjects.At(x, y);
    const uint16_t state = State(door);
    if ((state & kDoorClosed) == 0) {
        return;
    }
    if ((state & kDoorLocked) == 0) {
        // Every door opens to its appearance + 2, the tower's 103 too; only
        // closing knows the pair 104 / 103.
        door.appearance = static_cast<uint16_t>(door.appearance + 2);
        door.value = WithState(door, static_cast<uint16_t>(state & ~kDoorClosed));
        SetPassabilityCell(x, y, false);
        Tell(L"STR_GAME_MSG_DOOR_OPEN");
        TriggerTrap(x, y, true);
        return;
    }
    const uint16_t lock = Key(door);
    const CHero* hero = g_gameData->GetHero();
    const bool keyless = lock >= kDoorNoKey;
    if (!keyless && (hero == nullptr || !hero->HasItems(TQuestItem(lock)))) {
        Tell(L"STR_GAME_MSG_NO_KEY", ItemName(lock));
        return;
    }
    if (hero != nullptr && hero->CheckLimbs()) {
        return;
    }
    door.value = WithState(door, static_cast<uint16_t>(state & ~kDoorLocked));
    Tell(L"STR_GAME_MSG_DOOR_UNLOCK", ItemName(lock));
}

// --- Traps ---------------------------------------------------------------------------------------

void CLoc::DisarmTrap(uint16_t x, uint16_t y) {
    CHero* hero = g_gameData != nullptr ? g_gameData->GetHero() : nullptr;
    if (hero == nullptr || !ArmedTrap(m_specialObjects.At(x, y))) {
        return;
    }
    CGameData& game = *g_gameData;
    const auto needed = static_cast<uint32_t>(ScaleBySkill(*hero, kTrapSkill, kDisarmSlowest, kDisarmFastest));
    const uint64_t before = game.GetClock();
    game.ShowMessage(needed, game.GetStrings().Get(L"STR_RESTING_DISARM"));
    if (game.GetClock() < before || game.GetClock() - before < needed) {
        Tell(L"STR_GAME_MSG_INTERRUPTED");
        return;
    }
    const int32_t chance = ScaleBySkill(*hero, kTrapSkill, kDisarmLeastChance, kDisarmBestChance);
    if (vek::Chance(chance, 100)) {
        TSpecialObject& trap = m_specialObjects.At(x, y);
        trap.value = WithState(trap, static_cast<uint16_t>((State(trap) & ~kTrapKnown) | kTrapDisarmed));
        trap.GetBuffer().clear();
        trap.SetPosition(0);
        Tell(L"STR_DISARM_SUCCESS");
        hero->TrainSkill(kTrapSkill, kDisarmTraining);
        return;
    }
    TriggerTrap(x, y, true);
    hero->TrainSkill(kTrapSkill, kFailedDisarmTraining);
}

void CLoc::TriggerTrap(uint16_t x, uint16_t y, bool byHero) {
    if (g_gameData == nullptr) {
        return;
    }
    TSpecialObject& object = m_specialObjects.At(x, y);
    std::vector<CItem>& pile = m_items.At(x, y);
    std::optional<uint32_t> type = ArmedTrap(object);
    const bool setTrap = !type && object.active == 0 &&
                         std::any_of(pile.begin(), pile.end(), [](const CItem& i) { return i.type == kSetTrapItem; });
    if (!type && !setTrap) {
        return;
    }
    if (setTrap) {
        type = kTrapExplosion;
    }
    CGameData& game = *g_gameData;
    Tell(L"STR_TRAP_TRIGGER");
    if (*type <= kTrapGas) {
        Tell(kTrapTexts[*type]);
        // The blast reaches the trap's cell and the eight around it.
        TBlast blast{*type, {x, y}, {}};
        for (int32_t cy = y - 1; cy <= y + 1; ++cy) {
            for (int32_t cx = x - 1; cx <= x + 1; ++cx) {
                if (IsInside(cx, cy)) {
                    blast.cells.push_back({cx, cy});
                }
            }
        }
        game.ShowBlast(blast);
        int32_t least = 0;
        int32_t most = 0;
        if (*type == kTrapExplosion) {
            least = vek::RandomRange(kExplosionLeast, kExplosionMost);
            most = vek::RandomRange(kExplosionLeast, kExplosionMost);
        }
        std::vector<CGroupMember*> reached;
        for (const vek::TPoint cell : blast.cells) {
            const uint16_t id = m_creatureIds.At(static_cast<uint16_t>(cell.x), static_cast<uint16_t>(cell.y));
            CGroupMember* creature = nullptr;
            if (id == kHeroCell) {
                creature = game.GetHero();
            } else if (id < m_creatures.size()) {
                creature = m_creatures[id];
            }
            if (creature != nullptr && creature->IsAlive() &&
                std::find(reached.begin(), reached.end(), creature) == reached.end()) {
                reached.push_back(creature);
            }
        }
        static const uint16_t kBlastStates[] = {0, CState::kBurning, CState::kFrozen, CState::kPoisoned};
        for (CGroupMember* creature : reached) {
            if (*type == kTrapExplosion) {
                creature->Damage(static_cast<uint32_t>(vek::RandomRange(least, most)), kNoAttacker, this);
            } else {
                creature->states.push_back(
                    CState{kBlastStates[*type], kBlastStateStrength, kBlastStateSeconds, kNoAttacker});
            }
        }
    }
    CHero* hero = game.GetHero();
    if (byHero && hero != nullptr) {
        hero->TrainSkill(kTrapSkill, kTriggerTraining);
    }
    if (!setTrap) {
        object.GetBuffer().clear();
        object.SetPosition(0);
        if (*type == kTrapExplosion) {
            ClearSpecialObject(x, y);
            SetPassabilityCell(x, y, !IsPassable(x, y, *this));
            Tell(L"STR_GAME_MSG_DOOR_DESTROYED");
        }
    }
    for (CItem& item : pile) {
        item.Deteriorate(kBlastWear);
    }
    std::erase_if(pile, [](const CItem& item) { return item.IsWornOut() || item.type == kSetTrapItem; });
}

// --- The bite --------------------------------------------------------------------------------------

void CLoc::BiteVictim(uint16_t x, uint16_t y, bool collectBlood) {
    CHero* hero = g_gameData != nullptr ? g_gameData->GetHero() : nullptr;
    CMonster* victim = GetCreatureAt(x, y);
    // Nobody to bite on an empty cell.
    if (hero == nullptr || victim == nullptr) {
        return;
    }
    const TQuestItem emptyVial(kEmptyVial);
    if (collectBlood) {
        std::vector<uint16_t> slots;
        if (hero->CollectMatchingItems(emptyVial, slots) == 0) {
            Tell(L"STR_GAME_MSG_NO_VIAL");
            return;
        }
    }
    Tell(L"STR_GAME_MSG_BITE", victim->GetName());
    const std::vector<std::wstring> groups = victim->groups;
    const bool hit = CMonster::Attack(*hero, *victim, kBiteAttack, this);
    // A bitten creature is an attacked one: its groups' alarms go off.
    for (const std::wstring& group : groups) {
        RaiseAlarms(group, CGroupMember::kHeroId);
    }
    if (!collectBlood || !hit) {
        return;
    }
    hero->RemoveItems(emptyVial);
    const CItem blood(kBloodVial, 1);
    // A full pack does not lose the blood: it goes where the hero stands.
    if (hero->AddToInventory(blood) != CHero::kInventoryTaken &&
        IsInside(static_cast<int32_t>(std::min<uint32_t>(hero->x, 0xFFFF)),
                 static_cast<int32_t>(std::min<uint32_t>(hero->y, 0xFFFF)))) {
        PutItem(static_cast<uint16_t>(hero->x), static_cast<uint16_t>(hero->y), blood);
    }
    Tell(L"STR_GAME_MSG_NEW_VIAL_BLOOD");
}
