// The location record: a ".map" file, and the form in which every loaded
// location travels inside a saved game.
//
// "MAP", u16 version 3, name, file name, the 26-byte header (flags u16,
// reserved u8, width u16, height u16, terrain type u16, rule count u8,
// reserved u32, direction answer i32, exit time u64), the terrain, object and
// explored layers, the piles and the special objects (each behind its cell's
// x and y, u16 each, in row order), the creature types (u16 each), the
// creatures, the effects (20 bytes each) and rule count x 16 bytes of rules.
//
// A record is read into a fresh location that takes the target's place only
// when all of it was read: a bad record changes neither the location nor the
// game's NPC list.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "VEKLib/Console.h"
#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Format.h"
#include "VEKLib/Stream.h"
#include "data/GameData.h"
#include "data/Globals.h"
#include "data/MetaFile.h"
#include "world/Loc.h"

namespace {

const wchar_t* const kSource = L"Loc";
const wchar_t* const kLoadFunction = L"CLoc::LoadFromFile";
constexpr uint16_t kVersion = 3;
constexpr size_t kTagSize = 3;

// Releases the save stream when the file that filled it is done with,
// however the reading ends.
class CStreamRelease {
public:
    explicit CStreamRelease(bool active) : m_active(active) {}
    CStreamRelease(const CStreamRelease&) = delete;
    CStreamRelease& operator=(const CStreamRelease&) = delete;
    ~CStreamRelease() {
        if (m_active) {
            vek::StreamRelease();
        }
    }

private:
    bool m_active;
};

// Reads the record from the save stream and refuses, as invalid content of
// the file, every part that is not all there or does not fit the location.
class CRecordReader {
public:
    explicit CRecordReader(const std::wstring& path) : m_path(path) {}

    [[noreturn]] void Fail(const std::wstring& details, int32_t line = __builtin_LINE()) const {
        throw vek::CFileException(vek::CFileException::kInvalidContent, m_path, kLoadFunction, kSource, line, details);
    }

    uint32_t Remaining() const { return vek::GetStream().remaining(); }

    void Need(uint64_t bytes, const wchar_t* what, int32_t line = __builtin_LINE()) const {
        if (bytes > Remaining()) {
            Fail(std::wstring(L"the file ends inside ") + what, line);
        }
    }

    // A u32 that starts `offset` bytes after the read position (Need first).
    uint32_t PeekU32(uint32_t offset) const {
        const uint8_t* at = vek::GetStream().data() + vek::GetStream().position() + offset;
        return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
               (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
    }

    template <class T>
    T Read(const wchar_t* what, int32_t line = __builtin_LINE()) const {
        Need(sizeof(T), what, line);
        T value{};
        vek::StreamRead(value);
        return value;
    }

    std::wstring ReadString(const wchar_t* what) const {
        Need(4, what);
        Need(4 + 2 * static_cast<uint64_t>(PeekU32(0)), what);
        std::wstring text;
        vek::StreamReadString(text);
        return text;
    }

    // A count of things that take at least `leastBytes` bytes each: more than
    // the rest of the record can hold is refused before anything is made.
    uint32_t ReadCount(uint32_t leastBytes, const wchar_t* what, int32_t line = __builtin_LINE()) const {
        const uint32_t count = Read<uint32_t>(what, line);
        if (static_cast<uint64_t>(count) * leastBytes > Remaining()) {
            Fail(vek::Format(L"%u %s cannot be in the %u bytes left", count, what, Remaining()), line);
        }
        return count;
    }

    // A cell named by the record: x and y (u16 each), inside the location.
    std::pair<uint16_t, uint16_t> ReadCell(const CLoc& loc, const wchar_t* what) const {
        const auto x = Read<uint16_t>(what);
        const auto y = Read<uint16_t>(what);
        if (!loc.IsInside(x, y)) {
            Fail(vek::Format(L"%s at (%u, %u) lies outside the location of %ux%u cells", what, static_cast<uint32_t>(x),
                             static_cast<uint32_t>(y), static_cast<uint32_t>(loc.GetWidth()),
                             static_cast<uint32_t>(loc.GetHeight())));
        }
        return {x, y};
    }

    // A layer saved by the map itself: its size must be the location's.
    template <class T>
    void ReadLayer(vek::CMap<T>& layer, const CLoc& loc, const wchar_t* what) const {
        Need(4, what);
        const uint32_t size = PeekU32(0);
        const uint32_t width = size & 0xFFFF;
        const uint32_t height = size >> 16;
        if (width != loc.GetWidth() || height != loc.GetHeight()) {
            Fail(vek::Format(L"the %s is %ux%u cells, the location %ux%u", what, width, height,
                             static_cast<uint32_t>(loc.GetWidth()), static_cast<uint32_t>(loc.GetHeight())));
        }
        Need(4 + static_cast<uint64_t>(width) * height * sizeof(T), what);
        layer.Load();
    }

    // Runs the reader of another class, which refuses a record cut short;
    // the refusal then names the file.
    template <class F>
    void Guard(const wchar_t* what, F&& read, int32_t line = __builtin_LINE()) const {
        try {
            read();
        } catch (const vek::CFileException&) {
            Fail(std::wstring(L"the file ends inside ") + what, line);
        }
    }

private:
    const std::wstring& m_path;
};

// The whole file as the save stream, read position 0.
void ReadFileIntoStream(const std::wstring& path) {
    CMetaFile file;
    file.Open(path, vek::CFile::kModeRead);
    vek::StreamRelease();
    const uint32_t size = file.GetLength();
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        throw vek::CException(kLoadFunction, kSource, __LINE__, L"Out of memory.");
    }
    const uint32_t read = file.Read(bytes.data(), size);
    file.Close();
    if (read != size) {
        throw vek::CFileException(vek::CFileException::kInvalidContent, path, kLoadFunction, kSource, __LINE__,
                                  vek::Format(L"only %u of %u bytes could be read", read, size));
    }
    vek::StreamAssign(std::move(bytes));
}

void WriteHeader(const CLoc& loc) {
    vek::StreamWrite(loc.GetFlags());
    vek::StreamWrite(loc.GetReservedByte());
    vek::StreamWrite(loc.GetWidth());
    vek::StreamWrite(loc.GetHeight());
    vek::StreamWrite(loc.GetTerrainType());
    vek::StreamWrite(loc.GetRuleCount());
    vek::StreamWrite(loc.GetReservedWord());
    vek::StreamWrite(loc.GetDirectionAnswer());
    vek::StreamWrite(loc.GetExitTime());
}

// The cells, in row order, whose entry the record lists.
template <class Listed>
std::vector<std::pair<uint16_t, uint16_t>> ListedCells(const CLoc& loc, Listed listed) {
    std::vector<std::pair<uint16_t, uint16_t>> cells;
    for (uint16_t y = 0; y < loc.GetHeight(); ++y) {
        for (uint16_t x = 0; x < loc.GetWidth(); ++x) {
            if (listed(x, y)) {
                cells.emplace_back(x, y);
            }
        }
    }
    return cells;
}

// The fields before the layers: the name and file name, and the header.
struct TRecordHeader {
    std::wstring name;
    std::wstring fileName;
    uint16_t flags = 0;
    uint8_t reservedByte = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t terrainType = 0;
    uint8_t ruleCount = 0;
    uint32_t reservedWord = 0;
    int32_t directionAnswer = 0;
    uint64_t exitTime = 0;
};

// 3-4. The tag "MAP" and version 3.
void ReadTagAndVersion(const CRecordReader& in) {
    std::array<char, kTagSize> tag{};
    if (!vek::StreamReadBytes(tag.size(), tag.data()) || std::memcmp(tag.data(), kMapTag, kTagSize) != 0) {
        in.Fail(L"invalid format");
    }
    // A version cut short is no version 3 either.
    if (in.Remaining() < sizeof(uint16_t) || in.Read<uint16_t>(L"the version") != kVersion) {
        in.Fail(L"incorrect version");
    }
}

// 5. The names and the header; a location of no cells, or one whose layers
// are not all there, is refused before cells are made for it.
TRecordHeader ReadHeader(const CRecordReader& in) {
    TRecordHeader header;
    header.name = in.ReadString(L"the name");
    header.fileName = in.ReadString(L"the file name");
    in.Need(CLoc::kHeaderSize, L"the header");
    header.flags = in.Read<uint16_t>(L"the header");
    header.reservedByte = in.Read<uint8_t>(L"the header");
    header.width = in.Read<uint16_t>(L"the header");
    header.height = in.Read<uint16_t>(L"the header");
    header.terrainType = in.Read<uint16_t>(L"the header");
    header.ruleCount = in.Read<uint8_t>(L"the header");
    header.reservedWord = in.Read<uint32_t>(L"the header");
    header.directionAnswer = in.Read<int32_t>(L"the header");
    header.exitTime = in.Read<uint64_t>(L"the header");
    if (header.width == 0 || header.height == 0) {
        in.Fail(vek::Format(L"a location of %ux%u cells", static_cast<uint32_t>(header.width),
                            static_cast<uint32_t>(header.height)));
    }
    in.Need(12 + static_cast<uint64_t>(header.width) * header.height * 5, L"the layers");
    return header;
}

// 8. The terrain, object and explored layers.
void ReadLayers(const CRecordReader& in, CLoc& loc) {
    in.ReadLayer(loc.GetTerrain(), loc, L"terrain layer");
    in.ReadLayer(loc.GetObjects(), loc, L"object layer");
    in.ReadLayer(loc.GetExplored(), loc, L"explored layer");
}

// 9. The piles, each behind its cell.
void ReadPiles(const CRecordReader& in, CLoc& loc) {
    const uint32_t piles = in.ReadCount(4 + 4, L"piles");
    for (uint32_t i = 0; i < piles; ++i) {
        const auto [x, y] = in.ReadCell(loc, L"a pile");
        in.Need(4, L"a pile");
        in.Need(4 + static_cast<uint64_t>(in.PeekU32(0)) * CItem::kStoredSize, L"a pile");
        in.Guard(L"a pile", [&, x = x, y = y] { LoadItemVector(loc.GetItemPiles().At(x, y)); });
    }
}

// 10. The special objects, each behind its cell.
void ReadSpecialObjects(const CRecordReader& in, CLoc& loc) {
    const uint32_t objects = in.ReadCount(4 + TSpecialObject::kFixedSize + 4, L"special objects");
    for (uint32_t i = 0; i < objects; ++i) {
        const auto [x, y] = in.ReadCell(loc, L"a special object");
        in.Need(TSpecialObject::kFixedSize + 4, L"a special object");
        in.Need(TSpecialObject::kFixedSize + 4 + static_cast<uint64_t>(in.PeekU32(TSpecialObject::kFixedSize)),
                L"a special object");
        loc.GetSpecialObjects().At(x, y).Load();
    }
}

// 11. The creature types and the creatures, each with its place in the
// list as local id; worldIds: global ids by the location's world cell. An
// NPC is set up.
std::vector<std::unique_ptr<CMonster>> ReadCreatures(const CRecordReader& in, const CLoc& loc, bool worldIds,
                                                     bool npcSetUp) {
    std::vector<uint16_t> kinds(in.ReadCount(2, L"creature types"));
    for (uint16_t& kind : kinds) {
        kind = in.Read<uint16_t>(L"the creature types");
    }
    const uint32_t count = in.ReadCount(CGroupMember::kMinStoredSize, L"creatures");
    if (count > kinds.size()) {
        in.Fail(vek::Format(L"%u creatures but only %u creature types", count, static_cast<uint32_t>(kinds.size())));
    }
    if (count > CLoc::kMaxCreatures) {
        in.Fail(vek::Format(L"%u creatures, more than a location holds", count));
    }
    std::vector<std::unique_ptr<CMonster>> creatures;
    creatures.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        std::unique_ptr<CMonster> creature;
        in.Guard(L"a creature", [&] { creature = LoadCreature(kinds[i]); });
        if (!loc.IsInside(static_cast<int32_t>(std::min<uint32_t>(creature->x, 0x7FFFFFFF)),
                          static_cast<int32_t>(std::min<uint32_t>(creature->y, 0x7FFFFFFF)))) {
            in.Fail(vek::Format(L"creature %u at (%u, %u) lies outside the location of %ux%u cells", i, creature->x,
                                creature->y, static_cast<uint32_t>(loc.GetWidth()),
                                static_cast<uint32_t>(loc.GetHeight())));
        }
        // A local id is the creature's place in the list, whatever was stored.
        creature->localId = static_cast<uint16_t>(i);
        if (worldIds) {
            creature->globalId = loc.MakeGlobalMonsterId(creature->localId);
        }
        if (creature->GetKind() == CGroupMember::kKindNpc) {
            static_cast<CNpc&>(*creature).Setup(npcSetUp);
        }
        creatures.push_back(std::move(creature));
    }
    return creatures;
}

// 13. The effects.
void ReadEffects(const CRecordReader& in, std::vector<TLocEffect>& effects) {
    in.Need(4, L"the effects");
    const uint32_t count = in.PeekU32(0);
    if (static_cast<uint64_t>(count) * TLocEffect::kStoredSize > in.Remaining() - 4) {
        in.Fail(vek::Format(L"%u effects cannot be in the %u bytes left", count, in.Remaining() - 4));
    }
    LoadEffectVector(effects);
}

// 14. The header's count of rules.
std::vector<TLocRule> ReadRules(const CRecordReader& in, uint8_t count) {
    in.Need(static_cast<uint64_t>(count) * TLocRule::kStoredSize, L"the rules");
    std::vector<TLocRule> rules(count);
    for (TLocRule& rule : rules) {
        rule.ReadFields();
    }
    return rules;
}

// All is read: the location's NPCs join the game's list, in list order.
void JoinNpcList(const std::vector<CMonster*>& creatures) {
    if (g_gameData == nullptr) {
        return;
    }
    std::vector<CNpc*>& npcs = g_gameData->GetNpcList();
    for (CMonster* creature : creatures) {
        if (creature->GetKind() == CGroupMember::kKindNpc) {
            auto* npc = static_cast<CNpc*>(creature);
            npcs.push_back(npc);
            npc->npcIndex = static_cast<uint32_t>(npcs.size() - 1);
        }
    }
}

void LogSerialized() {
    const vek::TSaveStream& stream = vek::GetStream();
    const std::wstring line = vek::Format(L"Serialized %u of %u objects, %u bytes total.", stream.objectCount(),
                                          vek::GetLiveObjectCount(), stream.size());
    std::wostream& out = vek::ConsoleOut();
    out << vek::ConsoleDarkYellow;
    if (g_gameData != nullptr) {
        out.flush();
        g_gameData->Log(line);
    } else {
        out << line << L'\n';
    }
    out << vek::ConsoleDefault;
}

} // namespace

// --- Writing ---------------------------------------------------------------------------------

void CLoc::SaveToFile(const std::wstring& fileName, bool toFile) {
    if (m_width == 0 || m_height == 0) {
        throw vek::CException(L"CLoc::SaveToFile", kSource, __LINE__,
                              L"A location without cells cannot be saved: " + m_name);
    }
    // The file is written aside and takes the old one's place only when all
    // of it is there (vek::CFile).
    vek::CFile file(false, 0);
    if (toFile) {
        file.Open(fileName, vek::CFile::kModeWrite);
        vek::StreamRelease();
    }
    vek::StreamWriteBytes(kMapTag, kTagSize);
    vek::StreamWrite(kVersion);
    vek::StreamWriteString(m_name);
    vek::StreamWriteString(m_fileName);
    WriteHeader(*this);
    m_terrain.Save();
    m_objects.Save();
    m_explored.Save();

    const auto piles = ListedCells(*this, [&](uint16_t x, uint16_t y) { return !m_items.At(x, y).empty(); });
    vek::StreamWrite(static_cast<uint32_t>(piles.size()));
    for (const auto& [x, y] : piles) {
        vek::StreamWrite(x);
        vek::StreamWrite(y);
        SaveItemVector(m_items.At(x, y));
    }
    const auto objects =
        ListedCells(*this, [&](uint16_t x, uint16_t y) { return m_specialObjects.At(x, y).active != 0; });
    vek::StreamWrite(static_cast<uint32_t>(objects.size()));
    for (const auto& [x, y] : objects) {
        vek::StreamWrite(x);
        vek::StreamWrite(y);
        m_specialObjects.At(x, y).Save();
    }

    ConvertMonsterIds();
    std::vector<uint16_t> kinds;
    for (const CMonster* creature : m_creatures) {
        kinds.push_back(static_cast<uint16_t>(creature->GetKind()));
    }
    vek::WriteWordVector(kinds);
    SaveCreatureVector(m_creatures);
    SaveEffectVector(m_effects);
    for (const TLocRule& rule : m_rules) {
        rule.WriteFields();
    }

    if (toFile) {
        const auto bytes = vek::GetStream().bytes();
        file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
        file.Close();
        LogSerialized();
        vek::StreamRelease();
    }
}

// --- Reading ---------------------------------------------------------------------------------

void CLoc::LoadFromFile(const std::wstring& directory, const std::wstring& fileName, bool fromFile, bool npcSetUp,
                        bool useWorldName) {
    // 1-2. The record is read from the file's bytes, or from the stream.
    const std::wstring path = directory.empty() ? fileName : directory + fileName;
    const std::wstring bareName = vek::GetTextAfterLast(fileName);
    if (fromFile) {
        ReadFileIntoStream(path);
    }
    const CStreamRelease release(fromFile);
    const CRecordReader in(path);
    ReadTagAndVersion(in);
    const TRecordHeader header = ReadHeader(in);

    // 6-7. Outside the editor the world's name for the file may replace the
    // stored one. A saved game keeps the time the hero left; a map file has
    // none.
    std::wstring name = header.name;
    const bool editor = g_gameData != nullptr && g_gameData->GetState() == kStateEditor;
    if (!editor && useWorldName) {
        const std::wstring key = FindWorldNameKey(bareName);
        name = key.empty() || g_gameData == nullptr ? std::wstring() : g_gameData->GetStrings().GetLocName(key, false);
    }
    CLoc loaded;
    loaded.m_worldCell = m_worldCell;
    loaded.Init(name, header.width, header.height, header.terrainType, header.flags);
    loaded.m_reservedByte = header.reservedByte;
    loaded.m_reservedWord = header.reservedWord;
    loaded.m_directionAnswer = header.directionAnswer;
    loaded.m_exitTime = fromFile ? 0 : header.exitTime;

    // 8-14. The cells, the creatures, the effects and the rules.
    ReadLayers(in, loaded);
    ReadPiles(in, loaded);
    ReadSpecialObjects(in, loaded);
    for (std::unique_ptr<CMonster>& creature :
         ReadCreatures(in, loaded, fromFile && m_worldCell != nullptr, npcSetUp)) {
        loaded.m_creatures.push_back(creature.release());
    }
    loaded.RebuildCreatureLayer();
    ReadEffects(in, loaded.m_effects);
    loaded.m_rules = ReadRules(in, header.ruleCount);

    // 16-17. The file name the location goes by, its layout present; it
    // takes this location's place.
    loaded.m_fileName = directory.empty() ? bareName : fileName;
    loaded.m_flags |= kLocLayoutPresent;
    TakeLoaded(loaded);
    JoinNpcList(m_creatures);
}

void CLoc::TakeLoaded(CLoc& loaded) {
    std::swap(m_name, loaded.m_name);
    std::swap(m_fileName, loaded.m_fileName);
    m_flags = loaded.m_flags;
    m_reservedByte = loaded.m_reservedByte;
    m_width = loaded.m_width;
    m_height = loaded.m_height;
    m_terrainType = loaded.m_terrainType;
    m_reservedWord = loaded.m_reservedWord;
    m_directionAnswer = loaded.m_directionAnswer;
    m_exitTime = loaded.m_exitTime;
    m_specialObjects.Swap(loaded.m_specialObjects);
    m_terrain.Swap(loaded.m_terrain);
    m_objects.Swap(loaded.m_objects);
    m_explored.Swap(loaded.m_explored);
    m_creatureIds.Swap(loaded.m_creatureIds);
    m_items.Swap(loaded.m_items);
    m_creatures.swap(loaded.m_creatures);
    m_effects.swap(loaded.m_effects);
    m_rules.swap(loaded.m_rules);
    // Fresh working grids and no cached passability.
    m_passability.Resize(m_width, m_height);
    m_script.swap(loaded.m_script);
    m_directionRequest.swap(loaded.m_directionRequest);
}
