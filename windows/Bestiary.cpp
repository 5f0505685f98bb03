#include "windows/Bestiary.h"

#include "VEKLib/Format.h"
#include "data/Globals.h"

CBestiary::CBestiary() : m_lore(std::make_unique<CStringResource>(true)) {}

std::wstring CBestiary::GetLoreFileName(const std::wstring& language) {
    return std::wstring(kDataDir) + L"lore." + language + L".txt";
}

void CBestiary::Load(const std::wstring& language) {
    auto lore = std::make_unique<CStringResource>(true);
    lore->LoadFile(GetLoreFileName(language));
    m_lore = std::move(lore);
}

std::wstring CBestiary::GetLore(uint16_t monsterType) const {
    return m_lore->Get(vek::Format(L"LORE_MON%lu", uint32_t{monsterType} + 1));
}
