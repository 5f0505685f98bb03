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
constexpr size_t kMaxDigits = 2;

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Skips up to kMaxDigits digits; false when there are more.
bool SkipNumber(const std::wstring& f, size_t& i) {
    size_t digits = 0;
    for (; i < f.size() && IsDigit(f[i]); ++i) {
        ++digits;
    }
    return digits <= kMaxDigits;
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
    int conversions = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'%') {
            // A zero unit would end the text early.
            if (format[i] == 0) {
                return false;
            }
            continue;
        }
        ++i;
        if (i < format.size() && format[i] == L'%') {
            continue;
        }
        while (i < format.size() && std::wstring_view(L"-+ #0").find(format[i]) != std::wstring_view::npos) {
            ++i;
        }
        if (!SkipNumber(format, i)) {
            return false;
        }
        if (i < format.size() && format[i] == L'.') {
            ++i;
            if (!SkipNumber(format, i)) {
                return false;
            }
        }
        // 16 or 32 bits hold every field; "hh" would cut the year.
        if (i < format.size() && (format[i] == L'h' || format[i] == L'l')) {
            ++i;
        }
        if (i >= format.size() || (format[i] != L'd' && format[i] != L'i' && format[i] != L'u')) {
            return false;
        }
        ++conversions;
    }
    return conversions == kDateArgumentCount;
}

std::wstring FormatGameDate(uint64_t clock, const CStringResource& strings) {
    TGameDate date;
    SplitGameTime(clock, date);
    // The text comes from a data file: one that takes other arguments than
    // these five numbers would show wrong fields or garbage.
    const std::wstring format = strings.Get(L"STR_GAME_DATE");
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
