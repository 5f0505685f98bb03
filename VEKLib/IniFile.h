#pragma once
// The library's ini text format: named sections of `key = value` lines.
//
// The reader parses the whole text at once and keeps every value raw (outer
// white space removed, quotation marks kept); a typed getter converts a value
// only when asked. Every syntax or type fault is a vek::CException from
// source file "IniFile". Keys and section names match ignoring case; the first
// of duplicate sections or keys wins. A missing key yields the caller's
// default unchanged; a missing section is an error. When the text has a
// source name (Load sets it to the path), every fault's message ends with
// the name and, where there is one, the line: " (Data/game.ini, line 3)".
//
// The writer is a text builder (WriteEntry) plus a file save (SaveToFile);
// the caller appends section headers itself.
#include <cstdint>
#include <string>
#include <vector>

#include "VEKLib/Strings.h"

namespace vek {

class CValue;

struct TIniEntry {
    std::wstring key;   // white space removed
    std::wstring value; // raw: quotation marks kept
    uint32_t line = 0;  // where it stands in the text (from 1); 0 when unknown
};

struct TIniSection {
    std::vector<TIniEntry> entries; // file order
    std::wstring name;              // as written between the brackets
};

class CIniFile {
public:
    static constexpr uint32_t kNoSection = 0xFFFFFFFFu;

    // The two reserves only size the storage a parse sets aside up front.
    explicit CIniFile(uint32_t sectionReserve = 5, uint32_t entryReserve = 20);

    // --- Reading ------------------------------------------------------------
    // Reads the whole file (encoding code 0..3, byte-order mark expected)
    // into the text, then parses it. File errors are CFileException.
    void Load(const std::wstring& path, uint32_t encoding);
    // Fills the sections from the text. The first section is always an
    // unnamed, empty one; the file's sections follow in order. Parsing again
    // rebuilds the sections from the same text. A text that ends inside a
    // quoted value (a file cut short) is refused.
    void Parse();
    // The file the text came from, named in the messages of its faults.
    void SetSourceName(const std::wstring& name) { m_sourceName = name; }
    const std::wstring& GetSourceName() const { return m_sourceName; }
    // Splits one line into key and value; true when both are non-empty.
    bool GetExpression(const std::wstring& line, std::wstring& key, std::wstring& value);

    // Raw value of the first matching key in the first matching section, or
    // `def` when that section has no such key.
    std::wstring GetValue(const std::wstring& key, const std::wstring& section, const std::wstring& def);
    std::wstring GetValue(const std::wstring& key, const std::wstring& section, const wchar_t* def);

    // Typed getters. `flagSums`: the value may be numbers joined by '|',
    // which are added up (SumFlags) instead of read as one number.
    uint32_t GetValue(const std::wstring& key, const std::wstring& section, uint32_t def, bool flagSums = false);
    int32_t GetValue(const std::wstring& key, const std::wstring& section, int32_t def, bool flagSums = false);
    uint16_t GetValue(const std::wstring& key, const std::wstring& section, uint16_t def, bool flagSums = false);
    uint8_t GetValue(const std::wstring& key, const std::wstring& section, uint8_t def, bool flagSums = false);
    int64_t GetValue(const std::wstring& key, const std::wstring& section, int64_t def, bool flagSums = false);
    float GetValue(const std::wstring& key, const std::wstring& section, float def);
    bool GetValue(const std::wstring& key, const std::wstring& section, bool def);

    // The text between quotation marks of `raw`, read from `position` on;
    // `position` ends behind the closing mark (or at the end of `raw`).
    std::wstring GetString(const std::wstring& raw, size_t& position);
    // Text value of a key; `def` when the key is missing. A null `def` is empty.
    std::wstring GetStringValue(const std::wstring& key, const std::wstring& section, const std::wstring& def);
    std::wstring GetStringValue(const std::wstring& key, const std::wstring& section, const wchar_t* def);
    // "#" and hexadecimal digits, or decimal digits.
    uint32_t GetHexColorValue(const std::wstring& key, const std::wstring& section, uint32_t def);

    // Sum of a '|'-separated list of decimal numbers; a number equal to the
    // one right before it is not added again. Wraps at 64 bits.
    static uint64_t SumFlags(const std::wstring& raw);

    // --- Writing ------------------------------------------------------------
    // Appends `name = value` and CR LF; text values go between quotation
    // marks. A name or text the reader could not give back unchanged is
    // refused with a CException before anything is appended.
    static void WriteEntry(std::wstring& output, const std::wstring& name, const CValue& value);
    // Stores the output; a missing folder of the path is created first.
    void SaveToFile(const std::wstring& path, uint32_t encoding);

    // --- State --------------------------------------------------------------
    std::wstring& Text() { return m_text; }
    const std::wstring& Text() const { return m_text; }
    std::wstring& Output() { return m_output; }
    const std::wstring& Output() const { return m_output; }
    const std::vector<TIniSection>& GetSections() const { return m_sections; }
    // Index of the section that the last lookup found; kNoSection when none.
    uint32_t GetCurrentSection() const { return m_currentSection; }
    // Drops the text, the sections and the output.
    void Clear();

private:
    // The raw value, or null when the section has no such key.
    const std::wstring* Find(const std::wstring& key, const std::wstring& section);
    // A CException whose message ends with where the fault is (see above).
    [[noreturn]] void Fail(const wchar_t* function, int32_t line, const std::wstring& message) const;
    [[noreturn]] void InvalidType(int32_t line, const std::wstring& key, const wchar_t* detail = L"") const;

    std::vector<TIniSection> m_sections;
    std::wstring m_text;
    std::wstring m_line;
    uint32_t m_currentSection = kNoSection;
    std::wstring m_output;
    std::wstring m_sourceName;
    uint32_t m_faultLine = 0; // the line being parsed, or that of the key last found; 0 none
    uint32_t m_sectionReserve;
    uint32_t m_entryReserve;
};

} // namespace vek
