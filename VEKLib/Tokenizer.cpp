#include "VEKLib/Tokenizer.h"

#include "VEKLib/Strings.h"

namespace vek {

namespace {
constexpr size_t kReservedTokens = 1024;
}

CTokenizer::CTokenizer() { m_tokens.reserve(kReservedTokens); }

CTokenizer::CTokenizer(const std::wstring& text) : m_text(text) { m_tokens.reserve(kReservedTokens); }

void CTokenizer::SetText(const std::wstring& text) { m_text = text; }

void CTokenizer::AddBracketPair(wchar_t open, wchar_t close) { m_brackets.emplace_back(open, close); }

int CTokenizer::FindOpening(wchar_t c) const {
    for (size_t i = 0; i < m_brackets.size(); ++i) {
        if (m_brackets[i].first == c) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

size_t CTokenizer::Tokenize() {
    enum class Run { kNone, kSpace, kWord, kGroup };
    m_tokens.clear();
    std::wstring token;
    Run run = Run::kNone;
    wchar_t closing = 0;

    auto flush = [&]() {
        if (!token.empty()) {
            m_tokens.push_back(token);
        }
        token.clear();
        run = Run::kNone;
    };

    for (wchar_t c : m_text) {
        if (run == Run::kGroup && c == closing) {
            token += c;
            flush();
            continue;
        }
        if (IsSpace(c)) {
            if (run != Run::kSpace) {
                flush();
                run = Run::kSpace;
            }
            token += c;
            continue;
        }
        const int pair = FindOpening(c);
        if (pair >= 0) {
            flush();
            run = Run::kGroup;
            closing = m_brackets[static_cast<size_t>(pair)].second;
            token += c;
            continue;
        }
        if (run == Run::kSpace) {
            flush();
            run = Run::kWord;
        } else if (run == Run::kNone) {
            run = Run::kWord;
        }
        token += c;
    }
    // The last run is kept even when it is white space: dropping it would
    // change the text that the tokens stand for.
    flush();
    return m_tokens.size();
}

} // namespace vek
