// The game's own module tests, run by the in-program self-test.
#include "data/GameTests.h"

#include "VEKLib/Config.h"
#include "data/Grammar.h"
#include "data/MConfig.h"
#include "data/Version.h"

namespace {

// A configuration that differs from the defaults only in its display language.
void UseLanguage(CMorvheldConfig& config, const wchar_t* language) {
    config.ResetToDefaults();
    config.SetValue(L"lang", vek::CValue(language));
}

} // namespace

CModuleTestGrammar::CModuleTestGrammar() : vek::CTest(L"Grammar") {}

#define CHECK(expr) VEK_CHECK_AT(expr, L"Grammar")

void CModuleTestGrammar::Run() {
    CMorvheldConfig configPl;
    CMorvheldConfig configEn;
    UseLanguage(configPl, L"pl");
    UseLanguage(configEn, L"en");

    CHECK(CGrammar::UsePluralForm(0, configPl) == false);
    CHECK(CGrammar::UsePluralForm(1, configPl) == false);
    CHECK(CGrammar::UsePluralForm(2, configPl) == true);
    CHECK(CGrammar::UsePluralForm(4, configPl) == true);
    CHECK(CGrammar::UsePluralForm(5, configPl) == false);
    CHECK(CGrammar::UsePluralForm(12, configPl) == false);
    CHECK(CGrammar::UsePluralForm(15, configPl) == false);
    CHECK(CGrammar::UsePluralForm(22, configPl) == true);
    CHECK(CGrammar::UsePluralForm(28, configPl) == false);
    CHECK(CGrammar::UsePluralForm(0, configEn) == true);
    CHECK(CGrammar::UsePluralForm(1, configEn) == false);
    CHECK(CGrammar::UsePluralForm(2, configEn) == true);
}

#undef CHECK

CModuleTestVersion::CModuleTestVersion() : vek::CTest(L"Version") {}

#define CHECK(expr) VEK_CHECK_AT(expr, L"Version")

void CModuleTestVersion::Run() {
    const CVersion v(0, 7, 9);
    // The report names these two checks with a blank before each "(".
    // clang-format off
    CHECK(CVersion::IsSaveCompatible (v));
    CHECK(!CVersion::IsSaveCompatible (CVersion (9999, 0, 0)));
    // clang-format on
    CHECK(CVersion::IsSaveCompatible(CVersion(0, 7, 8)));
    CHECK(!CVersion::IsSaveCompatible(CVersion(0, 7, 6)));
    CHECK(CVersion(0, 7, 10) > CVersion(0, 7, 9));
    CHECK(CVersion(0, 8, 0) > CVersion(0, 7, 99));
    CHECK(CVersion(1, 0, 0) >= CVersion(0, 99, 99));
    CHECK(CVersion(0, 7, 9) >= CVersion(0, 7, 9));
    CHECK(CVersion(-1, 9, 9) < CVersion(0, 0, 0));
    CHECK(CVersion(0, 7, 9) <= CVersion(0, 7, 9));
    CHECK(CVersion(0, 7, 9) == CVersion::Current());
    CHECK(CVersion(0, 7, 9) != CVersion(0, 9, 7));
}

#undef CHECK

void CreateGameSuite(vek::CSuite& suite, vek::CLog* log) {
    suite = vek::CSuite(L"Game", log);
    suite.AddTest(new CModuleTestGrammar());
    suite.AddTest(new CModuleTestVersion());
}
