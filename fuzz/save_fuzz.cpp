// Feeds arbitrary bytes to the saved-game reader. A saved game that loads
// must write one that loads again, holds the same locations and writes the
// same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Stream.h"
#include "shell/SaveGame.h"

namespace {

std::vector<uint8_t> Write(TSavedGame& saved) {
    std::vector<CGroup*> groups;
    for (const std::unique_ptr<CGroup>& group : saved.groups) {
        groups.push_back(group.get());
    }
    TSaveParts parts;
    parts.clock = saved.clock;
    parts.globals = &saved.globals;
    parts.hero = saved.hero.get();
    parts.groups = &groups;
    parts.quests = &saved.quests;
    parts.record = saved.record;
    parts.world = saved.world.get();
    return WriteSavedGame(parts);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TSavedGame saved;
    try {
        ReadSavedGame(data, size, L"fuzz.sav", saved);
    } catch (const vek::CException&) {
        return 0;
    }
    const std::vector<uint8_t> written = Write(saved);
    TSavedGame again;
    try {
        ReadSavedGame(written.data(), written.size(), L"again.sav", again);
    } catch (const vek::CException&) {
        std::abort();
    }
    // The same game: every location read is written again, and the bytes
    // settle at once.
    if (again.world->GetLocationCount() != saved.world->GetLocationCount() || Write(again) != written) {
        std::abort();
    }
    return 0;
}
