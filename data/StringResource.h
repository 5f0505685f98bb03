#pragma once
// Every text the game shows, keyed by a "STR_" tag, read from one string file
// per language; and the display names of locations and world regions.
//
// A string file holds lines "TAG text": the first space ends the tag, the text
// runs to the end of the line, "\n" in a text is a line break, and a line
// without a text (a blank line, a line without a space) is ignored, which
// serves for comments. Two backslashes in a row end the file.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace vek {
class CLog;
}

// Number of skills; their names lead the script-language string file.
inline constexpr uint32_t kSkillCount = 28;
// The first skill name and the tag that closes the skill block.
inline constexpr wchar_t kFirstSkillTag[] = L"STR_OTHER_SKILL_SIDEARMS";
inline constexpr wchar_t kSkillBlockEndTag[] = L"STR_OTHER_BATTLE_SKILLS";

// What the region lookup needs of a location.
struct TRegionQuery {
    std::wstring locationId;  // named in the warning
    std::wstring worldPartId; // empty: "worldpart0"
};

class CStringResource {
public:
    // A silent resource answers a missing tag with an empty text and logs
    // nothing; otherwise the tag itself is shown and the miss is logged.
    // log: where misses and missing place names are written (not owned);
    // null writes them to standard output.
    explicit CStringResource(bool silent = false, const vek::CLog* log = nullptr);
    CStringResource(const CStringResource&) = delete;
    CStringResource& operator=(const CStringResource&) = delete;
    ~CStringResource();

    // "Data/strings." + language + ".txt".
    static std::wstring GetFileName(const std::wstring& language);

    // Reads one string file, UTF-8, through the archive-aware file. With a
    // stop tag (case ignored) reading ends after the line that carries it.
    // File errors are CFileException.
    void LoadFile(const std::wstring& fileName, const wchar_t* stopTag = nullptr);
    // The same for text already read.
    void LoadText(const std::wstring& text, const wchar_t* stopTag = nullptr);

    // The game's two-language load: the script-language file up to the end of
    // its skill block, whose 28 names are returned (skills 1 to 28, the names
    // scripts use) and then dropped along with the block's closing line, so
    // that the display-language file, read whole next, supplies them. Throws
    // CException, before anything is dropped, when the block is not whole.
    std::vector<std::wstring> LoadGameStrings(const std::wstring& scriptLanguage, const std::wstring& language);

    // Gives the text the next number (one above the largest in use; 0 for
    // the first). A tag that is already present keeps its old text.
    void AddString(const std::wstring& text, const std::wstring& tag);
    // Erases the text of that number and the tag that names it; CException
    // "Couldn't find string %i" when there is no such text.
    void Remove(int32_t number);

    std::wstring Get(const std::wstring& tag) const;
    // 0 (after OnTagNotFound) for an absent tag.
    int32_t GetId(const std::wstring& tag) const;
    // An absent number: OnTagNotFound of "#" and the number.
    std::wstring GetById(int32_t number) const;
    bool Exists(const std::wstring& tag) const;
    // Silent: empty text. Otherwise logs "Error - tag not found: " + tag and
    // returns the tag, so the screen shows what is missing.
    std::wstring OnTagNotFound(const std::wstring& tag) const;

    // Place names. Location identifiers are looked up upper-cased, so the
    // world's loader stores them so; region identifiers are taken as given.
    // The first name stored for an identifier stays.
    void AddPlaceName(const std::wstring& id, const std::wstring& name);
    // All place names at once, replacing those there were.
    void SetPlaceNames(std::map<std::wstring, std::wstring> names) { m_placeNames = std::move(names); }
    const std::map<std::wstring, std::wstring>& GetPlaceNames() const { return m_placeNames; }
    // Empty text when absent; the warning is logged unless quiet.
    std::wstring GetLocName(const std::wstring& locationId, bool quiet) const;
    // No location, or no name for its region: empty text (the latter logged).
    std::wstring GetRegionName(const TRegionQuery* location) const;

    bool IsSilent() const { return m_silent; }
    size_t GetCount() const { return m_texts.size(); }
    const std::map<int32_t, std::wstring>& GetTexts() const { return m_texts; }
    const std::map<std::wstring, int32_t>& GetNumbers() const { return m_numbers; }

private:
    void Log(const std::wstring& line) const;

    std::map<int32_t, std::wstring> m_texts;   // by string number
    std::map<std::wstring, int32_t> m_numbers; // by tag, compared exactly
    std::map<std::wstring, std::wstring> m_placeNames;
    bool m_silent;
    const vek::CLog* m_log;
};
