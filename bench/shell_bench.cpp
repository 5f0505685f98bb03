// The game's start-up and its saved games on the sample data, in the build's
// game folder: set-up alone, set-up to a new game's first frame (in a window
// of the software renderer when there is a display, else on the null
// driver; the player ends the greeting that opens it at once), and saving
// and loading the new game.
#include <benchmark/benchmark.h>
#include <irrlicht.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "data/GameData.h"
#include "data/IrrWrap.h"
#include "platform/Utf8.h"
#include "shell/Game.h"
#include "tests/support/EndsConversations.h"
#include "world/World.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Runs in the game folder; the saves go to a folder of their own.
struct TGameFolder {
    TGameFolder() {
        fs::current_path(MORVHELD_GAME_DIR);
        saves = fs::temp_directory_path() / ("morvheld_bench_" + std::to_string(::getpid()));
        fs::create_directories(saves);
    }
    ~TGameFolder() { fs::remove_all(saves); }
    fs::path saves;
};

TGameFolder& Folder() {
    static TGameFolder folder;
    return folder;
}

std::unique_ptr<CGame> MakeGame(bool window) {
    auto game = std::make_unique<CGame>();
    g_game = game.get();
    g_gameData = game.get();
    game->ForceNullDriver(!window);
    game->SetAutosaveEnabled(false);
    game->SetLogSink([](const std::wstring&) {});
    return game;
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void SetUpAlone(benchmark::State& state) {
    Folder();
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        std::unique_ptr<CGame> game = MakeGame(false);
        game->SetUp();
        state.SetIterationTime(Seconds(start));
    }
    state.SetLabel("null driver");
}
BENCHMARK(SetUpAlone)->UseManualTime()->Unit(benchmark::kMillisecond);

// The window's creation and the first frame count; shutting down does not.
void StartUpToFirstFrame(benchmark::State& state) {
    Folder();
    const bool window = HaveDisplay();
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        std::unique_ptr<CGame> game = MakeGame(window);
        game->SetFrameClock(std::make_unique<testsupport::CEndsConversations>(*game));
        game->SetUp();
        game->New();
        game->Draw();
        state.SetIterationTime(Seconds(start));
    }
    state.SetLabel(window ? "software renderer, 800x600 window" : "null driver (no display)");
}
BENCHMARK(StartUpToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond);

// A new game with the cellar entered too, saved and loaded.
std::unique_ptr<CGame> PlayedGame() {
    std::unique_ptr<CGame> game = MakeGame(false);
    game->SetUp();
    game->New();
    game->GetWorld()->ReadyLoc(L"cellar.map", 0, 0, 0, 0, kArriveRandom, L"");
    return game;
}

void SaveGame(benchmark::State& state) {
    std::unique_ptr<CGame> game = PlayedGame();
    const std::wstring file = platform::FromUtf8((Folder().saves / "bench.sav").string());
    for (auto _ : state) {
        game->Save(file);
    }
    state.counters["bytes"] = static_cast<double>(fs::file_size(Folder().saves / "bench.sav"));
}
BENCHMARK(SaveGame)->Unit(benchmark::kMicrosecond);

void LoadGame(benchmark::State& state) {
    std::unique_ptr<CGame> game = PlayedGame();
    const std::wstring file = platform::FromUtf8((Folder().saves / "bench.sav").string());
    game->Save(file);
    for (auto _ : state) {
        game->Load(file);
    }
}
BENCHMARK(LoadGame)->Unit(benchmark::kMicrosecond);

void SaveLoadRoundTrip(benchmark::State& state) {
    std::unique_ptr<CGame> game = PlayedGame();
    const std::wstring file = platform::FromUtf8((Folder().saves / "bench.sav").string());
    for (auto _ : state) {
        game->Save(file);
        game->Load(file);
    }
}
BENCHMARK(SaveLoadRoundTrip)->Unit(benchmark::kMicrosecond);

} // namespace
