#pragma once
// The two language-dependent choices that messages need beyond the string
// table: whether a count takes the plural form ("_PLURAL" tags), and which
// pronoun names a creature. Both follow the display language "lang".
#include <cstdint>
#include <optional>
#include <string>

namespace vek {
class CConfig;
}
class CStringResource;

// Creature kinds as the creature's kind query answers them.
enum : uint32_t {
    kCreatureHero = 0,
    kCreatureMonster = 1,
    kCreatureNpc = 2,
};

// Monster kind flags that give a gendered pronoun.
inline constexpr uint8_t kMonsterFlagMale = 4;
inline constexpr uint8_t kMonsterFlagFemale = 8;

class CGrammar {
public:
    // pl: 2-4 and, above 20, any count ending in 2-4; other languages: every
    // count but 1.
    static bool UsePluralForm(uint32_t count, vek::CConfig& config);
    static bool UsePluralForm(uint32_t count, const std::wstring& language);

    // creatureType: kCreatureHero, kCreatureMonster or kCreatureNpc.
    // monsterKind: the creature's position in the monster table; the hero
    // has none. monsters: the monster table, any container of records with a
    // `flags` member. A kind the table does not hold counts as no flags.
    template <class MonsterTable>
    static std::wstring GetPronoun(vek::CConfig& config, const CStringResource& strings, uint32_t creatureType,
                                   std::optional<uint16_t> monsterKind, const MonsterTable& monsters) {
        std::optional<uint8_t> flags;
        if (monsterKind && *monsterKind < monsters.size()) {
            flags = static_cast<uint8_t>(monsters[*monsterKind].flags);
        }
        return GetPronounByFlags(config, strings, creatureType, flags);
    }

    // The same with the kind's flags already looked up (none: not known).
    static std::wstring GetPronounByFlags(vek::CConfig& config, const CStringResource& strings, uint32_t creatureType,
                                          std::optional<uint8_t> kindFlags);
};
