#pragma once
// The hero: the creature the player moves, with his pack, equipment, limbs,
// attributes and skills. His whole state is saved as one byte array.
#include <array>
#include <cstdint>
#include <vector>

#include "data/StringResource.h"
#include "rules/Battle.h"
#include "rules/Creature.h"
#include "rules/Item.h"

class CScript;
class TQuestItem;

// One entry of the skill table (indexed by skill id).
struct TSkillEntry {
    static constexpr uint32_t kMinStoredSize = 5;
    template <class Self, class IO>
    static void Fields(Self& entry, IO& io) {
        io.Field(entry.level), io.Field(entry.points);
    }
    bool operator==(const TSkillEntry&) const = default;

    // 0: not learnt.
    uint8_t level = 0;
    // Training points.
    uint32_t points = 0;
};

class CHero : public CGroupMember {
public:
    enum : uint32_t { kRightArm, kLeftArm, kRightLeg, kLeftLeg, kLimbCount };
    // Limb states; from kLimbCrippled on a limb is of no use.
    enum : int32_t { kLimbSound = 0, kLimbWounded = 1, kLimbCrippled = 2, kLimbLost = 3 };
    enum : uint32_t { kStrength, kDexterity, kVitality, kIntelligence, kAppearance, kAttributeCount };
    // Equipment slots, and the item categories that go into them.
    enum : uint32_t { kSlotWeapon, kSlotRangedWeapon, kSlotAmmunition, kSlotArmour, kSlotCount };
    enum : uint8_t {
        kCategoryWeapon = 1,
        kCategoryRangedWeapon = 3,
        kCategoryArmour = 7,
        kCategoryAmmunition = 22,
    };
    // Answers of AddToInventory.
    enum : uint16_t { kInventoryOverloaded = 0, kInventoryFull = 1, kInventoryTaken = 2 };
    static constexpr uint32_t kBackpackSlots = 40;
    // Weight he carries per level of strength.
    static constexpr uint32_t kCarryPerStrength = 1000;
    static constexpr uint8_t kMaxSkillLevel = 100;
    static constexpr uint32_t kMaxAttributeLevel = 30;
    // Skill ids 1 to kSkillCount are skills; from kFirstSpellId on, the ids
    // name the spells of the spell table in order.
    static constexpr uint32_t kFirstSpellId = kSkillCount + 1;
    // The hero's local id where a cell names him.
    static constexpr uint16_t kHeroLocalId = 0xFFFF;
    // Orders his companions take.
    enum : uint32_t { kOrderAttack = 0, kOrderWait = 1, kOrderFollow = 3 };

    // Active, with kHeroId as global id.
    CHero();
    CHero(const CHero&) = default;
    CHero(CHero&&) = default;
    CHero& operator=(const CHero&) = default;
    CHero& operator=(CHero&&) = default;
    ~CHero() override = default;

    uint32_t GetKind() const override { return kKindHero; }
    // Damage that leaves no hit points kills him (Die).
    void Damage(uint32_t amount, uint32_t source, CLoc* location) override;

    // --- Items ----------------------------------------------------------------------------
    // The backpack holds at least the pattern's quantity of matching items
    // (TQuestItem::kAnyCount: at least one).
    bool HasItems(const TQuestItem& pattern) const;
    // Takes the pattern's quantity (kAnyCount: all) of matching items out of
    // the backpack, entry by entry from the first; emptied entries go.
    void RemoveItems(const TQuestItem& pattern);
    // kInventoryOverloaded when he is overloaded already; else the item
    // stacks on the first equal entry that can hold the sum, or takes a free
    // slot (kInventoryTaken), or finds none (kInventoryFull). An item of
    // count 0 is taken without a change.
    uint16_t AddToInventory(const CItem& item);
    // Wields the item in the slot its category needs; false when that slot
    // is taken, its category has no slot, or the item has count 0.
    bool AutoWield(const CItem& item);
    // Appends the backpack slots of the matching entries; their total count.
    uint32_t CollectMatchingItems(const TQuestItem& pattern, std::vector<uint16_t>& slots) const;
    // Entries in the backpack.
    uint16_t GetInventoryCount() const { return static_cast<uint16_t>(backpack.size()); }
    // Weight of the pack and the equipment (kind's weight x count).
    uint64_t GetCarriedWeight() const;
    // More than strength level x kCarryPerStrength.
    bool IsOverloaded() const;

    // Runs the book's script function "OnRead"; false when it has none.
    bool ReadBook(CScript& book);

    // --- Body -----------------------------------------------------------------------------
    // Both arms or both legs of no use: tells the player which, and true.
    bool CheckLimbs() const;
    // The limb gets one step worse, up to kLimbCrippled; a lost limb stays
    // lost. vek::CException for a limb number beyond kLeftLeg.
    void DamageLimb(uint32_t limb);
    // No hit points, not active.
    void Die();
    // Satiation rises by the nutrition, up to the largest u32.
    void Eat(uint32_t nutrition);

    // --- Attributes and skills ---------------------------------------------------------------
    // Level 1 to 30 of kStrength .. kAppearance: trunc(cbrt(points / 240) +
    // 0.5). vek::CException for another index.
    uint32_t GetAttribute(uint32_t index) const;
    // 0 for a skill not learnt or an id that names none.
    uint8_t GetSkillLevel(uint32_t skillId) const;
    // Learns the skill or spell at that level (at most kMaxSkillLevel), or
    // raises it to that level, and tells the player; a level not above the
    // present one does nothing. vek::CException for an id that names neither
    // a skill nor a spell of the spell table.
    void LearnSkill(uint8_t level, uint32_t skillId);
    // Adds training points (up to the largest u32); the same ids as
    // LearnSkill.
    void TrainSkill(uint32_t skillId, uint32_t points);

    // One byte array (u32 length, bytes) holding the creature block, then:
    // hero info u16, heading x i16, heading y i16, world column u16, world
    // row u16, the limbs (4 x i32), the attribute points (5 x u32),
    // satiation u32, the companions and the visited locations (lists of
    // u32), the skill table (list of 5-byte entries: level u8, points u32),
    // the backpack (list of 25-byte items, at most kBackpackSlots), the
    // equipment (kSlotCount items, no count), the companions' order u32 and
    // a u32 of no use (written as kept); after the array the battle records
    // (vek::WriteBattleVector). Load throws vek::CFileException code 5, and
    // keeps the hero as he was, when the array, its content or the battle
    // records end early, the backpack is too long, or bytes are left over in
    // the array.
    void Load() override;
    void Save() const override;

    template <class Self, class IO>
    static void Fields(Self& hero, IO& io) {
        CGroupMember::Fields(hero, io);
        io.Field(hero.heroInfo), io.Field(hero.headX), io.Field(hero.headY);
        io.Field(hero.worldX), io.Field(hero.worldY);
        io.Field(hero.limbs), io.Field(hero.attributePoints), io.Field(hero.satiation);
        io.Field(hero.companions), io.Field(hero.visitedLocations), io.Field(hero.skills);
        io.Field(hero.backpack), io.Field(hero.equipment);
        io.Field(hero.companionOrder), io.Field(hero.unused);
    }

    // Position in the hero table (his pictures and sex).
    uint16_t heroInfo = 0;
    // The step he last took, each -1, 0 or 1.
    int16_t headX = 0;
    int16_t headY = 0;
    // The world cell he was last in.
    uint16_t worldX = 0;
    uint16_t worldY = 0;
    std::array<int32_t, kLimbCount> limbs{};
    std::array<uint32_t, kAttributeCount> attributePoints{};
    uint32_t satiation = 0;
    // Global ids.
    std::vector<uint32_t> companions;
    // Location indexes, oldest first.
    std::vector<uint32_t> visitedLocations;
    // Indexed by skill id.
    std::vector<TSkillEntry> skills;
    std::vector<CItem> backpack;
    // An empty slot holds an item of count 0.
    std::array<CItem, kSlotCount> equipment;
    // The last order his companions took (0 attack, 1 wait, 3 follow).
    uint32_t companionOrder = kOrderFollow;
    // Once his bank deposit, which the NPCs that keep a bank hold now; kept
    // in his stored form so that saved games still load. What an older game
    // holds here goes to the first bank he uses.
    uint32_t unused = 0;
    // Battles between groups that the game follows.
    std::vector<TBattleRecord> battles;
};

// min + (max - min) / 99 x (skill level - 1), truncated, within the interval
// of min and max whichever is larger (so a skill can also shorten a time).
int32_t ScaleBySkill(const CHero& hero, uint32_t skillId, int32_t min, int32_t max);
// The same over an attribute's level.
int32_t ScaleByAttribute(const CHero& hero, uint32_t attribute, int32_t min, int32_t max);
