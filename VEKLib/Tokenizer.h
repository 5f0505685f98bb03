#pragma once
// vek::CTokenizer: cuts a text into runs without losing any character, so
// that joining the tokens gives the text back.
#include <string>
#include <utility>
#include <vector>

namespace vek {

class CTokenizer {
public:
    CTokenizer();
    explicit CTokenizer(const std::wstring& text);

    void SetText(const std::wstring& text);
    const std::wstring& GetText() const { return m_text; }

    // A bracket group runs from `open` to `close`, both included, and is one
    // token; white space ends it early. An opening character inside a group
    // starts a new group.
    void AddBracketPair(wchar_t open, wchar_t close);

    // Replaces the tokens by those of the current text: runs of white space,
    // runs of other characters and bracket groups. Returns the token count.
    size_t Tokenize();

    const std::vector<std::wstring>& GetTokens() const { return m_tokens; }
    size_t GetCount() const { return m_tokens.size(); }

private:
    // Index of the pair that `c` opens, or -1.
    int FindOpening(wchar_t c) const;

    std::wstring m_text;
    std::vector<std::wstring> m_tokens;
    std::vector<std::pair<wchar_t, wchar_t>> m_brackets;
};

} // namespace vek
