// The creatures of a location: the list that owns them (a creature's local
// id is its index there) and the creature layer that shows where they stand.
#include <algorithm>
#include <map>
#include <ostream>
#include <utility>

#include "VEKLib/Console.h"
#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "data/GameData.h"
#include "world/Loc.h"

namespace {

const wchar_t* const kSource = L"Loc";

bool IsNpc(const CMonster& creature) { return creature.GetKind() == CGroupMember::kKindNpc; }

bool IsLarge(const CMonster& creature) {
    if (g_gameData == nullptr) {
        return false;
    }
    const auto& monsters = g_gameData->GetTables().monsters;
    return creature.monsterType < monsters.size() && (monsters[creature.monsterType].flags & kLargeCreatureFlag) != 0;
}

void Erase(std::vector<uint32_t>& ids, uint32_t id) { ids.erase(std::remove(ids.begin(), ids.end(), id), ids.end()); }

bool Holds(const std::vector<uint32_t>& ids, uint32_t id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

// Takes the renamed ids out of the list; their new ids, in list order.
std::vector<uint32_t> TakeRenamed(std::vector<uint32_t>& ids, const std::map<uint32_t, uint32_t>& newIdOf) {
    std::vector<uint32_t> kept;
    std::vector<uint32_t> moved;
    for (const uint32_t id : ids) {
        const auto renamed = newIdOf.find(id);
        if (renamed == newIdOf.end()) {
            kept.push_back(id);
        } else {
            moved.push_back(renamed->second);
        }
    }
    ids.swap(kept);
    return moved;
}

} // namespace

void CLoc::DeleteCreature(CMonster* creature) {
    if (creature == nullptr) {
        return;
    }
    if (IsNpc(*creature) && g_gameData != nullptr) {
        // The NPC list must not keep pointing at it.
        for (CNpc*& entry : g_gameData->GetNpcList()) {
            if (entry == creature) {
                entry = nullptr;
            }
        }
    }
    delete creature;
}

void CLoc::DeleteCreatures() {
    std::vector<CMonster*> creatures;
    creatures.swap(m_creatures);
    for (CMonster* creature : creatures) {
        DeleteCreature(creature);
    }
}

uint32_t CLoc::MakeGlobalMonsterId(uint16_t localId) const { return (LocationIndex() << 16) | localId; }

void CLoc::FillCreatureCells(const CMonster& creature, uint16_t id) {
    const uint16_t width = IsLarge(creature) ? kLargeCreatureWidth : 1;
    const uint16_t height = IsLarge(creature) ? kLargeCreatureHeight : 1;
    for (uint32_t y = creature.y; y < std::min<uint32_t>(creature.y + height, m_height); ++y) {
        for (uint32_t x = creature.x; x < std::min<uint32_t>(creature.x + width, m_width); ++x) {
            m_creatureIds.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)) = id;
        }
    }
}

void CLoc::RebuildCreatureLayer() {
    if (m_width == 0 || m_height == 0) {
        return;
    }
    m_creatureIds.Resize(m_width, m_height);
    m_creatureIds.Fill(kNoCreature);
    for (const CMonster* creature : m_creatures) {
        if (creature != nullptr && creature->IsAlive()) {
            FillCreatureCells(*creature, creature->localId);
        }
    }
}

CMonster& CLoc::AddCreature(std::unique_ptr<CMonster> creature) {
    if (m_creatures.size() >= kMaxCreatures) {
        throw vek::CException(
            L"CLoc::AddCreature", kSource, __LINE__,
            vek::Format(L"A location holds at most %u creatures", static_cast<uint32_t>(kMaxCreatures)));
    }
    if (!IsInside(static_cast<int32_t>(std::min<uint32_t>(creature->x, 0x7FFFFFFF)),
                  static_cast<int32_t>(std::min<uint32_t>(creature->y, 0x7FFFFFFF)))) {
        throw vek::CException(
            L"CLoc::AddCreature", kSource, __LINE__,
            vek::Format(L"A creature at (%u, %u) stands outside the location", creature->x, creature->y));
    }
    const auto localId = static_cast<uint16_t>(m_creatures.size());
    creature->localId = localId;
    creature->globalId = MakeGlobalMonsterId(localId);
    creature->stateByte |= CGroupMember::kActive;
    if (IsNpc(*creature) && g_gameData != nullptr) {
        std::vector<CNpc*>& npcs = g_gameData->GetNpcList();
        static_cast<CNpc&>(*creature).npcIndex = static_cast<uint32_t>(npcs.size());
        npcs.push_back(static_cast<CNpc*>(creature.get()));
    }
    m_creatures.push_back(creature.release());
    FillCreatureCells(*m_creatures.back(), localId);
    return *m_creatures.back();
}

CMonster* CLoc::GetCreatureAt(uint16_t x, uint16_t y) const {
    const uint16_t id = m_creatureIds.At(x, y);
    return id < m_creatures.size() ? m_creatures[id] : nullptr;
}

void CLoc::RemoveMonster(uint16_t x, uint16_t y) {
    if (m_creatureIds.At(x, y) == kNoCreature) {
        vek::ConsoleOut() << vek::ConsoleRed << L"WARNING - called RemoveMonster on a cell with value NOMONSTER"
                          << vek::ConsoleDefault << L'\n';
        vek::ConsoleOut().flush();
        return;
    }
    CMonster* creature = GetCreatureAt(x, y);
    if (creature != nullptr && IsNpc(*creature)) {
        ClearMonsterCell(x, y);
        return;
    }
    if (creature != nullptr) {
        creature->hitPoints = 0;
    }
    m_creatureIds.At(x, y) = kNoCreature;
}

void CLoc::ClearMonsterCell(uint16_t x, uint16_t y) {
    CMonster* creature = GetCreatureAt(x, y);
    if (creature != nullptr && IsNpc(*creature)) {
        m_creatureIds.At(x, y) = kNoCreature;
        creature->hitPoints = 0;
    }
}

void CLoc::ForgetCreature(uint32_t globalId) {
    for (CMonster* creature : m_creatures) {
        if (creature != nullptr) {
            Erase(creature->hostile, globalId);
            Erase(creature->friendly, globalId);
        }
    }
}

void CLoc::ConvertMonsterIds() {
    std::vector<uint32_t> removed;
    std::vector<std::pair<uint32_t, uint32_t>> renamed; // old and new global id
    std::vector<CMonster*> living;
    for (CMonster*& creature : m_creatures) {
        if (creature == nullptr) {
            continue;
        }
        if (creature->hitPoints == 0) {
            removed.push_back(creature->globalId);
            DeleteCreature(std::exchange(creature, nullptr));
            continue;
        }
        const auto localId = static_cast<uint16_t>(living.size());
        const uint32_t oldId = creature->globalId;
        creature->localId = localId;
        creature->globalId = MakeGlobalMonsterId(localId);
        renamed.emplace_back(oldId, creature->globalId);
        living.push_back(std::exchange(creature, nullptr));
    }
    m_creatures.swap(living);
    for (const uint32_t id : removed) {
        ForgetCreature(id);
    }
    // All references move at once, so that an id carried over is never taken
    // for the old id of another creature.
    std::map<uint32_t, uint32_t> newIdOf;
    for (const auto& [oldId, newId] : renamed) {
        if (oldId != newId) {
            newIdOf.emplace(oldId, newId);
        }
    }
    for (CMonster* creature : m_creatures) {
        std::vector<uint32_t> movedFoes = TakeRenamed(creature->hostile, newIdOf);
        std::vector<uint32_t> movedFriends = TakeRenamed(creature->friendly, newIdOf);
        for (const uint32_t id : movedFoes) {
            if (!Holds(creature->hostile, id) && !Holds(creature->friendly, id)) {
                creature->hostile.push_back(id);
            }
        }
        for (const uint32_t id : movedFriends) {
            if (!Holds(creature->friendly, id) && !Holds(creature->hostile, id)) {
                creature->friendly.push_back(id);
            }
        }
    }
    RebuildCreatureLayer();
}
