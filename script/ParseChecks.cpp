// The whole-text checks after the statement loop, and the block lookups and
// scope rules they share with the interpreter.
#include <algorithm>
#include <limits>
#include <ostream>
#include <unordered_map>

#include "VEKLib/Console.h"
#include "VEKLib/Files.h"
#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
#include "script/ScriptException.h"
#include "script/ScriptParser.h"

namespace {

constexpr const wchar_t* kParse = L"CScriptBase::Parse";

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool OutOfScope(const CVariable& variable, int32_t useStart, int32_t useEnd) {
    return variable.HasScope() && (useStart < variable.GetScopeStart() || useEnd > variable.GetScopeEnd());
}

// The end of a block for nesting purposes: an unclosed block runs on.
int32_t EndOrMax(const std::vector<int32_t>& ends, int32_t opener) {
    return ends[opener] < 0 ? std::numeric_limits<int32_t>::max() : ends[opener];
}

// Walks the command list keeping the block openers that enclose the command
// being looked at, innermost last.
class COpenBlocks {
public:
    COpenBlocks(const std::vector<TCommand>& commands, const std::vector<int32_t>& ends)
        : m_commands(commands), m_ends(ends) {}
    // Before looking at command index.
    void Enter(int32_t index) {
        while (!m_open.empty() && EndOrMax(m_ends, m_open.back()) < index) {
            m_open.pop_back();
        }
    }
    // After looking at it.
    void Leave(int32_t index) {
        if (m_ends[index] >= 0 || m_commands[index].kind == kCmdFunction || m_commands[index].kind == kCmdFor) {
            m_open.push_back(index);
        }
    }
    // The innermost enclosing opener of one of the kinds, or -1; stops at
    // an opener of stopKind.
    int32_t Innermost(uint32_t kind, uint32_t stopKind) const {
        for (size_t i = m_open.size(); i-- > 0;) {
            const uint32_t k = m_commands[m_open[i]].kind;
            if (k == kind) {
                return m_open[i];
            }
            if (k == stopKind) {
                return -1;
            }
        }
        return -1;
    }

private:
    const std::vector<TCommand>& m_commands;
    const std::vector<int32_t>& m_ends;
    std::vector<int32_t> m_open;
};

} // namespace

int32_t CScriptParser::FindMatchingCommand(uint32_t start, uint32_t closingKind) {
    const std::vector<TCommand>& commands = m_results.Commands();
    if (start >= commands.size()) {
        return -1;
    }
    LocateCommand(start);
    const uint32_t block = commands[start].block;
    const int32_t found = Braces().After(start, block, closingKind);
    if (found < 0 || (commands[found].kind == kCmdCloseBrace && commands[found].argument == closingKind &&
                      commands[found].block == block)) {
        return found;
    }
    // A brace changed since the index was made: walk the list.
    for (size_t i = start + 1; i < commands.size(); ++i) {
        const TCommand& command = commands[i];
        if (command.kind == kCmdCloseBrace && command.argument == closingKind && command.block == block) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

int32_t CScriptParser::FindRightBracket(uint32_t start, uint32_t depth, bool setPosition, bool mustFind) {
    const std::vector<TCommand>& commands = m_results.Commands();
    if (start < commands.size()) {
        if (setPosition) {
            LocateCommand(start);
        }
        const int32_t found = Braces().After(start, depth);
        if (found >= 0) {
            return found;
        }
    }
    if (mustFind) {
        Fail(kErrParse, L"CScriptBase::FindRightBracket", __LINE__);
    }
    return -1;
}

const CBraceIndex& CScriptParser::Braces() {
    if (!m_braces.IsBuiltFor(m_results.Commands().size())) {
        m_braces.Build(m_results.Commands());
    }
    return m_braces;
}

std::vector<int32_t> CScriptParser::FindBlockEnds() {
    // FindRightBracket for every opener at once: from the end of the list,
    // keeping the nearest closing brace at each depth. No depth that parsing
    // reaches is above the number of commands; the index answers for others.
    // The table of depths grows to the deepest brace only (scripts nest a
    // few levels), not to the number of commands.
    const std::vector<TCommand>& commands = m_results.Commands();
    const size_t count = commands.size();
    std::vector<int32_t> ends(count, -1);
    std::vector<int32_t> nextAt;
    for (size_t i = count; i-- > 0;) {
        const TCommand& command = commands[i];
        if (IsBlockKind(command.kind)) {
            if (command.block > count) {
                ends[i] = Braces().After(static_cast<uint32_t>(i), command.block);
            } else if (command.block < nextAt.size()) {
                ends[i] = nextAt[command.block];
            }
        }
        if (command.kind == kCmdCloseBrace && command.block <= count) {
            if (command.block >= nextAt.size()) {
                nextAt.resize(command.block + 1, -1);
            }
            nextAt[command.block] = static_cast<int32_t>(i);
        }
    }
    return ends;
}

int32_t CScriptParser::LastCommandAtDepth(int32_t depth) {
    const std::vector<TCommand>& commands = m_results.Commands();
    if (m_depthsSeen > commands.size()) {
        m_lastAtDepth.clear();
        m_depthsSeen = 0;
    }
    for (; m_depthsSeen < commands.size(); ++m_depthsSeen) {
        // No depth reached by parsing is above the number of commands.
        const uint32_t block = commands[m_depthsSeen].block;
        if (block > commands.size()) {
            continue;
        }
        if (block >= m_lastAtDepth.size()) {
            m_lastAtDepth.resize(block + 1, -1);
        }
        m_lastAtDepth[block] = static_cast<int32_t>(m_depthsSeen);
    }
    return depth >= 0 && static_cast<size_t>(depth) < m_lastAtDepth.size() ? m_lastAtDepth[depth] : -1;
}

void CScriptParser::DetermineVariableScope(CVariable& variable, int32_t level, uint32_t index, bool lookBackwards,
                                           const wchar_t* function) {
    if (level == 0) {
        variable.SetScope(-1, -1);
        return;
    }
    const std::vector<TCommand>& commands = m_results.Commands();
    if (commands.empty()) {
        Fail(kErrParse, function, __LINE__);
    }
    const uint32_t at = std::min<uint32_t>(index, static_cast<uint32_t>(commands.size() - 1));
    if (lookBackwards) {
        // The block that encloses the variable, not merely the nearest block
        // above it, which may be closed already. While parsing it is the last
        // command at the depth above.
        if (index >= commands.size()) {
            const int32_t last = LastCommandAtDepth(level - 1);
            if (last >= 0 && IsBlockKind(commands[last].kind)) {
                variable.SetScope(last, -1);
                return;
            }
        }
        for (uint32_t i = at + 1; i-- > 0;) {
            if (IsBlockKind(commands[i].kind) && static_cast<int32_t>(commands[i].block) == level - 1) {
                variable.SetScope(static_cast<int32_t>(i), -1);
                return;
            }
        }
    } else {
        const int32_t end = FindRightBracket(at, commands[at].block, false, false);
        if (end >= 0) {
            variable.SetScope(variable.GetScopeStart(), end);
            return;
        }
    }
    Fail(kErrParse, function, __LINE__);
}

void CScriptParser::UseVariable(const CVariable& variable, int32_t useStart, int32_t useEnd, const wchar_t* function) {
    if (OutOfScope(variable, useStart, useEnd)) {
        Fail(kErrVariableOutOfScope, function, __LINE__);
    }
    m_usedNames.insert(variable.GetName());
}

void CScriptParser::RunParseChecks() {
    const std::vector<int32_t> ends = FindBlockEnds();
    CheckScopes();
    CheckLoops(ends);
    ReportUnusedVariables();
    CheckBlocks();
    CheckFunctions();
    CheckSuper(ends);
    CheckCalls();
    CheckVariableNames();
    CheckLabels();
    LinkIfChains(ends);
    SetParsed(true);
}

void CScriptParser::CheckScopes() {
    std::vector<CVariable>& variables = m_results.Variables();
    for (size_t k = 0; k < variables.size(); ++k) {
        CVariable& variable = variables[k];
        if (!variable.HasScope()) {
            continue;
        }
        if (k < m_variablePositions.size()) {
            m_tokenStart = m_variablePositions[k];
        }
        DetermineVariableScope(variable, 1, static_cast<uint32_t>(variable.GetScopeStart()), false, kParse);
    }
}

void CScriptParser::CheckLoops(const std::vector<int32_t>& ends) {
    std::vector<TCommand>& commands = m_results.Commands();
    COpenBlocks open(commands, ends);
    for (size_t i = 0; i < commands.size(); ++i) {
        const int32_t index = static_cast<int32_t>(i);
        open.Enter(index);
        LocateCommand(index);
        TCommand& command = commands[i];
        if (command.kind == kCmdFor) {
            const int32_t brace = FindRightBracket(index, command.block, false, false);
            if (brace < 0) {
                Fail(kErrParse, kParse, __LINE__);
            }
            const CVariable* named = FindVariable(command.name, false);
            if (named && named->HasScope()) {
                Fail(kErrDuplicateVariable, kParse, __LINE__);
            }
            if (commands[brace].argument != kCmdFor) {
                commands[brace].argument = kCmdFor;
                m_braces.Clear();
            }
            commands[brace].target = index;
        } else if (command.kind == kCmdBreak || command.kind == kCmdContinue) {
            // A function's body is a world of its own: a loop around the
            // definition is not a loop around the statement.
            const int32_t loop = open.Innermost(kCmdFor, kCmdFunction);
            if (loop < 0) {
                Fail(command.kind == kCmdBreak ? kErrInvalidBreak : kErrInvalidContinue, kParse, __LINE__);
            }
            command.argument = static_cast<uint32_t>(ends[loop]);
        }
        open.Leave(index);
    }
}

void CScriptParser::ReportUnusedVariables() {
    if (vek::equals(vek::GetTextAfterLast(m_fileName), L"_global.u", false)) {
        return;
    }
    std::vector<CVariable>& variables = m_results.Variables();
    if (variables.empty()) {
        return;
    }
    // Variables of one name (in any case) are used together: the first of
    // the name stands for them, the others follow it in a chain.
    std::unordered_map<std::wstring_view, size_t, TNoCaseHash, TNoCaseEqual> firstOfName;
    std::vector<size_t> nextOfName(variables.size(), 0);
    std::vector<size_t> lastOfName(variables.size(), 0);
    std::vector<uint8_t> used(variables.size(), 0);
    for (size_t k = 0; k < variables.size(); ++k) {
        const auto [it, added] = firstOfName.emplace(variables[k].GetName(), k);
        if (!added) {
            nextOfName[lastOfName[it->second]] = k;
        }
        lastOfName[it->second] = k;
    }
    const std::vector<TCommand>& commands = m_results.Commands();
    auto use = [&](const CSharedText& name, int32_t index) {
        const auto it = firstOfName.find(name);
        if (it == firstOfName.end()) {
            return;
        }
        for (size_t k = it->second;; k = nextOfName[k]) {
            if (OutOfScope(variables[k], index, index)) {
                Fail(kErrVariableOutOfScope, kParse, __LINE__);
            }
            if (k == lastOfName[it->second]) {
                break;
            }
        }
        used[it->second] = 1;
    };
    for (size_t i = 0; i < commands.size(); ++i) {
        const TCommand& command = commands[i];
        const int32_t index = static_cast<int32_t>(i);
        LocateCommand(index);
        switch (command.kind) {
        case kCmdAssign:
        case kCmdInput:
        case kCmdIncr:
        case kCmdDecr:
            use(command.TargetName(), index);
            break;
        case kCmdPrintln:
        case kCmdPrint:
            if (command.argument == 1) {
                use(command.name, index);
            }
            break;
        case kCmdFor:
            use(command.name, index);
            break;
        case kCmdIf:
            if (command.argument < m_results.Expressions().size()) {
                for (const TNode& node : m_results.Expressions()[command.argument]) {
                    if (node.kind == kNodeName) {
                        use(node.text, index);
                    }
                }
            }
            break;
        default:
            break;
        }
    }
    std::wostream& out = vek::ConsoleOut();
    for (const CVariable& variable : variables) {
        if (used[firstOfName.find(variable.GetName())->second]) {
            continue;
        }
        out << L"Warning: unused variable '" << variable.GetName() << L"'" << vek::ConsoleDefault << L'\n';
    }
    out.flush();
}

void CScriptParser::CheckBlocks() {
    const std::vector<TCommand>& commands = m_results.Commands();
    for (size_t i = 0; i < commands.size(); ++i) {
        const TCommand& command = commands[i];
        if (!IsBlockKind(command.kind)) {
            continue;
        }
        // The else of an "else if" ends with its if's brace.
        if (command.kind == kCmdElse && command.argument == 1 && i + 1 < commands.size() &&
            commands[i + 1].kind == kCmdIf) {
            continue;
        }
        if (FindMatchingCommand(static_cast<uint32_t>(i), command.kind) == -1) {
            Fail(kErrBlockNotClosed, kParse, __LINE__);
        }
    }
}

void CScriptParser::CheckFunctions() {
    // Each definition is compared with the later ones of its name (in any
    // case), which a chain links in list order. Only names defined again
    // have links: a table over every command would be mostly empty.
    const std::vector<TCommand>& commands = m_results.Commands();
    std::unordered_map<CSharedText, uint32_t, TNoCaseHash, TNoCaseEqual> lastOfName;
    std::unordered_map<uint32_t, uint32_t> nextOfName;
    for (size_t i = 0; i < commands.size(); ++i) {
        if (commands[i].kind != kCmdFunction) {
            continue;
        }
        const auto [it, added] = lastOfName.emplace(commands[i].name, static_cast<uint32_t>(i));
        if (!added) {
            nextOfName.emplace(it->second, static_cast<uint32_t>(i));
            it->second = static_cast<uint32_t>(i);
        }
    }
    const auto next = [&nextOfName](uint32_t index) {
        const auto it = nextOfName.find(index);
        return it == nextOfName.end() ? -1 : static_cast<int32_t>(it->second);
    };
    for (size_t i = 0; i < commands.size() && !nextOfName.empty(); ++i) {
        if (commands[i].kind != kCmdFunction) {
            continue;
        }
        for (int32_t j = next(static_cast<uint32_t>(i)); j >= 0; j = next(static_cast<uint32_t>(j))) {
            LocateCommand(static_cast<uint32_t>(j));
            if (commands[i].Flag() == commands[j].Flag()) {
                Fail(kErrDuplicateFunction, kParse, __LINE__);
            }
            const int32_t first = FindFunctionIndex(commands[i].name);
            for (const TSystemFunction& entry : m_registry) {
                if (TNoCaseEqual()(entry.name, commands[i].name) && entry.signature != m_registry[first].signature) {
                    Fail(kErrOverrideMismatch, kParse, __LINE__);
                }
            }
        }
    }
}

void CScriptParser::CheckSuper(const std::vector<int32_t>& ends) {
    // A super runs the definition that the function around it overrides, so
    // it belongs inside an overriding function whose plain definition exists.
    std::vector<TCommand>& commands = m_results.Commands();
    if (std::none_of(commands.begin(), commands.end(), [](const TCommand& c) { return c.kind == kCmdSuper; })) {
        return;
    }
    std::unordered_set<CSharedText, TNoCaseHash, TNoCaseEqual> plain;
    for (const TCommand& command : commands) {
        if (command.kind == kCmdFunction && command.Flag() == 0) {
            plain.insert(command.name);
        }
    }
    COpenBlocks open(commands, ends);
    for (size_t i = 0; i < commands.size(); ++i) {
        const int32_t index = static_cast<int32_t>(i);
        open.Enter(index);
        if (commands[i].kind == kCmdSuper) {
            LocateCommand(index);
            const int32_t function = open.Innermost(kCmdFunction, kCmdFunction);
            if (function < 0 || commands[function].Flag() != 1 || !plain.count(commands[function].name)) {
                Fail(kErrSuperPlacement, kParse, __LINE__);
            }
            commands[i].name = commands[function].name;
        }
        open.Leave(index);
    }
}

void CScriptParser::CheckCalls() {
    const std::vector<TCommand>& commands = m_results.Commands();
    std::wstring text;
    std::vector<std::wstring> arguments;
    for (size_t i = 0; i < commands.size(); ++i) {
        const TCommand& command = commands[i];
        if (command.kind != kCmdCall && command.kind != kCmdUserCall) {
            continue;
        }
        LocateCommand(static_cast<uint32_t>(i));
        const int32_t index = FindFunctionIndex(command.name);
        size_t count = 0;
        command.Arguments().AssignTo(text);
        try {
            count = ExtractArgs(text, false, arguments);
        } catch (const CScriptException&) {
            if (index >= 0) {
                throw;
            }
        }
        // A call of a name that is not registered passes: it fails, if at
        // all, when it runs.
        if (index < 0) {
            continue;
        }
        const CSharedText& signature = m_registry[index].signature;
        if (count != signature.size()) {
            Fail(kErrInvalidArgumentCount, kParse, __LINE__);
        }
        for (size_t k = 0; k < count; ++k) {
            for (wchar_t c : arguments[k]) {
                if (signature[k] == L'n' && !IsDigit(c)) {
                    Fail(kErrInvalidArgumentType, kParse, __LINE__);
                }
                if (signature[k] == L'f' && !IsDigit(c) && c != L'.') {
                    Fail(kErrInvalidArgumentType, kParse, __LINE__);
                }
            }
        }
    }
}

void CScriptParser::LinkIfChains(const std::vector<int32_t>& ends) {
    // The brace that ends an if body leads to the end of its whole if/else
    // chain, where a taken body goes on.
    std::vector<TCommand>& commands = m_results.Commands();
    for (size_t i = 0; i < commands.size(); ++i) {
        if (commands[i].kind != kCmdIf || ends[i] < 0) {
            continue;
        }
        const int32_t end = IfChainEnd(ends, i);
        if (end >= 0) {
            commands[ends[i]].target = static_cast<uint32_t>(end);
        }
    }
}

int32_t CScriptParser::IfChainEnd(const std::vector<int32_t>& ends, size_t ifIndex) const {
    const std::vector<TCommand>& commands = m_results.Commands();
    int32_t end = ends[ifIndex];
    while (end >= 0 && static_cast<size_t>(end) + 1 < commands.size() && commands[end + 1].kind == kCmdElse) {
        end = ends[end + 1];
    }
    return end;
}

void CScriptParser::CheckVariableNames() {
    const std::vector<CVariable>& variables = m_results.Variables();
    std::unordered_set<std::wstring_view, TNoCaseHash, TNoCaseEqual> names;
    for (size_t k = 0; k < variables.size(); ++k) {
        if (k < m_variablePositions.size()) {
            m_tokenStart = m_variablePositions[k];
        }
        const std::wstring& name = variables[k].GetName();
        if (name.empty() || !vek::IsAlpha(name[0])) {
            Fail(kErrInvalidVariableName, kParse, __LINE__);
        }
        for (wchar_t c : name) {
            if (!vek::IsAlnum(c)) {
                Fail(kErrInvalidVariableName, kParse, __LINE__);
            }
        }
        if (!names.insert(name).second) {
            Fail(kErrDuplicateVariable, kParse, __LINE__);
        }
    }
}

void CScriptParser::CheckLabels() {
    const std::vector<TCommand>& commands = m_results.Commands();
    std::unordered_map<CSharedText, size_t, TNoCaseHash, TNoCaseEqual> labels;
    for (size_t i = 0; i < commands.size(); ++i) {
        if (commands[i].kind == kCmdLabel) {
            labels.emplace(commands[i].name, i);
        }
    }
    for (size_t i = 0; i < commands.size(); ++i) {
        if (commands[i].kind != kCmdGoto) {
            continue;
        }
        LocateCommand(static_cast<uint32_t>(i));
        if (labels.find(commands[i].name) == labels.end()) {
            Fail(kErrLabelNotFound, kParse, __LINE__);
        }
    }
    for (size_t i = 0; i < commands.size(); ++i) {
        if (commands[i].kind != kCmdLabel || labels.find(commands[i].name)->second == i) {
            continue;
        }
        LocateCommand(static_cast<uint32_t>(i));
        Fail(kErrDuplicateLabel, kParse, __LINE__);
    }
}
