// Feeds arbitrary bytes to the location reader as a record of a saved game.
// A record that loads must save into a record that loads again, and saving
// and loading must then come back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Stream.h"
#include "data/GameData.h"
#include "world/Loc.h"

namespace {

// A game with a few kinds in its tables, one of them a large monster.
CGameData& Game() {
    static CGameData game;
    static const bool ready = [] {
        game.SetLogSink([](const std::wstring&) {});
        CDefinitionTables& tables = game.GetTableSet(kScriptTables);
        tables.terrain.resize(3);
        tables.terrain[0].flags = kPassableFlag;
        tables.objects.resize(3);
        tables.objects[1].flags = kPassableFlag;
        tables.monsters.resize(2);
        tables.monsters[1].flags = kLargeCreatureFlag;
        tables.items.resize(3);
        tables.items[1].durab = 50;
        return true;
    }();
    (void)ready;
    return game;
}

// Reads a record from the stream into a fresh location; false when refused.
bool Load(CLoc& loc) {
    Game().GetNpcList().clear();
    try {
        loc.LoadFromFile(L"", L"fuzz.map", false, false, false);
        return true;
    } catch (const vek::CException&) {
        return false;
    }
}

std::vector<uint8_t> Save(CLoc& loc) {
    vek::StreamReset();
    loc.SaveToFile(L"", false);
    const auto bytes = vek::GetStream().bytes();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    g_gameData = &Game();
    vek::StreamAssign(data, size);
    CLoc first;
    if (Load(first)) {
        // Saving drops the dead, whose NPCs took places in the NPC list and
        // so moved the others' NPC indices: the records agree from the
        // second on.
        vek::StreamAssign(Save(first));
        CLoc second;
        if (!Load(second)) {
            std::abort();
        }
        const std::vector<uint8_t> record = Save(second);
        vek::StreamAssign(record);
        CLoc third;
        if (!Load(third) || Save(third) != record) {
            std::abort();
        }
    }
    vek::StreamReset();
    Game().GetNpcList().clear();
    return 0;
}
