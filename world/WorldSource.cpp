#include "world/WorldSource.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/IniFile.h"
#include "VEKLib/Strings.h"
#include "world/World.h"

namespace {

const wchar_t* const kSource = L"WorldSource";
const wchar_t kWorldSection[] = L"world";
const wchar_t* const kWorldKeys[] = {L"text1",     L"text2",   L"text3", L"text4", L"text5",
                                     L"languages", L"columns", L"rows",  L"factor"};
const wchar_t* const kLocationKeys[] = {L"key",     L"x",      L"y",     L"width", L"height", L"file",   L"name",
                                        L"terrain", L"random", L"shown", L"tower", L"flags",  L"value1", L"value2",
                                        L"value3",  L"value4", L"text4", L"text5", L"text6"};

class CWorldSourceReader {
public:
    CWorldSourceReader(CWorld& world, vek::CIniFile& ini) : m_world(world), m_ini(ini) {}

    void Read() {
        CheckSections();
        ReadWorld();
        m_claimed.assign(static_cast<size_t>(m_world.width) * m_world.height, false);
        for (const vek::TIniSection& section : m_ini.GetSections()) {
            if (!section.name.empty() && !vek::equals(section.name, kWorldSection)) {
                ReadLocation(section);
            }
        }
    }

private:
    [[noreturn]] void Fail(const std::wstring& message, uint32_t line, int32_t sourceLine = __builtin_LINE()) const {
        const std::wstring& name = m_ini.GetSourceName();
        const std::wstring where =
            line > 0 ? vek::Format(L" (%s, line %u)", name, line) : (name.empty() ? L"" : L" (" + name + L")");
        throw vek::CException(L"ReadWorldSource", kSource, sourceLine, message + where);
    }

    static uint32_t LineOf(const vek::TIniSection& section) {
        return section.entries.empty() ? 0 : section.entries.front().line;
    }

    static bool Has(const vek::TIniSection& section, const wchar_t* key) {
        return std::any_of(section.entries.begin(), section.entries.end(),
                           [&](const vek::TIniEntry& entry) { return vek::equals(entry.key, key); });
    }

    void CheckKeys(const vek::TIniSection& section, std::span<const wchar_t* const> known) const {
        for (const vek::TIniEntry& entry : section.entries) {
            if (std::none_of(known.begin(), known.end(),
                             [&](const wchar_t* key) { return vek::equals(entry.key, key); })) {
                Fail(L"'" + section.name + L"' has no key '" + entry.key + L"'", entry.line);
            }
        }
    }

    void CheckSections() const {
        const std::vector<vek::TIniSection>& sections = m_ini.GetSections();
        for (size_t i = 0; i < sections.size(); ++i) {
            if (sections[i].name.empty() && !sections[i].entries.empty()) {
                Fail(L"a key stands outside any section", sections[i].entries.front().line);
            }
            for (size_t j = 0; j < i; ++j) {
                if (!sections[i].name.empty() && vek::equals(sections[i].name, sections[j].name)) {
                    Fail(L"the section '" + sections[i].name + L"' is given twice", LineOf(sections[i]));
                }
            }
        }
    }

    void ReadWorld() {
        const auto section = std::find_if(m_ini.GetSections().begin(), m_ini.GetSections().end(),
                                          [](const vek::TIniSection& s) { return vek::equals(s.name, kWorldSection); });
        if (section == m_ini.GetSections().end()) {
            Fail(L"the section 'world' is missing", 0);
        }
        CheckKeys(*section, kWorldKeys);
        m_world.Init();
        for (size_t i = 0; i < m_world.texts.size(); ++i) {
            m_world.texts[i] =
                m_ini.GetStringValue(vek::Format(L"text%u", static_cast<uint32_t>(i + 1)), kWorldSection, L"");
        }
        m_world.languages = m_ini.GetStringValue(L"languages", kWorldSection, m_world.languages);
        const uint16_t columns = m_ini.GetValue(L"columns", kWorldSection, TWorldInfo::kDefaultSize);
        const uint16_t rows = m_ini.GetValue(L"rows", kWorldSection, TWorldInfo::kDefaultSize);
        const uint16_t factor = m_ini.GetValue(L"factor", kWorldSection, uint16_t{1});
        if (columns == 0 || rows == 0 || factor == 0 || static_cast<uint32_t>(columns) * factor > 0xFFFF) {
            Fail(
                vek::Format(L"a world of %ux%u cells with part factor %u cannot be made",
                            static_cast<uint32_t>(columns), static_cast<uint32_t>(rows), static_cast<uint32_t>(factor)),
                LineOf(*section));
        }
        m_world.partFactor = factor;
        m_world.Resize(columns, rows);
        // Every cell as a new world of this size and factor has it.
        for (uint16_t cy = 0; cy < m_world.height; ++cy) {
            for (uint16_t cx = 0; cx < m_world.width; ++cx) {
                m_world.InitCell(cx, cy);
            }
        }
    }

    void ReadLocation(const vek::TIniSection& section) {
        CheckKeys(section, kLocationKeys);
        const std::wstring& name = section.name;
        const uint32_t line = LineOf(section);
        if (!Has(section, L"x") || !Has(section, L"y")) {
            Fail(L"the location '" + name + L"' needs x and y", line);
        }
        const uint16_t x = m_ini.GetValue(L"x", name, uint16_t{0});
        const uint16_t y = m_ini.GetValue(L"y", name, uint16_t{0});
        const uint16_t width = m_ini.GetValue(L"width", name, TWorldLocInfo::kCellWidth);
        const uint16_t height = m_ini.GetValue(L"height", name, TWorldLocInfo::kCellHeight);
        if (width == 0 || height == 0 || width % TWorldLocInfo::kCellWidth != 0 ||
            height % TWorldLocInfo::kCellHeight != 0) {
            Fail(vek::Format(L"the location '%s' is %ux%u cells, not whole world cells of 20x15", name,
                             static_cast<uint32_t>(width), static_cast<uint32_t>(height)),
                 line);
        }
        const uint32_t columns = width / TWorldLocInfo::kCellWidth;
        const uint32_t rows = height / TWorldLocInfo::kCellHeight;
        if (x + columns > m_world.width || y + rows > m_world.height) {
            Fail(vek::Format(L"the location '%s' at (%u, %u) does not fit into the world of %ux%u cells", name,
                             static_cast<uint32_t>(x), static_cast<uint32_t>(y), static_cast<uint32_t>(m_world.width),
                             static_cast<uint32_t>(m_world.height)),
                 line);
        }

        TWorldLocInfo record = m_world.grid.At(x, y);
        record.nameKey = m_ini.GetStringValue(L"key", name, name);
        record.width = width;
        record.height = height;
        record.fileName = m_ini.GetStringValue(L"file", name, L"");
        record.name = m_ini.GetStringValue(L"name", name, L"");
        record.terrainType = m_ini.GetValue(L"terrain", name, record.terrainType);
        record.randomKind = m_ini.GetValue(L"random", name, record.randomKind);
        record.shown = m_ini.GetValue(L"shown", name, record.shown);
        record.towerFlag = m_ini.GetValue(L"tower", name, record.towerFlag);
        record.flags = m_ini.GetValue(L"flags", name, record.flags);
        record.values16[0] = m_ini.GetValue(L"value1", name, record.values16[0]);
        record.values16[1] = m_ini.GetValue(L"value2", name, record.values16[1]);
        record.values32[0] = m_ini.GetValue(L"value3", name, record.values32[0]);
        record.values32[1] = m_ini.GetValue(L"value4", name, record.values32[1]);
        record.text4 = m_ini.GetStringValue(L"text4", name, L"");
        record.text5 = m_ini.GetStringValue(L"text5", name, L"");
        record.text6 = m_ini.GetStringValue(L"text6", name, L"");
        if (record.randomKind > kWorldDungeonSite || record.shown > 1) {
            Fail(L"the location '" + name + L"' has a random kind above 2 or a shown flag above 1", line);
        }
        if (record.randomKind != kWorldRandom && record.fileName.empty()) {
            Fail(L"the location '" + name + L"' is not random but names no file", line);
        }
        if (record.nameKey.empty() && columns * rows > 1) {
            Fail(L"the location '" + name + L"' covers several cells: they must share a name key", line);
        }
        for (size_t i = 0; i < m_claimed.size() && !record.nameKey.empty(); ++i) {
            const TWorldLocInfo& other = m_world.grid.Data()[i];
            if (m_claimed[i] && vek::equals(other.nameKey, record.nameKey)) {
                Fail(L"the name key '" + record.nameKey + L"' names another location already", line);
            }
        }

        for (uint32_t cy = y; cy < y + rows; ++cy) {
            for (uint32_t cx = x; cx < x + columns; ++cx) {
                const size_t index = static_cast<size_t>(cy) * m_world.width + cx;
                if (m_claimed[index]) {
                    Fail(vek::Format(L"the location '%s' covers cell (%u, %u), which another location covers", name, cx,
                                     cy),
                         line);
                }
                m_claimed[index] = true;
                TWorldLocInfo& cell = m_world.grid.At(static_cast<uint16_t>(cx), static_cast<uint16_t>(cy));
                cell = record;
                cell.worldX = static_cast<uint16_t>(cx);
                cell.worldY = static_cast<uint16_t>(cy);
            }
        }
    }

    CWorld& m_world;
    vek::CIniFile& m_ini;
    std::vector<bool> m_claimed;
};

} // namespace

void ReadWorldSource(CWorld& world, vek::CIniFile& ini) { CWorldSourceReader(world, ini).Read(); }
