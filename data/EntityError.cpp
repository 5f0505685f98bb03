#include "data/Tables.h"

#include <iterator>

namespace {

const wchar_t* const kKindWords[] = {L"Item", L"Monster", L"NPC", L"Spell", L"Terrain", L"Object", L"Encounter"};

} // namespace

CEntityError::CEntityError(const std::wstring& function, const std::wstring& sourceFile, int32_t line, uint32_t kind,
                           const std::wstring& name)
    : vek::CException(function, sourceFile, line, KindWord(kind) + L" entity not found: " + name),
      m_kind(kind),
      m_name(name) {}

CEntityError::~CEntityError() = default;

std::wstring CEntityError::KindWord(uint32_t kind) {
    return kind < std::size(kKindWords) ? kKindWords[kind] : L"Unknown";
}
