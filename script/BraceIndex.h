#pragma once
// The closing braces of a command list by depth, and by depth and argument,
// in list order: a block lookup answers from it in logarithmic time instead
// of walking the list, so blocks nested thousands deep still parse in linear
// time.
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "script/Records.h"

class CBraceIndex {
public:
    void Build(const std::vector<TCommand>& commands);
    void Clear();
    // Whether it was built for a list of this length.
    bool IsBuiltFor(size_t commandCount) const { return m_built && m_commandCount == commandCount; }

    // The first closing brace after start at the depth; -1 when none.
    int32_t After(uint32_t start, uint32_t depth) const;
    // The same, among the braces with the argument.
    int32_t After(uint32_t start, uint32_t depth, uint32_t argument) const;

private:
    static int32_t FirstAfter(const std::vector<int32_t>& braces, uint32_t start);

    std::unordered_map<uint32_t, std::vector<int32_t>> m_byDepth;
    std::unordered_map<uint64_t, std::vector<int32_t>> m_byDepthAndArgument;
    size_t m_commandCount = 0;
    bool m_built = false;
};
