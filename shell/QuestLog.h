#pragma once
// The quest log: the quests that scripts began, in order, and whether each
// is done. Saved with the game.
#include <cstdint>
#include <string>
#include <vector>

struct TQuestLogEntry {
    static constexpr uint32_t kMinStoredSize = 17;

    // The four texts, then the completed byte (1 done).
    template <class Self, class IO>
    static void Fields(Self& entry, IO& io) {
        io.Field(entry.name), io.Field(entry.title), io.Field(entry.description), io.Field(entry.giver);
        io.Field(entry.completed);
    }
    bool operator==(const TQuestLogEntry&) const = default;

    // How scripts name the quest.
    std::wstring name;
    // What the quest log window shows of it.
    std::wstring title;
    std::wstring description;
    std::wstring giver;
    uint8_t completed = 0;
};

class CQuestLog {
public:
    void Begin(TQuestLogEntry entry) { m_entries.push_back(std::move(entry)); }
    // The first open quest of that name (case ignored) is done.
    // vek::CException "Quest 'name' already completed." when every quest of
    // that name is, "Quest 'name' not found." when none has it.
    void End(const std::wstring& name);
    const std::vector<TQuestLogEntry>& GetEntries() const { return m_entries; }
    void Clear() { m_entries.clear(); }

    // u32 count, then each entry. Load replaces the entries only when the
    // whole list is read (else vek::CFileException code 5).
    void Save() const;
    void Load();

private:
    std::vector<TQuestLogEntry> m_entries;
};
