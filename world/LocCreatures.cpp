// The creatures of a location: the list that owns them (a creature's local
// id is its index there) and the creature layer that shows where they stand.
#include <algorithm>
#include <array>
#include <deque>
#include <map>
#include <ostream>
#include <set>
#include <utility>

#include "VEKLib/Console.h"
#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Random.h"
#include "data/GameData.h"
#include "rules/Group.h"
#include "rules/Hero.h"
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

// The layers' 16-bit subscript of a coordinate. One that would wrap around
// into the layer becomes 0xFFFF, which no layer reaches.
uint16_t LayerCoord(int32_t value, uint16_t size) {
    const auto coord = static_cast<uint16_t>(value);
    return (value >= 0 && value <= 0xFFFF) || coord >= size ? coord : uint16_t{0xFFFF};
}

bool Holds(const std::vector<uint32_t>& ids, uint32_t id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

// Takes the renamed ids out of the list; their new ids, in the order of the
// renaming pairs (the order in which they would be re-added one by one).
// pairOf: the index of each renamed old id's pair.
std::vector<uint32_t> TakeRenamed(std::vector<uint32_t>& ids, const std::vector<std::pair<uint32_t, uint32_t>>& pairs,
                                  const std::map<uint32_t, size_t>& pairOf) {
    std::vector<size_t> taken;
    for (const uint32_t id : ids) {
        const auto pair = pairOf.find(id);
        if (pair != pairOf.end()) {
            taken.push_back(pair->second);
        }
    }
    std::sort(taken.begin(), taken.end());
    taken.erase(std::unique(taken.begin(), taken.end()), taken.end());
    std::erase_if(ids, [&pairOf](uint32_t id) { return pairOf.contains(id); });
    std::vector<uint32_t> moved;
    for (const size_t index : taken) {
        moved.push_back(pairs[index].second);
    }
    return moved;
}

// An id list after a compaction: the removed ids leave it, the renamed ones
// take their new ids in place; an id is kept once.
void Remap(std::vector<uint32_t>& ids, const std::set<uint32_t>& removed, const std::map<uint32_t, uint32_t>& newIdOf) {
    std::vector<uint32_t> kept;
    for (const uint32_t id : ids) {
        if (removed.contains(id)) {
            continue;
        }
        const auto renamed = newIdOf.find(id);
        const uint32_t now = renamed == newIdOf.end() ? id : renamed->second;
        if (!Holds(kept, now)) {
            kept.push_back(now);
        }
    }
    ids.swap(kept);
}

// A new monster of the type on the cell; hostility 1 also makes the hero
// its foe.
std::unique_ptr<CMonster> NewMonster(uint32_t hostility, vek::TPoint cell, uint16_t monsterType) {
    auto monster = std::make_unique<CMonster>();
    monster->InitFromType(monsterType, static_cast<uint32_t>(cell.x), static_cast<uint32_t>(cell.y));
    monster->hostility = hostility;
    if (hostility == 1) {
        monster->AddHostile(CGroupMember::kHeroId);
    }
    return monster;
}

// Nobody (the hero included) stands on the cells the creature would fill
// at that cell: a large one's block as far as the location reaches.
bool BlockIsFree(const CLoc& loc, const CMonster& creature, vek::TPoint at) {
    const int32_t width = IsLarge(creature) ? kLargeCreatureWidth : 1;
    const int32_t height = IsLarge(creature) ? kLargeCreatureHeight : 1;
    for (int32_t y = at.y; y < std::min<int32_t>(at.y + height, loc.GetHeight()); ++y) {
        for (int32_t x = at.x; x < std::min<int32_t>(at.x + width, loc.GetWidth()); ++x) {
            if (loc.GetCreatureIds().At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)) != kNoCreature) {
                return false;
            }
        }
    }
    return true;
}

// The id lists outside the location that name its creatures: the hero's
// companions and every group's members and former members.
template <class Visit>
void ForEachOuterIdList(Visit&& visit) {
    if (g_gameData != nullptr && g_gameData->GetHero() != nullptr) {
        visit(g_gameData->GetHero()->companions);
    }
    for (CGroup* group : g_groupList.Get()) {
        if (group != nullptr) {
            visit(group->members);
            visit(group->formerMembers);
        }
    }
}

} // namespace

std::array<uint8_t, 8> ShuffledDirections() {
    std::array<uint8_t, 8> directions{1, 2, 3, 4, 5, 6, 7, 8};
    for (int32_t i = 7; i > 0; --i) {
        const int32_t j = vek::RandomRange(0, i);
        std::swap(directions[static_cast<size_t>(i)], directions[static_cast<size_t>(j)]);
    }
    return directions;
}

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

void CLoc::ClearCreatureCells(const CMonster& creature, uint16_t id) {
    const uint16_t width = IsLarge(creature) ? kLargeCreatureWidth : 1;
    const uint16_t height = IsLarge(creature) ? kLargeCreatureHeight : 1;
    for (uint32_t y = creature.y; y < std::min<uint32_t>(creature.y + height, m_height); ++y) {
        for (uint32_t x = creature.x; x < std::min<uint32_t>(creature.x + width, m_width); ++x) {
            uint16_t& cell = m_creatureIds.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y));
            if (cell == id) {
                cell = kNoCreature;
            }
        }
    }
}

CMonster* CLoc::GetMonster(uint16_t localId) const {
    if (localId >= m_creatures.size()) {
        throw vek::CException(L"CLoc::GetMonster", kSource, __LINE__,
                              vek::Format(L"GetMonster failed, localID = %hu", localId));
    }
    return m_creatures[localId];
}

CMonster* CLoc::GetCreatureAt(uint16_t x, uint16_t y) const {
    const uint16_t id = m_creatureIds.At(x, y);
    return id < m_creatures.size() ? m_creatures[id] : nullptr;
}

CNpc* CLoc::GetNpcAt(uint16_t x, uint16_t y) const {
    CMonster* creature = GetCreatureAt(x, y);
    return creature != nullptr && IsNpc(*creature) ? static_cast<CNpc*>(creature) : nullptr;
}

void CLoc::RemoveMonster(uint16_t x, uint16_t y) {
    const uint16_t id = m_creatureIds.At(x, y);
    if (id == kNoCreature) {
        vek::ConsoleOut() << vek::ConsoleRed << L"WARNING - called RemoveMonster on a cell with value NOMONSTER"
                          << vek::ConsoleDefault << L'\n';
        vek::ConsoleOut().flush();
        return;
    }
    // The hero is no creature of the list.
    if (id == kHeroCell) {
        return;
    }
    CMonster* creature = GetCreatureAt(x, y);
    if (creature != nullptr && IsNpc(*creature)) {
        ClearMonsterCell(x, y);
        return;
    }
    m_creatureIds.At(x, y) = kNoCreature;
    if (creature != nullptr) {
        creature->hitPoints = 0;
        // A large one leaves its whole block, which a newcomer in its slot
        // would otherwise inherit.
        ClearCreatureCells(*creature, id);
    }
}

void CLoc::ClearMonsterCell(uint16_t x, uint16_t y) {
    CMonster* creature = GetCreatureAt(x, y);
    if (creature != nullptr && IsNpc(*creature)) {
        const uint16_t id = m_creatureIds.At(x, y);
        m_creatureIds.At(x, y) = kNoCreature;
        creature->hitPoints = 0;
        ClearCreatureCells(*creature, id);
    }
}

void CLoc::SwapMonsters(vek::TPoint from, vek::TPoint to) {
    // Both cells are read before either is written, so a cell outside is
    // refused by the layer with nothing changed.
    uint16_t& fromCell =
        m_creatureIds.At(LayerCoord(from.x, m_creatureIds.GetWidth()), LayerCoord(from.y, m_creatureIds.GetHeight()));
    uint16_t& toCell =
        m_creatureIds.At(LayerCoord(to.x, m_creatureIds.GetWidth()), LayerCoord(to.y, m_creatureIds.GetHeight()));
    std::swap(fromCell, toCell);
    auto moveTo = [this](uint16_t id, vek::TPoint cell) {
        CGroupMember* occupant = nullptr;
        if (id == kHeroCell) {
            occupant = g_gameData != nullptr ? g_gameData->GetHero() : nullptr;
        } else if (id < m_creatures.size()) {
            occupant = m_creatures[id];
        }
        if (occupant != nullptr) {
            occupant->x = static_cast<uint32_t>(cell.x);
            occupant->y = static_cast<uint32_t>(cell.y);
        }
    };
    moveTo(toCell, to);
    if (from != to) {
        moveTo(fromCell, from);
    }
}

bool CLoc::HasHostileMonsters() const {
    return std::any_of(m_creatures.begin(), m_creatures.end(), [](const CMonster* creature) {
        return creature != nullptr && creature->hitPoints != 0 && creature->IsHostile(CGroupMember::kHeroId);
    });
}

bool CLoc::IsCreatureAlive(uint32_t globalId) const {
    if (globalId == CGroupMember::kHeroId) {
        return true;
    }
    for (const CMonster* creature : m_creatures) {
        if (creature != nullptr && creature->globalId == globalId) {
            return creature->hitPoints != 0;
        }
    }
    return false;
}

int32_t CLoc::FindAdjacentObject(vek::TPoint cell, uint16_t objectTile) const {
    for (uint8_t direction = 1; direction <= 8; ++direction) {
        const vek::TPoint next = vek::MoveInDirection(direction, cell);
        if (IsInside(next.x, next.y) &&
            m_objects.At(static_cast<uint16_t>(next.x), static_cast<uint16_t>(next.y)) == objectTile) {
            return direction + 1;
        }
    }
    return -1;
}

void CLoc::ForgetCreature(uint32_t globalId) {
    for (CMonster* creature : m_creatures) {
        if (creature != nullptr) {
            Erase(creature->hostile, globalId);
            Erase(creature->friendly, globalId);
        }
    }
}

void CLoc::ForgetEverywhere(const std::vector<uint32_t>& globalIds) {
    for (const uint32_t id : globalIds) {
        ForgetCreature(id);
    }
    const std::set<uint32_t> removed(globalIds.begin(), globalIds.end());
    ForEachOuterIdList([&removed](std::vector<uint32_t>& ids) { Remap(ids, removed, {}); });
}

void CLoc::RenameEverywhere(uint32_t from, uint32_t to) {
    const std::map<uint32_t, uint32_t> newIdOf{{from, to}};
    ForEachOuterIdList([&newIdOf](std::vector<uint32_t>& ids) { Remap(ids, {}, newIdOf); });
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
    std::map<uint32_t, size_t> pairOf;
    for (size_t i = 0; i < renamed.size(); ++i) {
        const auto& [oldId, newId] = renamed[i];
        if (oldId != newId) {
            newIdOf.emplace(oldId, newId);
            pairOf.emplace(oldId, i);
        }
    }
    // The companions and groups are saved with the game too: a dead or
    // renumbered creature must not leave them naming another one.
    const std::set<uint32_t> removedSet(removed.begin(), removed.end());
    ForEachOuterIdList([&](std::vector<uint32_t>& ids) { Remap(ids, removedSet, newIdOf); });
    for (CMonster* creature : m_creatures) {
        std::vector<uint32_t> movedFoes = TakeRenamed(creature->hostile, renamed, pairOf);
        std::vector<uint32_t> movedFriends = TakeRenamed(creature->friendly, renamed, pairOf);
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

// --- Placing creatures ---------------------------------------------------------------------------

bool CLoc::Adopt(std::unique_ptr<CMonster>& creature) {
    const auto free = std::find_if(m_creatures.begin(), m_creatures.end(),
                                   [](const CMonster* c) { return c == nullptr || !c->IsAlive(); });
    const auto slot = static_cast<size_t>(free - m_creatures.begin());
    if (slot >= kMaxCreatures) {
        return false;
    }
    const auto localId = static_cast<uint16_t>(slot);
    if (slot < m_creatures.size()) {
        // The newcomer takes the dead one's ids: what named the dead one must
        // not name it.
        ForgetEverywhere({MakeGlobalMonsterId(localId)});
        if (CMonster* dead = std::exchange(m_creatures[slot], nullptr)) {
            ClearCreatureCells(*dead, localId);
            DeleteCreature(dead);
        }
    } else {
        m_creatures.push_back(nullptr);
    }
    creature->localId = localId;
    creature->globalId = MakeGlobalMonsterId(localId);
    creature->stateByte |= CGroupMember::kActive;
    m_creatures[slot] = creature.release();
    FillCreatureCells(*m_creatures[slot], localId);
    return true;
}

CMonster* CLoc::PlaceNear(uint32_t hostility, vek::TPoint cell, uint16_t monsterType) {
    if (!IsInside(cell.x, cell.y)) {
        return nullptr;
    }
    std::unique_ptr<CMonster> monster = NewMonster(hostility, cell, monsterType);
    CMonster* placed = monster.get();
    return Adopt(monster) ? placed : nullptr;
}

CMonster* CLoc::PlaceNewMonster(uint32_t hostility, vek::TPoint cell, uint16_t monsterType) {
    if (!IsInside(cell.x, cell.y)) {
        return nullptr;
    }
    std::unique_ptr<CMonster> monster = NewMonster(hostility, cell, monsterType);
    if (!BlockIsFree(*this, *monster, cell)) {
        return PlaceNear(cell, monster);
    }
    CMonster* placed = monster.get();
    return Adopt(monster) ? placed : nullptr;
}

CMonster* CLoc::PlaceNear(vek::TPoint cell, std::unique_ptr<CMonster>& existing) {
    if (existing == nullptr) {
        return nullptr;
    }
    for (uint8_t direction = 1; direction <= 8; ++direction) {
        const vek::TPoint next = vek::MoveInDirection(direction, cell);
        if (!IsInside(next.x, next.y) || !BlockIsFree(*this, *existing, next) || !IsPassable(next.x, next.y, *this)) {
            continue;
        }
        const uint32_t oldX = existing->x;
        const uint32_t oldY = existing->y;
        existing->x = static_cast<uint32_t>(next.x);
        existing->y = static_cast<uint32_t>(next.y);
        CMonster* placed = existing.get();
        if (Adopt(existing)) {
            return placed;
        }
        existing->x = oldX;
        existing->y = oldY;
        return nullptr;
    }
    return nullptr;
}

CMonster* CLoc::AddSummonedMonster(uint16_t monsterType, vek::TPoint cell) {
    if (!IsInside(cell.x, cell.y)) {
        return nullptr;
    }
    std::unique_ptr<CMonster> monster = std::make_unique<CMonster>();
    monster->InitFromType(monsterType, static_cast<uint32_t>(cell.x), static_cast<uint32_t>(cell.y));
    std::vector<bool> seen(static_cast<size_t>(m_width) * m_height);
    auto see = [&](vek::TPoint p) { seen[static_cast<size_t>(p.y) * m_width + static_cast<size_t>(p.x)] = true; };
    auto seenBefore = [&](vek::TPoint p) {
        return seen[static_cast<size_t>(p.y) * m_width + static_cast<size_t>(p.x)];
    };
    std::deque<vek::TPoint> open{cell};
    see(cell);
    for (uint32_t tried = 0; !open.empty() && tried < kMaxSummonCells; ++tried) {
        const vek::TPoint here = open.front();
        open.pop_front();
        if (CMonster* placed = PlaceNear(here, monster)) {
            return placed;
        }
        for (const uint8_t direction : ShuffledDirections()) {
            const vek::TPoint next = vek::MoveInDirection(direction, here);
            if (IsInside(next.x, next.y) && !seenBefore(next) && IsPassable(next.x, next.y, *this)) {
                see(next);
                open.push_back(next);
            }
        }
    }
    return nullptr;
}

// --- NPCs in their home locations ------------------------------------------------------------------

void CLoc::ActivateNPC(uint16_t npcType, bool active) const {
    CNpc* npc = nullptr;
    if (g_gameData != nullptr) {
        for (CNpc* entry : g_gameData->GetNpcList()) {
            if (entry != nullptr && entry->npcType == npcType) {
                npc = entry;
                break;
            }
        }
    }
    if (npc == nullptr) {
        throw vek::CException(L"CLoc::ActivateNPC", kSource, __LINE__,
                              vek::Format(L"NPC not found - type ID: %hu", npcType));
    }
    CLoc* home = FindLoadedLocation(npc->homeLocation);
    if (home == nullptr) {
        throw vek::CException(L"CLoc::ActivateNPC", kSource, __LINE__,
                              L"No starting location for NPC " + npc->name + L" (" + npc->homeLocation + L").");
    }
    home->ActivateNpcHere(*npc, active);
}

void CLoc::ActivateNpcHere(const CNpc& npc, bool active) {
    // Only where it is listed: its local id names another creature elsewhere.
    if (npc.localId >= m_creatures.size() || m_creatures[npc.localId] != &npc ||
        !IsInside(static_cast<int32_t>(std::min<uint32_t>(npc.x, 0x7FFFFFFF)),
                  static_cast<int32_t>(std::min<uint32_t>(npc.y, 0x7FFFFFFF)))) {
        return;
    }
    if (active) {
        FillCreatureCells(npc, npc.localId);
    } else {
        ClearCreatureCells(npc, npc.localId);
    }
}
