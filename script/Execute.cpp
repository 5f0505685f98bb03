// Running a parsed script: the run loop with its fast and slow paths, and
// the statements.
#include "script/ScriptRun.h"

#include <limits>
#include <ostream>

#include "script/ScopedValue.h"
#include "script/ScriptException.h"

namespace {

constexpr const wchar_t* kExecuteUnit = L"CScriptBase::ExecuteUnit";

// incr stops at the largest unsigned 32-bit value, decr at 0.
inline void Increment(CVariable& variable) {
    const int64_t value = variable.GetValue();
    if (value < 4294967295LL) {
        variable.SetValue(value + 1);
    }
}

inline void Decrement(CVariable& variable) {
    const int64_t value = variable.GetValue();
    if (value != 0 && value != std::numeric_limits<int64_t>::min()) {
        variable.SetValue(value - 1);
    }
}

} // namespace

void CScriptRun::Execute() {
    if (!IsParsed()) {
        Fail(kErrExecution, L"CScriptBase::Execute", __LINE__);
    }
    const bool top = IsIdle();
    if (top) {
        StartRun();
    }
    EnsureLinked();
    if (!top) {
        RunCommands(0);
        return;
    }
    const TScopedValue<uint32_t> running(m_busy, m_busy + 1);
    for (;;) {
        try {
            RunCommands(0);
            return;
        } catch (const TUnwind& unwind) {
            // Every call was left at once: the run ends after exit, and goes
            // on at the label after a jump.
            if (unwind.exit) {
                ExitRun();
                ++m_current;
            }
        }
    }
}

bool CScriptRun::RunTopUnit() {
    // A command run from outside a run: leaving every call at once ends here.
    const TScopedValue<uint32_t> running(m_busy, m_busy + 1);
    StartRun();
    try {
        return CScriptRun::ExecuteUnit();
    } catch (const TUnwind& unwind) {
        if (unwind.exit) {
            ExitRun();
        }
        return unwind.exit; // after a jump the current command is the label
    }
}

void CScriptRun::ExitRun() {
    const size_t count = m_results.Commands().size();
    m_current = count == 0 ? 0 : static_cast<int32_t>(count - 1);
}

void CScriptRun::DropAllFrames() {
    if (m_frames.empty()) {
        return;
    }
    const TCallFrame& first = m_frames.front();
    CutLocals(first.localBase);
    if (m_scopes.size() > first.scopeDepth) {
        m_scopes.resize(first.scopeDepth);
    }
    if (m_argumentPool.size() > first.argumentBase) {
        m_argumentPool.resize(first.argumentBase);
    }
    m_frames.clear();
    m_scopeFloor = 0;
    m_valueStack.clear();
}

bool CScriptRun::ExecuteUnit() {
    if (IsIdle()) [[unlikely]] {
        return RunTopUnit();
    }
    if (--m_countdown == 0) [[unlikely]] {
        CheckBudget();
    }
    return RunUnit();
}

void CScriptRun::RunCommands(size_t depth) {
    for (;;) {
        const uint8_t op = RunFastPath(depth);
        if (op == kLoopOver || RunSlowPath(op, depth)) {
            return;
        }
    }
}

bool CScriptRun::RunSlowPath(uint8_t op, size_t depth) {
    const uint32_t at = static_cast<uint32_t>(m_current);
    if (at >= m_linkLimit) [[unlikely]] {
        // Past the end, or not linked: ExecuteUnit links or reports it.
        if (depth == 0 && at >= m_results.Commands().size()) {
            return true;
        }
        return RunDerived(depth);
    }
    if (op == kOpDerived) {
        ++m_countdown; // counted where the base runs it
        return RunDerived(depth);
    }
    const TLink& link = m_links[at];
    switch (op) {
    case kOpIf:
        LocateCommand(at); // where a missing variable is reported
        if (RunSteps(m_conditions[link.value]) != 0) {
            PushScopeAt(static_cast<int32_t>(at));
            m_current = static_cast<int32_t>(at + 1);
        } else {
            m_current = link.end + 1;
        }
        break;
    case kOpCall:
        // The fast path found it cannot enter the call in place.
        RunCall(m_results.Commands()[at], link);
        ++m_current;
        break;
    default:
        if (m_countdown == 0) {
            CheckBudget();
        }
        if (RunUnit()) {
            ++m_current;
        }
        break;
    }
    return LoopEnds(depth);
}

bool CScriptRun::RunIf(uint32_t expression) {
    LocateCommand(static_cast<uint32_t>(m_current));
    const int32_t self = m_current;
    const uint64_t value = ExecuteLogExpr(m_results.Expressions()[expression]);
    m_current = self;
    if (value == 0) {
        m_current = m_links[self].end; // on with the else, if any
    } else {
        PushScopeAt(self);
    }
    return true;
}

bool CScriptRun::RunUnit() {
    EnsureLinked();
    const std::vector<TCommand>& commands = m_results.Commands();
    if (static_cast<uint32_t>(m_current) >= commands.size()) {
        Fail(kErrExecution, kExecuteUnit, __LINE__);
    }
    const TCommand& command = commands[m_current];
    const TLink& link = m_links[m_current];
    switch (command.kind) {
    case kCmdAssign:
        // The value of "x = F()" comes from the call that follows.
        if (command.Extra() != kAssignFromCall) {
            AssignBySymbol(link.symbol, static_cast<int64_t>(command.argument), false);
        }
        return true;
    case kCmdLabel:
    case kCmdEnd:
        return true;
    case kCmdIncr:
        Increment(Require(link.symbol));
        return true;
    case kCmdDecr:
        Decrement(Require(link.symbol));
        return true;
    case kCmdCloseBrace:
    case kCmdIf:
    case kCmdElse:
    case kCmdFunction:
    case kCmdFor:
    case kCmdBreak:
    case kCmdContinue:
        return RunBlockCommand(command, link);
    case kCmdTapeRight:
    case kCmdTapeLeft:
    case kCmdTapeAdd:
    case kCmdTapeSub:
    case kCmdTapeTest:
    case kCmdTapeLoop:
    case kCmdTapeIn:
    case kCmdTapeOut:
        return RunTapeCommand(command, link);
    case kCmdGoto:
        return RunGoto(link);
    case kCmdReturn:
        return RunReturn(static_cast<int32_t>(command.argument));
    case kCmdExit:
        return RunExit();
    case kCmdPrintln:
    case kCmdPrint:
        PrintValue(command, link);
        return true;
    case kCmdInput:
        ReadInput(command, link);
        return true;
    case kCmdSystem:
        LogSystemCommand(command);
        Console().System(command.name);
        return true;
    case kCmdCall:
    case kCmdUserCall:
        return RunCall(command, link);
    case kCmdSuper:
        return RunSuper(command, link);
    default:
        FailHere(kErrUnknownCommand, kExecuteUnit, __LINE__);
    }
}

bool CScriptRun::RunBlockCommand(const TCommand& command, const TLink& link) {
    const size_t count = m_results.Commands().size();
    switch (command.kind) {
    case kCmdCloseBrace:
        if (command.argument == kCmdFor) {
            return RunLoopEnd(command);
        }
        return RunCloseBrace(command);
    case kCmdIf:
        if (link.jump < 0 || command.argument >= m_results.Expressions().size()) {
            FailHere(kErrExecution, kExecuteUnit, __LINE__);
        }
        return RunIf(command.argument);
    case kCmdElse:
        // The else of an "else if" leaves its block to the if.
        if (command.argument != 1) {
            PushScopeAt(m_current);
        }
        return true;
    case kCmdFunction:
        // A definition met in the flow is stepped over.
        if (link.end < 0) {
            FailHere(kErrExecution, kExecuteUnit, __LINE__);
        }
        m_current = link.end;
        return true;
    case kCmdFor:
        PushScopeAt(m_current);
        AddLocal(link.symbol, command.name, command.name.Identity(), static_cast<int64_t>(command.argument));
        return true;
    case kCmdBreak: {
        const int32_t brace = static_cast<int32_t>(command.argument);
        if (brace < 0 || static_cast<size_t>(brace) >= count) {
            FailHere(kErrExecution, kExecuteUnit, __LINE__);
        }
        m_current = brace;
        CutScopes(brace + 1);
        return true;
    }
    default: { // continue
        const int32_t brace = static_cast<int32_t>(command.argument);
        if (brace <= 0 || static_cast<size_t>(brace) >= count) {
            FailHere(kErrExecution, kExecuteUnit, __LINE__);
        }
        m_current = brace - 1;
        CutScopes(brace);
        return true;
    }
    }
}

bool CScriptRun::RunTapeCommand(const TCommand& command, const TLink& link) {
    switch (command.kind) {
    case kCmdTapeRight:
        m_workPointer = m_workPointer + 1 == kWorkAreaSize ? 0 : m_workPointer + 1;
        return true;
    case kCmdTapeLeft:
        m_workPointer = m_workPointer == 0 ? kWorkAreaSize - 1 : m_workPointer - 1;
        return true;
    case kCmdTapeAdd:
        ++m_workArea[m_workPointer];
        return true;
    case kCmdTapeSub:
        --m_workArea[m_workPointer];
        return true;
    case kCmdTapeTest:
        if (m_workArea[m_workPointer] == 0 && link.jump >= 0) {
            m_current = link.jump; // on after the matching iloop
            CutScopes(link.jump + 1);
        }
        return true;
    case kCmdTapeLoop:
        if (link.jump < 0) {
            return true;
        }
        m_current = link.jump; // the icmp tests the cell again
        CutScopes(link.jump);
        return false;
    case kCmdTapeIn:
        m_workArea[m_workPointer] = ReadInputCharacter();
        return true;
    default: // iout
        WriteDecimal(Console().Output(), m_workArea[m_workPointer]);
        return true;
    }
}

bool CScriptRun::RunExit() {
    DropAllFrames();
    if (m_nesting > 0) {
        throw TUnwind{true};
    }
    ExitRun();
    return true;
}

bool CScriptRun::RunLoopEnd(const TCommand& brace) {
    // The counter goes up by one; the loop goes round while it has not
    // passed the end value.
    const std::vector<TCommand>& commands = m_results.Commands();
    const uint32_t loopIndex = brace.target;
    if (loopIndex >= commands.size() || commands[loopIndex].kind != kCmdFor) [[unlikely]] {
        FailHere(kErrExecution, kExecuteUnit, __LINE__);
    }
    CVariable* counter = Lookup(m_links[loopIndex].symbol);
    if (!counter) [[unlikely]] {
        FailHere(kErrExecution, kExecuteUnit, __LINE__);
    }
    const int64_t value = counter->GetValue();
    const int64_t next = value < std::numeric_limits<int64_t>::max() ? value + 1 : value;
    counter->SetValue(next);
    // The whole counter against the end value: a loop up to the largest end
    // value still ends.
    if (next <= static_cast<int64_t>(static_cast<int32_t>(commands[loopIndex].target))) {
        m_current = static_cast<int32_t>(loopIndex);
    }
    // Going round again the body's blocks close; leaving, the loop's too.
    CutScopes(m_current + 1);
    return true;
}

bool CScriptRun::RunCloseBrace(const TCommand& command) {
    const std::vector<TCommand>& commands = m_results.Commands();
    switch (command.argument) {
    case kCmdIf: {
        // The end of a taken if body: on after the whole chain.
        const int32_t end = static_cast<int32_t>(command.target);
        if (end < m_current || static_cast<size_t>(end) >= commands.size()) {
            FailHere(kErrExecution, kExecuteUnit, __LINE__);
        }
        m_current = end;
        CutScopes(end + 1);
        return true;
    }
    case kCmdFunction:
        // A body that ends without return returns 0.
        m_returnValue = 0;
        Return();
        return false;
    default:
        CutScopes(m_current + 1);
        return true;
    }
}

bool CScriptRun::RunGoto(const TLink& link) {
    const int32_t label = link.jump;
    if (label < 0) {
        FailHere(kErrLabelNotFound, kExecuteUnit, __LINE__);
    }
    // Within the running function the jump keeps its frame; elsewhere every
    // call in progress is abandoned.
    const bool far = !m_frames.empty() && m_links[label].owner != link.owner;
    if (far) {
        DropAllFrames();
    }
    m_current = label;
    CutScopes(label);
    if (far && m_nesting > 0) {
        throw TUnwind{false};
    }
    return false;
}

uint64_t CScriptRun::ExecuteLogExpr(const TNodeList& list) {
    EnsureLinked();
    // A list of this script's runs compiled; any other through the evaluator.
    const std::vector<TNodeList>& expressions = m_results.Expressions();
    const auto first = reinterpret_cast<uintptr_t>(expressions.data());
    const auto at = reinterpret_cast<uintptr_t>(&list);
    if (at >= first && at < first + expressions.size() * sizeof(TNodeList)) {
        const size_t index = (at - first) / sizeof(TNodeList);
        if (index < m_conditions.size()) {
            return RunCondition(m_conditions[index], list);
        }
    }
    return EvaluateExpression(list, *this);
}

void CScriptRun::CutScopesFrom(int32_t index, size_t floor) {
    // The running function's own mark holds its whole body.
    // Blocks nest, so the first block that holds the index holds the rest.
    while (m_scopes.size() > floor && !ScopeStays(m_scopes.back(), index)) {
        CutLocals(m_scopes.back().count);
        m_scopes.pop_back();
    }
}
