#pragma once
// The world: a grid of world cells, each one screen of the world's map (a
// location of 20 x 15 cells by default) naming the location that lies there.
// A location larger than one screen covers a block of adjacent cells that
// share its name key; its first cell is the block's top left one. The world
// owns the locations of its cells once they are made, and every cell of a
// location points to it.
//
// Only the first world part (width / part factor columns) is shown to the
// player; cells beyond it hold what the world keeps out of sight, such as the
// dungeon sites that scripts make.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "VEKLib/Geometry.h"
#include "VEKLib/Map2D.h"
#include "VEKLib/Serializable.h"
#include "world/WorldLinks.h"

class CLoc;

namespace vek {
class CIniFile;
}

// Random kind of a world cell.
enum : uint8_t {
    kWorldFixed = 0,       // read from its location file
    kWorldRandom = 1,      // generated
    kWorldDungeonSite = 2, // generated around (or under) a hand-made part
};

// Bits of a world cell's record flags; the others are carried unchanged.
enum : uint32_t {
    kWorldCellNew = 0x1,        // set in every cell of the first world part of a new world
    kWorldCellBorderFree = 0x2, // a generated site need not be open at its border
};

// One world cell.
struct TWorldLocInfo : public vek::ISerializable {
    // Location cells of one world cell.
    static constexpr uint16_t kCellWidth = 20;
    static constexpr uint16_t kCellHeight = 15;
    // Every cell's danger level until "locs.dat" says otherwise.
    static constexpr uint16_t kDefaultDanger = 10;
    // The fewest bytes of a stored record: six empty texts, the 31-byte
    // block, the danger level again and the marker.
    static constexpr uint32_t kMinStoredSize = 61;
    // Stored behind a cell whose location's record follows the world in a
    // saved game.
    static constexpr uint32_t kLocationMarker = 0xDEADDEAD;

    TWorldLocInfo() = default;
    TWorldLocInfo(const TWorldLocInfo&) = default;
    TWorldLocInfo& operator=(const TWorldLocInfo&) = default;
    ~TWorldLocInfo() override;

    // Location name, file name, name key; width, height, world x, world y,
    // terrain type (u16 each), random kind, shown, tower flag (u8 each), the
    // two u16 and two u32 values, the flags (u32), the danger level (u16)
    // twice; texts 4, 6 and 5; the marker (u32): kLocationMarker when
    // HoldsSavedLocation, else 0. Counts one object.
    void Save() const;
    // The same back, strictly: a record cut short is vek::CFileException
    // code 5 (without a file name; the world's reader names the file), and
    // the cell is left as it was. The danger level becomes kDefaultDanger,
    // the marker sets pendingLoad, and the location is none. Counts one
    // object.
    void Load() override;

    // The cell is the first one of a location that was entered or is kept:
    // a saved game carries that location's record after the world.
    bool HoldsSavedLocation() const;

    std::wstring name;     // the location's name, also that of a random location
    std::wstring fileName; // ".map" under "Data/Locations/"; empty for a random one
    std::wstring nameKey;  // key of its display name; shared by the cells of one location
    // The location once made; the world owns it (copies of the record only
    // point to it).
    CLoc* loc = nullptr;
    // Read from a saved game: the location's record follows the world.
    bool pendingLoad = false;
    uint16_t width = kCellWidth; // of the location, in location cells
    uint16_t height = kCellHeight;
    uint16_t worldX = 0; // the cell's own place in the grid
    uint16_t worldY = 0;
    uint16_t terrainType = 0;
    uint8_t randomKind = kWorldFixed;
    uint8_t shown = 1; // takes part in the world's lists
    uint8_t towerFlag = 0;
    // Carried for the special objects and the windows. A dungeon site keeps
    // its level count in values16[0] and its entrance cell, (y << 16) | x,
    // in values32[0]; text5 names the location of the entrance.
    std::array<uint16_t, 2> values16{};
    std::array<uint32_t, 2> values32{};
    uint32_t flags = kWorldCellNew;
    uint16_t danger = kDefaultDanger;
    std::wstring text4;
    std::wstring text5;
    std::wstring text6;
};

template <>
struct vek::TMapCellName<TWorldLocInfo> {
    static constexpr const wchar_t* kName = L"struct TWorldLocInfo";
};
template <>
struct vek::TMapConstAtLine<TWorldLocInfo> {
    static constexpr int32_t kLine = 201;
};

// The world's record: its texts, size, world-part factor, cells and
// languages.
struct TWorldInfo : public vek::ISerializable {
    static constexpr uint16_t kDefaultSize = 4;
    // The fewest bytes of the stored world before its cells: six empty
    // texts and the 11-byte block.
    static constexpr uint32_t kMinStoredSize = 35;

    // A new world (Init).
    TWorldInfo();
    TWorldInfo(const TWorldInfo&) = delete;
    TWorldInfo& operator=(const TWorldInfo&) = delete;
    ~TWorldInfo() override;

    // 4 x 4 cells, each as InitCell makes it; reserved bytes 0, part factor
    // 1, languages "en pl". The texts stay.
    virtual void Init();
    // The cell as a new world has it: its place, 20 x 15, fixed, shown,
    // terrain 0, its coordinates ("%u,%u") as name key, flags kWorldCellNew,
    // no names, no texts, danger level kDefaultDanger. Outside the first
    // world part: not shown, flags 0, terrain 3.
    void InitCell(uint16_t x, uint16_t y);
    // widthUnits x part factor columns and height rows; the cells of the
    // overlapping area keep their records, new cells are as InitCell makes
    // them. A size of 0 or wider than 65535 columns throws vek::CException
    // and changes nothing.
    virtual void Resize(uint16_t widthUnits, uint16_t height);

    // The texts, the languages, width, height, reserved bytes, part factor;
    // then each cell's record in row order (TWorldLocInfo::Save). Counts one
    // object and one for each cell.
    void Save() const;
    // The same back, strictly: vek::CFileException code 5 (without a file
    // name) for a record that is cut short or says it has no cells, and
    // nothing changes; nothing is allocated for a size the bytes left cannot
    // hold. Each cell keeps the place its record gives and the default
    // danger level ("locs.dat" gives the levels); its marker sets pendingLoad.
    // Counts one object and one for each cell.
    void Load() override;

    // A part factor of 0 counts as 1.
    uint16_t GetPartFactor() const { return partFactor == 0 ? 1 : partFactor; }
    // Columns of the first world part.
    uint16_t GetFirstPartWidth() const { return static_cast<uint16_t>(width / GetPartFactor()); }

    std::array<std::wstring, 5> texts;
    uint16_t width = kDefaultSize;
    uint16_t height = kDefaultSize;
    std::array<uint8_t, 5> reserved{};
    uint16_t partFactor = 1;
    vek::CMap<TWorldLocInfo> grid;
    std::wstring languages;

protected:
    // Load, with errors naming the source (a file, a saved game) and the
    // function that reads it.
    void Read(const std::wstring& source, const wchar_t* function);
};

// Place names by identifier: location keys upper-cased, world parts as read.
using TPlaceNames = std::map<std::wstring, std::wstring>;

// A rectangle of world cells given one danger level by "locs.dat".
struct TDangerArea {
    uint32_t x1 = 0;
    uint32_t y1 = 0;
    uint32_t x2 = 0;
    uint32_t y2 = 0;
    uint16_t level = 0;
};

class CWorld : public TWorldInfo {
public:
    // FindLocation modes: compare name keys, or location file names.
    enum : uint32_t { kFindByKey = 0, kFindByFile = 2 };
    // The world file: tag, version (major, minor, third byte), save form.
    static constexpr uint8_t kVersionMajor = 2;
    static constexpr uint8_t kVersionMinor = 0;
    static constexpr uint32_t kFileHeaderSize = 8;

    CWorld();
    ~CWorld() override;

    // Deletes every location first (a current location among them is no
    // longer the game's current one).
    void Init() override;
    // Locations whose first cell falls outside are deleted; the others stay
    // bound to their cells.
    void Resize(uint16_t widthUnits, uint16_t height) override;

    // --- Finding cells ---------------------------------------------------------------------
    // The first cell in row order whose file name (kFindByFile) or name key
    // (any other mode) equals the name, case ignored (an empty name finds
    // the first empty one).
    bool FindLocation(const std::wstring& name, uint16_t& x, uint16_t& y, uint32_t mode) const;
    // A name that ends in ".map" (case ignored) by file name, others by key.
    bool FindLocationByName(const std::wstring& name, uint16_t& x, uint16_t& y) const;
    // A copy of the record of the cell found by file name.
    bool GetLocInfo(const std::wstring& fileName, TWorldLocInfo& info) const;
    // Walk left (up) from the cell while the next cell has the same name key
    // (case ignored); an empty key is shared with no cell.
    uint16_t FindLocStartX(uint16_t x, uint16_t y) const;
    uint16_t FindLocStartY(uint16_t x, uint16_t y) const;
    // The first cell of the location whose block holds the cell.
    vek::TPoint FindLocStart(uint16_t x, uint16_t y) const;
    // The cells of the location whose first cell this is: up to (width / 20)
    // x (height / 15) cells of the first cell's record, as far as the grid
    // reaches and the name key is shared; at least the first cell.
    std::vector<vek::TPoint> LocBlock(uint16_t firstX, uint16_t firstY) const;
    // Shown cells that are not plain random, in row order.
    std::vector<const TWorldLocInfo*> CollectLocations() const;
    // World width x first row + first column of the cell's location.
    uint32_t GetLocationIndex(uint16_t x, uint16_t y) const;
    // Where the record stands in this world's grid; false for a record that
    // is not one of its cells.
    bool FindCell(const TWorldLocInfo* cell, uint16_t& x, uint16_t& y) const;

    // --- Locations -------------------------------------------------------------------------
    // The location of the cell's block, made and prepared when there is none
    // yet: it is bound to every cell of the block and is the game's current
    // location while it is prepared. The previous current location is back
    // afterwards, also when preparing fails, and then the cells are as
    // before.
    CLoc& LoadLocAt(uint16_t x, uint16_t y);
    // The location of the cell's block, made and bound when there is none
    // yet, but not prepared: a random tower level is built as the hero
    // enters it.
    CLoc& MakeLocAt(uint16_t x, uint16_t y);
    // The location of the cell's block with its layout: read from the
    // cell's file ("Data/Locations/") when it has none yet, and nothing more
    // (no script, not made the current location). Made and bound when there
    // is none; a location made here goes again when the file cannot be read.
    CLoc& LoadLocFileAt(uint16_t x, uint16_t y);
    // Enters a location: the one named (".map": by file, else by key), else
    // the cell's; at the passage of that own name when a portal is given,
    // else at the entry cell. "Location not found: " and "Portal not found: "
    // are vek::CException; a portal that is missing leaves the location made
    // and prepared. The hero's remembered world cell becomes the current
    // location's first cell first.
    bool ReadyLoc(const std::wstring& name, uint16_t x, uint16_t y, uint16_t entryX, uint16_t entryY, uint8_t mode,
                  const std::wstring& portal);
    // The cell (x, y) when both are below 0xFFFF, else the named location;
    // with no name the grid refuses the cell (coordinates above 0xFFFF are
    // taken as 0xFFFF).
    bool ReadyLocAt(uint32_t x, uint32_t y, const std::wstring& name, uint16_t entryX, uint16_t entryY, uint8_t mode,
                    const std::wstring& portal);
    // A world of one cell holding the location read from the file (a path),
    // to try a location out: texts "TestWorld" and four empty ones, the cell
    // a new world's (name key "0,0") with the location's name, file name,
    // size and terrain type. A file that cannot be read changes nothing.
    void CreateTestWorld(const std::wstring& fileName);
    // A dungeon of width x height location cells and `levels` levels under
    // the cell (x, y) of the entrance location (named as ReadyLoc names
    // one): the first free block of hidden cells (not shown, no file, no
    // location) gets the site's record (name "DungeonSite", "DungeonSite" +
    // its number as file name and key; its display name, from
    // "default_random_dungeon", joins the place names), its first level is
    // made, and the entrance gets stairs down to it. Both locations are
    // kept in saved games (flag 4). The number is one above the highest of
    // the world's sites. Nothing changes when it fails.
    void CreateDungeonSite(uint16_t width, uint16_t height, uint16_t levels, const std::wstring& entrance, uint16_t x,
                           uint16_t y);
    // The number the next dungeon site gets.
    uint32_t NextDungeonSiteNumber() const;
    // The number of a dungeon site made in play, from its file name
    // ("DungeonSite" + 1 to 5 digits, any case); none for another name.
    static std::optional<uint32_t> SiteNumberOf(const std::wstring& fileName);
    // A site's display name: the format (the place name
    // "default_random_dungeon") with its number, or "DungeonSite" + the
    // number when the format is empty.
    static std::wstring SiteDisplayName(const std::wstring& format, uint32_t number);
    // What makes a site's levels; null puts GenerateSiteLevel back.
    void SetSiteLevelMaker(TSiteLevelMaker maker);
    size_t GetLocationCount() const { return m_locations.size(); }

    // --- Files -----------------------------------------------------------------------------
    // Reads "Data/" + fileName, then the location names of the configured
    // language and "locs.dat". A bad file is vek::CFileException code 5
    // naming it ("invalid format", "invalid version"); on any failure the
    // world and the game's place names stay as they were.
    void Load(const std::wstring& fileName);
    // The same for a world file's content already read; path names it.
    void LoadFileContent(const std::vector<uint8_t>& content, const std::wstring& path);
    // A world file: tag, version 2.0 and the third byte the file read had
    // (0 for a world not read from one), the save form without markers.
    std::vector<uint8_t> GetFileContent() const;
    // Writes it, whole or not at all.
    void SaveFile(const std::wstring& path) const;
    // The Load slot: LoadGame.
    void Load() override;
    // "Data/locations." + language + ".ini".
    static std::wstring GetLocNamesFileName(const std::wstring& language);
    // Display names of the shown locations and the world parts into the
    // game's place names (which they replace), and the danger levels of
    // "Data/locs.dat". Nothing changes when either file is bad.
    void LoadLocNames(const std::wstring& fileName);
    // "worldpart" + i and "worldpart" + i + "_b" of section "worldparts"
    // for i = 0, 1, ... up to the first that is empty.
    static void LoadWorldPartsNames(vek::CIniFile& ini, TPlaceNames& names);

    // --- Saved games -----------------------------------------------------------------------
    // The world's record, then the record of every location that was entered
    // or is kept, once each, in row order of their first cells.
    void SaveGame();
    // What SaveGame wrote, from the save stream, then the location names of
    // the configured language and "locs.dat": this world (and the game's
    // place names) is replaced only when all is read, and the NPCs of the
    // locations read go again with them. sourceName names the saved game in
    // errors.
    void LoadGame(const std::wstring& sourceName);

private:
    // The place names and danger levels for this world; applied by Apply.
    struct TNames {
        TPlaceNames placeNames;
        std::vector<TDangerArea> danger;
    };
    TNames ReadNames(const std::wstring& fileName) const;
    // The configured language's names, or none without a game.
    TNames ReadConfiguredNames() const;
    void ApplyDanger(const std::vector<TDangerArea>& danger);
    static void InstallPlaceNames(TPlaceNames names);
    // Reads the records of the pending cells' locations from the stream.
    void ReadPendingLocations(const std::wstring& source);
    // Takes every field and location of the other world; it gets this one's.
    void TakeOver(CWorld& other);
    // The first cell of the block of cell (x, y), which must be inside.
    vek::TPoint FirstCellAt(uint16_t x, uint16_t y) const;
    // Binds the location to the cells of its block; owned by the world.
    CLoc& Adopt(std::unique_ptr<CLoc> loc, uint16_t firstX, uint16_t firstY);
    void BindBlock(CLoc* loc, uint16_t firstX, uint16_t firstY);
    // Deletes one location that is bound to no cell.
    void Discard(const CLoc* loc);
    void DeleteLocations();
    // A bad world file: code 5 naming it.
    [[noreturn]] static void FailFile(const std::wstring& path, const std::wstring& details, int32_t line);

    std::vector<std::unique_ptr<CLoc>> m_locations;
    TSiteLevelMaker m_siteLevelMaker;
    // The world file's third version byte, carried unchanged.
    uint8_t m_versionThird = 0;
};

// --- The location-name file and "locs.dat" (LocNames.cpp) -----------------------------------
// The names a location-name file gives: the "locnames" value of the name
// key of each of the world's shown locations that are not plain random
// (those without a key skipped); when the file has none, a dungeon site
// made in play is named by "default_random_dungeon" and its number, any
// other gets an empty name. Then "default_unknown" and
// "default_random_dungeon" (the key itself when missing). All under their
// keys upper-cased, the first name of a key kept; then the world parts.
TPlaceNames ReadLocNames(const CWorld& world, vek::CIniFile& ini);
// The lines of "locs.dat": "x,y,level" or "x1,y1,x2,y2,level" (fields
// after the fifth ignored), decimal; a byte-order mark and carriage returns
// are dropped, empty lines skipped, and other lines skipped with a warning
// in the game's log naming the source and line. Levels above 65535 count
// as 65535.
std::vector<TDangerArea> ParseDangerLevels(const std::wstring& text, const std::wstring& sourceName);
// In order, so that a later line wins; cells outside the world are skipped.
void ApplyDangerLevels(TWorldInfo& world, const std::vector<TDangerArea>& areas);
