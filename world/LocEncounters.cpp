// Alarms raised when a group's member is attacked, the encounter that meets
// the hero as he enters a random location, and NPCs added to a location.
#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Format.h"
#include "VEKLib/Random.h"
#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "data/MetaFile.h"
#include "rules/Group.h"
#include "rules/Hero.h"
#include "world/Loc.h"
#include "world/World.h"

namespace {

const wchar_t* const kSource = L"Loc";

// An alarm rests this many seconds after it was raised.
constexpr uint64_t kAlarmRest = 3600;
// A location entered before meets an encounter only when the hero was away
// this long: three half days.
constexpr uint32_t kEncounterAbsence = 3 * 43200;
// Danger levels up to this one are the safe ones.
constexpr uint16_t kSafeDanger = 5;
// Levels of encounters that any danger level above them allows.
constexpr int64_t kAlwaysAllowedLevel = 3;
// Creatures of one encounter group around its cell: at most its neighbours.
constexpr int32_t kMostInGroup = 8;
// Who an encounter's creatures are: hostile (attitude 2), or not.
constexpr uint32_t kHostileAttitude = 2;
constexpr uint32_t kHostileCreation = 1;
constexpr uint32_t kPeacefulCreation = 0x11;
// What the world cell's record flags say: no entry encounter here.
constexpr uint32_t kNoEncounterFlags = 2 | 4 | 8;

CGroup* FindGroup(const std::wstring& name) {
    for (CGroup* group : g_groupList.Get()) {
        if (group != nullptr && vek::equals(group->name, name)) {
            return group;
        }
    }
    return nullptr;
}

// Whether the game's data holds the file (through the data archive when it
// is in use).
bool GameFileExists(const std::wstring& path) {
    try {
        CMetaFile file;
        file.Open(path, vek::CFile::kModeRead);
        file.Close();
        return true;
    } catch (const vek::CFileException& error) {
        if (error.GetCode() == vek::CFileException::kNotFound) {
            return false;
        }
        throw;
    }
}

// Whether an entry encounter may meet the hero in the location of the cell
// at all: a random one whose record allows it, outside the editor.
bool MayMeetEncounters(const TWorldLocInfo* cell, const CGameData& game) {
    return cell != nullptr && (cell->flags & kNoEncounterFlags) == 0 && cell->randomKind == kWorldRandom &&
           game.GetState() != kStateEditor;
}

// An encounter of that level may meet the hero where the danger is this.
bool SuitsDanger(const TEncounterInfo& encounter, uint16_t danger) {
    const auto level = static_cast<int64_t>(std::floor(encounter.DifficultyLevel + 0.5));
    return level <= danger && (level <= kAlwaysAllowedLevel || level <= ScaleU16(danger, 0.5f));
}

// A slot that places creatures: at least one, and no fewer at most.
bool PlacesCreatures(const TEncounterSlot& slot) { return slot.MonNumLow != 0 && slot.NumberHigh >= slot.MonNumLow; }

bool IsCharacterKind(const std::vector<TMonsterInfo>& kinds, uint16_t type) {
    return type < kinds.size() && (kinds[type].flags & kCharacterKindFlag) != 0;
}

// The NPC an encounter makes of a character kind on the cell.
CNpc EncounterNpc(const TMonsterInfo& kind, uint16_t type, vek::TPoint at, const std::wstring& home) {
    CNpc npc;
    npc.InitFromType(type, static_cast<uint32_t>(at.x), static_cast<uint32_t>(at.y));
    npc.name = kind.name;
    npc.homeLocation = home;
    return npc;
}

// The encounter drawn for the danger level, or none.
const TEncounterInfo* DrawEncounter(const std::vector<TEncounterInfo>& encounters, uint16_t danger) {
    // An empty table has nothing to draw from.
    if (encounters.empty()) {
        return nullptr;
    }
    const auto last = static_cast<int32_t>(std::min<size_t>(encounters.size(), 0x7FFFFFFF) - 1);
    for (int32_t draw = 0; draw < CLoc::kEncounterDraws; ++draw) {
        const TEncounterInfo& encounter = encounters[static_cast<size_t>(vek::RandomRange(0, last))];
        if (SuitsDanger(encounter, danger)) {
            return &encounter;
        }
    }
    return nullptr;
}

} // namespace

// --- Alarms ------------------------------------------------------------------------------------

void CLoc::RaiseAlarms(const std::wstring& group, uint32_t attacker) {
    for (TAlarm& alarm : m_alarms) {
        if (alarm.counter < kAlarmRest) {
            return;
        }
        const auto entry = std::find_if(alarm.entries.begin(), alarm.entries.end(), [&group](const TAlarmEntry& e) {
            return e.kind == TAlarmEntry::kGroup && vek::equals(e.name, group);
        });
        if (entry == alarm.entries.end()) {
            continue;
        }
        if (entry->action != TAlarmEntry::kRaise) {
            return;
        }
        const CGroup* members = FindGroup(group);
        if (members == nullptr) {
            throw vek::CException(L"CGameplayInterface::FindGroup", kSource, __LINE__, L"Group not found: " + group);
        }
        const uint32_t index = LocationIndex();
        for (const uint32_t id : members->members) {
            const uint32_t local = id & 0xFFFF;
            if ((id >> 16) != index || local >= m_creatures.size()) {
                continue;
            }
            CMonster* member = m_creatures[local];
            if (member == nullptr || member->globalId != id || !member->IsAlive()) {
                continue;
            }
            // Not against a friend, and an old foe is one already.
            member->AddHostile(attacker);
            member->alerted = 1;
        }
        alarm.counter = 0;
        return;
    }
}

// --- The entry encounter -------------------------------------------------------------------------

void CLoc::SetupGroups() {
    if (g_gameData == nullptr || m_worldCell == nullptr || m_width == 0 || m_height == 0) {
        return;
    }
    CGameData& game = *g_gameData;
    const TWorldLocInfo& cell = *m_worldCell;
    if (!MayMeetEncounters(&cell, game)) {
        return;
    }
    if ((m_flags & kLocEntered) != 0 && game.GetElapsedTime() < kEncounterAbsence) {
        return;
    }
    const bool none = cell.danger <= kSafeDanger ? vek::Chance(5, 6) : vek::Chance(3, 5);
    if (none) {
        return;
    }
    const TEncounterInfo* encounter = DrawEncounter(game.GetTables().encounters, cell.danger);
    if (encounter == nullptr) {
        return;
    }
    const auto attitude = static_cast<uint32_t>(encounter->MonAttitude);
    const uint32_t creation = attitude == kHostileAttitude ? kHostileCreation : kPeacefulCreation;
    const std::vector<TMonsterInfo>& kinds = game.GetTables().monsters;
    int32_t placed = 0;
    for (const TEncounterSlot& slot : encounter->slots) {
        if (!PlacesCreatures(slot)) {
            continue;
        }
        vek::TPoint centre;
        centre.x = vek::RandomRange(1, m_width - 2);
        centre.y = vek::RandomRange(1, m_height - 2);
        const std::array<uint8_t, 8> around = ShuffledDirections();
        const int32_t count = std::clamp(vek::RandomRange(slot.MonNumLow, slot.NumberHigh), 0, kMostInGroup);
        const std::wstring groupName = L"autogroup" + vek::Format(L"%I64d", game.GetClock());
        g_groupList.Get().push_back(new CGroup(groupName));
        CGroup& joined = *g_groupList.Get().back();
        TAlarm alarm;
        alarm.name = L"autoalarm";
        alarm.entries.push_back(TAlarmEntry{TAlarmEntry::kGroup, TAlarmEntry::kRaise, groupName});
        m_alarms.push_back(alarm);
        for (int32_t i = 0; i < count; ++i) {
            const vek::TPoint at = vek::MoveInDirection(around[static_cast<size_t>(i)], centre);
            if (!IsInside(at.x, at.y) || !IsPassable(at.x, at.y, *this) ||
                m_creatureIds.At(static_cast<uint16_t>(at.x), static_cast<uint16_t>(at.y)) != kNoCreature) {
                continue;
            }
            CMonster* creature = nullptr;
            if (IsCharacterKind(kinds, slot.MonType)) {
                CNpc npc = EncounterNpc(kinds[slot.MonType], slot.MonType, at, m_fileName);
                npc.hostility = creation;
                if (creation == kHostileCreation) {
                    npc.AddHostile(CGroupMember::kHeroId);
                }
                creature = &AddNPC(npc);
            } else {
                creature = PlaceNear(creation, at, slot.MonType);
            }
            if (creature == nullptr) {
                continue;
            }
            creature->SetAttitude(attitude);
            AddToGroup(*creature, joined);
            ++placed;
        }
    }
    if (placed > 0) {
        game.ShowImportantMessage(encounter->EncounterText, false);
    }
}

void CLoc::CheckEncounterScripts() const {
    if (g_gameData == nullptr || !MayMeetEncounters(m_worldCell, *g_gameData)) {
        return;
    }
    // Whether an encounter comes, and which, is drawn only later: every one
    // that suits the danger level is looked at.
    const CDefinitionTables& tables = g_gameData->GetTables();
    std::set<uint16_t> checked;
    for (const TEncounterInfo& encounter : tables.encounters) {
        if (!SuitsDanger(encounter, m_worldCell->danger)) {
            continue;
        }
        for (const TEncounterSlot& slot : encounter.slots) {
            if (!PlacesCreatures(slot) || !IsCharacterKind(tables.monsters, slot.MonType) ||
                !checked.insert(slot.MonType).second) {
                continue;
            }
            const std::wstring path =
                EncounterNpc(tables.monsters[slot.MonType], slot.MonType, {}, L"").GetScriptPath();
            if (!GameFileExists(path)) {
                throw vek::CException(L"CLoc::Enter", kSource, __LINE__, L"Script file not found - " + path);
            }
        }
    }
}

// --- NPCs ---------------------------------------------------------------------------------------

CNpc& CLoc::AddNPC(const CNpc& npc) {
    const wchar_t* const function = L"CLoc::AddNPC";
    if (npc.name.empty()) {
        throw vek::CException(function, kSource, __LINE__, L"Cannot create NPC with no name");
    }
    const std::wstring path = npc.GetScriptPath();
    const bool editor = g_gameData != nullptr && g_gameData->GetState() == kStateEditor;
    const bool scripted = GameFileExists(path);
    // Refused before it joins: an NPC without its script is not half added.
    if (!scripted && !editor) {
        throw vek::CException(function, kSource, __LINE__, L"Script file not found - " + path);
    }
    CNpc& added = static_cast<CNpc&>(AddCreature(std::make_unique<CNpc>(npc)));
    if (scripted) {
        added.Setup(false);
        return added;
    }
    WriteDefaultNpcScript(added);
    g_gameData->ShowImportantMessage(
        L"No script has been found for the character, " + added.name + L". A default script has been generated.",
        false);
    return added;
}
