#include "script/SharedText.h"

#include <new>

CSharedText::CSharedText(const wchar_t* data, size_t length) {
    if (length == 0) {
        return;
    }
    bool wide = false;
    for (size_t i = 0; i < length && !wide; ++i) {
        wide = static_cast<uint32_t>(data[i]) > 0xFFFF;
    }
    void* memory = ::operator new(sizeof(TBlock) + length * (wide ? sizeof(char32_t) : sizeof(char16_t)));
    m_block = static_cast<TBlock*>(memory);
    m_block->references = 1;
    m_block->length = static_cast<uint32_t>(length);
    m_block->wide = wide ? 1 : 0;
    for (size_t i = 0; i < length; ++i) {
        if (wide) {
            reinterpret_cast<char32_t*>(m_block + 1)[i] = static_cast<char32_t>(data[i]);
        } else {
            reinterpret_cast<char16_t*>(m_block + 1)[i] = static_cast<char16_t>(data[i]);
        }
    }
}

CSharedText& CSharedText::operator=(const CSharedText& other) noexcept {
    TBlock* block = other.m_block; // other may be this text itself
    other.Hold();
    Release();
    m_block = block;
    return *this;
}

CSharedText& CSharedText::operator=(CSharedText&& other) noexcept {
    if (this != &other) {
        Release();
        m_block = other.m_block;
        other.m_block = nullptr;
    }
    return *this;
}

void CSharedText::Release() {
    if (m_block && --m_block->references == 0) {
        ::operator delete(m_block);
    }
    m_block = nullptr;
}

CSharedText::operator std::wstring() const {
    std::wstring text;
    AssignTo(text);
    return text;
}

void CSharedText::AssignTo(std::wstring& text) const {
    text.resize(size());
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = (*this)[i];
    }
}

bool operator==(const CSharedText& a, const CSharedText& b) {
    if (a.m_block == b.m_block) {
        return true;
    }
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

bool CSharedText::Equals(std::wstring_view text) const {
    if (size() != text.size()) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if ((*this)[i] != text[i]) {
            return false;
        }
    }
    return true;
}

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

size_t CSharedTextPool::THash::operator()(const CSharedText& text) const { return HashUnits(text, text.size()); }

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
