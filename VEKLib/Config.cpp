#include "VEKLib/Config.h"

#include <bit>
#include <memory>

#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Format.h"
#include "VEKLib/IniFile.h"
#include "VEKLib/Strings.h"
#include "VEKLib/Xml.h"
#include "platform/File.h"

namespace vek {

// --- CValue --------------------------------------------------------------------

CValue CValue::Make(uint32_t kind, uint64_t payload) {
    CValue value;
    value.m_kind = kind;
    value.m_payload = payload;
    return value;
}

CValue::CValue(const wchar_t* text) : m_kind(kText), m_text(text ? text : L"") {}

CValue::CValue(const std::wstring& text) : m_kind(kText), m_text(text) {}

CValue::CValue(int64_t value) : m_kind(kI64), m_payload(static_cast<uint64_t>(value)) {}

CValue::CValue(uint32_t kind, const std::wstring& text) : m_kind(kind) {
    switch (kind) {
    case kText:
        m_text = text;
        break;
    case kBool:
        m_payload = WcsToUL(text.c_str(), nullptr, 10) != 0 ? 1 : 0;
        break;
    case kInt:
    case kU32:
        m_payload = WcsToUL(text.c_str(), nullptr, 10);
        break;
    case kU8:
        m_payload = WcsToUL(text.c_str(), nullptr, 10) & 0xFFu;
        break;
    case kU16:
        m_payload = WcsToUL(text.c_str(), nullptr, 10) & 0xFFFFu;
        break;
    case kI64:
        m_payload = WcsToUI64(text.c_str(), nullptr, 10);
        break;
    case kFloat:
        m_payload = std::bit_cast<uint32_t>(StrToFloat(text.c_str()));
        break;
    default:
        break;
    }
}

CValue CValue::FromBool(bool value) { return Make(kBool, value ? 1 : 0); }
CValue CValue::FromInt(int32_t value) { return Make(kInt, static_cast<uint32_t>(value)); }
CValue CValue::FromU8(uint8_t value) { return Make(kU8, value); }
CValue CValue::FromU16(uint16_t value) { return Make(kU16, value); }
CValue CValue::FromU32(uint32_t value) { return Make(kU32, value); }
CValue CValue::FromI64(int64_t value) { return CValue(value); }
CValue CValue::FromFloat(float value) { return Make(kFloat, std::bit_cast<uint32_t>(value)); }

float CValue::GetFloat() const { return std::bit_cast<float>(static_cast<uint32_t>(m_payload)); }

std::wstring CValue::ToString() const {
    switch (m_kind) {
    case kText:
        return m_text;
    case kBool:
        return GetBool() ? L"1" : L"0";
    case kInt:
        return Format(L"%i", GetInt());
    case kU8:
        return Format(L"%u", static_cast<uint32_t>(GetU8()));
    case kU16:
        return Format(L"%u", static_cast<uint32_t>(GetU16()));
    case kU32:
        return Format(L"%u", GetU32());
    case kI64:
        return Format(L"%I64d", GetI64());
    case kFloat:
        return Format(L"%0.2f", static_cast<double>(GetFloat()));
    default:
        return std::wstring();
    }
}

// --- CConfig -------------------------------------------------------------------

namespace {

const wchar_t* const kSource = L"Config";

// Nothing at all by that name, whatever the case of its letters.
bool IsMissing(const std::wstring& fileName) {
    return platform::GetFileKind(LocateForReading(fileName)) == platform::FileKind::kMissing;
}

// What the XML reader takes as the end of a tag name.
bool UnsafeInXmlName(wchar_t c) { return IsSpace(c) || c == L'<' || c == L'>' || c == L'=' || c == L'/' || c == L'"'; }

void CheckXmlName(const std::wstring& name) {
    bool ok = !name.empty();
    for (wchar_t c : name) {
        ok = ok && !UnsafeInXmlName(c);
    }
    if (!ok) {
        throw CException(L"vek::CConfig::Save", kSource, __LINE__, L"Name cannot be an XML element: " + name);
    }
}

} // namespace

CConfig::CConfig(const std::wstring& baseName) : m_fileName(baseName + L".cfg"), m_baseName(baseName) {}

CConfig::~CConfig() = default;

void CConfig::SetFileName(const std::wstring& fileName) { m_fileName = fileName; }

void CConfig::SetFormat(uint32_t format, uint32_t encoding) {
    m_format = format;
    m_encoding = encoding;
    if (format == kFormatIni) {
        SetFileName(m_baseName + L".ini");
    } else if (format == kFormatXml) {
        SetFileName(m_baseName + L".xml");
    }
}

void CConfig::ResetToDefaults() {
    for (TEntry& entry : m_entries) {
        entry.value = entry.defaultValue;
    }
}

void CConfig::AddEntry(const std::wstring& name, const CValue& defaultValue) {
    m_entries.push_back(TEntry{name, CValue(), defaultValue});
}

CValue CConfig::FindEntry(const std::wstring& name) {
    for (const TEntry& entry : m_entries) {
        if (equals(entry.name, name)) {
            return entry.value;
        }
    }
    return CValue();
}

void CConfig::SetValue(const std::wstring& name, const CValue& value) {
    for (TEntry& entry : m_entries) {
        if (equals(entry.name, name)) {
            entry.value = value;
            return;
        }
    }
}

void CConfig::Clear() { m_entries.clear(); }

void CConfig::Load(bool allKeysAsText) {
    if (m_format == kFormatIni) {
        LoadIni(allKeysAsText);
    } else if (m_format == kFormatXml) {
        LoadXml(allKeysAsText);
    }
}

void CConfig::Save() {
    // A file cannot be written with encoding detection.
    const uint32_t encoding = m_encoding == kEncodingDetect ? kEncodingNarrow : m_encoding;
    if (m_format == kFormatIni) {
        SaveIni(encoding);
    } else if (m_format == kFormatXml) {
        SaveXml(encoding);
    }
}

void CConfig::LoadIni(bool allKeysAsText) {
    CIniFile ini;
    bool missing = false;
    try {
        ini.Load(m_fileName, m_encoding);
    } catch (const CFileException&) {
        // A file that is not there (yet) is no fault: the table keeps its
        // defaults. One that is there but cannot be read, or not as text, is
        // reported as what it is, with its name.
        if (!IsMissing(m_fileName)) {
            throw;
        }
        missing = true;
    }

    if (allKeysAsText) {
        Clear();
        for (const TIniSection& section : ini.GetSections()) {
            for (const TIniEntry& entry : section.entries) {
                AddEntry(entry.key, CValue(entry.value));
            }
        }
        return;
    }

    ResetToDefaults();
    if (missing) {
        return;
    }
    for (TEntry& entry : m_entries) {
        const std::wstring& name = entry.name;
        const CValue& current = entry.value;
        switch (current.GetKind()) {
        case CValue::kEmpty:
        case CValue::kText: {
            // The value takes the text and keeps its kind, empty included.
            entry.value.SetString(ini.GetStringValue(name, m_baseName, current.GetString()));
            break;
        }
        case CValue::kBool:
            entry.value = CValue::FromBool(ini.GetValue(name, m_baseName, current.GetBool()));
            break;
        case CValue::kInt:
            entry.value = CValue::FromInt(ini.GetValue(name, m_baseName, current.GetInt(), true));
            break;
        case CValue::kU8: {
            // Read as a signed int; a number that does not fit the byte is
            // refused rather than cut to its low bits.
            const int32_t value = ini.GetValue(name, m_baseName, static_cast<int32_t>(current.GetU8()), true);
            if (value > 0xFF) {
                throw CException(L"vek::CConfig::Load", kSource, __LINE__,
                                 L"Invalid type: " + name + L" (too high numeric value for unsigned char variable)");
            }
            entry.value = CValue::FromU8(static_cast<uint8_t>(value));
            break;
        }
        case CValue::kU16:
            entry.value = CValue::FromU16(ini.GetValue(name, m_baseName, current.GetU16(), true));
            break;
        case CValue::kU32:
            entry.value = CValue::FromU32(ini.GetValue(name, m_baseName, current.GetU32(), true));
            break;
        case CValue::kI64:
            entry.value = CValue::FromI64(ini.GetValue(name, m_baseName, current.GetI64(), true));
            break;
        case CValue::kFloat:
            entry.value = CValue::FromFloat(ini.GetValue(name, m_baseName, current.GetFloat()));
            break;
        default:
            break;
        }
    }
}

void CConfig::LoadXml(bool allKeysAsText) {
    std::unique_ptr<CXmlNode> root;
    try {
        CXmlReader::Read(root, m_fileName, m_encoding);
    } catch (const CFileException&) {
        // Like an ini file: only a missing one leaves the values alone.
        if (!IsMissing(m_fileName)) {
            throw;
        }
    }
    if (!root) {
        return;
    }
    if (allKeysAsText) {
        Clear();
        for (size_t i = 0; i < root->GetChildCount(); ++i) {
            const CXmlNode* child = root->GetChild(i);
            AddEntry(child->GetName(), CValue(child->GetValue()));
        }
        return;
    }
    for (TEntry& entry : m_entries) {
        if (const CXmlNode* child = root->FindChild(entry.name)) {
            entry.value = CValue(entry.defaultValue.GetKind(), child->GetValue());
        }
    }
}

void CConfig::SaveIni(uint32_t encoding) {
    // The reader takes only letters and digits in a section name.
    bool sectionOk = !m_baseName.empty();
    for (wchar_t c : m_baseName) {
        sectionOk = sectionOk && IsAlnum(c);
    }
    if (!sectionOk) {
        throw CException(L"vek::CConfig::Save", kSource, __LINE__, L"Name cannot be an ini section: " + m_baseName);
    }

    // Every entry is written to the text before the file is opened, so a
    // value that WriteEntry refuses leaves the file as it was.
    CIniFile ini;
    std::wstring& output = ini.Output();
    output = L"[" + m_baseName + L"]\r\n";
    for (const TEntry& entry : m_entries) {
        CIniFile::WriteEntry(output, entry.name, entry.value);
    }
    ini.SaveToFile(m_fileName, encoding);
}

void CConfig::SaveXml(uint32_t encoding) {
    CheckXmlName(m_baseName);
    for (const TEntry& entry : m_entries) {
        CheckXmlName(entry.name);
    }
    CXmlNode root(m_baseName, L"");
    for (const TEntry& entry : m_entries) {
        root.AppendChild(CXmlNode::AddChild(entry.name, entry.value.ToString()));
    }
    CXmlWriter(encoding, &root).Write(m_fileName);
}

} // namespace vek
