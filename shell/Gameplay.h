#pragma once
// The world side of the script built-ins over the real game: its hero, its
// world and locations, its NPC list, the creature groups, battles and the
// quest log.
#include <cstdint>
#include <string>

#include "script/GameplayInterface.h"

class CGame;
class CGroup;
class CHero;
class CLoc;
class CWorld;

class CGameplay final : public CGameplayInterface {
public:
    explicit CGameplay(CGame& game) : m_game(game) {}
    CGameplay(const CGameplay&) = delete;
    CGameplay& operator=(const CGameplay&) = delete;

    // --- What scripts name ---------------------------------------------------------------
    // The location of that name (".map": a file, else a name key), made and
    // prepared when there is none yet; vek::CException "Cannot find
    // location, UID = " when no world cell names it.
    CLoc& FindLoc(const std::wstring& uid);
    // A group appended to the program's group list; the first group of that
    // id (case ignored), vek::CException "Group not found: " when none.
    void AddGroup(const std::wstring& group) override;
    CGroup& FindGroup(const std::wstring& group);

    // --- CGameplayInterface ---------------------------------------------------------------
    void SetStartLoc(const std::wstring& location, uint32_t x, uint32_t y) override;
    void CreateDungeonSite(uint16_t width, uint16_t height, uint16_t levels, const std::wstring& location, uint32_t x,
                           uint32_t y) override;
    void RevealCurrentLoc() override;
    void AddLocEffect(const std::wstring& fileName, uint32_t key, uint32_t value) override;
    void AddObject(const std::wstring& location, uint32_t x, uint32_t y, uint32_t object) override;
    void DeleteObject(const std::wstring& location, uint32_t x, uint32_t y) override;
    void SetSpecialActive(const std::wstring& location, uint32_t x, uint32_t y, uint8_t active) override;
    void AddItem(const std::wstring& location, const std::wstring& item, uint32_t x, uint32_t y) override;
    void DeleteItem(const std::wstring& location, const std::wstring& item, uint32_t x, uint32_t y) override;
    void DeleteAllItems(const std::wstring& location, uint32_t x, uint32_t y) override;
    // A new monster is the hero's foe.
    void AddMonster(const std::wstring& location, const std::wstring& monster, uint32_t x, uint32_t y) override;
    void DeleteAllMonsters(const std::wstring& location) override;
    bool AnyAliveMonster(const std::wstring& location) override;
    // "Location not found: ", or "No dragon defined (AddDragon)" when
    // "Data/Scripts/dragon.u" is missing or the monster table has no such
    // monster; the dragon, the hero's foe, is put on the cell and the
    // script then runs whole.
    void AddDragon(const std::wstring& location, const std::wstring& monster, uint32_t x, uint32_t y) override;

    bool HeroWield(const TItemOrder& item) override;
    uint16_t HeroAddToInventory(const TItemOrder& item) override;
    void HeroGiveItem(const TItemOrder& item) override;
    bool HeroHasItems(const TQuestItem& pattern) override;
    void HeroRemoveItems(const TQuestItem& pattern) override;
    bool IsPlayerWoman() override;
    bool HeroIsAnyLimbMissing() override;
    int32_t HeroGetLimb(uint32_t limb) override;
    // The 28 skills by their script-language names, then the spells.
    uint32_t FindSkill(const std::wstring& name) override;
    void HeroLearnSkill(uint32_t skill, uint8_t level) override;
    uint8_t HeroGetSkillLevel(uint32_t skill) override;
    uint32_t HeroGetAttribute(uint32_t attribute) override;
    // His status effects end and his wounded and crippled limbs heal.
    void Cure() override;
    // His first lost limb grows back, reported with "STR_MSG_RESTORE_LIMB".
    void CureLimb() override;
    void AddCompanion(const std::wstring& monster, const std::wstring& location) override;

    void NPCAddInvItem(uint16_t type, uint32_t quantity) override;
    void NPCAddSpell(uint16_t spell, uint16_t level) override;
    bool NPCIsAlive(const std::wstring& name, const std::wstring& location) override;
    bool IsNPCPresentInLoc(const std::wstring& name, const std::wstring& home, const std::wstring& location) override;
    void NPCSetGroup(const std::wstring& name, const std::wstring& location, const std::wstring& group) override;
    // Its conversation in the game's conversation window; "Cannot find NPC ".
    void NPCStartChat(const std::wstring& name, const std::wstring& location) override;
    // The creature of that name in the location: "The NPCChangeAttitude
    // function only applies to NPCs!" for a monster, "NPC name (location)
    // not found!" for none.
    void NPCChangeAttitude(const std::wstring& name, const std::wstring& location, uint32_t attitude) override;
    void NPCAddEnemy(const std::wstring& name, const std::wstring& location, const std::wstring& enemy,
                     const std::wstring& enemyLocation) override;
    void NPCMakeHeroEnemy(const std::wstring& name, const std::wstring& location) override;
    // The NPC that follows the hero holds him among its friends.
    void NPCFollowHero(const CScript& script) override;
    void NPCUnfollowHero(const CScript& script) override;
    void KillNPC(const std::wstring& location, const std::wstring& name, const std::wstring& home) override;
    void NPCSetActivity(const std::wstring& name, const std::wstring& location, uint32_t activity) override;
    // "NPC name (location) not found!", "No starting location for NPC ".
    void NPCActivate(const std::wstring& name, const std::wstring& location, bool on) override;

    void AddMonsterToGroup(const std::wstring& monster, const std::wstring& location, uint32_t x, uint32_t y,
                           const std::wstring& group) override;
    void StartBattle(const std::wstring& battle, const std::wstring& group1, const std::wstring& group2) override;
    std::wstring BattleWinner(const std::wstring& battle) override;
    void BeginQuest(const std::wstring& name, const std::wstring& title, const std::wstring& description,
                    const std::wstring& giver) override;
    void EndQuest(const std::wstring& name) override;

private:
    CWorld& World() const;
    CHero* Hero() const;
    // FindLoc for a change: a location never entered is kept with the game
    // from now on, so that the change is saved.
    CLoc& ChangeLoc(const std::wstring& uid);
    // The loaded location of that name; null when none.
    CLoc* FindLoadedLoc(const std::wstring& name) const;
    uint16_t ItemType(const std::wstring& name) const;
    uint16_t MonsterType(const std::wstring& name) const;

    CGame& m_game;
};
