#include "data/Tables.h"

#include <utility>

#include "VEKLib/Format.h"
#include "VEKLib/IniFile.h"
#include "VEKLib/Strings.h"
#include "data/Globals.h"
#include "data/TableFrame.h"

namespace {

using vek::CIniFile;

const TTableFormat kMonsters{L"GetMonsterInfo", L"monsters", L"mon%hu", 100, 25};
const TTableFormat kItems{L"GetItemInfo", L"items", L"item%hu", 300, 20};
const TTableFormat kTerrain{L"GetTerrainInfo", L"terrains", L"Terrain%hu", 100, 8};
const TTableFormat kObjects{L"GetObjectInfo", L"objects", L"Terrain%hu", 100, 8};
const TTableFormat kMaterials{L"GetMatInfo", L"materials", L"Mat%hu", 20, 8};
const TTableFormat kEncounters{L"GetEncounterInfo", L"encounters", L"Enc%hu", 50, 16};
const TTableFormat kSpells{L"GetSpellInfo", L"spells", L"Spell%hu", 30, 10};
const TTableFormat kHeroes{L"GetHeroInfo", L"heroes", L"Hero%u", 10, 4};

constexpr wchar_t kHeroFile[] = L"hero.ini";

// Automap colours are drawn half-transparent over the map.
constexpr uint32_t kAutomapAlpha = 0xC0000000u;
constexpr uint32_t kRgbMask = 0x00FFFFFFu;
// An object's colour value that means "not on the automap".
constexpr uint32_t kNoAutomapColor = 0xDEAD;

// Short forms of the typed getters that the records use.
std::wstring Text(CIniFile& ini, const wchar_t* key, const std::wstring& section, const wchar_t* def) {
    return ini.GetStringValue(key, section, def);
}
uint8_t U8(CIniFile& ini, const wchar_t* key, const std::wstring& section, uint8_t def) {
    return ini.GetValue(key, section, def);
}
uint8_t Flags8(CIniFile& ini, const wchar_t* key, const std::wstring& section) {
    return ini.GetValue(key, section, uint8_t{0}, true);
}
uint16_t U16(CIniFile& ini, const std::wstring& key, const std::wstring& section, uint16_t def) {
    return ini.GetValue(key, section, def);
}
uint32_t U32(CIniFile& ini, const wchar_t* key, const std::wstring& section, uint32_t def) {
    return ini.GetValue(key, section, def);
}
int32_t I32(CIniFile& ini, const wchar_t* key, const std::wstring& section, int32_t def) {
    return ini.GetValue(key, section, def);
}
float Float(CIniFile& ini, const wchar_t* key, const std::wstring& section, float def) {
    return ini.GetValue(key, section, def);
}

void ReadMonster(CIniFile& ini, const std::wstring& s, TMonsterInfo& m) {
    const wchar_t* const def = L"New Monster";
    m.name = Text(ini, L"name", s, def);
    m.named = Text(ini, L"named", s, def);
    m.nameb = Text(ini, L"nameb", s, def);
    m.namem = Text(ini, L"namem", s, def);
    m.namemd = Text(ini, L"namemd", s, def);
    m.description = Text(ini, L"description", s, def);
    m.brain = Text(ini, L"brain", s, L"monbase.u");
    m.resnormal = U8(ini, L"resnormal", s, 0);
    m.resmagic = U8(ini, L"resmagic", s, 0);
    m.resfire = U8(ini, L"resfire", s, 0);
    m.rescold = U8(ini, L"rescold", s, 0);
    m.flags = Flags8(ini, L"flags", s);
    m.picindex = U16(ini, L"picindex", s, 0);
    m.family = U16(ini, L"family", s, 0);
    m.hp = U16(ini, L"hp", s, 0);
    m.dmg1 = U16(ini, L"dmg1", s, 0);
    m.dmg2 = U16(ini, L"dmg2", s, 0);
    m.weight = U16(ini, L"weight", s, 0);
    m.dexterity = U16(ini, L"dexterity", s, 0);
    m.occurrence = U16(ini, L"occurrence", s, 5);
    m.eyesightdist = U16(ini, L"eyesightdist", s, 0);
    m.hearingdist = U16(ini, L"hearingdist", s, 0);
    m.smelldist = U16(ini, L"smelldist", s, 0);
    m.wpncateg = U16(ini, L"wpncateg", s, 0);
    m.ammo = U16(ini, L"ammo", s, 0);
}

void ReadItem(CIniFile& ini, const std::wstring& s, const std::wstring& lang, TItemInfo& it) {
    const wchar_t* const def = L"New Item";
    it.name = Text(ini, L"name", s, def);
    it.namem = Text(ini, L"namem", s, def);
    if (vek::equals(lang, L"pl")) {
        it.nameb = Text(ini, L"nameb", s, def);
        it.namemd = Text(ini, L"namemd", s, def);
    } else {
        // Other languages have no case forms of their own.
        it.nameb = it.name;
        it.namemd = it.namem;
        if (vek::equals(lang, L"en")) {
            it.indefinite = Text(ini, L"indefinite", s, L"a");
        }
    }
    it.category = U8(ini, L"category", s, 18);
    it.dmg1 = U8(ini, L"dmg1", s, 0);
    it.dmg2 = U8(ini, L"dmg2", s, 0);
    it.ac = U8(ini, L"ac", s, 0);
    it.flags = Flags8(ini, L"flags", s);
    it.value = U32(ini, L"value", s, 0);
    it.durab = U16(ini, L"durab", s, 0);
    it.weight = U16(ini, L"weight", s, 0);
    it.picindex = U16(ini, L"picindex", s, 0);
    it.invpicindex = U16(ini, L"invpicindex", s, 0);
    it.data = U32(ini, L"data", s, 0);
    it.nutrition = U16(ini, L"nutrition", s, 0);
    it.strengthreq = U16(ini, L"strengthreq", s, 0);
    it.occurrence = U8(ini, L"occurrence", s, 3);
}

void ReadTerrain(CIniFile& ini, const std::wstring& s, TTerrainInfo& t) {
    const wchar_t* const def = L"New Terrain";
    t.name = Text(ini, L"name", s, def);
    t.nameb = Text(ini, L"nameb", s, def);
    t.description = Text(ini, L"description", s, def);
    t.picindex = U16(ini, L"picindex", s, 0);
    t.flags = Flags8(ini, L"flags", s);
    t.apmod = U16(ini, L"apmod", s, 0);
    t.automapcolor = kAutomapAlpha | (ini.GetHexColorValue(L"automapcolor", s, 0) & kRgbMask);
}

void ReadObject(CIniFile& ini, const std::wstring& s, TObjectInfo& o) {
    const wchar_t* const def = L"New Object";
    o.name = Text(ini, L"name", s, def);
    o.nameb = Text(ini, L"nameb", s, def);
    o.picindex = U16(ini, L"picindex", s, 0);
    o.flags = Flags8(ini, L"flags", s);
    o.group = U16(ini, L"group", s, 0);
    const uint32_t color = ini.GetHexColorValue(L"automapcolor", s, 0);
    o.automapcolor = color == kNoAutomapColor ? color : kAutomapAlpha | (color & kRgbMask);
}

void ReadMaterial(CIniFile& ini, const std::wstring& s, TMatInfo& m) {
    m.name = Text(ini, L"name", s, L"New Material");
    m.valuemod = Float(ini, L"valuemod", s, 1.0f);
    m.diffmod = Float(ini, L"diffmod", s, 1.0f);
    m.rarmod = Float(ini, L"rarmod", s, 1.0f);
    m.vampmod = Float(ini, L"vampmod", s, 1.0f);
    m.weighmod = Float(ini, L"weighmod", s, 1.0f);
    m.parammod = Float(ini, L"parammod", s, 1.0f);
    m.nugget = U16(ini, L"nugget", s, 0);
}

void ReadEncounter(CIniFile& ini, const std::wstring& s, TEncounterInfo& e) {
    e.EncounterText = Text(ini, L"EncounterText", s, L"EncounterText");
    e.InternalText = Text(ini, L"InternalText", s, L"New Encounter");
    e.MonAttitude = I32(ini, L"MonAttitude", s, 2);
    e.DifficultyLevel = Float(ini, L"DifficultyLevel", s, 1.0f);
    for (uint32_t number = 1; number <= e.slots.size(); ++number) {
        TEncounterSlot& slot = e.slots[number - 1];
        const uint16_t byNumber = static_cast<uint16_t>(number);
        slot.MonType = U16(ini, vek::Format(L"MonType%lu", number), s, 0);
        slot.MonNumLow = U16(ini, vek::Format(L"MonNumLow%lu", number), s, byNumber);
        slot.NumberHigh = U16(ini, vek::Format(L"NumberHigh%lu", number), s, byNumber);
        slot.Script = ini.GetStringValue(vek::Format(L"Script%lu", number), s, L"");
    }
}

void ReadSpell(CIniFile& ini, const std::wstring& s, TSpellInfo& sp) {
    sp.name = Text(ini, L"name", s, L"New Spell");
    sp.picstart = U16(ini, L"picstart", s, 0);
    sp.piccount = U16(ini, L"piccount", s, 1);
    sp.icon = U16(ini, L"icon", s, 0);
    sp.energyamount = U16(ini, L"energyamount", s, 1);
    sp.focuscostbase = U16(ini, L"focuscostbase", s, 5);
    sp.needaim = ini.GetValue(L"needaim", s, true);
    sp.flags = U16(ini, L"flags", s, 0);
    sp.neutrality = I32(ini, L"neutrality", s, 1);
}

void ReadHero(CIniFile& ini, const std::wstring& s, THeroInfo& h) {
    h.pic = U16(ini, L"pic", s, 0);
    h.picdead = U16(ini, L"picdead", s, 0);
    h.picfrozen = U16(ini, L"picfrozen", s, 0);
    h.gender = U16(ini, L"gender", s, 0);
}

// Reads a parsed table and replaces it only when the whole read succeeded.
template <class T, class ReadRecord>
void ReadTable(CIniFile& ini, const TTableFormat& format, const std::wstring& fileName, std::vector<T>& table,
               bool checkCount, ReadRecord readRecord) {
    std::vector<T> records = ReadRecords(ini, format, fileName, table, checkCount, readRecord);
    table.swap(records);
}

// Opens, reads and parses the table file of one language.
template <class Read>
bool LoadTable(const TTableFormat& format, const wchar_t* baseName, const std::wstring& lang, Read read) {
    const std::wstring fileName = TableFileName(baseName, lang);
    CIniFile ini(format.sectionHint, format.entryHint);
    LoadIniFile(fileName, ini);
    read(ini, fileName);
    return true;
}

} // namespace

// --- Reading parsed tables ----------------------------------------------------------

void ReadMonsterTable(CIniFile& ini, const std::wstring& fileName, std::vector<TMonsterInfo>& table, bool checkCount) {
    ReadTable(ini, kMonsters, fileName, table, checkCount, ReadMonster);
}

void ReadItemTable(CIniFile& ini, const std::wstring& fileName, const std::wstring& lang, std::vector<TItemInfo>& table,
                   bool checkCount) {
    ReadTable(ini, kItems, fileName, table, checkCount,
              [&lang](CIniFile& file, const std::wstring& s, TItemInfo& it) { ReadItem(file, s, lang, it); });
}

void ReadTerrainTable(CIniFile& ini, const std::wstring& fileName, std::vector<TTerrainInfo>& table, bool checkCount) {
    std::vector<TTerrainInfo> records = ReadRecords(ini, kTerrain, fileName, table, checkCount, ReadTerrain);
    VerifyTerrain(records);
    table.swap(records);
}

void ReadObjectTable(CIniFile& ini, const std::wstring& fileName, std::vector<TObjectInfo>& table, bool checkCount) {
    ReadTable(ini, kObjects, fileName, table, checkCount, ReadObject);
}

void ReadMatTable(CIniFile& ini, const std::wstring& fileName, std::vector<TMatInfo>& table, bool checkCount) {
    ReadTable(ini, kMaterials, fileName, table, checkCount, ReadMaterial);
}

void ReadEncounterTable(CIniFile& ini, const std::wstring& fileName, std::vector<TEncounterInfo>& table,
                        bool checkCount) {
    ReadTable(ini, kEncounters, fileName, table, checkCount, ReadEncounter);
}

void ReadSpellTable(CIniFile& ini, const std::wstring& fileName, std::vector<TSpellInfo>& table, bool checkCount) {
    ReadTable(ini, kSpells, fileName, table, checkCount, ReadSpell);
}

void ReadHeroTable(CIniFile& ini, std::vector<THeroInfo>& table) {
    ReadTable(ini, kHeroes, std::wstring(kDataDir) + kHeroFile, table, false, ReadHero);
}

void VerifyTerrain(const std::vector<TTerrainInfo>& terrain) {
    auto fail = [](const TTerrainInfo& at) {
        throw vek::CException(L"GetTerrainInfo", kTableSource, __LINE__, L"Terrain verification failed for " + at.name);
    };
    uint32_t run = 0;
    for (size_t i = 0; i < terrain.size(); ++i) {
        const std::wstring& name = terrain[i].name;
        if (vek::equals(name, kTerrainPlaceholder)) {
            run = 0;
            continue;
        }
        if (++run == 3) {
            if (!vek::equals(terrain[i - 2].name, name) || !vek::equals(terrain[i - 1].name, name)) {
                fail(terrain[i]);
            }
            run = 0;
        }
    }
    if (run != 0) {
        fail(terrain.back());
    }
}

void CollectFlaggedIndices(const std::vector<TTerrainInfo>& terrain, std::vector<uint16_t>& kinds) {
    kinds.clear();
    uint32_t run = 0;
    for (size_t i = 0; i < terrain.size(); ++i) {
        const uint16_t position = static_cast<uint16_t>(i);
        if (terrain[i].flags & 1) {
            kinds.push_back(position);
            run = 0;
        } else if (vek::equals(terrain[i].name, kTerrainPlaceholder)) {
            // The placeholder stands in for the missing records of a short
            // run and is no terrain itself; counting it as one would shift
            // every triple after it by one record.
            if (run > 0) {
                kinds.push_back(static_cast<uint16_t>(i - run));
            }
            run = 0;
        } else if (++run == 3) {
            kinds.push_back(static_cast<uint16_t>(i - 2));
            run = 0;
        }
    }
}

// --- Loaders ---------------------------------------------------------------------------

bool GetMonsterInfo(const std::wstring& lang, std::vector<TMonsterInfo>& table, bool checkCount) {
    return LoadTable(kMonsters, L"monsters.", lang, [&](CIniFile& ini, const std::wstring& fileName) {
        ReadMonsterTable(ini, fileName, table, checkCount);
    });
}

bool GetItemInfo(const std::wstring& lang, std::vector<TItemInfo>& table, bool checkCount) {
    return LoadTable(kItems, L"items.", lang, [&](CIniFile& ini, const std::wstring& fileName) {
        ReadItemTable(ini, fileName, lang, table, checkCount);
    });
}

bool GetTerrainInfo(const std::wstring& lang, std::vector<TTerrainInfo>& table, bool checkCount) {
    return LoadTable(kTerrain, L"terrain.", lang, [&](CIniFile& ini, const std::wstring& fileName) {
        ReadTerrainTable(ini, fileName, table, checkCount);
    });
}

bool GetObjectInfo(const std::wstring& lang, std::vector<TObjectInfo>& table, bool checkCount) {
    return LoadTable(kObjects, L"objects.", lang, [&](CIniFile& ini, const std::wstring& fileName) {
        ReadObjectTable(ini, fileName, table, checkCount);
    });
}

bool GetMatInfo(const std::wstring& lang, std::vector<TMatInfo>& table, bool checkCount) {
    return LoadTable(kMaterials, L"mat.", lang, [&](CIniFile& ini, const std::wstring& fileName) {
        ReadMatTable(ini, fileName, table, checkCount);
    });
}

bool GetEncounterInfo(const std::wstring& lang, std::vector<TEncounterInfo>& table, bool checkCount) {
    return LoadTable(kEncounters, L"enc.", lang, [&](CIniFile& ini, const std::wstring& fileName) {
        ReadEncounterTable(ini, fileName, table, checkCount);
    });
}

bool GetSpellInfo(const std::wstring& lang, std::vector<TSpellInfo>& table, bool checkCount) {
    return LoadTable(kSpells, L"spells.", lang, [&](CIniFile& ini, const std::wstring& fileName) {
        ReadSpellTable(ini, fileName, table, checkCount);
    });
}

bool GetHeroInfo(std::vector<THeroInfo>& table) {
    CIniFile ini(kHeroes.sectionHint, kHeroes.entryHint);
    LoadIniFile(std::wstring(kDataDir) + kHeroFile, ini);
    ReadHeroTable(ini, table);
    return true;
}

// --- One set of tables -------------------------------------------------------------------

void CDefinitionTables::Load(const std::wstring& lang, bool checkCount) {
    CDefinitionTables loaded(*this);
    GetMonsterInfo(lang, loaded.monsters, checkCount);
    GetItemInfo(lang, loaded.items, checkCount);
    GetTerrainInfo(lang, loaded.terrain, checkCount);
    GetObjectInfo(lang, loaded.objects, checkCount);
    GetMatInfo(lang, loaded.materials, checkCount);
    GetEncounterInfo(lang, loaded.encounters, checkCount);
    GetSpellInfo(lang, loaded.spells, checkCount);
    *this = std::move(loaded);
}
