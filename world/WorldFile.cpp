// The world's stored forms: the cell and world records (the save form), the
// world file that holds them, and the world with its locations in a saved
// game.
//
// World file: "WORLD", version major, minor and a third byte, then the save
// form: texts 1 to 5, the languages, width (u16), height (u16), five
// reserved bytes, the part factor (u16), and the cells in row order. Cell:
// location name, file name, name key, width, height, world x, world y,
// terrain type (u16 each), random kind, shown, tower flag (u8 each), two u16
// and two u32 values, flags (u32), danger level (u16) twice, texts 4, 6 and
// 5, and a u32 marker that says whether the location's record follows the
// world in a saved game.
//
// Everything is read into a new world that takes this one's place only when
// all of it was read.
#include <cstring>
#include <new>
#include <utility>

#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Format.h"
#include "VEKLib/Stream.h"
#include "data/GameData.h"
#include "data/Globals.h"
#include "data/MetaFile.h"
#include "rules/StoredForm.h"
#include "world/Loc.h"
#include "world/World.h"

namespace {

const wchar_t* const kSource = L"World";
constexpr size_t kTagSize = 5;

// What a cell's record holds beside the cell's own fields.
struct TCellExtra {
    uint16_t danger = 0;
    uint16_t dangerAgain = 0;
    uint32_t marker = 0;
};

template <class Cell, class IO, class Extra>
void CellFields(Cell& cell, IO& io, Extra& extra) {
    io.Field(cell.name);
    io.Field(cell.fileName);
    io.Field(cell.nameKey);
    io.Field(cell.width);
    io.Field(cell.height);
    io.Field(cell.worldX);
    io.Field(cell.worldY);
    io.Field(cell.terrainType);
    io.Field(cell.randomKind);
    io.Field(cell.shown);
    io.Field(cell.towerFlag);
    io.Field(cell.values16);
    io.Field(cell.values32);
    io.Field(cell.flags);
    io.Field(extra.danger);
    io.Field(extra.dangerAgain);
    io.Field(cell.text4);
    io.Field(cell.text6);
    io.Field(cell.text5);
    io.Field(extra.marker);
}

// The world's fields before its cells.
struct THeader {
    std::array<std::wstring, 5> texts;
    std::wstring languages;
    uint16_t width = 0;
    uint16_t height = 0;
    std::array<uint8_t, 5> reserved{};
    uint16_t partFactor = 0;
};

template <class World, class IO>
void HeaderFields(World& world, IO& io) {
    io.Field(world.texts);
    io.Field(world.languages);
    io.Field(world.width);
    io.Field(world.height);
    io.Field(world.reserved);
    io.Field(world.partFactor);
}

template <class IO>
void WriteCell(const TWorldLocInfo& cell, IO& io, bool marker) {
    TCellExtra extra{cell.danger, cell.danger, marker ? TWorldLocInfo::kLocationMarker : 0u};
    CellFields(cell, io, extra);
}

template <class IO>
void WriteWorld(const TWorldInfo& world, IO& io, bool markers) {
    HeaderFields(world, io);
    for (uint16_t y = 0; y < world.height; ++y) {
        for (uint16_t x = 0; x < world.width; ++x) {
            const TWorldLocInfo& cell = world.grid.At(x, y);
            WriteCell(cell, io, markers && cell.HoldsSavedLocation());
        }
    }
}

// Reads a record into a fresh cell; false (the cell untouched) when the
// record is cut short or a text runs past the bytes left.
bool ReadCell(TWorldLocInfo& cell) {
    TWorldLocInfo read;
    TCellExtra extra;
    TStreamReader in(L"TWorldLocInfo::Load", kSource);
    try {
        CellFields(read, in, extra);
    } catch (const vek::CFileException&) {
        return false;
    }
    read.danger = TWorldLocInfo::kDefaultDanger; // "locs.dat" gives the levels
    read.loc = nullptr;
    read.pendingLoad = extra.marker == TWorldLocInfo::kLocationMarker;
    cell = std::move(read);
    return true;
}

// Releases the save stream that a world file filled, however reading ends.
class CStreamRelease {
public:
    CStreamRelease() = default;
    CStreamRelease(const CStreamRelease&) = delete;
    CStreamRelease& operator=(const CStreamRelease&) = delete;
    ~CStreamRelease() { vek::StreamRelease(); }
};

} // namespace

// --- The records ---------------------------------------------------------------------------

void TWorldLocInfo::Save() const {
    TStreamWriter out;
    WriteCell(*this, out, HoldsSavedLocation());
    CountObject();
}

void TWorldLocInfo::Load() {
    if (!ReadCell(*this)) {
        throw vek::CFileException(vek::CFileException::kInvalidContent, L"", L"TWorldLocInfo::Load", kSource, __LINE__,
                                  L"invalid format: the cell's record is cut short");
    }
    CountObject();
}

void TWorldInfo::Save() const {
    TStreamWriter out;
    WriteWorld(*this, out, true);
    CountObject();
    for (uint32_t i = 0; i < static_cast<uint32_t>(width) * height; ++i) {
        vek::StreamCountObject();
    }
}

void TWorldInfo::Load() { Read(L"", L"TWorldInfo::Load"); }

void TWorldInfo::Read(const std::wstring& source, const wchar_t* function) {
    auto fail = [&](const std::wstring& details, int32_t line = __builtin_LINE()) {
        throw vek::CFileException(vek::CFileException::kInvalidContent, source, function, kSource, line,
                                  L"invalid format: " + details);
    };
    THeader header;
    TStreamReader in(function, kSource);
    try {
        HeaderFields(header, in);
    } catch (const vek::CFileException&) {
        fail(L"the world's header is cut short");
    }
    if (header.width == 0 || header.height == 0) {
        fail(vek::Format(L"a world of %ux%u cells", static_cast<uint32_t>(header.width),
                         static_cast<uint32_t>(header.height)));
    }
    const uint64_t cellCount = static_cast<uint64_t>(header.width) * header.height;
    if (cellCount * TWorldLocInfo::kMinStoredSize > in.Remaining()) {
        fail(vek::Format(L"%I64u cells cannot be in the %I64u bytes left", cellCount, in.Remaining()));
    }
    vek::CMap<TWorldLocInfo> cells;
    cells.Resize(header.width, header.height);
    for (uint16_t y = 0; y < header.height; ++y) {
        for (uint16_t x = 0; x < header.width; ++x) {
            TWorldLocInfo& cell = cells.At(x, y);
            if (!ReadCell(cell)) {
                fail(vek::Format(L"the record of cell (%u, %u) is cut short", static_cast<uint32_t>(x),
                                 static_cast<uint32_t>(y)));
            }
        }
    }
    texts = std::move(header.texts);
    languages = std::move(header.languages);
    width = header.width;
    height = header.height;
    reserved = header.reserved;
    partFactor = header.partFactor;
    grid.Swap(cells);
    CountObject();
    for (uint64_t i = 0; i < cellCount; ++i) {
        vek::StreamCountObject();
    }
}

// --- The world file --------------------------------------------------------------------------

void CWorld::FailFile(const std::wstring& path, const std::wstring& details, int32_t line) {
    throw vek::CFileException(vek::CFileException::kInvalidContent, path, L"CWorld::Load", kSource, line, details);
}

void CWorld::Load(const std::wstring& fileName) {
    const std::wstring path = std::wstring(kDataDir) + fileName;
    vek::StreamRelease();
    CMetaFile file;
    file.Open(path, vek::CFile::kModeRead);
    std::vector<uint8_t> content;
    try {
        content.resize(file.GetLength());
    } catch (const std::bad_alloc&) {
        throw vek::CException(L"CWorld::Load", kSource, __LINE__, L"Out of memory.");
    }
    const uint32_t read = file.Read(content.data(), static_cast<uint32_t>(content.size()));
    file.Close();
    if (read != content.size()) {
        FailFile(path, vek::Format(L"only %u of %u bytes could be read", read, static_cast<uint32_t>(content.size())),
                 __LINE__);
    }
    LoadFileContent(content, path);
}

void CWorld::LoadFileContent(const std::vector<uint8_t>& content, const std::wstring& path) {
    if (content.size() < kFileHeaderSize || std::memcmp(content.data(), kWorldTag, kTagSize) != 0) {
        FailFile(path, L"invalid format", __LINE__);
    }
    // Compared as the unsigned bytes they are: 0x80 and up are not old.
    if (content[5] > kVersionMajor || content[6] > kVersionMinor) {
        FailFile(path, L"invalid version", __LINE__);
    }
    vek::StreamAssign(content.data() + kFileHeaderSize, content.size() - kFileHeaderSize);
    const CStreamRelease release;
    CWorld loaded;
    loaded.m_versionThird = content[7];
    loaded.Read(path, L"CWorld::Load");
    // A world file carries no locations, whatever its markers say.
    for (uint16_t y = 0; y < loaded.height; ++y) {
        for (uint16_t x = 0; x < loaded.width; ++x) {
            loaded.grid.At(x, y).pendingLoad = false;
        }
    }
    TNames names = loaded.ReadConfiguredNames();
    loaded.ApplyDanger(names.danger);
    TakeOver(loaded);
    if (g_gameData != nullptr) {
        InstallPlaceNames(std::move(names.placeNames));
    }
}

std::vector<uint8_t> CWorld::GetFileContent() const {
    std::vector<uint8_t> content(kWorldTag, kWorldTag + kTagSize);
    content.insert(content.end(), {kVersionMajor, kVersionMinor, m_versionThird});
    TFieldWriter<CArraySink> out{CArraySink(content)};
    WriteWorld(*this, out, false);
    return content;
}

void CWorld::SaveFile(const std::wstring& path) const {
    const std::vector<uint8_t> content = GetFileContent();
    vek::ReplaceFile(path, content.data(), content.size());
}

void CWorld::TakeOver(CWorld& other) {
    std::swap(texts, other.texts);
    std::swap(width, other.width);
    std::swap(height, other.height);
    std::swap(reserved, other.reserved);
    std::swap(partFactor, other.partFactor);
    std::swap(languages, other.languages);
    std::swap(m_versionThird, other.m_versionThird);
    // The cells do not move: the locations stay bound to them.
    grid.Swap(other.grid);
    m_locations.swap(other.m_locations);
}

// --- Saved games -----------------------------------------------------------------------------

void CWorld::SaveGame() {
    Save();
    for (uint16_t y = 0; y < height; ++y) {
        for (uint16_t x = 0; x < width; ++x) {
            const TWorldLocInfo& cell = grid.At(x, y);
            if (cell.HoldsSavedLocation()) {
                cell.loc->SaveToFile(L"", false);
            }
        }
    }
}

void CWorld::ReadPendingLocations(const std::wstring& source) {
    for (uint16_t y = 0; y < height; ++y) {
        for (uint16_t x = 0; x < width; ++x) {
            TWorldLocInfo& cell = grid.At(x, y);
            if (!cell.pendingLoad) {
                continue;
            }
            cell.pendingLoad = false;
            auto loc = std::make_unique<CLoc>();
            loc->SetWorldCell(&cell);
            try {
                loc->LoadFromFile(L"", cell.fileName, false, true, false);
            } catch (const vek::CFileException&) {
                throw vek::CFileException(
                    vek::CFileException::kInvalidContent, source, L"CWorld::LoadGame", kSource, __LINE__,
                    vek::Format(L"invalid format: the record of the location of cell (%u, %u) is bad",
                                static_cast<uint32_t>(x), static_cast<uint32_t>(y)));
            }
            // A saved game keeps no scripts: the location's is read again
            // (its alarms with it), without "OnInit", which ran long ago.
            Adopt(std::move(loc), x, y).LoadScript(false);
        }
    }
}

void CWorld::Load() { LoadGame(L""); }

void CWorld::LoadGame(const std::wstring& sourceName) {
    const size_t npcCount = g_gameData != nullptr ? g_gameData->GetNpcList().size() : 0;
    try {
        CWorld loaded;
        // A saved game does not carry the world file's version.
        loaded.m_versionThird = m_versionThird;
        loaded.Read(sourceName, L"CWorld::LoadGame");
        loaded.ReadPendingLocations(sourceName);
        TNames names = loaded.ReadConfiguredNames();
        loaded.ApplyDanger(names.danger);
        TakeOver(loaded);
        if (g_gameData != nullptr) {
            InstallPlaceNames(std::move(names.placeNames));
        }
    } catch (...) {
        // The NPCs of the locations read so far are gone with them.
        if (g_gameData != nullptr && g_gameData->GetNpcList().size() > npcCount) {
            g_gameData->GetNpcList().resize(npcCount);
        }
        throw;
    }
}
