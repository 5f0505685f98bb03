#include "VEKLib/UnitTest.h"

#include <exception>
#include <string>
#include <utility>

#include "VEKLib/Console.h"
#include "VEKLib/Format.h"
#include "VEKLib/Log.h"
#include "VEKLib/Strings.h"

namespace vek {

namespace {

// SetConsoleColor numbers of the report's colours.
constexpr int kColorDefault = 0;
constexpr int kColorBrightWhite = 1;
constexpr int kColorLightRed = 8;
constexpr int kColorLightGreen = 9;
constexpr int kColorYellow = 13;

constexpr size_t kGrandTotalRuleLength = 40;

void Write(CLog* log, const std::wstring& text) {
    if (log) {
        LogWrite(*log, text, false);
    }
}

void WriteColored(CLog* log, const std::wstring& text, int color) {
    if (!log) {
        return;
    }
    SetConsoleColor(color);
    Write(log, text);
    SetConsoleColor(kColorDefault);
}

std::wstring CountsText(int32_t passed, int32_t failed) { return Format(L"\tPassed: %i\tFailed: %i", passed, failed); }

} // namespace

CTestSuiteError::CTestSuiteError(const std::wstring& message, int32_t line) : CException(L"", L"", line, message) {}

CTestSuiteError::~CTestSuiteError() = default;

CTest::CTest(const std::wstring& name, CLog* log) : m_log(log), m_name(name) {}

CTest::~CTest() = default;

void CTest::ResetCounts() {
    m_passed = 0;
    m_failed = 0;
}

void CTest::AddFailure(const std::wstring& expression, const std::wstring& sourceFile, int32_t line) {
    ++m_failed;
    Write(m_log,
          m_name + L" failure: (" + expression + L") , " + sourceFile + L" (line " + Format(L"%i", line) + L")\n");
}

bool CTest::Check(bool holds, const char* expression, const wchar_t* sourceFile, int32_t line) {
    if (holds) {
        ++m_passed;
    } else {
        AddFailure(NarrowToWide(expression ? expression : ""), sourceFile ? sourceFile : L"", line);
    }
    return holds;
}

int32_t CTest::Report() const {
    Write(m_log, L"Test \"" + m_name + L"\":\n" + CountsText(m_passed, m_failed));
    return m_failed;
}

CSuite::CSuite(const std::wstring& name, CLog* log) : m_name(name), m_log(log) {}

CSuite::~CSuite() = default;

void CSuite::AddTest(CTest* test) {
    if (!test) {
        throw CTestSuiteError(L"Null test in CSuite::AddTest", __LINE__);
    }
    std::unique_ptr<CTest> owned(test);
    if (m_log && !owned->GetLog()) {
        owned->SetLog(m_log);
    }
    owned->ResetCounts();
    m_tests.push_back(std::move(owned));
}

bool CSuite::Contains(const CSuite* suite) const {
    if (suite == this) {
        return true;
    }
    for (const CSuite* sub : m_suites) {
        if (sub->Contains(suite)) {
            return true;
        }
    }
    return false;
}

void CSuite::AddSuite(CSuite* suite) {
    if (!suite) {
        throw CTestSuiteError(L"Null suite in CSuite::AddSuite", __LINE__);
    }
    // Reporting and executing walk the tree; a loop would never end.
    if (suite->Contains(this)) {
        throw CTestSuiteError(L"Suite loop in CSuite::AddSuite", __LINE__);
    }
    m_suites.push_back(suite);
}

void CSuite::ResetCounts() {
    for (auto& test : m_tests) {
        test->ResetCounts();
    }
    m_passedTotal = 0;
    m_failedTotal = 0;
    for (CSuite* sub : m_suites) {
        sub->ResetCounts();
    }
}

void CSuite::Execute() {
    ResetCounts();
    for (CSuite* sub : m_suites) {
        sub->Execute();
    }
    for (auto& test : m_tests) {
        // One test that throws must not cost the report of all the others.
        try {
            test->Run();
        } catch (const CException& e) {
            test->AddFailure(e.GetText(), L"UnitTest", __LINE__);
        } catch (const std::exception& e) {
            test->AddFailure(NarrowToWide(e.what()), L"UnitTest", __LINE__);
        } catch (...) {
            test->AddFailure(L"unknown exception", L"UnitTest", __LINE__);
        }
        m_passedTotal += test->GetPassed();
        m_failedTotal += test->GetFailed();
    }
}

int32_t CSuite::Run() {
    if (!m_log) {
        return m_failedTotal;
    }
    const std::wstring header = L"\nSuite \"" + m_name + L"\"";
    WriteColored(m_log, header, kColorBrightWhite);
    const std::wstring rule(header.size() + 1, L'=');
    Write(m_log, rule);
    for (const auto& test : m_tests) {
        test->Report();
    }
    Write(m_log, rule);
    Write(m_log, L"\"" + m_name + L"\" Total:");
    WriteColored(m_log, CountsText(m_passedTotal, m_failedTotal), kColorYellow);
    return m_failedTotal;
}

void CSuite::DeleteAll() {
    m_tests.clear();
    for (CSuite* sub : m_suites) {
        sub->DeleteAll();
    }
}

int32_t CSuite::PassedSum() const {
    int32_t sum = 0;
    for (const auto& test : m_tests) {
        sum += test->GetPassed();
    }
    for (const CSuite* sub : m_suites) {
        sum += sub->PassedSum();
    }
    return sum;
}

int32_t CSuite::FailedSum() const {
    int32_t sum = 0;
    for (const auto& test : m_tests) {
        sum += test->GetFailed();
    }
    for (const CSuite* sub : m_suites) {
        sum += sub->FailedSum();
    }
    return sum;
}

int32_t RunAllSuites(CSuite& suites) {
    int32_t passed = 0;
    int32_t failed = 0;
    for (CSuite* sub : suites.GetSuites()) {
        sub->Run();
        passed += sub->PassedSum();
        failed += sub->FailedSum();
    }
    CLog* log = suites.GetLog();
    const std::wstring rule(kGrandTotalRuleLength, L'=');
    Write(log, rule);
    Write(log, rule);
    Write(log, L"All Suites Total:");
    WriteColored(log, CountsText(passed, failed), failed == 0 ? kColorLightGreen : kColorLightRed);
    if (failed != 0) {
        DebugBreakIfDebugging();
    }
    return failed;
}

} // namespace vek
