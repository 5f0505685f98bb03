#pragma once
// The scanner of ".u" script texts: reads words, numbers, string literals,
// bracketed expressions and argument lists off one text, skips "//" comments
// and turns its position into a line number for error reports.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "script/LineIndex.h"

// A script's text as UTF-16 units, kept at one byte a unit while every unit
// fits (most scripts are ASCII).
class CScriptText {
public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    // Units beyond 16 bits go in as their surrogate pairs.
    void Assign(std::wstring_view text);
    // Text of nothing but ASCII, taken over as it is.
    void AssignAscii(std::string&& text) {
        clear();
        m_narrow = std::move(text);
    }
    void clear() {
        m_narrow.clear();
        m_wide.clear();
        m_isWide = false;
    }
    // Empty, its storage given back.
    void Release() {
        std::string().swap(m_narrow);
        std::u16string().swap(m_wide);
        m_isWide = false;
    }
    size_t size() const { return m_isWide ? m_wide.size() : m_narrow.size(); }
    bool empty() const { return size() == 0; }
    char16_t operator[](size_t index) const {
        return m_isWide ? m_wide[index] : static_cast<char16_t>(static_cast<uint8_t>(m_narrow[index]));
    }
    // A line break: CR LF is one, and so is a CR or an LF alone.
    bool BreaksLineAt(size_t index) const {
        const char16_t unit = (*this)[index];
        return unit == u'\r' || (unit == u'\n' && (index == 0 || (*this)[index - 1] != u'\r'));
    }
    // Calls found(index) at every line break, in order.
    template <class TFound>
    void ForEachLineBreak(TFound found) const {
        if (m_isWide) {
            for (size_t i = 0; i < m_wide.size(); ++i) {
                if (BreaksLineAt(i)) {
                    found(i);
                }
            }
            return;
        }
        // Most texts have no CR: their breaks are their LFs, which memchr finds.
        const char* const data = m_narrow.data();
        const size_t size = m_narrow.size();
        if (std::memchr(data, '\r', size) == nullptr) {
            for (const char* at = data; (at = static_cast<const char*>(std::memchr(at, '\n', data + size - at)));
                 ++at) {
                found(static_cast<size_t>(at - data));
            }
            return;
        }
        for (size_t i = 0; i < size; ++i) {
            if ((data[i] == '\r' || data[i] == '\n') && BreaksLineAt(i)) {
                found(i);
            }
        }
    }
    // The first index at or after from whose unit answers true; npos when none.
    template <class TTest>
    size_t FindFirst(size_t from, TTest test) const {
        return m_isWide ? Find(m_wide, from, test) : Find(m_narrow, from, test);
    }
    // The units from start up to end into a string.
    void CopyTo(size_t start, size_t end, std::wstring& out) const;

private:
    template <class TUnits, class TTest>
    static size_t Find(const TUnits& units, size_t from, TTest test) {
        for (size_t i = from; i < units.size(); ++i) {
            if (test(static_cast<char16_t>(static_cast<std::make_unsigned_t<typename TUnits::value_type>>(units[i])))) {
                return i;
            }
        }
        return npos;
    }

    std::string m_narrow;  // while every unit is below 256
    std::u16string m_wide; // otherwise
    bool m_isWide = false;
};

class CParserCore {
public:
    // The position once the text is used up.
    static constexpr uint32_t kEndOfText = 0xFFFFFFFF;

    CParserCore() = default;
    CParserCore(const CParserCore&) = default;
    CParserCore& operator=(const CParserCore&) = default;
    virtual ~CParserCore() = default;

    // Empty text, token and file name; position, number, token start and both
    // flags 0.
    virtual void Reset();

    // Reads a UTF-8 script file as the text. File name := path, loaded, not
    // parsed; the position is left alone. A missing file throws the file
    // layer's exception.
    void LoadFile(const std::wstring& path);
    // As LoadFile, with the text given in memory.
    void LoadText(const std::wstring& text, const std::wstring& path);

    // Line (from 1) of the token start; 0 for an empty text. Still answered
    // once the text has been released.
    uint32_t GetLineNumber() const;
    // Lets the text go, keeping only where its lines break: from here on the
    // scanner has an empty text, and errors still report their lines.
    void ReleaseText();
    bool IsTextReleased() const { return m_lines.IsBuilt(); }

    // The next word, delimited by white space and brackets (and commas when
    // commaDelimits is 1). False when the text is used up.
    bool GetWord(uint32_t commaDelimits);
    // The next white-space-delimited token as an unsigned decimal number.
    bool GetNumber();
    // The next item up to white space outside brackets, with the white space
    // inside brackets removed. Does not move.
    std::wstring GetExpression() const;
    // Whether the next unit that is no white space is "(", where
    // GetExpression would begin with it. Does not move.
    bool BracketFollows() const;
    // When the token starts with "//": moves to the next line, true.
    bool SkipComment();
    // Back to the nearest white space before the position.
    void StepBack();
    // The next double-quoted literal, without its quotes.
    bool GetStringLiteral();
    // The next parenthesised expression on the current line, without its
    // outer brackets. A ")" before any "(" throws error 24.
    bool GetBracketedExpr();

    // Takes one argument off an argument list, starting at index; parser
    // locates the error 41 thrown for a malformed list. True when another
    // argument follows (index then points at it). warn: report an ignored
    // minus sign on the console.
    static bool ExtractSingleArg(const std::wstring& args, uint32_t& index, bool namesAllowed,
                                 const CParserCore& parser, std::wstring& argument, bool warn = true);
    // Splits a whole argument list.
    std::vector<std::wstring> ExtractArgs(const std::wstring& args, bool namesAllowed, bool warn = true) const;
    // The same into the first strings of list, whose storage is used again;
    // the number of arguments (the strings after them are left over).
    size_t ExtractArgs(const std::wstring& args, bool namesAllowed, std::vector<std::wstring>& list,
                       bool warn = true) const;

    std::wstring GetText() const;
    // Its length in UTF-16 units, the measure of positions.
    size_t GetTextSize() const { return m_text.size(); }
    // Replaces the text as it is (no loading, no flags).
    void SetText(std::wstring_view text);
    const std::wstring& GetToken() const { return m_token; }
    void SetToken(const std::wstring& token) { m_token = token; }
    const std::wstring& GetFileName() const { return m_fileName; }
    void SetFileName(const std::wstring& name) { m_fileName = name; }
    uint32_t GetPosition() const { return m_position; }
    void SetPosition(uint32_t position) { m_position = position; }
    // The value of the last number read by GetNumber.
    uint32_t GetLastNumber() const { return m_number; }
    void SetLastNumber(uint32_t number) { m_number = number; }
    uint32_t GetTokenStart() const { return m_tokenStart; }
    void SetTokenStart(uint32_t start) { m_tokenStart = start; }
    bool IsLoaded() const { return m_loaded != 0; }
    void SetLoaded(bool loaded) { m_loaded = loaded ? 1 : 0; }
    bool IsParsed() const { return m_parsed != 0; }
    void SetParsed(bool parsed) { m_parsed = parsed ? 1 : 0; }

protected:
    // The text in place: file name := path, loaded, not parsed.
    void Loaded(const std::wstring& path);
    // The token := the text's units from start up to end.
    void TakeToken(size_t start, size_t end);

    CScriptText m_text;
    CLineIndex m_lines; // built when the text is released
    std::wstring m_token;
    std::wstring m_fileName;
    uint32_t m_position = 0;
    uint32_t m_number = 0;
    uint32_t m_tokenStart = 0;
    uint8_t m_loaded = 0;
    uint8_t m_parsed = 0;
};
