#pragma once
// The game's side of the built-in functions: what they ask of the hero, the
// NPCs, groups, battles, quests and the world's locations. The built-ins take
// their arguments, check them, turn item, monster and spell names into types
// and raise the script errors; this interface does the work in the game. The
// shell installs its implementation over the real game (SetGameplay).
//
// Locations are named as scripts name them: a text ending in ".map" is a
// location file, any other a world cell's name key. NPCs are named by their
// name and their home location's file name.
#include <cstdint>
#include <string>

class CScript;
class TQuestItem;

// An item to make: its type and count, random properties or not, and its
// two property values.
struct TItemOrder {
    uint16_t type = 0;
    uint32_t count = 1;
    bool random = false;
    uint16_t property1 = 0;
    uint16_t property2 = 0;
};

class CGameplayInterface {
public:
    virtual ~CGameplayInterface() = default;

    // --- The world and its locations -----------------------------------------------------
    // Readies and enters the location of world cell (x, y), or the named one
    // when x or y is 65535 or more; vek::CException "Cannot access the
    // location at specified position - " when the hero cannot enter it.
    virtual void SetStartLoc(const std::wstring& location, uint32_t x, uint32_t y) = 0;
    // A dungeon site of that size and depth, entered from the cell (x, y)
    // of the named location.
    virtual void CreateDungeonSite(uint16_t width, uint16_t height, uint16_t levels, const std::wstring& location,
                                   uint32_t x, uint32_t y) = 0;
    // Every cell of the current location explored.
    virtual void RevealCurrentLoc() = 0;
    // The effect goes to the location of that file name, which is made when
    // there is none yet; vek::CException "Couldn't find location " when no
    // world cell names the file.
    virtual void AddLocEffect(const std::wstring& fileName, uint32_t key, uint32_t value) = 0;
    // The cell's map object, unless an active special object is there.
    virtual void AddObject(const std::wstring& location, uint32_t x, uint32_t y, uint32_t object) = 0;
    virtual void DeleteObject(const std::wstring& location, uint32_t x, uint32_t y) = 0;
    virtual void SetSpecialActive(const std::wstring& location, uint32_t x, uint32_t y, uint8_t active) = 0;
    // One item of that name dropped on the cell; every item of that kind
    // taken off it; the whole pile taken.
    virtual void AddItem(const std::wstring& location, const std::wstring& item, uint32_t x, uint32_t y) = 0;
    virtual void DeleteItem(const std::wstring& location, const std::wstring& item, uint32_t x, uint32_t y) = 0;
    virtual void DeleteAllItems(const std::wstring& location, uint32_t x, uint32_t y) = 0;
    // A monster of that name on the cell; every creature but the NPCs taken
    // away; whether a living creature there is the hero's foe.
    virtual void AddMonster(const std::wstring& location, const std::wstring& monster, uint32_t x, uint32_t y) = 0;
    virtual void DeleteAllMonsters(const std::wstring& location) = 0;
    virtual bool AnyAliveMonster(const std::wstring& location) = 0;
    // The dragon that "dragon.u" stands for, in the location at the cell.
    virtual void AddDragon(const std::wstring& location, const std::wstring& monster, uint32_t x, uint32_t y) = 0;

    // --- The hero --------------------------------------------------------------------------
    // Made and wielded in the slot its class needs; false when refused.
    virtual bool HeroWield(const TItemOrder& item) = 0;
    // Made and put into the backpack: the backpack's answer (2: taken).
    virtual uint16_t HeroAddToInventory(const TItemOrder& item) = 0;
    // Into the backpack, or onto the hero's cell when the backpack refuses it.
    virtual void HeroGiveItem(const TItemOrder& item) = 0;
    virtual bool HeroHasItems(const TQuestItem& pattern) = 0;
    virtual void HeroRemoveItems(const TQuestItem& pattern) = 0;
    virtual bool IsPlayerWoman() = 0;
    // Whether the second, third or fourth limb is lost (the built-in looks at
    // the first itself).
    virtual bool HeroIsAnyLimbMissing() = 0;
    // The state of the hero's limb 0 to 3 (3: lost); 0 without a hero.
    virtual int32_t HeroGetLimb(uint32_t limb) = 0;
    // The skill (or spell) id of that name; vek::CException "Cannot find
    // skill " when there is none.
    virtual uint32_t FindSkill(const std::wstring& name) = 0;
    virtual void HeroLearnSkill(uint32_t skill, uint8_t level) = 0;
    virtual uint8_t HeroGetSkillLevel(uint32_t skill) = 0;
    // Attribute 0 strength, 1 dexterity, 2 vitality, 3 intelligence, 4 appearance.
    virtual uint32_t HeroGetAttribute(uint32_t attribute) = 0;
    // The healer's full cure; the restoring of a lost limb.
    virtual void Cure() = 0;
    virtual void CureLimb() = 0;
    // A monster of that name joins the hero as a companion, next to him when
    // he is in that location (else anywhere there); vek::CException "Monster
    // not found - ".
    virtual void AddCompanion(const std::wstring& monster, const std::wstring& location) = 0;

    // --- NPCs ------------------------------------------------------------------------------
    // The NPC that the game is defining (the game's current NPC) gets a
    // starting item; a spell.
    virtual void NPCAddInvItem(uint16_t type, uint32_t quantity) = 0;
    virtual void NPCAddSpell(uint16_t spell, uint16_t level) = 0;
    virtual bool NPCIsAlive(const std::wstring& name, const std::wstring& location) = 0;
    // Whether the NPC of that name and home is among the creatures of the
    // location (the third text); "Location not found: ", "Location not
    // loaded: ".
    virtual bool IsNPCPresentInLoc(const std::wstring& name, const std::wstring& home,
                                   const std::wstring& location) = 0;
    virtual void NPCSetGroup(const std::wstring& name, const std::wstring& location, const std::wstring& group) = 0;
    virtual void NPCStartChat(const std::wstring& name, const std::wstring& location) = 0;
    virtual void NPCChangeAttitude(const std::wstring& name, const std::wstring& location, uint32_t attitude) = 0;
    virtual void NPCAddEnemy(const std::wstring& name, const std::wstring& location, const std::wstring& enemy,
                             const std::wstring& enemyLocation) = 0;
    virtual void NPCMakeHeroEnemy(const std::wstring& name, const std::wstring& location) = 0;
    // The NPC of the current location whose own script this is.
    virtual void NPCFollowHero(const CScript& script) = 0;
    virtual void NPCUnfollowHero(const CScript& script) = 0;
    // Dies, when the location exists and holds it.
    virtual void KillNPC(const std::wstring& location, const std::wstring& name, const std::wstring& home) = 0;
    // When the current location holds it.
    virtual void NPCSetActivity(const std::wstring& name, const std::wstring& location, uint32_t activity) = 0;
    virtual void NPCActivate(const std::wstring& name, const std::wstring& location, bool on) = 0;

    // --- Groups, battles and quests ------------------------------------------------------------
    virtual void AddGroup(const std::wstring& group) = 0;
    virtual void AddMonsterToGroup(const std::wstring& monster, const std::wstring& location, uint32_t x, uint32_t y,
                                   const std::wstring& group) = 0;
    virtual void StartBattle(const std::wstring& battle, const std::wstring& group1, const std::wstring& group2) = 0;
    // The winning group's name; empty while the battle goes on.
    virtual std::wstring BattleWinner(const std::wstring& battle) = 0;
    virtual void BeginQuest(const std::wstring& name, const std::wstring& title, const std::wstring& description,
                            const std::wstring& giver) = 0;
    virtual void EndQuest(const std::wstring& name) = 0;
};

// Null while none is installed: the built-ins then check their arguments and
// do nothing else (they answer 0).
CGameplayInterface* GetGameplay();
void SetGameplay(CGameplayInterface* gameplay);
