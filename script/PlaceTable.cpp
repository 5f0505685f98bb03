#include "script/PlaceTable.h"

#include <cstdlib>
#include <new>

uint32_t TPlaceTable::Place(void* block, uint32_t last) {
    uint32_t number = firstFree;
    if (number != 0) {
        firstFree = static_cast<uint32_t>(places[number] >> 1);
    } else {
        if (size > last) {
            throw std::bad_alloc();
        }
        if (size >= capacity) {
            const uint32_t grown = capacity == 0 ? 1024 : capacity * 2;
            void* moved = std::realloc(places, grown * sizeof(uintptr_t));
            if (moved == nullptr) {
                throw std::bad_alloc();
            }
            places = static_cast<uintptr_t*>(moved);
            capacity = grown;
        }
        number = size++;
    }
    places[number] = reinterpret_cast<uintptr_t>(block);
    return number;
}

void TPlaceTable::Free(uint32_t number) {
    places[number] = (static_cast<uintptr_t>(firstFree) << 1) | 1;
    firstFree = number;
}
