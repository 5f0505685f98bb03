#include "data/Grammar.h"

#include "VEKLib/Config.h"
#include "VEKLib/Strings.h"
#include "data/StringResource.h"

namespace {

std::wstring DisplayLanguage(vek::CConfig& config) { return config.FindEntry(L"lang").GetString(); }

bool IsPolish(const std::wstring& language) { return vek::equals(language, L"pl", false); }

} // namespace

bool CGrammar::UsePluralForm(uint32_t count, vek::CConfig& config) {
    return UsePluralForm(count, DisplayLanguage(config));
}

bool CGrammar::UsePluralForm(uint32_t count, const std::wstring& language) {
    if (!IsPolish(language)) {
        return count != 1;
    }
    if (count <= 1) {
        return false;
    }
    if (count <= 4) {
        return true;
    }
    if (count <= 20) {
        return false;
    }
    const uint32_t last = count % 10;
    return last >= 2 && last <= 4;
}

std::wstring CGrammar::GetPronounByFlags(vek::CConfig& config, const CStringResource& strings, uint32_t creatureType,
                                         std::optional<uint8_t> kindFlags) {
    if (creatureType != kCreatureNpc && !IsPolish(DisplayLanguage(config))) {
        return strings.Get(L"STR_PRONOUN_IT");
    }
    // The hero has no monster kind to ask: no gender, as for a neuter kind.
    const uint8_t flags = kindFlags.value_or(0);
    if ((flags & kMonsterFlagFemale) != 0) {
        return strings.Get(L"STR_PRONOUN_HER");
    }
    if ((flags & kMonsterFlagMale) != 0) {
        return strings.Get(L"STR_PRONOUN_HIM");
    }
    return std::wstring();
}
