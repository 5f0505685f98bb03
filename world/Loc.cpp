#include "world/Loc.h"

#include <algorithm>
#include <ostream>

#include "VEKLib/Console.h"
#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "data/GameData.h"

namespace {

const wchar_t* const kSource = L"Loc";

// A size of 0 is refused before anything changes, in the words of the first
// layer that would refuse it.
void CheckSize(uint16_t width, uint16_t height) {
    if (width == 0 || height == 0) {
        vek::CMap<uint16_t>().Resize(width, height);
    }
}

template <class T>
void ResizeFilled(vek::CMap<T>& layer, uint16_t width, uint16_t height, const T& value) {
    layer.Resize(width, height);
    layer.Fill(value);
}

// The cells of the old layer that the new one also has.
template <class T>
void CopyOverlap(const vek::CMap<T>& from, vek::CMap<T>& to, uint16_t width, uint16_t height) {
    for (uint16_t y = 0; y < height; ++y) {
        for (uint16_t x = 0; x < width; ++x) {
            to.At(x, y) = from.At(x, y);
        }
    }
}

} // namespace

CLoc::CLoc() = default;

CLoc::~CLoc() { Clear(); }

// --- Size and contents -----------------------------------------------------------------------

void CLoc::Init(const std::wstring& name, uint16_t width, uint16_t height, uint16_t terrainType, uint16_t flags) {
    CheckSize(width, height);
    m_name = name;
    m_width = width;
    m_height = height;
    m_terrainType = terrainType;
    m_flags = flags;
    m_exitTime = 0;
    // The creatures made here next take the same global ids: what named the
    // old ones must not name them.
    std::vector<uint32_t> gone;
    for (const CMonster* creature : m_creatures) {
        if (creature != nullptr) {
            gone.push_back(creature->globalId);
        }
    }
    if (!gone.empty()) {
        ForgetEverywhere(gone);
    }
    DeleteCreatures();
    ResizeFilled(m_creatureIds, width, height, kNoCreature);
    ResizeFilled(m_items, width, height, std::vector<CItem>());
    ResizeFilled(m_specialObjects, width, height, MakeEmptySpecialObject());
    ResizeFilled(m_terrain, width, height, kNoTile);
    ResizeFilled(m_objects, width, height, kNoTile);
    ResizeFilled(m_explored, width, height, uint8_t{0});
    m_effects.clear();
    m_passability.Resize(width, height);
    m_directionRequest.reset();
    m_script.reset();
}

void CLoc::Clear() {
    m_terrain.Free();
    m_objects.Free();
    m_creatureIds.Free();
    m_items.Free();
    m_specialObjects.Free();
    DeleteCreatures();
    m_explored.Free();
    m_passability.Free();
    m_flags &= static_cast<uint16_t>(~kLocGenerating);
    m_width = 0;
    m_height = 0;
    m_script.reset();
}

void CLoc::Resize(uint16_t width, uint16_t height) {
    const uint16_t keptWidth = std::min(width, m_width);
    const uint16_t keptHeight = std::min(height, m_height);

    vek::CMap<uint16_t> terrain;
    ResizeFilled(terrain, width, height, m_terrainType);
    CopyOverlap(m_terrain, terrain, keptWidth, keptHeight);
    vek::CMap<uint16_t> objects;
    ResizeFilled(objects, width, height, kNoTile);
    CopyOverlap(m_objects, objects, keptWidth, keptHeight);
    vek::CMap<TSpecialObject> specialObjects;
    ResizeFilled(specialObjects, width, height, MakeEmptySpecialObject());
    CopyOverlap(m_specialObjects, specialObjects, keptWidth, keptHeight);
    vek::CMap<uint8_t> explored;
    ResizeFilled(explored, width, height, uint8_t{1});
    CopyOverlap(m_explored, explored, keptWidth, keptHeight);
    vek::CMap<std::vector<CItem>> items;
    ResizeFilled(items, width, height, std::vector<CItem>());
    CopyOverlap(m_items, items, keptWidth, keptHeight);
    // Creatures that the new size leaves outside are taken off the map (a
    // dead one's empty cell gets the warning).
    for (const CMonster* creature : m_creatures) {
        if (creature != nullptr && (creature->x >= width || creature->y >= height) && creature->x < m_width &&
            creature->y < m_height) {
            RemoveMonster(static_cast<uint16_t>(creature->x), static_cast<uint16_t>(creature->y));
        }
    }
    vek::CMap<uint16_t> creatureIds;
    ResizeFilled(creatureIds, width, height, kNoCreature);
    CopyOverlap(m_creatureIds, creatureIds, keptWidth, keptHeight);

    m_terrain.Swap(terrain);
    m_objects.Swap(objects);
    m_specialObjects.Swap(specialObjects);
    m_explored.Swap(explored);
    m_items.Swap(items);
    m_creatureIds.Swap(creatureIds);
    m_width = width;
    m_height = height;
    m_passability.Resize(width, height);
    RebuildPassability(0);
    PlaceHeroRandomly();
}

std::wstring CLoc::GetName() const {
    if (g_gameData != nullptr) {
        const std::wstring key = WorldNameKey();
        if (!key.empty()) {
            return g_gameData->GetStrings().GetLocName(key, false);
        }
    }
    return m_name;
}

void CLoc::AddRule(const TLocRule& rule) {
    if (m_rules.size() >= kMaxRules) {
        throw vek::CException(L"CLoc::AddRule", kSource, __LINE__,
                              vek::Format(L"A location holds at most %u rules", static_cast<uint32_t>(kMaxRules)));
    }
    m_rules.push_back(rule);
}

void CLoc::SetRules(std::vector<TLocRule> rules) {
    if (rules.size() > kMaxRules) {
        throw vek::CException(L"CLoc::SetRules", kSource, __LINE__,
                              vek::Format(L"A location holds at most %u rules", static_cast<uint32_t>(kMaxRules)));
    }
    m_rules = std::move(rules);
}

// --- Special objects ---------------------------------------------------------------------------

void CLoc::SetSpecialObject(uint16_t x, uint16_t y, uint16_t kind, uint16_t appearance, uint32_t value,
                            const std::wstring& text) {
    TSpecialObject object;
    object.active = 1;
    object.kind = kind;
    object.appearance = appearance;
    object.value = value;
    object.WriteString(text);
    m_specialObjects.At(x, y) = object;
}

void CLoc::CreateSpecialObject(uint32_t type, uint16_t x, uint16_t y, uint16_t a, uint16_t b, uint16_t c) {
    TSpecialObject object;
    object.active = 1;
    object.kind = kSpecialParameter;
    object.appearance = type == 1 ? 99 : 0;
    object.value = 0;
    std::vector<uint8_t>& buffer = object.GetBuffer();
    buffer = {static_cast<uint8_t>(type),       static_cast<uint8_t>(type >> 8), static_cast<uint8_t>(type >> 16),
              static_cast<uint8_t>(type >> 24), static_cast<uint8_t>(a),         static_cast<uint8_t>(a >> 8),
              static_cast<uint8_t>(b),          static_cast<uint8_t>(b >> 8),    static_cast<uint8_t>(c),
              static_cast<uint8_t>(c >> 8)};
    m_specialObjects.At(x, y) = object;
}

void CLoc::CreateTextObject(uint16_t x, uint16_t y, uint16_t appearance, const std::wstring& text) {
    SetSpecialObject(x, y, kSpecialText, appearance, 0, text);
}

void CLoc::CreateTrapObject(uint16_t x, uint16_t y, uint16_t appearance, bool withRecord, uint32_t recordValue) {
    // Door state in the high half (1 closed, 4 a known trap), no key in the low half.
    constexpr uint32_t kNoKey = 0xFFFE;
    TSpecialObject object;
    object.active = 1;
    object.kind = kSpecialDoor;
    object.appearance = appearance;
    if (withRecord) {
        object.WriteRecord5({1, static_cast<uint8_t>(recordValue), static_cast<uint8_t>(recordValue >> 8),
                             static_cast<uint8_t>(recordValue >> 16), static_cast<uint8_t>(recordValue >> 24)});
        object.value = (5u << 16) | kNoKey;
    } else {
        object.value = (1u << 16) | kNoKey;
    }
    m_specialObjects.At(x, y) = object;
}

void CLoc::ClearSpecialObject(uint16_t x, uint16_t y) {
    TSpecialObject& object = m_specialObjects.At(x, y);
    object.active = 0;
    object.GetBuffer().clear();
    object.SetPosition(0);
}

// --- Passability ---------------------------------------------------------------------------------

bool IsPassable(int32_t x, int32_t y, const CLoc& loc) {
    if (g_gameData == nullptr || !loc.IsInside(x, y)) {
        return false;
    }
    const CDefinitionTables& tables = g_gameData->GetTables();
    const auto cx = static_cast<uint16_t>(x);
    const auto cy = static_cast<uint16_t>(y);
    const uint16_t terrain = loc.GetTerrain().At(cx, cy);
    if (terrain >= tables.terrain.size() || (tables.terrain[terrain].flags & kPassableFlag) == 0) {
        return false;
    }
    const uint16_t object = loc.GetObjects().At(cx, cy);
    if (object < kNoTile && (object >= tables.objects.size() || (tables.objects[object].flags & kPassableFlag) == 0)) {
        return false;
    }
    const TSpecialObject& special = loc.GetSpecialObjects().At(cx, cy);
    if (special.active != 0 && (special.appearance >= tables.objects.size() ||
                                (tables.objects[special.appearance].flags & kPassableFlag) == 0)) {
        return false;
    }
    return true;
}

// --- Debugging ---------------------------------------------------------------------------------------

std::wstring CLoc::DumpToConsole(std::span<const uint8_t> grid) {
    if (grid.empty()) {
        RefreshPassability(0);
    } else {
        if (grid.size() != static_cast<size_t>(m_width) * m_height) {
            throw vek::CException(
                L"CLoc::DumpToConsole", kSource, __LINE__,
                vek::Format(L"The grid holds %u cells, the location %ux%u", static_cast<uint32_t>(grid.size()),
                            static_cast<uint32_t>(m_width), static_cast<uint32_t>(m_height)));
        }
        // The caller's values as they are: the dump tells them apart.
        vek::CMap<uint16_t>& pathGrid = m_passability.GetPathGrid();
        for (uint16_t y = 0; y < m_height; ++y) {
            for (uint16_t x = 0; x < m_width; ++x) {
                pathGrid.At(x, y) = grid[static_cast<size_t>(y) * m_width + x];
            }
        }
    }

    constexpr uint16_t kLettered = 26;
    std::wostream& out = vek::ConsoleOut();
    std::wstring text;
    // One character in a colour, the console's own colour back after it.
    auto put = [&](wchar_t c, std::wostream& (*colour)(std::wostream&)) {
        text += c;
        if (colour != nullptr) {
            out << colour << c << vek::ConsoleDefault;
        } else {
            out << c;
        }
    };

    text += L"\n  ";
    out << L"\n  ";
    for (uint16_t x = 0; x < std::min(m_width, kLettered); ++x) {
        put(static_cast<wchar_t>(L'A' + x), vek::ConsoleYellow);
    }
    put(L'\n', nullptr);
    for (uint16_t y = 0; y < m_height; ++y) {
        if (y < kLettered) {
            put(static_cast<wchar_t>(L'A' + y), vek::ConsoleYellow);
        }
        for (uint16_t x = 0; x < m_width; ++x) {
            switch (GetPathGrid().At(x, y)) {
            case 0:
                put(L'.', nullptr);
                break;
            case 2:
                put(L'#', vek::ConsoleRed);
                break;
            case 3:
                put(L'.', vek::ConsoleGreen);
                break;
            default:
                put(L'#', nullptr);
                break;
            }
        }
        put(L'\n', nullptr);
    }
    out.flush();
    return text;
}
