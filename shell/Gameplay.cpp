#include "shell/Gameplay.h"

#include <algorithm>
#include <memory>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
#include "data/Globals.h"
#include "rules/Group.h"
#include "rules/Hero.h"
#include "rules/Item.h"
#include "rules/Monster.h"
#include "script/Script.h"
#include "shell/Game.h"
#include "world/Loc.h"
#include "world/World.h"

namespace {

const wchar_t* const kSource = L"Gameplay";

// A coordinate as a location cell; one beyond 16 bits is outside every
// location (a location is at most 65535 cells wide, so 0xFFFF is never inside).
uint16_t Cell(uint32_t value) { return static_cast<uint16_t>(std::min<uint32_t>(value, 0xFFFF)); }

vek::TPoint Point(uint32_t x, uint32_t y) { return vek::TPoint{Cell(x), Cell(y)}; }

// The cell must be inside the location: the layers' own error otherwise.
void CheckCell(const CLoc& loc, uint32_t x, uint32_t y) { loc.GetObjects().At(Cell(x), Cell(y)); }

CItem MakeItem(const TItemOrder& order) {
    return CItem(order.type, order.count, order.random, order.property1, order.property2);
}

std::wstring NpcText(const std::wstring& name, const std::wstring& location) {
    return L"NPC " + name + L" (" + location + L") not found!";
}

// The NPC of that name and home among the location's creatures; null when
// none.
CNpc* FindNpcIn(const CLoc* loc, const std::wstring& name, const std::wstring& home) {
    if (loc == nullptr) {
        return nullptr;
    }
    for (CMonster* creature : loc->GetCreatures()) {
        if (creature != nullptr && creature->GetKind() == CGroupMember::kKindNpc) {
            CNpc* npc = static_cast<CNpc*>(creature);
            if (vek::equals(npc->name, name) && vek::equals(npc->homeLocation, home)) {
                return npc;
            }
        }
    }
    return nullptr;
}

} // namespace

// --- Look-ups ----------------------------------------------------------------------------------

CWorld& CGameplay::World() const {
    if (m_game.GetWorld() == nullptr) {
        throw vek::CException(L"CGameplayInterface::FindLoc", kSource, __LINE__, L"The game has no world.");
    }
    return *m_game.GetWorld();
}

CHero* CGameplay::Hero() const { return m_game.GetHero(); }

CLoc& CGameplay::FindLoc(const std::wstring& uid) {
    CWorld& world = World();
    uint16_t x = 0;
    uint16_t y = 0;
    if (!world.FindLocationByName(uid, x, y)) {
        throw vek::CException(L"CGameplayInterface::FindLoc", kSource, __LINE__, L"Cannot find location, UID = " + uid);
    }
    return world.LoadLocAt(x, y);
}

CLoc& CGameplay::ChangeLoc(const std::wstring& uid) {
    CLoc& loc = FindLoc(uid);
    if ((loc.GetFlags() & kLocEntered) == 0) {
        loc.SetFlags(loc.GetFlags() | kLocSaved);
    }
    return loc;
}

CLoc* CGameplay::FindLoadedLoc(const std::wstring& name) const {
    const CWorld* world = m_game.GetWorld();
    uint16_t x = 0;
    uint16_t y = 0;
    if (world == nullptr || !world->FindLocationByName(name, x, y)) {
        return nullptr;
    }
    return world->grid.At(x, y).loc;
}

uint16_t CGameplay::ItemType(const std::wstring& name) const { return m_game.FindEntity(name, CEntityError::kItem); }

uint16_t CGameplay::MonsterType(const std::wstring& name) const {
    return m_game.FindEntity(name, CEntityError::kMonster);
}

void CGameplay::AddGroup(const std::wstring& group) { g_groupList.Get().push_back(new CGroup(group)); }

CGroup& CGameplay::FindGroup(const std::wstring& group) {
    for (CGroup* entry : g_groupList.Get()) {
        if (entry != nullptr && vek::equals(entry->name, group)) {
            return *entry;
        }
    }
    throw vek::CException(L"CGameplayInterface::FindGroup", kSource, __LINE__, L"Group not found: " + group);
}

// --- The world and its locations ------------------------------------------------------------------

void CGameplay::SetStartLoc(const std::wstring& location, uint32_t x, uint32_t y) {
    CWorld* world = m_game.GetWorld();
    if (world == nullptr || !world->ReadyLocAt(x, y, location, 0, 0, kArriveRandom, std::wstring())) {
        throw vek::CException(
            L"CScript::ExecuteFunction", kSource, __LINE__,
            vek::Format(L"Cannot access the location at specified position - %s, x=%u, y=%u", location, x, y));
    }
}

void CGameplay::CreateDungeonSite(uint16_t width, uint16_t height, uint16_t levels, const std::wstring& location,
                                  uint32_t x, uint32_t y) {
    World().CreateDungeonSite(width, height, levels, location, Cell(x), Cell(y));
}

void CGameplay::RevealCurrentLoc() {
    if (CLoc* loc = m_game.GetCurrentLoc()) {
        loc->RevealAll();
    }
}

void CGameplay::AddLocEffect(const std::wstring& fileName, uint32_t key, uint32_t value) {
    CWorld& world = World();
    uint16_t x = 0;
    uint16_t y = 0;
    if (!world.FindLocation(fileName, x, y, CWorld::kFindByFile)) {
        throw vek::CException(L"CScript::ExecuteFunction", kSource, __LINE__, L"Couldn't find location " + fileName);
    }
    // A location not made yet is made, so that the effect is there when
    // the hero comes.
    CLoc& loc = world.LoadLocAt(x, y);
    if ((loc.GetFlags() & kLocEntered) == 0) {
        loc.SetFlags(loc.GetFlags() | kLocSaved);
    }
    loc.AddEffect(TLocEffect(key, value));
}

void CGameplay::AddObject(const std::wstring& location, uint32_t x, uint32_t y, uint32_t object) {
    CLoc& loc = ChangeLoc(location);
    CheckCell(loc, x, y);
    if (loc.GetSpecialObjects().At(Cell(x), Cell(y)).active == 0) {
        loc.GetObjects().At(Cell(x), Cell(y)) = static_cast<uint16_t>(object);
        loc.InvalidatePassability();
    }
}

void CGameplay::DeleteObject(const std::wstring& location, uint32_t x, uint32_t y) {
    CLoc& loc = ChangeLoc(location);
    loc.GetObjects().At(Cell(x), Cell(y)) = kNoTile;
    loc.InvalidatePassability();
}

void CGameplay::SetSpecialActive(const std::wstring& location, uint32_t x, uint32_t y, uint8_t active) {
    CLoc& loc = ChangeLoc(location);
    loc.GetSpecialObjects().At(Cell(x), Cell(y)).active = active;
    loc.InvalidatePassability();
}

void CGameplay::AddItem(const std::wstring& location, const std::wstring& item, uint32_t x, uint32_t y) {
    const uint16_t type = ItemType(item);
    CLoc& loc = ChangeLoc(location);
    loc.PutItem(Cell(x), Cell(y), CItem(type, 1));
}

void CGameplay::DeleteItem(const std::wstring& location, const std::wstring& item, uint32_t x, uint32_t y) {
    const uint16_t type = ItemType(item);
    CLoc& loc = ChangeLoc(location);
    std::erase_if(loc.GetItemPiles().At(Cell(x), Cell(y)), [type](const CItem& entry) { return entry.type == type; });
}

void CGameplay::DeleteAllItems(const std::wstring& location, uint32_t x, uint32_t y) {
    CLoc& loc = ChangeLoc(location);
    CheckCell(loc, x, y);
    loc.ClearPile(Cell(x), Cell(y), false);
}

void CGameplay::AddMonster(const std::wstring& location, const std::wstring& monster, uint32_t x, uint32_t y) {
    const uint16_t type = MonsterType(monster);
    CLoc& loc = ChangeLoc(location);
    CheckCell(loc, x, y);
    if (loc.PlaceNewMonster(1, Point(x, y), type) == nullptr) {
        throw vek::CException(L"CGameplayInterface::AddMonster", kSource, __LINE__,
                              L"No room for another creature in " + location);
    }
}

void CGameplay::DeleteAllMonsters(const std::wstring& location) {
    CLoc& loc = ChangeLoc(location);
    // Copied: the list is compacted afterwards, not while it is walked.
    const std::vector<CMonster*> creatures = loc.GetCreatures();
    for (CMonster* creature : creatures) {
        if (creature == nullptr || creature->GetKind() == CGroupMember::kKindNpc || creature->hitPoints == 0) {
            continue;
        }
        const uint16_t x = Cell(creature->x);
        const uint16_t y = Cell(creature->y);
        if (loc.IsInside(x, y) && loc.GetCreatureAt(x, y) == creature) {
            loc.RemoveMonster(x, y);
        } else {
            // Off its cell (an inactive one): the cell may hold another.
            creature->hitPoints = 0;
        }
    }
    loc.ConvertMonsterIds();
    loc.InvalidatePassability();
    m_game.Draw();
}

bool CGameplay::AnyAliveMonster(const std::wstring& location) { return FindLoc(location).HasHostileMonsters(); }

void CGameplay::AddDragon(const std::wstring& location, const std::wstring& monster, uint32_t x, uint32_t y) {
    const wchar_t* const function = L"CGameplayInterface::AddDragon";
    uint16_t cellX = 0;
    uint16_t cellY = 0;
    if (!World().FindLocationByName(location, cellX, cellY)) {
        throw vek::CException(function, kSource, __LINE__, L"Location not found: " + location);
    }
    CScript dragon;
    try {
        dragon.LoadFile(std::wstring(kScriptDir) + L"dragon.u");
    } catch (const vek::CFileException& error) {
        if (error.GetCode() != vek::CFileException::kNotFound) {
            throw;
        }
        throw vek::CException(function, kSource, __LINE__, L"No dragon defined (AddDragon)");
    }
    const uint16_t type = m_game.FindMonsterType(monster);
    if (type == kNoMonster) {
        throw vek::CException(function, kSource, __LINE__, L"No dragon defined (AddDragon)");
    }
    dragon.Parse();
    CLoc& loc = ChangeLoc(location);
    CheckCell(loc, x, y);
    if (loc.PlaceNewMonster(1, Point(x, y), type) == nullptr) {
        throw vek::CException(function, kSource, __LINE__, L"No room for the dragon in " + location);
    }
    dragon.ExecuteScript(kScriptTypeWhole);
}

// --- The hero ---------------------------------------------------------------------------------------

bool CGameplay::HeroWield(const TItemOrder& item) { return Hero() != nullptr && Hero()->AutoWield(MakeItem(item)); }

uint16_t CGameplay::HeroAddToInventory(const TItemOrder& item) {
    return Hero() != nullptr ? Hero()->AddToInventory(MakeItem(item)) : uint16_t{CHero::kInventoryOverloaded};
}

void CGameplay::HeroGiveItem(const TItemOrder& item) {
    CHero* hero = Hero();
    if (hero == nullptr) {
        return;
    }
    const CItem made = MakeItem(item);
    if (hero->AddToInventory(made) == CHero::kInventoryTaken) {
        return;
    }
    CLoc* loc = m_game.GetCurrentLoc();
    if (loc != nullptr && loc->IsInside(static_cast<int32_t>(Cell(hero->x)), static_cast<int32_t>(Cell(hero->y)))) {
        loc->PutItem(Cell(hero->x), Cell(hero->y), made);
    }
}

bool CGameplay::HeroHasItems(const TQuestItem& pattern) { return Hero() != nullptr && Hero()->HasItems(pattern); }

void CGameplay::HeroRemoveItems(const TQuestItem& pattern) {
    if (CHero* hero = Hero()) {
        hero->RemoveItems(pattern);
    }
}

bool CGameplay::IsPlayerWoman() {
    const CHero* hero = Hero();
    const std::vector<THeroInfo>& heroes = m_game.GetTables().heroes;
    // A definition index beyond the table names no definition.
    return hero != nullptr && hero->heroInfo < heroes.size() && heroes[hero->heroInfo].gender != 0;
}

bool CGameplay::HeroIsAnyLimbMissing() {
    const CHero* hero = Hero();
    return hero != nullptr && std::any_of(hero->limbs.begin() + 1, hero->limbs.end(),
                                          [](int32_t limb) { return limb == CHero::kLimbLost; });
}

int32_t CGameplay::HeroGetLimb(uint32_t limb) {
    const CHero* hero = Hero();
    return hero != nullptr && limb < CHero::kLimbCount ? hero->limbs[limb] : 0;
}

uint32_t CGameplay::FindSkill(const std::wstring& name) {
    const std::vector<std::wstring>& skills = m_game.GetSkillNames();
    for (size_t i = 0; i < skills.size(); ++i) {
        if (vek::equals(skills[i], name)) {
            return static_cast<uint32_t>(i + 1);
        }
    }
    const std::vector<TSpellInfo>& spells = m_game.GetTables().spells;
    for (size_t i = 0; i < spells.size(); ++i) {
        if (vek::equals(spells[i].name, name)) {
            return CHero::kFirstSpellId + static_cast<uint32_t>(i);
        }
    }
    throw vek::CException(L"CGameplayInterface::FindSkill", kSource, __LINE__, L"Cannot find skill " + name);
}

void CGameplay::HeroLearnSkill(uint32_t skill, uint8_t level) {
    if (CHero* hero = Hero()) {
        hero->LearnSkill(level, skill);
    }
}

uint8_t CGameplay::HeroGetSkillLevel(uint32_t skill) { return Hero() != nullptr ? Hero()->GetSkillLevel(skill) : 0; }

uint32_t CGameplay::HeroGetAttribute(uint32_t attribute) {
    return Hero() != nullptr ? Hero()->GetAttribute(attribute) : 0;
}

void CGameplay::Cure() {
    CHero* hero = Hero();
    if (hero == nullptr) {
        return;
    }
    hero->states.clear();
    for (int32_t& limb : hero->limbs) {
        if (limb != CHero::kLimbLost) {
            limb = CHero::kLimbSound;
        }
    }
}

void CGameplay::CureLimb() {
    static const wchar_t* const kLimbNames[CHero::kLimbCount] = {L"STR_MSG_RIGHT_ARM", L"STR_MSG_LEFT_ARM",
                                                                 L"STR_MSG_RIGHT_LEG", L"STR_MSG_LEFT_LEG"};
    CHero* hero = Hero();
    if (hero == nullptr) {
        return;
    }
    for (uint32_t limb = 0; limb < CHero::kLimbCount; ++limb) {
        if (hero->limbs[limb] == CHero::kLimbLost) {
            hero->limbs[limb] = CHero::kLimbSound;
            const CStringResource& strings = m_game.GetStrings();
            m_game.AddMessage(vek::Format(strings.Get(L"STR_MSG_RESTORE_LIMB"), strings.Get(kLimbNames[limb])));
            return;
        }
    }
}

void CGameplay::AddCompanion(const std::wstring& monster, const std::wstring& location) {
    const wchar_t* const function = L"CGameplayInterface::AddCompanion";
    const uint16_t type = m_game.FindMonsterType(monster);
    if (type == kNoMonster) {
        throw vek::CException(function, kSource, __LINE__, L"Monster not found - " + monster + L" (AddCompanion)");
    }
    CHero* hero = Hero();
    if (hero == nullptr) {
        throw vek::CException(function, kSource, __LINE__, L"The game has no hero.");
    }
    CLoc& loc = ChangeLoc(location);
    const vek::TPoint cell = &loc == m_game.GetCurrentLoc() ? Point(hero->x, hero->y) : loc.PickRandomCell(nullptr);
    auto companion = std::make_unique<CMonster>();
    companion->InitFromType(type, Cell(cell.x), Cell(cell.y));
    companion->friendly.push_back(CGroupMember::kHeroId);
    CMonster* placed = loc.PlaceNear(cell, companion);
    if (placed == nullptr) {
        throw vek::CException(function, kSource, __LINE__, L"No room for a companion in " + location);
    }
    hero->companions.push_back(placed->globalId);
}

// --- NPCs -------------------------------------------------------------------------------------------

void CGameplay::NPCAddInvItem(uint16_t type, uint32_t quantity) {
    if (CNpc* npc = m_game.GetCurrentNpc()) {
        npc->inventory.push_back(TNpcItem{type, quantity});
    }
}

void CGameplay::NPCAddSpell(uint16_t spell, uint16_t level) {
    if (CNpc* npc = m_game.GetCurrentNpc()) {
        npc->spells.push_back(TNPCSpell{spell, level});
    }
}

bool CGameplay::NPCIsAlive(const std::wstring& name, const std::wstring& location) {
    return m_game.NPCIsAlive(name, location);
}

bool CGameplay::IsNPCPresentInLoc(const std::wstring& name, const std::wstring& home, const std::wstring& location) {
    const wchar_t* const function = L"CGameplayInterface::IsNPCPresentInLoc";
    uint16_t x = 0;
    uint16_t y = 0;
    if (!World().FindLocationByName(location, x, y)) {
        throw vek::CException(function, kSource, __LINE__, L"Location not found: " + location);
    }
    const CLoc* loc = World().grid.At(x, y).loc;
    if (loc == nullptr) {
        throw vek::CException(function, kSource, __LINE__, L"Location not loaded: " + location);
    }
    return FindNpcIn(loc, name, home) != nullptr;
}

void CGameplay::NPCSetGroup(const std::wstring& name, const std::wstring& location, const std::wstring& group) {
    // No NPC joins: the group is not looked up.
    const std::vector<CNpc*> found = m_game.FindNPCsByName(name, location, FindLoadedLoc(location));
    if (found.empty()) {
        return;
    }
    CGroup& joined = FindGroup(group);
    for (CNpc* npc : found) {
        AddToGroup(*npc, joined);
    }
}

void CGameplay::NPCStartChat(const std::wstring& name, const std::wstring& location) {
    const std::vector<CNpc*> found = m_game.FindNPCsByName(name, location, FindLoadedLoc(location));
    if (found.empty()) {
        throw vek::CException(L"CGameplayInterface::NPCStartChat", kSource, __LINE__,
                              L"Cannot find NPC " + name + L" (" + location + L")");
    }
    m_game.TalkTo(*found.front());
}

void CGameplay::NPCChangeAttitude(const std::wstring& name, const std::wstring& location, uint32_t attitude) {
    const CLoc* loc = FindLoadedLoc(location);
    const std::vector<CMonster*> none;
    for (CMonster* creature : loc != nullptr ? loc->GetCreatures() : none) {
        if (creature == nullptr || !vek::equals(creature->GetName(), name)) {
            continue;
        }
        if (creature->GetKind() != CGroupMember::kKindNpc) {
            throw vek::CException(L"CGameplayInterface::NPCChangeAttitude", kSource, __LINE__,
                                  L"The NPCChangeAttitude function only applies to NPCs!");
        }
        creature->SetAttitude(attitude);
        return;
    }
    throw vek::CException(L"CGameplayInterface::NPCChangeAttitude", kSource, __LINE__, NpcText(name, location));
}

void CGameplay::NPCAddEnemy(const std::wstring& name, const std::wstring& location, const std::wstring& enemy,
                            const std::wstring& enemyLocation) {
    CNpc& npc = m_game.FindNPC(name, location, FindLoadedLoc(location));
    const CNpc& other = m_game.FindNPC(enemy, enemyLocation, FindLoadedLoc(enemyLocation));
    npc.AddHostile(other.globalId);
}

void CGameplay::NPCMakeHeroEnemy(const std::wstring& name, const std::wstring& location) {
    // A foe even to a friend (one that follows the hero); held once.
    CNpc& npc = m_game.FindNPC(name, location, FindLoadedLoc(location));
    if (!npc.IsHostile(CGroupMember::kHeroId)) {
        npc.hostile.push_back(CGroupMember::kHeroId);
    }
}

void CGameplay::NPCFollowHero(const CScript& script) {
    const CLoc* loc = m_game.GetCurrentLoc();
    for (CMonster* creature : loc != nullptr ? loc->GetCreatures() : std::vector<CMonster*>()) {
        if (creature != nullptr && creature->GetKind() == CGroupMember::kKindNpc &&
            static_cast<CNpc*>(creature)->script.get() == &script) {
            if (!creature->IsFriendly(CGroupMember::kHeroId)) {
                creature->friendly.push_back(CGroupMember::kHeroId);
            }
            break;
        }
    }
    m_game.Draw();
}

void CGameplay::NPCUnfollowHero(const CScript& script) {
    const CLoc* loc = m_game.GetCurrentLoc();
    for (CMonster* creature : loc != nullptr ? loc->GetCreatures() : std::vector<CMonster*>()) {
        if (creature != nullptr && creature->GetKind() == CGroupMember::kKindNpc &&
            static_cast<CNpc*>(creature)->script.get() == &script) {
            creature->RemoveFriendly(CGroupMember::kHeroId);
            break;
        }
    }
    m_game.Draw();
}

void CGameplay::KillNPC(const std::wstring& location, const std::wstring& name, const std::wstring& home) {
    CLoc* loc = FindLoadedLoc(location);
    if (CNpc* npc = FindNpcIn(loc, name, home)) {
        npc->Damage(npc->hitPoints, 0, loc);
    }
}

void CGameplay::NPCSetActivity(const std::wstring& name, const std::wstring& location, uint32_t activity) {
    if (CNpc* npc = FindNpcIn(m_game.GetCurrentLoc(), name, location)) {
        npc->activity = activity;
    }
}

void CGameplay::NPCActivate(const std::wstring& name, const std::wstring& location, bool on) {
    const std::vector<CNpc*> found = m_game.FindNPCsByName(name, location, FindLoadedLoc(location));
    if (found.empty()) {
        throw vek::CException(L"CGameplayInterface::NPCActivate", kSource, __LINE__, NpcText(name, location));
    }
    const CNpc& npc = *found.front();
    CLoc* home = nullptr;
    uint16_t x = 0;
    uint16_t y = 0;
    if (const CWorld* world = m_game.GetWorld(); world != nullptr && !npc.homeLocation.empty() &&
                                                 world->FindLocation(npc.homeLocation, x, y, CWorld::kFindByFile)) {
        home = world->grid.At(x, y).loc;
    }
    if (home == nullptr) {
        throw vek::CException(L"CGameplayInterface::NPCActivate", kSource, __LINE__,
                              L"No starting location for NPC " + npc.name + L" (" + npc.homeLocation + L").");
    }
    home->ActivateNpcHere(npc, on);
    home->InvalidatePassability();
}

// --- Groups, battles and quests ------------------------------------------------------------------------

void CGameplay::AddMonsterToGroup(const std::wstring& monster, const std::wstring& location, uint32_t x, uint32_t y,
                                  const std::wstring& group) {
    CGroup& joined = FindGroup(group);
    const uint16_t type = MonsterType(monster);
    CLoc& loc = ChangeLoc(location);
    CheckCell(loc, x, y);
    CMonster* placed = loc.PlaceNewMonster(0, Point(x, y), type);
    if (placed == nullptr) {
        throw vek::CException(L"CGameplayInterface::AddMonsterToGroup", kSource, __LINE__,
                              L"No room for another creature in " + location);
    }
    AddToGroup(*placed, joined);
}

void CGameplay::StartBattle(const std::wstring& battle, const std::wstring& group1, const std::wstring& group2) {
    m_game.StartBattle(battle, group1, group2);
}

std::wstring CGameplay::BattleWinner(const std::wstring& battle) {
    std::wstring winner;
    m_game.UpdateBattleState(m_game.FindBattle(battle), winner);
    return winner;
}

void CGameplay::BeginQuest(const std::wstring& name, const std::wstring& title, const std::wstring& description,
                           const std::wstring& giver) {
    m_game.GetQuestLog().Begin(TQuestLogEntry{name, title, description, giver, 0});
}

void CGameplay::EndQuest(const std::wstring& name) { m_game.GetQuestLog().End(name); }
