// Running a parsed script: statements, calls and returns, and the tables
// that let a run jump without searching.
#include <istream>
#include <limits>
#include <ostream>

#include "VEKLib/Strings.h"
#include "script/ScriptBase.h"
#include "script/ScriptException.h"

namespace {

constexpr const wchar_t* kExecuteUnit = L"CScriptBase::ExecuteUnit";
constexpr const wchar_t* kExecuteUserFunction = L"CScriptBase::ExecuteUserFunction";

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

} // namespace

// --- Tables -------------------------------------------------------------------------

void CScriptBase::Link() {
    std::vector<TCommand>& commands = m_results.Commands();
    const size_t count = commands.size();
    const std::vector<int32_t> ends = FindBlockEnds();
    m_links.assign(count, TLink());
    // Lists split for other commands are no use.
    if (m_callArguments.size() != count) {
        m_callArguments.assign(count, TCallArguments());
    }
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

    for (size_t i = 0; i < count; ++i) {
        TCommand& command = commands[i];
        TLink& link = m_links[i];
        switch (command.kind) {
        case kCmdAssign:
        case kCmdInput:
        case kCmdIncr:
        case kCmdDecr:
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
        case kCmdGoto: {
            const auto it = labels.find(command.name);
            link.jump = it == labels.end() ? -1 : it->second;
            break;
        }
        case kCmdIf: {
            // The end of the whole if/else chain, where a taken body goes on.
            int32_t end = ends[i];
            while (end >= 0 && static_cast<size_t>(end) + 1 < count && commands[end + 1].kind == kCmdElse) {
                end = ends[end + 1];
            }
            if (ends[i] >= 0 && end >= 0) {
                commands[ends[i]].target = static_cast<uint32_t>(end);
            }
            link.jump = ends[i] >= 0 ? end : -1;
            break;
        }
        case kCmdCall:
        case kCmdUserCall: {
            link.function = FindSystemFunction(command.name);
            if (link.function >= 0 && m_registry[link.function].id == TSystemFunction::kUserFunction) {
                const auto it = m_definitions.find(command.name);
                link.jump = it == m_definitions.end() ? -1 : it->second.preferred;
            }
            if (command.argument == 1 && i > 0) {
                link.receiver = Intern(commands[i - 1].targetName);
            }
            break;
        }
        default:
            break;
        }
    }

    m_parameterSymbols.clear();
    for (const std::wstring& name : m_parameterPool) {
        m_parameterSymbols.push_back(Intern(name));
    }
    for (TNodeList& list : m_results.Expressions()) {
        for (TNode& node : list) {
            if (node.kind == kNodeName) {
                node.symbol = Intern(node.text);
            }
        }
    }
    IndexDeclaredVariables();
    m_linkedCount = count;
}

// --- Running ------------------------------------------------------------------------

void CScriptBase::Execute() {
    if (!IsParsed()) {
        Fail(kErrExecution, L"CScriptBase::Execute", __LINE__);
    }
    if (IsIdle()) {
        StartRun();
    }
    EnsureLinked();
    while (m_current >= 0 && static_cast<size_t>(m_current) < m_results.Commands().size()) {
        if (ExecuteUnit()) {
            ++m_current;
        }
    }
}

bool CScriptBase::ExecuteUnit() {
    if (m_nesting != 0 || m_inTopUnit) {
        return RunUnit();
    }
    // A top-level command: leaving every call at once ends here.
    m_inTopUnit = true;
    try {
        const bool next = RunUnit();
        m_inTopUnit = false;
        return next;
    } catch (const TUnwind& unwind) {
        m_inTopUnit = false;
        if (unwind.exit) {
            ExitRun();
        }
        return unwind.exit; // after a jump the current command is the label
    } catch (...) {
        m_inTopUnit = false;
        throw;
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
    m_valueStack.clear();
}

bool CScriptBase::RunUnit() {
    if (++m_executed >= m_nextCheck) {
        CheckBudget();
    }
    EnsureLinked();
    std::vector<TCommand>& commands = m_results.Commands();
    if (m_current < 0 || static_cast<size_t>(m_current) >= commands.size()) {
        Fail(kErrExecution, kExecuteUnit, __LINE__);
    }
    const TCommand& command = commands[m_current];
    const TLink& link = m_links[m_current];
    switch (command.kind) {
    case kCmdAssign:
        // The value of "x = F()" comes from the call that follows.
        if (command.extra != kAssignFromCall) {
            AssignBySymbol(link.symbol, command.targetName, static_cast<int64_t>(command.argument), false);
        }
        return true;
    case kCmdCloseBrace:
        return RunCloseBrace(command);
    case kCmdIf: {
        if (link.jump < 0 || command.argument >= m_results.Expressions().size()) {
            FailHere(kErrExecution, kExecuteUnit, __LINE__);
        }
        LocateCommand(static_cast<uint32_t>(m_current));
        const int32_t self = m_current;
        const uint64_t value = ExecuteLogExpr(m_results.Expressions()[command.argument]);
        m_current = self;
        if (value == 0) {
            m_current = m_links[self].end; // on with the else, if any
        } else {
            PushScopeAt(self);
        }
        return true;
    }
    case kCmdElse:
        // The else of an "else if" leaves its block to the if.
        if (command.argument != 1) {
            PushScopeAt(m_current);
        }
        return true;
    case kCmdLabel:
        return true;
    case kCmdGoto:
        return RunGoto(link);
    case kCmdReturn:
        m_returnValue = static_cast<int32_t>(command.argument);
        Return();
        return false;
    case kCmdFunction:
        // A definition met in the flow is stepped over.
        if (link.end < 0) {
            FailHere(kErrExecution, kExecuteUnit, __LINE__);
        }
        m_current = link.end;
        return true;
    case kCmdFor:
        PushScopeAt(m_current);
        AddLocal(link.symbol, command.name, static_cast<int64_t>(command.argument));
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
    case kCmdTapeIn:
        m_workArea[m_workPointer] = ReadInputCharacter();
        return true;
    case kCmdTapeOut:
        WriteDecimal(Console().Output(), m_workArea[m_workPointer]);
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
    case kCmdSystem:
        Console().System(command.name);
        return true;
    case kCmdCall:
    case kCmdUserCall:
        return RunCall(command, link);
    case kCmdIncr: {
        CVariable& variable = RequireBySymbol(link.symbol, command.targetName);
        const int64_t value = variable.GetValue();
        if (value < 4294967295LL) {
            variable.SetValue(value + 1);
        }
        return true;
    }
    case kCmdDecr: {
        CVariable& variable = RequireBySymbol(link.symbol, command.targetName);
        const int64_t value = variable.GetValue();
        if (value != 0 && value != std::numeric_limits<int64_t>::min()) {
            variable.SetValue(value - 1);
        }
        return true;
    }
    case kCmdSuper:
        return RunSuper(command);
    case kCmdEnd:
        return true;
    default:
        FailHere(kErrUnknownCommand, kExecuteUnit, __LINE__);
    }
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
    case kCmdFor: {
        const uint32_t loopIndex = command.target;
        if (loopIndex >= commands.size() || commands[loopIndex].kind != kCmdFor) {
            FailHere(kErrExecution, kExecuteUnit, __LINE__);
        }
        const TCommand& loop = commands[loopIndex];
        CVariable* counter = FindBySymbol(m_links[loopIndex].symbol, loop.name);
        if (!counter) {
            FailHere(kErrExecution, kExecuteUnit, __LINE__);
        }
        const int64_t value = counter->GetValue();
        const int64_t next = value < std::numeric_limits<int64_t>::max() ? value + 1 : value;
        counter->SetValue(next);
        // The whole counter against the end value: a loop up to the largest
        // end value still ends.
        if (next <= static_cast<int64_t>(static_cast<int32_t>(loop.target))) {
            m_current = static_cast<int32_t>(loopIndex);
            CutScopes(m_current + 1);
        } else {
            CutScopes(m_current + 1);
        }
        return true;
    }
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

void CScriptBase::PrepareArguments(const TCommand& command) {
    m_valueStack.clear();
    // Split by the parse checks; a list that could not be split then fails now.
    const TCallArguments& arguments = m_callArguments[m_current];
    if (arguments.valid) {
        for (const std::wstring& text : arguments.texts) {
            m_valueStack.push_back(text);
        }
    } else {
        for (std::wstring& text : ExtractArgs(command.arguments, false)) {
            m_valueStack.push_back(std::move(text));
        }
    }
}

bool CScriptBase::RunCall(const TCommand& command, const TLink& link) {
    const bool assign = command.argument == 1;
    const std::wstring& receiver = assign && m_current > 0 ? m_results.Commands()[m_current - 1].targetName : kNoName;
    LocateCommand(static_cast<uint32_t>(m_current));
    if (link.function >= 0 && m_registry[link.function].id == TSystemFunction::kUserFunction) {
        // Also a call written above the function's definition.
        const TCallArguments& arguments = m_callArguments[m_current];
        std::vector<uint32_t> values;
        if (!arguments.valid) {
            for (const std::wstring& text : ExtractArgs(command.arguments, false)) {
                values.push_back(vek::WcsToUL(text.c_str(), nullptr, 10));
            }
        }
        const std::vector<uint32_t>& given = arguments.valid ? arguments.values : values;
        const CHandoffScope offer(*this, THandoff{&command.name, m_current, true, link.jump, link.receiver,
                                                  given.data(), static_cast<uint32_t>(given.size())});
        ExecuteUserFunction(command.name, assign ? 1 : 0, receiver, true, true);
        return true;
    }
    PrepareArguments(command);
    // By name, so that a derived script's own dispatch sees every call.
    ExecuteFunction(command.name, assign, receiver);
    return true;
}

bool CScriptBase::RunSuper(const TCommand& command) {
    if (m_frames.empty()) {
        FailHere(kErrExecution, kExecuteUnit, __LINE__);
    }
    if (FindSystemFunction(command.name) < 0) {
        return true;
    }
    const TCallFrame frame = m_frames.back();
    // The overridden version gets the arguments that this call got.
    const std::vector<uint32_t> values(m_argumentPool.begin() + frame.argumentBase,
                                       m_argumentPool.begin() + frame.argumentBase + frame.argumentCount);
    const TDefinitions* definitions = FindDefinitions(command.name);
    const CHandoffScope offer(*this, THandoff{&command.name, m_current, false, definitions ? definitions->plain : -1,
                                              frame.receiver, values.data(), static_cast<uint32_t>(values.size())});
    ExecuteUserFunction(command.name, frame.flag, m_symbolNames[frame.receiver], false, true);
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
    const THandoff handoff = m_handoff;
    const bool resolved = handoff.name != nullptr && handoff.command == m_current &&
                          handoff.preferOverriding == preferOverriding &&
                          (handoff.name == &name || TNoCaseEqual()(*handoff.name, name));
    if (resolved) {
        m_handoff = THandoff(); // taken once
    }
    int32_t definition = resolved ? handoff.definition : -1;
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
        FailHere(kErrExecution, kExecuteUserFunction, __LINE__);
    }

    TCallFrame frame;
    frame.returnCommand = m_current;
    frame.flag = flag;
    frame.receiver = flag == 0 ? 0 : (resolved && handoff.receiver != 0 ? handoff.receiver : Intern(receiver));
    frame.definition = definition;
    frame.scopeDepth = static_cast<uint32_t>(m_scopes.size());
    frame.localBase = m_localCount;
    frame.argumentBase = static_cast<uint32_t>(m_argumentPool.size());
    if (resolved) {
        m_argumentPool.insert(m_argumentPool.end(), handoff.values, handoff.values + handoff.count);
    } else {
        for (const std::wstring& text : m_valueStack) {
            m_argumentPool.push_back(vek::WcsToUL(text.c_str(), nullptr, 10));
        }
    }
    m_valueStack.clear();
    frame.argumentCount = static_cast<uint32_t>(m_argumentPool.size()) - frame.argumentBase;
    m_frames.push_back(frame);

    // Values handed in arrive last first, then the parameters by name.
    while (!m_pending.empty()) {
        const CVariable& variable = m_pending.back();
        AddLocal(Intern(variable.GetName()), variable.GetName(), variable.GetValue());
        m_pending.pop_back();
    }
    const TCommand& function = m_results.Commands()[definition];
    const uint32_t parameters = function.extra;
    for (uint32_t k = 0; k < parameters && k < frame.argumentCount; ++k) {
        const uint32_t slot = function.target + parameters - 1 - k; // stored last first
        if (slot >= m_parameterPool.size()) {
            break;
        }
        AddLocal(m_parameterSymbols[slot], m_parameterPool[slot], m_argumentPool[frame.argumentBase + k]);
    }
    PushScopeAt(definition);
    m_current = definition + 1;

    const size_t depth = m_frames.size();
    const bool outermost = IsIdle();
    struct TNesting {
        uint32_t& count;
        explicit TNesting(uint32_t& c) : count(c) { ++count; }
        ~TNesting() { --count; }
    } nesting(m_nesting);
    try {
        // The body runs until its frame is gone: by return, by its closing
        // brace, or by exit and jumps out of it.
        while (m_frames.size() >= depth) {
            if (ExecuteUnit()) {
                ++m_current;
            }
        }
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

void CScriptBase::Return() {
    if (m_frames.empty()) {
        FailHere(kErrCallStackEmpty, L"CScriptBase::Return", __LINE__);
    }
    const TCallFrame frame = m_frames.back();
    m_frames.pop_back();
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
    m_valueStack.clear();
    if (frame.flag != 0) {
        AssignBySymbol(frame.receiver, m_symbolNames[frame.receiver], static_cast<int64_t>(m_returnValue), true);
    }
}

uint64_t CScriptBase::ExecuteLogExpr(const TNodeList& list) { return EvaluateExpression(list, *this); }

// --- Console -----------------------------------------------------------------------

void CScriptBase::PrintValue(const TCommand& command, const TLink& link) {
    std::wostream& out = Console().Output();
    if (command.argument == 1) {
        const CVariable& variable = RequireBySymbol(link.symbol, command.name);
        WriteDecimal(out, static_cast<uint64_t>(variable.GetValue()));
    } else {
        out << command.name;
    }
    if (command.kind == kCmdPrintln) {
        out << L'\n';
    }
    out.flush();
}

void CScriptBase::ReadInput(const TCommand& command, const TLink& link) {
    RequireBySymbol(link.symbol, command.targetName);
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
    AssignBySymbol(link.symbol, command.targetName, value, false);
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
