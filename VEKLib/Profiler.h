#pragma once
// A tree profiler: named nodes hold total time and call counts; a measuring
// scope opens a child of the innermost open node and times it.
#include <cstdint>
#include <string>
#include <vector>

namespace vek {

class CProfileNode {
public:
    double m_totalTime = 0.0; // seconds
    double m_calls = 0.0;
    int64_t m_timerMark = 0; // timer value when the node was opened
    std::wstring m_name;
    std::vector<CProfileNode> m_children; // in order of first opening
};

class CProfiler {
public:
    CProfiler();
    CProfiler(const CProfiler&) = delete;
    CProfiler& operator=(const CProfiler&) = delete;

    // Opens the child of that name of the innermost open node (made on
    // first use) and starts its clock.
    void Begin(const std::wstring& name);
    // Closes the innermost open node, adding its time and one call. The
    // root is never closed.
    void End();

    // Appends the report of the node's subtree; depth 0 prints no line of
    // its own, so the root's children start at the left margin.
    static void Report(std::wstring& output, const CProfileNode& node, int32_t depth);
    // Closes every node and forgets every child of the root.
    void Reset();

    const CProfileNode& GetRoot() const { return m_root; }

private:
    friend void InitProfiler();

    CProfileNode m_root;
    // Open nodes, the root at the bottom. Children are only ever added to
    // the top node, so the pointers below it stay valid.
    std::vector<CProfileNode*> m_open;
};

CProfiler& Profiler();

// Start-up; both run before main.
void InitTimer();
void InitProfiler();

// Seconds since InitTimer, from the high-resolution counter when there is
// one, else from the millisecond tick count.
double GetTimerSeconds();
int64_t GetTimerValue();
double TimerValueToSeconds(int64_t value);

// Times the code between its construction and destruction as one call of
// the named node.
class CProfileScope {
public:
    explicit CProfileScope(const std::wstring& name) { Profiler().Begin(name); }
    ~CProfileScope() { Profiler().End(); }
    CProfileScope(const CProfileScope&) = delete;
    CProfileScope& operator=(const CProfileScope&) = delete;
};

} // namespace vek
