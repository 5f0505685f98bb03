#pragma once
// What the hero, monsters and NPCs have in common: ids, position, hit points,
// the active bit, friends and foes, groups and status effects.
//
// Ids: a creature's local id is its index in its location's creature list;
// its global id is (location index << 16) | local id. In friend and foe
// lists kHeroId stands for the hero.
#include <cstdint>
#include <string>
#include <vector>

#include "VEKLib/Serializable.h"

class CLoc;
class CGroupMember;

// One status effect on a creature.
class CState {
public:
    // The effects' types.
    enum : uint16_t {
        kBleeding = 1,
        kBurning = 2,
        kFrozen = 3,
        kPoisoned = 4,
        kPanic = 5,
    };
    static constexpr uint32_t kMinStoredSize = 12;

    // The creature has a state of that type.
    static bool IsState(const CGroupMember& creature, uint16_t type);

    // 12 bytes: type u16, strength u16, duration u32, source u32.
    template <class Self, class IO>
    static void Fields(Self& state, IO& io) {
        io.Field(state.type), io.Field(state.strength), io.Field(state.duration), io.Field(state.source);
    }

    bool operator==(const CState&) const = default;

    uint16_t type = 0;
    uint16_t strength = 0;
    // Seconds left.
    uint32_t duration = 0;
    // Global id of the creature that caused it.
    uint32_t source = 0;
};

class CGroupMember : public vek::ISerializable {
public:
    // Answers of the kind query.
    enum : uint32_t {
        kKindHero = 0,
        kKindMonster = 1,
        kKindNpc = 2,
    };
    // The hero's id in friend and foe lists; also his global id.
    static constexpr uint32_t kHeroId = 65535;
    // Bit of the state byte: the creature takes part in the game.
    static constexpr uint8_t kActive = 1;
    // Bytes of the creature block before its lists, and the least it takes.
    static constexpr uint32_t kFixedSize = 29;
    static constexpr uint32_t kMinStoredSize = kFixedSize + 4 * 4;

    CGroupMember() = default;
    CGroupMember(const CGroupMember&) = default;
    CGroupMember(CGroupMember&&) = default;
    CGroupMember& operator=(const CGroupMember&) = default;
    CGroupMember& operator=(CGroupMember&&) = default;
    ~CGroupMember() override = default;

    // kKindHero, kKindMonster or kKindNpc.
    virtual uint32_t GetKind() const = 0;
    // The name the player reads.
    virtual std::wstring GetName() const { return {}; }
    virtual void Save() const = 0;

    // Active bit set and hit points above 0.
    bool IsAlive() const { return (stateByte & kActive) != 0 && hitPoints > 0; }

    bool IsFriendly(uint32_t id) const;
    bool IsHostile(uint32_t id) const;
    // Adds the id to the foes unless either list holds it; whether it did.
    bool AddHostile(uint32_t id);
    // Take every entry of the id out; whether there was one.
    bool RemoveHostile(uint32_t id);
    bool RemoveFriendly(uint32_t id);
    void ClearRelations();
    void SetAttitude(uint32_t value) { attitude = value; }

    // Hit points drop by the amount, down to 0 (dead). source: global id of
    // whatever dealt it; location: where it happened (may be null).
    virtual void Damage(uint32_t amount, uint32_t source, CLoc* location);

    // The creature block: kFixedSize bytes (global id u32, local id u16,
    // x u32, y u32, hit points u16, state byte u8, alerted u32, hostility
    // u32, attitude u32), then the friends and foes (u32 lists), the groups
    // (list of texts) and the states (list of 12-byte records).
    template <class Self, class IO>
    static void Fields(Self& creature, IO& io) {
        io.Field(creature.globalId), io.Field(creature.localId), io.Field(creature.x), io.Field(creature.y);
        io.Field(creature.hitPoints), io.Field(creature.stateByte), io.Field(creature.alerted);
        io.Field(creature.hostility), io.Field(creature.attitude);
        io.Field(creature.friendly), io.Field(creature.hostile), io.Field(creature.groups), io.Field(creature.states);
    }

    uint32_t globalId = 0;
    uint16_t localId = 0;
    // Cell; values fit 16 bits.
    uint32_t x = 0;
    uint32_t y = 0;
    // 0: dead.
    uint16_t hitPoints = 0;
    uint8_t stateByte = 0;
    // 1 once an alarm was raised for it.
    uint32_t alerted = 0;
    uint32_t hostility = 0;
    // 0 to 2; 2 hostile.
    uint32_t attitude = 0;
    // Global ids.
    std::vector<uint32_t> friendly;
    std::vector<uint32_t> hostile;
    // The groups it joined, by group id.
    std::vector<std::wstring> groups;
    std::vector<CState> states;
};
