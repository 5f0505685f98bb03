#pragma once
// Monsters and non-player characters: the creatures a location holds. An NPC
// is a monster with a name, a home and a trade of its own.
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "rules/Creature.h"
#include "script/Records.h"
#include "script/ScriptHandle.h"

// One attack.
struct TAttack {
    // The vampire hero's bite.
    static constexpr uint32_t kBite = 75;

    uint32_t code = 0;
    // Percent; 100 and above always hit, 0 never.
    uint32_t hitChance = 100;
    uint16_t minDamage = 0;
    uint16_t maxDamage = 0;
};

class CMonster : public CGroupMember {
public:
    CMonster() = default;
    CMonster(const CMonster&) = default;
    CMonster(CMonster&&) = default;
    CMonster& operator=(const CMonster&) = default;
    CMonster& operator=(CMonster&&) = default;
    ~CMonster() override = default;

    uint32_t GetKind() const override { return kKindMonster; }
    // The kind's name in the monster table; empty for a kind it lacks.
    std::wstring GetName() const override;

    // Becomes a fresh, active monster of that kind on the cell, with the
    // kind's hit points (at least 1). vek::CException when the monster table
    // has no such kind; the monster is then unchanged.
    void InitFromType(uint16_t type, uint32_t cellX, uint32_t cellY);

    // One attack on a target: nothing when the target is dead; otherwise one
    // draw decides the hit, and a hit draws the damage in minDamage ..
    // maxDamage, deals it and makes the attacker the target's foe (unless it
    // is a friend). Whether it hit.
    static bool Attack(CGroupMember& attacker, CGroupMember& target, const TAttack& attack, CLoc* location = nullptr);

    // The creature block, then the monster kind u16. Load keeps the monster
    // as it was and throws vek::CFileException code 5 when the record ends
    // early.
    void Load() override;
    void Save() const override;

    template <class Self, class IO>
    static void Fields(Self& monster, IO& io) {
        CGroupMember::Fields(monster, io);
        io.Field(monster.monsterType);
    }

    // Position in the monster table.
    uint16_t monsterType = 0;
};

// An item an NPC starts with.
struct TNpcItem {
    static constexpr uint32_t kMinStoredSize = 6;
    template <class Self, class IO>
    static void Fields(Self& item, IO& io) {
        io.Field(item.itemType), io.Field(item.quantity);
    }
    bool operator==(const TNpcItem&) const = default;

    uint16_t itemType = 0;
    uint32_t quantity = 0;
};

// A spell an NPC knows.
struct TNPCSpell {
    static constexpr uint32_t kMinStoredSize = 4;
    template <class Self, class IO>
    static void Fields(Self& spell, IO& io) {
        io.Field(spell.spellId), io.Field(spell.level);
    }
    bool operator==(const TNPCSpell&) const = default;

    uint16_t spellId = 0;
    uint16_t level = 0;
};

class CNpc : public CMonster {
public:
    CNpc() = default;
    CNpc(const CNpc&) = default;
    CNpc(CNpc&&) = default;
    CNpc& operator=(const CNpc&) = default;
    CNpc& operator=(CNpc&&) = default;
    ~CNpc() override = default;

    uint32_t GetKind() const override { return kKindNpc; }
    std::wstring GetName() const override { return name; }

    // Set-up after the NPC is made or loaded. Without a script it reads and
    // parses its script file (GetScriptPath; none when the file is not
    // there). The script gets the bank variable (kBankDepositVariable), which
    // holds the deposit the NPC was made or loaded with. Unless fromSave (a
    // saved game's trade record stands), it runs the script's trade set-up
    // (type 4) while it is the game's current NPC and takes the trade record
    // that made. A script error is shown in the "Script Error" box and
    // logged; the NPC goes on without what failed.
    void Setup(bool fromSave);
    // The money the hero keeps with this NPC: the bank variable of its
    // script, which its conversations read and write too; before set-up (or
    // without a script) the deposit it was made or loaded with.
    uint32_t GetBankDeposit() const;
    void SetBankDeposit(uint32_t amount);
    // "Data/Scripts/" + the script file's name without its folders ('/' or
    // '\'); an empty script file name stands for the NPC's name + ".u".
    std::wstring GetScriptPath() const;

    // The monster's form, then: NPC type u16, NPC index u32, activity u32,
    // name, home location, script file (texts), the starting inventory (list
    // of 6-byte items: type u16, quantity u32), the spells (list of 4-byte
    // spells: id u16, level u16), the trade record (TTradeInfo's form) and
    // the bank deposit u32. Load as the monster's.
    void Load() override;
    void Save() const override;

    template <class Self, class IO>
    static void Fields(Self& npc, IO& io) {
        CMonster::Fields(npc, io);
        io.Field(npc.npcType), io.Field(npc.npcIndex), io.Field(npc.activity);
        io.Field(npc.name), io.Field(npc.homeLocation), io.Field(npc.scriptFile);
        io.Field(npc.inventory), io.Field(npc.spells);
        io.Object(npc.trade);
        if constexpr (std::is_const_v<Self>) {
            io.Field(npc.GetBankDeposit());
        } else if (!readWithoutDeposit) {
            io.Field(npc.m_bankDeposit);
        }
    }

    // Set while a game saved before NPCs kept the bank is read: its NPC
    // records end before the deposit, which is 0 then.
    static inline bool readWithoutDeposit = false;

    // The name of the bank variable that set-up declares in its script.
    static constexpr const wchar_t* kBankDepositVariable = L"BankDeposit";

    // Index of the game's NPC table.
    uint16_t npcType = 0;
    // Position in the game's NPC list.
    uint32_t npcIndex = 0;
    uint32_t activity = 0;
    std::wstring name;
    // File name of the location it lives in.
    std::wstring homeLocation;
    // Its ".u" file in the script folder.
    std::wstring scriptFile;
    std::vector<TNpcItem> inventory;
    std::vector<TNPCSpell> spells;
    TTradeInfo trade;
    // Its own script (conversation, trade set-up); a copy of the NPC has a
    // copy of it. Not saved: a loaded NPC reads it again (Setup).
    CScriptCopy script;

private:
    // The bank variable of the script, once set-up has declared it.
    CVariable* FindBankVariable() const;
    // Declares it, with the deposit held so far, unless the script declares
    // it itself; then a loaded NPC's deposit is put in it.
    void DeclareBank(bool fromSave);

    // The deposit until set-up hands it to the script's bank variable.
    uint32_t m_bankDeposit = 0;
};

// A script for an NPC that has none, written to its script path: a default
// action that greets with the NPC's name in every language of the game and
// ends. vek::CFileException when it cannot be written.
void WriteDefaultNpcScript(const CNpc& npc);

// A location's creatures into the stream: u32 count, then each one's Save.
void SaveCreatureVector(const std::vector<CMonster*>& creatures);
// A creature of a stored type (its kind query's answer), loaded from the
// stream: kKindMonster a monster, any other an NPC.
std::unique_ptr<CMonster> LoadCreature(uint16_t kind);
