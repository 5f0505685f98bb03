#pragma once
// A point in time as seconds since 1 January 1970 00:00 UTC; its fields and
// texts are in local time (the C library's zone, TZ included).
#include <cstdint>
#include <ctime>
#include <string>

namespace vek {

class CDate {
public:
    // The current time.
    CDate();
    explicit CDate(int64_t raw);
    // A local time; month 1..12. Daylight saving is decided by the C library.
    CDate(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second);

    int64_t GetRaw() const { return m_raw; }

    int32_t GetYear() const;
    int32_t GetMonth() const; // 1..12
    int32_t GetDay() const;   // 1..31
    int32_t GetHour() const;
    int32_t GetMinute() const;
    int32_t GetSecond() const;
    int32_t GetDayOfYear() const; // 1..366
    int32_t GetDayOfWeek() const; // 0 = Sunday

    // "1.01.1970"
    std::wstring GetDateString() const;
    // "21:03", long form "21:03:00"
    std::wstring GetTimeString(bool shortForm = true) const;
    std::wstring GetString(bool shortForm = true) const;

private:
    // Local-time fields; a raw value the C library cannot convert gives
    // 1 January 1970 00:00:00 rather than undefined fields.
    std::tm Fields() const;

    int64_t m_raw;
};

// The game's home zone: one hour east of UTC with central European summer
// time, as a rule that needs no time-zone database.
constexpr const char* kHomeTimeZone = "CET-1CEST,M3.5.0,M10.5.0/3";

// Sets the process time zone (TZ) for its lifetime and puts back the
// caller's setting, or its absence, afterwards.
class CTimeZoneScope {
public:
    explicit CTimeZoneScope(const char* zone);
    ~CTimeZoneScope();
    CTimeZoneScope(const CTimeZoneScope&) = delete;
    CTimeZoneScope& operator=(const CTimeZoneScope&) = delete;

private:
    bool m_hadZone;
    std::string m_savedZone;
};

} // namespace vek
