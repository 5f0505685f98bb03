// The display names of locations and world parts, and the danger levels of
// "locs.dat".
#include <algorithm>
#include <utility>

#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Format.h"
#include "VEKLib/IniFile.h"
#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "data/Globals.h"
#include "data/MetaFile.h"
#include "data/TableFrame.h"
#include "world/World.h"

namespace {

const wchar_t* const kSource = L"World";
const wchar_t kNamesSection[] = L"locnames";
const wchar_t kPartsSection[] = L"worldparts";
const wchar_t kSiteNameKey[] = L"default_random_dungeon";
const wchar_t* const kDefaultNames[] = {L"default_unknown", kSiteNameKey};
const wchar_t kDangerFile[] = L"locs.dat";
constexpr uint32_t kHighestLevel = 0xFFFF;

// A decimal number between blanks; false for anything else.
bool ParseNumber(const std::wstring& field, uint32_t& value) {
    const size_t first = field.find_first_not_of(L" \t");
    if (first == std::wstring::npos) {
        return false;
    }
    const size_t last = field.find_last_not_of(L" \t");
    const std::wstring digits = field.substr(first, last - first + 1);
    if (!std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
        return false;
    }
    // Past 32 bits the conversion saturates, which lies outside every world.
    value = vek::WcsToUL(digits.c_str(), nullptr, 10);
    return true;
}

void LogSkipped(const std::wstring& sourceName, uint32_t line, const std::wstring& why) {
    if (g_gameData != nullptr) {
        g_gameData->Log(vek::Format(L"Warning: %s, line %u skipped: %s", sourceName, line, why));
    }
}

} // namespace

TPlaceNames ReadLocNames(const CWorld& world, vek::CIniFile& ini) {
    TPlaceNames names;
    const std::wstring siteFormat = ini.GetStringValue(kSiteNameKey, kNamesSection, kSiteNameKey);
    for (const TWorldLocInfo* cell : world.CollectLocations()) {
        if (cell->nameKey.empty()) {
            continue;
        }
        // No name file knows a dungeon site made in play: it gets the name
        // it was given when made again, or it would be lost with each load.
        std::wstring missing;
        if (cell->randomKind == kWorldDungeonSite) {
            if (const auto number = CWorld::SiteNumberOf(cell->fileName)) {
                missing = CWorld::SiteDisplayName(siteFormat, *number);
            }
        }
        names.emplace(vek::ucase(cell->nameKey), ini.GetStringValue(cell->nameKey, kNamesSection, missing));
    }
    for (const wchar_t* key : kDefaultNames) {
        names.emplace(vek::ucase(key), ini.GetStringValue(key, kNamesSection, key));
    }
    CWorld::LoadWorldPartsNames(ini, names);
    return names;
}

void CWorld::LoadWorldPartsNames(vek::CIniFile& ini, TPlaceNames& names) {
    for (int32_t part = 0;; ++part) {
        const std::wstring key = vek::Format(L"worldpart%i", part);
        std::wstring name = ini.GetStringValue(key, kPartsSection, L"");
        if (name.empty()) {
            return;
        }
        const std::wstring otherKey = key + L"_b";
        std::wstring otherName = ini.GetStringValue(otherKey, kPartsSection, L"");
        if (otherName.empty()) {
            const std::wstring where = ini.GetSourceName().empty() ? L"" : L" (" + ini.GetSourceName() + L")";
            throw vek::CException(L"CWorld::LoadWorldPartsNames", kSource, __LINE__,
                                  L"World part name incomplete: missing " + otherKey + where);
        }
        names.emplace(key, std::move(name));
        names.emplace(otherKey, std::move(otherName));
    }
}

std::vector<TDangerArea> ParseDangerLevels(const std::wstring& text, const std::wstring& sourceName) {
    std::vector<TDangerArea> areas;
    uint32_t lineNumber = 0;
    for (std::wstring line : vek::Split(text, L'\n')) {
        ++lineNumber;
        if (lineNumber == 1 && !line.empty() && line.front() == L'\xFEFF') {
            line.erase(0, 1);
        }
        std::erase(line, L'\r');
        if (line.find_first_not_of(L" \t") == std::wstring::npos) {
            continue;
        }
        const std::vector<std::wstring> fields = vek::Split(line, L',');
        if (fields.size() != 3 && fields.size() < 5) {
            LogSkipped(sourceName, lineNumber, vek::Format(L"%u fields", static_cast<uint32_t>(fields.size())));
            continue;
        }
        const size_t used = fields.size() == 3 ? 3 : 5;
        uint32_t numbers[5] = {};
        bool valid = true;
        for (size_t i = 0; i < used && valid; ++i) {
            valid = ParseNumber(fields[i], numbers[i]);
        }
        if (!valid) {
            LogSkipped(sourceName, lineNumber, L"not a list of decimal numbers");
            continue;
        }
        TDangerArea area;
        area.x1 = numbers[0];
        area.y1 = numbers[1];
        area.x2 = used == 3 ? numbers[0] : numbers[2];
        area.y2 = used == 3 ? numbers[1] : numbers[3];
        area.level = static_cast<uint16_t>(std::min(numbers[used - 1], kHighestLevel));
        areas.push_back(area);
    }
    return areas;
}

void ApplyDangerLevels(TWorldInfo& world, const std::vector<TDangerArea>& areas) {
    for (const TDangerArea& area : areas) {
        const uint32_t lastX = std::min<uint32_t>(area.x2, world.width - 1u);
        const uint32_t lastY = std::min<uint32_t>(area.y2, world.height - 1u);
        for (uint32_t y = area.y1; y <= lastY; ++y) {
            for (uint32_t x = area.x1; x <= lastX; ++x) {
                world.grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)).danger = area.level;
            }
        }
    }
}

// --- The world's use of them -------------------------------------------------------------------

std::wstring CWorld::GetLocNamesFileName(const std::wstring& language) {
    return std::wstring(kDataDir) + L"locations." + language + L".ini";
}

CWorld::TNames CWorld::ReadNames(const std::wstring& fileName) const {
    TNames names;
    vek::CIniFile ini;
    LoadIniFile(fileName, ini);
    names.placeNames = ReadLocNames(*this, ini);

    const std::wstring dangerFile = std::wstring(kDataDir) + kDangerFile;
    CMetaFile file;
    file.Open(dangerFile, vek::CFile::kModeRead);
    std::wstring text;
    file.ReadWholeText(text, vek::kEncodingUtf8, false);
    file.Close();
    names.danger = ParseDangerLevels(text, dangerFile);
    return names;
}

CWorld::TNames CWorld::ReadConfiguredNames() const {
    if (g_gameData == nullptr) {
        return TNames();
    }
    return ReadNames(GetLocNamesFileName(g_gameData->GetConfig().FindEntry(L"lang").GetString()));
}

void CWorld::ApplyDanger(const std::vector<TDangerArea>& danger) { ApplyDangerLevels(*this, danger); }

void CWorld::InstallPlaceNames(TPlaceNames names) { g_gameData->GetStrings().SetPlaceNames(std::move(names)); }

void CWorld::LoadLocNames(const std::wstring& fileName) {
    TNames names = ReadNames(fileName);
    ApplyDanger(names.danger);
    if (g_gameData != nullptr) {
        InstallPlaceNames(std::move(names.placeNames));
    }
}
