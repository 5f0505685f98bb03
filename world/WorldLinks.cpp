// The seams of WorldLinks.h, each doing the least that exists until the
// work it stands for does: preparing a location reads a fixed one from its
// file or generates a random one, then reads its script; entering makes it the
// current location, puts the hero on his cell and runs the script events,
// passages are found by their text, and a dungeon site's levels are generated.
#include "world/WorldLinks.h"

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "data/Globals.h"
#include "rules/Hero.h"
#include "world/Loc.h"
#include "world/World.h"

void PreloadWorldLoc(CLoc& loc) {
    if ((loc.GetFlags() & kLocLayoutPresent) != 0) {
        return;
    }
    const TWorldLocInfo* cell = loc.GetWorldCell();
    if (cell == nullptr) {
        throw vek::CException(L"CLoc::Preload", L"Loc", __LINE__,
                              L"The location is not bound to a world cell: " + loc.GetOwnName());
    }
    if (cell->randomKind != kWorldFixed) {
        loc.GenerateLoc();
        loc.LoadScript(true);
        return;
    }
    if (cell->fileName.empty()) {
        throw vek::CException(L"CLoc::Preload", L"Loc", __LINE__,
                              vek::Format(L"File name not specified for non-random location at (%u, %u).",
                                          static_cast<uint32_t>(cell->worldX), static_cast<uint32_t>(cell->worldY)));
    }
    loc.LoadFromFile(kLocationDir, cell->fileName, true, false, true);
    if ((loc.GetFlags() & kLocLayoutPresent) == 0) {
        throw vek::CException(L"CLoc::Preload", L"Loc", __LINE__, L"Cannot load location: " + cell->fileName);
    }
    loc.LoadScript(true);
}

bool EnterWorldLoc(CLoc& loc, uint16_t x, uint16_t y, uint8_t mode, const TArrival& arrival) {
    if (g_gameData == nullptr) {
        return false;
    }
    CHero* hero = g_gameData->GetHero();
    g_gameData->SetCurrentLoc(&loc);
    if (hero != nullptr) {
        if (mode == kArriveRandom) {
            loc.PlaceHeroRandomly();
        } else {
            const uint16_t standing = loc.IsInside(x, y) ? loc.GetCreatureIds().At(x, y) : kNoCreature;
            if (!IsPassable(x, y, loc) || (standing != kNoCreature && standing != kHeroCell)) {
                g_gameData->AddMessage(g_gameData->GetStrings().Get(L"STR_GAME_MSG_BUMP"));
                g_gameData->SetCurrentLoc(arrival.previous);
                return false;
            }
            if (arrival.previous != nullptr &&
                arrival.previous->IsInside(static_cast<int32_t>(hero->x), static_cast<int32_t>(hero->y))) {
                uint16_t& old = arrival.previous->GetCreatureIds().At(static_cast<uint16_t>(hero->x),
                                                                      static_cast<uint16_t>(hero->y));
                if (old == kHeroCell) {
                    old = kNoCreature;
                }
            }
            hero->x = x;
            hero->y = y;
        }
        loc.GetCreatureIds().At(static_cast<uint16_t>(hero->x), static_cast<uint16_t>(hero->y)) = kHeroCell;
    }
    if (arrival.previous != nullptr && arrival.previous != &loc) {
        arrival.previous->Exit();
    }
    loc.RunOnEnterLoc();
    // The time since the hero last left it, for the scripts that ask.
    g_gameData->SetCurrentLocExitTime(loc.GetExitTime());
    loc.SetFlags(loc.GetFlags() | kLocEntered);
    loc.RunOnEnter();
    return true;
}

bool FindWorldPortal(const CLoc& loc, const std::wstring& name, uint16_t& x, uint16_t& y) {
    for (uint16_t row = 0; row < loc.GetHeight(); ++row) {
        for (uint16_t column = 0; column < loc.GetWidth(); ++column) {
            const TSpecialObject& object = loc.GetSpecialObjects().At(column, row);
            if (object.active == 0 || object.kind != kSpecialPassage) {
                continue;
            }
            std::wstring text;
            const std::vector<uint8_t>& bytes = object.GetBuffer();
            for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
                text += static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
            }
            const std::vector<std::wstring> fields = vek::Split(text, L'|');
            if (fields.size() >= 2 && vek::equals(fields[1], name)) {
                x = column;
                y = row;
                return true;
            }
        }
    }
    return false;
}

vek::TPoint GenerateSiteLevel(CLoc& loc, const TSiteLevel& level) { return loc.GenerateLocForSite(level); }
