#pragma once
// The bestiary's lore: what is told of each monster kind, read from the lore
// file of the display language, "Data/lore." + language + ".txt". The file
// is a string file whose tags are "LORE_MON" and the number of the monster's
// section in the monster table ("mon1" is the table's first monster). The
// lore has a string resource of its own, so it never mixes with the game's
// texts, and a monster without lore has none (nothing is logged).
#include <cstdint>
#include <memory>
#include <string>

#include "data/StringResource.h"

class CBestiary {
public:
    CBestiary();

    static std::wstring GetLoreFileName(const std::wstring& language);
    // The lore of that language in place of what was read before; the file
    // error of the archive-aware file when it cannot be read, which leaves
    // the lore as it was.
    void Load(const std::wstring& language);
    // The lore of the monster kind (its position in the monster table);
    // empty when there is none.
    std::wstring GetLore(uint16_t monsterType) const;

    const CStringResource& GetStrings() const { return *m_lore; }

private:
    std::unique_ptr<CStringResource> m_lore;
};
