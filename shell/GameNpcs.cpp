// The game's NPC list looked up by name and home, conversations with NPCs,
// creatures by global id, and battles between creature groups.
#include <algorithm>

#include "VEKLib/Exception.h"
#include "VEKLib/Strings.h"
#include "rules/Group.h"
#include "rules/Hero.h"
#include "rules/Monster.h"
#include "script/Script.h"
#include "shell/Game.h"
#include "world/Loc.h"
#include "world/World.h"

namespace {

const wchar_t* const kSource = L"Game";

CHero& RequireHero(CHero* hero, const wchar_t* function) {
    if (hero == nullptr) {
        throw vek::CException(function, kSource, __LINE__, L"The game has no hero.");
    }
    return *hero;
}

// Whether a member of the group lives.
bool HoldsLivingMember(const CGame& game, const CGroup* group) {
    return group != nullptr && std::any_of(group->members.begin(), group->members.end(), [&](uint32_t id) {
               const CGroupMember* creature = game.FindCreature(id);
               return creature != nullptr && creature->IsAlive();
           });
}

} // namespace

std::vector<CNpc*> CGame::FindNPCsByName(const std::wstring& name, const std::wstring& home,
                                         const CLoc* location) const {
    std::vector<CNpc*> found;
    if (location == nullptr) {
        return found;
    }
    for (CMonster* creature : location->GetCreatures()) {
        if (creature == nullptr || creature->GetKind() != CGroupMember::kKindNpc) {
            continue;
        }
        CNpc* npc = static_cast<CNpc*>(creature);
        if (vek::equals(npc->name, name) && vek::equals(npc->homeLocation, home)) {
            found.push_back(npc);
        }
    }
    return found;
}

CNpc& CGame::FindNPC(const std::wstring& name, const std::wstring& home, const CLoc* location) const {
    const std::vector<CNpc*> found = FindNPCsByName(name, home, location);
    if (found.empty()) {
        throw vek::CException(L"CGame::FindNPC", kSource, __LINE__, L"NPC not found: " + name + L", " + home);
    }
    return *found.front();
}

void CGame::TalkTo(CNpc& npc) {
    if (!npc.script) {
        npc.Setup(true);
    }
    if (!npc.script) {
        return;
    }
    // Conversations may run inside one another: each restores the one before.
    struct TPartner {
        CNpc*& partner;
        CNpc* before;
        ~TPartner() { partner = before; }
    } const partner{m_chatPartner, m_chatPartner};
    m_chatPartner = &npc;
    m_dialog.RunScript(*npc.script);
}

bool CGame::NPCIsAlive(const std::wstring& name, const std::wstring& location) const {
    const auto npc = std::find_if(m_npcs.begin(), m_npcs.end(), [&](const CNpc* n) {
        return n != nullptr && vek::equals(n->name, name) && vek::equals(n->homeLocation, location);
    });
    return npc != m_npcs.end() && (*npc)->IsAlive();
}

CGroupMember* CGame::FindCreature(uint32_t globalId) const {
    if (globalId == CGroupMember::kHeroId) {
        return m_hero;
    }
    if (m_world == nullptr || m_world->width == 0) {
        return nullptr;
    }
    const uint32_t index = globalId >> 16;
    const uint32_t x = index % m_world->width;
    const uint32_t y = index / m_world->width;
    if (y >= m_world->height) {
        return nullptr;
    }
    const CLoc* loc = m_world->grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)).loc;
    const uint16_t local = static_cast<uint16_t>(globalId & 0xFFFF);
    if (loc == nullptr || local >= loc->GetCreatures().size()) {
        return nullptr;
    }
    CMonster* creature = loc->GetCreatures()[local];
    return creature != nullptr && creature->globalId == globalId ? creature : nullptr;
}

void CGame::StartBattle(const std::wstring& battle, const std::wstring& group1, const std::wstring& group2) {
    CHero& hero = RequireHero(m_hero, L"CGame::StartBattle");
    for (const std::wstring* group : {&group1, &group2}) {
        const std::vector<CGroup*>& groups = g_groupList.Get();
        if (std::none_of(groups.begin(), groups.end(),
                         [&](const CGroup* g) { return g != nullptr && vek::equals(g->name, *group); })) {
            Log(L"Warning, group not found - " + *group);
            return;
        }
    }
    hero.battles.push_back(TBattleRecord{battle, group1, group2});
}

TBattleRecord& CGame::FindBattle(const std::wstring& battle) {
    CHero& hero = RequireHero(m_hero, L"CGame::FindBattle");
    const auto it = std::find_if(hero.battles.begin(), hero.battles.end(),
                                 [&](const TBattleRecord& record) { return vek::equals(record.name, battle); });
    if (it == hero.battles.end()) {
        throw vek::CException(L"CGame::FindBattle", kSource, __LINE__, L"Battle not found: " + battle);
    }
    return *it;
}

void CGame::UpdateBattleState(const TBattleRecord& battle, std::wstring& winner) {
    const bool first = HoldsLivingMember(*this, &m_gameplay.FindGroup(battle.group1));
    const bool second = HoldsLivingMember(*this, &m_gameplay.FindGroup(battle.group2));
    winner.clear();
    if (first && !second) {
        winner = battle.group1;
    } else if (second && !first) {
        winner = battle.group2;
    }
}
