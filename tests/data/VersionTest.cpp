#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "VEKLib/Log.h"
#include "data/StringResource.h"
#include "data/Version.h"
#include "platform/Utf8.h"

namespace {

TEST(Version, SaveCompatibility) {
    const struct {
        CVersion version;
        bool compatible;
    } cases[] = {
        {{0, 7, 9}, true},   {{0, 7, 8}, true},   {{0, 7, 7}, true},  {{0, 7, 6}, false},
        {{0, 6, 9}, false},  {{0, 7, 10}, false}, {{1, 0, 0}, false}, {{9999, 0, 0}, false},
        {{0, 7, -1}, false}, {{-1, 7, 9}, false}, {{0, 0, 0}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CVersion::IsSaveCompatible(c.version), c.compatible) << platform::ToUtf8(c.version.ToString());
    }
    EXPECT_EQ(CVersion::Current(), CVersion(0, 7, 9));
}

TEST(Version, OrderIsLexicographicAndSigned) {
    const struct {
        CVersion a, b;
        int order; // sign of a - b
    } cases[] = {
        {{0, 7, 9}, {0, 7, 9}, 0},    {{0, 7, 10}, {0, 7, 9}, 1}, {{0, 8, 0}, {0, 7, 99}, 1},
        {{1, 0, 0}, {0, 99, 99}, 1},  {{0, 7, 8}, {0, 7, 9}, -1}, {{-1, 9, 9}, {0, 0, 0}, -1},
        {{0, -1, 0}, {0, 0, -5}, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.a > c.b, c.order > 0);
        EXPECT_EQ(c.a >= c.b, c.order >= 0);
        EXPECT_EQ(c.a < c.b, c.order < 0);
        EXPECT_EQ(c.a <= c.b, c.order <= 0);
        EXPECT_EQ(c.a == c.b, c.order == 0);
        EXPECT_EQ(c.a != c.b, c.order != 0);
    }
}

TEST(Calendar, SplitGameTime) {
    const struct {
        uint64_t clock;
        uint16_t year, month, day, hour, minute, second;
    } cases[] = {
        {0, 1, 1, 1, 0, 0, 0},
        {31103999, 1, 12, 30, 23, 59, 59},
        {31104000, 2, 1, 1, 0, 0, 0},
        {2591999, 1, 1, 30, 23, 59, 59}, // 86,399 + 86,400 x 29
        {2592000, 1, 2, 1, 0, 0, 0},
        {100000, 1, 1, 2, 3, 46, 40},
        {2038369536000, 65535, 1, 1, 0, 0, 0}, // 65,534 years
        {2038400640000, 65535, 1, 1, 0, 0, 0}, // one more: the year stays at the top
        {UINT64_MAX, 65535, 2, 12, 7, 0, 15},
    };
    for (const auto& c : cases) {
        TGameDate date;
        date.dayOfWeek = 6;
        date.milliseconds = 999;
        SplitGameTime(c.clock, date);
        EXPECT_EQ(date.year, c.year) << c.clock;
        EXPECT_EQ(date.month, c.month) << c.clock;
        EXPECT_EQ(date.day, c.day) << c.clock;
        EXPECT_EQ(date.hour, c.hour) << c.clock;
        EXPECT_EQ(date.minute, c.minute) << c.clock;
        EXPECT_EQ(date.second, c.second) << c.clock;
        EXPECT_EQ(date.dayOfWeek, 6);
        EXPECT_EQ(date.milliseconds, 999);
    }
}

TEST(Calendar, FormatGameDate) {
    // Day 2, 3:46:40 of year 1.
    constexpr uint64_t kClock = 100000;
    const struct {
        const wchar_t* format; // null: no such text
        std::wstring date;
    } cases[] = {
        {L"Year %hu, month %hu, day %hu, %02hu:%02hu", L"Year 1, month 1, day 2, 03:46"},
        {L"Rok %hu, miesi\x0105"
         L"c %hu, dzie\x0144 %hu, godz. %hu:%02hu",
         L"Rok 1, miesi\x0105"
         L"c 1, dzie\x0144 2, godz. 3:46"},
        {L"%d/%i/%u %-3lu|%.2ld 100%%", L"1/1/2 3  |46 100%"},
        {L"%+05hd %hu %hu %hu %hu", L"+0001 1 2 3 46"},
        // Fewer numbers, other integer forms, any width: read as printf does.
        {L"%hu %hu %hu %hu", L"1 1 2 3"},
        {L"Day %hu", L"Day 1"},
        {L"%hhu %hu %hu %hu %hu", L"1 1 2 3 46"},
        {L"%100hu %hu %hu %hu %hu", std::wstring(99, L' ') + L"1 1 2 3 46"},
        {L"%x.%o.%X %lu:%hhd", L"1.1.2 3:46"},
        // A '*' width takes the year: the month is printed one wide.
        {L"%*hu %hu %hu %hu", L"1 2 3 46"},
        // A text that reads a sixth number, or one as no integer, or that
        // ends inside a conversion: the fixed form.
        {L"%hu %hu %hu %hu %hu %hu", L"2.01.1 3:46"},
        {L"%*hu %hu %hu %hu %hu", L"2.01.1 3:46"},
        {L"%s %hu %hu %hu %hu", L"2.01.1 3:46"},
        {L"%f", L"2.01.1 3:46"},
        {L"%I64d", L"2.01.1 3:46"},
        {L"%lld", L"2.01.1 3:46"},
        {L"%n %hu %hu %hu %hu", L"2.01.1 3:46"},
        {L"%hu %hu %hu %hu %hu%", L"2.01.1 3:46"},
        {L"%hu %hu %hu %hu %5%", L"2.01.1 3:46"},
        // A missing text is its tag, which is a text without numbers.
        {nullptr, L"STR_GAME_DATE"},
    };
    const vek::CLog quiet; // a missing text shows its tag, which is no date form
    for (const auto& c : cases) {
        CStringResource strings(false, &quiet);
        if (c.format != nullptr) {
            strings.AddString(c.format, L"STR_GAME_DATE");
        }
        EXPECT_EQ(FormatGameDate(kClock, strings), c.date) << (c.format ? platform::ToUtf8(c.format) : "none");
    }
    // A zero unit ends the text.
    const vek::CLog quietToo;
    CStringResource strings(false, &quietToo);
    strings.AddString(std::wstring(L"%hu/%hu", 7) + L'\0' + L"%hu %hu %hu %s", L"STR_GAME_DATE");
    EXPECT_EQ(FormatGameDate(kClock, strings), L"1/1");
}

TEST(Calendar, TimeUntil) {
    constexpr uint64_t kDay = 86400;
    const struct {
        uint64_t clock, timeOfDay, wait;
    } cases[] = {
        {72000, 21600, 36000},            // 20:00 until 6:00
        {18000, 21600, 3600},             // 5:00
        {21600, 21600, 0},                // 6:00
        {4 * kDay + 72000, 21600, 36000}, // any day
        {68401, 68400, 86399},            // a second late: tomorrow
        {kDay - 1, 0, 1},
        {72000, kDay + 21600, 36000}, // past a day: its own time of day
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetTimeUntil(c.clock, c.timeOfDay), c.wait) << c.clock << " until " << c.timeOfDay;
    }
}

} // namespace
