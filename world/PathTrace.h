#pragma once
// Tracing a way back from the end of a flood: from the end, one step at a time
// to a neighbour one ring nearer the start, chosen at random among all such
// neighbours, until the cell next to the start.
#include <array>
#include <cstdint>

#include "VEKLib/Geometry.h"
#include "VEKLib/Random.h"
#include "world/PathSearch.h"

// How often a draw may miss the marked directions before the first marked one
// is taken. A working generator misses this often with a chance below 1e-59; a
// broken or faked one (always the same value) would otherwise never stop.
inline constexpr int kMaxDirectionDraws = 1024;

// Draws directions from a generator: the non-negative remainder of its next
// number by 8, a draw r naming direction r + 1, until one of the marked ones
// comes up (bit d - 1 for direction d; at least one is set). With no
// generator, or after kMaxDirectionDraws misses, the first marked direction.
// The run-time generator is stepped here on a copy of its state, put back when
// the object goes: a way through a corridor makes about eight draws a step.
class CDirectionDraws {
public:
    explicit CDirectionDraws(vek::CRandomGeneratorBase* generator);
    ~CDirectionDraws();
    CDirectionDraws(const CDirectionDraws&) = delete;
    CDirectionDraws& operator=(const CDirectionDraws&) = delete;

    uint8_t Draw(uint8_t marked);

private:
    vek::CRandomGeneratorBase* m_generator;
    bool m_runTime;
    uint32_t m_state = 0;
};

// Traces the way from `end`, reached at ring counter `counter` (at least 3),
// into `path` (the cell next to the end first, the cell next to the start
// last). marksOf(p, ring) gives the neighbours of p that hold ring number
// `ring` (bit d - 1 for direction d). The draws come from the global
// generator. False, with an empty path, when a step finds no such neighbour (a
// grid that no flood numbered).
template <class RingMarks>
bool TracePath(vek::TPoint end, uint32_t counter, RingMarks&& marksOf, TPath& path) {
    const std::array<vek::TPoint, 8>& steps = DirectionSteps();
    CDirectionDraws draws(vek::GetRandomGenerator());
    vek::TPoint current = end;
    do {
        const uint8_t marked = marksOf(current, counter - 1);
        if (marked == 0) {
            path.clear();
            return false;
        }
        const vek::TPoint step = steps[draws.Draw(marked) - 1];
        current = {current.x + step.x, current.y + step.y};
        path.push_back(current);
        --counter;
    } while (counter > kPathFirstRing);
    return true;
}

// The neighbours of p inside width x height for which holds(neighbour) is true.
template <class Holds>
uint8_t MarkNeighbours(vek::TPoint p, uint32_t width, uint32_t height, Holds&& holds) {
    const std::array<vek::TPoint, 8>& steps = DirectionSteps();
    uint8_t marked = 0;
    for (uint32_t d = 0; d < 8; ++d) {
        const vek::TPoint next{p.x + steps[d].x, p.y + steps[d].y};
        if (static_cast<uint32_t>(next.x) < width && static_cast<uint32_t>(next.y) < height && holds(next)) {
            marked = static_cast<uint8_t>(marked | (1u << d));
        }
    }
    return marked;
}
