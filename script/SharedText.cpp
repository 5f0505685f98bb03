#include "script/SharedText.h"

#include <new>

#include "script/SharedFields.h"

constinit TPlaceTable CSharedText::s_table;

CSharedText::CSharedText(const wchar_t* data, size_t length) {
    if (length == 0) {
        return;
    }
    bool wide = false;
    for (size_t i = 0; i < length && !wide; ++i) {
        wide = static_cast<uint32_t>(data[i]) > 0xFFFF;
    }
    void* memory = ::operator new(sizeof(TBlock) + length * (wide ? sizeof(char32_t) : sizeof(char16_t)));
    TBlock* block = static_cast<TBlock*>(memory);
    block->references = 1;
    block->length = static_cast<uint32_t>(length);
    block->wide = wide ? 1 : 0;
    for (size_t i = 0; i < length; ++i) {
        if (wide) {
            reinterpret_cast<char32_t*>(block + 1)[i] = static_cast<char32_t>(data[i]);
        } else {
            reinterpret_cast<char16_t*>(block + 1)[i] = static_cast<char16_t>(data[i]);
        }
    }
    try {
        m_id = s_table.Place(block, UINT32_MAX);
    } catch (...) {
        ::operator delete(block);
        throw;
    }
}

CSharedText& CSharedText::operator=(const CSharedText& other) noexcept {
    const uint32_t id = other.m_id; // other may be this text itself
    other.Hold();
    Release();
    m_id = id;
    return *this;
}

CSharedText& CSharedText::operator=(CSharedText&& other) noexcept {
    if (this != &other) {
        Release();
        m_id = other.m_id;
        other.m_id = 0;
    }
    return *this;
}

void CSharedText::Release() {
    if (m_id != 0) {
        TBlock* block = Block();
        if (--block->references == 0) {
            ::operator delete(block);
            s_table.Free(m_id);
        }
        m_id = 0;
    }
}

CSharedText::operator std::wstring() const {
    std::wstring text;
    AssignTo(text);
    return text;
}

void CSharedText::AssignTo(std::wstring& text) const {
    const CUnits units = Units();
    text.resize(units.size());
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = units[i];
    }
}

namespace {

template <class TText1, class TText2>
bool SameUnits(const TText1& a, const TText2& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

bool operator==(const CSharedText& a, const CSharedText& b) {
    return a.m_id == b.m_id || SameUnits(a.Units(), b.Units());
}

bool CSharedText::Equals(std::wstring_view text) const { return SameUnits(Units(), text); }

// --- CSharedTextPool -----------------------------------------------------------------

namespace {

template <class TText>
uint32_t HashUnits(const TText& text, size_t length) {
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < length; ++i) {
        hash ^= static_cast<uint64_t>(static_cast<uint32_t>(text[i]));
        hash *= 1099511628211ull;
    }
    // The slot comes from the low bits, which the high ones then stir too.
    return static_cast<uint32_t>(MixHash(hash));
}

} // namespace

template <class TText>
CSharedTextPool::TSlot& CSharedTextPool::Find(const TText& text, uint32_t hash) {
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        TSlot& candidate = m_slots[slot];
        if (candidate.text.empty() || (candidate.hash == hash && SameUnits(candidate.text.Units(), text))) {
            return candidate;
        }
    }
}

void CSharedTextPool::MakeRoom() {
    if ((m_count + 1) * 4 <= m_slots.size() * 3) {
        return;
    }
    std::vector<TSlot> old(m_slots.empty() ? 64 : m_slots.size() * 2);
    old.swap(m_slots);
    const size_t mask = m_slots.size() - 1;
    for (TSlot& moved : old) {
        if (!moved.text.empty()) {
            size_t slot = moved.hash & mask;
            while (!m_slots[slot].text.empty()) {
                slot = (slot + 1) & mask;
            }
            m_slots[slot] = std::move(moved);
        }
    }
}

CSharedText CSharedTextPool::Intern(std::wstring_view text) {
    if (text.empty()) {
        return CSharedText();
    }
    MakeRoom();
    const uint32_t hash = HashUnits(text, text.size());
    TSlot& slot = Find(text, hash);
    if (slot.text.empty()) {
        slot.text = CSharedText(text);
        slot.hash = hash;
        ++m_count;
    }
    return slot.text;
}

CSharedText CSharedTextPool::Intern(const CSharedText& text) {
    if (text.empty()) {
        return text;
    }
    MakeRoom();
    const CSharedText::CUnits units = text.Units();
    const uint32_t hash = HashUnits(units, units.size());
    TSlot& slot = Find(units, hash);
    if (slot.text.empty()) {
        slot.text = text;
        slot.hash = hash;
        ++m_count;
    }
    return slot.text;
}
