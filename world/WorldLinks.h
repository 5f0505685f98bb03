#pragma once
// What the world asks of its locations, behind seams that the world calls:
// preparing and entering a location, finding a passage by its name, and
// making the levels of a dungeon site (a function the world holds, so that
// tests give their own).
#include <cstdint>
#include <functional>
#include <string>

#include "VEKLib/Geometry.h"

class CLoc;

// How the hero arrives in a location.
enum : uint8_t {
    kArriveRandom = 0,     // on a random free cell
    kArriveFromWorld = 1,  // on the given cell, from the world
    kArriveFromObject = 2, // on the given cell, through a passage
    kArriveCrossing = 3,   // across the border of a world cell
};

// Where the hero comes from.
struct TArrival {
    std::wstring name;
    CLoc* previous = nullptr; // may be none
    uint16_t previousX = 0;   // world column and row he was in
    uint16_t previousY = 0;
};

// One level of a dungeon site to make.
struct TSiteLevel {
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t level = 0;
    uint16_t levelCount = 0;
    bool comingUp = false;
    std::wstring siteLocation; // the location of the entrance
    vek::TPoint siteCell;      // the entrance's cell there
};
// Makes the level in the location; answers the cell the hero arrives on.
using TSiteLevelMaker = std::function<vek::TPoint(CLoc&, const TSiteLevel&)>;

// Gives the location of a world cell its layout once (random locations
// allowed, "OnInit" run): CLoc::Preload. vek::CException when it cannot; the
// location is then as before.
void PreloadWorldLoc(CLoc& loc);
// Puts the hero into the location at the cell (or at random): CLoc::Enter.
// False when the cell is refused.
bool EnterWorldLoc(CLoc& loc, uint16_t x, uint16_t y, uint8_t mode, const TArrival& arrival);
// The first passage in row order whose own name (field 1 of its text) is
// the name, case ignored.
bool FindWorldPortal(const CLoc& loc, const std::wstring& name, uint16_t& x, uint16_t& y);
// The world's default TSiteLevelMaker.
vek::TPoint GenerateSiteLevel(CLoc& loc, const TSiteLevel& level);
