#include "script/ParserCore.h"

#include <algorithm>
#include <array>

#include "VEKLib/Console.h"
#include "VEKLib/Files.h"
#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
#include "data/MetaFile.h"
#include "script/ScriptException.h"

namespace {

constexpr uint32_t kEnd = CParserCore::kEndOfText;
constexpr wchar_t kByteOrderMark = 0xFEFF;
constexpr size_t kNone = CScriptText::npos;

// What the searches in the text look for, by unit. White space is blank,
// tab, CR and LF only.
enum : uint8_t { kBlank = 1, kBracket = 2, kComma = 4, kLineEnd = 8 };
constexpr std::array<uint8_t, 128> kUnitClasses = [] {
    std::array<uint8_t, 128> classes{};
    classes[' '] = classes['\t'] = kBlank;
    classes['\r'] = classes['\n'] = kBlank | kLineEnd;
    classes['('] = classes[')'] = kBracket;
    classes[','] = kComma;
    return classes;
}();
inline uint8_t ClassOf(char16_t c) { return c < kUnitClasses.size() ? kUnitClasses[c] : 0; }

bool IsBlank(char16_t c) { return (ClassOf(c) & kBlank) != 0; }
bool IsBlankOrComma(char16_t c) { return (ClassOf(c) & (kBlank | kComma)) != 0; }
bool IsLineEnd(char16_t c) { return (ClassOf(c) & kLineEnd) != 0; }

// The first index at or after from whose unit is (or is not) in the class.
template <class TClass>
size_t FindFirst(const CScriptText& text, size_t from, TClass inClass) {
    return text.FindFirst(from, inClass);
}

// Everything that reads a script from storage goes through here: from the
// data archive when it is in use, else from the disk. An ASCII script (most
// are) comes as its bytes (true), never as wide text four times its size.
bool ReadScriptFile(const std::wstring& name, std::string& ascii, std::wstring& text) {
    CMetaFile file(false, 32768);
    file.Open(name, vek::CFile::kModeRead);
    const bool asBytes = file.ReadWholeText(ascii, text, vek::kEncodingUtf8, false);
    file.Close();
    return asBytes;
}

bool IsLetter(wchar_t c) { return vek::IsAlpha(c); }
bool IsPrintable(wchar_t c) { return vek::IsGraph(c); }

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// A text index as a scanner position: past the end means used up.
uint32_t ToPosition(size_t index) { return index == kNone ? kEnd : static_cast<uint32_t>(index); }

bool IsCommentToken(const std::wstring& token) { return token.size() >= 2 && token[0] == L'/' && token[1] == L'/'; }

[[noreturn]] void ThrowUnexpected(const CParserCore& parser) {
    throw CScriptException(kErrUnexpectedCharacter, L"M_ParserCore", L"CParserCore::ExtractSingleArg", __LINE__,
                           parser);
}

} // namespace

void CParserCore::Reset() {
    m_text.clear();
    m_lines.Clear();
    m_token.clear();
    m_fileName.clear();
    m_position = 0;
    m_number = 0;
    m_tokenStart = 0;
    m_loaded = 0;
    m_parsed = 0;
}

void CParserCore::LoadFile(const std::wstring& path) {
    std::string ascii;
    std::wstring text;
    if (!ReadScriptFile(path, ascii, text)) {
        LoadText(text, path);
        return;
    }
    m_text.AssignAscii(std::move(ascii));
    m_lines.Clear();
    Loaded(path);
}

void CParserCore::LoadText(const std::wstring& text, const std::wstring& path) {
    // A byte-order mark is no part of the script.
    const size_t skip = !text.empty() && text[0] == kByteOrderMark ? 1 : 0;
    SetText(std::wstring_view(text).substr(skip));
    Loaded(path);
}

void CParserCore::Loaded(const std::wstring& path) {
    m_fileName = path;
    m_loaded = 1;
    m_parsed = 0;
}

void CParserCore::SetText(std::wstring_view text) {
    m_text.Assign(text);
    m_lines.Clear();
}

void CParserCore::ReleaseText() {
    m_lines.Build(m_text);
    m_text.Release();
}

void CScriptText::Assign(std::wstring_view text) {
    clear();
    m_isWide = std::any_of(text.begin(), text.end(), [](wchar_t c) { return static_cast<uint32_t>(c) > 0xFF; });
    if (!m_isWide) {
        m_narrow.resize(text.size());
        for (size_t i = 0; i < text.size(); ++i) {
            m_narrow[i] = static_cast<char>(static_cast<uint8_t>(text[i]));
        }
        return;
    }
    m_wide.reserve(text.size());
    for (const wchar_t c : text) {
        // Text is UTF-16 units; a unit beyond 16 bits, which the program
        // never makes, goes in as its surrogate pair.
        const uint32_t unit = static_cast<uint32_t>(c);
        if (unit > 0xFFFF && unit <= 0x10FFFF) {
            m_wide += static_cast<char16_t>(0xD800 + ((unit - 0x10000) >> 10));
            m_wide += static_cast<char16_t>(0xDC00 + (unit & 0x3FF));
        } else {
            m_wide += static_cast<char16_t>(unit);
        }
    }
}

void CScriptText::CopyTo(size_t start, size_t end, std::wstring& out) const {
    const size_t length = end - start;
    out.resize(length);
    wchar_t* to = out.data();
    if (m_isWide) {
        const char16_t* from = m_wide.data() + start;
        for (size_t i = 0; i < length; ++i) {
            to[i] = static_cast<wchar_t>(from[i]);
        }
    } else {
        const char* from = m_narrow.data() + start;
        for (size_t i = 0; i < length; ++i) {
            to[i] = static_cast<wchar_t>(static_cast<uint8_t>(from[i]));
        }
    }
}

std::wstring CParserCore::GetText() const {
    std::wstring text;
    m_text.CopyTo(0, m_text.size(), text);
    return text;
}

void CParserCore::TakeToken(size_t start, size_t end) { m_text.CopyTo(start, end, m_token); }

uint32_t CParserCore::GetLineNumber() const {
    if (m_lines.IsBuilt()) {
        return m_lines.LineOf(m_tokenStart);
    }
    if (m_text.empty()) {
        return 0;
    }
    const size_t end = m_tokenStart < m_text.size() ? m_tokenStart : m_text.size();
    uint32_t line = 1;
    for (size_t i = 0; i < end; ++i) {
        if (m_text.BreaksLineAt(i)) {
            ++line;
        }
    }
    return line;
}

bool CParserCore::GetWord(uint32_t commaDelimits) {
    const uint8_t delimiters = kBlank | kBracket | (commaDelimits != 0 ? kComma : 0);
    for (;;) {
        const size_t start = FindFirst(m_text, m_position, [=](char16_t c) { return (ClassOf(c) & delimiters) == 0; });
        if (start == kNone) {
            m_token.clear();
            m_position = kEnd;
            return false;
        }
        const size_t end = FindFirst(m_text, start + 1, [=](char16_t c) { return (ClassOf(c) & delimiters) != 0; });
        TakeToken(start, end == kNone ? m_text.size() : end);
        // A word that ends the text uses it up, so it is never read twice.
        m_position = ToPosition(end);
        m_tokenStart = static_cast<uint32_t>(start);
        if (!SkipComment()) {
            return true;
        }
    }
}

bool CParserCore::GetNumber() {
    for (;;) {
        const size_t start = FindFirst(m_text, m_position, [](char16_t c) { return !IsBlank(c); });
        if (start == kNone) {
            m_position = kEnd;
            m_number = 0;
            return false;
        }
        const size_t end = FindFirst(m_text, start + 1, IsBlank);
        const size_t last = end == kNone ? m_text.size() : end;
        m_position = ToPosition(end);
        // A comment is no number, but it must not stop the search either.
        if (last - start >= 2 && m_text[start] == u'/' && m_text[start + 1] == u'/') {
            TakeToken(start, last);
            m_tokenStart = static_cast<uint32_t>(start);
            SkipComment();
            continue;
        }
        std::wstring text;
        m_text.CopyTo(start, last, text);
        m_number = vek::WcsToUL(text.c_str(), nullptr, 10);
        if (m_number == 0 && text != L"0") {
            return false;
        }
        m_token = std::move(text);
        m_tokenStart = static_cast<uint32_t>(start);
        return true;
    }
}

std::wstring CParserCore::GetExpression() const {
    std::wstring result;
    int64_t depth = 0;
    bool printable = false;
    for (size_t i = m_position; i < m_text.size(); ++i) {
        const wchar_t c = static_cast<wchar_t>(m_text[i]);
        if (vek::IsSpace(c)) {
            if (printable && depth == 0) {
                break;
            }
            continue;
        }
        if (c == L'(') {
            ++depth;
        } else if (c == L')') {
            --depth;
        } else if (IsPrintable(c)) {
            printable = true;
        }
        result += c;
    }
    return result;
}

bool CParserCore::BracketFollows() const {
    for (size_t i = m_position; i < m_text.size(); ++i) {
        const wchar_t c = static_cast<wchar_t>(m_text[i]);
        if (!vek::IsSpace(c)) {
            return c == L'(';
        }
    }
    return false;
}

bool CParserCore::SkipComment() {
    if (!IsCommentToken(m_token)) {
        return false;
    }
    // The position may stand on the line end itself (a comment word ends there).
    const size_t lineEnd = FindFirst(m_text, m_position, IsLineEnd);
    m_position =
        lineEnd == kNone ? kEnd : ToPosition(FindFirst(m_text, lineEnd, [](char16_t c) { return !IsLineEnd(c); }));
    return true;
}

void CParserCore::StepBack() {
    // From a used-up text the search starts at its last character.
    size_t i = m_position < m_text.size() ? m_position : m_text.size();
    while (i > 0) {
        --i;
        if (IsBlank(m_text[i])) {
            m_position = static_cast<uint32_t>(i);
            m_tokenStart = static_cast<uint32_t>(i);
            return;
        }
    }
}

bool CParserCore::GetStringLiteral() {
    for (;;) {
        const size_t quote = FindFirst(m_text, m_position, [](char16_t c) { return !IsBlankOrComma(c); });
        m_position = ToPosition(quote);
        if (quote == kNone || m_text[quote] != u'"') {
            return false;
        }
        // Several opening quotes count as one.
        const size_t start = FindFirst(m_text, quote, [](char16_t c) { return c != u'"'; });
        if (start == kNone) {
            return false;
        }
        const size_t close = FindFirst(m_text, start + 1, [](char16_t c) { return c == u'"'; });
        if (close == kNone) {
            return false;
        }
        TakeToken(start, close);
        m_position = ToPosition(FindFirst(m_text, close + 1, IsBlankOrComma));
        if (!SkipComment()) {
            return true;
        }
    }
}

bool CParserCore::GetBracketedExpr() {
    for (;;) {
        uint32_t depth = 0;
        size_t open = kNone;
        bool closed = false;
        for (size_t i = m_position; i < m_text.size(); ++i) {
            const char16_t c = m_text[i];
            // The expression ends on its own line, whatever its line ends are.
            if (IsLineEnd(c)) {
                break;
            }
            if (c == u'(') {
                if (open == kNone) {
                    open = i;
                    m_position = static_cast<uint32_t>(i);
                }
                ++depth;
            } else if (c == u')') {
                if (open == kNone) {
                    throw CScriptException(kErrInvalidBracePlacement, L"M_ParserCore", L"CParserCore::GetBracketedExpr",
                                           __LINE__, *this);
                }
                if (--depth == 0) {
                    TakeToken(open + 1, i);
                    m_position = static_cast<uint32_t>(i);
                    if (m_token.empty()) {
                        return true;
                    }
                    closed = true;
                    break;
                }
            }
        }
        // One on, unless that leaves the text; a used-up position stays so.
        if (m_position != kEnd && static_cast<size_t>(m_position) + 1 < m_text.size()) {
            ++m_position;
        }
        if (!closed) {
            return false;
        }
        if (!SkipComment()) {
            return true;
        }
    }
}

bool CParserCore::ExtractSingleArg(const std::wstring& args, uint32_t& index, bool namesAllowed,
                                   const CParserCore& parser, std::wstring& argument, bool warn) {
    argument.clear();
    bool valueSeen = false;
    bool stringTaken = false;
    size_t i = index;
    for (; i < args.size(); ++i) {
        const wchar_t c = args[i];
        if (IsDigit(c) || (namesAllowed && (IsLetter(c) || c == L'_'))) {
            argument += c;
            valueSeen = true;
        } else if (c == L',') {
            if (args.size() - i - 1 <= 1) {
                ThrowUnexpected(parser);
            }
            break;
        } else if (vek::IsSpace(c)) {
            continue;
        } else if (c == L'.') {
            if (stringTaken) {
                ThrowUnexpected(parser);
            }
            argument += c;
            valueSeen = true;
        } else if (c == L'"') {
            if (valueSeen) {
                ThrowUnexpected(parser);
            }
            stringTaken = true;
            valueSeen = true;
            // An unclosed literal runs to the end of the list.
            size_t close = args.find(L'"', i + 1);
            if (close == std::wstring::npos) {
                close = args.size();
            }
            argument.append(args, i + 1, close - i - 1);
            i = close;
        } else if (!valueSeen || !stringTaken) {
            ThrowUnexpected(parser);
        }
    }
    if (argument.empty() && !stringTaken) {
        return false;
    }
    // On to the next character that can begin an argument. A sign on the
    // way is skipped with it, so a negative argument turns positive: say so.
    for (size_t next = i < args.size() ? i + 1 : args.size(); next < args.size(); ++next) {
        const wchar_t c = args[next];
        if (IsDigit(c) || c == L'"' || (namesAllowed && IsLetter(c))) {
            index = static_cast<uint32_t>(next);
            return true;
        }
        if (c == L'-' && warn) {
            vek::ConsoleOut() << vek::Format(L"%s (%u): warning: the minus sign before an argument is ignored: %s",
                                             parser.GetFileName(), parser.GetLineNumber(), args)
                              << L'\n';
        }
    }
    index = static_cast<uint32_t>(args.size());
    return false;
}

std::vector<std::wstring> CParserCore::ExtractArgs(const std::wstring& args, bool namesAllowed, bool warn) const {
    std::vector<std::wstring> list;
    list.resize(ExtractArgs(args, namesAllowed, list, warn));
    return list;
}

size_t CParserCore::ExtractArgs(const std::wstring& args, bool namesAllowed, std::vector<std::wstring>& list,
                                bool warn) const {
    uint32_t index = 0;
    size_t count = 0;
    for (;;) {
        if (count == list.size()) {
            list.emplace_back();
        }
        std::wstring& argument = list[count];
        const bool next = ExtractSingleArg(args, index, namesAllowed, *this, argument, warn);
        // An empty last argument counts after a comma only.
        if (next || !argument.empty() || count > 0) {
            ++count;
        }
        if (!next) {
            return count;
        }
    }
}
