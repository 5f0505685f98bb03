#include "shell/SaveGame.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <utility>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Stream.h"
#include "data/GameData.h"
#include "data/Globals.h"
#include "rules/Monster.h"
#include "world/Loc.h"

namespace {

const wchar_t* const kSource = L"SaveGame";
const wchar_t* const kFunction = L"CGame::Load";

// Where the header's fields stand: the tag, the version's three i32, the clock.
constexpr size_t kTagSize = sizeof(kSaveGameTag) - 1;
constexpr size_t kMajorAt = kTagSize;
constexpr size_t kMinorAt = kMajorAt + 4;
constexpr size_t kReleaseAt = kMinorAt + 4;
constexpr size_t kClockAt = kReleaseAt + 4;
constexpr size_t kClockSize = 8;
static_assert(kClockAt + kClockSize == kSaveHeaderSize);

// The save stream is emptied however a save or load ends.
struct TStreamReset {
    TStreamReset() = default;
    TStreamReset(const TStreamReset&) = delete;
    TStreamReset& operator=(const TStreamReset&) = delete;
    ~TStreamReset() { vek::StreamReset(); }
};

// A read puts the locations' NPCs in the game's NPC list and their names
// among its place names. The running game's own are kept aside meanwhile
// and come back however the read ends; HandOver gives the saved game what
// the read put there first.
class CRunningGameAside {
public:
    CRunningGameAside() {
        if (g_gameData != nullptr) {
            m_npcs.swap(g_gameData->GetNpcList());
            m_names = g_gameData->GetStrings().GetPlaceNames();
        }
    }
    CRunningGameAside(const CRunningGameAside&) = delete;
    CRunningGameAside& operator=(const CRunningGameAside&) = delete;
    ~CRunningGameAside() {
        if (g_gameData != nullptr) {
            g_gameData->GetNpcList().swap(m_npcs);
            g_gameData->GetStrings().SetPlaceNames(std::move(m_names));
        }
    }

    void HandOver(TSavedGame& saved) const {
        if (g_gameData != nullptr) {
            saved.npcs.swap(g_gameData->GetNpcList());
            saved.placeNames = g_gameData->GetStrings().GetPlaceNames();
        }
    }

private:
    std::vector<CNpc*> m_npcs;
    std::map<std::wstring, std::wstring> m_names;
};

[[noreturn]] void Fail(const std::wstring& source, const std::wstring& details, int32_t line) {
    throw vek::CFileException(vek::CFileException::kInvalidContent, source, kFunction, kSource, line, details);
}

int32_t ReadI32(const uint8_t* bytes) {
    return static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                                static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

void AppendI32(std::vector<uint8_t>& out, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(bits >> shift));
    }
}

// Every location read is one the next save writes again: one whose flags
// say it was entered or is kept, each the only one of its cells. Anything
// else would load once and be lost (or lose the game) on the next save.
void CheckSavedLocations(const std::wstring& source, const CWorld& world) {
    size_t saved = 0;
    for (uint16_t y = 0; y < world.height; ++y) {
        for (uint16_t x = 0; x < world.width; ++x) {
            const TWorldLocInfo& cell = world.grid.At(x, y);
            if (cell.HoldsSavedLocation()) {
                ++saved;
            } else if (cell.loc != nullptr && cell.loc->GetWorldCell() == &cell) {
                Fail(source,
                     vek::Format(L"the location of cell (%u, %u) is saved but was neither entered nor kept "
                                 L"(flags 0x%04X)",
                                 static_cast<uint32_t>(x), static_cast<uint32_t>(y),
                                 static_cast<uint32_t>(cell.loc->GetFlags())),
                     __LINE__);
            }
        }
    }
    if (saved != world.GetLocationCount()) {
        Fail(source, L"saved locations share world cells", __LINE__);
    }
}

// What the stream holds after the header, in order.
void ReadStream(const std::wstring& source, TSavedGame& saved) {
    saved.globals.Load();
    saved.hero = std::make_unique<CHero>();
    saved.hero->Load();
    std::vector<CGroup*> groups;
    vek::ReadGroupVector(groups);
    for (CGroup* group : groups) {
        saved.groups.emplace_back(group);
    }
    saved.quests.Load();
    if (!saved.record.Read()) {
        Fail(source, L"the game's record is cut short", __LINE__);
    }
    saved.world = std::make_unique<CWorld>();
    saved.world->LoadGame(source);
    if (vek::GetStream().remaining() != 0) {
        Fail(source, vek::Format(L"%u bytes follow the last record", vek::GetStream().remaining()), __LINE__);
    }
    CheckSavedLocations(source, *saved.world);
    const TGameRecord& record = saved.record;
    const CWorld& world = *saved.world;
    const bool inside = record.currentX < world.width && record.currentY < world.height;
    const TWorldLocInfo* cell = inside ? &world.grid.At(record.currentX, record.currentY) : nullptr;
    if (cell == nullptr || cell->loc == nullptr || cell->loc->GetWorldCell() != cell) {
        Fail(source,
             vek::Format(L"the current location at (%u, %u) is not among the saved ones",
                         static_cast<uint32_t>(record.currentX), static_cast<uint32_t>(record.currentY)),
             __LINE__);
    }
    saved.current = cell->loc;
}

// What a read that failed half way put in the saved game, let go; the NPCs
// it listed in the game go with their locations.
void Forget(TSavedGame& saved) {
    saved.world.reset();
    if (g_gameData != nullptr) {
        g_gameData->GetNpcList().clear();
    }
    saved.hero.reset();
    saved.groups.clear();
    saved.quests.Clear();
    saved.record = TGameRecord();
    saved.current = nullptr;
}

// The records after the header. A game saved before NPCs kept the bank has
// NPC records without the deposit: one that does not read as today's is
// read again so; when neither reads, what today's read met is thrown.
void ReadEitherLayout(const std::wstring& source, TSavedGame& saved) {
    try {
        vek::StreamSkip(kSaveHeaderSize);
        ReadStream(source, saved);
        return;
    } catch (const vek::CException&) {
        const std::exception_ptr first = std::current_exception();
        Forget(saved);
        vek::StreamRewind();
        vek::StreamSkip(kSaveHeaderSize);
        struct TOlderLayout {
            TOlderLayout() { CNpc::readWithoutDeposit = true; }
            ~TOlderLayout() { CNpc::readWithoutDeposit = false; }
        } const older;
        try {
            ReadStream(source, saved);
            return;
        } catch (const vek::CException&) {
            Forget(saved);
        }
        std::rethrow_exception(first);
    }
}

} // namespace

void TGameRecord::Write() const {
    vek::StreamWrite(level);
    vek::StreamWrite(levelCount);
    vek::StreamWrite(chosenItemSet);
    vek::StreamWrite(characterCreated);
    vek::StreamWrite(currentX);
    vek::StreamWrite(currentY);
}

bool TGameRecord::Read() {
    if (vek::GetStream().remaining() < kStoredSize) {
        return false;
    }
    vek::StreamRead(level);
    vek::StreamRead(levelCount);
    vek::StreamRead(chosenItemSet);
    vek::StreamRead(characterCreated);
    vek::StreamRead(currentX);
    vek::StreamRead(currentY);
    return true;
}

TSavedGame::TSavedGame() = default;

// The world goes first: its locations' NPCs may still be listed.
TSavedGame::~TSavedGame() { world.reset(); }

std::vector<uint8_t> WriteSavedGame(const TSaveParts& parts, uint32_t* objectCount) {
    const TStreamReset reset;
    vek::StreamReset();
    vek::StreamGrow(vek::kGameSaveGrowth);
    parts.globals->Save();
    parts.hero->Save();
    vek::WriteGroupVector(*parts.groups);
    parts.quests->Save();
    parts.record.Write();
    parts.world->SaveGame();

    if (objectCount != nullptr) {
        *objectCount = vek::GetStream().objectCount();
    }
    // Only what was written: the stream's reserve is no part of the game.
    const std::span<const uint8_t> stream = vek::GetStream().bytes();
    if (!FitsSaveFileSize(uint64_t{kSaveHeaderSize} + stream.size())) {
        throw vek::CException(L"CGame::Save", kSource, __LINE__,
                              vek::Format(L"The game is too large to be saved: %u bytes, a save holds at most %u.",
                                          static_cast<uint32_t>(std::min<size_t>(stream.size(), UINT32_MAX)),
                                          kMaxSaveFileSize - kSaveHeaderSize));
    }
    std::vector<uint8_t> file(kSaveGameTag, kSaveGameTag + kTagSize);
    file.reserve(kSaveHeaderSize + stream.size());
    const CVersion version = CVersion::Current();
    AppendI32(file, version.major);
    AppendI32(file, version.minor);
    AppendI32(file, version.release);
    for (size_t shift = 0; shift < 8 * kClockSize; shift += 8) {
        file.push_back(static_cast<uint8_t>(parts.clock >> shift));
    }
    file.insert(file.end(), stream.begin(), stream.end());
    return file;
}

void ReadSavedGame(std::vector<uint8_t> bytes, const std::wstring& sourceName, TSavedGame& saved) {
    if (bytes.size() < kSaveHeaderSize || std::memcmp(bytes.data(), kSaveGameTag, kTagSize) != 0) {
        Fail(sourceName, L"invalid format: not a saved game", __LINE__);
    }
    const uint8_t* header = bytes.data();
    saved.version = CVersion(ReadI32(header + kMajorAt), ReadI32(header + kMinorAt), ReadI32(header + kReleaseAt));
    if (!CVersion::IsSaveCompatible(saved.version)) {
        Fail(sourceName,
             L"saved by version " + saved.version.ToString() + L" of the game, which version " +
                 CVersion::Current().ToString() + L" cannot load",
             __LINE__);
    }
    saved.clock = 0;
    for (size_t i = kClockSize; i-- > 0;) {
        saved.clock = saved.clock << 8 | header[kClockAt + i];
    }

    const CRunningGameAside aside;
    const TStreamReset reset;
    try {
        vek::StreamAssign(std::move(bytes));
        ReadEitherLayout(sourceName, saved);
    } catch (const vek::CFileException& e) {
        // One that names a file is about that file.
        if (!e.GetFileName().empty()) {
            throw;
        }
        // A part of the stream, which does not know the file it came from.
        Fail(sourceName, L"a damaged record (" + e.GetFunction() + L")", __LINE__);
    } catch (const vek::CException& e) {
        Fail(sourceName, e.GetDetails(), __LINE__);
    }
    aside.HandOver(saved);
}

void ReadSavedGame(const uint8_t* bytes, size_t size, const std::wstring& sourceName, TSavedGame& saved) {
    ReadSavedGame(std::vector<uint8_t>(bytes, bytes + size), sourceName, saved);
}
