#pragma once
// The generic interpreter of ".u" scripts. One object holds one script's
// text (through its scanner base), what parsing it produced, the function
// registry and everything a run needs: the variables of running functions,
// call frames and scopes, the value stack through which built-ins take their
// arguments and the byte tape of the 'i' commands.
//
// Parsing turns the text into a flat command list in which every command
// carries its block depth; the checks after parsing tie blocks, loops,
// labels and calls together. The first run resolves names and jump targets
// once (see Link), so a run never searches the command list, and keeps where
// names led until a binding can change (see Lookup).
//
// Calls run on the C++ stack: a user function's body runs in a loop of its
// own inside ExecuteUserFunction and returns to the command that called it.
// The depth of calls and of extends is capped, so no script can overflow
// the stack. Every run has a step budget (SetStepBudget), and a cancel hook
// can stop it (SetCancelHook).
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "VEKLib/Serializable.h"
#include "VEKLib/Strings.h"
#include "script/BraceIndex.h"
#include "script/Commands.h"
#include "script/Expression.h"
#include "script/ParserCore.h"
#include "script/Records.h"
#include "script/ScriptErrors.h"

// Where a script's console statements go: print, println and iout write to
// Output(); input and iin read UTF-8 text from Input(); system hands its
// command to System().
class IScriptConsole {
public:
    virtual ~IScriptConsole() = default;
    virtual std::wostream& Output() = 0;
    virtual std::istream& Input() = 0;
    // The command processor's result.
    virtual int System(const std::wstring& command) = 0;
};

// The process's console: vek::ConsoleOut(), standard input and the command
// processor (given the command as UTF-8).
IScriptConsole& ProcessScriptConsole();
// The console of every script that has none of its own; null: the process's.
// A fuzzer puts one here so that no script it makes reaches a real shell.
void SetDefaultScriptConsole(IScriptConsole* console);
IScriptConsole& DefaultScriptConsole();

// A console over given streams. System commands are recorded, not run.
class CStreamScriptConsole final : public IScriptConsole {
public:
    CStreamScriptConsole(std::istream& input, std::wostream& output) : m_input(input), m_output(output) {}
    std::wostream& Output() override { return m_output; }
    std::istream& Input() override { return m_input; }
    int System(const std::wstring& command) override {
        commands.push_back(command);
        return 0;
    }

    std::vector<std::wstring> commands;

private:
    std::istream& m_input;
    std::wostream& m_output;
};

// One entry of the function registry: a built-in (its id) or a user function
// defined in the script (id kUserFunction).
struct TSystemFunction {
    static constexpr uint32_t kUserFunction = 0xFFFFFFFF;

    std::wstring name;
    uint32_t id = 0;
    // One letter per argument: "s" text, "n" whole number, "f" number with a
    // decimal point.
    std::wstring signature;
    uint32_t value1 = 0;
    uint32_t value2 = 0;
    uint32_t value3 = 0;
};

// A unit of a name as case-insensitive comparisons see it (vek::FoldCase).
// Names are mostly ASCII; only the rest needs the folding table.
inline wchar_t FoldNameUnit(wchar_t c) {
    if (c < 0x80) {
        return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
    }
    return vek::FoldCase(c);
}

// Case-insensitive hashing and equality of names, for any text with size()
// and units by index (strings, views, shared texts): a name map is searched
// with a command's shared text as it is.
struct TNoCaseHash {
    using is_transparent = void;
    template <class TText>
    size_t operator()(const TText& text) const {
        uint64_t hash = 14695981039346656037ull;
        for (size_t i = 0, size = text.size(); i < size; ++i) {
            hash ^= static_cast<uint64_t>(FoldNameUnit(text[i]));
            hash *= 1099511628211ull;
        }
        return static_cast<size_t>(hash);
    }
};
struct TNoCaseEqual {
    using is_transparent = void;
    template <class TText1, class TText2>
    bool operator()(const TText1& a, const TText2& b) const {
        const size_t size = a.size();
        if (size != b.size()) {
            return false;
        }
        for (size_t i = 0; i < size; ++i) {
            const wchar_t x = a[i], y = b[i];
            if (x != y && FoldNameUnit(x) != FoldNameUnit(y)) {
                return false;
            }
        }
        return true;
    }
};
template <class T>
using TNoCaseMap = std::unordered_map<std::wstring, T, TNoCaseHash, TNoCaseEqual>;

// Entries of a list found by name in any case: an open table of their
// positions beside the list, which keeps the names (no copy of a name).
// Of entries named alike the first added is found.
class CNameIndex {
public:
    void Clear() {
        m_slots.clear();
        m_count = 0;
    }
    // nameOf(position) gives the name of the entry at a position.
    template <class TNameOf>
    void Add(const TNameOf& nameOf, uint32_t position) {
        if ((m_count + 1) * 2 > m_slots.size()) {
            Grow(nameOf);
        }
        const auto& name = nameOf(position);
        for (size_t slot = Home(name);; slot = (slot + 1) & (m_slots.size() - 1)) {
            if (m_slots[slot] == 0) {
                m_slots[slot] = position + 1;
                ++m_count;
                return;
            }
            if (TNoCaseEqual()(nameOf(m_slots[slot] - 1), name)) {
                return;
            }
        }
    }
    // The position of the first entry of the name; -1 when none.
    template <class TNameOf, class TText>
    int32_t Find(const TNameOf& nameOf, const TText& name) const {
        if (m_slots.empty()) {
            return -1;
        }
        for (size_t slot = Home(name);; slot = (slot + 1) & (m_slots.size() - 1)) {
            if (m_slots[slot] == 0) {
                return -1;
            }
            if (TNoCaseEqual()(nameOf(m_slots[slot] - 1), name)) {
                return static_cast<int32_t>(m_slots[slot] - 1);
            }
        }
    }

private:
    template <class TText>
    size_t Home(const TText& name) const {
        return TNoCaseHash()(name) & (m_slots.size() - 1);
    }
    template <class TNameOf>
    void Grow(const TNameOf& nameOf) {
        std::vector<uint32_t> old;
        old.swap(m_slots);
        m_slots.assign(old.empty() ? 64 : old.size() * 2, 0);
        m_count = 0;
        // One entry of each name is there: the order of adding is no matter.
        for (uint32_t value : old) {
            if (value != 0) {
                Add(nameOf, value - 1);
            }
        }
    }

    std::vector<uint32_t> m_slots; // position + 1; 0: free
    uint32_t m_count = 0;
};

class CScriptBase : public vek::ISerializable, public CParserCore, public IExpressionHost {
public:
    static constexpr uint32_t kWorkAreaSize = 30000;
    // User functions running at once; one more is error 2, which says so.
    static constexpr uint32_t kMaxCallDepth = 200;
    static std::wstring CallDepthDetails();
    // Scripts extending scripts; one more level is error 45.
    static constexpr uint32_t kMaxExtendsDepth = 16;

    // Loads the file when the path is not empty; registers Rnd (id 0) and
    // Chance (id 1). Does not parse.
    explicit CScriptBase(const std::wstring& path = std::wstring());
    CScriptBase(const CScriptBase&) = default;
    CScriptBase& operator=(const CScriptBase&) = default;
    ~CScriptBase() override = default;

    // --- Object, registry and built-ins ------------------------------------
    // Back to a fresh object without text (registry keeps the built-ins).
    void Reset() override;
    // Forgets everything of a run: current command, return value, tape,
    // locals, frames, scopes, value stack. Parse results, registry and
    // pending variables stay.
    virtual void ResetRuntime();
    virtual void RegisterFunction(const std::wstring& name, uint32_t id, const std::wstring& signature,
                                  uint32_t value1 = 0, uint32_t value2 = 0, uint32_t value3 = 0);
    // Registry index of the first entry of that name (any case); -1 when none.
    int32_t FindSystemFunction(const std::wstring& name) const;
    // The same for a command's name.
    int32_t FindFunctionIndex(const CSharedText& name) const;
    // Runs a registered function by name with the arguments already on the
    // value stack; assign stores the result into the target variable.
    virtual void ExecuteFunction(const std::wstring& name, bool assign, const std::wstring& target);
    // Runs the built-in at a registry index; ids 0 (Rnd) and 1 (Chance) here,
    // anything else is error 33.
    virtual int32_t ExecuteFunction(uint32_t id);
    // Arguments of the built-in being run, last argument first.
    int32_t PopArgInt();
    float PopArgFloat();
    std::wstring PopArgString();
    void PushArgument(const std::wstring& argument) { m_valueStack.push_back(argument); }
    // Values on the value stack.
    size_t GetArgumentCount() const { return m_valueStack.size(); }
    bool IsBlockKind(uint32_t kind) const {
        return kind < 64 ? ((m_blockKindMask >> kind) & 1) != 0 : m_blockKinds.count(kind) != 0;
    }
    // The game script adds its own block kinds.
    void AddBlockKind(uint32_t kind) {
        m_blockKinds.insert(kind);
        if (kind < 64) {
            m_blockKindMask |= uint64_t{1} << kind;
        }
    }

    // --- Parsing -------------------------------------------------------------
    // Parses the loaded text into commands, expressions and declared
    // variables, then checks the whole (errors as script exceptions).
    virtual void Parse();
    // One statement whose first word is the scanner's token.
    virtual void ParseUnit(bool& store, TCommand& command);
    // A call whose name is the current token; true when it stored the call.
    bool ParseFunctionCall(TCommand& command, bool assign, bool storeFirst);
    virtual uint32_t ParseLogicalExpr(const std::wstring& text);
    // First closing brace after start whose argument is closingKind and whose
    // block is start's; -1 when none. Places errors at the start command.
    virtual int32_t FindMatchingCommand(uint32_t start, uint32_t closingKind);
    // First closing brace after start at the given depth; -1 when none, or
    // error 1 when mustFind.
    virtual int32_t FindRightBracket(uint32_t start, uint32_t depth, bool setPosition, bool mustFind);
    // Where a declared variable may be used: anywhere at level 0; otherwise
    // the block that encloses the index (looking backwards: its opener; else
    // the opener's closing brace as the end). function: the name its error
    // carries (the parse checks raise theirs as the parse).
    void DetermineVariableScope(CVariable& variable, int32_t level, uint32_t index, bool lookBackwards,
                                const wchar_t* function = L"CScriptBase::DetermineVariableScope");
    // Error 35 when the use lies outside the variable's scope; else records it.
    void UseVariable(const CVariable& variable, int32_t useStart, int32_t useEnd,
                     const wchar_t* function = L"CScriptBase::UseVariable");
    // The registry entry of a user function; error 33 when none.
    const TSystemFunction& FindUserFunction(const std::wstring& name) const;
    // How the statement "extends" reads its base script (tests and tools
    // serve texts from elsewhere).
    virtual void LoadBaseScript(const std::wstring& path);

    // --- Running ---------------------------------------------------------------
    // Runs from the current command to the end of the list.
    virtual void Execute();
    // Runs the current command; false when it moved the current command itself.
    // A run hands it only the commands that HandlesCommand names and runs the
    // others itself; an override passes the commands it does not run to this.
    virtual bool ExecuteUnit();
    // Whether a run hands the command to ExecuteUnit: by default the kinds the
    // base does not know and the closing braces of their blocks. A derived
    // script that checks a base kind itself adds it. Asked when linking.
    virtual bool HandlesCommand(const TCommand& command) const;
    // Not virtual: a run evaluates the conditions of its ifs itself.
    uint64_t ExecuteLogExpr(const TNodeList& list);
    // Runs a user function by name: the overriding definition when
    // preferOverriding, else the first plain one. Values handed in with
    // AddVariable become its locals. False when there is none and it need
    // not exist. flag 1 assigns the result to receiver.
    // An exit, or a goto out of the function, leaves every running call by
    // an exception of the interpreter's own: code that runs between (a
    // built-in that calls script functions) must catch CScriptException
    // only, never everything.
    virtual bool ExecuteUserFunction(const std::wstring& name, uint8_t flag, const std::wstring& receiver,
                                     bool preferOverriding, bool mustExist);
    // Whether a call command of a run may enter its user function in the
    // run's own loop rather than through ExecuteUserFunction (the same
    // frame, locals and scope; no C++ call). A derived script whose
    // ExecuteUserFunction must see every call answers false. Asked when
    // linking.
    virtual bool CallsInPlace() const { return true; }
    // Ends the innermost call: the run goes on after the calling command.
    void Return();
    // Assigns a value; a negative one is error 2; fromCall requires the
    // current command to be a call or super.
    void VariableAssign(const std::wstring& name, int64_t value, bool fromCall);

    // --- Variables and scopes ---------------------------------------------------
    // A value handed to the next user-function call (as a u32 variable).
    virtual void AddVariable(const std::wstring& name, uint32_t low, uint32_t high = 0);
    // Locals, newest first, then (unless localsOnly) the declared variables.
    // A derived script adds variables of its own behind these; a run asks it
    // only for names the script does not hold itself.
    virtual CVariable* FindVariable(const std::wstring& name, bool localsOnly);
    // A declared variable of value 0; error 2 when the name is taken.
    void AddGlobalVariable(const std::wstring& name);
    virtual void PushScope();
    virtual void PopScope();
    // Closes the innermost scope: the locals go back to its mark.
    void UpdateLocalVars();
    // The run keeps where names led; an owner whose FindVariable answers
    // differently now (its own variables changed) says so here.
    void InvalidateLookups();
    // Forgets the parse-time state of user functions.
    virtual void ClearLocalVariables();

    // --- Run control and console -------------------------------------------------
    // Null: the default console.
    void SetConsole(IScriptConsole* console) { m_console = console; }
    IScriptConsole* GetOwnConsole() const { return m_console; }
    IScriptConsole& Console() const;
    // Commands a run may take unless the owner sets otherwise: generous, but
    // a script caught in an endless loop ends instead of hanging the game.
    static constexpr uint64_t kDefaultStepBudget = 100000000;
    // At most this many commands per run (0: no limit); one more is error 2
    // at the command that would exceed it. A run begins with ResetRuntime,
    // with Execute or ExecuteUserFunction called from outside a run, and
    // with this call.
    void SetStepBudget(uint64_t steps);
    uint64_t GetStepBudget() const { return m_stepBudget; }
    // Asked now and then while running; true stops the run with error 2.
    void SetCancelHook(std::function<bool()> hook);
    // Commands run by this object so far.
    uint64_t GetExecutedCount() const { return m_nextCheck - m_countdown; }

    // --- Persistence: the declared variables only ----------------------------------
    void Load() override;
    virtual void Save() const;

    // --- State ---------------------------------------------------------------------------
    CParseResults& GetParseResults() { return m_results; }
    const CParseResults& GetParseResults() const { return m_results; }
    const std::vector<TSystemFunction>& GetRegistry() const { return m_registry; }
    int32_t GetCurrentCommand() const { return m_current; }
    // The value of the last return that ran.
    int32_t GetReturnValue() const { return m_returnValue; }

    // IExpressionHost.
    const CParserCore& GetErrorLocator() const override { return *this; }
    bool FindExpressionFunction(const std::wstring& name, std::wstring& signature) override;
    CVariable* FindExpressionVariable(const std::wstring& name) override { return FindVariable(name, false); }
    int32_t CallExpressionFunction(const std::wstring& name, std::deque<std::wstring>& arguments) override;
    // Equal texts of the nodes and commands parsed are one text.
    CSharedText NodeText(std::wstring_view text) override { return m_texts.Intern(text); }

protected:
    // One statement being read: its first word, where that word begins, the
    // command it fills (fresh), and whether Parse stores that command when
    // the statement is read (cleared by a statement that stores its commands
    // itself, or none). The word is the scanner's token: it changes when the
    // statement reads on.
    struct TStatement {
        const std::wstring& word;
        uint32_t start = 0;
        TCommand& command;
        bool& store;
    };
    // A statement form: its keyword (matched in any case), the kind of the
    // command it makes (0: none of its own) and the function that reads the
    // rest of it. A derived script keeps a table of its own forms and reads
    // them in its ParseUnit before handing other words to this one.
    template <class TScript>
    struct TStatementForm {
        const wchar_t* keyword;
        uint32_t kind;
        void (TScript::*parse)(TStatement&);
    };
    // The statement forms of one class, found by keyword: among the few
    // whose first unit folds alike. Of equal keywords the first counts.
    template <class TScript>
    class CStatementTable {
    public:
        CStatementTable(std::initializer_list<TStatementForm<TScript>> forms) : m_forms(forms) {
            for (const TStatementForm<TScript>& form : m_forms) {
                const std::wstring_view keyword(form.keyword);
                m_buckets[Bucket(keyword)].push_back(TEntry{keyword, &form});
            }
        }
        CStatementTable(const CStatementTable&) = delete;
        CStatementTable& operator=(const CStatementTable&) = delete;
        // Null when the word is no keyword of these forms.
        const TStatementForm<TScript>* Find(const std::wstring& word) const {
            for (const TEntry& entry : m_buckets[Bucket(word)]) {
                if (TNoCaseEqual()(word, entry.keyword)) {
                    return entry.form;
                }
            }
            return nullptr;
        }

    private:
        struct TEntry {
            std::wstring_view keyword;
            const TStatementForm<TScript>* form;
        };
        template <class TText>
        static size_t Bucket(const TText& text) {
            return text.empty() ? 0 : static_cast<size_t>(FoldNameUnit(text[0])) % kBuckets;
        }
        static constexpr size_t kBuckets = 32;
        std::vector<TStatementForm<TScript>> m_forms;
        std::vector<TEntry> m_buckets[kBuckets];
    };

    [[noreturn]] void Fail(EScriptError code, const wchar_t* function, uint32_t line) const;
    // As Fail, reporting the line of the current command, and the details
    // when the message alone does not say enough.
    [[noreturn]] void FailHere(EScriptError code, const wchar_t* function, uint32_t line);
    // No default argument on the plain form: a temporary text built at each
    // of its many call sites in the run loop costs that loop dearly.
    [[noreturn]] void FailHere(EScriptError code, const wchar_t* function, uint32_t line, const std::wstring& details);
    void SetCurrentCommand(int32_t index) { m_current = index; }
    // The parser's block depth.
    int32_t GetCurrentDepth() const { return m_currentDepth; }
    void SetCurrentDepth(int32_t depth) { m_currentDepth = depth; }
    // Appends a command that a statement stores itself, at the current
    // depth and at the statement's start.
    void StoreCommand(TStatement& statement, TCommand command);
    // Reads the next word; true when it is exactly the given one.
    bool NextWordIs(const wchar_t* word);
    // Resolves names and jump targets of the command list for running, and
    // compiles the conditions. A run does it when the list has changed (in
    // length) since it was last done.
    void Link();
    void EnsureLinked() {
        if (!IsLinked()) {
            Link();
        }
    }
    // The first label of the goto's name at the index, as a run finds it;
    // -1 when there is none.
    int32_t GotoTarget(size_t index) {
        EnsureLinked();
        return m_links[index].jump;
    }
    // Whether the command list has the length it had when it was linked
    // (compared in bytes: no division by a command's size, at every call).
    bool IsLinked() const { return m_linkedBytes == CommandBytes(); }
    size_t CommandBytes() const {
        const std::vector<TCommand>& commands = m_results.Commands();
        return static_cast<size_t>(reinterpret_cast<const char*>(std::to_address(commands.end())) -
                                   reinterpret_cast<const char*>(std::to_address(commands.begin())));
    }
    // Enters the function defined at the command as a call would, without
    // running it: a frame that returns to the current command, and the scope
    // of its body. The run goes on at its first command.
    void EnterFunction(int32_t definition);
    // User functions running.
    size_t GetCallDepth() const { return m_frames.size(); }

private:
    friend class CScriptTestAccess;

    // One running user function.
    struct TCallFrame {
        // The calling command; the run goes on after it.
        int32_t returnCommand = 0;
        // 1 when the result goes into the receiving variable.
        uint8_t flag = 0;
        uint32_t receiver = 0;     // symbol of the receiving variable
        int32_t definition = -1;   // the function's definition command
        uint32_t scopeDepth = 0;   // scope stack and local count at the call,
        uint32_t localBase = 0;    // restored when it returns
        uint32_t argumentBase = 0; // the call's argument values in the pool
        uint32_t argumentCount = 0;
        // Entered in the caller's loop: its return goes on after the call
        // command itself.
        uint8_t inPlace = 0;
    };
    // One mark of the scope stack: the local count when the block was
    // entered and the command that opened it.
    struct TScopeMark {
        uint32_t count = 0;
        int32_t opener = -1;
    };

    // Thrown to leave every running call at once (exit, or goto to a label
    // outside the running function); caught where the run began.
    struct TUnwind {
        bool exit = false;
    };

    // What Link keeps per command: where it leads, what it names, and a
    // fast form (op) for the commands that loops run most, which the run
    // loop does itself while nothing unusual happens (kOpGeneral: none).
    struct TLink {
        uint8_t op = 0;
        uint8_t table = 0;   // if of one comparison with a number: as TStep's
        uint8_t skip = 0;    // if: 1 when the else of an "else if" follows its brace
        uint8_t scoped = 0;  // if, else: 1 when a for in the body may add locals to its scope
        uint32_t symbol = 0; // the variable the command names (its condition's, for an if)
        int32_t end = -1;    // block openers: the closing brace
        int32_t jump = -1;   // goto: label; icmp/iloop: partner; if: chain end;
                             // call: definition; loop end: its for
        int32_t owner = -1;  // the innermost function definition around it
        uint32_t call = 0;   // calls and super: their entry in m_calls
        int64_t value = 0;   // assignment: the number; loop end: the end value;
                             // if: its condition, or of one comparison the number
    };
    // A call command as it runs: the names handed to the overridable
    // operations, and its arguments split once.
    struct TCallSite {
        std::wstring name;
        bool user = false;     // a user function's (the registry's entry when linked)
        std::wstring receiver; // the assignment's variable as written; empty: none
        uint32_t receiverSymbol = 0;
        std::vector<std::wstring> texts;
        std::vector<uint32_t> values;
        bool valid = false; // false: split again when run, so the error shows then
    };
    // A compiled condition: its steps in m_steps. A condition that calls a
    // function, or whose shape makes it fail, runs through EvaluateExpression.
    enum EConditionShape : uint8_t {
        kShapeEvaluated,      // not compiled
        kShapeOneComparison,  // one step
        kShapeTwoComparisons, // two steps and the operator that joins them
        kShapeSteps,
    };
    struct TCondition {
        uint32_t first = 0;
        uint32_t count = 0;
        EConditionShape shape = kShapeEvaluated;
    };
    // Steps of a compiled condition.
    enum : uint8_t {
        kStepVariable,        // push the variable's value
        kStepNumber,          // push the value
        kStepCompareNumber,   // push (variable <compare> value)
        kStepCompareVariable, // push (variable <compare> variable 2)
        kStepNot,
        kStepOperator, // pop two, push (left <compare> right)
    };
    struct TStep {
        uint8_t op = 0;
        uint8_t compare = 0; // the node kind of a fused comparison or an operator
        // The answer as a table: of a comparison by the order of its values
        // (bit 0 less, 1 equal, 2 greater); of an operator joining two
        // answers by bit 2 * left + right.
        uint8_t table = 0;
        uint32_t symbol = 0;
        uint32_t symbol2 = 0;
        uint64_t value = 0;
    };
    // Where a name resolves, while nothing can change that (see Lookup).
    struct TBinding {
        CVariable* variable = nullptr;
        uint32_t epoch = 0;
    };
    // The bindings by symbol, and the symbols bound through FindVariable
    // (each listed once). They hold pointers into the object itself: a copy
    // starts with none (as many entries, none valid).
    class CBindings {
    public:
        CBindings() = default;
        CBindings(const CBindings& other) : entries(other.entries.size()), listed(other.listed.size(), 0) {}
        CBindings& operator=(const CBindings& other) {
            entries.assign(other.entries.size(), TBinding());
            listed.assign(other.listed.size(), 0);
            outside.clear();
            return *this;
        }
        void Add() {
            entries.emplace_back();
            listed.push_back(0);
        }
        void ListOutside(uint32_t symbol) {
            if (!listed[symbol]) {
                listed[symbol] = 1;
                outside.push_back(symbol);
            }
        }
        // Forgets the bindings made through FindVariable.
        void ForgetOutside() {
            for (uint32_t symbol : outside) {
                entries[symbol].epoch = 0;
                listed[symbol] = 0;
            }
            outside.clear();
        }
        std::vector<TBinding> entries;
        std::vector<uint8_t> listed;
        std::vector<uint32_t> outside;
    };
    struct TDefinitions {
        int32_t preferred = -1; // the overriding definition, else the last one
        int32_t plain = -1;     // the first definition that does not override
    };
    // A call resolved by the caller, handed to ExecuteUserFunction. It fits
    // only the call made from the same command for the same name, so an
    // override that copies the name still gets it; another call does not.
    struct THandoff {
        const std::wstring* name = nullptr;
        int32_t command = -1;
        bool preferOverriding = true;
        int32_t definition = -1;
        uint32_t receiver = 0;
        const uint32_t* values = nullptr;
        uint32_t count = 0;
    };
    // Offers a hand-off for the length of one call; whatever an outer call
    // left unclaimed comes back afterwards.
    class CHandoffScope {
    public:
        CHandoffScope(CScriptBase& script, const THandoff& handoff)
            : m_script(script), m_handoff(handoff), m_saved(script.m_handoff) {
            m_script.m_handoff = &m_handoff;
        }
        ~CHandoffScope() { m_script.m_handoff = m_saved; }
        CHandoffScope(const CHandoffScope&) = delete;
        CHandoffScope& operator=(const CHandoffScope&) = delete;

    private:
        CScriptBase& m_script;
        const THandoff m_handoff;
        const THandoff* m_saved;
    };

    // The statement parser (StatementParser.cpp): one function per form,
    // each called after the form's first word.
    void ParsePrint(TStatement& statement);
    void ParseVariableWord(TStatement& statement);
    void ParseSystem(TStatement& statement);
    void ParseVar(TStatement& statement);
    void ParseFor(TStatement& statement);
    void ParseGoto(TStatement& statement);
    void ParseCloseBrace(TStatement& statement);
    void ParseFunction(TStatement& statement);
    void ParseReturn(TStatement& statement);
    void ParseIf(TStatement& statement);
    void ParseElse(TStatement& statement);
    void ParseKeywordOnly(TStatement& statement);
    void ParseExtends(TStatement& statement);
    void ParseOverridden(TStatement& statement);
    void ParseSuper(TStatement& statement);
    void ParseLabel(TStatement& statement);
    void ParseAssignment(TStatement& statement);
    // What a statement means for the blocks around it, once read.
    void CheckElsePlacement() const;
    void JoinElseIf();
    void CloseBlock(TCommand& brace);
    // The statements up to the end of the text, and the end marker.
    void ParseStatements();
    // Finds the definitions of the whole text, wherever they stand (text in
    // quotes skipped), for conditions that call them before they are defined.
    void PrescanFunctions();
    std::wstring NearestFunctionName() const;
    // The checks after parsing (ParseChecks.cpp).
    void RunParseChecks();
    void CheckScopes();
    void CheckLoops(const std::vector<int32_t>& ends);
    void ReportUnusedVariables();
    void CheckBlocks();
    void CheckFunctions();
    void CheckSuper(const std::vector<int32_t>& ends);
    void CheckCalls();
    void CheckVariableNames();
    void CheckLabels();
    void LinkIfChains(const std::vector<int32_t>& ends);
    // The last closing brace of the if/else chain that begins at the if;
    // -1 when a brace of it is missing.
    int32_t IfChainEnd(const std::vector<int32_t>& ends, size_t ifIndex) const;
    // The closing brace of every block opener as FindRightBracket finds it
    // (-1 for other commands and unclosed blocks).
    std::vector<int32_t> FindBlockEnds();
    // The index of the closing braces, made again when the list has changed.
    const CBraceIndex& Braces();
    // The last command stored at the depth so far; -1 when none.
    int32_t LastCommandAtDepth(int32_t depth);
    // Errors from here on report the line of the command at index.
    void LocateCommand(uint32_t index) { m_tokenStart = m_results.Commands()[index].textPosition; }

    // Running (Execute.cpp).
    // The loop of a run and of a user function's body: it ends when the
    // current command leaves the list (depth 0) or when fewer than depth
    // calls are running. It does the fast forms itself.
    void RunCommands(size_t depth);
    // After a command that may have run anything: whether the loop ends.
    bool LoopEnds(size_t depth) {
        EnsureLinked(); // a built-in may have changed the list
        return m_frames.size() < depth;
    }
    // A command handed to the derived script; whether the loop ends.
    bool RunDerived(size_t depth) {
        if (ExecuteUnit()) {
            ++m_current;
        }
        return LoopEnds(depth);
    }
    bool RunTopUnit();
    bool RunIf(uint32_t expression);
    bool RunReturn(int32_t value);
    // ExecuteUnit for every command, without the budget's count.
    bool RunUnit();
    bool RunLoopEnd(const TCommand& brace);
    bool RunCloseBrace(const TCommand& command);
    bool RunGoto(const TLink& link);
    bool RunCall(const TCommand& command, const TLink& link);
    // Enters the user function of a call command in the running loop, when
    // nothing about the call needs ExecuteUserFunction; false otherwise.
    bool CallInPlace(const TLink& link);
    // A new frame for a call of the definition from the current command,
    // its arguments from here on in the pool.
    TCallFrame& PushFrame(int32_t definition, uint8_t flag, uint32_t receiver);
    // The callee's locals (values handed in, then its parameters) and the
    // scope of its body; the run goes on at its first command.
    void EnterBody(const TCallFrame& frame);
    // Hands a call's resolved function and arguments to ExecuteUserFunction.
    void CallUserFunction(const TCallSite& site, const TLink& link, bool assign, const std::vector<uint32_t>& values);
    bool RunSuper(const TCommand& command, const TLink& link);
    void PrepareArguments(const TCommand& command, const TCallSite& site);
    void ExitRun();
    void DropAllFrames();
    // Pops every scope above the running function's whose block does not
    // hold the command at index. Mostly the innermost holds it already.
    void CutScopes(int32_t index) {
        if (m_scopes.size() <= m_scopeFloor || ScopeStays(m_scopes.back(), index)) {
            return;
        }
        CutScopesFrom(index, m_scopeFloor);
    }
    void CutScopesFrom(int32_t index, size_t floor);
    // Whether a scope stays open when the run goes on at index: its block
    // holds the index (or its block is not known).
    bool ScopeStays(const TScopeMark& mark, int32_t index) const {
        if (mark.opener < 0 || static_cast<uint32_t>(mark.opener) >= m_linkLimit) {
            return true;
        }
        const int32_t end = m_links[mark.opener].end;
        return end < 0 || (mark.opener < index && index <= end);
    }
    void CheckBudget();
    // The next check comes at the command with this number.
    void CheckAt(uint64_t count);
    // A run begins: the step budget counts from here, and lookups that a
    // change outside may have spoilt are made again.
    void StartRun();
    // No command is running: a call from outside begins a run.
    bool IsIdle() const { return m_busy == 0; }
    void PrintValue(const TCommand& command, const TLink& link);
    void LogSystemCommand(const TCommand& command);
    void ReadInput(const TCommand& command, const TLink& link);
    uint8_t ReadInputCharacter();
    void LinkCall(size_t index, TLink& link);
    // Compiling conditions (Link) and running the compiled ones.
    void CompileConditions();
    bool CompileCondition(const TNodeList& list, TCondition& condition);
    uint64_t RunCondition(const TCondition& condition, const TNodeList& list);
    [[gnu::always_inline]] inline uint64_t RunCompiled(const TCondition& condition);
    [[gnu::noinline]] uint64_t RunSteps(const TCondition& condition);
    uint64_t StepValue(uint32_t symbol);
    // A comparison step's answer.
    bool Compared(const TStep& step) {
        const uint64_t left = StepValue(step.symbol);
        return Holds(step.table, left, step.op == kStepCompareNumber ? step.value : StepValue(step.symbol2));
    }
    static bool Holds(uint8_t table, uint64_t left, uint64_t right) {
        return ((table >> ((left > right ? 1 : 0) + (left >= right ? 1 : 0))) & 1) != 0;
    }
    // An operator of a condition (a node kind) on two values.
    static bool Compare(uint8_t kind, uint64_t left, uint64_t right) {
        switch (kind) {
        case kNodeOr:
            return left != 0 || right != 0;
        case kNodeXor:
            return (left != 0) != (right != 0);
        case kNodeAnd:
            return left != 0 && right != 0;
        case kNodeEqual:
            return left == right;
        case kNodeNotEqual:
            return left != right;
        case kNodeLess:
            return left < right;
        case kNodeGreater:
            return left > right;
        case kNodeLessEqual:
            return left <= right;
        default:
            return left >= right;
        }
    }
    // Closes what the run leaves going on at index, when that is at most one
    // scope without locals; false (nothing done) otherwise.
    bool LeaveScopesQuickly(int32_t index) {
        size_t depth = m_scopes.size();
        if (depth > m_scopeFloor && !ScopeStays(m_scopes[depth - 1], index)) {
            if (m_scopes[depth - 1].count != m_localCount) {
                return false;
            }
            --depth;
            if (depth > m_scopeFloor && !ScopeStays(m_scopes[depth - 1], index)) {
                return false;
            }
        }
        m_scopes.resize(depth);
        return true;
    }
    // After a built-in has run: what it may have changed outside.
    void AfterBuiltIn();

    // Variables by symbol (ScriptBase.cpp). A symbol stands for a name in
    // any case; 0 for no name.
    uint32_t Intern(const std::wstring& name);
    // The variable a name stands for: locals newest first, then the
    // declared variables, then FindVariable (which a derived script extends).
    // The answer is kept until a binding can change: a local made or
    // removed, the declared variables changed, a run begun, a built-in run.
    CVariable* Lookup(uint32_t symbol) {
        const TBinding& binding = m_bindings.entries[symbol];
        return binding.epoch == m_epoch ? binding.variable : LookupAgain(symbol);
    }
    CVariable* LookupAgain(uint32_t symbol);
    // Every binding made so far goes.
    void ForgetLookups();
    CVariable& Require(uint32_t symbol) {
        CVariable* variable = Lookup(symbol);
        if (!variable) [[unlikely]] {
            FailMissing();
        }
        return *variable;
    }
    [[noreturn]] void FailMissing();
    void AssignBySymbol(uint32_t symbol, int64_t value, bool fromCall);
    // A new local; source names where its name came from, when that stays
    // put until the next link (a parameter, a command's text), so that a slot
    // used again need not copy the name again; null otherwise.
    template <class TName>
    [[gnu::always_inline]] inline void AddLocal(uint32_t symbol, const TName& name, const void* source, int64_t value);
    [[gnu::noinline]] void GrowLocals();
    // The locals go back to count; what they stood for is looked up again.
    void CutLocals(uint32_t count) {
        for (; m_localCount > count; --m_localCount) {
            m_bindings.entries[m_localSymbols[m_localCount - 1]].epoch = 0;
        }
    }
    // Indexes the declared variables again when they have changed.
    void CheckDeclared();
    void IndexDeclaredVariables();
    // The first declared variable of a name (any case); -1 when none.
    int32_t FindDeclared(const std::wstring& name);
    void PushScopeAt(int32_t opener) {
        if (m_scopes.size() == m_scopes.capacity()) [[unlikely]] {
            GrowScopes();
        }
        m_scopes.push_back(TScopeMark{m_localCount, opener});
    }
    [[gnu::noinline]] void GrowScopes() { m_scopes.reserve(m_scopes.size() * 2 + 16); }
    const TDefinitions* FindDefinitions(const std::wstring& name) const;
    void RebuildRegistryIndex();
    // The names of the registry by position, for its index.
    auto RegistryNames() const {
        return [this](uint32_t position) -> const std::wstring& { return m_registry[position].name; };
    }

    // Parse results, tape.
    CParseResults m_results;
    std::vector<uint8_t> m_workArea;
    uint32_t m_workPointer = 0;
    // Locals: the first m_localCount slots are live; slots past them are
    // kept so that their names' storage is reused.
    std::vector<CVariable> m_locals;
    std::vector<uint32_t> m_localSymbols;
    std::vector<const void*> m_localSources;
    uint32_t m_localCount = 0;
    std::vector<TCallFrame> m_frames;
    std::vector<TScopeMark> m_scopes;
    uint32_t m_scopeFloor = 0; // the scopes of the running function begin above it
    // Arguments of the built-in being run, first deepest, last on top.
    std::deque<std::wstring> m_valueStack;
    // Values handed to the next user-function call.
    std::deque<CVariable> m_pending;
    std::vector<TSystemFunction> m_registry;
    std::vector<std::wstring> m_parameterPool;
    uint8_t m_extends = 0;
    int32_t m_returnValue = 0;
    std::set<uint32_t> m_blockKinds;
    uint64_t m_blockKindMask = 0; // the kinds below 64 of m_blockKinds
    int32_t m_currentDepth = 0;
    int32_t m_current = 0;

    // Lookup tables.
    CNameIndex m_registryIndex;
    TNoCaseMap<uint32_t> m_symbolIds;
    std::vector<std::wstring> m_symbolNames;
    std::vector<int32_t> m_declaredBySymbol;
    size_t m_declaredIndexed = static_cast<size_t>(-1);
    const CVariable* m_declaredData = nullptr;
    TNoCaseMap<uint32_t> m_declaredNames; // the first of each name, over
    size_t m_declaredNamesFor = 0;        // the first this many variables

    // Parse-time state.
    CSharedTextPool m_texts;                    // the texts of the commands and nodes made
    TNoCaseMap<std::wstring> m_scriptFunctions; // defined in the text: signatures
    // Whether m_scriptFunctions is still to be filled for the text being
    // parsed (outside a parse it is left as it is).
    enum : uint8_t { kScanIdle, kScanPending, kScanDone };
    uint8_t m_functionScan = kScanIdle;
    std::unordered_set<std::wstring, TNoCaseHash, TNoCaseEqual> m_usedNames;
    std::vector<uint32_t> m_variablePositions; // text positions of declared variables
    uint32_t m_extendsDepth = 0;
    CBraceIndex m_braces;
    std::vector<int32_t> m_lastAtDepth; // by depth, over the first m_depthsSeen commands
    size_t m_depthsSeen = 0;

    // Run-time tables (Link), made when a run first needs them.
    std::vector<TLink> m_links;
    std::vector<TCallSite> m_calls;
    std::vector<uint32_t> m_parameterSymbols; // parallel to the parameter pool
    TNoCaseMap<TDefinitions> m_definitions;
    std::vector<TCondition> m_conditions; // parallel to the expressions
    std::vector<TStep> m_steps;
    size_t m_linkedBytes = static_cast<size_t>(-1); // the list's bytes when linked
    uint32_t m_linkLimit = 0;                       // commands below it may take their fast form
    bool m_callsInPlace = false;                    // CallsInPlace, asked when linked
    CBindings m_bindings;                           // by symbol
    uint32_t m_epoch = 1;

    // Run state.
    std::vector<uint32_t> m_argumentPool;
    const THandoff* m_handoff = nullptr; // offered for the call being made
    uint32_t m_nesting = 0;              // user-function bodies running on the C++ stack
    uint32_t m_busy = 0;                 // runs, commands called from outside and function bodies going on
    IScriptConsole* m_console = nullptr;
    wchar_t m_pendingInput = 0; // second half of a surrogate pair read by iin
    // Commands run so far: m_nextCheck - m_countdown. A run counts down to
    // the next check (of the budget and the cancel hook).
    uint64_t m_nextCheck = UINT64_MAX;
    uint64_t m_countdown = UINT64_MAX;
    uint64_t m_stepBudget = kDefaultStepBudget;
    uint64_t m_budgetEnd = 0; // 0: no budget
    std::function<bool()> m_cancelHook;
};
