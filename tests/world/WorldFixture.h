#pragma once
// A game (LocFixture.h) that runs in a scratch folder of its own with a
// Data/ folder: location files, location names and danger levels that the
// world tests write, and a world installed in the game.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "VEKLib/Config.h"
#include "data/Globals.h"
#include "platform/Utf8.h"
#include "tests/support/Files.h"
#include "tests/world/LocFixture.h"
#include "world/Loc.h"
#include "world/World.h"

namespace worldtest {

// The names of the fixture's location-name file.
inline const char kNamesIni[] =
    "[locnames]\n"
    "mill = \"Mill\"\n"
    "hall = \"Great Hall\"\n"
    "default_unknown = \"Somewhere\"\n"
    "default_random_dungeon = \"Delve %u\"\n"
    "[worldparts]\n"
    "worldpart0 = \"Vale\"\n"
    "worldpart0_b = \"in the Vale\"\n";

class WorldFixture : public GameFixture {
protected:
    void SetUp() override {
        GameFixture::SetUp();
        m_folder.emplace();
        std::filesystem::create_directories("Data/Locations");
        m_game.GetConfig().SetValue(L"lang", vek::CValue(L"en"));
        WriteText("Data/locations.en.ini", kNamesIni);
        WriteText("Data/locs.dat", "");
        m_game.SetWorld(&m_world);
    }
    void TearDown() override {
        m_game.SetCurrentLoc(nullptr);
        m_game.SetWorld(nullptr);
        m_folder.reset();
        GameFixture::TearDown();
    }

    static void WriteText(const std::string& path, const std::string& text) { testsupport::WriteBytes(path, text); }

    // A location of width x height grass cells with a passage of that own
    // name at (5, 5) and a wall at (1, 1), saved as Data/Locations/<file>.
    static void WriteMap(const std::wstring& file, const std::wstring& name, uint16_t width = 20, uint16_t height = 15,
                         const std::wstring& portal = L"gate") {
        CLoc loc;
        loc.Init(name, width, height, 0, kLocLayoutPresent);
        loc.GetTerrain().Fill(0);
        loc.GetTerrain().At(1, 1) = 1;
        loc.SetSpecialObject(5, 5, kSpecialPassage, 3, 0xFFFFFFFF, L"elsewhere.map|" + portal + L"|there");
        loc.SetFileName(file);
        loc.SaveToFile(std::wstring(kLocationDir) + file, true);
    }

    // Cell (x, y) as a fixed location of the file and key, and the cells of
    // its block beside and below it as its others.
    void Place(uint16_t x, uint16_t y, const std::wstring& file, const std::wstring& key, uint16_t width = 20,
               uint16_t height = 15) {
        for (uint16_t cy = y; cy < y + height / 15; ++cy) {
            for (uint16_t cx = x; cx < x + width / 20; ++cx) {
                TWorldLocInfo& cell = m_world.grid.At(cx, cy);
                cell.fileName = file;
                cell.nameKey = key;
                cell.width = width;
                cell.height = height;
            }
        }
    }

    CWorld m_world;
    std::optional<testsupport::CScratchWorkingFolder> m_folder;
};

// Every field of every cell and the world's own, to see that nothing changed.
inline std::wstring Snapshot(const CWorld& world) {
    std::wstring s =
        world.texts[0] + L"|" + world.languages + L"|" +
        vek::Format(L"%u %u %u %u|", static_cast<uint32_t>(world.width), static_cast<uint32_t>(world.height),
                    static_cast<uint32_t>(world.partFactor), static_cast<uint32_t>(world.reserved[0]));
    for (uint16_t y = 0; y < world.height; ++y) {
        for (uint16_t x = 0; x < world.width; ++x) {
            const TWorldLocInfo& c = world.grid.At(x, y);
            s += c.name + L"," + c.fileName + L"," + c.nameKey + L"," + c.text4 + L"," + c.text5 + L"," + c.text6 +
                 vek::Format(L",%u %u %u %u %u %u %u %u %u %u %u %u %u %p;", static_cast<uint32_t>(c.width),
                             static_cast<uint32_t>(c.height), static_cast<uint32_t>(c.worldX),
                             static_cast<uint32_t>(c.worldY), static_cast<uint32_t>(c.terrainType),
                             static_cast<uint32_t>(c.randomKind), static_cast<uint32_t>(c.shown),
                             static_cast<uint32_t>(c.towerFlag), static_cast<uint32_t>(c.values16[0]), c.values32[0],
                             c.flags, static_cast<uint32_t>(c.danger), static_cast<uint32_t>(c.pendingLoad ? 1 : 0),
                             static_cast<const void*>(c.loc));
        }
    }
    return s;
}

} // namespace worldtest
