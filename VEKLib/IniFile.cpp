#include "VEKLib/IniFile.h"

#include <algorithm>
#include <limits>

#include "VEKLib/Config.h"
#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

namespace vek {

namespace {

const wchar_t* const kSource = L"IniFile";
const wchar_t* const kParse = L"vek::CIniFile::Parse";
const wchar_t* const kGetValue = L"vek::CIniFile::GetValue";

// Lines reported by the typed getters, one per getter and check.
enum : int32_t {
    kLineU32Chars = 302,
    kLineU32High = 311,
    kLineI32Chars = 325,
    kLineI32High = 338,
    kLineI32Low = 341,
    kLineU16Chars = 357,
    kLineU16High = 366,
    kLineU8Chars = 382,
    kLineU8High = 391,
    kLineI64Chars = 407,
    kLineI64High = 416,
    kLineFloatChars = 452,
    kLineBool = 479,
    kLineColorHigh = 548,
};

const wchar_t* const kTooHighU32 = L" (too high numeric value for unsigned int variable)";
const wchar_t* const kTooHighI32 = L" (too high numeric value for signed int variable)";
const wchar_t* const kTooLowI32 = L" (too low numeric value for signed int variable)";
const wchar_t* const kTooHighU16 = L" (too high numeric value for unsigned short variable)";
const wchar_t* const kTooHighU8 = L" (too high numeric value for unsigned char variable)";
const wchar_t* const kTooHighI64 = L" (too high numeric value for 64-bit integer variable)";

constexpr size_t kFileBuffer = 16384;

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Digits only, or with flag sums digits and '|'.
bool UnsignedChars(const std::wstring& raw, bool flagSums) {
    for (wchar_t c : raw) {
        if (!IsDigit(c) && !(flagSums && c == L'|')) {
            return false;
        }
    }
    return true;
}

// Full value of an unsigned getter, before it is fitted to its width; a
// number beyond 64 bits saturates and so stays out of every range.
uint64_t UnsignedValue(const std::wstring& raw, bool flagSums) {
    return flagSums ? CIniFile::SumFlags(raw) : WcsToUI64(raw.c_str(), nullptr, 10);
}

// A quotation opened after the '=' and not closed.
bool EndsInsideQuotes(const std::wstring& line) {
    const size_t equals = line.find(L'=');
    return equals != std::wstring::npos && std::count(line.begin() + equals, line.end(), L'"') % 2 == 1;
}

// Characters that the reader would take as structure inside a text value.
bool UnsafeInText(wchar_t c) { return c == L'"' || c == L';' || c == L'=' || c == L'[' || c == L'\r' || c == L'\n'; }

void CreateMissingFolder(const std::wstring& folder) {
    // One level, as the game's folders need; a failure shows when the file is opened.
    if (!folder.empty() && platform::GetFileKind(folder) == platform::FileKind::kMissing) {
        platform::CreateFolder(folder);
    }
}

} // namespace

CIniFile::CIniFile(uint32_t sectionReserve, uint32_t entryReserve)
    : m_sectionReserve(sectionReserve), m_entryReserve(entryReserve) {}

void CIniFile::Fail(const wchar_t* function, int32_t line, const std::wstring& message) const {
    std::wstring where;
    if (!m_sourceName.empty()) {
        where = m_faultLine > 0 ? Format(L" (%s, line %lu)", m_sourceName, m_faultLine) : L" (" + m_sourceName + L")";
    }
    throw CException(function, kSource, line, message + where);
}

void CIniFile::InvalidType(int32_t line, const std::wstring& key, const wchar_t* detail) const {
    Fail(kGetValue, line, L"Invalid type: " + key + detail);
}

void CIniFile::Clear() {
    m_sections.clear();
    m_text.clear();
    m_line.clear();
    m_output.clear();
    m_currentSection = kNoSection;
}

void CIniFile::Load(const std::wstring& path, uint32_t encoding) {
    CFile file(false, kFileBuffer);
    file.Open(path, CFile::kModeRead);
    m_text.clear();
    m_sourceName = path;
    file.ReadWholeText(m_text, encoding, true);
    file.Flush();
    file.Close();
    Parse();
}

void CIniFile::Parse() {
    m_faultLine = 0;
    if (m_text.empty()) {
        Fail(kParse, 72, L"Buffer not ready");
    }

    m_sections.clear();
    m_line.clear();
    m_currentSection = kNoSection;
    m_sections.reserve(m_sectionReserve);

    TIniSection working;
    bool inComment = false;
    bool inHeader = false;
    std::wstring key;
    std::wstring value;
    // The line feed and '[' behind the text flush its last line and section;
    // they are not stored, so parsing again reads the same text.
    static const wchar_t kClosing[] = L"\n[";
    const size_t count = m_text.size() + 2;
    const auto at = [&](size_t i) { return i < m_text.size() ? m_text[i] : kClosing[i - m_text.size()]; };
    m_faultLine = 1;
    for (size_t i = 0; i < count; ++i) {
        const wchar_t c = at(i);
        if (i > 0 && (at(i - 1) == L'\r' || (at(i - 1) == L'\n' && (i < 2 || at(i - 2) != L'\r')))) {
            ++m_faultLine;
        }
        // A file cut short inside a quoted value would otherwise be read as
        // if the cut were the value's end.
        if (i == m_text.size() && !inComment && !inHeader && EndsInsideQuotes(m_line)) {
            Fail(kParse, __LINE__, L"The text ends inside a quoted value");
        }
        if (c == L';') {
            inComment = true;
        } else if (c == L'[') {
            if (inComment) {
                continue;
            }
            if (inHeader) {
                Fail(kParse, 96, L"Invalid header, double '[' found!");
            }
            inHeader = true;
            m_line.clear();
            m_sections.push_back(working);
            working.entries.reserve(m_entryReserve);
        } else if (inHeader && !inComment) {
            if (c == L']') {
                inHeader = false;
                working.name = m_line;
                working.entries.clear();
                m_line.clear();
            } else if (IsAlnum(c)) {
                m_line += c;
            } else {
                Fail(kParse, 118, L"Invalid section header");
            }
        } else if (c == L'\r' || c == L'\n') {
            inComment = false;
            if (!m_line.empty()) {
                if (!GetExpression(m_line, key, value)) {
                    Fail(kParse, 130, L"Invalid expression found in section: " + working.name);
                }
                working.entries.push_back(TIniEntry{key, value, m_faultLine});
                m_line.clear();
            }
        } else if (inComment) {
            continue;
        } else if (working.name.empty()) {
            Fail(kParse, 143, L"Orphan value");
        } else {
            m_line += c;
        }
    }
    m_line.clear();
    if (m_sections.empty()) {
        Fail(kParse, 152, L"No sections");
    }
    m_faultLine = 0;
}

bool CIniFile::GetExpression(const std::wstring& line, std::wstring& key, std::wstring& value) {
    static const wchar_t* const kFunction = L"vek::CIniFile::GetExpression";
    key.clear();
    value.clear();
    bool afterEquals = false;
    bool quoteOpen = false;
    bool quoteClosed = false;
    for (wchar_t c : line) {
        if (c == L'=') {
            if (afterEquals) {
                Fail(kFunction, 213, L"Redundant characters: " + line);
            }
            afterEquals = true;
            continue;
        }
        if (!afterEquals) {
            if (!IsSpace(c)) {
                key += c;
            }
            continue;
        }
        if ((!quoteOpen || quoteClosed) && IsSpace(c)) {
            continue;
        }
        if (!quoteOpen && c == L'"') {
            if (!value.empty()) {
                Fail(kFunction, 229, L"Redundant characters: " + line);
            }
            quoteOpen = true;
        } else if (quoteClosed && c != L'"') {
            Fail(kFunction, 233, L"Redundant characters: " + line);
        } else if (quoteOpen && c == L'"') {
            quoteClosed = true;
        }
        value += c;
    }
    return !key.empty() && !value.empty();
}

const std::wstring* CIniFile::Find(const std::wstring& key, const std::wstring& section) {
    m_faultLine = 0;
    if (m_sections.empty()) {
        Fail(kGetValue, 256, L"Buffer not parsed");
    }
    m_currentSection = kNoSection;
    for (size_t i = 0; i < m_sections.size(); ++i) {
        if (equals(m_sections[i].name, section)) {
            m_currentSection = static_cast<uint32_t>(i);
            break;
        }
    }
    if (m_currentSection == kNoSection) {
        Fail(kGetValue, 269, L"Section not found: " + section);
    }
    for (const TIniEntry& entry : m_sections[m_currentSection].entries) {
        if (equals(entry.key, key)) {
            m_faultLine = entry.line;
            return &entry.value;
        }
    }
    return nullptr;
}

std::wstring CIniFile::GetValue(const std::wstring& key, const std::wstring& section, const std::wstring& def) {
    const std::wstring* raw = Find(key, section);
    return raw ? *raw : def;
}

std::wstring CIniFile::GetValue(const std::wstring& key, const std::wstring& section, const wchar_t* def) {
    const std::wstring* raw = Find(key, section);
    return raw ? *raw : std::wstring(def ? def : L"");
}

// The integer getters check the whole number against the range of their
// type before cutting it to width, so "256" is refused for a u8 rather than
// read as 0. The largest value of each unsigned type stays refused too.

uint32_t CIniFile::GetValue(const std::wstring& key, const std::wstring& section, uint32_t def, bool flagSums) {
    // A missing key reads as the default's text, which meets the same checks.
    const std::wstring* found = Find(key, section);
    const std::wstring raw = found != nullptr ? *found : Format(L"%lu", def);
    if (!UnsignedChars(raw, flagSums)) {
        InvalidType(kLineU32Chars, key);
    }
    const uint64_t value = UnsignedValue(raw, flagSums);
    if (value >= std::numeric_limits<uint32_t>::max()) {
        InvalidType(kLineU32High, key, kTooHighU32);
    }
    return static_cast<uint32_t>(value);
}

int32_t CIniFile::GetValue(const std::wstring& key, const std::wstring& section, int32_t def, bool flagSums) {
    // A missing key reads as the default's text, which meets the same checks.
    const std::wstring* found = Find(key, section);
    const std::wstring raw = found != nullptr ? *found : Format(L"%li", def);
    int64_t value = 0;
    if (flagSums) {
        if (!UnsignedChars(raw, true)) {
            InvalidType(kLineI32Chars, key);
        }
        const uint64_t sum = SumFlags(raw);
        value = sum > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) ? std::numeric_limits<int64_t>::max()
                                                                                 : static_cast<int64_t>(sum);
    } else {
        for (size_t i = 0; i < raw.size(); ++i) {
            const wchar_t c = (raw)[i];
            if (!IsDigit(c) && !(i == 0 && c == L'-')) {
                InvalidType(kLineI32Chars, key);
            }
        }
        value = WcsToI64(raw.c_str(), nullptr, 10);
    }
    if (value >= std::numeric_limits<int32_t>::max()) {
        InvalidType(kLineI32High, key, kTooHighI32);
    }
    if (value <= std::numeric_limits<int32_t>::min()) {
        InvalidType(kLineI32Low, key, kTooLowI32);
    }
    return static_cast<int32_t>(value);
}

uint16_t CIniFile::GetValue(const std::wstring& key, const std::wstring& section, uint16_t def, bool flagSums) {
    // A missing key reads as the default's text, which meets the same checks.
    const std::wstring* found = Find(key, section);
    const std::wstring raw = found != nullptr ? *found : Format(L"%hu", def);
    if (!UnsignedChars(raw, flagSums)) {
        InvalidType(kLineU16Chars, key);
    }
    const uint64_t value = UnsignedValue(raw, flagSums);
    if (value >= std::numeric_limits<uint16_t>::max()) {
        InvalidType(kLineU16High, key, kTooHighU16);
    }
    return static_cast<uint16_t>(value);
}

uint8_t CIniFile::GetValue(const std::wstring& key, const std::wstring& section, uint8_t def, bool flagSums) {
    // A missing key reads as the default's text, which meets the same checks.
    const std::wstring* found = Find(key, section);
    const std::wstring raw = found != nullptr ? *found : Format(L"%hu", static_cast<uint16_t>(def));
    if (!UnsignedChars(raw, flagSums)) {
        InvalidType(kLineU8Chars, key);
    }
    const uint64_t value = UnsignedValue(raw, flagSums);
    if (value >= std::numeric_limits<uint8_t>::max()) {
        InvalidType(kLineU8High, key, kTooHighU8);
    }
    return static_cast<uint8_t>(value);
}

int64_t CIniFile::GetValue(const std::wstring& key, const std::wstring& section, int64_t def, bool flagSums) {
    // A missing key reads as the default's text, which meets the same checks.
    const std::wstring* found = Find(key, section);
    const std::wstring raw = found != nullptr ? *found : CValue::FromI64(def).ToString();
    if (!UnsignedChars(raw, flagSums)) {
        InvalidType(kLineI64Chars, key);
    }
    // A flag sum is a bit set: all 64 bits count and the sum wraps.
    if (flagSums) {
        return static_cast<int64_t>(SumFlags(raw));
    }
    const uint64_t value = WcsToUI64(raw.c_str(), nullptr, 10);
    if (value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        InvalidType(kLineI64High, key, kTooHighI64);
    }
    return static_cast<int64_t>(value);
}

float CIniFile::GetValue(const std::wstring& key, const std::wstring& section, float def) {
    // A missing key reads as the default's text, which meets the same checks.
    const std::wstring* found = Find(key, section);
    const std::wstring raw = found != nullptr ? *found : Format(L"%0.2f", static_cast<double>(def));
    std::wstring number = raw;
    for (wchar_t& c : number) {
        if (c == L',') {
            c = L'.'; // a decimal comma means the same as the point
        } else if (!IsDigit(c) && c != L'.') {
            InvalidType(kLineFloatChars, key);
        }
    }
    return StrToFloat(number.c_str());
}

bool CIniFile::GetValue(const std::wstring& key, const std::wstring& section, bool def) {
    // A missing key reads as the default's text, which meets the same checks.
    const std::wstring* found = Find(key, section);
    const std::wstring raw = found != nullptr ? *found : Format(L"%i", def ? 1 : 0);
    if (raw == L"0") {
        return false;
    }
    if (raw == L"1") {
        return true;
    }
    InvalidType(kLineBool, key);
}

std::wstring CIniFile::GetString(const std::wstring& raw, size_t& position) {
    std::wstring result;
    result.reserve(128);
    bool open = false;
    while (position < raw.size()) {
        const wchar_t c = raw[position];
        if (c == L' ' || c == L'\t') {
            if (open) {
                result += c;
            }
            ++position;
        } else if (c == L'"') {
            ++position;
            if (open) {
                break;
            }
            open = true;
        } else if (!open) {
            // Told where by the caller that knows which key this is.
            throw CException(L"vek::CIniFile::GetString", kSource, 186, L"Quotation mark expected");
        } else {
            result += c;
            ++position;
        }
    }
    return result;
}

std::wstring CIniFile::GetStringValue(const std::wstring& key, const std::wstring& section, const std::wstring& def) {
    const std::wstring* raw = Find(key, section);
    if (!raw) {
        return def;
    }
    size_t position = 0;
    try {
        return GetString(*raw, position);
    } catch (const CException& e) {
        Fail(e.GetFunction().c_str(), e.GetLine(), e.GetDetails());
    }
}

std::wstring CIniFile::GetStringValue(const std::wstring& key, const std::wstring& section, const wchar_t* def) {
    return GetStringValue(key, section, std::wstring(def ? def : L""));
}

uint32_t CIniFile::GetHexColorValue(const std::wstring& key, const std::wstring& section, uint32_t def) {
    // A missing key reads as the default's text, which meets the same checks.
    const std::wstring* found = Find(key, section);
    const std::wstring raw = found != nullptr ? *found : Format(L"#%x", def);
    // The 32-bit conversion saturates, so a value past 32 bits meets the
    // same refusal as all ones, and a sign wraps as it always did.
    const uint32_t value =
        !raw.empty() && (raw)[0] == L'#' ? WcsToUL(raw.c_str() + 1, nullptr, 16) : WcsToUL(raw.c_str(), nullptr, 10);
    if (value == std::numeric_limits<uint32_t>::max()) {
        Fail(L"vek::CIniFile::GetHexColorValue", kLineColorHigh, L"Invalid type: " + key + kTooHighU32);
    }
    return value;
}

uint64_t CIniFile::SumFlags(const std::wstring& raw) {
    uint64_t sum = 0;
    uint64_t previous = 0;
    bool first = true;
    for (const std::wstring& piece : Split(raw, L'|')) {
        const uint64_t number = WcsToUI64(piece.c_str(), nullptr, 10);
        if (first || number != previous) {
            sum += number; // wraps at 64 bits
        }
        previous = number;
        first = false;
    }
    return sum;
}

void CIniFile::WriteEntry(std::wstring& output, const std::wstring& name, const CValue& value) {
    static const wchar_t* const kFunction = L"vek::CIniFile::WriteEntry";
    // The reader drops white space from keys and ends them at '='; such a
    // name would come back as another key, and its value would be lost.
    if (name.empty()) {
        throw CException(kFunction, kSource, __LINE__, L"Empty key cannot be written");
    }
    for (wchar_t c : name) {
        if (IsSpace(c) || (c != L'"' && UnsafeInText(c))) {
            throw CException(kFunction, kSource, __LINE__, L"Key cannot be written: " + name);
        }
    }
    std::wstring text = value.ToString();
    if (value.GetKind() == CValue::kText) {
        // There are no escapes: such a text would be cut or refused when read.
        for (wchar_t c : text) {
            if (UnsafeInText(c)) {
                throw CException(
                    kFunction, kSource, __LINE__,
                    L"Text value of key " + name + L" holds a quotation mark, ';', '=', '[' or a line break");
            }
        }
        text = L"\"" + text + L"\"";
    } else if (text.empty()) {
        // An empty value makes the line unreadable; an empty text reads back.
        text = L"\"\"";
    }
    output += name;
    output += L" = ";
    output += text;
    output += L"\r\n";
}

void CIniFile::SaveToFile(const std::wstring& path, uint32_t encoding) {
    CreateMissingFolder(GetFilePath(path));
    CFile file(false, kFileBuffer);
    file.Open(path, CFile::kModeWrite);
    file.WriteText(m_output, encoding, true);
    file.Flush();
    file.Close();
}

} // namespace vek
