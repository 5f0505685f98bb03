#pragma once
// Saved games. A file holds a header and then the save stream:
//
//   "SAVEGAME" (8 bytes), the version that wrote it (major, minor, release:
//   i32 each), the game clock (u64); then the global script variables, the
//   hero, the creature groups, the quest log, the game's record and the
//   world followed by its entered or kept locations, to the end of the file.
//
// Reading is strict and touches nothing of the running game: every part is
// read into objects of its own, and the game takes them over only when all
// was read (CGame::Load).
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data/Version.h"
#include "rules/Group.h"
#include "rules/Hero.h"
#include "script/Records.h"
#include "shell/QuestLog.h"
#include "world/World.h"

class CNpc;

// Tag, version, clock.
inline constexpr uint32_t kSaveHeaderSize = 28;
// No saved game is larger: a game that would be is not saved, and a file of
// more bytes is refused before it is read (1 GiB).
inline constexpr uint32_t kMaxSaveFileSize = 1u << 30;
// Whether a file of that many bytes may be a saved game.
constexpr bool FitsSaveFileSize(uint64_t bytes) { return bytes <= kMaxSaveFileSize; }

// The game's own fields in a saved game.
struct TGameRecord {
    // Level u16, level count u16, chosen item set u32, character created u8,
    // the first world cell of the current location (u16 each).
    static constexpr uint32_t kStoredSize = 13;

    void Write() const;
    // False, and nothing read, when fewer bytes than kStoredSize remain.
    bool Read();

    uint16_t level = 0;
    uint16_t levelCount = 0;
    uint32_t chosenItemSet = 0;
    uint8_t characterCreated = 0;
    uint16_t currentX = 0;
    uint16_t currentY = 0;
};

// A saved game read into objects of its own.
struct TSavedGame {
    TSavedGame();
    TSavedGame(const TSavedGame&) = delete;
    TSavedGame& operator=(const TSavedGame&) = delete;
    ~TSavedGame();

    CVersion version;
    uint64_t clock = 0;
    CParseResults globals;
    std::unique_ptr<CHero> hero;
    std::vector<std::unique_ptr<CGroup>> groups;
    CQuestLog quests;
    TGameRecord record;
    std::unique_ptr<CWorld> world;
    // The location names of the world's language (those the game shows).
    std::map<std::wstring, std::wstring> placeNames;
    // The NPCs of the world's locations, in the order they were read.
    std::vector<CNpc*> npcs;
    // The location of the record's current cell.
    CLoc* current = nullptr;
};

// What to save; nothing is owned.
struct TSaveParts {
    uint64_t clock = 0;
    const CParseResults* globals = nullptr;
    const CHero* hero = nullptr;
    const std::vector<CGroup*>* groups = nullptr;
    const CQuestLog* quests = nullptr;
    TGameRecord record;
    // Saving compacts its locations' creatures.
    CWorld* world = nullptr;
};

// The bytes of the file: the header and the stream's written bytes. The save
// stream is empty afterwards, also when a part throws. objectCount, when
// given, gets the number of objects written. vek::CException when they
// would be more than kMaxSaveFileSize.
std::vector<uint8_t> WriteSavedGame(const TSaveParts& parts, uint32_t* objectCount = nullptr);

// Reads a saved game's bytes; sourceName names it in errors. A file that is
// not a saved game, is cut short or damaged, holds bytes after its last
// record, or names a current location that it does not hold, is
// vek::CFileException code 5 naming it; a game of a version this one cannot
// read is the same with both versions in the details. The running game's
// NPC list and place names stay as they were; the save stream is empty
// afterwards. The bytes become the stream itself: a file is not held twice.
void ReadSavedGame(std::vector<uint8_t> bytes, const std::wstring& sourceName, TSavedGame& saved);
// The same for bytes held elsewhere (copied).
void ReadSavedGame(const uint8_t* bytes, size_t size, const std::wstring& sourceName, TSavedGame& saved);
