// The shared texts of parsed commands and nodes, and the pool of a parse.
#include "script/SharedText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(SharedTextTest, HoldsTheUnitsItWasGiven) {
    const struct {
        std::wstring text;
        size_t size;
    } cases[] = {
        {L"", 0},
        {L"a", 1},
        {L"Rnd", 3},
        {L"longer name with blanks", 23},
        {std::wstring(L"\u0142\u00F3d\uFFFF"), 4},
        // A unit beyond 16 bits is kept whole, not cut.
        {std::wstring(1, static_cast<wchar_t>(0x1F600)) + L"x", 2},
        {std::wstring(L"a\0b", 3), 3},
    };
    for (const auto& c : cases) {
        const CSharedText text(c.text);
        EXPECT_EQ(text.size(), c.size);
        EXPECT_EQ(text.empty(), c.size == 0);
        EXPECT_EQ(text.str(), c.text);
        EXPECT_TRUE(text == c.text);
        EXPECT_TRUE(c.text == text);
        if (c.size > 0) {
            EXPECT_EQ(text.back(), c.text.back());
            EXPECT_EQ(text[0], c.text[0]);
        }
        std::wstring reused = L"something longer than any case here";
        text.AssignTo(reused);
        EXPECT_EQ(reused, c.text);
    }
}

TEST(SharedTextTest, Comparisons) {
    const CSharedText ab(L"ab");
    EXPECT_TRUE(ab == L"ab");
    EXPECT_FALSE(ab == L"aB"); // exact, not ignoring case
    EXPECT_FALSE(ab == L"a");
    EXPECT_FALSE(ab == L"abc");
    EXPECT_TRUE(ab != L"abc");
    EXPECT_TRUE(ab == CSharedText(L"ab"));
    EXPECT_FALSE(ab == CSharedText());
    EXPECT_TRUE(CSharedText() == L"");
    EXPECT_TRUE(CSharedText() == CSharedText(L""));
    // A wide unit differs from its low 16 bits.
    EXPECT_FALSE(CSharedText(std::wstring(1, static_cast<wchar_t>(0x10041))) == L"A");
    EXPECT_EQ(L"f " + ab + L"()", L"f ab()");
    EXPECT_EQ(ab + std::wstring(L"!"), L"ab!");
}

TEST(SharedTextTest, CopiesShareAndOutliveTheirSource) {
    CSharedText copy;
    {
        const CSharedText source(L"shared");
        copy = source;
        EXPECT_EQ(copy.Identity(), source.Identity());
        CSharedText moved(std::move(copy));
        EXPECT_TRUE(copy.empty());
        copy = std::move(moved);
        const CSharedText& same = copy;
        copy = same; // assigning a text to itself keeps it
    }
    EXPECT_EQ(copy.str(), L"shared");
    EXPECT_EQ(CSharedText().Identity(), nullptr);
}

TEST(SharedTextTest, ThePoolKeepsEachTextOnce) {
    CSharedTextPool pool;
    const CSharedText a = pool.Intern(std::wstring(L"name"));
    const CSharedText b = pool.Intern(std::wstring_view(L"name"));
    const CSharedText c = pool.Intern(CSharedText(L"name"));
    const CSharedText other = pool.Intern(std::wstring(L"Name"));
    EXPECT_EQ(a.Identity(), b.Identity());
    EXPECT_EQ(a.Identity(), c.Identity());
    EXPECT_NE(a.Identity(), other.Identity());
    EXPECT_TRUE(pool.Intern(std::wstring()).empty());
    // Texts outlive the pool that made them.
    pool.Clear();
    EXPECT_EQ(a.str(), L"name");
    EXPECT_NE(pool.Intern(std::wstring(L"name")).Identity(), nullptr);
}

TEST(SharedTextTest, ThePoolFindsEveryTextAfterGrowing) {
    // Enough texts to grow the table several times, differing in one unit
    // (so that many land near each other) and in length.
    CSharedTextPool pool;
    std::vector<CSharedText> first;
    for (int i = 0; i < 300; ++i) {
        first.push_back(pool.Intern(L"v" + std::to_wstring(i)));
    }
    for (int i = 0; i < 300; ++i) {
        const std::wstring text = L"v" + std::to_wstring(i);
        EXPECT_EQ(pool.Intern(text).Identity(), first[i].Identity()) << i;
        // A text made outside the pool finds the pool's own.
        EXPECT_EQ(pool.Intern(CSharedText(text)).Identity(), first[i].Identity()) << i;
    }
    EXPECT_NE(pool.Intern(std::wstring(L"v")).Identity(), pool.Intern(std::wstring(L"v0")).Identity());
    // A copy of the pool shares the same texts.
    CSharedTextPool copy = pool;
    EXPECT_EQ(copy.Intern(std::wstring(L"v299")).Identity(), first[299].Identity());
}

} // namespace
