#pragma once
// The in-program self-test framework: test cases count passed and failed
// checks; suites run them and report coloured totals through a log.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"

namespace vek {

class CLog;

// Misuse of the framework.
class CTestSuiteError : public CException {
public:
    CTestSuiteError(const std::wstring& message, int32_t line);
    ~CTestSuiteError() override;
};

class CTest {
public:
    explicit CTest(const std::wstring& name, CLog* log = nullptr);
    virtual ~CTest();
    CTest(const CTest&) = delete;
    CTest& operator=(const CTest&) = delete;

    // Performs the checks.
    virtual void Run() = 0;
    virtual void ResetCounts();

    // One failed check; with a log, also its failure line.
    void AddFailure(const std::wstring& expression, const std::wstring& sourceFile, int32_t line);
    // One check: counted as passed, or as a failure naming the expression.
    bool Check(bool holds, const char* expression, const wchar_t* sourceFile, int32_t line);
    // Writes "Test "name":" and the counts; returns the failed count.
    int32_t Report() const;

    const std::wstring& GetName() const { return m_name; }
    CLog* GetLog() const { return m_log; }
    void SetLog(CLog* log) { m_log = log; }
    int32_t GetPassed() const { return m_passed; }
    int32_t GetFailed() const { return m_failed; }

protected:
    CLog* m_log; // not owned; null: silent
    int32_t m_passed = 0;
    int32_t m_failed = 0;
    std::wstring m_name;
};

// Inside a CTest member: counts one check of the expression.
#define VEK_CHECK_AT(expr, sourceFile) Check(static_cast<bool>(expr), #expr, sourceFile, __LINE__)

class CSuite {
public:
    CSuite(const std::wstring& name, CLog* log);
    CSuite(CSuite&&) = default;
    CSuite& operator=(CSuite&&) = default;
    ~CSuite();

    // Takes ownership. A test without a log of its own takes the suite's.
    void AddTest(CTest* test);
    // Not owned; must outlive the suite's use. A suite that would contain
    // itself is refused (CTestSuiteError).
    void AddSuite(CSuite* suite);

    // Resets every count in the tree, executes the sub-suites, then runs
    // the tests. A test that throws counts one more failure and the run
    // goes on.
    void Execute();
    // Writes the report of this suite's tests (Execute must come first);
    // returns the suite's failed total.
    int32_t Run();
    // Deletes the tests of the whole tree; the sub-suites themselves stay.
    void DeleteAll();

    const std::wstring& GetName() const { return m_name; }
    CLog* GetLog() const { return m_log; }
    const std::vector<CSuite*>& GetSuites() const { return m_suites; }
    size_t GetTestCount() const { return m_tests.size(); }
    int32_t GetPassedTotal() const { return m_passedTotal; }
    int32_t GetFailedTotal() const { return m_failedTotal; }
    // Counts of every test in the tree.
    int32_t PassedSum() const;
    int32_t FailedSum() const;

private:
    void ResetCounts();
    bool Contains(const CSuite* suite) const;

    std::wstring m_name;
    CLog* m_log;
    std::vector<std::unique_ptr<CTest>> m_tests;
    std::vector<CSuite*> m_suites;
    int32_t m_passedTotal = 0;
    int32_t m_failedTotal = 0;
};

// Reports every sub-suite of the given suite, then the grand totals;
// returns the grand failed total. A failure stops in the debugger, if any.
int32_t RunAllSuites(CSuite& suites);

// The library's module tests.
class CModuleTestFiles : public CTest {
public:
    CModuleTestFiles();
    void Run() override;
};

class CModuleTestStrings : public CTest {
public:
    CModuleTestStrings();
    void Run() override;
};

// Runs in the game's home time zone (kHomeTimeZone) on any machine.
class CModuleTestDate : public CTest {
public:
    CModuleTestDate();
    void Run() override;
};

// Makes the suite "VEKLib" with the library's module tests.
void CreateLibrarySuite(CSuite& suite, CLog* log);

} // namespace vek
