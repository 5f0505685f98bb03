#pragma once
// An immutable text of UTF-16 units that its copies share: the names and
// texts of parsed commands and expression nodes. They repeat a great deal (a
// variable is named by every command that uses it), so a parse keeps each
// distinct text once (CSharedTextPool) and a command holds one 32-bit number
// per text: its place in the one table of the texts that live (a parsed
// script holds tens of thousands of commands and nodes, three texts each).
// The program runs on one thread; the sharing is not made for more.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/PlaceTable.h"

class CSharedText {
public:
    // The units of a text, looked up once for a loop over them.
    class CUnits {
    public:
        CUnits(const char16_t* narrow, const char32_t* wide, size_t size)
            : m_narrow(narrow), m_wide(wide), m_size(size) {}
        size_t size() const { return m_size; }
        wchar_t operator[](size_t index) const {
            return m_wide != nullptr ? static_cast<wchar_t>(m_wide[index]) : static_cast<wchar_t>(m_narrow[index]);
        }

    private:
        const char16_t* m_narrow;
        const char32_t* m_wide;
        size_t m_size;
    };

    CSharedText() noexcept = default;
    CSharedText(const std::wstring& text) : CSharedText(text.data(), text.size()) {}
    CSharedText(const wchar_t* text) : CSharedText(std::wstring_view(text)) {}
    CSharedText(std::wstring_view text) : CSharedText(text.data(), text.size()) {}
    CSharedText(const wchar_t* data, size_t length);
    CSharedText(const CSharedText& other) noexcept : m_id(other.m_id) { Hold(); }
    CSharedText(CSharedText&& other) noexcept : m_id(other.m_id) { other.m_id = 0; }
    CSharedText& operator=(const CSharedText& other) noexcept;
    CSharedText& operator=(CSharedText&& other) noexcept;
    ~CSharedText() { Release(); }

    bool empty() const { return m_id == 0; }
    size_t size() const { return m_id != 0 ? Block()->length : 0; }
    wchar_t operator[](size_t index) const {
        const TBlock* block = Block();
        return block->wide ? static_cast<wchar_t>(block->Wide()[index]) : static_cast<wchar_t>(block->Narrow()[index]);
    }
    wchar_t back() const { return (*this)[size() - 1]; }
    CUnits Units() const {
        if (m_id == 0) {
            return CUnits(nullptr, nullptr, 0);
        }
        const TBlock* block = Block();
        return block->wide ? CUnits(nullptr, block->Wide(), block->length)
                           : CUnits(block->Narrow(), nullptr, block->length);
    }
    std::wstring str() const { return std::wstring(*this); }
    // The same for every copy of this text (null when empty).
    const void* Identity() const { return m_id != 0 ? Block() : nullptr; }
    // Into a string that keeps its storage.
    void AssignTo(std::wstring& text) const;
    operator std::wstring() const;

    friend bool operator==(const CSharedText& a, const CSharedText& b);
    friend bool operator==(const CSharedText& a, std::wstring_view b) { return a.Equals(b); }
    friend bool operator==(const CSharedText& a, const std::wstring& b) { return a.Equals(b); }
    friend bool operator==(const CSharedText& a, const wchar_t* b) { return a.Equals(std::wstring_view(b)); }
    bool Equals(std::wstring_view text) const;

    friend std::wstring operator+(const CSharedText& a, std::wstring_view b) { return a.str().append(b); }
    friend std::wstring operator+(std::wstring_view a, const CSharedText& b) { return std::wstring(a) + b.str(); }
    friend std::wstring operator+(const CSharedText& a, const wchar_t* b) { return a + std::wstring_view(b); }
    friend std::wstring operator+(const wchar_t* a, const CSharedText& b) { return std::wstring_view(a) + b; }

private:
    // The units follow the block: 16 bits each, or 32 bits each ("wide")
    // for the rare text with a unit that 16 bits do not hold.
    struct TBlock {
        uint32_t references;
        uint32_t length : 31;
        uint32_t wide : 1;
        const char16_t* Narrow() const { return reinterpret_cast<const char16_t*>(this + 1); }
        const char32_t* Wide() const { return reinterpret_cast<const char32_t*>(this + 1); }
    };
    // The texts that live, by number.
    static constinit TPlaceTable s_table;

    TBlock* Block() const { return static_cast<TBlock*>(s_table.At(m_id)); }
    void Hold() const {
        if (m_id != 0) {
            ++Block()->references;
        }
    }
    void Release();

    uint32_t m_id = 0;
};

// The distinct texts of one parse: equal texts come out as one shared text.
class CSharedTextPool {
public:
    CSharedText Intern(std::wstring_view text);
    CSharedText Intern(const std::wstring& text) { return Intern(std::wstring_view(text)); }
    CSharedText Intern(const CSharedText& text);
    void Clear() {
        m_slots = std::vector<TSlot>();
        m_count = 0;
    }

private:
    // Open addressing over a flat array: a parse looks up every word it
    // reads, and a node-based set costs an allocation per text and a chase
    // through memory per look-up. The hash is kept to pass most other texts
    // without reading them.
    struct TSlot {
        CSharedText text; // empty: free
        uint32_t hash = 0;
    };
    // The slot holding the text, or the free one where it belongs.
    template <class TText>
    TSlot& Find(const TText& text, uint32_t hash);
    // Room for one more text.
    void MakeRoom();

    std::vector<TSlot> m_slots; // a power of two of them, at most three quarters in use
    size_t m_count = 0;
};
