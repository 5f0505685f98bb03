#pragma once
// The game's definition tables: monster kinds, item kinds, terrain, map
// objects, materials, encounters, spells and hero pictures, each read from an
// ini file in the data folder ("Data/" + base name + language + ".ini"; the
// hero table is "Data/hero.ini" for every language).
//
// A record's position in its vector is its kind number: position 0 holds
// section 1 of the file. A key missing from a section gives its default.
//
// Every loader either replaces the table as a whole or, when it throws,
// leaves the table as it was: a failed reload never leaves a table half in
// one language and half in another.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"

// One monster kind (section "mon<n>" of "monsters.<lang>.ini").
struct TMonsterInfo {
    // Name forms for the language's grammar; `brain` is the behaviour script.
    std::wstring name, nameb, named, description, brain, namem, namemd;
    uint8_t resnormal = 0, resmagic = 0, resfire = 0, rescold = 0;
    uint8_t flags = 0;
    uint16_t picindex = 0, family = 0;
    // extra, extraA and extraB belong to the creature rules, which fill and
    // use them; the loader only carries them along.
    uint16_t extra = 0;
    uint16_t hp = 0, dmg1 = 0, dmg2 = 0, weight = 0, dexterity = 0, occurrence = 0;
    uint16_t eyesightdist = 0, hearingdist = 0, smelldist = 0, wpncateg = 0, ammo = 0;
    std::vector<uint16_t> extraA, extraB;

    bool operator==(const TMonsterInfo&) const = default;
};

// One item kind (section "item<n>" of "items.<lang>.ini").
struct TItemInfo {
    std::wstring name, nameb, namem, namemd, indefinite;
    uint8_t category = 0, dmg1 = 0, dmg2 = 0, ac = 0, flags = 0, occurrence = 0;
    uint16_t durab = 0, weight = 0, picindex = 0, invpicindex = 0, nutrition = 0, strengthreq = 0;
    uint32_t data = 0;
    uint32_t value = 0;

    bool operator==(const TItemInfo&) const = default;
};

// One terrain tile (section "Terrain<n>" of "terrain.<lang>.ini").
struct TTerrainInfo {
    std::wstring name, nameb, description;
    uint8_t flags = 0; // bit 0: a terrain of one record, not a triple
    uint16_t apmod = 0;
    uint16_t picindex = 0;
    uint32_t automapcolor = 0; // ARGB

    bool operator==(const TTerrainInfo&) const = default;
};

// One map object (section "Terrain<n>" of "objects.<lang>.ini").
struct TObjectInfo {
    std::wstring name, nameb;
    uint8_t flags = 0;
    uint16_t picindex = 0;
    uint16_t group = 0;
    uint32_t automapcolor = 0; // ARGB; alpha 0 means no automap colour

    bool operator==(const TObjectInfo&) const = default;
};

// One material (section "Mat<n>" of "mat.<lang>.ini").
struct TMatInfo {
    std::wstring name;
    float valuemod = 0, diffmod = 0, weighmod = 0, parammod = 0, rarmod = 0, vampmod = 0;
    uint16_t nugget = 0;

    bool operator==(const TMatInfo&) const = default;
};

// One monster slot of an encounter; keys "MonType<s>", "MonNumLow<s>",
// "NumberHigh<s>" and "Script<s>" with the slot number s = 1..3.
struct TEncounterSlot {
    uint16_t MonType = 0;
    uint16_t MonNumLow = 0;
    uint16_t NumberHigh = 0;
    std::wstring Script;

    bool operator==(const TEncounterSlot&) const = default;
};

// One encounter (section "Enc<n>" of "enc.<lang>.ini").
struct TEncounterInfo {
    std::array<TEncounterSlot, 3> slots;
    std::wstring EncounterText, InternalText;
    int32_t MonAttitude = 0;
    float DifficultyLevel = 0;

    bool operator==(const TEncounterInfo&) const = default;
};

// One spell (section "Spell<n>" of "spells.<lang>.ini").
struct TSpellInfo {
    std::wstring name;
    uint16_t picstart = 0, piccount = 0, icon = 0, energyamount = 0, focuscostbase = 0, flags = 0;
    int32_t neutrality = 0;
    bool needaim = false;

    bool operator==(const TSpellInfo&) const = default;
};

// One hero picture set (section "Hero<n>" of "hero.ini").
struct THeroInfo {
    uint16_t gender = 0, pic = 0, picdead = 0, picfrozen = 0;

    bool operator==(const THeroInfo&) const = default;
};

// --- Loaders ---------------------------------------------------------------------
// lang: the two-letter language of the file. checkCount off: the table takes
// the file's record count. checkCount on: the table must already hold as
// many records as the file, else CException "File <name> was expected to have
// <size> entries, but actually has <count>."; the records are overwritten in
// place, and fields that the file does not carry keep their values.
// Result true; every failure throws (file, ini reader, count, verification).
bool GetMonsterInfo(const std::wstring& lang, std::vector<TMonsterInfo>& table, bool checkCount);
// Language pl reads "nameb" and "namemd"; any other copies them from "name"
// and "namem", and en also reads "indefinite".
bool GetItemInfo(const std::wstring& lang, std::vector<TItemInfo>& table, bool checkCount);
// After reading, the names must come in triples (see VerifyTerrain).
bool GetTerrainInfo(const std::wstring& lang, std::vector<TTerrainInfo>& table, bool checkCount);
bool GetObjectInfo(const std::wstring& lang, std::vector<TObjectInfo>& table, bool checkCount);
bool GetMatInfo(const std::wstring& lang, std::vector<TMatInfo>& table, bool checkCount);
bool GetEncounterInfo(const std::wstring& lang, std::vector<TEncounterInfo>& table, bool checkCount);
bool GetSpellInfo(const std::wstring& lang, std::vector<TSpellInfo>& table, bool checkCount);
// "Data/hero.ini"; the table takes the file's record count.
bool GetHeroInfo(std::vector<THeroInfo>& table);

// Name of the placeholder terrain record that cuts a run short.
inline constexpr wchar_t kTerrainPlaceholder[] = L"???";

// The terrain kinds a map editor offers: every single-record terrain (flag
// bit 0) and the first record of every run of ordinary records, in table
// order. A placeholder record ends a run: a run it cuts short still offers
// its first record, and the next run starts after the placeholder.
void CollectFlaggedIndices(const std::vector<TTerrainInfo>& terrain, std::vector<uint16_t>& kinds);

// --- The group table ---------------------------------------------------------------
// One entry of the game's group table: the creature kind that random
// locations get for the group, with what placed it where it stands.
struct TGroupTableEntry {
    uint16_t monsterType = 0;
    uint16_t occurrence = 0;
    // hp x (dmg1 + dmg2), up to 0xFFFFFFFF.
    uint32_t strength = 0;
    bool operator==(const TGroupTableEntry&) const = default;
};

// The group table of a monster table: one entry for every kind that can be
// met (a nonzero occurrence), weakest first by hit points times the sum of
// the two damage bounds, equal ones by kind number. Empty when no kind can
// be met.
std::vector<TGroupTableEntry> BuildGroupTable(const std::vector<TMonsterInfo>& monsters);

// --- Errors ----------------------------------------------------------------------
// An entity that a lookup by name did not find. Message: the kind's word,
// " entity not found: " and the name.
class CEntityError : public vek::CException {
public:
    enum : uint32_t {
        kItem = 0,
        kMonster = 1,
        kNpc = 2,
        kSpell = 3,
        kTerrain = 4,
        kObject = 5,
        kEncounter = 6,
    };

    CEntityError(const std::wstring& function, const std::wstring& sourceFile, int32_t line, uint32_t kind,
                 const std::wstring& name);
    ~CEntityError() override;

    // "Item", "Monster", ... "Encounter"; "Unknown" for any other number.
    static std::wstring KindWord(uint32_t kind);

    uint32_t GetKind() const { return m_kind; }
    const std::wstring& GetName() const { return m_name; }

private:
    uint32_t m_kind;
    std::wstring m_name;
};

// --- One set of tables -------------------------------------------------------------
// The game keeps two sets (the script language's and the display language's)
// and a byte that selects the active one; this is one of them.
class CDefinitionTables {
public:
    // The seven language tables of one language, monsters first. All or
    // nothing: when one table fails the set keeps every table it had. With
    // checkCount each table must already hold the file's number of records
    // (a set loaded before in the other language), and is overwritten in place.
    void Load(const std::wstring& lang, bool checkCount);
    // The hero table, which has no language.
    void LoadHeroes() { GetHeroInfo(heroes); }

    std::vector<TItemInfo> items;
    std::vector<TMonsterInfo> monsters;
    std::vector<TTerrainInfo> terrain;
    std::vector<TObjectInfo> objects;
    std::vector<TSpellInfo> spells;
    std::vector<TMatInfo> materials;
    std::vector<TEncounterInfo> encounters;
    std::vector<THeroInfo> heroes;
};
