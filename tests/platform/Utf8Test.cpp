#include <gtest/gtest.h>

#include "platform/Utf8.h"

namespace {

std::wstring Units(std::initializer_list<unsigned> units) {
    std::wstring s;
    for (unsigned u : units) {
        s += static_cast<wchar_t>(u);
    }
    return s;
}

TEST(EdgeUtf8, RoundTrips) {
    const struct {
        std::wstring wide;
        std::string utf8;
    } cases[] = {
        {L"abc", "abc"},
        {Units({0xE9}), "\xC3\xA9"},
        {Units({0x20AC}), "\xE2\x82\xAC"},
        {Units({0xD83D, 0xDE00}), "\xF0\x9F\x98\x80"}, // U+1F600 as a surrogate pair
        {Units({0xDBFF, 0xDFFF}), "\xF4\x8F\xBF\xBF"}, // U+10FFFF
        {L"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::ToUtf8(c.wide), c.utf8);
        EXPECT_EQ(platform::FromUtf8(c.utf8), c.wide);
    }
}

TEST(EdgeUtf8, MalformedBecomesReplacement) {
    const std::wstring r = Units({0xFFFD});
    EXPECT_EQ(platform::ToUtf8(Units({0xD800})), "\xEF\xBF\xBD"); // lone high surrogate
    EXPECT_EQ(platform::ToUtf8(Units({0xDC00, 0x41})),
              "\xEF\xBF\xBD"
              "A");                           // lone low surrogate
    EXPECT_EQ(platform::FromUtf8("\xC3"), r); // cut off at the end
    EXPECT_EQ(platform::FromUtf8("\xE2\x82"
                                 "A"),
              r + L"A");                                  // cut off mid-text keeps the next char
    EXPECT_EQ(platform::FromUtf8("\x80"), r);             // stray continuation
    EXPECT_EQ(platform::FromUtf8("\xC0\xAF"), r);         // overlong
    EXPECT_EQ(platform::FromUtf8("\xED\xA0\x80"), r);     // encoded surrogate
    EXPECT_EQ(platform::FromUtf8("\xF4\x90\x80\x80"), r); // beyond U+10FFFF
    EXPECT_EQ(platform::FromUtf8("\xFF"
                                 "b"),
              r + L"b");
}

} // namespace
