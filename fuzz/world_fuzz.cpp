// Feeds arbitrary bytes to the world's readers: as a world file, and as a
// saved game's world with its locations. What loads must write bytes that
// load again and write the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Stream.h"
#include "world/World.h"

namespace {

void CheckFile(const std::vector<uint8_t>& content) {
    CWorld world;
    try {
        world.LoadFileContent(content, L"fuzz.world");
    } catch (const vek::CException&) {
        return;
    }
    // The queries every caller makes, on whatever cells were read.
    for (uint16_t y = 0; y < world.height; ++y) {
        for (uint16_t x = 0; x < world.width; ++x) {
            const vek::TPoint first = world.FindLocStart(x, y);
            world.LocBlock(static_cast<uint16_t>(first.x), static_cast<uint16_t>(first.y));
            world.GetLocationIndex(x, y);
        }
    }
    world.CollectLocations();
    world.NextDungeonSiteNumber();
    const std::vector<uint8_t> saved = world.GetFileContent();
    CWorld again;
    again.LoadFileContent(saved, L"again.world");
    if (again.GetFileContent() != saved) {
        std::abort();
    }
}

std::vector<uint8_t> SaveGame(CWorld& world) {
    vek::StreamReset();
    world.SaveGame();
    const auto bytes = vek::GetStream().bytes();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void CheckSave(const uint8_t* data, size_t size) {
    vek::StreamAssign(data, size);
    CWorld world;
    try {
        world.LoadGame(L"fuzz.sav");
    } catch (const vek::CException&) {
        return;
    }
    const std::vector<uint8_t> saved = SaveGame(world);
    vek::StreamAssign(saved);
    CWorld again;
    again.LoadGame(L"again.sav");
    if (SaveGame(again) != saved) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckFile(std::vector<uint8_t>(data, data + size));
    CheckSave(data, size);
    vek::StreamReset();
    return 0;
}
