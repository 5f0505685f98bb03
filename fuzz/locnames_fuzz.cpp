// Feeds arbitrary text to the readers of the location-name file and of
// "locs.dat": the bytes up to the first zero byte are the name file, the
// rest "locs.dat".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "VEKLib/Exception.h"
#include "VEKLib/IniFile.h"
#include "VEKLib/Strings.h"
#include "data/TableFrame.h"
#include "world/World.h"

namespace {

// A world of 6 x 4 cells, a third of them hidden, with a large location,
// a random one, a site and one without a name key.
CWorld& World() {
    static CWorld world;
    static const bool ready = [] {
        world.partFactor = 3;
        world.Resize(2, 4);
        for (uint16_t y = 0; y < 2; ++y) {
            for (uint16_t x = 0; x < 2; ++x) {
                world.grid.At(x, y).nameKey = L"hall";
                world.grid.At(x, y).width = 40;
                world.grid.At(x, y).height = 30;
            }
        }
        world.grid.At(2, 0).randomKind = kWorldRandom;
        world.grid.At(3, 1).randomKind = kWorldDungeonSite;
        world.grid.At(3, 1).shown = 1;
        world.grid.At(3, 1).name = L"Site";
        world.grid.At(0, 3).nameKey.clear();
        return true;
    }();
    (void)ready;
    return world;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto* end = reinterpret_cast<const char*>(data) + size;
    const auto* zero = static_cast<const char*>(std::memchr(data, 0, size));
    const std::string names(reinterpret_cast<const char*>(data), zero != nullptr ? zero : end);
    const std::string danger(zero != nullptr ? zero + 1 : end, end);
    CWorld& world = World();
    try {
        vek::CIniFile ini;
        ini.SetSourceName(L"locations.fuzz.ini");
        ParseTableText(vek::Utf8ToWide(names), ini);
        for (const auto& [id, name] : ReadLocNames(world, ini)) {
            if (id.empty()) {
                std::abort();
            }
        }
    } catch (const vek::CException&) {
    }
    ApplyDangerLevels(world, ParseDangerLevels(vek::Utf8ToWide(danger), L"locs.dat"));
    return 0;
}
