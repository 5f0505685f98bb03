#pragma once
// The records a location keeps in its cells and lists: the special object of
// a cell, rules and effects, with the forms they take in the save byte stream
// (VEKLib/Stream.h). Alarms are the game script's records (script/Alarm.h).
#include <cstdint>
#include <string>
#include <vector>

#include "VEKLib/Map2D.h"
#include "VEKLib/Serializable.h"
#include "VEKLib/Stream.h"
#include "script/Alarm.h"

// Kinds of special object.
enum : uint16_t {
    kSpecialPassage = 1,     // portal, exit or stairs
    kSpecialParameter = 2,   // parameter object (editor)
    kSpecialText = 3,        // text object
    kSpecialDoor = 4,        // door, which may carry a trap
    kSpecialTransformer = 5, // gem transformer
    kSpecialScripted = 6,    // runs a script when used
    kSpecialSiteExit = 7,    // becomes a passage when a site is generated
    kSpecialGrowingSpot = 8, // where an ingredient grows
};

// The special object of one cell: four fields and a byte buffer whose
// content depends on the kind (a text as UTF-16 units, a trap's 5-byte
// record, a door's or passage's record). When `active` is 0 the cell has no
// object and the other fields mean nothing.
class TSpecialObject : public vek::IByteStream {
public:
    // Bytes of the fixed part in the stream, before the buffer.
    static constexpr uint32_t kFixedSize = 12;

    TSpecialObject() = default;
    TSpecialObject(const TSpecialObject&) = default;
    TSpecialObject& operator=(const TSpecialObject&) = default;
    ~TSpecialObject() override;

    // active (u8), a reserved byte written 0, kind (u16), appearance (u16),
    // two reserved bytes written 0, value (u32); then the buffer (u32 length
    // and the bytes). Counts one object.
    void Save() const override;
    // The same back; the reserved bytes are ignored and the read position
    // becomes 0. The fixed part is read only when all of it remains.
    void Load() override;

    bool operator==(const TSpecialObject& other) const {
        return active == other.active && kind == other.kind && appearance == other.appearance && value == other.value &&
               m_buffer == other.m_buffer && m_position == other.m_position;
    }

    uint8_t active = 0;
    uint16_t kind = 0;
    uint16_t appearance = 0; // object definition: picture and passable bit
    uint32_t value = 0;
};

template <>
struct vek::TMapCellName<TSpecialObject> {
    static constexpr const wchar_t* kName = L"struct TSpecialObject";
};

// A rule of a location: its end cell must be reachable from its start cell
// (the editor sets them; generation keeps only layouts that satisfy them).
struct TLocRule {
    static constexpr uint32_t kStoredSize = 16;

    int32_t startX = 0;
    int32_t startY = 0;
    int32_t endX = 0;
    int32_t endY = 0;

    // Four i32 values.
    void WriteFields() const;
    void ReadFields();

    bool operator==(const TLocRule&) const = default;
};

// An effect of a location: a key and a value (only one entry per key).
class TLocEffect : public vek::ISerializable {
public:
    // The stored form: key and value, then 12 reserved bytes (written 0).
    static constexpr uint32_t kStoredSize = 20;
    static constexpr uint32_t kReservedSize = 12;

    TLocEffect() = default;
    TLocEffect(uint32_t effectKey, uint32_t effectValue) : key(effectKey), value(effectValue) {}
    TLocEffect(const TLocEffect&) = default;
    TLocEffect& operator=(const TLocEffect&) = default;
    ~TLocEffect() override;

    // Counts one object. Load reads only when all 20 bytes remain.
    void Load() override;
    virtual void Save() const;

    bool operator==(const TLocEffect& other) const { return key == other.key && value == other.value; }

    uint32_t key = 0;
    uint32_t value = 0;
};

// The effect list in the stream: u32 count, then each effect's stored form.
void SaveEffectVector(const std::vector<TLocEffect>& effects);
void LoadEffectVector(std::vector<TLocEffect>& effects);
