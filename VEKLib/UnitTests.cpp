// The library's own module tests, run by the in-program self-test.
#include <string>
#include <vector>

#include "VEKLib/Date.h"
#include "VEKLib/Files.h"
#include "VEKLib/Strings.h"
#include "VEKLib/UnitTest.h"

#define CHECK(expr) VEK_CHECK_AT(expr, L"UnitTests")

namespace vek {

namespace {

bool IsParts(const std::vector<std::wstring>& parts, const std::vector<std::wstring>& expected) {
    if (parts.size() != expected.size()) {
        return false;
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!equals(parts[i], expected[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

CModuleTestFiles::CModuleTestFiles() : CTest(L"Files") {}

void CModuleTestFiles::Run() {
    CHECK(equals(GetFilePath(L"c:\\dir\\file.dat"), L"c:\\dir\\"));
    CHECK(equals(GetFilePath(L"dir\\file.dat"), L"dir\\"));
    CHECK(equals(GetFilePath(L"file.dat"), L""));
    CHECK(equals(GetFilePath(L""), L""));
    CHECK(equals(GetFilePath(L"a"), L""));
    CHECK(equals(GetFilePath(L"\\"), L"\\"));
    CHECK(equals(GetFilePath(L"/home/dir/file.dat"), L"/home/dir/"));
    CHECK(equals(GetFilePath(L"c:\\dir\\\\file.dat"), L"c:\\dir\\\\"));
    CHECK(equals(NormalizeFileName(L"Gha>an?"), L"Gha_an_"));
    CHECK(equals(NormalizeFileName(L"?"), L"_"));
    CHECK(equals(NormalizeFileName(L"/"), L"_"));
    CHECK(equals(NormalizeFileName(L"/\\:*?\"<>|"), L"_________"));
    CHECK(is_string_empty(NormalizeFileName(L"")));
}

CModuleTestStrings::CModuleTestStrings() : CTest(L"Strings") {}

void CModuleTestStrings::Run() {
    CHECK(is_string_empty(std::wstring()));
    CHECK(is_string_empty(std::wstring(L"   ")));
    CHECK(is_string_empty(std::wstring(L"\t\r\n")));
    CHECK(is_string_empty(L""));
    CHECK(is_string_empty(static_cast<const wchar_t*>(nullptr)));
    CHECK(ucase(L"a word") == L"A WORD");
    CHECK(lcase(L"A WORD") == L"a word");
    CHECK(ucase(L"").empty());
    CHECK(lcase(L"").empty());
    CHECK(IsParts(Split(L"abc/def", L'/'), {L"abc", L"def"}));
    // Only the first part is promised for a lone separator.
    const std::vector<std::wstring> lone = Split(L"/", L'/');
    CHECK(!lone.empty() && equals(lone[0], L""));
    CHECK(IsParts(Split(L"abcdef", L'/'), {L"abcdef"}));
    CHECK(IsParts(Split(L"abc/", L'/'), {L"abc", L""}));
    CHECK(IsParts(Split(L"/abc", L'/'), {L"", L"abc"}));
}

CModuleTestDate::CModuleTestDate() : CTest(L"Date") {}

void CModuleTestDate::Run() {
    // The expected hours are those of the game's home zone.
    const CTimeZoneScope zone(kHomeTimeZone);

    const CDate epoch(0);
    CHECK(epoch.GetYear() == 1970);
    CHECK(epoch.GetMonth() == 1);
    CHECK(epoch.GetDay() == 1);
    CHECK(epoch.GetHour() == 1);
    CHECK(epoch.GetMinute() == 0);
    CHECK(epoch.GetSecond() == 0);
    CHECK(epoch.GetDayOfYear() == 1);
    CHECK(epoch.GetDayOfWeek() == 4);
    CHECK(epoch.GetRaw() == 0);
    CHECK(equals(epoch.GetString(), L"1.01.1970 1:00"));
    CHECK(equals(epoch.GetString(false), L"1.01.1970 1:00:00"));
    CHECK(equals(epoch.GetTimeString(), L"1:00"));
    CHECK(equals(epoch.GetTimeString(false), L"1:00:00"));

    const CDate copy(epoch);
    CHECK(copy.GetRaw() == epoch.GetRaw());

    const CDate evening(2012, 1, 30, 21, 3, 0);
    CHECK(evening.GetYear() == 2012);
    CHECK(evening.GetHour() == 21);
    CHECK(evening.GetSecond() == 0);
    CHECK(equals(evening.GetString(false), L"30.01.2012 21:03:00"));

    const CDate now;
    CHECK(now.GetRaw() > 0);
    CHECK(now.GetYear() > 1970);
}

void CreateLibrarySuite(CSuite& suite, CLog* log) {
    suite = CSuite(L"VEKLib", log);
    suite.AddTest(new CModuleTestFiles());
    suite.AddTest(new CModuleTestStrings());
    suite.AddTest(new CModuleTestDate());
}

} // namespace vek
