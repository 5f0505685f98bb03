#pragma once
// Typed values and named configuration tables.
//
// CValue is a small tagged value of nine kinds with a text form. CConfig is a
// table of {name, current value, default} entries stored as one ini section
// or one XML root element, both named after the table's base name.
#include <cstdint>
#include <string>
#include <vector>

namespace vek {

class CValue {
public:
    enum : uint32_t {
        kEmpty = 0,
        kText = 1,
        kBool = 2,
        kInt = 3, // i32
        kU8 = 4,
        kU16 = 5,
        kU32 = 6,
        kI64 = 7,
        kFloat = 8,
    };

    CValue() = default;               // kind 0
    CValue(const wchar_t* text);      // kind 1; null counts as empty
    CValue(const std::wstring& text); // kind 1
    explicit CValue(int64_t value);   // kind 7
    // A value of `kind` read from `text`: 2 true for a non-zero decimal
    // number; 3 and 6 the 32-bit decimal conversion; 4 and 5 its low 8 or 16
    // bits; 7 the 64-bit one; 8 a float. Kind 0 and unknown kinds keep only
    // the kind.
    CValue(uint32_t kind, const std::wstring& text);

    static CValue FromBool(bool value);
    static CValue FromInt(int32_t value);
    static CValue FromU8(uint8_t value);
    static CValue FromU16(uint16_t value);
    static CValue FromU32(uint32_t value);
    static CValue FromI64(int64_t value);
    static CValue FromFloat(float value);

    uint32_t GetKind() const { return m_kind; }
    // Text form by kind: "" (empty), the text, "1"/"0", "%i", "%u", "%I64d",
    // "%0.2f"; "" for an unknown kind.
    std::wstring ToString() const;
    // The text of a kind-1 value.
    std::wstring GetString() const { return m_text; }
    // Sets the text field and keeps the kind (an empty value may carry text).
    void SetString(const std::wstring& text) { m_text = text; }

    // The payload read at the given width, whatever the kind.
    bool GetBool() const { return (m_payload & 0xFFu) != 0; }
    int32_t GetInt() const { return static_cast<int32_t>(static_cast<uint32_t>(m_payload)); }
    uint8_t GetU8() const { return static_cast<uint8_t>(m_payload); }
    uint16_t GetU16() const { return static_cast<uint16_t>(m_payload); }
    uint32_t GetU32() const { return static_cast<uint32_t>(m_payload); }
    int64_t GetI64() const { return static_cast<int64_t>(m_payload); }
    float GetFloat() const;

    bool operator==(const CValue& other) const = default;

private:
    static CValue Make(uint32_t kind, uint64_t payload);

    uint32_t m_kind = kEmpty;
    std::wstring m_text;
    // Eight bytes; narrower payloads sit in the low bytes, the rest zero.
    uint64_t m_payload = 0;
};

class CConfig {
public:
    enum : uint32_t { kFormatIni = 0, kFormatXml = 1 };

    struct TEntry {
        std::wstring name;
        CValue value; // current value; empty until reset or loaded
        CValue defaultValue;
    };

    // Format 0, encoding 0, no entries; file name = base name + ".cfg".
    explicit CConfig(const std::wstring& baseName);
    virtual void SetFileName(const std::wstring& fileName);
    virtual ~CConfig();
    // allKeysAsText false: reads the declared entries from the file; keys
    // missing from the file, and a missing file, leave the defaults.
    // allKeysAsText true: the entries become the file's keys, each with its
    // raw value as a text default and an empty current value.
    // Syntax and type faults are CException (entries read so far updated).
    virtual void Load(bool allKeysAsText);
    // Writes every entry; file errors are CFileException. Values the ini
    // form cannot hold are refused before the file is touched.
    virtual void Save();
    virtual void ResetToDefaults();
    // Names are not tested for duplicates; lookups take the first.
    virtual void AddEntry(const std::wstring& name, const CValue& defaultValue);
    // Current value of the first entry of that name (ignoring case); an
    // empty value when there is none.
    virtual CValue FindEntry(const std::wstring& name);
    // The first entry of that name takes the value, kind included; nothing
    // happens when there is none.
    virtual void SetValue(const std::wstring& name, const CValue& value);
    virtual void Clear();
    // Format 0 renames the file to base name + ".ini", 1 to + ".xml"; other
    // formats keep the name and make Load and Save do nothing.
    virtual void SetFormat(uint32_t format, uint32_t encoding);

    uint32_t GetFormat() const { return m_format; }
    uint32_t GetEncoding() const { return m_encoding; }
    const std::wstring& GetFileName() const { return m_fileName; }
    const std::wstring& GetBaseName() const { return m_baseName; }
    const std::vector<TEntry>& GetEntries() const { return m_entries; }

protected:
    void LoadIni(bool allKeysAsText);
    void LoadXml(bool allKeysAsText);
    void SaveIni(uint32_t encoding);
    void SaveXml(uint32_t encoding);

    uint32_t m_format = kFormatIni;
    uint32_t m_encoding = 0;
    std::wstring m_fileName;
    std::wstring m_baseName;
    std::vector<TEntry> m_entries;
};

} // namespace vek
