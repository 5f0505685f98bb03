#include "script/SharedText.h"

#include <new>

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
size_t HashUnits(const TText& text, size_t length) {
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < length; ++i) {
        hash ^= static_cast<uint64_t>(static_cast<uint32_t>(text[i]));
        hash *= 1099511628211ull;
    }
    return static_cast<size_t>(hash);
}

} // namespace

size_t CSharedTextPool::THash::operator()(std::wstring_view text) const { return HashUnits(text, text.size()); }

size_t CSharedTextPool::THash::operator()(const CSharedText& text) const {
    const CSharedText::CUnits units = text.Units();
    return HashUnits(units, units.size());
}

CSharedText CSharedTextPool::Intern(std::wstring_view text) {
    if (text.empty()) {
        return CSharedText();
    }
    const auto it = m_texts.find(text);
    if (it != m_texts.end()) {
        return *it;
    }
    return *m_texts.emplace(text).first;
}

CSharedText CSharedTextPool::Intern(const CSharedText& text) {
    if (text.empty()) {
        return text;
    }
    return *m_texts.insert(text).first;
}
