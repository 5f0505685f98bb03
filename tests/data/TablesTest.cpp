#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "VEKLib/Exception.h"
#include "data/DataArchive.h"
#include "data/TableFrame.h"
#include "data/Tables.h"
#include "platform/Utf8.h"

namespace {

namespace fs = std::filesystem;

// Loose files in a working folder of the test's own, or the repository's
// sample data when `folder` is given.
class Tables : public ::testing::Test {
protected:
    void SetUp() override { Enter(""); }
    void TearDown() override {
        fs::current_path(m_oldCwd);
        SetArchiveInUse(m_oldInUse);
        if (!m_root.empty()) {
            fs::remove_all(m_root);
        }
    }
    void Enter(const fs::path& folder) {
        m_oldCwd = fs::current_path();
        m_oldInUse = IsArchiveInUse();
        SetArchiveInUse(false);
        if (folder.empty()) {
            std::string pattern = (fs::temp_directory_path() / "morvheld_tables_XXXXXX").string();
            ASSERT_NE(mkdtemp(pattern.data()), nullptr);
            m_root = pattern;
            fs::create_directories(m_root / "Data");
        }
        fs::current_path(folder.empty() ? m_root : folder);
    }
    static void Write(const std::string& name, const std::string& bytes) {
        std::ofstream("Data/" + name, std::ios::binary) << bytes;
    }

    fs::path m_oldCwd;
    fs::path m_root;
    bool m_oldInUse = true;
};

class SampleTables : public Tables {
protected:
    void SetUp() override { Enter(fs::path(__FILE__).parent_path().parent_path().parent_path()); }
};

template <class T>
std::vector<T> Times(size_t count, const T& record) {
    return std::vector<T>(count, record);
}

// Throws the CException of `load`, or fails the test.
template <class F>
vek::CException Thrown(F&& load) {
    try {
        load();
    } catch (const vek::CException& e) {
        return e;
    }
    ADD_FAILURE() << "nothing thrown";
    return vek::CException(L"", L"", 0, L"");
}

// --- Keys and defaults ------------------------------------------------------------------

TEST_F(Tables, MonsterDefaultsAndKeys) {
    Write("monsters.pl.ini",
          "[header]\nmonsters = 2\n[mon1]\n[mon2]\nname=\"a\"\nnamed=\"b\"\nnameb=\"c\"\nnamem=\"d\"\n"
          "namemd=\"e\"\ndescription=\"f g\"\nbrain=\"x.u\"\nresnormal=1\nresmagic=2\nresfire=3\nrescold=4\n"
          "flags=4|8\npicindex=5\nfamily=6\nhp=7\ndmg1=8\ndmg2=9\nweight=10\ndexterity=11\noccurrence=12\n"
          "eyesightdist=13\nhearingdist=14\nsmelldist=15\nwpncateg=16\nammo=17\n");
    TMonsterInfo def;
    def.name = def.nameb = def.named = def.namem = def.namemd = def.description = L"New Monster";
    def.brain = L"monbase.u";
    def.occurrence = 5;
    const TMonsterInfo full{L"a", L"c", L"b", L"f g", L"x.u", L"d", L"e", 1,  2,  3,  4,  12, 5,  6,
                            0,    7,    8,    9,      10,     11,   12,   13, 14, 15, 16, 17, {}, {}};
    std::vector<TMonsterInfo> table;
    GetMonsterInfo(L"pl", table, false);
    EXPECT_EQ(table, (std::vector<TMonsterInfo>{def, full}));
}

TEST_F(Tables, ItemNameFormsFollowTheLanguage) {
    const std::string body =
        "[header]\nitems = 2\n[item1]\n[item2]\nname=\"n\"\nnameb=\"b\"\nnamem=\"m\"\n"
        "namemd=\"md\"\nindefinite=\"an\"\ncategory=1\ndmg1=2\ndmg2=3\nac=4\nflags=1|2\n"
        "value=70000\ndurab=5\nweight=6\npicindex=7\ninvpicindex=8\ndata=90000\n"
        "nutrition=9\nstrengthreq=10\noccurrence=0\n";
    for (const char* lang : {"pl", "en", "de"}) {
        Write(std::string("items.") + lang + ".ini", body);
    }
    TItemInfo def{L"New Item", L"New Item", L"New Item", L"New Item", L"", 18, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0};
    TItemInfo full{L"n", L"b", L"m", L"md", L"", 1, 2, 3, 4, 3, 0, 5, 6, 7, 8, 9, 10, 90000, 70000};
    const struct {
        const wchar_t* lang;
        const wchar_t* nameb;
        const wchar_t* namemd;
        const wchar_t* indefiniteDefault; // of the empty section
        const wchar_t* indefiniteFull;
    } cases[] = {
        {L"PL", L"b", L"md", L"kept", L"kept"}, // capitals still mean pl; indefinite not read
        {L"en", L"n", L"m", L"a", L"an"},
        {L"de", L"n", L"m", L"kept", L"kept"},
    };
    for (const auto& c : cases) {
        std::vector<TItemInfo> table(2);
        table[0].indefinite = table[1].indefinite = L"kept";
        GetItemInfo(c.lang, table, true);
        TItemInfo d = def, f = full;
        d.indefinite = c.indefiniteDefault;
        f.indefinite = c.indefiniteFull;
        f.nameb = c.nameb;
        f.namemd = c.namemd;
        EXPECT_EQ(table, (std::vector<TItemInfo>{d, f})) << c.lang;
    }
}

TEST_F(Tables, TerrainAndObjectDefaultsKeysAndColours) {
    Write("terrain.en.ini",
          "[header]\nterrains=3\n[Terrain1]\n[Terrain2]\n[Terrain3]\nname=\"New Terrain\"\n"
          "nameb=\"b\"\ndescription=\"d\"\npicindex=1\nflags=2|1\napmod=3\n"
          "automapcolor=#FF123456\n");
    std::vector<TTerrainInfo> terrain;
    GetTerrainInfo(L"en", terrain, false);
    TTerrainInfo def{L"New Terrain", L"New Terrain", L"New Terrain", 0, 0, 0, 0xC0000000};
    TTerrainInfo full{L"New Terrain", L"b", L"d", 3, 3, 1, 0xC0123456};
    EXPECT_EQ(terrain, (std::vector<TTerrainInfo>{def, def, full}));

    Write("objects.en.ini",
          "[header]\nobjects=4\n[Terrain1]\n[Terrain2]\nname=\"n\"\nnameb=\"b\"\npicindex=1\n"
          "flags=4\ngroup=2\nautomapcolor=#dead\n[Terrain3]\nautomapcolor=57005\n"
          "[Terrain4]\nautomapcolor=255\n");
    std::vector<TObjectInfo> objects;
    GetObjectInfo(L"en", objects, false);
    TObjectInfo odef{L"New Object", L"New Object", 0, 0, 0, 0xC0000000};
    TObjectInfo dead = odef, blue = odef;
    dead.automapcolor = 0x0000DEAD; // alpha 0: not on the automap
    blue.automapcolor = 0xC00000FF;
    EXPECT_EQ(objects, (std::vector<TObjectInfo>{odef, {L"n", L"b", 4, 1, 2, 0x0000DEAD}, dead, blue}));
}

TEST_F(Tables, MaterialEncounterSpellAndHeroDefaultsAndKeys) {
    Write("mat.pl.ini",
          "[header]\nmaterials=2\n[Mat1]\n[Mat2]\nname=\"m\"\nvaluemod=0.5\ndiffmod=2\n"
          "weighmod=0,25\nparammod=3.5\nrarmod=4\nvampmod=0\nnugget=9\n");
    std::vector<TMatInfo> mats;
    GetMatInfo(L"pl", mats, false);
    EXPECT_EQ(mats,
              (std::vector<TMatInfo>{{L"New Material", 1, 1, 1, 1, 1, 1, 0}, {L"m", 0.5f, 2, 0.25f, 3.5f, 4, 0, 9}}));

    Write("enc.pl.ini",
          "[header]\nencounters=2\n[Enc1]\n[Enc2]\nEncounterText=\"t\"\nInternalText=\"i\"\n"
          "MonAttitude=-1\nDifficultyLevel=2.5\nMonType1=4\nMonNumLow1=5\nNumberHigh1=6\n"
          "Script1=\"s.u\"\nMonType3=7\nNumberHigh3=9\n");
    std::vector<TEncounterInfo> encounters;
    GetEncounterInfo(L"pl", encounters, false);
    TEncounterInfo def{{{{0, 1, 1, L""}, {0, 2, 2, L""}, {0, 3, 3, L""}}}, L"EncounterText", L"New Encounter", 2, 1};
    TEncounterInfo full{{{{4, 5, 6, L"s.u"}, {0, 2, 2, L""}, {7, 3, 9, L""}}}, L"t", L"i", -1, 2.5f};
    EXPECT_EQ(encounters, (std::vector<TEncounterInfo>{def, full}));

    Write("spells.pl.ini",
          "[header]\nspells=2\n[Spell1]\n[Spell2]\nname=\"s\"\npicstart=1\npiccount=2\n"
          "icon=3\nenergyamount=4\nfocuscostbase=6\nneedaim=0\nflags=7\nneutrality=-2\n");
    std::vector<TSpellInfo> spells;
    GetSpellInfo(L"pl", spells, false);
    EXPECT_EQ(spells, (std::vector<TSpellInfo>{{L"New Spell", 0, 1, 0, 1, 5, 0, 1, true},
                                               {L"s", 1, 2, 3, 4, 6, 7, -2, false}}));
    // Spell flags are one number, not a flag sum.
    Write("spells.pl.ini", "[header]\nspells=1\n[Spell1]\nflags=1|2\n");
    EXPECT_EQ(Thrown([&] { GetSpellInfo(L"pl", spells, false); }).GetDetails(),
              L"Invalid type: flags (Data/spells.pl.ini, line 4)");

    Write("hero.ini", "[header]\nheroes=2\n[Hero1]\n[Hero2]\ngender=1\npic=2\npicdead=3\npicfrozen=4\n");
    std::vector<THeroInfo> heroes(5);
    GetHeroInfo(heroes);
    EXPECT_EQ(heroes, (std::vector<THeroInfo>{{0, 0, 0, 0}, {1, 2, 3, 4}}));
}

// --- The common frame ---------------------------------------------------------------------

TEST_F(Tables, CountCheckNamesBothCountsAndKeepsTheTable) {
    Write("monsters.en.ini", "[header]\nmonsters=5\n");
    std::vector<TMonsterInfo> table(6);
    table[0].name = L"old";
    const vek::CException e = Thrown([&] { GetMonsterInfo(L"en", table, true); });
    EXPECT_EQ(e.GetDetails(), L"File Data/monsters.en.ini was expected to have 6 entries, but actually has 5.");
    EXPECT_EQ(e.GetFunction(), L"GetMonsterInfo");
    EXPECT_EQ(e.GetSourceFile(), L"GameStruct");
    ASSERT_EQ(table.size(), 6u);
    EXPECT_EQ(table[0].name, L"old");
}

TEST_F(Tables, ReloadKeepsFieldsTheFileDoesNotCarry) {
    Write("monsters.en.ini", "[header]\nmonsters=1\n[mon1]\nname=\"rat\"\n");
    std::vector<TMonsterInfo> table(1);
    table[0].extra = 7;
    table[0].extraA = {1, 2};
    GetMonsterInfo(L"en", table, true);
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table[0].name, L"rat");
    EXPECT_EQ(table[0].extra, 7);
    EXPECT_EQ(table[0].extraA, (std::vector<uint16_t>{1, 2}));

    Write("monsters.en.ini", "[header]\nmonsters=0\n");
    GetMonsterInfo(L"en", table, false);
    EXPECT_TRUE(table.empty());
}

// A failed load leaves the table as it was: neither resized to the file's
// count nor half overwritten.
TEST_F(Tables, FailedLoadLeavesTheTableAlone) {
    const struct {
        std::string body;
        bool check;
        const wchar_t* details;
    } cases[] = {
        {"[header]\nmonsters=3\n[mon1]\nname=\"x\"\n[mon2]\n", false,
         L"Section not found: mon3 (Data/monsters.en.ini)"},
        {"[header]\nmonsters=65534\n[mon1]\n", false, L"Section not found: mon2 (Data/monsters.en.ini)"},
        {"[header]\nmonsters=2\n[mon1]\nname=\"x\"\n[mon2]\nhp=-1\n", true,
         L"Invalid type: hp (Data/monsters.en.ini, line 6)"},
        {"[header]\nmonsters=2\n[mon1]\nflags=255\n", true,
         L"Invalid type: flags (too high numeric value for unsigned char variable) (Data/monsters.en.ini, line 4)"},
        {"monsters=2\n", false, L"Orphan value (Data/monsters.en.ini, line 1)"},
        {"; nothing\n", false, L"Section not found: header (Data/monsters.en.ini)"},
        {"", false, L"Buffer not ready (Data/monsters.en.ini)"},
        {std::string("[header]\nmonsters=2\n\0x", 22), false, L"Invalid file content (Data/monsters.en.ini)"},
    };
    for (const auto& c : cases) {
        Write("monsters.en.ini", c.body);
        std::vector<TMonsterInfo> table(2);
        table[0].name = L"old";
        EXPECT_EQ(Thrown([&] { GetMonsterInfo(L"en", table, c.check); }).GetDetails(), c.details) << c.body;
        ASSERT_EQ(table.size(), 2u);
        EXPECT_EQ(table[0].name, L"old");
    }
    std::vector<TMonsterInfo> none;
    EXPECT_THROW(GetMonsterInfo(L"xx", none, false), vek::CFileException);
}

TEST_F(Tables, ByteOrderMarkIsNotAValue) {
    Write("spells.en.ini", "\xEF\xBB\xBF[header]\r\nspells = 1\r\n[Spell1]\r\nname = \"\xC5\x9Bwiat\xC5\x82o\"\r\n");
    std::vector<TSpellInfo> spells;
    GetSpellInfo(L"en", spells, false);
    ASSERT_EQ(spells.size(), 1u);
    EXPECT_EQ(spells[0].name, L"\u015Bwiat\u0142o");
}

// --- Terrain --------------------------------------------------------------------------------

std::vector<TTerrainInfo> Terrain(const std::vector<std::pair<const wchar_t*, uint8_t>>& records) {
    std::vector<TTerrainInfo> terrain;
    for (const auto& [name, flags] : records) {
        terrain.push_back(TTerrainInfo{name, name, name, flags, 0, 0, 0});
    }
    return terrain;
}

TEST(TerrainTable, VerificationWantsTriples) {
    const struct {
        std::vector<std::pair<const wchar_t*, uint8_t>> records;
        const wchar_t* failsAt; // null: passes
    } cases[] = {
        {{{L"A", 0}, {L"A", 0}, {L"A", 0}, {L"B", 0}, {L"B", 0}, {L"B", 0}}, nullptr},
        {{{L"A", 0}, {L"a", 0}, {L"A", 0}}, nullptr},
        {{{L"A", 0}, {L"A", 0}, {L"B", 0}}, L"B"},
        {{{L"A", 0}, {L"A", 0}, {L"???", 0}, {L"B", 0}, {L"B", 0}, {L"B", 0}}, nullptr},
        {{{L"A", 0}, {L"A", 0}, {L"A", 0}, {L"B", 0}, {L"C", 0}}, L"C"},
        {{}, nullptr},
    };
    for (const auto& c : cases) {
        const std::vector<TTerrainInfo> terrain = Terrain(c.records);
        if (!c.failsAt) {
            EXPECT_NO_THROW(VerifyTerrain(terrain));
            continue;
        }
        const vek::CException e = Thrown([&] { VerifyTerrain(terrain); });
        EXPECT_EQ(e.GetDetails(), std::wstring(L"Terrain verification failed for ") + c.failsAt);
        EXPECT_EQ(e.GetFunction(), L"GetTerrainInfo");
    }
}

TEST(TerrainTable, KindsStayAlignedAfterPlaceholders) {
    const struct {
        std::vector<std::pair<const wchar_t*, uint8_t>> records;
        std::vector<uint16_t> kinds;
    } cases[] = {
        {{{L"g", 0}, {L"g", 0}, {L"g", 0}, {L"w", 1}, {L"s", 3}, {L"???", 0}}, {0, 3, 4}},
        {{{L"A", 0}, {L"A", 0}, {L"A", 0}, {L"???", 0}, {L"B", 0}, {L"B", 0}, {L"B", 0}}, {0, 4}},
        {{{L"w", 1}, {L"???", 0}, {L"B", 0}, {L"B", 0}, {L"B", 0}}, {0, 2}},
        {{{L"A", 0}, {L"???", 0}, {L"B", 0}, {L"B", 0}, {L"B", 0}}, {0, 2}},
        {{{L"A", 0}, {L"A", 0}, {L"???", 0}, {L"B", 0}, {L"B", 0}, {L"B", 0}}, {0, 3}},
    };
    for (const auto& c : cases) {
        std::vector<uint16_t> kinds{99};
        CollectFlaggedIndices(Terrain(c.records), kinds);
        EXPECT_EQ(kinds, c.kinds);
    }
}

// --- Entity errors --------------------------------------------------------------------------

TEST(EntityError, NamesTheKind) {
    const wchar_t* const words[] = {L"Item",   L"Monster",   L"NPC",     L"Spell",  L"Terrain",
                                    L"Object", L"Encounter", L"Unknown", L"Unknown"};
    const uint32_t kinds[] = {0, 1, 2, 3, 4, 5, 6, 7, 0xFFFFFFFF};
    for (size_t i = 0; i < std::size(kinds); ++i) {
        try {
            throw CEntityError(L"CGame::FindEntity", L"Game", 12, kinds[i], L"old sword");
        } catch (const vek::CException& e) {
            EXPECT_EQ(e.GetDetails(), std::wstring(words[i]) + L" entity not found: old sword");
            EXPECT_EQ(e.GetFunction(), L"CGame::FindEntity");
            EXPECT_EQ(e.GetLine(), 12);
        }
    }
}

// --- The group table ------------------------------------------------------------------------

TEST(GroupTable, KindsThatCanBeMetFromWeakToStrong) {
    struct Kind {
        uint16_t hp, dmg1, dmg2, occurrence;
    };
    const struct {
        const char* what;
        std::vector<Kind> kinds;
        std::vector<TGroupTableEntry> table;
    } cases[] = {
        {"no kinds", {}, {}},
        {"none can be met", {{5, 1, 2, 0}, {9, 3, 3, 0}}, {}},
        {"only those that can be met", {{5, 1, 2, 0}, {9, 3, 3, 1}, {2, 1, 1, 0}}, {{1, 1, 54}}},
        {"weakest first", {{10, 4, 4, 2}, {3, 1, 1, 5}, {6, 2, 3, 1}}, {{1, 5, 6}, {2, 1, 30}, {0, 2, 80}}},
        // 4 x (1 + 2) and 2 x (3 + 3): equal, by kind; no damage at all is weakest.
        {"equal ones by kind", {{4, 1, 2, 3}, {2, 3, 3, 3}, {9, 0, 0, 3}}, {{2, 3, 0}, {0, 3, 12}, {1, 3, 12}}},
        // Beyond 32 bits the product stands at the top, still ordered by its
        // whole value: 65535 x 131069 below 65535 x 131070.
        {"strongest past 32 bits",
         {{65535, 65535, 65535, 1}, {65535, 65535, 65534, 1}, {1, 1, 1, 1}},
         {{2, 1, 2}, {1, 1, 0xFFFFFFFFu}, {0, 1, 0xFFFFFFFFu}}},
    };
    for (const auto& c : cases) {
        std::vector<TMonsterInfo> monsters;
        for (const Kind& kind : c.kinds) {
            TMonsterInfo monster;
            monster.hp = kind.hp;
            monster.dmg1 = kind.dmg1;
            monster.dmg2 = kind.dmg2;
            monster.occurrence = kind.occurrence;
            monsters.push_back(monster);
        }
        EXPECT_EQ(BuildGroupTable(monsters), c.table) << c.what;
    }
}

// --- The sample data --------------------------------------------------------------------------

TEST_F(SampleTables, LoadInBothLanguages) {
    CDefinitionTables set;
    set.Load(L"pl", false);
    set.LoadHeroes();
    EXPECT_EQ(set.monsters[0].nameb, L"szczura jaskiniowego");
    set.monsters[0].extra = 3;
    set.Load(L"en", true);

    EXPECT_EQ(set.monsters.size(), 8u);
    EXPECT_EQ(set.items.size(), 12u);
    EXPECT_EQ(set.terrain.size(), 9u);
    EXPECT_EQ(set.objects.size(), 37u);
    EXPECT_EQ(set.materials.size(), 3u);
    EXPECT_EQ(set.encounters.size(), 2u);
    EXPECT_EQ(set.spells.size(), 3u);
    EXPECT_EQ(set.heroes, (std::vector<THeroInfo>{{0, 0, 1, 2}, {1, 3, 4, 5}}));

    EXPECT_EQ(set.monsters[1].name, L"grey wolf");
    EXPECT_EQ(set.monsters[0].extra, 3);
    EXPECT_EQ(set.items[0].nameb, L"brass key");
    EXPECT_EQ(set.items[0].indefinite, L"a");
    EXPECT_EQ(set.objects[1].automapcolor, 0x0000DEADu);
    EXPECT_EQ(set.terrain[7].flags, 3);
    EXPECT_EQ(set.spells[0].name, L"spark");
    EXPECT_EQ(set.materials[2].name, L"silver");
    EXPECT_EQ(set.encounters[0].slots[0].NumberHigh, 4);
    std::vector<uint16_t> kinds;
    CollectFlaggedIndices(set.terrain, kinds);
    EXPECT_EQ(kinds, (std::vector<uint16_t>{0, 3, 6, 7}));
}

// Hit points times the damage bounds' sum: rat 4 x 3 = 12, bog imp 8 x 5 =
// 40, grey wolf 14 x 8 = 112 and skeleton 16 x 7 = 112 (kind order), bandit
// 20 x 9 = 180, marsh witch 18 x 11 = 198, cave bear 40 x 14 = 560, barrow
// wraith 60 x 20 = 1200; every kind can be met. The same in both languages.
TEST_F(SampleTables, GroupTableRunsFromWeakToStrong) {
    for (const wchar_t* lang : {L"pl", L"en"}) {
        CDefinitionTables set;
        set.Load(lang, false);
        const std::vector<TGroupTableEntry> expected = {
            {0, 5, 12}, {2, 4, 40}, {1, 4, 112}, {3, 3, 112}, {5, 3, 180}, {4, 2, 198}, {6, 2, 560}, {7, 1, 1200},
        };
        EXPECT_EQ(BuildGroupTable(set.monsters), expected) << platform::ToUtf8(lang);
    }
}

// A set that fails part-way keeps every table it had.
TEST_F(Tables, SetLoadsAllOrNothing) {
    Write("monsters.pl.ini", "[header]\nmonsters=1\n[mon1]\n");
    CDefinitionTables set;
    set.monsters.resize(4);
    EXPECT_THROW(set.Load(L"pl", false), vek::CFileException); // no items file
    EXPECT_EQ(set.monsters.size(), 4u);
}

} // namespace
