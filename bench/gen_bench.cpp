// Levels per second: each terrain painter, and dungeon levels (layout and
// tiles, repeated until a pass succeeds) at four sizes; whole random
// locations as a world cell makes them (the location sized, painted or laid
// out, its doors and items made) for each terrain kind, and whole dungeon
// levels with their items, creature groups and ingredient patches. Where
// libtcod is installed, its BSP tree digs dungeons of the same sizes in the
// same run for comparison (rooms in the leaves, an L corridor per split).
//
// "gen_bench --print-dungeon SEED WIDTH HEIGHT" instead prints the dungeon
// level that a world cell of that size makes from that generation seed, as
// CLoc::DumpToConsole shows it, with the same tables (walls and closed doors
// block).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "VEKLib/Console.h"
#include "VEKLib/Exception.h"
#include "VEKLib/Map2D.h"
#include "VEKLib/Random.h"
#include "VEKLib/Strings.h"
#include "bench/BenchMachine.h"
#include "data/GameData.h"
#include "tests/support/GenerationTables.h"
#include "world/Loc.h"
#include "world/World.h"
#include "world/gen/BuildTiles.h"
#include "world/gen/Canvas.h"
#include "world/gen/Genesis.h"
#include "world/gen/Layout.h"
#include "world/gen/Seed.h"

#ifdef MORVHELD_HAVE_LIBTCOD
#include <libtcod/bsp.h>
#include <libtcod/mersenne.h>
#endif

namespace {

struct TLevelLayers {
    TLevelLayers(int64_t width, int64_t height) {
        terrain.Resize(static_cast<uint16_t>(width), static_cast<uint16_t>(height));
        objects.Resize(static_cast<uint16_t>(width), static_cast<uint16_t>(height));
    }
    // What initialising the location does before a generator runs.
    void Empty() {
        terrain.Fill(gen::kNoTile);
        objects.Fill(gen::kNoTile);
    }
    vek::CMap<uint16_t> terrain;
    vek::CMap<uint16_t> objects;
};

void LevelsPerSecond(benchmark::State& state) {
    state.counters["levels/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void Terrain(benchmark::State& state) {
    const auto terrainType = static_cast<uint32_t>(state.range(0));
    TLevelLayers layers(state.range(1), state.range(2));
    vek::CStdRand random;
    random.Seed(1);
    std::unique_ptr<CGenesis> genesis = CGenesis::Create(terrainType, 26);
    genesis->SetRandomGenerator(&random);
    for (auto _ : state) {
        layers.Empty();
        gen::CTileCanvas canvas(layers.terrain, layers.objects);
        genesis->Generate({terrainType, &canvas, gen::DrawDensity(&random)});
        benchmark::DoNotOptimize(canvas.items.data());
    }
    LevelsPerSecond(state);
}

void TerrainArguments(benchmark::internal::Benchmark* bench) {
    bench->ArgNames({"terrain", "w", "h"});
    for (int64_t terrainType : {0, 4, 6, 12, 15, 18, 21, 1}) {
        for (auto [width, height] : {std::pair{20, 15}, {40, 30}, {100, 75}, {200, 150}}) {
            bench->Args({terrainType, width, height});
        }
    }
}
BENCHMARK(Terrain)->Apply(TerrainArguments)->Unit(benchmark::kMicrosecond);

void SizeArguments(benchmark::internal::Benchmark* bench) {
    bench->ArgNames({"w", "h"});
    for (auto [width, height] : {std::pair{20, 15}, {40, 30}, {100, 75}, {200, 150}}) {
        bench->Args({width, height});
    }
}

void DungeonLevel(benchmark::State& state) {
    TLevelLayers layers(state.range(0), state.range(1));
    gen::TLayoutRequest request;
    request.width = static_cast<int32_t>(state.range(0));
    request.height = static_cast<int32_t>(state.range(1));
    vek::CStdRand random;
    random.Seed(1);
    int64_t passes = 0;
    for (auto _ : state) {
        layers.Empty();
        gen::CTileCanvas canvas(layers.terrain, layers.objects);
        gen::TLayoutResult result;
        do {
            result = gen::RandomLayoutPass(request, &random, nullptr, &canvas, nullptr);
            ++passes;
        } while (!result.success);
        benchmark::DoNotOptimize(result.rooms.data());
    }
    LevelsPerSecond(state);
    state.counters["passes/level"] = static_cast<double>(passes) / static_cast<double>(state.iterations());
}
BENCHMARK(DungeonLevel)->Apply(SizeArguments)->Unit(benchmark::kMicrosecond);

// The game the locations look their kinds up in, and its generator.
class CBenchGame {
public:
    CBenchGame() {
        testsupport::FillGenerationTables(m_game);
        g_gameData = &m_game;
        m_random.Seed(1);
        vek::SetRandomGenerator(&m_random);
        gen::SetSeedSource([this] { return ++m_seed; });
    }
    ~CBenchGame() {
        gen::SetSeedSource(nullptr);
        vek::SetRandomGenerator(nullptr);
        g_gameData = nullptr;
    }
    CBenchGame(const CBenchGame&) = delete;
    CBenchGame& operator=(const CBenchGame&) = delete;

private:
    CGameData m_game;
    vek::CStdRand m_random;
    uint32_t m_seed = 0;
};

// One new location of the world cell per iteration, made whole.
// The size is the last two arguments, from `first` on.
void MakeLocations(benchmark::State& state, TWorldLocInfo& cell, int first) {
    const CBenchGame game;
    cell.width = static_cast<uint16_t>(state.range(first));
    cell.height = static_cast<uint16_t>(state.range(first + 1));
    cell.randomKind = kWorldRandom;
    size_t creatures = 0;
    for (auto _ : state) {
        CLoc loc;
        loc.SetWorldCell(&cell);
        loc.GenerateLoc();
        creatures += loc.GetCreatures().size();
        benchmark::DoNotOptimize(loc.GetObjects().Data());
    }
    LevelsPerSecond(state);
    if (creatures != 0) {
        state.counters["creatures/level"] = static_cast<double>(creatures) / static_cast<double>(state.iterations());
    }
}

void GeneratedLocation(benchmark::State& state) {
    TWorldLocInfo cell;
    cell.nameKey = L"heath";
    cell.terrainType = static_cast<uint16_t>(state.range(0));
    MakeLocations(state, cell, 1);
}
BENCHMARK(GeneratedLocation)->Apply(TerrainArguments)->Unit(benchmark::kMicrosecond);

// A level of depth 3 (of 0 to 6): items, 20 creature groups, ingredients.
void GeneratedDungeon(benchmark::State& state) {
    TWorldLocInfo cell;
    cell.nameKey = L"fdung3";
    cell.terrainType = 4;
    MakeLocations(state, cell, 0);
}
BENCHMARK(GeneratedDungeon)->Apply(SizeArguments)->Unit(benchmark::kMicrosecond);

#ifdef MORVHELD_HAVE_LIBTCOD

struct TBspDig {
    gen::CLayoutGrid* grid;
    TCOD_random_t random;
    // The room (or, for a split, the span of both halves' rooms) of each node.
    std::unordered_map<TCOD_bsp_t*, vek::CRect> spans;
};

void Carve(gen::CLayoutGrid& grid, int x1, int y1, int x2, int y2) {
    for (int y = std::min(y1, y2); y <= std::max(y1, y2); ++y) {
        for (int x = std::min(x1, x2); x <= std::max(x1, x2); ++x) {
            grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)) = gen::kFloor;
        }
    }
}

bool DigNode(TCOD_bsp_t* node, void* data) {
    auto& dig = *static_cast<TBspDig*>(data);
    if (TCOD_bsp_is_leaf(node)) {
        const int width = TCOD_random_get_int(dig.random, 3, node->w - 2);
        const int height = TCOD_random_get_int(dig.random, 3, node->h - 2);
        const int left = TCOD_random_get_int(dig.random, node->x + 1, node->x + node->w - width - 1);
        const int top = TCOD_random_get_int(dig.random, node->y + 1, node->y + node->h - height - 1);
        Carve(*dig.grid, left, top, left + width - 1, top + height - 1);
        dig.spans[node] = {left, top, width, height};
        return true;
    }
    const vek::CRect a = dig.spans[TCOD_bsp_left(node)];
    const vek::CRect b = dig.spans[TCOD_bsp_right(node)];
    const int ax = a.left + a.width / 2;
    const int ay = a.top + a.height / 2;
    const int bx = b.left + b.width / 2;
    const int by = b.top + b.height / 2;
    Carve(*dig.grid, ax, ay, bx, ay);
    Carve(*dig.grid, bx, ay, bx, by);
    const int left = std::min(a.left, b.left);
    const int top = std::min(a.top, b.top);
    dig.spans[node] = {left, top, std::max(a.left + a.width, b.left + b.width) - left,
                       std::max(a.top + a.height, b.top + b.height) - top};
    return true;
}

void TcodBspDungeon(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    TCOD_random_t random = TCOD_random_new_from_seed(TCOD_RNG_MT, 1);
    gen::CLayoutGrid grid;
    grid.Resize(static_cast<uint16_t>(width), static_cast<uint16_t>(height));
    for (auto _ : state) {
        grid.Fill(gen::kRock);
        TCOD_bsp_t* root = TCOD_bsp_new_with_size(0, 0, width, height);
        // Leaves of at least 10 cells: rooms of 3 to 8 with a margin, as ours.
        TCOD_bsp_split_recursive(root, random, 8, 10, 10, 1.5f, 1.5f);
        TBspDig dig{&grid, random, {}};
        TCOD_bsp_traverse_inverted_level_order(root, DigNode, &dig);
        TCOD_bsp_delete(root);
        benchmark::DoNotOptimize(grid.At(0, 0));
    }
    TCOD_random_delete(random);
    LevelsPerSecond(state);
}
BENCHMARK(TcodBspDungeon)->Apply(SizeArguments)->Unit(benchmark::kMicrosecond);

#endif

// A whole decimal number up to `most`; none otherwise.
std::optional<uint32_t> Number(const char* text, uint32_t most) {
    const std::wstring wide = vek::Utf8ToWide(std::string(text));
    const wchar_t* end = nullptr;
    const uint32_t value = vek::WcsToUL(wide.c_str(), &end, 10);
    if (wide.empty() || wide[0] < L'0' || wide[0] > L'9' || *end != L'\0' || value > most) {
        return std::nullopt;
    }
    return value;
}

int PrintDungeon(const char* seedText, const char* widthText, const char* heightText) {
    const std::optional<uint32_t> seed = Number(seedText, UINT32_MAX);
    const std::optional<uint32_t> width = Number(widthText, UINT16_MAX);
    const std::optional<uint32_t> height = Number(heightText, UINT16_MAX);
    if (!seed || !width || !height) {
        vek::ConsoleErr() << L"Usage: gen_bench --print-dungeon SEED WIDTH HEIGHT (decimal numbers)" << std::endl;
        return 2;
    }
    CGameData game;
    testsupport::FillGenerationTables(game);
    g_gameData = &game;
    gen::SetSeedSource([&seed] { return *seed; });
    TWorldLocInfo cell;
    cell.nameKey = L"cave";
    cell.terrainType = 4;
    cell.width = static_cast<uint16_t>(*width);
    cell.height = static_cast<uint16_t>(*height);
    cell.randomKind = kWorldRandom;
    int result = 0;
    try {
        CLoc loc;
        loc.SetWorldCell(&cell);
        loc.GenerateLoc();
        loc.DumpToConsole();
    } catch (const vek::CException& e) {
        vek::ConsoleErr() << e.GetText() << std::endl;
        result = 1;
    }
    gen::SetSeedSource(nullptr);
    g_gameData = nullptr;
    return result;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string_view(argv[1]) == "--print-dungeon") {
        return PrintDungeon(argv[2], argv[3], argv[4]);
    }
    return bench::MedianMain(argc, argv);
}
