#include "data/Version.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "VEKLib/Format.h"
#include "data/StringResource.h"

namespace {

// Older versions whose saves the program still reads.
constexpr CVersion kReadableOlder[] = {CVersion(0, 7, 7), CVersion(0, 7, 8)};

constexpr int kDateArgumentCount = 5;

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

void SkipDigits(const std::wstring& f, size_t& i) {
    while (i < f.size() && IsDigit(f[i])) {
        ++i;
    }
}

// A width or precision: digits, or '*', which takes an argument.
void SkipAmount(const std::wstring& f, size_t& i, int& arguments) {
    if (i < f.size() && f[i] == L'*') {
        ++i;
        ++arguments;
        return;
    }
    SkipDigits(f, i);
}

} // namespace

bool CVersion::IsSaveCompatible(const CVersion& version) {
    const CVersion current = Current();
    if (version == current) {
        return true;
    }
    if (version > current) {
        return false;
    }
    return std::find(std::begin(kReadableOlder), std::end(kReadableOlder), version) != std::end(kReadableOlder);
}

std::wstring CVersion::ToString() const { return vek::Format(L"%li.%li.%li", major, minor, release); }

void SplitGameTime(uint64_t clock, TGameDate& date) {
    const uint64_t years = clock / kSecondsPerYear;
    uint64_t rest = clock % kSecondsPerYear;
    date.year = static_cast<uint16_t>(std::min<uint64_t>(years + 1, UINT16_MAX));
    date.month = static_cast<uint16_t>(rest / kSecondsPerMonth + 1);
    rest %= kSecondsPerMonth;
    date.day = static_cast<uint16_t>(rest / kSecondsPerDay + 1);
    rest %= kSecondsPerDay;
    date.hour = static_cast<uint16_t>(rest / kSecondsPerHour);
    rest %= kSecondsPerHour;
    date.minute = static_cast<uint16_t>(rest / kSecondsPerMinute);
    date.second = static_cast<uint16_t>(rest % kSecondsPerMinute);
}

bool IsValidDateFormat(const std::wstring& format) {
    int arguments = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'%') {
            continue;
        }
        ++i;
        if (i < format.size() && format[i] == L'%') {
            continue;
        }
        while (i < format.size() && std::wstring_view(L"-+ #0").find(format[i]) != std::wstring_view::npos) {
            ++i;
        }
        SkipAmount(format, i, arguments);
        if (i < format.size() && format[i] == L'.') {
            ++i;
            SkipAmount(format, i, arguments);
        }
        // 8, 16 or 32 bits: what a number handed on as an int can be read as.
        if (format.compare(i, 2, L"hh") == 0) {
            i += 2;
        } else if (i < format.size() && (format[i] == L'h' || format[i] == L'l')) {
            ++i;
        }
        if (i >= format.size() || std::wstring_view(L"diuoxX").find(format[i]) == std::wstring_view::npos) {
            return false;
        }
        ++arguments;
    }
    return arguments <= kDateArgumentCount;
}

std::wstring FormatGameDate(uint64_t clock, const CStringResource& strings) {
    TGameDate date;
    SplitGameTime(clock, date);
    // The text comes from a data file: one that would read more than these
    // five numbers, or read one as anything but a number, reads what was
    // never handed to it. A zero unit ends the text, as it ends a C string.
    std::wstring format = strings.Get(L"STR_GAME_DATE");
    format.resize(std::min(format.size(), format.find(L'\0')));
    if (IsValidDateFormat(format)) {
        return vek::Format(format, date.year, date.month, date.day, date.hour, date.minute);
    }
    return vek::Format(L"%hu.%02hu.%hu %hu:%02hu", date.day, date.month, date.year, date.hour, date.minute);
}

uint64_t GetTimeUntil(uint64_t clock, uint64_t timeOfDay) {
    const uint64_t target = timeOfDay % kSecondsPerDay;
    const uint64_t now = clock % kSecondsPerDay;
    return now <= target ? target - now : kSecondsPerDay - now + target;
}
