#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "data/Tables.h"
#include "world/gen/Draw.h"
#include "world/gen/GenTestSupport.h"
#include "world/gen/Placement.h"

// The draws of the placement passes, each checked against values listed by
// hand: item classes by depth, kinds, counts, the kinds manuals name, the
// bands of creature groups, the ingredients.
namespace {

using gentest::CListedValues;

// Types 0 to 159, none occurring, with these exceptions (type, class,
// category): gold, bread, bolts, a sword, mail, mail that never occurs, a
// candle, sage, a herb that never occurs, thyme, moss, the manuals, arrows.
std::vector<TItemInfo> Items() {
    std::vector<TItemInfo> items(160);
    for (TItemInfo& item : items) {
        item.category = 18;
    }
    const struct {
        uint16_t type;
        uint8_t occurrence;
        uint8_t category;
    } rows[] = {{9, 5, 18},  {20, 5, 5},  {21, 3, 22}, {30, 1, 1},  {31, 2, 7},   {32, 0, 7},   {40, 4, 18},
                {60, 1, 23}, {61, 0, 23}, {62, 2, 23}, {63, 3, 23}, {146, 2, 18}, {153, 3, 18}, {158, 4, 18}};
    for (const auto& row : rows) {
        items[row.type].occurrence = row.occurrence;
        items[row.type].category = row.category;
    }
    return items;
}

std::vector<uint16_t> Types(std::span<const gen::TItemKind> kinds) {
    std::vector<uint16_t> types;
    for (const gen::TItemKind& kind : kinds) {
        types.push_back(kind.type);
    }
    return types;
}

TEST(Placement, ClassWeightsByDepthAtEveryBoundary) {
    const gen::TClassWeights deepest{10, 20, 30, 20, 20};
    const gen::TClassWeights deep{5, 15, 20, 35, 25};
    const gen::TClassWeights middle{2, 10, 18, 40, 30};
    const gen::TClassWeights shallow{1, 5, 19, 35, 40};
    const gen::TClassWeights shallowest{0, 1, 15, 34, 50};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float ratio;
        gen::TClassWeights weights;
    } cases[] = {
        {2.0f, deepest},
        {1.0f, deepest},
        {0.9f, deepest}, // the float 0.9 is deep, though below the double 0.9
        {std::nextafter(0.9f, 0.0f), deep},
        {std::nextafter(0.75f, 1.0f), deep},
        {0.75f, middle},
        {std::nextafter(0.5f, 1.0f), middle},
        {0.5f, shallow},
        {0.25f, shallow},
        {std::nextafter(0.25f, 0.0f), shallowest},
        {0.0f, shallowest},
        {-1.0f, shallowest},
        {nan, shallowest},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gen::ItemClassWeights(c.ratio), c.weights) << c.ratio;
        int32_t sum = 0;
        for (int32_t w : c.weights) {
            sum += w;
        }
        EXPECT_EQ(sum, 100);
    }
}

TEST(Placement, KindsByClassKeepTableOrder) {
    const gen::CRandomItemKinds kinds(Items());
    EXPECT_EQ(Types(kinds.OfClass(1)), (std::vector<uint16_t>{30, 60}));
    EXPECT_EQ(Types(kinds.OfClass(2)), (std::vector<uint16_t>{31, 62, 146}));
    EXPECT_EQ(Types(kinds.OfClass(3)), (std::vector<uint16_t>{21, 63, 153}));
    EXPECT_EQ(Types(kinds.OfClass(4)), (std::vector<uint16_t>{40, 158}));
    EXPECT_EQ(Types(kinds.OfClass(5)), (std::vector<uint16_t>{9, 20}));
    EXPECT_EQ(kinds.OfClass(0).size(), 160u - 14u + 2u);
    EXPECT_TRUE(kinds.OfClass(6).empty());
    // Weapons and armour that occur: the relic mail does not.
    EXPECT_EQ(kinds.Equipment(), (std::vector<uint16_t>{30, 31}));
    // An occurrence beyond the classes is in none of them.
    std::vector<TItemInfo> odd = Items();
    odd[40].occurrence = 9;
    EXPECT_EQ(Types(gen::CRandomItemKinds(odd).OfClass(4)), (std::vector<uint16_t>{158}));
}

TEST(Placement, RandomItemDrawByDraw) {
    const gen::CRandomItemKinds kinds(Items());
    const gen::TClassWeights shallow = gen::ItemClassWeights(0.5f);   // sums 1, 6, 25, 60, 100
    const gen::TClassWeights shallowest = gen::ItemClassWeights(0.f); // sums 0, 1, 16, 50, 100
    const struct {
        const char* what;
        const gen::TClassWeights& weights;
        float ratio;
        std::vector<int32_t> values;
        std::optional<gen::TRandomItem> item;
    } cases[] = {
        // n = 37 % 100 + 1 = 38: class 4 (sum 60); 5 % 2 = 1: the armour
        // manual, one of them; 7 % 2 = 1 names the mail.
        {"manual", shallow, 0.5f, {37, 5, 7}, gen::TRandomItem{158, 1, 31}},
        // n = 100: class 5; gold; 300 % trunc(0.5 x 250) = 50: 51 coins.
        {"gold", shallow, 0.5f, {99, 4, 300}, gen::TRandomItem{9, 51, 0}},
        // At depth 0 one coin, without a draw over nothing.
        {"gold at depth 0", shallowest, 0.0f, {99, 0}, gen::TRandomItem{9, 1, 0}},
        // trunc(0.004 x 250) = 1: one draw over one.
        {"gold at the first coin", shallowest, 0.004f, {99, 0, 17}, gen::TRandomItem{9, 1, 0}},
        // n = 61: class 5 (60 < 61); bread; 10 % 6 + 1 = 5.
        {"food", shallow, 0.5f, {60, 1, 10}, gen::TRandomItem{20, 5, 0}},
        // n = 11: class 3; bolts; 7 % 6 = 1 < 2: 200 % 91 + 10 = 28.
        {"many bolts", shallow, 0.5f, {10, 0, 7, 200}, gen::TRandomItem{21, 28, 0}},
        // 8 % 6 = 2: 11 % 6 + 5 = 10.
        {"few bolts", shallow, 0.5f, {10, 0, 8, 11}, gen::TRandomItem{21, 10, 0}},
        // Arrows: 13 % 6 + 1 = 2.
        {"arrows", shallow, 0.5f, {10, 2, 13}, gen::TRandomItem{153, 2, 0}},
        // n = 1 at depth 0: class 1 weighs nothing, class 2 (sum 1) is
        // taken; 2 % 3: the weapon manual; 4 % 2 names the sword.
        {"a weight of 0 is passed", shallowest, 0.1f, {0, 2, 4}, gen::TRandomItem{146, 1, 30}},
        // n = 7: class 3 at the boundary 6 < 7 <= 25; moss.
        {"plain item", shallow, 0.5f, {6, 1}, gen::TRandomItem{63, 1, 0}},
        // n = 6: still class 2 (sum 6 reaches 6); mail.
        {"class boundary", shallow, 0.5f, {5, 0}, gen::TRandomItem{31, 1, 0}},
    };
    for (const auto& c : cases) {
        CListedValues values(c.values);
        gen::CDraw draw(&values);
        EXPECT_EQ(gen::DrawRandomItem(kinds, c.weights, c.ratio, draw), c.item) << c.what;
        EXPECT_EQ(values.Used(), c.values.size()) << c.what;
    }
}

TEST(Placement, RandomItemThatCannotBeMade) {
    // Only gold occurs: n = 1 finds class 1 empty, after one draw.
    std::vector<TItemInfo> goldOnly(10);
    goldOnly[9].occurrence = 5;
    {
        CListedValues values({0});
        gen::CDraw draw(&values);
        EXPECT_EQ(gen::DrawRandomItem(gen::CRandomItemKinds(goldOnly), gen::ItemClassWeights(0.5f), 0.5f, draw),
                  std::nullopt);
        EXPECT_EQ(values.Used(), 1u);
    }
    // A manual when no weapon or armour occurs: class, kind, and nothing.
    std::vector<TItemInfo> manualOnly(160);
    manualOnly[146].occurrence = 2;
    {
        CListedValues values({5, 0});
        gen::CDraw draw(&values);
        EXPECT_EQ(gen::DrawRandomItem(gen::CRandomItemKinds(manualOnly), gen::ItemClassWeights(0.5f), 0.5f, draw),
                  std::nullopt);
        EXPECT_EQ(values.Used(), 2u);
    }
    // An empty table: a class is drawn, nothing is made.
    {
        CListedValues values({50});
        gen::CDraw draw(&values);
        EXPECT_EQ(gen::DrawRandomItem(gen::CRandomItemKinds({}), gen::ItemClassWeights(1.f), 1.f, draw), std::nullopt);
    }
}

TEST(Placement, ItemsOfOneCell) {
    const struct {
        std::vector<int32_t> values;
        int32_t count;
    } cases[] = {
        {{2}, 1},     // 2 > 1: one
        {{1, 0}, 2},  // 1 <= 1: 0 + 2
        {{11, 1}, 3}, // 11 % 11 = 0: 1 + 2
        {{12, 3}, 3}, // 12 % 11 = 1
        {{13}, 1},    // 13 % 11 = 2
    };
    for (const auto& c : cases) {
        CListedValues values(c.values);
        gen::CDraw draw(&values);
        EXPECT_EQ(gen::DrawCellItemCount(draw), c.count) << c.values[0];
        EXPECT_EQ(values.Used(), c.values.size());
    }
}

TEST(Placement, GroupBandsByDepth) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float ratio;
        size_t groups;
        std::optional<gen::TGroupBand> band;
    } cases[] = {
        {0.5f, 0, std::nullopt},
        {0.5f, 1, gen::TGroupBand{0, 0}},
        {1.0f, 1, gen::TGroupBand{0, 0}},
        // p = 5: width 3, half 1; 9 x 0.05 - 1 < 0.
        {0.05f, 10, gen::TGroupBand{0, 2}},
        // p = 10: width 5, half 2; 9 x 0.1 - 2 < 0.
        {0.1f, 10, gen::TGroupBand{0, 4}},
        // p = 30: 9 x 0.3 - 2 = 0.7.
        {0.3f, 10, gen::TGroupBand{0, 4}},
        // p = 49.99: width 5; 20 x 0.4999 - 2 = 7.998.
        {0.4999f, 21, gen::TGroupBand{7, 11}},
        // p = 50: width 3, half 1; 9 x 0.5 - 1 = 3.5.
        {0.5f, 10, gen::TGroupBand{3, 5}},
        // p = 74.99: width 3; 9 x 0.7499 - 1 = 5.749.
        {0.7499f, 10, gen::TGroupBand{5, 7}},
        // p = 75: width 2, half trunc(1 - 1) = 0; 6.75.
        {0.75f, 10, gen::TGroupBand{6, 7}},
        // p = 100: 9; the band is cut at the last group.
        {1.0f, 10, gen::TGroupBand{9, 9}},
        {2.0f, 10, gen::TGroupBand{9, 9}},
        {-1.0f, 10, gen::TGroupBand{0, 2}},
        // No number: width 2 from the first group.
        {nan, 10, gen::TGroupBand{0, 1}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gen::EncounterBand(c.ratio, c.groups), c.band) << c.ratio << " " << c.groups;
    }
    CListedValues values({7, 7});
    gen::CDraw draw(&values);
    EXPECT_EQ(gen::DrawGroup({3, 5}, draw), 7 % 3 + 3);
    // One group: still one draw, over one.
    EXPECT_EQ(gen::DrawGroup({0, 0}, draw), 0);
    EXPECT_EQ(values.Used(), 2u);
}

TEST(Placement, IngredientsShuffledAndTwoKept) {
    // Sage, thyme and moss occur: i = 1 draws r(2) = 1 (stays), i = 2 draws
    // r(3) = 0 (swaps with the first): moss, thyme, sage.
    {
        CListedValues values({1, 3});
        gen::CDraw draw(&values);
        EXPECT_EQ(gen::DrawIngredients(Items(), draw), (std::vector<uint16_t>{63, 62}));
        EXPECT_EQ(values.Used(), 2u);
    }
    {
        CListedValues values({0, 2});
        gen::CDraw draw(&values);
        // i = 1: swap: thyme, sage, moss; i = 2: 2 % 3 = 2 stays.
        EXPECT_EQ(gen::DrawIngredients(Items(), draw), (std::vector<uint16_t>{62, 60}));
    }
    // One ingredient: no draw; none: no draw and none kept.
    std::vector<TItemInfo> one(5);
    one[3].category = gen::kIngredientCategory;
    one[3].occurrence = 1;
    CListedValues none({});
    gen::CDraw draw(&none);
    EXPECT_EQ(gen::DrawIngredients(one, draw), (std::vector<uint16_t>{3}));
    one[3].occurrence = 0;
    EXPECT_TRUE(gen::DrawIngredients(one, draw).empty());
    EXPECT_EQ(none.Used(), 0u);
}

} // namespace
