#pragma once
// The program's fixed directory layout, file names and file tags, and the
// program-wide objects that the entry function relies on.
//
// Every constant is one inline constexpr array: one definition for the whole
// program, ready before any code runs, so no unit can see it unbuilt. Paths
// are relative to the working directory and use '/'.

namespace platform {
class CGlobalExceptionHandler;
}

// --- Folders ---------------------------------------------------------------------
// "game.ini", string files, definition tables, "hero.ini", world files.
inline constexpr wchar_t kDataDir[] = L"Data/";
// "_global.u", "_onload.u", "_onload_c.u", "_test.u" and the other scripts.
inline constexpr wchar_t kScriptDir[] = L"Data/Scripts/";
inline constexpr wchar_t kLocationScriptDir[] = L"Data/Scripts/Locations/";
inline constexpr wchar_t kLocationDir[] = L"Data/Locations/";
// Location templates for the generator.
inline constexpr wchar_t kTemplateDir[] = L"Data/Templates/";
// Pictures, read through the data archive.
inline constexpr wchar_t kGraphicsDir[] = L"Graphics/";
inline constexpr wchar_t kSaveDir[] = L"Save/";

// --- Files -----------------------------------------------------------------------
inline constexpr wchar_t kAutosaveFile[] = L"Save/autosave.sav";
inline constexpr wchar_t kSaveExtension[] = L".sav";
// In the script folder: the global declarations, the two scripts run when a
// game is loaded, and the test script.
inline constexpr wchar_t kGlobalScript[] = L"_global.u";
inline constexpr wchar_t kOnLoadScript[] = L"_onload.u";
inline constexpr wchar_t kOnLoadScript2[] = L"_onload_c.u";
inline constexpr wchar_t kTestScript[] = L"_test.u";

// --- File tags (narrow) ------------------------------------------------------------
inline constexpr char kSaveGameTag[] = "SAVEGAME"; // start of a saved game
inline constexpr char kMapTag[] = "MAP";           // start of a location file
inline constexpr char kWorldTag[] = "WORLD";       // start of a world file

// --- Program-wide objects ------------------------------------------------------------
// The one crash-dump handler. Built on first use (the entry function's first
// statement initializes it), destroyed at exit.
platform::CGlobalExceptionHandler& GlobalExceptionHandler();
