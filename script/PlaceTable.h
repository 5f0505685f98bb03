#pragma once
// A table of blocks by number, for values held by a number instead of a
// pointer (shared texts, shared records): number 0 is none, a freed number
// is used again. Never freed itself, so that values may outlive every other
// static object; constant-initialized for the same reason.
#include <cstdint>

struct TPlaceTable {
    void* At(uint32_t number) const { return reinterpret_cast<void*>(places[number]); }
    // A number for the block, at most last; std::bad_alloc when there is
    // none (the block stays the caller's).
    uint32_t Place(void* block, uint32_t last);
    // The number is free for another block.
    void Free(uint32_t number);

    uintptr_t* places = nullptr; // a free place holds the next free number, times two, plus one
    uint32_t size = 1;
    uint32_t capacity = 0;
    uint32_t firstFree = 0;
};
