// Linking: the passes that make the command list ready to run.
#include "script/ScriptLinker.h"

#include <algorithm>

#include "VEKLib/Strings.h"
#include "script/ScriptException.h"

void CScriptLinker::Link() {
    if (!m_calls.empty()) {
        KeepCallArguments();
    }
    const size_t count = m_results.Commands().size();
    TLinkPass pass;
    pass.ends = FindBlockEnds();
    // One more: past the last command the run leaves its fast path.
    m_links.assign(count + 1, TLink());
    m_calls.clear();
    m_definitions.clear();
    m_callsInPlace = CallsInPlace();
    LinkBlocks(pass);
    // The conditions first: an if's fast-path form depends on its shape.
    CompileConditions();
    LinkCommands(pass);
    LinkElseSkips();
    LinkJumps();
    FinishLink();
}

void CScriptLinker::LinkBlocks(TLinkPass& pass) {
    const std::vector<TCommand>& commands = m_results.Commands();
    const size_t count = commands.size();
    std::vector<int32_t> functions; // definitions around the command, innermost last
    std::vector<int32_t> tapeTests; // icmp commands not yet paired
    std::vector<int32_t> openers;   // blocks around the command, innermost last
    pass.loopsBefore.assign(count + 1, 0);
    pass.enclosing.assign(count, -1);
    for (size_t i = 0; i < count; ++i) {
        const int32_t index = static_cast<int32_t>(i);
        const TCommand& command = commands[i];
        TLink& link = m_links[i];
        while (!functions.empty() && pass.ends[functions.back()] >= 0 && pass.ends[functions.back()] < index) {
            functions.pop_back();
        }
        while (!openers.empty() && pass.ends[openers.back()] < index) {
            openers.pop_back();
        }
        pass.enclosing[i] = openers.empty() ? -1 : openers.back();
        if (IsBlockKind(command.kind) && pass.ends[i] >= 0) {
            openers.push_back(index);
        }
        link.owner = functions.empty() ? -1 : functions.back();
        link.end = pass.ends[i];
        pass.loopsBefore[i + 1] = pass.loopsBefore[i] + (command.kind == kCmdFor ? 1 : 0);
        switch (command.kind) {
        case kCmdFunction: {
            functions.push_back(index);
            TDefinitions& definitions = m_definitions[command.name];
            // The first overriding definition is preferred; without one, the last.
            if (definitions.preferred < 0 || commands[definitions.preferred].Flag() != 1) {
                definitions.preferred = index;
            }
            if (command.Flag() != 1 && definitions.plain < 0) {
                definitions.plain = index;
            }
            break;
        }
        case kCmdLabel:
            pass.labels.emplace(command.name, index);
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
}

uint8_t CScriptLinker::IsScoped(size_t opener, const TLinkPass& pass) {
    // A body without a for adds no local, so its scope need not open where
    // the run takes the fast path (every block end closes the scopes that
    // do not hold where it goes).
    const int32_t end = pass.ends[opener];
    return end < 0 || pass.loopsBefore[static_cast<size_t>(end)] != pass.loopsBefore[opener + 1] ? 1 : 0;
}

void CScriptLinker::LinkCommands(const TLinkPass& pass) {
    // A loop's for comes before its brace, so the brace finds the counter's
    // symbol made.
    const std::vector<TCommand>& commands = m_results.Commands();
    for (size_t i = 0; i < commands.size(); ++i) {
        LinkCommand(i, pass);
        if (HandlesCommand(commands[i])) {
            m_links[i].op = kOpDerived;
        }
    }
}

void CScriptLinker::LinkCommand(size_t index, const TLinkPass& pass) {
    const TCommand& command = m_results.Commands()[index];
    TLink& link = m_links[index];
    switch (command.kind) {
    case kCmdAssign:
        link.symbol = Intern(command.TargetName());
        link.op = command.Extra() == kAssignFromCall ? kOpNothing : kOpAssignNumber;
        link.value = command.argument;
        break;
    case kCmdIncr:
    case kCmdDecr:
        link.symbol = Intern(command.TargetName());
        link.op = command.kind == kCmdIncr ? kOpIncr : kOpDecr;
        break;
    case kCmdInput:
        link.symbol = Intern(command.TargetName());
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
    case kCmdTapeRight:
        link.op = kOpTapeRight;
        break;
    case kCmdTapeLeft:
        link.op = kOpTapeLeft;
        break;
    case kCmdTapeAdd:
        link.op = kOpTapeAdd;
        break;
    case kCmdTapeSub:
        link.op = kOpTapeSub;
        break;
    case kCmdTapeTest:
        link.op = kOpTapeTest;
        break;
    case kCmdTapeLoop:
        link.op = kOpTapeLoop;
        break;
    case kCmdElse:
        link.op = command.argument == 1 ? kOpNothing : kOpElse;
        link.scoped = IsScoped(index, pass);
        break;
    case kCmdGoto: {
        const auto it = pass.labels.find(command.name);
        link.jump = it == pass.labels.end() ? -1 : it->second;
        break;
    }
    case kCmdIf:
        LinkIf(index, pass, link);
        break;
    case kCmdCloseBrace:
        LinkCloseBrace(index, pass, link);
        break;
    case kCmdCall:
    case kCmdUserCall:
        LinkCall(index, link);
        link.op = kOpCall;
        break;
    case kCmdReturn:
        link.op = kOpReturn;
        link.value = command.argument;
        break;
    case kCmdFunction:
        link.value = command.Extra(); // the parameter count, which every call reads
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
}

void CScriptLinker::LinkIf(size_t index, const TLinkPass& pass, TLink& link) {
    const TCommand& command = m_results.Commands()[index];
    link.jump = pass.ends[index] >= 0 ? IfChainEnd(pass.ends, index) : -1;
    // A condition that may call a function takes the slow path.
    if (link.jump < 0 || command.argument >= m_conditions.size()) {
        return;
    }
    const TCondition& condition = m_conditions[command.argument];
    link.op = condition.shape == kShapeOneComparison    ? kOpIfOne
              : condition.shape == kShapeTwoComparisons ? kOpIfTwo
              : condition.shape == kShapeSteps          ? kOpIf
                                                        : kOpGeneral;
    link.value = command.argument;
    link.call = condition.first;
    if (link.op == kOpIfOne && m_steps[condition.first].op == kStepCompareNumber) {
        // Node kinds of the comparisons and their ops are in the same order.
        const TStep& step = m_steps[condition.first];
        link.op = static_cast<uint8_t>(kOpIfEqual + (step.compare - kNodeEqual));
        link.symbol = step.symbol;
        link.table = step.table;
        link.value = static_cast<int64_t>(step.value);
    }
    link.scoped = IsScoped(index, pass);
}

void CScriptLinker::LinkCloseBrace(size_t index, const TLinkPass& pass, TLink& link) {
    const std::vector<TCommand>& commands = m_results.Commands();
    const TCommand& command = commands[index];
    const uint32_t target = command.target;
    if (command.argument == kCmdFor && target < index && commands[target].kind == kCmdFor) {
        link.op = kOpLoopEnd;
        link.jump = static_cast<int32_t>(target);
        link.symbol = m_links[target].symbol;
        link.value = static_cast<int32_t>(commands[target].target);
    } else if (command.argument == kCmdIf && target >= index && target < commands.size()) {
        link.op = kOpIfEnd;
        link.jump = static_cast<int32_t>(target);
        link.value = StayingOpener(index, static_cast<int32_t>(target) + 1, pass);
    } else if (command.argument != kCmdIf && command.argument != kCmdFor && command.argument != kCmdFunction) {
        link.op = kOpBlockEnd;
        link.value = StayingOpener(index, static_cast<int32_t>(index) + 1, pass);
    }
}

int32_t CScriptLinker::StayingOpener(size_t brace, int32_t next, const TLinkPass& pass) const {
    // The brace's own block is the innermost around it; the if and else
    // blocks around that one may have no scope open.
    const std::vector<TCommand>& commands = m_results.Commands();
    const int32_t own = pass.enclosing[brace];
    int32_t opener = own >= 0 ? pass.enclosing[own] : -1;
    while (opener >= 0 && (commands[opener].kind == kCmdIf || commands[opener].kind == kCmdElse)) {
        opener = pass.enclosing[opener];
    }
    // As the run sees it: a scope stays when its block holds where it goes.
    if (opener < 0) {
        return kNoOpener;
    }
    const int32_t end = pass.ends[opener];
    return end < 0 || (opener < next && next <= end) ? opener : kNoOpener;
}

void CScriptLinker::LinkElseSkips() {
    // Only where the run would do nothing at the else (a derived script may
    // run it itself).
    const std::vector<TCommand>& commands = m_results.Commands();
    const size_t count = commands.size();
    for (size_t i = 0; i < count; ++i) {
        TLink& link = m_links[i];
        if (commands[i].kind == kCmdIf && link.op != kOpDerived && link.end >= 0) {
            const size_t next = static_cast<size_t>(link.end) + 1;
            link.skip = next < count && commands[next].kind == kCmdElse && m_links[next].op == kOpNothing ? 1 : 0;
        }
    }
}

void CScriptLinker::LinkJumps() {
    const size_t count = m_results.Commands().size();
    for (size_t i = 0; i < count; ++i) {
        TLink& link = m_links[i];
        int32_t next = static_cast<int32_t>(i) + 1;
        switch (link.op) {
        case kOpLoopEnd:
        case kOpIfEnd:
            next = link.jump + 1;
            break;
        case kOpIfOne:
        case kOpIfTwo:
        case kOpIfEqual:
        case kOpIfNotEqual:
        case kOpIfLess:
        case kOpIfGreater:
        case kOpIfLessEqual:
        case kOpIfGreaterEqual:
            next = link.end + 1 + link.skip; // where it goes when it does not hold
            break;
        case kOpTapeTest:
            next = link.jump >= 0 ? link.jump + 1 : next;
            break;
        case kOpTapeLoop:
            next = link.jump >= 0 ? link.jump : next;
            break;
        default:
            break;
        }
        link.next = next * static_cast<int32_t>(sizeof(TLink));
    }
}

void CScriptLinker::FinishLink() {
    m_parameterSymbols.clear();
    for (const CSharedText& name : m_parameterPool) {
        m_parameterSymbols.push_back(Intern(name));
    }
    IndexDeclaredVariables();
    // Names of locals come from the pool and the commands, which may be new.
    std::fill(m_localSources.begin(), m_localSources.end(), nullptr);
    ForgetLookups();
    m_linkedBytes = CommandBytes();
    m_linkLimit = static_cast<uint32_t>(m_results.Commands().size());
}

void CScriptLinker::LinkCall(size_t index, TLink& link) {
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
    site.assign = command.argument == 1;
    if (site.assign && index > 0) {
        site.receiver = commands[index - 1].TargetName();
        site.receiverSymbol = Intern(site.receiver);
    }
    try {
        site.texts = ExtractArgs(command.Arguments(), false, false);
        for (const std::wstring& text : site.texts) {
            site.values.push_back(vek::WcsToUL(text.c_str(), nullptr, 10));
        }
        site.valid = true;
    } catch (const CScriptException&) {
        site.texts.clear(); // fails in its place when it runs
    }
    // As ExecuteUserFunction enters a call resolved ahead; anything it would
    // report (no definition, no body) takes that way.
    link.scoped = m_callsInPlace && site.user && site.valid && link.jump >= 0 && m_links[link.jump].end >= 0;
    if (link.scoped != 0) {
        LinkParameters(commands[link.jump], site);
    }
    link.call = static_cast<uint32_t>(m_calls.size());
    m_calls.push_back(std::move(site));
}

void CScriptLinker::LinkParameters(const TCommand& function, TCallSite& site) const {
    // As the run enters a body: none when the last slot is not in the pool.
    const auto parameters = static_cast<uint32_t>(function.Extra());
    const auto arguments = static_cast<uint32_t>(site.values.size());
    site.firstParameter = function.target + parameters - 1;
    const bool inPool = parameters != 0 && site.firstParameter < m_parameterPool.size();
    site.parameterLocals = inPool ? std::min(parameters, arguments) : 0;
}

bool CScriptLinker::HandlesCommand(const TCommand& command) const {
    if (command.kind == kCmdCloseBrace) {
        const uint32_t opener = command.argument;
        return opener != kCmdIf && opener != kCmdElse && opener != kCmdFunction && opener != kCmdFor;
    }
    return !IsBaseKind(command.kind);
}

const CScriptLinker::TDefinitions* CScriptLinker::FindDefinitions(const std::wstring& name) const {
    const auto it = m_definitions.find(name);
    return it == m_definitions.end() ? nullptr : &it->second;
}

void CScriptLinker::ClearLinks() {
    if (!m_calls.empty()) {
        KeepCallArguments();
    }
    m_links.clear();
    m_calls.clear();
    m_conditions.clear();
    m_steps.clear();
    Unlink();
}
