#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "VEKLib/Date.h"
#include "platform/Time.h"

namespace {

class DateTest : public ::testing::Test {
protected:
    vek::CTimeZoneScope zone{vek::kHomeTimeZone};
};

TEST_F(DateTest, TextsInHomeZone) {
    const struct {
        int64_t raw;
        const wchar_t* date;
        const wchar_t* shortTime;
        const wchar_t* longTime;
    } cases[] = {
        {0, L"1.01.1970", L"1:00", L"1:00:00"},
        {1327953780, L"30.01.2012", L"21:03", L"21:03:00"}, // 20:03 UTC, winter
        {1341144000, L"1.07.2012", L"14:00", L"14:00:00"},  // 12:00 UTC, summer
        {-1, L"1.01.1970", L"0:59", L"0:59:59"},
    };
    for (const auto& c : cases) {
        const vek::CDate d(c.raw);
        EXPECT_EQ(d.GetDateString(), c.date) << c.raw;
        EXPECT_EQ(d.GetTimeString(), c.shortTime) << c.raw;
        EXPECT_EQ(d.GetTimeString(false), c.longTime) << c.raw;
        EXPECT_EQ(d.GetString(), std::wstring(c.date) + L" " + c.shortTime) << c.raw;
        EXPECT_EQ(d.GetString(false), std::wstring(c.date) + L" " + c.longTime) << c.raw;
    }
}

TEST_F(DateTest, FieldsFromLocalTime) {
    const vek::CDate d(1327953780);
    EXPECT_EQ(d.GetYear(), 2012);
    EXPECT_EQ(d.GetMonth(), 1);
    EXPECT_EQ(d.GetDay(), 30);
    EXPECT_EQ(d.GetHour(), 21);
    EXPECT_EQ(d.GetMinute(), 3);
    EXPECT_EQ(d.GetSecond(), 0);
    EXPECT_EQ(d.GetDayOfYear(), 30);
    EXPECT_EQ(d.GetDayOfWeek(), 1); // a Monday
}

TEST_F(DateTest, ConstructedFromLocalFields) {
    EXPECT_EQ(vek::CDate(2012, 1, 30, 21, 3, 0).GetRaw(), 1327953780);
    EXPECT_EQ(vek::CDate(2012, 7, 1, 14, 0, 0).GetRaw(), 1341144000);
    EXPECT_EQ(vek::CDate(1970, 1, 1, 1, 0, 0).GetRaw(), 0);
    // Out-of-range fields are carried over, as mktime does.
    EXPECT_EQ(vek::CDate(2012, 1, 29, 45, 3, 0).GetRaw(), 1327953780);
}

TEST_F(DateTest, UnconvertibleValuesGiveDefinedFields) {
    const int64_t cases[] = {std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::min(),
                             int64_t{1} << 62};
    for (int64_t raw : cases) {
        const vek::CDate d(raw);
        EXPECT_EQ(d.GetString(false), L"1.01.1970 0:00:00") << raw;
        EXPECT_EQ(d.GetDayOfYear(), 1) << raw;
        EXPECT_EQ(d.GetDayOfWeek(), 4) << raw;
        EXPECT_EQ(d.GetRaw(), raw);
    }
    EXPECT_EQ(vek::CDate(std::numeric_limits<int32_t>::min(), 1, 1, 0, 0, 0).GetRaw(), -1);
    EXPECT_EQ(vek::CDate(2000, std::numeric_limits<int32_t>::min(), 1, 0, 0, 0).GetRaw(), -1);
}

TEST(DateNow, TakesTheCalendarClock) {
    platform::SetTimeSource([]() -> int64_t { return 1327953780; });
    const vek::CDate now;
    platform::SetTimeSource(nullptr);
    EXPECT_EQ(now.GetRaw(), 1327953780);
    EXPECT_GT(vek::CDate().GetRaw(), 1327953780);
}

TEST(TimeZoneScope, RestoresCallersZoneOrItsAbsence) {
    const char* before = std::getenv("TZ");
    const std::string saved = before ? before : "";
    setenv("TZ", "UTC0", 1);
    {
        vek::CTimeZoneScope zone(vek::kHomeTimeZone);
        EXPECT_STREQ(std::getenv("TZ"), vek::kHomeTimeZone);
        EXPECT_EQ(vek::CDate(0).GetHour(), 1);
    }
    EXPECT_STREQ(std::getenv("TZ"), "UTC0");
    EXPECT_EQ(vek::CDate(0).GetHour(), 0);
    unsetenv("TZ");
    { vek::CTimeZoneScope zone(vek::kHomeTimeZone); }
    EXPECT_EQ(std::getenv("TZ"), nullptr);
    if (before) {
        setenv("TZ", saved.c_str(), 1);
    }
    tzset();
}

} // namespace
