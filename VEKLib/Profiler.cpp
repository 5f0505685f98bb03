#include "VEKLib/Profiler.h"

#include <cmath>

#include "VEKLib/Format.h"
#include "platform/Time.h"

namespace vek {

namespace {

struct TimerState {
    bool hasCounter = false;
    int64_t frequency = 0;
    int64_t startCounter = 0;
    uint32_t startTick = 0;
};

TimerState& Timer() {
    static TimerState state;
    return state;
}

} // namespace

void InitTimer() {
    TimerState& t = Timer();
    t = TimerState{};
    int64_t frequency = 0;
    if (platform::QueryCounterFrequency(frequency) && frequency > 0) {
        t.hasCounter = true;
        t.frequency = frequency;
        t.startCounter = platform::QueryCounter();
    } else {
        t.startTick = platform::TickCount();
    }
}

int64_t GetTimerValue() {
    const TimerState& t = Timer();
    if (t.hasCounter) {
        return platform::QueryCounter() - t.startCounter;
    }
    return static_cast<int64_t>(static_cast<uint32_t>(platform::TickCount() - t.startTick));
}

double TimerValueToSeconds(int64_t value) {
    const TimerState& t = Timer();
    if (t.hasCounter) {
        return static_cast<double>(value) / static_cast<double>(t.frequency);
    }
    return static_cast<double>(value) / 1000.0;
}

double GetTimerSeconds() { return TimerValueToSeconds(GetTimerValue()); }

CProfiler::CProfiler() { m_open.push_back(&m_root); }

CProfiler& Profiler() {
    static CProfiler profiler;
    return profiler;
}

void InitProfiler() {
    CProfiler& p = Profiler();
    p.m_root = CProfileNode{};
    p.m_open.assign(1, &p.m_root);
}

void CProfiler::Begin(const std::wstring& name) {
    CProfileNode* top = m_open.back();
    CProfileNode* child = nullptr;
    for (CProfileNode& c : top->m_children) {
        if (c.m_name == name) {
            child = &c;
            break;
        }
    }
    if (!child) {
        top->m_children.push_back(CProfileNode{});
        child = &top->m_children.back();
        child->m_name = name;
    }
    m_open.push_back(child);
    child->m_timerMark = GetTimerValue();
}

void CProfiler::End() {
    if (m_open.size() <= 1) {
        return;
    }
    CProfileNode* node = m_open.back();
    node->m_totalTime += TimerValueToSeconds(GetTimerValue() - node->m_timerMark);
    node->m_calls += 1.0;
    m_open.pop_back();
}

void CProfiler::Report(std::wstring& output, const CProfileNode& node, int32_t depth) {
    if (depth > 0) {
        output.append(static_cast<size_t>(2 * depth - 2), L' ');
        const double average = std::fabs(node.m_calls) <= 0.1 ? 0.0 : node.m_totalTime / node.m_calls * 1000.0;
        // The count is shown as a whole number; a value outside 32 bits
        // cannot be converted, so it is held at the limit.
        double calls = std::trunc(node.m_calls);
        if (!(calls >= -2147483648.0)) {
            calls = -2147483648.0;
        } else if (calls > 2147483647.0) {
            calls = 2147483647.0;
        }
        output += Format(L"%-20s : %0.2f ms, %i calls\n", node.m_name, average, static_cast<int32_t>(calls));
    }
    for (const CProfileNode& child : node.m_children) {
        Report(output, child, depth + 1);
    }
}

void CProfiler::Reset() {
    m_open.resize(1);
    m_root.m_children.clear();
}

namespace {

// The timer and the profiler are ready before main.
const bool g_started = (InitTimer(), InitProfiler(), true);

} // namespace

} // namespace vek
