#include "shell/QuestLog.h"

#include <algorithm>

#include "VEKLib/Exception.h"
#include "VEKLib/Strings.h"
#include "rules/StoredForm.h"

void CQuestLog::End(const std::wstring& name) {
    auto named = [&name](const TQuestLogEntry& entry) { return vek::equals(entry.name, name); };
    const auto open = std::find_if(m_entries.begin(), m_entries.end(),
                                   [&](const TQuestLogEntry& entry) { return named(entry) && entry.completed == 0; });
    if (open != m_entries.end()) {
        open->completed = 1;
        return;
    }
    const bool known = std::any_of(m_entries.begin(), m_entries.end(), named);
    throw vek::CException(L"CGameplayInterface::EndQuest", L"QuestLog", __LINE__,
                          L"Quest '" + name + (known ? L"' already completed." : L"' not found."));
}

void CQuestLog::Save() const {
    TStreamWriter writer;
    writer.Field(m_entries);
}

void CQuestLog::Load() {
    std::vector<TQuestLogEntry> loaded;
    TStreamReader reader(L"CQuestLog::Load", L"QuestLog");
    reader.Field(loaded);
    m_entries.swap(loaded);
}
