#pragma once
// The message log: the lines through which every part of the game tells the
// player what happened. A line carries its message type and counts how often
// it came in a row, so a repeated event takes one line.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

// Message types. Both warning types are shown in colour.
enum : uint32_t {
    kMessageInfo = 1,
    kMessageWarning = 2,
    kMessageAlert = 3,
};

struct TMessageLine {
    std::wstring text; // may hold colour and image tags
    uint32_t type = kMessageInfo;
    bool flag = false;
    uint32_t count = 1; // times it was added in a row
};

class CMessageLog {
public:
    // Called for every line added, repeats included.
    using Echo = std::function<void(const TMessageLine& line)>;

    // The oldest lines go first beyond this many.
    static constexpr size_t kMaxLines = 500;

    explicit CMessageLog(Echo echo = {});

    // The same text and type as the last line only counts that line up.
    void AddMessage(const std::wstring& text, uint32_t type = kMessageInfo, bool flag = false);
    void Clear() { m_lines.clear(); }

    const std::deque<TMessageLine>& GetLines() const { return m_lines; }

private:
    std::deque<TMessageLine> m_lines;
    Echo m_echo;
};
