#pragma once
// Fields that most commands and nodes leave at their defaults, kept apart
// and shared: the holder keeps a 24-bit number of an immutable record of
// them in one table per record type, 0 standing for the defaults. A change
// makes a new record; a parse shares equal records (CSharedFieldsPool).
// TFields gives Same (the same values) and Hash.
// The program runs on one thread; the sharing is not made for more.
#include <cstdint>
#include <utility>
#include <vector>

#include "script/PlaceTable.h"

template <class TFields>
class TSharedFields {
public:
    // The numbers fit in the 24 bits beside a holder's 8-bit kind.
    static constexpr uint32_t kLastId = (1u << 24) - 1;

    static const TFields& Get(uint32_t id) { return id == 0 ? s_defaults : Block(id)->fields; }
    static bool IsDefault(const TFields& fields) { return fields.Same(s_defaults); }
    // The fields of a record that no one else holds, to change in place;
    // null when the record is shared (or the defaults).
    static TFields* Unshared(uint32_t id) {
        return id != 0 && Block(id)->references == 1 ? &Block(id)->fields : nullptr;
    }
    // A number of a record holding fields; 0 for the defaults.
    static uint32_t Make(TFields fields);
    static void Hold(uint32_t id) {
        if (id != 0) {
            ++Block(id)->references;
        }
    }
    static void Release(uint32_t id);

private:
    struct TBlock {
        uint32_t references;
        TFields fields;
    };
    static TBlock* Block(uint32_t id) { return static_cast<TBlock*>(s_table.At(id)); }

    // The records that live, by number.
    static constinit inline TPlaceTable s_table{};
    static inline const TFields s_defaults{};
};

template <class TFields>
uint32_t TSharedFields<TFields>::Make(TFields fields) {
    if (IsDefault(fields)) {
        return 0;
    }
    TBlock* block = new TBlock{1, std::move(fields)};
    try {
        return s_table.Place(block, kLastId);
    } catch (...) {
        delete block;
        throw;
    }
}

template <class TFields>
void TSharedFields<TFields>::Release(uint32_t id) {
    if (id == 0) {
        return;
    }
    TBlock* block = Block(id);
    if (--block->references == 0) {
        delete block;
        s_table.Free(id);
    }
}

// Spreads a hash over all its bits (the texts' identities are addresses,
// whose low bits are 0).
inline size_t MixHash(uint64_t hash) {
    hash ^= hash >> 31;
    hash *= 0xBF58476D1CE4E5B9ull;
    hash ^= hash >> 29;
    return static_cast<size_t>(hash);
}

// The records of one parse: records of the same fields come out as one.
template <class TFields>
class CSharedFieldsPool {
public:
    CSharedFieldsPool() = default;
    CSharedFieldsPool(const CSharedFieldsPool& other) : m_slots(other.m_slots), m_count(other.m_count) { HoldAll(); }
    CSharedFieldsPool& operator=(const CSharedFieldsPool& other) {
        if (this != &other) {
            Clear();
            m_slots = other.m_slots;
            m_count = other.m_count;
            HoldAll();
        }
        return *this;
    }
    ~CSharedFieldsPool() { Clear(); }

    // The number of the pool's record of the same fields as the one numbered
    // id, which the caller holds and hands over; the result is held for the
    // caller.
    uint32_t Intern(uint32_t id) {
        if (id == 0) {
            return 0;
        }
        if ((m_count + 1) * 2 > m_slots.size()) {
            Grow();
        }
        const TFields& fields = Table::Get(id);
        const size_t mask = m_slots.size() - 1;
        for (size_t slot = fields.Hash() & mask;; slot = (slot + 1) & mask) {
            const uint32_t held = m_slots[slot];
            if (held == 0) {
                m_slots[slot] = id;
                ++m_count;
                Table::Hold(id);
                return id;
            }
            if (held == id || Table::Get(held).Same(fields)) {
                Table::Hold(held);
                Table::Release(id);
                return held;
            }
        }
    }
    void Clear() {
        for (uint32_t id : m_slots) {
            Table::Release(id);
        }
        m_slots = std::vector<uint32_t>();
        m_count = 0;
    }

private:
    using Table = TSharedFields<TFields>;

    void HoldAll() {
        for (uint32_t id : m_slots) {
            Table::Hold(id);
        }
    }
    void Grow() {
        std::vector<uint32_t> old(m_slots.empty() ? 64 : m_slots.size() * 2, 0);
        old.swap(m_slots);
        const size_t mask = m_slots.size() - 1;
        for (uint32_t id : old) {
            if (id != 0) {
                size_t slot = Table::Get(id).Hash() & mask;
                while (m_slots[slot] != 0) {
                    slot = (slot + 1) & mask;
                }
                m_slots[slot] = id;
            }
        }
    }

    std::vector<uint32_t> m_slots; // record numbers by hash, 0: free
    size_t m_count = 0;
};

// The first 32 bits of a record with rare fields: its kind, in 8 bits, and
// the number of the record of its rare fields.
template <class TFields>
class TKindAndRareFields {
public:
    TKindAndRareFields() = default;
    TKindAndRareFields(const TKindAndRareFields& other) : kind(other.kind), m_rare(other.m_rare) {
        Table::Hold(m_rare);
    }
    TKindAndRareFields(TKindAndRareFields&& other) noexcept : kind(other.kind), m_rare(other.m_rare) {
        other.m_rare = 0;
    }
    TKindAndRareFields& operator=(const TKindAndRareFields& other) {
        Table::Hold(other.m_rare); // other may be this record
        Table::Release(m_rare);
        kind = other.kind;
        m_rare = other.m_rare;
        return *this;
    }
    TKindAndRareFields& operator=(TKindAndRareFields&& other) noexcept {
        if (this != &other) {
            Table::Release(m_rare);
            kind = other.kind;
            m_rare = other.m_rare;
            other.m_rare = 0;
        }
        return *this;
    }
    ~TKindAndRareFields() { Table::Release(m_rare); }

    // Shares the rare fields with the pool's record of the same.
    void ShareRareFields(CSharedFieldsPool<TFields>& pool) { m_rare = pool.Intern(m_rare); }

    uint32_t kind : 8 = 0;

protected:
    bool HasRareFields() const { return m_rare != 0; }
    const TFields& RareFields() const { return Table::Get(m_rare); }
    template <class TChange>
    void ChangeRareFields(TChange change) {
        if (TFields* own = Table::Unshared(m_rare)) {
            change(*own);
            if (Table::IsDefault(*own)) {
                Table::Release(m_rare);
                m_rare = 0;
            }
            return;
        }
        TFields fields = RareFields();
        change(fields);
        const uint32_t id = Table::Make(std::move(fields));
        Table::Release(m_rare);
        m_rare = id;
    }

private:
    using Table = TSharedFields<TFields>;

    uint32_t m_rare : 24 = 0;
};
