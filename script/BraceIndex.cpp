#include "script/BraceIndex.h"

#include <algorithm>

#include "script/Commands.h"

namespace {

uint64_t Key(uint32_t depth, uint32_t argument) { return (static_cast<uint64_t>(depth) << 32) | argument; }

} // namespace

void CBraceIndex::Build(const std::vector<TCommand>& commands) {
    Clear();
    for (size_t i = 0; i < commands.size(); ++i) {
        const TCommand& command = commands[i];
        if (command.kind == kCmdCloseBrace) {
            m_byDepth[command.block].push_back(static_cast<int32_t>(i));
            m_byDepthAndArgument[Key(command.block, command.argument)].push_back(static_cast<int32_t>(i));
        }
    }
    m_commandCount = commands.size();
    m_built = true;
}

void CBraceIndex::Clear() {
    m_byDepth.clear();
    m_byDepthAndArgument.clear();
    m_commandCount = 0;
    m_built = false;
}

int32_t CBraceIndex::FirstAfter(const std::vector<int32_t>& braces, uint32_t start) {
    const auto it = std::upper_bound(braces.begin(), braces.end(), static_cast<int64_t>(start),
                                     [](int64_t value, int32_t brace) { return value < brace; });
    return it == braces.end() ? -1 : *it;
}

int32_t CBraceIndex::After(uint32_t start, uint32_t depth) const {
    const auto it = m_byDepth.find(depth);
    return it == m_byDepth.end() ? -1 : FirstAfter(it->second, start);
}

int32_t CBraceIndex::After(uint32_t start, uint32_t depth, uint32_t argument) const {
    const auto it = m_byDepthAndArgument.find(Key(depth, argument));
    return it == m_byDepthAndArgument.end() ? -1 : FirstAfter(it->second, start);
}
