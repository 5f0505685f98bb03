// Running a parsed script: statements, calls and returns, and the tables
// that let a run jump and find its variables without searching.
#include <istream>
#include <limits>
#include <ostream>

#include "VEKLib/Console.h"
#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "script/ScriptBase.h"
#include "script/ScriptException.h"

namespace {

constexpr const wchar_t* kExecuteUnit = L"CScriptBase::ExecuteUnit";
constexpr const wchar_t* kExecuteUserFunction = L"CScriptBase::ExecuteUserFunction";
constexpr const wchar_t* kExecuteLogExpr = L"CScriptBase::ExecuteLogExpr";

const std::wstring kNoName;

void WriteDecimal(std::wostream& out, uint64_t value) {
    wchar_t digits[24];
    size_t at = sizeof(digits) / sizeof(digits[0]);
    do {
        digits[--at] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    out.write(digits + at, static_cast<std::streamsize>(sizeof(digits) / sizeof(digits[0]) - at));
}

// The fast forms of commands (TLink::op).
enum : uint32_t {
    kOpGeneral = 0,
    kOpNothing,      // label, end marker, assignment of a call's result
    kOpAssignNumber, // symbol := value
    kOpIncr,
    kOpDecr,
    kOpLoopEnd,  // a for loop's closing brace
    kOpIf,       // value: the condition's index; call: its first step
    kOpIfOne,    // as kOpIf, of one comparison
    kOpIfNumber, // as kOpIf, of one comparison of a variable (symbol) with a number (value)
    kOpIfTwo,    // as kOpIf, of two comparisons joined
    kOpIfEnd,    // the closing brace of an if body; jump: the end of its chain
    kOpElse,     // "else {"
    kOpBlockEnd, // the closing brace of another block (an else's)
    kOpReturn,   // value: the value returned
    kOpCall,     // a call command
    kOpDerived,  // handed to ExecuteUnit (HandlesCommand)
};

// The kinds that the base runs itself (12 and 13 are never made).
bool IsBaseKind(uint32_t kind) {
    return kind >= kCmdAssign && kind <= kCmdEnd && (kind <= kCmdContinue || kind >= kCmdExit);
}

// The commands whose result an assignment may take.
bool IsCallKind(uint32_t kind) { return kind == kCmdCall || kind == kCmdUserCall || kind == kCmdSuper; }

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

// The deepest stack a compiled condition may use.
constexpr size_t kMaxConditionDepth = 16;

bool IsComparison(uint32_t kind) { return kind >= kNodeEqual && kind <= kNodeGreaterEqual; }

bool IsBinaryOperator(uint32_t kind) {
    return kind == kNodeOr || kind == kNodeXor || kind == kNodeAnd || IsComparison(kind);
}

// Sets a value for the length of a scope, also when an exception leaves it.
template <class T>
class TScopedValue {
public:
    TScopedValue(T& target, T value) : m_target(target), m_saved(target) { m_target = value; }
    ~TScopedValue() { m_target = m_saved; }
    TScopedValue(const TScopedValue&) = delete;
    TScopedValue& operator=(const TScopedValue&) = delete;

private:
    T& m_target;
    T m_saved;
};

} // namespace

// --- Tables -------------------------------------------------------------------------

void CScriptBase::Link() {
    const std::vector<TCommand>& commands = m_results.Commands();
    const size_t count = commands.size();
    const std::vector<int32_t> ends = FindBlockEnds();
    // One more: past the last command the run leaves its fast forms.
    m_links.assign(count + 1, TLink());
    m_calls.clear();
    m_definitions.clear();

    TNoCaseMap<int32_t> labels;
    std::vector<int32_t> functions; // definitions around the command, innermost last
    std::vector<int32_t> tapeTests; // icmp commands not yet paired
    for (size_t i = 0; i < count; ++i) {
        const int32_t index = static_cast<int32_t>(i);
        const TCommand& command = commands[i];
        TLink& link = m_links[i];
        while (!functions.empty() && ends[functions.back()] >= 0 && ends[functions.back()] < index) {
            functions.pop_back();
        }
        link.owner = functions.empty() ? -1 : functions.back();
        link.end = ends[i];
        switch (command.kind) {
        case kCmdFunction: {
            functions.push_back(index);
            TDefinitions& definitions = m_definitions[command.name];
            // The first overriding definition is preferred; without one, the last.
            if (definitions.preferred < 0 || commands[definitions.preferred].flag != 1) {
                definitions.preferred = index;
            }
            if (command.flag != 1 && definitions.plain < 0) {
                definitions.plain = index;
            }
            break;
        }
        case kCmdLabel:
            labels.emplace(command.name, index);
            break;
        case kCmdTapeTest:
            tapeTests.push_back(index);
            break;
        case kCmdTapeLoop:
            if (!tapeTests.empty()) {
                link.jump = tapeTests.back();
                m_links[tapeTests.back()].jump = index;
                tapeTests.pop_back();
            }
            break;
        default:
            break;
        }
    }

    // The conditions first: an if's fast form depends on its shape.
    CompileConditions();
    // The for commands before each command: a body without one adds no
    // local, so its scope need not open where the run does the fast forms
    // (every block end closes the scopes that do not hold where it goes).
    std::vector<uint32_t> loopsBefore(count + 1, 0);
    for (size_t i = 0; i < count; ++i) {
        loopsBefore[i + 1] = loopsBefore[i] + (commands[i].kind == kCmdFor ? 1 : 0);
    }
    auto scoped = [&](size_t opener) {
        const int32_t end = ends[opener];
        return end < 0 || loopsBefore[static_cast<size_t>(end)] != loopsBefore[opener + 1] ? 1 : 0;
    };
    // Names, jumps and the fast forms. A loop's for comes before its brace,
    // so the brace finds the counter's symbol made.
    for (size_t i = 0; i < count; ++i) {
        const TCommand& command = commands[i];
        TLink& link = m_links[i];
        switch (command.kind) {
        case kCmdAssign:
            link.symbol = Intern(command.targetName);
            link.op = command.extra == kAssignFromCall ? kOpNothing : kOpAssignNumber;
            link.value = command.argument;
            break;
        case kCmdIncr:
        case kCmdDecr:
            link.symbol = Intern(command.targetName);
            link.op = command.kind == kCmdIncr ? kOpIncr : kOpDecr;
            break;
        case kCmdInput:
            link.symbol = Intern(command.targetName);
            break;
        case kCmdFor:
            link.symbol = Intern(command.name);
            break;
        case kCmdPrintln:
        case kCmdPrint:
            if (command.argument == 1) {
                link.symbol = Intern(command.name);
            }
            break;
        case kCmdLabel:
        case kCmdEnd:
            link.op = kOpNothing;
            break;
        case kCmdElse:
            link.op = command.argument == 1 ? kOpNothing : kOpElse;
            link.scoped = static_cast<uint8_t>(scoped(i));
            break;
        case kCmdGoto: {
            const auto it = labels.find(command.name);
            link.jump = it == labels.end() ? -1 : it->second;
            break;
        }
        case kCmdIf:
            link.jump = ends[i] >= 0 ? IfChainEnd(ends, i) : -1;
            // A condition that may call a function takes the whole way.
            if (link.jump >= 0 && command.argument < m_conditions.size()) {
                const TCondition& condition = m_conditions[command.argument];
                link.op = condition.shape == kShapeOneComparison    ? kOpIfOne
                          : condition.shape == kShapeTwoComparisons ? kOpIfTwo
                          : condition.shape == kShapeSteps          ? kOpIf
                                                                    : kOpGeneral;
                link.value = command.argument;
                link.call = condition.first;
                if (link.op == kOpIfOne && m_steps[condition.first].op == kStepCompareNumber) {
                    const TStep& step = m_steps[condition.first];
                    link.op = kOpIfNumber;
                    link.symbol = step.symbol;
                    link.table = step.table;
                    link.value = static_cast<int64_t>(step.value);
                }
                link.scoped = static_cast<uint8_t>(scoped(i));
            }
            break;
        case kCmdCloseBrace: {
            const uint32_t target = command.target;
            if (command.argument == kCmdFor && target < i && commands[target].kind == kCmdFor) {
                link.op = kOpLoopEnd;
                link.jump = static_cast<int32_t>(target);
                link.symbol = m_links[target].symbol;
                link.value = static_cast<int32_t>(commands[target].target);
            } else if (command.argument == kCmdIf && target >= i && target < count) {
                link.op = kOpIfEnd;
                link.jump = static_cast<int32_t>(target);
            } else if (command.argument != kCmdIf && command.argument != kCmdFor && command.argument != kCmdFunction) {
                link.op = kOpBlockEnd;
            }
            break;
        }
        case kCmdCall:
        case kCmdUserCall:
            LinkCall(i, link);
            link.op = kOpCall;
            break;
        case kCmdReturn:
            link.op = kOpReturn;
            link.value = command.argument;
            break;
        case kCmdSuper: {
            TCallSite site;
            site.name = command.name;
            link.call = static_cast<uint32_t>(m_calls.size());
            m_calls.push_back(std::move(site));
            break;
        }
        default:
            break;
        }
        if (HandlesCommand(command)) {
            link.op = kOpDerived;
        }
    }

    // A false if steps over the else of an "else if" after its brace, when
    // the run would do nothing there (a derived script may run it itself).
    for (size_t i = 0; i < count; ++i) {
        TLink& link = m_links[i];
        if (commands[i].kind == kCmdIf && link.op != kOpDerived && link.end >= 0) {
            const size_t next = static_cast<size_t>(link.end) + 1;
            link.skip = next < count && commands[next].kind == kCmdElse && m_links[next].op == kOpNothing ? 1 : 0;
        }
    }

    m_parameterSymbols.clear();
    for (const std::wstring& name : m_parameterPool) {
        m_parameterSymbols.push_back(Intern(name));
    }
    IndexDeclaredVariables();
    // Names of locals come from the pool and the commands, which may be new.
    std::fill(m_localSources.begin(), m_localSources.end(), nullptr);
    ForgetLookups();
    m_linkedBytes = CommandBytes();
    m_linkLimit = static_cast<uint32_t>(count);
    m_callsInPlace = CallsInPlace();
}

void CScriptBase::LinkCall(size_t index, TLink& link) {
    const std::vector<TCommand>& commands = m_results.Commands();
    const TCommand& command = commands[index];
    TCallSite site;
    site.name = command.name;
    const int32_t function = FindSystemFunction(site.name);
    site.user = function >= 0 && m_registry[function].id == TSystemFunction::kUserFunction;
    if (site.user) {
        const auto it = m_definitions.find(site.name);
        link.jump = it == m_definitions.end() ? -1 : it->second.preferred;
    }
    if (command.argument == 1 && index > 0) {
        site.receiver = commands[index - 1].targetName;
        site.receiverSymbol = Intern(site.receiver);
    }
    try {
        site.texts = ExtractArgs(command.arguments, false, false);
        for (const std::wstring& text : site.texts) {
            site.values.push_back(vek::WcsToUL(text.c_str(), nullptr, 10));
        }
        site.valid = true;
    } catch (const CScriptException&) {
        site.texts.clear(); // fails in its place when it runs
    }
    link.call = static_cast<uint32_t>(m_calls.size());
    m_calls.push_back(std::move(site));
}

void CScriptBase::CompileConditions() {
    const std::vector<TNodeList>& expressions = m_results.Expressions();
    m_conditions.assign(expressions.size(), TCondition());
    m_steps.clear();
    for (size_t i = 0; i < expressions.size(); ++i) {
        TCondition& condition = m_conditions[i];
        condition.first = static_cast<uint32_t>(m_steps.size());
        if (!CompileCondition(expressions[i], condition)) {
            m_steps.resize(condition.first);
            condition = TCondition(); // through the evaluator
        }
    }
}

bool CScriptBase::CompileCondition(const TNodeList& list, TCondition& condition) {
    // Only lists that leave one value and never run short are compiled, so
    // a compiled condition fails only where a variable is missing, in the
    // order the list names them.
    size_t depth = 0;
    for (size_t k = 0; k < list.size(); ++k) {
        const TNode& node = list[k];
        TStep step;
        if (node.kind == kNodeName || node.kind == kNodeNumber) {
            const bool name = node.kind == kNodeName;
            const TNode* next = k + 2 < list.size() ? &list[k + 1] : nullptr;
            // "name number compare" and "name name compare" are one step.
            if (name && next && (next->kind == kNodeNumber || next->kind == kNodeName) &&
                IsComparison(list[k + 2].kind)) {
                step.op = next->kind == kNodeNumber ? kStepCompareNumber : kStepCompareVariable;
                step.compare = static_cast<uint8_t>(list[k + 2].kind);
                for (uint8_t order = 0; order < 3; ++order) {
                    // less, equal, greater
                    if (Compare(step.compare, order == 2 ? 1 : 0, order == 0 ? 1 : 0)) {
                        step.table |= static_cast<uint8_t>(1 << order);
                    }
                }
                step.symbol = Intern(node.text);
                if (next->kind == kNodeNumber) {
                    step.value = next->GetValue();
                } else {
                    step.symbol2 = Intern(next->text);
                }
                k += 2;
            } else if (name) {
                step.op = kStepVariable;
                step.symbol = Intern(node.text);
            } else {
                step.op = kStepNumber;
                step.value = node.GetValue();
            }
            ++depth;
        } else if (node.kind == kNodeNot) {
            if (depth < 1) {
                return false;
            }
            step.op = kStepNot;
        } else if (IsBinaryOperator(node.kind)) {
            if (depth < 2) {
                return false;
            }
            step.op = kStepOperator;
            step.compare = static_cast<uint8_t>(node.kind);
            for (uint8_t bits = 0; bits < 4; ++bits) {
                if (Compare(step.compare, bits >> 1, bits & 1)) {
                    step.table |= static_cast<uint8_t>(1 << bits);
                }
            }
            --depth;
        } else {
            return false; // calls, and kinds that only the evaluator's errors answer
        }
        if (depth > kMaxConditionDepth) {
            return false;
        }
        m_steps.push_back(step);
    }
    if (depth != 1) {
        return false;
    }
    condition.count = static_cast<uint32_t>(m_steps.size()) - condition.first;
    const TStep* step = m_steps.data() + condition.first;
    auto comparison = [](const TStep& s) { return s.op == kStepCompareNumber || s.op == kStepCompareVariable; };
    if (condition.count == 1 && comparison(step[0])) {
        condition.shape = kShapeOneComparison;
    } else if (condition.count == 3 && comparison(step[0]) && comparison(step[1]) && step[2].op == kStepOperator) {
        condition.shape = kShapeTwoComparisons;
    } else {
        condition.shape = kShapeSteps;
    }
    return true;
}

inline uint64_t CScriptBase::RunCompiled(const TCondition& condition) {
    // The common shapes straight away: one comparison, or two joined.
    const TStep* step = m_steps.data() + condition.first;
    switch (condition.shape) {
    case kShapeOneComparison:
        return Compared(step[0]) ? 1 : 0;
    case kShapeTwoComparisons: {
        const bool left = Compared(step[0]);
        const bool right = Compared(step[1]);
        return (step[2].table >> ((left ? 2 : 0) + (right ? 1 : 0))) & 1;
    }
    default:
        return RunSteps(condition);
    }
}

uint64_t CScriptBase::RunCondition(const TCondition& condition, const TNodeList& list) {
    return condition.shape == kShapeEvaluated ? EvaluateExpression(list, *this) : RunCompiled(condition);
}

uint64_t CScriptBase::StepValue(uint32_t symbol) {
    const CVariable* variable = Lookup(symbol);
    if (!variable) [[unlikely]] {
        Fail(kErrVariableNotFound, kExecuteLogExpr, __LINE__);
    }
    return static_cast<uint64_t>(variable->GetValue());
}

uint64_t CScriptBase::RunSteps(const TCondition& condition) {
    uint64_t stack[kMaxConditionDepth];
    size_t depth = 0;
    const TStep* step = m_steps.data() + condition.first;
    for (const TStep* last = step + condition.count; step != last; ++step) {
        switch (step->op) {
        case kStepVariable:
            stack[depth++] = StepValue(step->symbol);
            break;
        case kStepNumber:
            stack[depth++] = step->value;
            break;
        case kStepCompareNumber:
        case kStepCompareVariable:
            stack[depth++] = Compared(*step) ? 1 : 0;
            break;
        case kStepNot:
            stack[depth - 1] = stack[depth - 1] == 0 ? 1 : 0;
            break;
        default:
            --depth;
            stack[depth - 1] = Compare(step->compare, stack[depth - 1], stack[depth]) ? 1 : 0;
            break;
        }
    }
    return stack[0];
}

// --- Variables ---------------------------------------------------------------------

void CScriptBase::AssignBySymbol(uint32_t symbol, int64_t value, bool fromCall) {
    CVariable* variable = Lookup(symbol);
    if (!variable) {
        FailHere(kErrVariableNotFound, L"CScriptBase::VariableAssign", __LINE__);
    }
    if (value < 0) {
        FailHere(kErrExecution, L"CScriptBase::VariableAssign", __LINE__);
    }
    if (fromCall) {
        // A super hands its result on like a call does.
        const auto& commands = m_results.Commands();
        const uint32_t kind =
            m_current >= 0 && static_cast<size_t>(m_current) < commands.size() ? commands[m_current].kind : 0;
        if (!IsCallKind(kind)) {
            FailHere(kErrExecution, L"CScriptBase::VariableAssign", __LINE__);
        }
    }
    variable->SetValue(value);
}

void CScriptBase::GrowLocals() {
    const CVariable* before = m_locals.data();
    m_locals.emplace_back();
    m_localSymbols.push_back(0);
    m_localSources.push_back(nullptr);
    if (m_locals.data() != before) {
        ForgetLookups(); // every local moved
    }
}

template <class TName>
inline void CScriptBase::AddLocal(uint32_t symbol, const TName& name, const void* source, int64_t value) {
    if (m_localCount == m_localSymbols.size()) [[unlikely]] {
        GrowLocals();
    }
    // A slot left by a closed scope keeps its name's storage, and the name
    // itself when it came from the same place.
    CVariable& slot = m_locals[m_localCount];
    if (source == nullptr || m_localSources[m_localCount] != source) [[unlikely]] {
        slot.SetName(name);
        m_localSources[m_localCount] = source;
    }
    slot.SetKind(CVariable::kKindU32);
    slot.SetValue(value);
    slot.SetScope(-1, -1);
    slot.SetScopeMark(CVariable::kNoScopeMark);
    m_localSymbols[m_localCount] = symbol;
    ++m_localCount;
    // The new local hides whatever the name stood for.
    m_bindings.entries[symbol] = TBinding{&slot, m_epoch};
}

// --- Running ------------------------------------------------------------------------

void CScriptBase::Execute() {
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

bool CScriptBase::RunTopUnit() {
    // A command run from outside a run: leaving every call at once ends here.
    const TScopedValue<uint32_t> running(m_busy, m_busy + 1);
    StartRun();
    try {
        return CScriptBase::ExecuteUnit();
    } catch (const TUnwind& unwind) {
        if (unwind.exit) {
            ExitRun();
        }
        return unwind.exit; // after a jump the current command is the label
    }
}

void CScriptBase::ExitRun() {
    const size_t count = m_results.Commands().size();
    m_current = count == 0 ? 0 : static_cast<int32_t>(count - 1);
}

void CScriptBase::DropAllFrames() {
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

bool CScriptBase::HandlesCommand(const TCommand& command) const {
    if (command.kind == kCmdCloseBrace) {
        const uint32_t opener = command.argument;
        return opener != kCmdIf && opener != kCmdElse && opener != kCmdFunction && opener != kCmdFor;
    }
    return !IsBaseKind(command.kind);
}

bool CScriptBase::ExecuteUnit() {
    if (IsIdle()) [[unlikely]] {
        return RunTopUnit();
    }
    if (--m_countdown == 0) [[unlikely]] {
        CheckBudget();
    }
    return RunUnit();
}

void CScriptBase::RunCommands(size_t depth) {
    // The budget's countdown stays in a register while fast forms run; the
    // member has it whenever anything else may see it or an error may end
    // the run.
    uint64_t countdown = m_countdown;
    for (;;) {
        uint32_t at = static_cast<uint32_t>(m_current);
        uint32_t op = kOpGeneral;
        {
            // The fast forms, while their variables are bound to their own
            // values and no scope has to close; anything else takes the whole
            // way. Nothing they do changes the tables, so these stay in
            // registers until the loop hands a command on; calls and
            // returns, which bind names, look the bindings up again.
            const TLink* const links = m_links.data();
            const uint32_t limit = m_linkLimit;
            const TBinding* bindings = m_bindings.entries.data();
            uint32_t epoch = m_epoch;
            const TStep* const steps = m_steps.data();
            // The variable of a symbol while its lookup is kept and it holds
            // its own value; null otherwise.
            auto kept = [&bindings, &epoch](uint32_t symbol) -> CVariable* {
                const TBinding& binding = bindings[symbol];
                return binding.epoch == epoch && !binding.variable->IsBound() ? binding.variable : nullptr;
            };
            // A comparison step's answer while its variables' lookups are
            // kept; false (holds not set) when one is not.
            auto compared = [&bindings, &epoch](const TStep& step, bool& holds) {
                const TBinding& left = bindings[step.symbol];
                if (left.epoch != epoch) {
                    return false;
                }
                uint64_t right = step.value;
                if (step.op == kStepCompareVariable) {
                    const TBinding& variable = bindings[step.symbol2];
                    if (variable.epoch != epoch) {
                        return false;
                    }
                    right = static_cast<uint64_t>(variable.variable->GetValue());
                }
                holds = Holds(step.table, static_cast<uint64_t>(left.variable->GetValue()), right);
                return true;
            };
            // A block's scope opens, while the scope stack has room.
            auto enter = [this](uint32_t opener) {
                if (m_scopes.size() == m_scopes.capacity()) {
                    return false;
                }
                m_scopes.push_back(TScopeMark{m_localCount, static_cast<int32_t>(opener)});
                return true;
            };
            // The end of an if that does not hold: on with the else, if
            // any; the else of an "else if" is stepped over (it does
            // nothing but count) unless the budget's check falls on it.
            auto skipped = [&countdown](const TLink& link) {
                uint32_t next = static_cast<uint32_t>(link.end + 1);
                if (link.skip != 0 && countdown > 1) {
                    --countdown;
                    ++next;
                }
                return next;
            };
            if (at < limit) {
                for (;;) {
                    const TLink& link = links[at];
                    op = link.op;
                    if (--countdown == 0 && op != kOpDerived) [[unlikely]] {
                        op = kOpGeneral; // the check comes first
                        break;
                    }
                    switch (op) {
                    case kOpNothing:
                        ++at;
                        continue;
                    case kOpAssignNumber:
                        if (CVariable* variable = kept(link.symbol)) {
                            variable->SetOwnValue(link.value);
                            ++at;
                            continue;
                        }
                        break;
                    case kOpIncr:
                        if (CVariable* variable = kept(link.symbol)) {
                            const int64_t value = variable->OwnValue();
                            if (value < 4294967295LL) {
                                variable->SetOwnValue(value + 1);
                            }
                            ++at;
                            continue;
                        }
                        break;
                    case kOpDecr:
                        if (CVariable* variable = kept(link.symbol)) {
                            Decrement(*variable);
                            ++at;
                            continue;
                        }
                        break;
                    case kOpLoopEnd: {
                        // Round again, with the loop's own scope innermost (it
                        // stays); the end of the loop takes the whole way.
                        CVariable* counter = kept(link.symbol);
                        if (!counter || counter->OwnValue() >= link.value || m_scopes.size() <= m_scopeFloor ||
                            m_scopes.back().opener != link.jump) {
                            break;
                        }
                        counter->SetOwnValue(counter->OwnValue() + 1);
                        at = static_cast<uint32_t>(link.jump + 1);
                        continue;
                    }
                    case kOpIfNumber:
                    case kOpIfOne:
                    case kOpIfTwo: {
                        // Lookups not kept yet are made on the whole way, which
                        // also reports a missing variable.
                        bool holds = false;
                        if (op == kOpIfNumber) {
                            const TBinding& binding = bindings[link.symbol];
                            if (binding.epoch != epoch) {
                                break;
                            }
                            holds = Holds(link.table, static_cast<uint64_t>(binding.variable->GetValue()),
                                          static_cast<uint64_t>(link.value));
                        } else {
                            const TStep* step = steps + link.call;
                            if (!compared(step[0], holds)) {
                                break;
                            }
                            if (op == kOpIfTwo) {
                                bool right = false;
                                if (!compared(step[1], right)) {
                                    break;
                                }
                                holds = ((step[2].table >> ((holds ? 2 : 0) + (right ? 1 : 0))) & 1) != 0;
                            }
                        }
                        if (!holds) {
                            at = skipped(link);
                            continue;
                        }
                        if (link.scoped != 0 && !enter(at)) {
                            break;
                        }
                        ++at;
                        continue;
                    }
                    case kOpElse:
                        if (link.scoped != 0 && !enter(at)) {
                            break;
                        }
                        ++at;
                        continue;
                    case kOpCall:
                        // A user function entered in place runs on in this
                        // loop; any other call takes the whole way.
                        m_current = static_cast<int32_t>(at);
                        m_countdown = countdown;
                        if (!CallInPlace(link)) {
                            break;
                        }
                        at = static_cast<uint32_t>(m_current);
                        bindings = m_bindings.entries.data();
                        epoch = m_epoch;
                        continue;
                    case kOpReturn:
                        m_current = static_cast<int32_t>(at);
                        m_countdown = countdown;
                        RunReturn(static_cast<int32_t>(link.value));
                        if (m_frames.size() < depth) {
                            return; // the call that ran this loop is over
                        }
                        at = static_cast<uint32_t>(m_current);
                        bindings = m_bindings.entries.data();
                        epoch = m_epoch;
                        continue;
                    case kOpIfEnd:
                        // On after the whole chain.
                        if (!LeaveScopesQuickly(link.jump + 1)) {
                            break;
                        }
                        at = static_cast<uint32_t>(link.jump + 1);
                        continue;
                    case kOpBlockEnd:
                        if (!LeaveScopesQuickly(static_cast<int32_t>(at + 1))) {
                            break;
                        }
                        ++at;
                        continue;
                    default:
                        break;
                    }
                    break;
                }
                // Past the last command (the table's last entry) is no command.
                if (at >= limit) {
                    ++countdown;
                }
            }
        }
        m_current = static_cast<int32_t>(at);
        if (at >= m_linkLimit) [[unlikely]] {
            m_countdown = countdown;
            // Past the end, or not linked: ExecuteUnit links or reports it.
            if (depth == 0 && at >= m_results.Commands().size()) {
                return;
            }
            const bool ends = RunDerived(depth);
            countdown = m_countdown;
            if (ends) {
                return;
            }
            continue;
        }
        if (op == kOpDerived) {
            m_countdown = countdown + 1; // counted where the base runs it
            const bool ends = RunDerived(depth);
            countdown = m_countdown;
            if (ends) {
                return;
            }
            continue;
        }
        // The whole way, and the fast forms that may call out.
        const TLink& link = m_links[at];
        m_countdown = countdown;
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
            // The fast form found it cannot enter the call in place.
            RunCall(m_results.Commands()[at], link);
            ++m_current;
            break;
        default:
            if (countdown == 0) {
                CheckBudget();
            }
            if (RunUnit()) {
                ++m_current;
            }
            break;
        }
        countdown = m_countdown;
        if (LoopEnds(depth)) {
            return;
        }
    }
}

bool CScriptBase::RunIf(uint32_t expression) {
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

bool CScriptBase::RunUnit() {
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
        if (command.extra != kAssignFromCall) {
            AssignBySymbol(link.symbol, static_cast<int64_t>(command.argument), false);
        }
        return true;
    case kCmdCloseBrace:
        if (command.argument == kCmdFor) {
            return RunLoopEnd(command);
        }
        return RunCloseBrace(command);
    case kCmdIf: {
        if (link.jump < 0 || command.argument >= m_results.Expressions().size()) {
            FailHere(kErrExecution, kExecuteUnit, __LINE__);
        }
        return RunIf(command.argument);
    }
    case kCmdElse:
        // The else of an "else if" leaves its block to the if.
        if (command.argument != 1) {
            PushScopeAt(m_current);
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
    case kCmdGoto:
        return RunGoto(link);
    case kCmdReturn:
        return RunReturn(static_cast<int32_t>(command.argument));
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
        if (brace < 0 || static_cast<size_t>(brace) >= commands.size()) {
            FailHere(kErrExecution, kExecuteUnit, __LINE__);
        }
        m_current = brace;
        CutScopes(brace + 1);
        return true;
    }
    case kCmdContinue: {
        const int32_t brace = static_cast<int32_t>(command.argument);
        if (brace <= 0 || static_cast<size_t>(brace) >= commands.size()) {
            FailHere(kErrExecution, kExecuteUnit, __LINE__);
        }
        m_current = brace - 1;
        CutScopes(brace);
        return true;
    }
    case kCmdExit:
        DropAllFrames();
        if (m_nesting > 0) {
            throw TUnwind{true};
        }
        ExitRun();
        return true;
    case kCmdPrintln:
    case kCmdPrint:
        PrintValue(command, link);
        return true;
    case kCmdInput:
        ReadInput(command, link);
        return true;
    case kCmdTapeIn:
        m_workArea[m_workPointer] = ReadInputCharacter();
        return true;
    case kCmdTapeOut:
        WriteDecimal(Console().Output(), m_workArea[m_workPointer]);
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

bool CScriptBase::RunLoopEnd(const TCommand& brace) {
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

bool CScriptBase::RunCloseBrace(const TCommand& command) {
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

bool CScriptBase::RunGoto(const TLink& link) {
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

void CScriptBase::PrepareArguments(const TCommand& command, const TCallSite& site) {
    m_valueStack.clear();
    // Split when linked; a list that could not be split fails now.
    if (site.valid) {
        m_valueStack.assign(site.texts.begin(), site.texts.end());
        return;
    }
    for (std::wstring& text : ExtractArgs(command.arguments, false)) {
        m_valueStack.push_back(std::move(text));
    }
}

bool CScriptBase::RunCall(const TCommand& command, const TLink& link) {
    const TCallSite& site = m_calls[link.call];
    const bool assign = command.argument == 1;
    LocateCommand(static_cast<uint32_t>(m_current));
    if (site.user) {
        // Also a call written above the function's definition.
        if (site.valid) {
            CallUserFunction(site, link, assign, site.values);
            return true;
        }
        std::vector<uint32_t> values;
        for (const std::wstring& text : ExtractArgs(command.arguments, false)) {
            values.push_back(vek::WcsToUL(text.c_str(), nullptr, 10));
        }
        CallUserFunction(site, link, assign, values);
        return true;
    }
    PrepareArguments(command, site);
    // By name, so that a derived script's own dispatch sees every call.
    ExecuteFunction(site.name, assign, assign ? site.receiver : kNoName);
    AfterBuiltIn();
    return true;
}

bool CScriptBase::CallInPlace(const TLink& link) {
    // As ExecuteUserFunction enters a call resolved ahead; anything it would
    // report (no definition, no body, too many calls) takes that way.
    const TCallSite& site = m_calls[link.call];
    const int32_t definition = link.jump;
    if (!m_callsInPlace || !site.user || !site.valid || definition < 0 || m_links[definition].end < 0 ||
        m_frames.size() >= kMaxCallDepth) {
        return false;
    }
    LocateCommand(static_cast<uint32_t>(m_current));
    const bool assign = m_results.Commands()[m_current].argument == 1;
    const uint32_t receiver = !assign ? 0 : site.receiverSymbol != 0 ? site.receiverSymbol : Intern(site.receiver);
    TCallFrame& frame = PushFrame(definition, assign ? 1 : 0, receiver);
    frame.argumentCount = static_cast<uint32_t>(site.values.size());
    frame.inPlace = 1;
    for (const uint32_t value : site.values) {
        m_argumentPool.push_back(value);
    }
    if (!m_valueStack.empty()) {
        m_valueStack.clear();
    }
    m_scopeFloor = frame.scopeDepth + 1;
    EnterBody(frame);
    return true;
}

CScriptBase::TCallFrame& CScriptBase::PushFrame(int32_t definition, uint8_t flag, uint32_t receiver) {
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

void CScriptBase::EnterBody(const TCallFrame& frame) {
    // Values handed in arrive last first, then the parameters by name.
    while (!m_pending.empty()) {
        const CVariable& variable = m_pending.back();
        AddLocal(Intern(variable.GetName()), variable.GetName(), nullptr, variable.GetValue());
        m_pending.pop_back();
    }
    const TCommand& function = m_results.Commands()[frame.definition];
    const uint32_t parameters = function.extra;
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

void CScriptBase::CallUserFunction(const TCallSite& site, const TLink& link, bool assign,
                                   const std::vector<uint32_t>& values) {
    const CHandoffScope offer(*this, THandoff{&site.name, m_current, true, link.jump, site.receiverSymbol,
                                              values.data(), static_cast<uint32_t>(values.size())});
    ExecuteUserFunction(site.name, assign ? 1 : 0, assign ? site.receiver : kNoName, true, true);
}

bool CScriptBase::RunSuper(const TCommand&, const TLink& link) {
    if (m_frames.empty()) {
        FailHere(kErrExecution, kExecuteUnit, __LINE__);
    }
    const std::wstring& name = m_calls[link.call].name;
    if (FindSystemFunction(name) < 0) {
        return true;
    }
    const TCallFrame frame = m_frames.back();
    // The overridden version gets the arguments that this call got.
    const std::vector<uint32_t> values(m_argumentPool.begin() + frame.argumentBase,
                                       m_argumentPool.begin() + frame.argumentBase + frame.argumentCount);
    const TDefinitions* definitions = FindDefinitions(name);
    const CHandoffScope offer(*this, THandoff{&name, m_current, false, definitions ? definitions->plain : -1,
                                              frame.receiver, values.data(), static_cast<uint32_t>(values.size())});
    ExecuteUserFunction(name, frame.flag, m_symbolNames[frame.receiver], false, true);
    return true;
}

bool CScriptBase::ExecuteUserFunction(const std::wstring& name, uint8_t flag, const std::wstring& receiver,
                                      bool preferOverriding, bool mustExist) {
    if (IsIdle()) {
        StartRun();
    }
    EnsureLinked();
    // A call command resolved its function and arguments ahead; anyone else
    // is looked up by name and hands its arguments on the value stack.
    const THandoff* offered = m_handoff;
    const bool resolved = offered != nullptr && offered->command == m_current &&
                          offered->preferOverriding == preferOverriding &&
                          (offered->name == &name || TNoCaseEqual()(*offered->name, name));
    if (resolved) {
        m_handoff = nullptr; // taken once
    }
    int32_t definition = resolved ? offered->definition : -1;
    if (definition < 0) {
        if (const TDefinitions* definitions = FindDefinitions(name)) {
            definition = preferOverriding ? definitions->preferred : definitions->plain;
        }
    }
    if (definition < 0) {
        if (mustExist) {
            FailHere(kErrFunctionNotFound, kExecuteUserFunction, __LINE__);
        }
        return false;
    }
    const int32_t end = m_links[definition].end;
    if (end < 0) {
        FailHere(kErrExecution, kExecuteUserFunction, __LINE__);
    }
    if (m_frames.size() >= kMaxCallDepth) {
        FailHere(kErrExecution, kExecuteUserFunction, __LINE__, CallDepthDetails());
    }

    const uint32_t receiverSymbol =
        flag == 0 ? 0 : (resolved && offered->receiver != 0 ? offered->receiver : Intern(receiver));
    TCallFrame& frame = PushFrame(definition, flag, receiverSymbol);
    if (resolved) {
        for (uint32_t k = 0; k < offered->count; ++k) {
            m_argumentPool.push_back(offered->values[k]);
        }
    } else {
        for (const std::wstring& text : m_valueStack) {
            m_argumentPool.push_back(vek::WcsToUL(text.c_str(), nullptr, 10));
        }
    }
    if (!m_valueStack.empty()) {
        m_valueStack.clear();
    }
    frame.argumentCount = static_cast<uint32_t>(m_argumentPool.size()) - frame.argumentBase;
    m_scopeFloor = frame.scopeDepth + 1;

    EnterBody(frame);

    const size_t depth = m_frames.size();
    const bool outermost = IsIdle();
    const TScopedValue<uint32_t> nesting(m_nesting, m_nesting + 1);
    const TScopedValue<uint32_t> busy(m_busy, m_busy + 1);
    try {
        // The body runs until its frame is gone: by return, by its closing
        // brace, or by exit and jumps out of it.
        RunCommands(depth);
    } catch (const TUnwind& unwind) {
        if (!outermost) {
            throw;
        }
        if (unwind.exit) {
            ExitRun();
        }
    }
    return true;
}

void CScriptBase::LogSystemCommand(const TCommand& command) {
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

void CScriptBase::EnterFunction(int32_t definition) {
    EnsureLinked();
    if (definition < 0 || static_cast<size_t>(definition) >= m_links.size() || m_links[definition].end < 0) {
        FailHere(kErrExecution, kExecuteUserFunction, __LINE__);
    }
    if (m_frames.size() >= kMaxCallDepth) {
        FailHere(kErrExecution, kExecuteUserFunction, __LINE__, CallDepthDetails());
    }
    m_scopeFloor = PushFrame(definition, 0, 0).scopeDepth + 1;
    PushScopeAt(definition);
    m_current = definition + 1;
}

bool CScriptBase::RunReturn(int32_t value) {
    m_returnValue = value;
    Return();
    return false; // the run goes on after the calling command
}

void CScriptBase::Return() {
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
    // What AssignBySymbol checks, at once while the lookup is kept.
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

uint64_t CScriptBase::ExecuteLogExpr(const TNodeList& list) {
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

// --- Console -----------------------------------------------------------------------

void CScriptBase::PrintValue(const TCommand& command, const TLink& link) {
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

void CScriptBase::ReadInput(const TCommand&, const TLink& link) {
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

uint8_t CScriptBase::ReadInputCharacter() {
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
