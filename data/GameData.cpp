#include "data/GameData.h"

#include <algorithm>
#include <limits>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"

CGameData* g_gameData = nullptr;

namespace {

const wchar_t* const kSource = L"GameData";

// Whether the text after "#" is a decimal number: digits alone.
bool IsDecimalNumber(const std::wstring& digits) {
    return !digits.empty() &&
           std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// The digits after "#": the item type they name, or none when they are not
// decimal digits alone or do not fit 16 bits (a larger number must not wrap
// round to some other item).
std::optional<uint16_t> ParseItemNumber(const std::wstring& digits) {
    if (!IsDecimalNumber(digits)) {
        return std::nullopt;
    }
    const uint32_t value = vek::WcsToUL(digits.c_str(), nullptr, 10);
    if (value > std::numeric_limits<uint16_t>::max()) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

// The first record among the first `limit` whose name is `name`, ignoring case.
template <class T, class NameOf>
std::optional<uint16_t> FindByName(const std::vector<T>& table, const std::wstring& name, size_t limit, NameOf nameOf) {
    const size_t count = std::min(table.size(), limit);
    for (size_t i = 0; i < count; ++i) {
        if (vek::equals(nameOf(table[i]), name)) {
            return static_cast<uint16_t>(i);
        }
    }
    return std::nullopt;
}

template <class T>
std::optional<uint16_t> FindByName(const std::vector<T>& table, const std::wstring& name) {
    // Positions are 16-bit kind numbers.
    return FindByName(table, name, std::numeric_limits<uint16_t>::max(), [](const T& t) { return t.name; });
}

} // namespace

uint16_t ScaleU16(uint16_t value, float factor) {
    const float scaled = static_cast<float>(value) * factor + 0.5f;
    // A negative factor would otherwise wrap round to a large value.
    if (!(scaled >= 1.0f)) {
        return 0;
    }
    if (scaled >= 65535.0f) {
        return 65535;
    }
    return static_cast<uint16_t>(scaled);
}

CGameData::CGameData() : m_display(std::make_unique<CConsoleDisplay>([this](const std::wstring& text) { Log(text); })) {
    m_config.SetFileName(ChooseConfigFileName());
    m_consoleLog.m_target = vek::kLogStdOut;
}

CGameData::~CGameData() {
    if (g_gameData == this) {
        g_gameData = nullptr;
    }
}

void CGameData::Log(const std::wstring& text) const {
    if (m_logSink) {
        m_logSink(text);
    } else {
        vek::LogWrite(m_consoleLog, text, true);
    }
}

// --- The game clock -------------------------------------------------------------------------

uint32_t CGameData::GetElapsedTime() const {
    if (!m_locExitTime.has_value() || *m_locExitTime > m_clock) {
        return 0;
    }
    return static_cast<uint32_t>(std::min<uint64_t>(m_clock - *m_locExitTime, kMaxElapsedTime));
}

// --- Look-ups --------------------------------------------------------------------------------

uint16_t CGameData::FindMonsterType(const std::wstring& name) const {
    // The last position would read as kNoMonster.
    return FindByName(GetTables().monsters, name, kNoMonster, [](const TMonsterInfo& m) { return m.name; })
        .value_or(kNoMonster);
}

uint16_t CGameData::GetItemByName(const std::wstring& name) const {
    if (name.starts_with(L"##")) {
        const uint16_t monster = FindMonsterType(name.substr(2));
        // kNoMonster must not become a corpse type, nor may a corpse type
        // run past 16 bits into the small item numbers.
        if (monster == kNoMonster || uint32_t{kCorpseBase} + monster >= kNoItem) {
            return kNoItem;
        }
        return static_cast<uint16_t>(kCorpseBase + monster);
    }
    if (name.starts_with(L"#")) {
        const std::optional<uint16_t> number = ParseItemNumber(name.substr(1));
        if (!number.has_value()) {
            throw vek::CException(L"CGame::GetItemByName", kSource, __LINE__, L"Invalid item name: " + name);
        }
        return *number;
    }
    // An item past kCorpseBase could not be told from a corpse.
    return FindByName(GetTables().items, name, kCorpseBase, [](const TItemInfo& i) { return i.name; })
        .value_or(kNoItem);
}

bool CGameData::IsKnownEntityName(const std::wstring& text) const {
    // Any number parses, also one that names no item type.
    if (!text.starts_with(L"##") && text.starts_with(L"#")) {
        return IsDecimalNumber(text.substr(1));
    }
    return GetItemByName(text) != kNoItem;
}

uint16_t CGameData::FindEntity(const std::wstring& name, uint32_t kind) const {
    const CDefinitionTables& tables = GetTables();
    std::optional<uint16_t> found;
    switch (kind) {
    case CEntityError::kItem: {
        const uint16_t item = GetItemByName(name);
        if (item != kNoItem) {
            found = item;
        }
        break;
    }
    case CEntityError::kMonster: {
        const uint16_t monster = FindMonsterType(name);
        if (monster != kNoMonster) {
            found = monster;
        }
        break;
    }
    case CEntityError::kSpell:
        found = FindByName(tables.spells, name);
        break;
    case CEntityError::kTerrain:
        found = FindByName(tables.terrain, name);
        break;
    case CEntityError::kObject:
        found = FindByName(tables.objects, name);
        break;
    case CEntityError::kEncounter:
        found = FindByName(tables.encounters, name, std::numeric_limits<uint16_t>::max(),
                           [](const TEncounterInfo& e) { return e.InternalText; });
        break;
    default:
        break;
    }
    if (!found.has_value()) {
        throw CEntityError(L"CGame::FindEntity", kSource, __LINE__, kind, name);
    }
    return *found;
}

std::wstring CGameData::GetSkillName(uint32_t skill) const {
    // Another number would read a neighbouring text of the file as a skill.
    if (skill < 1 || skill > kSkillCount || !m_strings.Exists(kFirstSkillTag)) {
        return m_strings.OnTagNotFound(vek::Format(L"Skill %lu", skill));
    }
    return m_strings.GetById(m_strings.GetId(kFirstSkillTag) + static_cast<int32_t>(skill) - 1);
}

// --- Display and input -----------------------------------------------------------------------

void CGameData::SetDisplay(std::unique_ptr<IGameDisplay> display) {
    if (display == nullptr) {
        display = std::make_unique<CConsoleDisplay>([this](const std::wstring& text) { Log(text); });
    }
    m_display = std::move(display);
}

void CGameData::AddMessage(const std::wstring& text, uint32_t type, bool flag) {
    m_display->AddMessage(text, type, flag);
}

void CGameData::ShowMessage(uint32_t duration, const std::wstring& text) {
    m_display->ShowMessage(text, duration);
    m_clock += duration;
}

void CGameData::ShowImportantMessage(const std::wstring& text, bool flag) {
    // Written before the window waits for the player: a game killed under
    // the message still leaves its line.
    if (m_importantLog) {
        m_importantLog(text);
    }
    m_display->ShowImportantMessage(m_strings.Get(L"STR_IMPORTANT_MSG"), text, flag);
}

void CGameData::OpenWindow(uint32_t windowId, uint32_t mode, uint32_t extra) {
    m_display->OpenWindow(windowId, mode, extra);
}
