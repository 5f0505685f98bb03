#include <gtest/gtest.h>

#include <memory>

#include "VEKLib/Random.h"
#include "rules/Direction.h"
#include "rules/Hero.h"
#include "tests/world/LocFixture.h"
#include "world/Loc.h"

namespace {

// A hero in the game and the game's generator with the game's seed.
class LocHero : public worldtest::GameFixture {
protected:
    void SetUp() override {
        GameFixture::SetUp();
        m_game.SetHero(&m_hero);
        m_random.Seed(kRandomSeed);
        vek::SetRandomGenerator(&m_random);
        m_hero.headX = 1;
        m_hero.headY = -1;
    }
    void TearDown() override {
        vek::SetRandomGenerator(nullptr);
        GameFixture::TearDown();
    }

    // 20 x 15 cells of grass.
    static void Meadow(CLoc& loc) {
        loc.Init(L"meadow", 20, 15, 0, 0);
        loc.GetTerrain().Fill(0);
    }

    CHero m_hero;
    vek::CStdRand m_random;
};

// The generator's first draws from seed 56576 are 20952, 1015, 8411, 29147:
// the cells (20952 mod 18 + 1, 1015 mod 13 + 1) = (1, 2), then (6, 2).
TEST_F(LocHero, TheFirstFreeDrawnCellTakesHim) {
    CLoc loc;
    Meadow(loc);
    loc.PlaceHeroRandomly();
    EXPECT_EQ(m_hero.x, 1u);
    EXPECT_EQ(m_hero.y, 2u);
    EXPECT_EQ(m_hero.headX, 0);
    EXPECT_EQ(m_hero.headY, 0);

    const struct {
        const char* what;
        void (*block)(CLoc&);
    } blocked[] = {
        {"a creature", [](CLoc& l) { l.GetCreatureIds().At(1, 2) = 0; }},
        {"a wall", [](CLoc& l) { l.GetTerrain().At(1, 2) = 1; }},
        {"a tree", [](CLoc& l) { l.GetObjects().At(1, 2) = 0; }},
        {"a closed door", [](CLoc& l) { l.CreateTextObject(1, 2, 2, L""); }},
    };
    for (const auto& b : blocked) {
        Meadow(loc);
        b.block(loc);
        m_random.Seed(kRandomSeed);
        loc.PlaceHeroRandomly();
        EXPECT_EQ(m_hero.x, 6u) << b.what;
        EXPECT_EQ(m_hero.y, 2u) << b.what;
    }
    // Object tile 0xFFFF lets him stand even on a wall.
    Meadow(loc);
    loc.GetTerrain().At(1, 2) = 1;
    loc.GetObjects().At(1, 2) = 0xFFFF;
    m_random.Seed(kRandomSeed);
    loc.PlaceHeroRandomly();
    EXPECT_EQ(m_hero.x, 1u);
    EXPECT_EQ(m_hero.y, 2u);
}

TEST_F(LocHero, OnlyTheInnerCellsAreTried) {
    CLoc loc;
    Meadow(loc);
    loc.GetTerrain().Fill(1);
    loc.GetTerrain().At(0, 0) = 0;   // border
    loc.GetTerrain().At(19, 14) = 0; // beyond column 18 and row 13
    EXPECT_THROW(loc.PlaceHeroRandomly(), vek::CException);
    loc.GetTerrain().At(18, 13) = 0;
    loc.PlaceHeroRandomly();
    EXPECT_EQ(m_hero.x, 18u);
    EXPECT_EQ(m_hero.y, 13u);
}

TEST_F(LocHero, SmallLocationsAndStuckGenerators) {
    CLoc loc;
    loc.Init(L"one", 1, 1, 0, 0);
    loc.GetTerrain().Fill(0);
    EXPECT_THROW(loc.PlaceHeroRandomly(), vek::CException); // no cell from (1, 1) on
    // On 5 x 2 cells only row 1, columns 1 to 4 will do, and the draws stay
    // there: x = 20952 mod 4 + 1, y = 1015 mod 1 + 1.
    loc.Init(L"strip", 5, 2, 0, 0);
    loc.GetTerrain().Fill(0);
    loc.PlaceHeroRandomly();
    EXPECT_EQ(m_hero.x, 1u);
    EXPECT_EQ(m_hero.y, 1u);

    // Without a generator every draw is (1, 1): when that is taken the first
    // free cell in row order does.
    vek::SetRandomGenerator(nullptr);
    Meadow(loc);
    loc.GetCreatureIds().At(1, 1) = 0;
    loc.PlaceHeroRandomly();
    EXPECT_EQ(m_hero.x, 2u);
    EXPECT_EQ(m_hero.y, 1u);

    m_game.SetHero(nullptr);
    loc.GetTerrain().Fill(1);
    EXPECT_NO_THROW(loc.PlaceHeroRandomly()); // no hero, nothing to do
}

TEST_F(LocHero, ResizeEndsWithTheHeroPlaced) {
    CLoc loc;
    Meadow(loc);
    loc.Resize(20, 16);
    EXPECT_EQ(m_hero.x, 1u);
    EXPECT_EQ(m_hero.y, 2u);
}

// A request that says when it ends.
class CountedRequest : public CDirection {
public:
    CountedRequest(int32_t& answer, int& ended) : CDirection(answer, 1), m_ended(ended) {}
    ~CountedRequest() override { ++m_ended; }

private:
    int& m_ended;
};

TEST_F(LocHero, TheLocationOwnsItsDirectionRequest) {
    int ended = 0;
    int32_t answer = -1;
    {
        CLoc loc;
        Meadow(loc);
        loc.SetDirectionRequest(std::make_unique<CountedRequest>(answer, ended));
        loc.GetDirectionRequest()->Answer(5);
        EXPECT_EQ(answer, 5);
        loc.Init(L"again", 2, 2, 0, 0);
        EXPECT_EQ(ended, 1);
        EXPECT_EQ(loc.GetDirectionRequest(), nullptr);
        loc.SetDirectionRequest(std::make_unique<CountedRequest>(answer, ended));
    }
    EXPECT_EQ(ended, 2);
}

} // namespace
