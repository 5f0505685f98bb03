#pragma once
// The program's version, which save files carry, and the game calendar: the
// game clock (seconds since year 1, month 1, day 1, 0:00:00; one per turn) as
// a date, a date text, and the wait until a time of day.
//
// A minute is 60 s, an hour 3,600 s, a day 86,400 s, a month 30 days and a
// year 12 months.
#include <compare>
#include <cstdint>
#include <string>

class CStringResource;

class CVersion {
public:
    constexpr CVersion() = default;
    constexpr CVersion(int32_t majorNumber, int32_t minorNumber, int32_t releaseNumber)
        : major{majorNumber}, minor{minorNumber}, release{releaseNumber} {}

    // This program's version, 0.7.9.
    static constexpr CVersion Current() { return CVersion(0, 7, 9); }
    // Whether a save written by that version can be loaded: this version and
    // the older ones whose saves stay readable (0.7.7, 0.7.8).
    static bool IsSaveCompatible(const CVersion& version);

    // major, then minor, then release, as signed numbers.
    friend constexpr auto operator<=>(const CVersion&, const CVersion&) = default;

    // "major.minor.release".
    std::wstring ToString() const;

    int32_t major = 0;
    int32_t minor = 0;
    int32_t release = 0;
};

inline constexpr uint64_t kSecondsPerMinute = 60;
inline constexpr uint64_t kSecondsPerHour = 3600;
inline constexpr uint64_t kSecondsPerDay = 86400;
inline constexpr uint64_t kSecondsPerMonth = 30 * kSecondsPerDay;
inline constexpr uint64_t kSecondsPerYear = 12 * kSecondsPerMonth;

// A split game date. Year, month and day count from 1; the day of the week
// and the milliseconds are not set by the split.
struct TGameDate {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t dayOfWeek = 0;
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;
};

// Years past 65,535 show as 65,535; the other fields stay exact.
void SplitGameTime(uint64_t clock, TGameDate& date);

// The text of "STR_GAME_DATE" (up to a zero unit) used as a format of year,
// month, day, hour and minute. A text that would read more than these five
// numbers (a '*' reads one too), read one as anything but an integer (%d,
// %i, %u, %o, %x, %X, with hh, h or l), or ends inside a conversion, gives
// the fixed form "day.month.year h:mm" instead.
std::wstring FormatGameDate(uint64_t clock, const CStringResource& strings);
// Whether a date text reads at most the five numbers, each as an integer.
bool IsValidDateFormat(const std::wstring& format);

// Seconds from the clock until the next time the given time of day (seconds
// since midnight) comes; 0 when it is that time now. A time of a day or more
// counts from its own midnight.
uint64_t GetTimeUntil(uint64_t clock, uint64_t timeOfDay);
