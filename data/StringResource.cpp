#include "data/StringResource.h"

#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Format.h"
#include "VEKLib/Log.h"
#include "VEKLib/Strings.h"
#include "data/Globals.h"
#include "data/MetaFile.h"

namespace {

const wchar_t* const kSource = L"StringRes";
// The file object's read buffer; the text itself may be of any length.
constexpr uint32_t kReadBuffer = 16384;
constexpr wchar_t kByteOrderMark = 0xFEFF;

const vek::CLog& ConsoleLog() {
    static const vek::CLog log = [] {
        vek::CLog l;
        l.m_target = vek::kLogStdOut;
        return l;
    }();
    return log;
}

} // namespace

CStringResource::CStringResource(bool silent, const vek::CLog* log) : m_silent(silent), m_log(log) {}

CStringResource::~CStringResource() = default;

std::wstring CStringResource::GetFileName(const std::wstring& language) {
    return std::wstring(kDataDir) + L"strings." + language + L".txt";
}

void CStringResource::Log(const std::wstring& line) const {
    vek::LogWrite(m_log != nullptr ? *m_log : ConsoleLog(), line, true);
}

void CStringResource::LoadFile(const std::wstring& fileName, const wchar_t* stopTag) {
    std::wstring text;
    {
        CMetaFile file(false, kReadBuffer);
        file.Open(fileName, vek::CFile::kModeRead);
        file.ReadWholeText(text, vek::kEncodingUtf8, false);
        file.Close();
    }
    LoadText(text, stopTag);
}

void CStringResource::LoadText(const std::wstring& text, const wchar_t* stopTag) {
    // An editor's byte-order mark is not part of the first tag.
    const size_t start = !text.empty() && text[0] == kByteOrderMark ? 1 : 0;
    std::wstring tag;
    std::wstring body;
    bool inText = false;
    wchar_t previous = 0;
    // Ends one line; false when the stop tag ends the file.
    auto endLine = [&]() {
        if (!body.empty()) {
            AddString(body, tag);
        }
        if (stopTag != nullptr && vek::equals(tag, stopTag, false)) {
            return false;
        }
        tag.clear();
        body.clear();
        inText = false;
        return true;
    };
    for (size_t i = start; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L' ' && !inText) {
            inText = true;
        } else if (c == L'\\') {
            if (previous == L'\\') {
                return; // the end mark: the pending line is not taken
            }
        } else if (c == L'\n') {
            if (!endLine()) {
                return;
            }
        } else if (c == L'\r') {
            // dropped
        } else if (c == L'n' && previous == L'\\') {
            if (inText) {
                body += L"\r\n";
            } else {
                tag += L'n';
            }
        } else {
            (inText ? body : tag) += c;
        }
        previous = c;
    }
    // A last line without a line break counts whole, unless its last
    // character is a backslash, which never ends a line.
    if (previous != L'\\') {
        endLine();
    }
}

std::vector<std::wstring> CStringResource::LoadGameStrings(const std::wstring& scriptLanguage,
                                                           const std::wstring& language) {
    const std::wstring scriptFile = GetFileName(scriptLanguage);
    LoadFile(scriptFile, kSkillBlockEndTag);

    // Only a whole block may go: a guessed number would drop other texts.
    auto fail = [&](const std::wstring& message, int32_t line) {
        throw vek::CException(L"CStringResource::LoadGameStrings", kSource, line, message + L" in " + scriptFile);
    };
    if (!Exists(kFirstSkillTag)) {
        fail(std::wstring(L"No tag ") + kFirstSkillTag, __LINE__);
    }
    if (!Exists(kSkillBlockEndTag)) {
        fail(std::wstring(L"No tag ") + kSkillBlockEndTag, __LINE__);
    }
    const int64_t first = m_numbers.at(kFirstSkillTag);
    const int64_t end = m_numbers.at(kSkillBlockEndTag);
    if (end < first + static_cast<int64_t>(kSkillCount)) {
        fail(vek::Format(L"Fewer than %lu skill names before %s", kSkillCount, kSkillBlockEndTag), __LINE__);
    }
    std::vector<std::wstring> skills;
    skills.reserve(kSkillCount);
    for (int64_t n = first; n < first + static_cast<int64_t>(kSkillCount); ++n) {
        const auto it = m_texts.find(static_cast<int32_t>(n));
        if (it == m_texts.end()) {
            fail(vek::Format(L"Skill name %lu missing", static_cast<uint32_t>(n - first + 1)), __LINE__);
        }
        skills.push_back(it->second);
    }

    for (int64_t n = first; n < first + static_cast<int64_t>(kSkillCount); ++n) {
        Remove(static_cast<int32_t>(n));
    }
    Remove(static_cast<int32_t>(end));
    LoadFile(GetFileName(language));
    return skills;
}

void CStringResource::AddString(const std::wstring& text, const std::wstring& tag) {
    // One above the largest, not the count: after removals the count can
    // point at a number still in use.
    const int32_t number = m_texts.empty() ? 0 : m_texts.rbegin()->first + 1;
    m_texts.emplace(number, text);
    m_numbers.emplace(tag, number);
}

void CStringResource::Remove(int32_t number) {
    if (m_texts.erase(number) == 0) {
        throw vek::CException(L"CStringResource::Remove", kSource, __LINE__,
                              vek::Format(L"Couldn't find string %i", number));
    }
    for (auto it = m_numbers.begin(); it != m_numbers.end(); ++it) {
        if (it->second == number) {
            m_numbers.erase(it);
            break;
        }
    }
}

std::wstring CStringResource::Get(const std::wstring& tag) const {
    const auto it = m_numbers.find(tag);
    if (it == m_numbers.end()) {
        return OnTagNotFound(tag);
    }
    const auto text = m_texts.find(it->second);
    return text != m_texts.end() ? text->second : OnTagNotFound(tag);
}

int32_t CStringResource::GetId(const std::wstring& tag) const {
    const auto it = m_numbers.find(tag);
    if (it == m_numbers.end()) {
        OnTagNotFound(tag);
        return 0;
    }
    return it->second;
}

std::wstring CStringResource::GetById(int32_t number) const {
    // By presence: after removals the numbers in use are not 0 to count - 1.
    const auto it = m_texts.find(number);
    if (it == m_texts.end()) {
        return OnTagNotFound(vek::Format(L"#%li", number));
    }
    return it->second;
}

bool CStringResource::Exists(const std::wstring& tag) const { return m_numbers.count(tag) != 0; }

std::wstring CStringResource::OnTagNotFound(const std::wstring& tag) const {
    if (m_silent) {
        return std::wstring();
    }
    Log(L"Error - tag not found: " + tag);
    return tag;
}

void CStringResource::AddPlaceName(const std::wstring& id, const std::wstring& name) { m_placeNames.emplace(id, name); }

std::wstring CStringResource::GetLocName(const std::wstring& locationId, bool quiet) const {
    const auto it = m_placeNames.find(vek::ucase(locationId));
    if (it != m_placeNames.end()) {
        return it->second;
    }
    if (!quiet) {
        Log(L"Warning: No name assigned to location " + locationId);
    }
    return std::wstring();
}

std::wstring CStringResource::GetRegionName(const TRegionQuery* location) const {
    if (location == nullptr) {
        return std::wstring();
    }
    const std::wstring region = location->worldPartId.empty() ? L"worldpart0" : location->worldPartId;
    const auto it = m_placeNames.find(region);
    if (it != m_placeNames.end()) {
        return it->second;
    }
    Log(L"Warning: no region name found for location " + location->locationId + L" (region id: " + region + L")");
    return std::wstring();
}
