#pragma once
// A location: one map of the world. Every cell carries a terrain tile, an
// optional map-object tile, a special object, a pile of items, the id of the
// creature standing there and an explored mark; the location also keeps its
// creatures, effects, rules and alarms, two working grids of the path search
// and its script.
//
// All layers and both grids have the location's width and height once it is
// initialised (Init); a new location has 1 x 1 layers and size 0 x 0.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "VEKLib/Map2D.h"
#include "VEKLib/Random.h"
#include "VEKLib/Serializable.h"
#include "rules/Direction.h"
#include "rules/Item.h"
#include "rules/Monster.h"
#include "script/ScriptHandle.h"
#include "world/LocRecords.h"
#include "world/Passability.h"
#include "world/PathSearch.h"
#include "world/WorldLinks.h"

class CHero;
class CScript;
struct TWorldLocInfo;

// Creature-id layer: nobody stands here / the hero stands here. Every other
// value is the local id of a creature: its index in the creature list.
inline constexpr uint16_t kNoCreature = 0xFFFE;
inline constexpr uint16_t kHeroCell = 0xFFFF;
// Terrain and map-object tiles from this value up are no tile.
inline constexpr uint16_t kNoTile = 0xFFFE;
// The flag bit of terrain and map-object definitions that lets creatures
// walk through.
inline constexpr uint8_t kPassableFlag = 2;
// The flag bit of a monster kind that fills a block of cells.
inline constexpr uint8_t kLargeCreatureFlag = 2;
inline constexpr uint16_t kLargeCreatureWidth = 4;
inline constexpr uint16_t kLargeCreatureHeight = 3;

// A door's value: its state in the high half, the item type of its key in
// the low half (from kDoorNoKey up: no key). A door may carry a trap, known
// to the hero or not, and disarmed.
enum : uint16_t {
    kDoorClosed = 0x1,
    kDoorLocked = 0x2,
    kTrapKnown = 0x4,
    kTrapDisarmed = 0x8,
    kDoorNoKey = 0xFFFE,
};
// An open door is drawn two object records after its closed one; closing
// turns 104 into 103 all the same.
inline constexpr uint16_t kTowerDoorClosed = 103;
inline constexpr uint16_t kTowerDoorOpen = 104;
// Passages by appearance: stairs down (the older and the newer picture),
// stairs up, and the way out of a tower (also its way in). A passage's value
// is its target cell, (y << 16) | x; a half of kNoTargetCell is no cell.
inline constexpr uint16_t kOldStairsDown = 18;
inline constexpr uint16_t kStairsDown = 35;
inline constexpr uint16_t kStairsUp = 36;
inline constexpr uint16_t kTowerExit = kTowerDoorOpen;
inline constexpr uint32_t kNoTargetCell = 0xFFFF;
// The name keys of a tower's levels: this stem and the level's number.
inline constexpr wchar_t kTowerStem[] = L"tower";
// A monster kind whose creatures are characters: entry encounters make NPCs
// of them.
inline constexpr uint8_t kCharacterKindFlag = 0x10;
// Gems: item types kFirstGem to kLastGem - 1 in five groups of five; three of
// one type make one of the next. kLastGem also starts a transformation.
inline constexpr uint16_t kFirstGem = 99;
inline constexpr uint16_t kLastGem = 124;

// Bits of the location's flag word; the others are kept as they are.
enum : uint16_t {
    kLocEntered = 0x1,       // the hero has been here
    kLocLayoutPresent = 0x2, // loaded from its file or generated
    kLocSaved = 0x4,         // saved with the game even when never entered
    kLocWideReveal = 0x8,    // generated: the hero sees further
    kLocGenerating = 0x100,  // set while generation builds it
};

// Bit of a passability mode: creatures do not block cells.
enum : uint32_t { kCreaturesDoNotBlock = 1 };

template <>
struct vek::TMapCellName<std::vector<CItem>> {
    static constexpr const wchar_t* kName = L"class std::vector<class CItem,class std::allocator<class CItem> >";
};

class CLoc : public vek::ISerializable {
public:
    // A location holds at most this many rules (their count is stored in a byte).
    static constexpr size_t kMaxRules = 255;
    // Local ids are below the creature layer's two markers.
    static constexpr size_t kMaxCreatures = kNoCreature;
    // Bytes from the flag word to the exit time in the location file.
    static constexpr uint32_t kHeaderSize = 26;

    CLoc();
    CLoc(const CLoc&) = delete;
    CLoc& operator=(const CLoc&) = delete;
    ~CLoc() override;

    // --- Size and contents ---------------------------------------------------------------
    // Name, size, terrain type and flags; exit time 0; every layer width x
    // height: creature ids kNoCreature, terrain and objects kNoTile, explored
    // 0, piles empty, special objects empty. Deletes the creatures (their
    // global ids leave the hero's companions and the groups' lists), the
    // script and the direction request; empties the effects. Alarms and
    // rules stay. A size of 0 throws and changes nothing.
    void Init(const std::wstring& name, uint16_t width, uint16_t height, uint16_t terrainType, uint16_t flags);
    // Frees the layers and grids, deletes the creatures and the script,
    // clears kLocGenerating, size 0 x 0. Effects, rules and alarms stay. Init
    // must follow before the cells are used again.
    void Clear();
    // The editor's resize: the overlapping part of every layer is kept, new
    // cells get the location's terrain type, no object and explored 1;
    // creatures left outside are taken off the map. Then the passability grid
    // is rebuilt and the hero placed on a random free cell (PlaceHeroRandomly).
    void Resize(uint16_t width, uint16_t height);

    // The world's name for it when the world cell names it, else its own name.
    std::wstring GetName() const;
    bool IsInside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }

    // Puts the game's hero on a random free cell among columns 1 to 18 and
    // rows 1 to 13 (one he may walk on, or whose object tile is 0xFFFF, and
    // where no creature stands) and zeroes his heading. vek::CException when
    // there is none. Nothing while the game has no hero.
    void PlaceHeroRandomly();

    // --- Creatures --------------------------------------------------------------------------------
    // Writes every living creature's local id into the creature layer at its
    // position, a large one's into the block of cells it fills (as far as
    // the location reaches); every other cell becomes kNoCreature. A
    // location without cells throws the layer's 0-element error.
    void RebuildCreatureLayer();
    // Appends the creature to the list, gives it its local and global id,
    // sets its active bit and writes it into the creature layer. An NPC also
    // joins the game's NPC list. vek::CException when the list is full or
    // the creature stands outside the location (nothing changes then).
    CMonster& AddCreature(std::unique_ptr<CMonster> creature);
    // The creature of that local id (null for an entry emptied by a death).
    // vek::CException "GetMonster failed, localID = N" for an id beyond the list.
    CMonster* GetMonster(uint16_t localId) const;
    // The creature whose local id stands on the cell; null for none.
    CMonster* GetCreatureAt(uint16_t x, uint16_t y) const;
    // The NPC on the cell; null for none or a plain monster.
    CNpc* GetNpcAt(uint16_t x, uint16_t y) const;
    // Takes the creature of the cell off the map: its hit points become 0
    // and the cell kNoCreature (it stays listed until the list is compacted).
    // An empty cell gets a warning on the console; the hero's cell is left
    // alone.
    void RemoveMonster(uint16_t x, uint16_t y);
    // The occupants of the two cells change places (nobody, the hero or a
    // creature), and so do the positions they keep. A cell outside throws
    // the layer's subscript error and nothing changes.
    void SwapMonsters(vek::TPoint from, vek::TPoint to);
    // A creature with hit points holds the hero among its foes.
    bool HasHostileMonsters() const;
    // CGroupMember::kHeroId: true. Otherwise whether the listed creature of
    // that global id has hit points; false when none has that id.
    bool IsCreatureAlive(uint32_t globalId) const;
    // The first direction (1 to 8) whose neighbour inside the location has
    // that map-object tile, plus one; -1 when none has.
    int32_t FindAdjacentObject(vek::TPoint cell, uint16_t objectTile) const;
    // Puts a creature on or beside the cell, in the first slot of a dead (or
    // deleted) creature or else at the end of the list, gives it its ids and
    // the active bit and writes it into the creature layer (a large one's
    // block as far as the location reaches). Without `existing`: a new
    // monster of the type on the cell itself, its hostility the flag (1 also
    // makes the hero its foe). With `existing` (taken over on success): the
    // first neighbour in direction order that is inside and passable and
    // where its cells (a large one's block) hold no creature; none: null and
    // `existing` stays the caller's. Null, with nothing changed, for a new
    // monster's cell outside the location and for a full list. A reused
    // slot's dead creature is deleted and its global id forgotten first
    // (friends, foes, the hero's companions, groups).
    CMonster* PlaceNear(uint32_t hostility, vek::TPoint cell, uint16_t monsterType);
    CMonster* PlaceNear(vek::TPoint cell, std::unique_ptr<CMonster>& existing);
    // A new monster as PlaceNear makes it, on the cell when nobody (the hero
    // included) stands on the cells it would fill there, else beside it as
    // PlaceNear puts an existing creature. Null, with nothing changed, when
    // neither has room, the cell lies outside or the list is full.
    CMonster* PlaceNewMonster(uint32_t hostility, vek::TPoint cell, uint16_t monsterType);
    // A new monster of the type as near the cell as can be: a breadth-first
    // walk over passable cells from it (neighbours in a freshly shuffled
    // order), trying PlaceNear beside each, at most kMaxSummonCells cells.
    // Null when no place was found.
    static constexpr uint32_t kMaxSummonCells = 1200;
    CMonster* AddSummonedMonster(uint16_t monsterType, vek::TPoint cell);
    // Finds the NPC of that type in the game's NPC list and the loaded
    // location of its home, and shows it there (or takes it off the
    // creature layer). vek::CException "NPC not found - type ID: N", or "No
    // starting location for NPC name (home)." when no loaded location has
    // that file name.
    void ActivateNPC(uint16_t npcType, bool active) const;
    // The NPC's cells get its local id, or kNoCreature when not active;
    // nothing when this location does not list it under its local id.
    void ActivateNpcHere(const CNpc& npc, bool active);
    // When the cell holds an NPC: its cells become kNoCreature and its hit
    // points 0.
    void ClearMonsterCell(uint16_t x, uint16_t y);
    // Takes the global id out of every creature's friend and foe lists.
    void ForgetCreature(uint32_t globalId);
    // Deletes the dead creatures (an NPC leaves the game's NPC list),
    // renumbers the living ones in order, carries every friend and foe
    // reference over to the new ids and rebuilds the creature layer. The
    // hero's companions and the groups' member lists follow: the dead ones'
    // ids leave them, the renumbered ones' change.
    void ConvertMonsterIds();
    // (location index << 16) | local id; the location index is 0 while the
    // location is not bound to the world.
    uint32_t MakeGlobalMonsterId(uint16_t localId) const;
    // The creatures by local id; entries may be null until the list is
    // compacted. The location owns them.
    const std::vector<CMonster*>& GetCreatures() const { return m_creatures; }

    // --- Special objects -------------------------------------------------------------------
    // An active object of that kind, appearance and value holding the text.
    void SetSpecialObject(uint16_t x, uint16_t y, uint16_t kind, uint16_t appearance, uint32_t value,
                          const std::wstring& text);
    // A parameter object (editor): appearance 99 for type 1, else 0; the
    // buffer holds type (u32), a, b, c (u16 each).
    void CreateSpecialObject(uint32_t type, uint16_t x, uint16_t y, uint16_t a, uint16_t b, uint16_t c);
    void CreateTextObject(uint16_t x, uint16_t y, uint16_t appearance, const std::wstring& text);
    // A door object that carries a trap: with a record, the buffer holds it
    // (armed byte 1, the record value) and the trap is known (state 5);
    // without, the buffer is empty (state 1).
    void CreateTrapObject(uint16_t x, uint16_t y, uint16_t appearance, bool withRecord, uint32_t recordValue);
    void ClearSpecialObject(uint16_t x, uint16_t y);
    static TSpecialObject MakeEmptySpecialObject() { return TSpecialObject(); }
    // A closed door (locked too when asked) drawn with its closed appearance,
    // opened by the key item (kDoorNoKey and above: none).
    void CreateDoor(uint16_t x, uint16_t y, uint16_t appearance, bool locked, uint16_t key);
    // The text a special object's buffer holds (UTF-16 units, low byte
    // first; an odd last byte is no unit).
    static std::wstring SpecialObjectText(const TSpecialObject& object);

    // --- Item piles ----------------------------------------------------------------------------
    // False for a count of 0. Otherwise the item joins the first equal
    // entry (count saturating at the largest u32) or goes to the end; on a
    // gem transformer a gem (kFirstGem to kLastGem) starts a transformation.
    bool PutItem(uint16_t x, uint16_t y, const CItem& item);
    // Lowers the entry's count by the quantity, or takes it away when the
    // quantity is kAllItems or not below its count. No entry at that
    // position: nothing.
    static constexpr uint32_t kAllItems = 0xFFFFFFFF;
    void TakeItem(uint16_t x, uint16_t y, uint16_t position, uint32_t quantity);
    bool HasItems(uint16_t x, uint16_t y) const { return !m_items.At(x, y).empty(); }
    uint32_t GetItemCount(uint16_t x, uint16_t y) const { return static_cast<uint32_t>(m_items.At(x, y).size()); }
    // The entry; the blank item beyond the pile.
    const CItem& GetItem(uint16_t x, uint16_t y, uint32_t position) const;
    // Empties the pile, or only takes its worn-out items.
    void ClearPile(uint16_t x, uint16_t y, bool selective);
    // Appends, in row order, the cells with items or a growing spot.
    void CollectItemCells(std::vector<vek::TPoint>& cells) const;
    // The entries of the pile that match the pattern and have a count: each
    // is appended to the matches; the answer is their total count.
    struct TItemMatch {
        uint32_t x = 0;
        uint32_t y = 0;
        uint32_t position = 0;
        uint32_t count = 0;
        bool operator==(const TItemMatch&) const = default;
    };
    uint64_t CountMatchingItems(uint16_t x, uint16_t y, const TQuestItem& pattern,
                                std::vector<TItemMatch>& matches) const;

    // --- Cells, exploring, portals, effects ------------------------------------------------------
    // A random passable cell: ten draws of a cell (x = Next() mod (width -
    // 1), y likewise; no draw for a side of 1), then a draw among all
    // passable cells in row order (Next() mod (count - 1); no draw for one).
    // A negative draw of a try names a cell outside and misses; the last
    // draw is taken as non-negative. The generator given, else the game's.
    // vek::CException when no cell is passable.
    vek::TPoint PickRandomCell(vek::CRandomGeneratorBase* generator = nullptr) const;
    void RevealAll();
    // Reveals the cells within radius r of (x, y); a generated location
    // (kLocWideReveal) sees trunc(2r + 0.5) + 2.
    void RevealAround(int32_t x, int32_t y, uint32_t r);
    // The first active passage, in row order, whose text's second field
    // ("target|name|arrival") is the name, case ignored.
    std::optional<vek::TPoint> FindPortal(const std::wstring& name) const;
    // Replaces every effect of the entry's key by the entry, at the end.
    void AddEffect(const TLocEffect& effect);
    // Brings the piles and growing spots of the cells (CollectItemCells when
    // none are given) up to date after `elapsed` seconds (0: the game's
    // time since the location was left): after more than an hour in a
    // location whose world cell says so, valuables that could walk off to
    // the hero do; remains and perishables age; worn-out items go; on a
    // clock that is a multiple of 10 the growing spots live or die by their
    // neighbours.
    void CatchUpTime(uint64_t elapsed, const std::vector<vek::TPoint>* cells = nullptr);

    // --- Passability and the way search -----------------------------------------------------------
    // Brings the path grid up to date for the mode: rebuilds the passability
    // grid when it is stale or was built for another mode, then copies it in.
    void RefreshPassability(uint32_t mode);
    // Passability grid := 1 where the cell cannot be walked through (or a
    // creature stands there, unless the requested mode says creatures do not
    // block), else 0.
    void BuildPassability();
    // The way search over the path grid, filled from gridSource 0 (the
    // cached passability for the mode) or 1 (the caller's bytes, width x
    // height, 0 free). Whether the end can be reached; unless testOnly, path
    // becomes a shortest way (the cell next to the end first, the cell next
    // to the start last). endsMustBeFree: a blocked start or end fails.
    // Equal ends answer true before anything else is looked at; otherwise
    // vek::CException "Incorrect function argument " for another source.
    bool FindWay(uint32_t gridSource, uint32_t mode, std::span<const uint8_t> grid, TPath& path, bool testOnly,
                 bool endsMustBeFree, int32_t startX, int32_t startY, int32_t endX, int32_t endY);

    // --- Random generation (LocGenerate.cpp, LocPlacement.cpp) --------------------------------
    // Generation gives up after this many layouts that fail the acceptance
    // test, and a level after this many failed layout passes.
    static constexpr int32_t kMaxGenerationIterations = 100;
    static constexpr int32_t kMaxLayoutPasses = 100;
    // Paints the location with the generator of the record's terrain type:
    // Init with the record's name, size and terrain (kLocGenerating |
    // kLocLayoutPresent; the creatures and effects stay), the density drawn,
    // the painter run, its items put (but those no cell of the border
    // reaches), kLocWideReveal set.
    void RunGenesis(const TWorldLocInfo& record, vek::CRandomGeneratorBase* generator);
    // Builds the random location of its world cell in place, from a seed of
    // gen::NextSeed: a dungeon laid out, or the terrain painted; a site's
    // hand-made part (its file) kept, a dungeon site's exits moved into its
    // rooms, each on a cell of its own; the levels named "fdung" + a digit
    // filled with items, creatures and ingredients by depth, on the cells
    // that the first room (else the border) reaches. A site is made again
    // until IsValidLayout accepts it and its exits found room, at most
    // kMaxGenerationIterations times (then vek::CException naming the
    // location and what failed). Every try after the first is reported
    // (GenServices().Report); the game waits while a dungeon is laid out.
    // Generation takes the game's tables, groups, generator and input mode
    // from GenServices (world/GenServices.h).
    void GenerateLoc();
    // A location that is not a site is always valid. A site must be open at
    // its border (unless its world cell says it need not) and reach the end
    // of every rule from its start.
    bool IsValidLayout();
    // What IsValidLayout found wrong; empty when nothing.
    std::wstring FindLayoutFault();
    // Depth for the placement passes: "fdung" + n: n / 6 x 0.5 + 0.3; a
    // level of a tower: (the game's level + 1) / its level count; else 0.5.
    float GetDepthRatio() const;
    // One level of a location with levels, made in place: rooms and
    // corridors, stairs down (above the last level) and stairs up on two
    // distinct cells that reach each other, items and creatures by depth on
    // the cells that the stairs reach.
    // Level 0's stairs lead to the site location's cell. Answers the cell the
    // hero arrives on: the stairs down when coming up, else the stairs up.
    vek::TPoint GenerateLocForSite(const TSiteLevel& level);
    // One 20 x 15 level of a tower, by the game's current level: level 0 a
    // hall with the exit, the others rooms with stairs down and (below the
    // top) up, then items and creatures by depth on the cells the arrival
    // reaches. Answers the arrival cell: the exit on level 0, else the
    // stairs down.
    vek::TPoint CreateLocForTower();

    // The placement passes below keep to the cells of `reached` (one byte
    // per cell, row by row, nonzero where the hero can walk to); an empty
    // span lets them use every cell. A span of another size throws
    // vek::CException and places nothing.
    //
    // Random items by depth. On one cell: one item, or with a small chance
    // two or three. Without a cell, or with the cell (0, 0): every passable
    // cell gets one with a chance of 2 in 101. Draws from the game's
    // generator (GenServices).
    void PlaceRandomItems(float ratio, std::optional<vek::TPoint> cell, std::span<const uint8_t> reached = {});
    // Creature groups by depth from the game's group table: 20 of them on
    // free cells (passable, nobody there, no special object), or in site mode
    // one on a free cell of the generated part away from the hero. A cell is
    // drawn up to kEncounterCellDraws times, then drawn among the free ones;
    // without one, no more groups are placed.
    static constexpr int32_t kEncounterCellDraws = 1000;
    void PlaceEncounters(float ratio, bool siteMode, std::span<const uint8_t> reached = {});
    // Up to 12 patches of growing spots of two ingredients in 50 tries.
    void PlaceIngredientPatches(std::span<const uint8_t> reached = {});

    // --- Debugging -----------------------------------------------------------------------------
    // Prints the path grid, coloured, on the console and returns the same
    // text without colours. Without a grid the path grid is first brought up
    // to date with mode 0; a grid (width x height bytes, row by row) is
    // copied into it instead.
    std::wstring DumpToConsole(std::span<const uint8_t> grid = {});

    // --- The location record (".map" file and saved game) --------------------------------------
    // Appends the record to the save stream. toFile: the stream is emptied
    // first, and afterwards written to the file, logged and emptied again.
    // Compacts the creature list first. A location without cells cannot be
    // saved (vek::CException, nothing written).
    void SaveToFile(const std::wstring& fileName, bool toFile);
    // Reads one record: fromFile, the file directory + fileName (through the
    // data archive); otherwise from the save stream's read position, where
    // the record keeps the exit time. useWorldName: outside the editor the
    // world's name for the file replaces the stored name. A bad record
    // (vek::CFileException code 5 naming the file) changes nothing.
    void LoadFromFile(const std::wstring& directory, const std::wstring& fileName, bool fromFile, bool npcSetUp,
                      bool useWorldName);

    // --- Fields --------------------------------------------------------------------------------
    const std::wstring& GetOwnName() const { return m_name; }
    void SetName(const std::wstring& name) { m_name = name; }
    const std::wstring& GetFileName() const { return m_fileName; }
    void SetFileName(const std::wstring& fileName) { m_fileName = fileName; }
    uint16_t GetFlags() const { return m_flags; }
    void SetFlags(uint16_t flags) { m_flags = flags; }
    uint8_t GetReservedByte() const { return m_reservedByte; }
    void SetReservedByte(uint8_t value) { m_reservedByte = value; }
    uint16_t GetWidth() const { return m_width; }
    uint16_t GetHeight() const { return m_height; }
    uint16_t GetTerrainType() const { return m_terrainType; }
    void SetTerrainType(uint16_t terrainType) { m_terrainType = terrainType; }
    uint32_t GetReservedWord() const { return m_reservedWord; }
    void SetReservedWord(uint32_t value) { m_reservedWord = value; }
    int32_t GetDirectionAnswer() const { return m_directionAnswer; }
    void SetDirectionAnswer(int32_t answer) { m_directionAnswer = answer; }
    uint64_t GetExitTime() const { return m_exitTime; }
    void SetExitTime(uint64_t exitTime) { m_exitTime = exitTime; }
    bool IsPassabilityValid() const { return m_passability.IsValid(); }
    void InvalidatePassability() { m_passability.Invalidate(); }
    uint32_t GetPathGridMode() const { return m_passability.GetPathGridMode(); }
    uint32_t GetRequestedMode() const { return m_passability.GetRequestedMode(); }

    // The request that waits for the player's next direction; it writes its
    // answer into the direction answer. The location owns it.
    CDirection* GetDirectionRequest() const { return m_directionRequest.get(); }
    void SetDirectionRequest(std::unique_ptr<CDirection> request) { m_directionRequest = std::move(request); }

    // The world cell this location belongs to (not owned); null when the
    // location is not bound to the world.
    TWorldLocInfo* GetWorldCell() const { return m_worldCell; }
    void SetWorldCell(TWorldLocInfo* cell) { m_worldCell = cell; }

    // --- Layers and lists ------------------------------------------------------------------------
    vek::CMap<std::vector<CItem>>& GetItemPiles() { return m_items; }
    const vek::CMap<std::vector<CItem>>& GetItemPiles() const { return m_items; }
    vek::CMap<TSpecialObject>& GetSpecialObjects() { return m_specialObjects; }
    const vek::CMap<TSpecialObject>& GetSpecialObjects() const { return m_specialObjects; }
    vek::CMap<uint16_t>& GetTerrain() { return m_terrain; }
    const vek::CMap<uint16_t>& GetTerrain() const { return m_terrain; }
    vek::CMap<uint16_t>& GetObjects() { return m_objects; }
    const vek::CMap<uint16_t>& GetObjects() const { return m_objects; }
    vek::CMap<uint8_t>& GetExplored() { return m_explored; }
    const vek::CMap<uint8_t>& GetExplored() const { return m_explored; }
    vek::CMap<uint16_t>& GetCreatureIds() { return m_creatureIds; }
    const vek::CMap<uint16_t>& GetCreatureIds() const { return m_creatureIds; }
    vek::CMap<uint16_t>& GetPathGrid() { return m_passability.GetPathGrid(); }
    const vek::CMap<uint16_t>& GetPathGrid() const { return m_passability.GetPathGrid(); }
    const vek::CMap<uint16_t>& GetPassabilityGrid() const { return m_passability.GetPassabilityGrid(); }

    std::vector<TLocEffect>& GetEffects() { return m_effects; }
    const std::vector<TLocEffect>& GetEffects() const { return m_effects; }
    std::vector<TAlarm>& GetAlarms() { return m_alarms; }
    const std::vector<TAlarm>& GetAlarms() const { return m_alarms; }

    // At most kMaxRules: one more throws vek::CException and changes nothing.
    const std::vector<TLocRule>& GetRules() const { return m_rules; }
    void AddRule(const TLocRule& rule);
    void SetRules(std::vector<TLocRule> rules);
    uint8_t GetRuleCount() const { return static_cast<uint8_t>(m_rules.size()); }

    CScript* GetScript() const { return m_script.get(); }
    // Takes the script over; the old one is deleted.
    void SetScript(TScriptHandle script) { m_script = std::move(script); }

    // --- Script events (LocEvents.cpp) -----------------------------------------------------
    // The location's script becomes "Data/Scripts/Locations/" + its world
    // cell's name key + ".u" (none without a key or a file; a script that
    // fails to parse is shown in the "Script Error" box and dropped), the
    // alarms become its alarms, and with runOnInit its "OnInit" runs.
    void LoadScript(bool runOnInit);
    // The hero has come in: the global script's "LocWorldX" and "LocWorldY"
    // become the location's first world cell, and its "OnEnterLoc" runs.
    void RunOnEnterLoc() const;
    // The location script's "OnEnter", once the hero is in.
    void RunOnEnter();
    // The hero leaves: each companion still alive here is reported left
    // behind, the script's "OnExit" runs and the exit time becomes the game
    // clock.
    void Exit();

    // --- Preparing and entering (LocEnter.cpp) ---------------------------------------------
    // Gives the location of a world cell its layout once: a random cell's is
    // generated (when randomAllowed; else vek::CException "Preloading random
    // location '" + name + "' was not allowed."), a fixed one's read from
    // "Data/Locations/" + its file; then its script is read (LoadScript).
    // Nothing when the layout is present. Failures are vek::CException from
    // "CLoc::Preload" and leave the script as it was.
    void Preload(bool randomAllowed, bool runOnInit);
    // The hero comes in and the location becomes the game's current one: a
    // random tower level is built for him (else the location is prepared),
    // he stands on the entry cell that the mode gives (kArriveRandom: a
    // random one; kArriveCrossing: x and y are his heading, -1 to 1, and he
    // steps over the world cell's border; else the cell x, y), the creatures
    // beside him follow (not from kArriveRandom), the previous location is
    // left, the view and the explored area follow him, the global
    // "OnEnterLoc" runs, the entry encounter is rolled and the piles catch up
    // with the time, the location joins his visited ones, and its "OnEnter"
    // runs. False, with "STR_GAME_MSG_BUMP" logged and the previous location
    // current again, when the cell is refused (he cannot stand there, a
    // creature does, or he himself does). vek::CException from
    // "CLoc::Enter" for a crossing without a heading or off the location,
    // for a tower level entered from no passage, and (before anything
    // changes) "Script file not found - " + file when an entry encounter
    // here could bring a character whose script is missing.
    bool Enter(uint16_t x, uint16_t y, uint8_t mode, const TArrival& arrival);
    // Around the hero as he comes in, this many cells are revealed.
    static constexpr uint32_t kEntrySightRadius = 3;
    // The hero's visited locations hold at most this many; the oldest go
    // first.
    static constexpr size_t kMaxVisited = 100;

    // --- Doors, traps and bites (LocDoors.cpp) ------------------------------------------------
    // Door and trap actions do nothing (and log nothing) on a cell without
    // the object and state they need. An open door closes (drawn two records
    // lower, 104 as 103) and blocks the way at once.
    void CloseDoor(uint16_t x, uint16_t y);
    // A closed door that has a key and is not locked is locked when the hero
    // carries the key and his limbs allow it; its other state bits stay.
    void LockDoor(uint16_t x, uint16_t y);
    // A known, armed trap: the hero works at it (the time his trap skill
    // says passes), then disarms it by that skill's chance or sets it off.
    void DisarmTrap(uint16_t x, uint16_t y);
    // Sets off the cell's trap: a known armed trap object, or a set trap
    // lying on a cell without a special object. Its blast reaches the cell
    // and the eight around it; the items on the cell wear.
    void TriggerTrap(uint16_t x, uint16_t y, bool byHero);
    // The vampire hero bites the creature on the cell; collecting blood, he
    // needs an empty vial, which a bite that hits fills.
    void BiteVictim(uint16_t x, uint16_t y, bool collectBlood);
    // Skill 27, the traps.
    static constexpr uint32_t kTrapSkill = 27;
    // Item types: a set trap, an empty vial, a vial of blood.
    static constexpr uint16_t kSetTrapItem = 199;
    static constexpr uint16_t kEmptyVial = 54;
    static constexpr uint16_t kBloodVial = 55;

    // --- Alarms, encounters and NPCs (LocEncounters.cpp) -----------------------------------------
    // A member of the group was attacked: the first alarm that may be raised
    // (in list order, up to the first one still resting) turns the group's
    // living members here on the attacker.
    void RaiseAlarms(const std::wstring& group, uint32_t attacker);
    // The entry encounter of a random location: by chance and the cell's
    // danger level, an encounter's groups of creatures around random cells,
    // each a new group with its own alarm.
    void SetupGroups();
    // Encounters of the table are drawn at most this many times.
    static constexpr int32_t kEncounterDraws = 1001;
    // A copy of the NPC joins the location and the game's NPC list, set up
    // with its script. vek::CException "Cannot create NPC with no name", or
    // (outside the editor) "Script file not found - " + file when its script
    // is missing, and nothing changes; in the editor a default script is
    // written for it.
    CNpc& AddNPC(const CNpc& npc);

    // --- Special objects at work (LocSpecial.cpp) -------------------------------------------
    // The hero uses the special object on the cell: a door opens or unlocks,
    // a scripted object runs its script, a passage takes him to another
    // location or level. vek::CException "Incorrect function argument -
    // CLoc::ExecuteSpecialObject, no special object at specified position!"
    // when the cell has none.
    void ExecuteSpecialObject(uint16_t x, uint16_t y);

private:
    // What the location asks of the world (LocLinks.cpp): the name key of
    // its world cell, and of the world cell whose location file is the given
    // bare file name; empty when there is none.
    std::wstring WorldNameKey() const;
    static std::wstring FindWorldNameKey(const std::wstring& bareFileName);
    // World width x first row + first column of the location's world cells.
    uint32_t LocationIndex() const;
    // The first world cell's column and row ((0, 0) without a world cell).
    vek::TPoint FirstWorldCell() const;

protected:
    // Also asked of the world; tests answer for it. The flags of the
    // location's world cell (0 when it has none), and the loaded location
    // whose file name this is (null when none is loaded).
    virtual uint32_t WorldCellFlags() const;
    virtual CLoc* FindLoadedLocation(const std::wstring& fileName) const;

private:
    // Builds the passability grid for the mode.
    void RebuildPassability(uint32_t mode);
    // Puts the creature into the list (a dead one's slot or the end) and
    // onto the creature layer; false, with nothing changed, when full.
    bool Adopt(std::unique_ptr<CMonster>& creature);
    // The global ids leave every creature's friends and foes, the hero's
    // companions and the groups' lists.
    void ForgetEverywhere(const std::vector<uint32_t>& globalIds);
    // One gem transformation run on the cell.
    void TransformGems(uint16_t x, uint16_t y);

    // Entering, step by step (LocEnter.cpp): the location becomes the
    // current one; it is prepared for the hero (a tower level is built, its
    // arrival cell answered); the entry cell is taken (none when refused;
    // CrossingCell for a step over the border); he stands there; the
    // creatures beside the hero's cell in the previous location come along
    // to the cells beside his entry cell; the previous location is left; he
    // settles in.
    void BecomeCurrent(CLoc* previous);
    vek::TPoint PrepareForHero(uint16_t x, uint16_t y, const TArrival& arrival, std::optional<vek::TPoint> heroWas);
    std::optional<vek::TPoint> TakeEntryCell(uint16_t x, uint16_t y, uint8_t mode, const TArrival& arrival,
                                             vek::TPoint entry, std::optional<vek::TPoint> heroWas);
    vek::TPoint CrossingCell(int16_t headX, int16_t headY, const TArrival& arrival) const;
    void PutHero(CHero& hero, CLoc* previous, std::optional<vek::TPoint> heroWas, vek::TPoint entry);
    void TakeFollowers(CLoc& previous, vek::TPoint heroWas, vek::TPoint entry);
    void LeavePrevious(CLoc* previous);
    void SettleIn(vek::TPoint entry);
    // Before the hero comes in (LocEncounters.cpp): every character an entry
    // encounter here could bring has its script file, else vek::CException
    // "Script file not found - " + file.
    void CheckEncounterScripts() const;
    // The id lists outside the location (the hero's companions, the groups)
    // name the creature by its new global id.
    static void RenameEverywhere(uint32_t from, uint32_t to);
    // The passability grid's cell, when the grid is up to date.
    void SetPassabilityCell(uint16_t x, uint16_t y, bool blocked);
    // The kinds of special object at work.
    void UseDoor(uint16_t x, uint16_t y);
    void TakePassage(uint16_t x, uint16_t y);
    // A passage, step by step: the arrival record of a way out of here (the
    // hero remembers this location's first world cell), and the stairs to
    // another level of this location, made anew in its place.
    TArrival ArrivalFromHere();
    bool TakeStairsToLevel(bool down, const TArrival& arrival);

    // Deletes the creatures; an NPC's entry in the game's NPC list goes with it.
    void DeleteCreatures();
    static void DeleteCreature(CMonster* creature);
    // The cells a creature at (x, y) fills: 1 x 1, or a large creature's block.
    void FillCreatureCells(const CMonster& creature, uint16_t id);
    // Those of its cells that hold the id become kNoCreature.
    void ClearCreatureCells(const CMonster& creature, uint16_t id);

    // Takes over what a record read into `loaded` holds; `loaded` gets what
    // this location held.
    void TakeLoaded(CLoc& loaded);

    std::wstring m_name;
    std::wstring m_fileName;
    // The location file's header, from the flag word to the exit time.
    uint16_t m_flags = 0;
    uint8_t m_reservedByte = 0;
    uint16_t m_width = 0;
    uint16_t m_height = 0;
    uint16_t m_terrainType = 0;
    uint32_t m_reservedWord = 0;
    int32_t m_directionAnswer = -1;
    uint64_t m_exitTime = 0;

    TWorldLocInfo* m_worldCell = nullptr;
    std::unique_ptr<CDirection> m_directionRequest;

    vek::CMap<std::vector<CItem>> m_items;
    vek::CMap<TSpecialObject> m_specialObjects;
    vek::CMap<uint16_t> m_terrain;
    vek::CMap<uint16_t> m_objects;
    vek::CMap<uint8_t> m_explored;
    vek::CMap<uint16_t> m_creatureIds;
    std::vector<CMonster*> m_creatures;
    std::vector<TLocEffect> m_effects;
    std::vector<TLocRule> m_rules;
    // The passability grid and the path grid, with the modes they were made for.
    CPassabilityCache m_passability;
    TScriptHandle m_script;
    std::vector<TAlarm> m_alarms;
};

// Whether creatures can walk through the cell: its terrain tile, its map
// object (if any) and its active special object's appearance all have the
// passable flag in their definitions (the game's active tables). False
// outside the location, for a tile that no definition describes, and while
// there is no game.
bool IsPassable(int32_t x, int32_t y, const CLoc& loc);

// The eight directions (1 to 8) in a fresh random order: each place from the
// last down to the second takes the direction at a drawn place up to its own
// (seven draws from the game's generator).
std::array<uint8_t, 8> ShuffledDirections();
