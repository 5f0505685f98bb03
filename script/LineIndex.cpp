#include "script/LineIndex.h"

#include <algorithm>

#include "script/ParserCore.h"

void CLineIndex::Build(const CScriptText& text) {
    Clear();
    uint32_t count = 0, last = 0;
    m_gaps.reserve(text.size() / 16);
    text.ForEachLineBreak([&](size_t index) {
        const auto position = static_cast<uint32_t>(index);
        if ((count & (kStride - 1)) == 0) {
            m_checkpoints.push_back(TCheckpoint{position, static_cast<uint32_t>(m_gaps.size())});
        } else {
            uint32_t gap = position - last;
            for (; gap >= 0x80; gap >>= 7) {
                m_gaps.push_back(static_cast<uint8_t>(gap | 0x80));
            }
            m_gaps.push_back(static_cast<uint8_t>(gap));
        }
        last = position;
        ++count;
    });
    m_checkpoints.shrink_to_fit();
    m_gaps.shrink_to_fit();
    m_count = count;
    m_built = true;
    m_empty = text.empty();
}

void CLineIndex::Clear() {
    m_checkpoints = std::vector<TCheckpoint>();
    m_gaps = std::vector<uint8_t>();
    m_count = 0;
    m_built = false;
    m_empty = true;
}

uint32_t CLineIndex::LineOf(uint32_t position) const {
    if (m_empty) {
        return 0;
    }
    // The last checkpoint before the position, then the breaks after it.
    const auto after = std::partition_point(m_checkpoints.begin(), m_checkpoints.end(),
                                            [&](const TCheckpoint& c) { return c.position < position; });
    if (after == m_checkpoints.begin()) {
        return 1;
    }
    const size_t checkpoint = static_cast<size_t>(after - m_checkpoints.begin()) - 1;
    uint32_t before = static_cast<uint32_t>(checkpoint * kStride) + 1;
    uint32_t at = m_checkpoints[checkpoint].position;
    size_t offset = m_checkpoints[checkpoint].offset;
    for (; before < m_count && before % kStride != 0; ++before) {
        uint32_t gap = 0;
        for (uint32_t shift = 0;; shift += 7) {
            const uint8_t byte = m_gaps[offset++];
            gap |= static_cast<uint32_t>(byte & 0x7F) << shift;
            if ((byte & 0x80) == 0) {
                break;
            }
        }
        if (at + gap >= position) {
            break;
        }
        at += gap;
    }
    return before + 1;
}
