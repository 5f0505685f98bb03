// The group table that random locations draw their creatures from, made from
// the monster table: weak kinds first, so that shallow levels draw from its
// start and deep ones from its end.
#include <algorithm>
#include <limits>
#include <utility>

#include "data/Tables.h"

namespace {

// Hit points times the sum of the damage bounds: twice hit points times the
// mean damage, exact in 64 bits for any record.
uint64_t Strength(const TMonsterInfo& monster) {
    return static_cast<uint64_t>(monster.hp) * (static_cast<uint64_t>(monster.dmg1) + monster.dmg2);
}

} // namespace

std::vector<TGroupTableEntry> BuildGroupTable(const std::vector<TMonsterInfo>& monsters) {
    std::vector<std::pair<uint64_t, TGroupTableEntry>> met;
    for (size_t kind = 0; kind < monsters.size() && kind <= std::numeric_limits<uint16_t>::max(); ++kind) {
        const TMonsterInfo& monster = monsters[kind];
        if (monster.occurrence == 0) {
            continue;
        }
        const uint64_t strength = Strength(monster);
        met.push_back({strength, TGroupTableEntry{static_cast<uint16_t>(kind), monster.occurrence,
                                                  static_cast<uint32_t>(std::min<uint64_t>(
                                                      strength, std::numeric_limits<uint32_t>::max()))}});
    }
    // Listed by kind: a stable sort keeps equal ones in kind order.
    std::stable_sort(met.begin(), met.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<TGroupTableEntry> table;
    table.reserve(met.size());
    for (const auto& entry : met) {
        table.push_back(entry.second);
    }
    return table;
}
