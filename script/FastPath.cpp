// The fast path of the run loop: the commands that loops run most, their
// state in registers; and the calls that it enters and leaves in place, with
// their frames.
#include <limits>

#include "script/ScriptRun.h"

bool CScriptRun::GoOnAfterIf(const TLink& link, TFastState& s, bool holds) {
    if (holds) {
        if (link.scoped != 0 && !EnterScopeFast(s.At())) {
            return false;
        }
        ++s.pc;
        return true;
    }
    // On with the else, if any; the else of an "else if" is stepped over
    // (it does nothing but count) unless the budget's check falls on it.
    const TLink* next = s.Jump(link.next);
    if (link.skip != 0) {
        if (s.countdown > 1) {
            --s.countdown;
        } else {
            --next;
        }
    }
    s.pc = next;
    return true;
}

bool CScriptRun::EnterScopeFast(uint32_t opener) {
    // While the scope stack has room.
    if (m_scopes.size() == m_scopes.capacity()) {
        return false;
    }
    m_scopes.push_back(TScopeMark{m_localCount, static_cast<int32_t>(opener)});
    return true;
}

bool CScriptRun::AssignFast(const TLink& link, TFastState& s) {
    CVariable* variable = s.lookup.Own(link.symbol);
    if (!variable) {
        return false;
    }
    variable->SetOwnValue(link.value);
    ++s.pc;
    return true;
}

bool CScriptRun::IncrementFast(const TLink& link, TFastState& s) {
    // Up to the largest unsigned 32-bit value.
    CVariable* variable = s.lookup.Own(link.symbol);
    if (!variable) {
        return false;
    }
    const int64_t value = variable->OwnValue();
    if (value < 4294967295LL) {
        variable->SetOwnValue(value + 1);
    }
    ++s.pc;
    return true;
}

bool CScriptRun::DecrementFast(const TLink& link, TFastState& s) {
    // Down to 0.
    CVariable* variable = s.lookup.Own(link.symbol);
    if (!variable) {
        return false;
    }
    const int64_t value = variable->OwnValue();
    if (value != 0 && value != std::numeric_limits<int64_t>::min()) {
        variable->SetOwnValue(value - 1);
    }
    ++s.pc;
    return true;
}

template <uint32_t kCompare>
bool CScriptRun::IfNumberFast(const TLink& link, TFastState& s) {
    // A lookup not made yet is made on the slow path, which also reports a
    // missing variable.
    const CVariable* variable = s.lookup.Own(link.symbol);
    if (!variable) {
        return false;
    }
    const uint64_t left = static_cast<uint64_t>(variable->OwnValue());
    const uint64_t right = static_cast<uint64_t>(link.value);
    bool holds = false;
    if constexpr (kCompare == kNodeEqual) {
        holds = left == right;
    } else if constexpr (kCompare == kNodeNotEqual) {
        holds = left != right;
    } else if constexpr (kCompare == kNodeLess) {
        holds = left < right;
    } else if constexpr (kCompare == kNodeGreater) {
        holds = left > right;
    } else if constexpr (kCompare == kNodeLessEqual) {
        holds = left <= right;
    } else {
        holds = left >= right;
    }
    return GoOnAfterIf(link, s, holds);
}

bool CScriptRun::IfFast(const TLink& link, TFastState& s) {
    const TStep* step = m_steps.data() + link.call;
    bool holds = false;
    if (!s.lookup.Compared(step[0], holds)) {
        return false;
    }
    if (link.op == kOpIfTwo) {
        bool right = false;
        if (!s.lookup.Compared(step[1], right)) {
            return false;
        }
        holds = ((step[2].table >> ((holds ? 2 : 0) + (right ? 1 : 0))) & 1) != 0;
    }
    return GoOnAfterIf(link, s, holds);
}

bool CScriptRun::BlockEndFast(const TLink& link, TFastState& s) {
    // Mostly the innermost scope is that of the block around, which stays.
    const TLink* next = link.op == kOpIfEnd ? s.Jump(link.next) : s.pc + 1;
    const size_t depth = m_scopes.size();
    if (depth > m_scopeFloor && m_scopes[depth - 1].opener != link.value &&
        !LeaveScopesQuickly(static_cast<int32_t>(s.IndexOf(next)))) {
        return false;
    }
    s.pc = next;
    return true;
}

bool CScriptRun::LoopEndFast(const TLink& link, TFastState& s) {
    // Round again, with the loop's own scope innermost (it stays); the end
    // of the loop takes the slow path.
    CVariable* counter = s.lookup.Own(link.symbol);
    if (!counter || counter->OwnValue() >= link.value || m_scopes.size() <= m_scopeFloor ||
        m_scopes.back().opener != link.jump) {
        return false;
    }
    counter->SetOwnValue(counter->OwnValue() + 1);
    s.pc = s.Jump(link.next);
    return true;
}

bool CScriptRun::TapeJumpFast(const TLink& link, TFastState& s) {
    // icmp goes on after its iloop when the cell is 0; iloop goes back to
    // its icmp. A command without a partner goes on after itself.
    const TLink* next = link.op == kOpTapeTest && s.cells[s.pointer] != 0 ? s.pc + 1 : s.Jump(link.next);
    if (m_scopes.size() > m_scopeFloor && !ScopeStays(m_scopes.back(), static_cast<int32_t>(s.IndexOf(next)))) {
        return false;
    }
    s.pc = next;
    return true;
}

bool CScriptRun::ElseFast(const TLink& link, TFastState& s) {
    if (link.scoped != 0 && !EnterScopeFast(s.At())) {
        return false;
    }
    ++s.pc;
    return true;
}

bool CScriptRun::CallFast(const TLink& link, TFastState& s) {
    // A user function entered in place runs on in this loop; any other call
    // takes the slow path. Nothing on the way reads the state the members
    // keep for the loop.
    if (!CallInPlace(link, s.At())) {
        return false;
    }
    s.pc = s.links + link.jump + 1;
    s.lookup = TFastLookup{m_bindings.entries.data(), m_epoch};
    return true;
}

bool CScriptRun::ReturnFast(const TLink& link, TFastState& s, size_t depth) {
    m_returnValue = static_cast<int32_t>(link.value);
    if (!m_frames.empty() && m_frames.back().inPlace != 0) {
        s.pc = s.links + ReturnInPlace(s.countdown, s.pointer);
    } else {
        SaveFastState(s);
        Return();
        if (m_frames.size() < depth) {
            return false;
        }
        s.pc = s.links + m_current;
    }
    s.lookup = TFastLookup{m_bindings.entries.data(), m_epoch};
    return true;
}

uint8_t CScriptRun::RunFastPath(size_t depth) {
    // It runs while the variables hold their own values and no scope has to
    // close, its state in registers (calls and returns look the bindings up
    // again); the members get the state back whenever anything else may see
    // it or an error may end the run. Every form has its handler below.
    static const void* const kHandlers[kOpCount] = {
        &&stop,           &&nothing,   &&assignNumber, &&incr,       &&decr,        &&loopEnd,   &&stop,
        &&condition,      &&condition, &&ifEqual,      &&ifNotEqual, &&ifLess,      &&ifGreater, &&ifLessEqual,
        &&ifGreaterEqual, &&blockEnd,  &&elseBlock,    &&blockEnd,   &&returnValue, &&call,      &&stop,
        &&tapeRight,      &&tapeLeft,  &&tapeAdd,      &&tapeSub,    &&tapeJump,    &&tapeJump,
    };
    const TLink* const links = m_links.data();
    const uint32_t limit = m_linkLimit;
    if (static_cast<uint32_t>(m_current) >= limit) {
        return kOpGeneral;
    }
    TFastState s{links + m_current, links,        m_countdown, TFastLookup{m_bindings.entries.data(), m_epoch},
                 m_workArea.data(), m_workPointer};
    const TLink* link = s.pc;
    uint8_t op = kOpGeneral;
// A handler that has done its command goes on to the next command's own
// handler itself (so each handler's successor is predicted apart), counting
// it first; one that cannot do it stops the fast path, having done nothing.
#define MORVHELD_NEXT(done)                \
    if (!(done)) {                         \
        goto stop;                         \
    }                                      \
    link = s.pc;                           \
    if (--s.countdown == 0) [[unlikely]] { \
        goto checkDue;                     \
    }                                      \
    goto* kHandlers[link->op]

    MORVHELD_NEXT(true);
nothing:
    ++s.pc;
    MORVHELD_NEXT(true);
assignNumber:
    MORVHELD_NEXT(AssignFast(*link, s));
incr:
    MORVHELD_NEXT(IncrementFast(*link, s));
decr:
    MORVHELD_NEXT(DecrementFast(*link, s));
loopEnd:
    MORVHELD_NEXT(LoopEndFast(*link, s));
condition:
    MORVHELD_NEXT(IfFast(*link, s));
ifEqual:
    MORVHELD_NEXT(IfNumberFast<kNodeEqual>(*link, s));
ifNotEqual:
    MORVHELD_NEXT(IfNumberFast<kNodeNotEqual>(*link, s));
ifLess:
    MORVHELD_NEXT(IfNumberFast<kNodeLess>(*link, s));
ifGreater:
    MORVHELD_NEXT(IfNumberFast<kNodeGreater>(*link, s));
ifLessEqual:
    MORVHELD_NEXT(IfNumberFast<kNodeLessEqual>(*link, s));
ifGreaterEqual:
    MORVHELD_NEXT(IfNumberFast<kNodeGreaterEqual>(*link, s));
blockEnd:
    MORVHELD_NEXT(BlockEndFast(*link, s));
elseBlock:
    MORVHELD_NEXT(ElseFast(*link, s));
tapeRight:
    s.pointer = s.pointer + 1 == kWorkAreaSize ? 0 : s.pointer + 1;
    ++s.pc;
    MORVHELD_NEXT(true);
tapeLeft:
    s.pointer = s.pointer == 0 ? kWorkAreaSize - 1 : s.pointer - 1;
    ++s.pc;
    MORVHELD_NEXT(true);
tapeAdd:
    ++s.cells[s.pointer];
    ++s.pc;
    MORVHELD_NEXT(true);
tapeSub:
    --s.cells[s.pointer];
    ++s.pc;
    MORVHELD_NEXT(true);
tapeJump:
    MORVHELD_NEXT(TapeJumpFast(*link, s));
call:
    MORVHELD_NEXT(CallFast(*link, s));
returnValue:
    if (!ReturnFast(*link, s, depth)) {
        return kLoopOver; // the call that ran this loop is over
    }
    MORVHELD_NEXT(true);
#undef MORVHELD_NEXT
checkDue:
    // The check comes first; a derived script's command is checked where
    // the base counts it.
    op = link->op == kOpDerived ? kOpDerived : kOpGeneral;
    goto leave;
stop:
    op = link->op;
leave:
    // Past the last command (the table's last entry) is no command.
    if (s.At() >= limit) {
        ++s.countdown;
    }
    SaveFastState(s);
    return op;
}

bool CScriptRun::CallInPlace(const TLink& link, uint32_t at) {
    // As ExecuteUserFunction enters a call resolved ahead, with what the link
    // worked out for it; anything it would report (no definition, no body,
    // too many calls) takes that way.
    if (link.scoped == 0 || m_frames.size() >= kMaxCallDepth) {
        return false;
    }
    const TCallSite& site = m_calls[link.call];
    const int32_t definition = link.jump;
    LocateCommand(at);
    const auto scopeDepth = static_cast<uint32_t>(m_scopes.size());
    const auto argumentBase = static_cast<uint32_t>(m_argumentPool.size());
    const auto argumentCount = static_cast<uint32_t>(site.values.size());
    // The arguments stay at the call site.
    m_frames.push_back(TCallFrame{static_cast<int32_t>(at), site.assign ? site.receiverSymbol : 0, definition,
                                  scopeDepth, m_localCount, argumentBase, argumentCount,
                                  site.assign ? uint8_t{1} : uint8_t{0}, uint8_t{1}, uint8_t{1}});
    const uint32_t* values = site.values.data();
    if (!m_valueStack.empty()) [[unlikely]] {
        ClearValueStack();
    }
    m_scopeFloor = scopeDepth + 1;
    // The values straight into the callee's locals, as EnterBody puts them.
    if (!m_pending.empty()) [[unlikely]] {
        AddPendingLocals();
    }
    for (uint32_t k = 0; k < site.parameterLocals; ++k) {
        const uint32_t slot = site.firstParameter - k;
        AddLocal(m_parameterSymbols[slot], m_parameterPool[slot], &m_parameterPool[slot], values[k]);
    }
    PushScopeAt(definition);
    return true;
}

CScriptRun::TCallFrame& CScriptRun::PushFrame(int32_t definition, uint8_t flag, uint32_t receiver) {
    TCallFrame& frame = m_frames.emplace_back();
    frame.returnCommand = m_current;
    frame.flag = flag;
    frame.receiver = receiver;
    frame.definition = definition;
    frame.scopeDepth = static_cast<uint32_t>(m_scopes.size());
    frame.localBase = m_localCount;
    frame.argumentBase = static_cast<uint32_t>(m_argumentPool.size());
    return frame;
}

void CScriptRun::EnterBody(const TCallFrame& frame) {
    // Values handed in arrive first, then the parameters by name.
    AddPendingLocals();
    const TCommand& function = m_results.Commands()[frame.definition];
    const auto parameters = static_cast<uint32_t>(m_links[frame.definition].value);
    for (uint32_t k = 0; k < parameters && k < frame.argumentCount; ++k) {
        const uint32_t slot = function.target + parameters - 1 - k; // stored last first
        if (slot >= m_parameterPool.size()) {
            break;
        }
        AddLocal(m_parameterSymbols[slot], m_parameterPool[slot], &m_parameterPool[slot],
                 m_argumentPool[frame.argumentBase + k]);
    }
    PushScopeAt(frame.definition);
    m_current = frame.definition + 1;
}

void CScriptRun::AddPendingLocals() {
    // Last first.
    while (!m_pending.empty()) {
        const CVariable& variable = m_pending.back();
        AddLocal(Intern(variable.GetName()), variable.GetName(), nullptr, variable.GetValue());
        m_pending.pop_back();
    }
}

uint32_t CScriptRun::ReturnInPlace(uint64_t countdown, uint32_t pointer) {
    // As Return does for such a call.
    const TCallFrame& frame = m_frames.back();
    const int32_t at = frame.returnCommand;
    const uint8_t flag = frame.flag;
    const uint32_t receiver = frame.receiver;
    CutLocals(frame.localBase);
    if (m_scopes.size() > frame.scopeDepth) {
        m_scopes.resize(frame.scopeDepth);
    }
    if (frame.siteArguments == 0 && m_argumentPool.size() > frame.argumentBase) {
        m_argumentPool.resize(frame.argumentBase);
    }
    if (!m_valueStack.empty()) [[unlikely]] {
        ClearValueStack();
    }
    m_frames.pop_back();
    m_scopeFloor = m_frames.empty() ? 0 : m_frames.back().scopeDepth + 1;
    if (flag != 0) {
        const TBinding& binding = m_bindings.entries[receiver];
        if (binding.epoch == m_epoch && m_returnValue >= 0 && static_cast<uint32_t>(at) < m_linkLimit &&
            IsCallKind(m_results.Commands()[at].kind)) {
            binding.variable->SetValue(m_returnValue);
        } else {
            AssignResult(at, receiver, countdown, pointer);
        }
    }
    return static_cast<uint32_t>(at) + 1;
}

void CScriptRun::AssignResult(int32_t at, uint32_t receiver, uint64_t countdown, uint32_t pointer) {
    // Where Return assigns it: at the call command, which an error reports.
    m_current = at;
    m_countdown = countdown;
    m_workPointer = pointer;
    AssignBySymbol(receiver, static_cast<int64_t>(m_returnValue), true);
}

[[gnu::flatten]] bool CScriptRun::RunReturn(int32_t value) {
    m_returnValue = value;
    Return();
    return false; // the run goes on after the calling command
}

void CScriptRun::Return() {
    if (m_frames.empty()) {
        FailHere(kErrCallStackEmpty, L"CScriptBase::Return", __LINE__);
    }
    const TCallFrame& frame = m_frames.back();
    m_current = frame.returnCommand;
    // The callee's locals go first, so the result lands in the caller's
    // variable even when the callee has one of the same name.
    CutLocals(frame.localBase);
    if (m_scopes.size() > frame.scopeDepth) {
        m_scopes.resize(frame.scopeDepth);
    }
    if (m_argumentPool.size() > frame.argumentBase) {
        m_argumentPool.resize(frame.argumentBase);
    }
    if (!m_valueStack.empty()) {
        m_valueStack.clear();
    }
    const uint8_t flag = frame.flag;
    const uint32_t receiver = frame.receiver;
    // A call entered in place goes on after its command once the result is in.
    const int32_t next = frame.inPlace != 0 ? m_current + 1 : m_current;
    m_frames.pop_back();
    m_scopeFloor = m_frames.empty() ? 0 : m_frames.back().scopeDepth + 1;
    if (flag == 0) {
        m_current = next;
        return;
    }
    // What AssignBySymbol checks, at once while the cached lookup is valid.
    // (Commands below the link limit are there, without asking the list.)
    const TBinding& binding = m_bindings.entries[receiver];
    if (binding.epoch == m_epoch && m_returnValue >= 0 && static_cast<uint32_t>(m_current) < m_linkLimit &&
        IsCallKind(m_results.Commands()[m_current].kind)) {
        binding.variable->SetValue(m_returnValue);
        m_current = next;
        return;
    }
    AssignBySymbol(receiver, static_cast<int64_t>(m_returnValue), true);
    m_current = next;
}
