#pragma once
// Helpers of the tests of a location's services: maps from text, the
// run-time generator's sequence worked out on its own, a location whose world
// answers are the test's, the creature layer as text.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "VEKLib/Random.h"
#include "tests/support/TextConsole.h"
#include "tests/world/LocFixture.h"
#include "tests/world/PathSupport.h"
#include "world/Loc.h"

namespace worldtest {

// The run-time library's generator written out again: state * 214013 +
// 2531011, the answer bits 16 to 30 of the state.
class CExpectedRand {
public:
    explicit CExpectedRand(uint32_t seed) : m_state(seed) {}
    int32_t Next() {
        m_state = m_state * 214013u + 2531011u;
        return static_cast<int32_t>((m_state >> 16) & 0x7FFF);
    }

private:
    uint32_t m_state;
};

// The game's generator seeded for a test's life, and one that answers from
// a list.
using CSeeded = pathtest::CSeededGenerator;
using CListedRand = pathtest::CScriptedGenerator;
// What reaches the console while it lives.
using CConsoleText = testsupport::CConsoleCapture;

// A location whose world cell flags and loaded locations the test sets.
class CTestLoc : public CLoc {
public:
    uint32_t cellFlags = 0;
    std::map<std::wstring, CLoc*> loaded;

protected:
    uint32_t WorldCellFlags() const override { return cellFlags; }
    CLoc* FindLoadedLocation(const std::wstring& fileName) const override {
        const auto found = loaded.find(fileName);
        return found == loaded.end() ? nullptr : found->second;
    }
};

// Terrain from rows: '#' wall (1), anything else grass (0); the fixture's
// tables make grass passable and walls not.
inline void Paint(CLoc& loc, const std::vector<std::string>& rows) {
    loc.Init(L"Test", static_cast<uint16_t>(rows[0].size()), static_cast<uint16_t>(rows.size()), 0, 0);
    for (uint16_t y = 0; y < loc.GetHeight(); ++y) {
        for (uint16_t x = 0; x < loc.GetWidth(); ++x) {
            loc.GetTerrain().At(x, y) = rows[y][x] == '#' ? 1 : 0;
        }
    }
}

// The creature layer as rows of characters: '.' nobody, '@' the hero, else
// the local id as a digit.
inline std::vector<std::string> Layer(const CLoc& loc) {
    std::vector<std::string> rows;
    for (uint16_t y = 0; y < loc.GetHeight(); ++y) {
        std::string row;
        for (uint16_t x = 0; x < loc.GetWidth(); ++x) {
            const uint16_t id = loc.GetCreatureIds().At(x, y);
            row += id == kNoCreature ? '.' : id == kHeroCell ? '@' : static_cast<char>('0' + id);
        }
        rows.push_back(row);
    }
    return rows;
}

} // namespace worldtest
