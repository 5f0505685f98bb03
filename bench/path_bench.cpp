// The way search on 20x15, 100x75 and 200x150 grids: open ground, rooms and
// corridors, a serpentine maze and an unreachable target (a full flood), each
// from one far corner to the other; and 50 monsters searching towards the hero
// on 100x75. Our search runs as a location runs it (the cached passability
// copied into the path grid, the search, the traced way). With libtcod present
// its A* and Dijkstra (diagonal cost 1) run on the same grids in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "VEKLib/Random.h"
#include "world/Passability.h"

#ifdef MORVHELD_HAVE_LIBTCOD
#include <libtcod/fov.h>
#include <libtcod/path.h>
#endif

namespace {

struct TBenchGrid {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> blocked; // row after row, 1 = wall
    vek::TPoint start;
    vek::TPoint end;
    // Who searches towards the end: the start alone, or the monsters.
    std::vector<vek::TPoint> walkers;

    bool Wall(int32_t x, int32_t y) const { return blocked[static_cast<size_t>(y) * width + x] != 0; }
    void Set(int32_t x, int32_t y, uint8_t v) {
        if (x >= 0 && y >= 0 && x < width && y < height) {
            blocked[static_cast<size_t>(y) * width + x] = v;
        }
    }
};

// A small generator of the bench's own, so grids do not depend on the game's.
class CLayoutRandom {
public:
    int32_t Below(int32_t n) {
        m_state = m_state * 1103515245u + 12345u;
        return static_cast<int32_t>((m_state >> 16) % static_cast<uint32_t>(n));
    }

private:
    uint32_t m_state = 7;
};

TBenchGrid Open(int32_t w, int32_t h) {
    TBenchGrid g{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h, 0), {0, 0}, {w - 1, h - 1}, {}};
    return g;
}

// Rooms on a lattice, joined by corridors to their right neighbours and now and
// then to the room below; from the first room to the last.
TBenchGrid Rooms(int32_t w, int32_t h) {
    TBenchGrid g{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h, 1), {}, {}, {}};
    CLayoutRandom random;
    const int32_t across = std::max(2, w / 14);
    const int32_t down = std::max(2, h / 11);
    const int32_t cellW = w / across;
    const int32_t cellH = h / down;
    std::vector<vek::TPoint> centres;
    for (int32_t j = 0; j < down; ++j) {
        for (int32_t i = 0; i < across; ++i) {
            const int32_t roomW = 3 + random.Below(cellW - 4);
            const int32_t roomH = 2 + random.Below(cellH - 3);
            const int32_t left = i * cellW + 1 + random.Below(cellW - roomW - 1);
            const int32_t top = j * cellH + 1 + random.Below(cellH - roomH - 1);
            for (int32_t y = top; y < top + roomH; ++y) {
                for (int32_t x = left; x < left + roomW; ++x) {
                    g.Set(x, y, 0);
                }
            }
            centres.push_back({left + roomW / 2, top + roomH / 2});
        }
    }
    auto corridor = [&](vek::TPoint a, vek::TPoint b) {
        for (; a.x != b.x; a.x += a.x < b.x ? 1 : -1) {
            g.Set(a.x, a.y, 0);
        }
        for (; a.y != b.y; a.y += a.y < b.y ? 1 : -1) {
            g.Set(a.x, a.y, 0);
        }
        g.Set(a.x, a.y, 0);
    };
    for (int32_t j = 0; j < down; ++j) {
        for (int32_t i = 0; i < across; ++i) {
            const size_t k = static_cast<size_t>(j * across + i);
            if (i + 1 < across) {
                corridor(centres[k], centres[k + 1]);
            }
            if (j + 1 < down && (i == 0 || i == across - 1 || random.Below(3) == 0)) {
                corridor(centres[k], centres[k + static_cast<size_t>(across)]);
            }
        }
    }
    g.start = centres.front();
    g.end = centres.back();
    return g;
}

// Walls on every other row, the gap at alternate ends: one long corridor.
TBenchGrid Maze(int32_t w, int32_t h) {
    TBenchGrid g = Open(w, h);
    for (int32_t y = 1; y < h; y += 2) {
        for (int32_t x = 0; x < w; ++x) {
            g.Set(x, y, 1);
        }
        g.Set((y / 2) % 2 == 0 ? w - 1 : 0, y, 0);
    }
    const int32_t last = (h - 1) % 2 == 0 ? h - 1 : h - 2;
    g.end = {(last / 2) % 2 == 0 ? w - 1 : 0, last};
    return g;
}

// Open ground with the target walled in: the search floods all of it.
TBenchGrid Unreachable(int32_t w, int32_t h) {
    TBenchGrid g = Open(w, h);
    g.end = {w - 3, h - 3};
    for (int32_t dy = -1; dy <= 1; ++dy) {
        for (int32_t dx = -1; dx <= 1; ++dx) {
            if (dx != 0 || dy != 0) {
                g.Set(g.end.x + dx, g.end.y + dy, 1);
            }
        }
    }
    return g;
}

// The hero near the middle and 50 monsters on free cells spread over the map.
TBenchGrid WithMonsters(TBenchGrid g) {
    CLayoutRandom random;
    auto freeCellNear = [&](vek::TPoint p) {
        for (int32_t r = 0;; ++r) {
            for (int32_t y = p.y - r; y <= p.y + r; ++y) {
                for (int32_t x = p.x - r; x <= p.x + r; ++x) {
                    if (x >= 0 && y >= 0 && x < g.width && y < g.height && !g.Wall(x, y)) {
                        return vek::TPoint{x, y};
                    }
                }
            }
        }
    };
    g.end = freeCellNear({g.width / 2, g.height / 2});
    while (g.walkers.size() < 50) {
        const vek::TPoint p{random.Below(g.width), random.Below(g.height)};
        if (!g.Wall(p.x, p.y) && p != g.end) {
            g.walkers.push_back(p);
        }
    }
    return g;
}

// The location side of a search: walls from the grid, the walkers and the one
// they walk to standing on their cells (they block in mode 0, which movement
// uses).
class CBenchCells final : public IPassabilitySource {
public:
    explicit CBenchCells(const TBenchGrid& grid) : m_grid(grid), m_occupied(grid.blocked.size(), 0) {
        for (const vek::TPoint& w : grid.walkers) {
            m_occupied[static_cast<size_t>(w.y) * grid.width + w.x] = 1;
        }
        m_occupied[static_cast<size_t>(grid.end.y) * grid.width + grid.end.x] = 1;
    }
    bool IsCellPassable(uint16_t x, uint16_t y) const override { return !m_grid.Wall(x, y); }
    bool IsCellOccupied(uint16_t x, uint16_t y) const override {
        return m_occupied[static_cast<size_t>(y) * m_grid.width + x] != 0;
    }

private:
    const TBenchGrid& m_grid;
    std::vector<uint8_t> m_occupied;
};

using TMaker = TBenchGrid (*)(int32_t, int32_t);

TBenchGrid Sized(const benchmark::State& state, TMaker make) {
    TBenchGrid grid = make(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)));
    grid.walkers = {grid.start};
    return grid;
}

// Every walker searches towards the end once per iteration; "steps" is the sum
// of the steps of the ways found.
void RunSearches(benchmark::State& state, const TBenchGrid& grid) {
    vek::CStdRand generator;
    generator.Seed(56576);
    vek::SetRandomGenerator(&generator);
    const CBenchCells cells(grid);
    CPassabilityCache cache;
    cache.Resize(static_cast<uint16_t>(grid.width), static_cast<uint16_t>(grid.height));
    TPath path;
    double steps = 0;
    for (auto _ : state) {
        steps = 0;
        for (const vek::TPoint& w : grid.walkers) {
            if (cache.FindWay(EPathSource::kPassability, 0, {}, {w, grid.end}, path, cells)) {
                steps += static_cast<double>(path.size() + 1);
            }
        }
        benchmark::DoNotOptimize(steps);
    }
    state.counters["steps"] = steps;
    vek::SetRandomGenerator(nullptr);
}

void Search(benchmark::State& state, TMaker make) { RunSearches(state, Sized(state, make)); }
void SearchMonsters(benchmark::State& state, TMaker make) { RunSearches(state, WithMonsters(make(100, 75))); }

#ifdef MORVHELD_HAVE_LIBTCOD
// The same walls; the walkers block each other as they do in our searches.
class CTcodMap {
public:
    explicit CTcodMap(const TBenchGrid& grid) : m_map(TCOD_map_new(grid.width, grid.height)) {
        for (int32_t y = 0; y < grid.height; ++y) {
            for (int32_t x = 0; x < grid.width; ++x) {
                TCOD_map_set_properties(m_map, x, y, true, !grid.Wall(x, y));
            }
        }
        for (const vek::TPoint& w : grid.walkers) {
            TCOD_map_set_properties(m_map, w.x, w.y, true, false);
        }
    }
    ~CTcodMap() { TCOD_map_delete(m_map); }
    CTcodMap(const CTcodMap&) = delete;
    CTcodMap& operator=(const CTcodMap&) = delete;
    TCOD_map_t Get() const { return m_map; }

private:
    TCOD_map_t m_map;
};

void RunTcodAStar(benchmark::State& state, const TBenchGrid& grid) {
    const CTcodMap map(grid);
    TCOD_path_t path = TCOD_path_new_using_map(map.Get(), 1.0f);
    double steps = 0;
    for (auto _ : state) {
        steps = 0;
        for (const vek::TPoint& w : grid.walkers) {
            if (TCOD_path_compute(path, w.x, w.y, grid.end.x, grid.end.y)) {
                steps += TCOD_path_size(path);
            }
        }
        benchmark::DoNotOptimize(steps);
    }
    state.counters["steps"] = steps;
    TCOD_path_delete(path);
}

void TcodAStar(benchmark::State& state, TMaker make) { RunTcodAStar(state, Sized(state, make)); }
void TcodAStarMonsters(benchmark::State& state, TMaker make) { RunTcodAStar(state, WithMonsters(make(100, 75))); }

void TcodDijkstra(benchmark::State& state, TMaker make) {
    const TBenchGrid grid = Sized(state, make);
    const CTcodMap map(grid);
    TCOD_dijkstra_t dijkstra = TCOD_dijkstra_new(map.Get(), 1.0f);
    bool found = false;
    for (auto _ : state) {
        TCOD_dijkstra_compute(dijkstra, grid.start.x, grid.start.y);
        found = TCOD_dijkstra_path_set(dijkstra, grid.end.x, grid.end.y);
        benchmark::DoNotOptimize(found);
    }
    state.counters["steps"] = found ? TCOD_dijkstra_size(dijkstra) : 0;
    TCOD_dijkstra_delete(dijkstra);
}
#endif

void Sizes(benchmark::internal::Benchmark* b) {
    b->Args({20, 15})->Args({100, 75})->Args({200, 150})->Unit(benchmark::kMicrosecond);
}

#ifdef MORVHELD_HAVE_LIBTCOD
#define PATH_GRID(name, make)                               \
    BENCHMARK_CAPTURE(Search, name, make)->Apply(Sizes);    \
    BENCHMARK_CAPTURE(TcodAStar, name, make)->Apply(Sizes); \
    BENCHMARK_CAPTURE(TcodDijkstra, name, make)->Apply(Sizes);
#define MONSTERS(name, make)                                                      \
    BENCHMARK_CAPTURE(SearchMonsters, name, make)->Unit(benchmark::kMicrosecond); \
    BENCHMARK_CAPTURE(TcodAStarMonsters, name, make)->Unit(benchmark::kMicrosecond);
#else
#define PATH_GRID(name, make) BENCHMARK_CAPTURE(Search, name, make)->Apply(Sizes);
#define MONSTERS(name, make) BENCHMARK_CAPTURE(SearchMonsters, name, make)->Unit(benchmark::kMicrosecond);
#endif

PATH_GRID(open, Open)
PATH_GRID(rooms, Rooms)
PATH_GRID(maze, Maze)
PATH_GRID(unreachable, Unreachable)
MONSTERS(open_50_monsters, Open)
MONSTERS(rooms_50_monsters, Rooms)

} // namespace
