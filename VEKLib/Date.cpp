#include "VEKLib/Date.h"

#include <cstdint>
#include <cstdlib>

#include "VEKLib/Format.h"
#include "platform/Time.h"

namespace vek {

CDate::CDate() : m_raw(platform::CurrentTime()) {}

CDate::CDate(int64_t raw) : m_raw(raw) {}

CDate::CDate(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second) {
    // mktime's own error value for a year or month that its fields cannot hold.
    const int64_t tmYear = static_cast<int64_t>(year) - 1900;
    const int64_t tmMonth = static_cast<int64_t>(month) - 1;
    if (tmYear < INT32_MIN || tmMonth < INT32_MIN) {
        m_raw = -1;
        return;
    }
    std::tm fields{};
    fields.tm_year = static_cast<int>(tmYear);
    fields.tm_mon = static_cast<int>(tmMonth);
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    m_raw = static_cast<int64_t>(std::mktime(&fields));
}

std::tm CDate::Fields() const {
    std::tm fields{};
    const std::time_t raw = static_cast<std::time_t>(m_raw);
    if (static_cast<int64_t>(raw) != m_raw || !localtime_r(&raw, &fields)) {
        // The year does not fit the C library's fields.
        fields = std::tm{};
        fields.tm_year = 70;
        fields.tm_mday = 1;
        fields.tm_wday = 4;
    }
    return fields;
}

int32_t CDate::GetYear() const { return Fields().tm_year + 1900; }
int32_t CDate::GetMonth() const { return Fields().tm_mon + 1; }
int32_t CDate::GetDay() const { return Fields().tm_mday; }
int32_t CDate::GetHour() const { return Fields().tm_hour; }
int32_t CDate::GetMinute() const { return Fields().tm_min; }
int32_t CDate::GetSecond() const { return Fields().tm_sec; }
int32_t CDate::GetDayOfYear() const { return Fields().tm_yday + 1; }
int32_t CDate::GetDayOfWeek() const { return Fields().tm_wday; }

std::wstring CDate::GetDateString() const {
    const std::tm f = Fields();
    return Format(L"%i.%02i.%4i", f.tm_mday, f.tm_mon + 1, f.tm_year + 1900);
}

std::wstring CDate::GetTimeString(bool shortForm) const {
    const std::tm f = Fields();
    if (shortForm) {
        return Format(L"%i:%02i", f.tm_hour, f.tm_min);
    }
    return Format(L"%i:%02i:%02i", f.tm_hour, f.tm_min, f.tm_sec);
}

std::wstring CDate::GetString(bool shortForm) const { return GetDateString() + L" " + GetTimeString(shortForm); }

CTimeZoneScope::CTimeZoneScope(const char* zone) {
    const char* old = std::getenv("TZ");
    m_hadZone = old != nullptr;
    if (old) {
        m_savedZone = old;
    }
    setenv("TZ", zone, 1);
    tzset();
}

CTimeZoneScope::~CTimeZoneScope() {
    if (m_hadZone) {
        setenv("TZ", m_savedZone.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

} // namespace vek
