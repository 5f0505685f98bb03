#pragma once
// Base of every persistent object: it is counted while it lives, and every
// Load and Save of it is counted in the save byte stream (VEKLib/Stream.h).
#include <cstdint>

namespace vek {

class ISerializable {
public:
    ISerializable() noexcept;
    // A copy is one more live object.
    ISerializable(const ISerializable&) noexcept;
    // Assignment changes no object's existence, so no count changes.
    ISerializable& operator=(const ISerializable&) noexcept { return *this; }
    virtual ~ISerializable();

    // Adds one to the save stream's object count. Const because a Save,
    // which does not change the object, ends with it.
    virtual void CountObject() const;
    // Persistent classes override it; the default only counts.
    virtual void Load();
    // Each persistent class adds its own `virtual void Save() const`; the
    // stream's vector templates call it by name.
};

// Number of ISerializable objects that exist now.
uint32_t GetLiveObjectCount();

// Counts among them without being one: a record kept by the ten thousand
// holds it as a member, which takes no room, where a base would give every
// record a table pointer. The record then counts its Load and Save itself.
class CLiveCount {
public:
    CLiveCount() noexcept;
    CLiveCount(const CLiveCount&) noexcept;
    CLiveCount& operator=(const CLiveCount&) noexcept { return *this; }
    ~CLiveCount();
};

} // namespace vek
