#pragma once
// A location's alarm: the game script declares it ("alarm" blocks) and the
// location keeps a copy of the list when it prepares its script.
#include <cstdint>
#include <string>
#include <vector>

// One entry of an alarm.
struct TAlarmEntry {
    enum : uint32_t { kGroup = 0 }; // kind: the entry names a creature group
    enum : uint32_t { kRaise = 1 }; // action: raise the alarm

    uint32_t kind = kGroup;
    uint32_t action = 0;
    std::wstring name; // the group's name

    bool operator==(const TAlarmEntry&) const = default;
};

// An alarm of a location: when one member of a named group is attacked, the
// others turn on the attacker. The counter (seconds) must reach an hour
// before the alarm can be raised again.
struct TAlarm {
    static constexpr uint64_t kPresetCounter = 43200;

    std::wstring name;
    uint32_t unused = 0;
    uint64_t counter = kPresetCounter;
    std::vector<TAlarmEntry> entries;

    bool operator==(const TAlarm&) const = default;
};
