#pragma once
// Where the line breaks of a script's text stand, kept once the text itself
// has gone, so that errors still report their lines: about a byte a line.
#include <cstdint>
#include <vector>

class CScriptText;

class CLineIndex {
public:
    void Build(const CScriptText& text);
    void Clear();
    bool IsBuilt() const { return m_built; }
    // The line (from 1) of a position; 0 when the text was empty. A position
    // past the end is on the last line.
    uint32_t LineOf(uint32_t position) const;

private:
    // Every kStride-th break, with where the gaps after it begin.
    struct TCheckpoint {
        uint32_t position;
        uint32_t offset;
    };
    static constexpr uint32_t kStride = 64;

    std::vector<TCheckpoint> m_checkpoints;
    std::vector<uint8_t> m_gaps; // from each break to the next, 7 bits a byte, low first
    uint32_t m_count = 0;        // of breaks
    bool m_built = false;
    bool m_empty = true;
};
