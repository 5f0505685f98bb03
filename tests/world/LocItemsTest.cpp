#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "tests/world/Cases.h"
#include "tests/world/LocServices.h"
#include "world/Loc.h"

namespace {

using worldtest::CConsoleText;
using worldtest::Paint;

constexpr uint32_t kMax = std::numeric_limits<uint32_t>::max();
enum : uint16_t { kKey = 0, kSword = 1, kCoin = 2 };
using Entries = std::vector<std::pair<uint16_t, uint32_t>>;

class LocItems : public worldtest::GameFixture {
protected:
    void SetUp() override {
        GameFixture::SetUp();
        Paint(m_loc, {"...", "..."});
    }
    // A gem transformer on (1, 1).
    void MakeTransformer() { m_loc.SetSpecialObject(1, 1, kSpecialTransformer, 0, 0, L""); }
    std::vector<CItem>& Pile(uint16_t x = 1, uint16_t y = 1) { return m_loc.GetItemPiles().At(x, y); }
    // The pile as (type, count) entries.
    std::vector<std::pair<uint16_t, uint32_t>> Contents(uint16_t x = 1, uint16_t y = 1) {
        std::vector<std::pair<uint16_t, uint32_t>> counts;
        for (const CItem& item : Pile(x, y)) {
            counts.emplace_back(item.type, item.count);
        }
        return counts;
    }
    static CItem Gem(uint16_t type, uint32_t count, uint8_t status = 0) {
        CItem gem(type, count);
        gem.status = status;
        return gem;
    }
    CLoc m_loc;
};

// --- Putting, taking, counting -----------------------------------------------------------------------

TEST_F(LocItems, PutItemStacksOnlyEqualItemsAndSaturates) {
    CItem base(kSword, 5);
    const struct {
        const char* what;
        void (*change)(CItem&);
        bool stacks;
    } fields[] = {
        {"equal", [](CItem&) {}, true},
        {"type", [](CItem& i) { i.type = kKey; }, false},
        {"age", [](CItem& i) { i.age = 1; }, false},
        {"durability", [](CItem& i) { i.durability = 49; }, false},
        {"property 1", [](CItem& i) { i.property1 = 1; }, false},
        {"property 2", [](CItem& i) { i.property2 = 1; }, false},
        {"status", [](CItem& i) { i.status = 2; }, false},
        {"quality", [](CItem& i) { i.quality = 3; }, false},
        {"damage", [](CItem& i) { i.damage = 1; }, false},
        {"armour class", [](CItem& i) { i.armourClass = 1; }, false},
        {"reserved", [](CItem& i) { i.reserved = 1; }, false},
        {"value", [](CItem& i) { i.value = 1; }, false},
    };
    for (const auto& f : fields) {
        Pile() = {base};
        CItem other = base;
        other.count = 6;
        f.change(other);
        EXPECT_TRUE(m_loc.PutItem(1, 1, other)) << f.what;
        if (f.stacks) {
            EXPECT_EQ(Contents(), (Entries{{kSword, 11}})) << f.what;
        } else {
            EXPECT_EQ(Pile().size(), 2u) << f.what;
            EXPECT_EQ(Pile()[1].count, 6u) << f.what;
        }
    }
    const struct {
        uint32_t had;
        uint32_t put;
        uint32_t after;
    } sums[] = {
        {kMax - 1, 1, kMax},                          // at the largest count
        {kMax - 2, 1, kMax - 1}, {kMax - 1, 2, kMax}, // one beyond
        {kMax, kMax, kMax},      {1, kMax, kMax},
    };
    for (const auto& s : sums) {
        Pile() = {CItem(kCoin, s.had)};
        EXPECT_TRUE(m_loc.PutItem(1, 1, CItem(kCoin, s.put)));
        EXPECT_EQ(Contents(), (Entries{{kCoin, s.after}})) << s.had << "+" << s.put;
    }
    // The first equal entry takes it; a count of 0 puts nothing.
    Pile() = {CItem(kCoin, 1), CItem(kKey, 1), CItem(kCoin, 2)};
    EXPECT_TRUE(m_loc.PutItem(1, 1, CItem(kCoin, 3)));
    EXPECT_EQ(Contents(), (Entries{{kCoin, 4}, {kKey, 1}, {kCoin, 2}}));
    EXPECT_FALSE(m_loc.PutItem(1, 1, CItem(kCoin, 0)));
    EXPECT_FALSE(m_loc.PutItem(0, 0, CItem(kKey, 0)));
    EXPECT_EQ(Contents(), (Entries{{kCoin, 4}, {kKey, 1}, {kCoin, 2}}));
    EXPECT_FALSE(m_loc.HasItems(0, 0));
}

TEST_F(LocItems, TakeItem) {
    const struct {
        uint16_t position;
        uint32_t quantity;
        Entries after;
    } cases[] = {
        {1, 4, {{kKey, 1}, {kSword, 1}}},
        {1, 5, {{kKey, 1}}}, // the whole count
        {1, 6, {{kKey, 1}}},
        {1, 0, {{kKey, 1}, {kSword, 5}}},
        {1, CLoc::kAllItems, {{kKey, 1}}},
        {0, CLoc::kAllItems, {{kSword, 5}}},
        {2, 1, {{kKey, 1}, {kSword, 5}}}, // no entry there
        {0xFFFF, CLoc::kAllItems, {{kKey, 1}, {kSword, 5}}},
    };
    for (const auto& c : cases) {
        Pile() = {CItem(kKey, 1), CItem(kSword, 5)};
        m_loc.TakeItem(1, 1, c.position, c.quantity);
        EXPECT_EQ(Contents(), c.after) << c.position << " " << c.quantity;
    }
}

TEST_F(LocItems, GetItemAndCounts) {
    Pile() = {CItem(kKey, 1), CItem(kSword, 5)};
    EXPECT_TRUE(m_loc.HasItems(1, 1));
    EXPECT_EQ(m_loc.GetItemCount(1, 1), 2u);
    EXPECT_EQ(m_loc.GetItemCount(0, 1), 0u);
    EXPECT_EQ(m_loc.GetItem(1, 1, 1).count, 5u);
    EXPECT_EQ(&m_loc.GetItem(1, 1, 2), &g_blankItem);
    EXPECT_EQ(&m_loc.GetItem(0, 0, 0), &g_blankItem);
    EXPECT_THROW(m_loc.GetItem(3, 0, 0), vek::CException); // no such cell
}

TEST_F(LocItems, ClearPile) {
    CItem worn(kSword, 1);
    worn.durability = 0;
    CItem nearlyWorn(kSword, 1);
    nearlyWorn.durability = 1;
    CItem key(kKey, 1); // does not wear: durability 0 is no wear
    CItem rotten(kCorpseBase + worldtest::kRat, 1);
    rotten.durability = 0;
    CItem unknownCorpse(kCorpseBase + 9, 1);
    const std::vector<CItem> pile{worn, nearlyWorn, key, rotten, unknownCorpse};
    Pile() = pile;
    m_loc.ClearPile(1, 1, true);
    EXPECT_EQ(Contents(), (Entries{{kSword, 1}, {kKey, 1}, {kCorpseBase + 9, 1}}));
    EXPECT_EQ(Pile()[0].durability, 1);
    m_loc.ClearPile(1, 1, false);
    EXPECT_TRUE(Pile().empty());
}

TEST_F(LocItems, CollectItemCells) {
    Pile(2, 0) = {CItem(kKey, 1)};
    m_loc.SetSpecialObject(0, 1, kSpecialGrowingSpot, 0, 0, L"");
    m_loc.SetSpecialObject(1, 1, kSpecialGrowingSpot, 0, 1, L"");
    m_loc.GetSpecialObjects().At(1, 1).active = 0;
    m_loc.SetSpecialObject(1, 0, kSpecialText, 0, 0, L"");
    Pile(2, 1) = {CItem(kKey, 0)}; // an entry of count 0 is still an item
    std::vector<vek::TPoint> cells{{9, 9}};
    m_loc.CollectItemCells(cells);
    EXPECT_EQ(cells, (std::vector<vek::TPoint>{{9, 9}, {2, 0}, {0, 1}, {2, 1}}));
}

TEST_F(LocItems, CountMatchingItems) {
    CItem marked(kKey, 1, false, 12);
    CItem empty(kKey, 0);
    CItem many(kKey, kMax);
    many.status = 2;
    Pile() = {marked, empty, CItem(kSword, 3), CItem(kKey, 2), many};
    std::vector<CLoc::TItemMatch> matches{{7, 7, 7, 7}};
    TQuestItem anyKey(kKey);
    // More than a u32 holds.
    EXPECT_EQ(m_loc.CountMatchingItems(1, 1, anyKey, matches), 1u + 2u + uint64_t{kMax});
    EXPECT_EQ(matches, (std::vector<CLoc::TItemMatch>{{7, 7, 7, 7}, {1, 1, 0, 1}, {1, 1, 3, 2}, {1, 1, 4, kMax}}));
    TQuestItem numbered(kKey);
    numbered.number = 12;
    matches.clear();
    EXPECT_EQ(m_loc.CountMatchingItems(1, 1, numbered, matches), 1u);
    EXPECT_EQ(matches.size(), 1u);
    EXPECT_EQ(m_loc.CountMatchingItems(0, 0, anyKey, matches), 0u);
}

// --- Gems --------------------------------------------------------------------------------------------

TEST_F(LocItems, GemTransformationAsLogged) {
    // Each line worked out from the rules: three of a type make one of the
    // next; the rest stays; every put on the transformer starts a run.
    const struct {
        const char* what;
        std::vector<CItem> before;
        CItem put;
        std::string lines;
        Entries after;
    } cases[] = {
        {"seven of the first type",
         {},
         Gem(99, 7),
         "Gem transformation started.\n"
         "1 type(s) on transformation list.\n"
         "Type 1 has 7 total gem count.\n"
         "Transformation started, 2 candidates, 1 will remain.\n"
         "Gem transformation started.\n"
         "1 type(s) on transformation list.\n"
         "Type 1 has 2 total gem count.\n"
         "Gem transformation started.\n"
         "2 type(s) on transformation list.\n"
         "Type 1 has 1 total gem count.\n"
         "Type 1 has 2 total gem count.\n",
         {{100, 2}, {99, 1}}},
        {"nine transform twice",
         {},
         Gem(99, 9),
         "Gem transformation started.\n"
         "1 type(s) on transformation list.\n"
         "Type 1 has 9 total gem count.\n"
         "Transformation started, 3 candidates, 0 will remain.\n"
         "Gem transformation started.\n"
         "1 type(s) on transformation list.\n"
         "Type 1 has 3 total gem count.\n"
         "Transformation started, 1 candidates, 0 will remain.\n"
         "Gem transformation started.\n"
         "1 type(s) on transformation list.\n"
         "Type 1 has 1 total gem count.\n",
         {{101, 1}}},
        {"two below three",
         {},
         Gem(104, 2),
         "Gem transformation started.\n"
         "1 type(s) on transformation list.\n"
         "Type 1 has 2 total gem count.\n",
         {{104, 2}}},
        {"unequal stacks count together",
         {Gem(99, 2, 2)},
         Gem(99, 1),
         "Gem transformation started.\n"
         "1 type(s) on transformation list.\n"
         "Type 1 has 3 total gem count.\n"
         "Transformation started, 1 candidates, 0 will remain.\n"
         "Gem transformation started.\n"
         "1 type(s) on transformation list.\n"
         "Type 1 has 1 total gem count.\n",
         {{100, 1}}},
        {"type 124 lists nothing of its own",
         {},
         Gem(124, 5),
         "Gem transformation started.\n"
         "0 type(s) on transformation list.\n",
         {{124, 5}}},
        {"the last of a group stays",
         {Gem(104, 1)},
         Gem(103, 3),
         "Gem transformation started.\n"
         "1 type(s) on transformation list.\n"
         "Type 1 has 1 total gem count.\n",
         {{104, 1}, {103, 3}}},
        {"into the last of the last group",
         {},
         Gem(122, 3),
         "Gem transformation started.\n"
         "1 type(s) on transformation list.\n"
         "Type 1 has 3 total gem count.\n"
         "Transformation started, 1 candidates, 0 will remain.\n"
         "Gem transformation started.\n"
         "0 type(s) on transformation list.\n",
         {{123, 1}}},
        {"other items lie beside",
         {CItem(kKey, 1)},
         Gem(118, 3),
         "Gem transformation started.\n"
         "0 type(s) on transformation list.\n",
         {{kKey, 1}, {118, 3}}},
        {"not a gem", {}, Gem(98, 3), "", {{98, 3}}},
        {"one beyond the gems", {}, Gem(125, 3), "", {{125, 3}}},
        {"a count of 0", {}, Gem(99, 0), "", {}},
    };
    MakeTransformer();
    worldtest::ForEachCase(cases, [&](const auto& c) {
        Pile() = c.before;
        CConsoleText console;
        m_loc.PutItem(1, 1, c.put);
        EXPECT_EQ(console.Text(), c.lines);
        EXPECT_EQ(Contents(), c.after);
    });
}

TEST_F(LocItems, OnlyAnActiveTransformerTransforms) {
    const struct {
        const char* what;
        uint8_t active;
        uint16_t kind;
        bool transforms;
    } cases[] = {
        {"transformer", 1, kSpecialTransformer, true},
        {"inactive", 0, kSpecialTransformer, false},
        {"kind below", 1, kSpecialDoor, false},
        {"kind above", 1, kSpecialScripted, false},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        m_loc.SetSpecialObject(1, 1, c.kind, 0, 0, L"");
        m_loc.GetSpecialObjects().At(1, 1).active = c.active;
        Pile().clear();
        CConsoleText console;
        m_loc.PutItem(1, 1, Gem(99, 3));
        EXPECT_EQ(Contents(), (c.transforms ? Entries{{100, 1}} : Entries{{99, 3}}));
        EXPECT_EQ(console.Text().empty(), !c.transforms);
    });
}

TEST_F(LocItems, GemTotalsBeyondThirtyTwoBits) {
    MakeTransformer();
    Pile() = {Gem(99, kMax, 0), Gem(99, kMax, 2)};
    CConsoleText console;
    m_loc.PutItem(1, 1, Gem(99, 1, 4));
    // 2 x 4294967295 + 1 = 8589934591 = 3 x 2863311530 + 1.
    EXPECT_EQ(console.Text().rfind("Gem transformation started.\n"
                                   "1 type(s) on transformation list.\n"
                                   "Type 1 has 8589934591 total gem count.\n"
                                   "Transformation started, 2863311530 candidates, 1 will remain.\n",
                                   0),
              0u);
    // 2863311530 = 3 x 954437176 + 2; 954437176 = 3 x 318145725 + 1;
    // 318145725 = 3 x 106048575; type 103 goes no further.
    EXPECT_EQ(Contents(), (Entries{{103, 106048575}, {101, 1}, {100, 2}, {99, 1}}));
}

} // namespace
