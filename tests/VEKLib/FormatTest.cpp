#include "VEKLib/Format.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstring>

using vek::Format;

namespace {

struct Case {
    std::wstring format, got, want;
};

template <class... A>
Case C(std::wstring want, const wchar_t* format, const A&... args) {
    return {format, Format(format, args...), std::move(want)};
}

std::wstring Rep(size_t n, wchar_t c) { return std::wstring(n, c); }

TEST(Format, Conversions) {
    void* ptr = reinterpret_cast<void*>(uintptr_t{0x1234abcd});
    const Case cases[] = {
        // integers cut to the width the conversion names
        C(L"4464", L"%hu", 70000),
        C(L"ffffffff", L"%x", -1),
        C(L"-5000000000", L"%I64d", int64_t{-5000000000}),
        C(L"705032704", L"%d", int64_t{5000000000}),
        C(L"-1 4294967295", L"%li %lu", 4294967295u, -1),
        C(L"-56 1", L"%hhd %hhu", 200, 257),
        C(L"5000000000 5000000000 5000000000", L"%lld %zu %Iu", 5000000000ll, size_t{5000000000}, 5000000000ull),
        C(L"42", L"%i", 42),
        C(L"X=3, Y=4, array size 5x6", L"X=%u, Y=%u, array size %ux%u", 3u, 4u, 5u, 6u),
        C(L"\r\nSource file: Files.cpp\r\nFunction: vek::CFile::OpenedCheck\r\nLine: 344",
          L"\r\nSource file: %s\r\nFunction: %s\r\nLine: %li", L"Files.cpp", L"vek::CFile::OpenedCheck", 344),
        // flags, width, precision
        C(L"-0042", L"%05d", -42),
        C(L"+7 -7 | 7", L"%+d %+d |% d", 7, -7, 7),
        C(L"0x1f 0XFF FF 0", L"%#x %#X %X %#x", 31, 255, 255, 0),
        C(L"10 010 0 ", L"%o %#o %#o %.0d", 8, 8, 0, 0),
        C(L"  007|7    |", L"%5.3d|%-5d|", 7, 7),
        C(L"   42|42   |", L"%*d|%*d|", 5, 42, -5, 42),
        C(L"1.500000", L"%.*f", -1, 1.5),
        C(L"000000001234ABCD", L"%p", ptr),
        // floating point
        C(L"0.50", L"%0.2f", 0.5),
        C(L"1.500000 3.000000 -0.000000", L"%f %f %f", 1.5, 3, -0.0),
        C(L"1.234568e+04 1.230000E-04", L"%e %E", 12345.678, 0.000123),
        C(L"0.0001 100000 1e+06 1e-05 1E-10", L"%g %g %g %g %G", 0.0001, 100000.0, 1e6, 1e-5, 1e-10),
        C(L"1.00000 1e+02 10", L"%#g %.0g %g", 1.0, 123.0, 9.9999999),
        C(L"3. +0.0  1.0 3.14    |-003.142", L"%#.0f %+.1f % .1f %-8.2f|%08.3f", 3.0, 0.0, 1.0, 3.14159, -3.14159),
        C(L"0x1.0000000000000p+0 0X1.8000000000000P+1 0x1.0p+0", L"%a %A %.1a", 1.0, 3.0, 1.0),
        C(L"inf -INF nan   inf", L"%f %F %e %05f", INFINITY, -INFINITY, std::nan(""), INFINITY),
        C(L"12.50", L"%.2Lf", 12.5),
        // text and characters
        C(L"abc" + Rep(17, L' '), L"%-20s", L"abc"),
        C(Rep(17, L' ') + L"abc", L"%20s", std::wstring(L"abc")),
        C(L"abc", L"%.3s", L"abcdef"),
        C(L"ab", L"%s", std::wstring(L"ab\0cd", 5)),
        C(L"Z A Q", L"%c %C %hc", L'Z', 'A', 'Q'),
        C(L"caf\u00e9 \xD83D\xDE00 \xFFFD(", L"%S %hs %S", "caf\xC3\xA9", "\xF0\x9F\x98\x80", "\xC3("),
        C(L"caf|  \u00e9|\u00e9  |", L"%.3S|%3S|%-3S|", "caf\xC3\xA9", "\xC3\xA9", "\xC3\xA9"),
        C(L"wide narrow", L"%S %s", L"wide", "narrow"),
        C(L"100%", L"%d%%", 100),
        // type mismatches, missing arguments, odd formats
        C(L"42 -1.5 0    42", L"%s %s %d %5s", 42, -1.5, L"x", 42),
        C(L"3 -3 2147483647 0 32767", L"%d %d %d %u %hd", 3.99, -3.99, 1e20, -5.0, 1e9),
        C(L"a= b", L"a=%d b%s"),
        C(L"ab", L"a%nb", ptr),
        C(L"%y %5k %", L"%y %5k %"),
        C(L"a", L"a%cb", 0),
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.got, c.want) << "format: " << testing::PrintToString(c.format);
    }
}

TEST(Format, CutAtLimit) {
    const std::wstring as(2000, L'a');
    const Case cases[] = {
        C(Rep(1024, L'a'), L"%s", as),
        C(Rep(1024, L'a'), L"%s", std::string(2000, 'a')),
        C(L"x" + Rep(1023, L'a'), L"x%sy", as),
        C(Rep(1024, L' '), L"%99999999d", 1),
        C(L"1" + Rep(1023, L' '), L"%-99999999d|", 1),
        C(L"1" + Rep(1023, L' '), L"%*d", INT_MIN, 1),
        C(Rep(1024, L'0'), L"%.99999999d", 1),
        C(L"1." + Rep(1022, L'0'), L"%.2000f", 1.0),
        C(Rep(498, L' ') + L"1." + Rep(524, L'0'), L"%2500.2000f", 1.0),
        C(Rep(4, L' ') + L"1." + Rep(1018, L'0'), L"%1112.1102e", 1.0),
        C(Rep(1024, L' '), L"%1112.1102g", 1.0),
        C(Rep(8, L' ') + L"1." + Rep(1014, L'0'), L"%#1112.1103g", 1.0),
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.got, c.want) << "format: " << testing::PrintToString(c.format);
    }
    EXPECT_EQ(Format(std::wstring(1500, L'b')), Rep(1024, L'b'));
}

TEST(Format, DecimalPointIgnoresLocale) {
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_EQ(Format(L"%0.2f %g", 0.5, 1.5), L"0.50 1.5");
    std::setlocale(LC_ALL, "C");
}

TEST(Format, DecimalPointIgnoresCommaLocale) {
    for (const char* name : {"de_DE.UTF-8", "pl_PL.UTF-8", "fr_FR.UTF-8", "de_DE", "pl_PL"}) {
        if (std::setlocale(LC_ALL, name) && std::strcmp(std::localeconv()->decimal_point, ".") != 0) {
            const std::wstring got = Format(L"%0.2f %g", 0.5, 1.5);
            std::setlocale(LC_ALL, "C");
            EXPECT_EQ(got, L"0.50 1.5") << name;
            return;
        }
    }
    std::setlocale(LC_ALL, "C");
    GTEST_SKIP() << "no locale with another decimal point is installed";
}

} // namespace
