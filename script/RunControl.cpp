// The run's control: its state reset, the step budget and the cancel hook,
// and the console statements.
#include "script/ScriptRun.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "VEKLib/Console.h"
#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "script/ScriptException.h"

CScriptRun::CScriptRun() : m_workArea(kWorkAreaSize, 0) {}

void CScriptRun::ClearTape() {
    std::fill(m_workArea.begin(), m_workArea.end(), 0);
    m_workPointer = 0;
}

void CScriptRun::ResetRuntime() {
    StartRun();
    m_current = 0;
    m_returnValue = 0;
    ClearTape();
    CutLocals(0);
    m_frames.clear();
    m_scopeFloor = 0;
    m_scopes.clear();
    m_valueStack.clear();
    m_argumentPool.clear();
    m_handoff = nullptr;
    m_pendingInput = 0;
}

std::wstring CScriptRun::CallDepthDetails() {
    return vek::Format(L"call depth cap of %u calls reached", kMaxCallDepth);
}

void CScriptRun::SetStepBudget(uint64_t steps) {
    m_stepBudget = steps;
    StartRun();
}

void CScriptRun::StartRun() {
    const uint64_t executed = GetExecutedCount();
    m_budgetEnd = m_stepBudget == 0 ? 0 : executed + m_stepBudget;
    CheckAt(executed + 1); // CheckBudget settles the next check point
    InvalidateLookups();
}

void CScriptRun::SetCancelHook(std::function<bool()> hook) {
    m_cancelHook = std::move(hook);
    CheckAt(GetExecutedCount() + 1);
}

void CScriptRun::CheckAt(uint64_t count) {
    const uint64_t executed = GetExecutedCount();
    m_nextCheck = count;
    m_countdown = count - executed;
}

void CScriptRun::CheckBudget() {
    // The countdown has run out: this is the command numbered m_nextCheck.
    const uint64_t executed = m_nextCheck;
    CheckAt(executed + 1); // at the next command again, if this one fails
    if (m_budgetEnd != 0 && executed > m_budgetEnd) {
        FailHere(kErrExecution, L"CScriptBase::ExecuteUnit", __LINE__,
                 vek::Format(L"step budget of %llu commands ran out", m_stepBudget));
    }
    if (m_cancelHook && m_cancelHook()) {
        FailHere(kErrExecution, L"CScriptBase::ExecuteUnit", __LINE__);
    }
    // The hook is asked every so often, not at every command.
    constexpr uint64_t kHookInterval = 1024;
    uint64_t next = UINT64_MAX;
    if (m_budgetEnd != 0) {
        next = m_budgetEnd + 1;
    }
    if (m_cancelHook) {
        next = std::min(next, executed + kHookInterval);
    }
    CheckAt(next);
}

// --- Console ----------------------------------------------------------------------

void CScriptRun::PrintValue(const TCommand& command, const TLink& link) {
    std::wostream& out = Console().Output();
    if (command.argument == 1) {
        const CVariable& variable = Require(link.symbol);
        WriteDecimal(out, static_cast<uint64_t>(variable.GetValue()));
    } else {
        out << command.name.str();
    }
    if (command.kind == kCmdPrintln) {
        out << L'\n';
    }
    out.flush();
}

void CScriptRun::LogSystemCommand(const TCommand& command) {
    // A data file names what the shell runs: every run is on record.
    LocateCommand(static_cast<uint32_t>(m_current));
    const std::wstring line = vek::Format(L"Script %s, line %u, runs the system command: %s", GetFileName(),
                                          GetLineNumber(), command.name.str());
    if (g_gameData != nullptr) {
        g_gameData->Log(line);
    } else {
        vek::ConsoleErr() << line << std::endl;
    }
}

void CScriptRun::ReadInput(const TCommand&, const TLink& link) {
    Require(link.symbol);
    std::istream& in = Console().Input();
    std::string word;
    int64_t value = 0;
    // Bad input and the end of input read as 0; the stream stays usable.
    if (in >> word) {
        const std::wstring text = vek::Utf8ToWide(word);
        const wchar_t* end = text.c_str();
        value = vek::WcsToI64(text.c_str(), &end, 10);
        if (end == text.c_str()) {
            value = 0;
        }
    }
    if (!in) {
        in.clear();
    }
    AssignBySymbol(link.symbol, value, false);
}

uint8_t CScriptRun::ReadInputCharacter() {
    if (m_pendingInput != 0) {
        const wchar_t unit = m_pendingInput;
        m_pendingInput = 0;
        return static_cast<uint8_t>(unit);
    }
    std::istream& in = Console().Input();
    const int lead = in.get();
    if (lead == std::char_traits<char>::eof()) {
        in.clear();
        return 0xFF; // the wide end-of-input value is all ones
    }
    // One UTF-8 sequence; a code point beyond 16 bits comes as two units.
    uint32_t point = static_cast<uint8_t>(lead);
    int more = point >= 0xF0 ? 3 : point >= 0xE0 ? 2 : point >= 0xC0 ? 1 : 0;
    if (more > 0) {
        point &= 0x3Fu >> more;
    }
    for (; more > 0; --more) {
        const int next = in.peek();
        if (next == std::char_traits<char>::eof() || (next & 0xC0) != 0x80) {
            break;
        }
        point = (point << 6) | (static_cast<uint32_t>(in.get()) & 0x3F);
    }
    if (!in) {
        in.clear();
    }
    if (point > 0xFFFF) {
        point -= 0x10000;
        m_pendingInput = static_cast<wchar_t>(0xDC00 + (point & 0x3FF));
        point = 0xD800 + (point >> 10);
    }
    return static_cast<uint8_t>(point);
}
