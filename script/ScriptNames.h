#pragma once
// Names as scripts compare them, in any case: hashing and equality of any
// text, maps keyed by name, and an index of a list's entries by name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "VEKLib/Strings.h"

// A unit of a name as case-insensitive comparisons see it (vek::FoldCase).
// Names are mostly ASCII; only the rest needs the folding table.
inline wchar_t FoldNameUnit(wchar_t c) {
    if (c < 0x80) {
        return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
    }
    return vek::FoldCase(c);
}

// A text's units by index: a shared text's looked up once.
template <class TText>
decltype(auto) UnitsOf(const TText& text) {
    if constexpr (requires { text.Units(); }) {
        return text.Units();
    } else {
        return (text);
    }
}

// Case-insensitive hashing and equality of names, for any text with size()
// and units by index (strings, views, shared texts): a name map is searched
// with a command's shared text as it is.
struct TNoCaseHash {
    using is_transparent = void;
    template <class TAnyText>
    size_t operator()(const TAnyText& anyText) const {
        const auto& text = UnitsOf(anyText);
        uint64_t hash = 14695981039346656037ull;
        for (size_t i = 0, size = text.size(); i < size; ++i) {
            hash ^= static_cast<uint64_t>(FoldNameUnit(text[i]));
            hash *= 1099511628211ull;
        }
        return static_cast<size_t>(hash);
    }
};
struct TNoCaseEqual {
    using is_transparent = void;
    template <class TText1, class TText2>
    bool operator()(const TText1& anyA, const TText2& anyB) const {
        const auto& a = UnitsOf(anyA);
        const auto& b = UnitsOf(anyB);
        const size_t size = a.size();
        if (size != b.size()) {
            return false;
        }
        for (size_t i = 0; i < size; ++i) {
            const wchar_t x = a[i], y = b[i];
            if (x != y && FoldNameUnit(x) != FoldNameUnit(y)) {
                return false;
            }
        }
        return true;
    }
};
template <class T>
using TNoCaseMap = std::unordered_map<std::wstring, T, TNoCaseHash, TNoCaseEqual>;

// Entries of a list found by name in any case: an open table of their
// positions beside the list, which keeps the names (no copy of a name).
// Of entries named alike the first added is found.
class CNameIndex {
public:
    void Clear() {
        m_slots.clear();
        m_count = 0;
    }
    // nameOf(position) gives the name of the entry at a position.
    template <class TNameOf>
    void Add(const TNameOf& nameOf, uint32_t position) {
        if ((m_count + 1) * 2 > m_slots.size()) {
            Grow(nameOf);
        }
        const auto& name = nameOf(position);
        for (size_t slot = Home(name);; slot = (slot + 1) & (m_slots.size() - 1)) {
            if (m_slots[slot] == 0) {
                m_slots[slot] = position + 1;
                ++m_count;
                return;
            }
            if (TNoCaseEqual()(nameOf(m_slots[slot] - 1), name)) {
                return;
            }
        }
    }
    // The position of the first entry of the name; -1 when none.
    template <class TNameOf, class TText>
    int32_t Find(const TNameOf& nameOf, const TText& name) const {
        if (m_slots.empty()) {
            return -1;
        }
        for (size_t slot = Home(name);; slot = (slot + 1) & (m_slots.size() - 1)) {
            if (m_slots[slot] == 0) {
                return -1;
            }
            if (TNoCaseEqual()(nameOf(m_slots[slot] - 1), name)) {
                return static_cast<int32_t>(m_slots[slot] - 1);
            }
        }
    }

private:
    template <class TText>
    size_t Home(const TText& name) const {
        return TNoCaseHash()(name) & (m_slots.size() - 1);
    }
    template <class TNameOf>
    void Grow(const TNameOf& nameOf) {
        std::vector<uint32_t> old;
        old.swap(m_slots);
        m_slots.assign(old.empty() ? 64 : old.size() * 2, 0);
        m_count = 0;
        // One entry of each name is there: the order of adding is no matter.
        for (uint32_t value : old) {
            if (value != 0) {
                Add(nameOf, value - 1);
            }
        }
    }

    std::vector<uint32_t> m_slots; // position + 1; 0: free
    uint32_t m_count = 0;
};
