#pragma once
// The readable text form of a location from which the sample ".map" files
// are made at build time (Maps/README.md describes it).
#include <string>

class CLoc;

// Builds the location from the text; sourceName names it in errors, and
// fileName is the location file it becomes: its file name, and the home of
// its NPCs. A mistake throws vek::CFileException code 5 whose details give
// the line. Items, monsters and NPCs are made through the game's tables
// (g_gameData).
void ReadMapText(CLoc& loc, const std::wstring& text, const std::wstring& sourceName,
                 const std::wstring& fileName = std::wstring());
