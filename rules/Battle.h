#pragma once
// Battle records: a named fight between two creature groups, kept with the
// hero (and saved with him) until the game looks at who won.
#include <cstdint>
#include <string>
#include <vector>

struct TBattleRecord {
    static constexpr uint32_t kMinStoredSize = 12;

    // The battle's name, then the two groups' ids (texts).
    template <class Self, class IO>
    static void Fields(Self& battle, IO& io) {
        io.Field(battle.name), io.Field(battle.group1), io.Field(battle.group2);
    }
    bool operator==(const TBattleRecord&) const = default;

    std::wstring name;
    std::wstring group1;
    std::wstring group2;
};

namespace vek {
// u32 count, then each record.
void WriteBattleVector(const std::vector<TBattleRecord>& battles);
// The records read from the stream replace the vector's. A count that the
// remaining bytes cannot hold, or a record cut short, throws
// vek::CFileException code 5 and leaves the vector as it was.
void ReadBattleVector(std::vector<TBattleRecord>& battles);
} // namespace vek
