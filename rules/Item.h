#pragma once
// One item instance: what lies in a pile on a cell, in the hero's pack or in
// an equipment slot. Its kind's fixed knowledge (name, weight, durability)
// is in the item table; type ids from kCorpseBase on are monsters' corpses.
#include <cstdint>
#include <vector>

#include "VEKLib/Serializable.h"

class CItem : public vek::ISerializable {
public:
    // Bytes of the stored form.
    static constexpr uint32_t kStoredSize = 25;
    static constexpr uint32_t kMinStoredSize = kStoredSize;
    // The two status bits that a randomly made item may get (bit values).
    static constexpr uint8_t kStatusRandomA = 0x02;
    static constexpr uint8_t kStatusRandomB = 0x04;
    // Money never gets the second status bit.
    static constexpr uint16_t kMoneyType = 9;
    // A corpse rots away in this many deterioration steps (one step an hour).
    static constexpr uint16_t kCorpseDurability = 24;

    // Every field zero.
    CItem() = default;
    // count items of a type, whole (durability at its maximum). With random
    // set, one draw each, in this order: 1 in 10 get kStatusRandomA; 1 in 10
    // (money excepted, which draws nothing here) get kStatusRandomB; 1 in 10
    // get a quality of 2 to 9 (a further draw).
    CItem(uint16_t type, uint32_t count, bool random = false, uint16_t property1 = 0, uint16_t property2 = 0);
    CItem(const CItem&) = default;
    CItem& operator=(const CItem&) = default;
    ~CItem() override = default;

    // Every stored field but the count equal: the two are equal items and
    // stack.
    bool StacksWith(const CItem& other) const;

    // The kind's durability in the item table (corpses: kCorpseDurability);
    // 0 for a kind that does not wear, and for a type that names no kind.
    uint16_t GetMaxDurability() const;
    // Durability drops by one a step, down to 0; an item that does not wear
    // is left as it is.
    void Deteriorate(uint32_t steps);
    // Durability 0 of a kind that wears.
    bool IsWornOut() const;

    // The 25 bytes: type u16, count u32, age u32, durability u16, property1
    // u16, property2 u16, status u8, quality u8, damage u8, armourClass u8,
    // reserved u8, value u32. Load reads all 25 or, when fewer remain,
    // throws vek::CFileException code 5 and keeps the item as it was.
    void Load() override;
    virtual void Save() const;

    template <class Self, class IO>
    static void Fields(Self& item, IO& io) {
        io.Field(item.type), io.Field(item.count), io.Field(item.age), io.Field(item.durability);
        io.Field(item.property1), io.Field(item.property2);
        io.Field(item.status), io.Field(item.quality), io.Field(item.damage), io.Field(item.armourClass);
        io.Field(item.reserved), io.Field(item.value);
    }

    uint16_t type = 0;
    uint32_t count = 0;
    // Seconds lying about since the last deterioration step.
    uint32_t age = 0;
    uint16_t durability = 0;
    // Values the maker gives (scripts set them by number).
    uint16_t property1 = 0;
    uint16_t property2 = 0;
    uint8_t status = 0;
    // 0: ordinary.
    uint8_t quality = 0;
    // The instance's own damage and armour class over its kind's.
    uint8_t damage = 0;
    uint8_t armourClass = 0;
    // Stored and compared; no other use yet.
    uint8_t reserved = 0;
    uint32_t value = 0;
};

// The item returned where an empty one is needed; every field zero. It lives
// from before the program's entry to its exit.
extern const CItem g_blankItem;

// An item pile in the save byte stream: u32 count, then each item's Save.
void SaveItemVector(const std::vector<CItem>& items);
// The pile becomes the stored one. A count that the remaining bytes cannot
// hold, or an item cut short, throws vek::CFileException code 5 and leaves
// the pile as it was.
void LoadItemVector(std::vector<CItem>& items);
