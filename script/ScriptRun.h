#pragma once
// The run: the loop that runs the commands (a fast path for the commands
// loops run most, a slow path for the rest), calls with their frames and
// returns, the step budget and the cancel hook, the value stack of the
// built-ins, the tape of the 'i' commands and the console statements.
//
// Calls run on the C++ stack: a user function's body runs in a loop of its
// own inside ExecuteUserFunction and returns to the command that called it,
// unless the loop can enter it in place. The depth of calls is capped, so
// no script can overflow the stack.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "script/ScriptLinker.h"

class CScriptRun : public CScriptLinker {
public:
    static constexpr uint32_t kWorkAreaSize = 30000;
    // User functions running at once; one more is error 2, which says so.
    static constexpr uint32_t kMaxCallDepth = 200;
    static std::wstring CallDepthDetails();
    // Commands a run may take unless the owner sets otherwise: generous, but
    // a script caught in an endless loop ends instead of hanging the game.
    static constexpr uint64_t kDefaultStepBudget = 100000000;

    CScriptRun();
    CScriptRun(const CScriptRun&) = default;
    CScriptRun& operator=(const CScriptRun&) = default;
    ~CScriptRun() override = default;

    // Forgets everything of a run: current command, return value, tape,
    // locals, frames, scopes, value stack. Parse results, registry and
    // pending variables stay.
    virtual void ResetRuntime();

    // --- Running ---------------------------------------------------------------
    // Runs from the current command to the end of the list.
    virtual void Execute();
    // Runs the current command; false when it moved the current command itself.
    // A run hands it only the commands that HandlesCommand names and runs the
    // others itself; an override passes the commands it does not run to this.
    virtual bool ExecuteUnit();
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
    // Ends the innermost call: the run goes on after the calling command.
    void Return();
    // The value of the last return that ran.
    int32_t GetReturnValue() const { return m_returnValue; }

    // --- Built-ins ---------------------------------------------------------------
    // Runs a registered function by name with the arguments already on the
    // value stack; assign stores the result into the target variable.
    virtual void ExecuteFunction(const std::wstring& name, bool assign, const std::wstring& target);
    // Runs the built-in at a registry index.
    virtual int32_t ExecuteFunction(uint32_t id) = 0;
    // Arguments of the built-in being run, last argument first.
    int32_t PopArgInt();
    float PopArgFloat();
    std::wstring PopArgString();
    void PushArgument(const std::wstring& argument) { m_valueStack.push_back(argument); }
    // Values on the value stack.
    size_t GetArgumentCount() const { return m_valueStack.size(); }

    // --- Budget ------------------------------------------------------------------
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

    // IExpressionHost.
    int32_t CallExpressionFunction(const std::wstring& name, std::deque<std::wstring>& arguments) override;

protected:
    // Enters the function defined at the command as a call would, without
    // running it: a frame that returns to the current command, and the scope
    // of its body. The run goes on at its first command.
    void EnterFunction(int32_t definition);
    // User functions running.
    size_t GetCallDepth() const { return m_frames.size(); }
    // A run begins: the step budget counts from here, and lookups that a
    // change outside may have spoilt are made again.
    void StartRun();
    // Empties the tape.
    void ClearTape();

private:
    friend class CScriptTestAccess;

    // One running user function.
    struct TCallFrame {
        // The calling command; the run goes on after it.
        int32_t returnCommand = 0;
        uint32_t receiver = 0;     // symbol of the receiving variable
        int32_t definition = -1;   // the function's definition command
        uint32_t scopeDepth = 0;   // scope stack and local count at the call,
        uint32_t localBase = 0;    // restored when it returns
        uint32_t argumentBase = 0; // the call's argument values in the pool
        uint32_t argumentCount = 0;
        // 1 when the result goes into the receiving variable.
        uint8_t flag = 0;
        // Entered in the caller's loop: its return goes on after the call
        // command itself.
        uint8_t inPlace = 0;
        // Its arguments are its call site's (the pool has none of them)
        // until a link drops the call sites.
        uint8_t siteArguments = 0;
    };
    // Thrown to leave every running call at once (exit, or goto to a label
    // outside the running function); caught where the run began.
    struct TUnwind {
        bool exit = false;
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
        CHandoffScope(CScriptRun& script, const THandoff& handoff)
            : m_script(script), m_handoff(handoff), m_saved(script.m_handoff) {
            m_script.m_handoff = &m_handoff;
        }
        ~CHandoffScope() { m_script.m_handoff = m_saved; }
        CHandoffScope(const CHandoffScope&) = delete;
        CHandoffScope& operator=(const CHandoffScope&) = delete;

    private:
        CScriptRun& m_script;
        const THandoff m_handoff;
        const THandoff* m_saved;
    };
    // What the fast path answers when the loop that ran it is over.
    static constexpr uint8_t kLoopOver = 0xFF;

    // The loop (Execute.cpp).
    // The loop of a run and of a user function's body: it ends when the
    // current command leaves the list (depth 0) or when fewer than depth
    // calls are running. The fast path runs until a command needs the slow
    // path, which runs that one command.
    void RunCommands(size_t depth);
    // Runs commands from the current one while they take the fast path;
    // the fast-path form of the command it stops at (kOpGeneral when it
    // takes the slow path whole), or kLoopOver.
    uint8_t RunFastPath(size_t depth);
    // Runs the command at which the fast path stopped; true when the loop
    // ends.
    bool RunSlowPath(uint8_t op, size_t depth);
    // The bindings as the fast path sees them: a variable is found while its
    // cached lookup is valid.
    struct TFastLookup {
        const TBinding* bindings;
        uint32_t epoch;
        // The variable of a symbol while its cached lookup is valid and it holds its
        // own value; null otherwise.
        CVariable* Own(uint32_t symbol) const {
            const TBinding& binding = bindings[symbol];
            return binding.epoch == epoch && !binding.variable->IsBound() ? binding.variable : nullptr;
        }
        // A comparison step's answer while its variables' cached lookups are valid;
        // false (holds not set) when one is not.
        bool Compared(const TStep& step, bool& holds) const {
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
        }
    };
    // What the fast path keeps in registers.
    struct TFastState {
        const TLink* pc; // the command's link
        const TLink* links;
        uint64_t countdown; // to the budget's next check
        TFastLookup lookup;
        uint8_t* cells; // the tape
        uint32_t pointer;
        // The command's index.
        uint32_t At() const { return IndexOf(pc); }
        uint32_t IndexOf(const TLink* link) const { return static_cast<uint32_t>(link - links); }
        // The link at a jump's TLink::next.
        const TLink* Jump(int32_t bytes) const {
            return reinterpret_cast<const TLink*>(reinterpret_cast<const char*>(links) + bytes);
        }
    };
    // The fast-path forms that take more than a line (Execute.cpp); each
    // false when the command takes the slow path, having done nothing.
    [[gnu::always_inline]] inline bool AssignFast(const TLink& link, TFastState& s);
    [[gnu::always_inline]] inline bool IncrementFast(const TLink& link, TFastState& s);
    [[gnu::always_inline]] inline bool DecrementFast(const TLink& link, TFastState& s);
    // An if of a variable with a number, by the comparison's node kind.
    template <uint32_t kCompare>
    [[gnu::always_inline]] inline bool IfNumberFast(const TLink& link, TFastState& s);
    // An if of one comparison, or of two joined.
    [[gnu::always_inline]] inline bool IfFast(const TLink& link, TFastState& s);
    // The end of a taken if body (on after the whole chain) or of an else.
    [[gnu::always_inline]] inline bool BlockEndFast(const TLink& link, TFastState& s);
    // A for loop's end while the loop goes round.
    [[gnu::always_inline]] inline bool LoopEndFast(const TLink& link, TFastState& s);
    // icmp and iloop, while no scope has to close.
    [[gnu::always_inline]] inline bool TapeJumpFast(const TLink& link, TFastState& s);
    [[gnu::always_inline]] inline bool ElseFast(const TLink& link, TFastState& s);
    // A call entered in place; false when it takes the slow path.
    [[gnu::always_inline]] inline bool CallFast(const TLink& link, TFastState& s);
    // A return; false when the call that ran this loop is over.
    [[gnu::always_inline]] inline bool ReturnFast(const TLink& link, TFastState& s, size_t depth);
    // Where the run goes on after an if: into its body when it holds (false
    // when the body's scope cannot open here), else after its body.
    [[gnu::always_inline]] inline bool GoOnAfterIf(const TLink& link, TFastState& s, bool holds);
    // A block's scope opens on the fast path; false when the stack is full.
    [[gnu::always_inline]] inline bool EnterScopeFast(uint32_t opener);
    // The members get the fast path's state back.
    void SaveFastState(const TFastState& s) {
        m_current = static_cast<int32_t>(s.At());
        m_countdown = s.countdown;
        m_workPointer = s.pointer;
    }
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
    // ExecuteUnit for every command, without the budget's count.
    bool RunUnit();
    // The commands of RunUnit by group.
    bool RunBlockCommand(const TCommand& command, const TLink& link);
    bool RunTapeCommand(const TCommand& command, const TLink& link);
    bool RunIf(uint32_t expression);
    bool RunLoopEnd(const TCommand& brace);
    bool RunCloseBrace(const TCommand& command);
    bool RunGoto(const TLink& link);
    bool RunExit();
    void ExitRun();
    void DropAllFrames();

    // Calls and returns (Calls.cpp).
    bool RunReturn(int32_t value);
    // Out of line: calls and returns that have it to do are rare.
    [[gnu::noinline]] void ClearValueStack() { m_valueStack.clear(); }
    // Return from the running function, entered in place, with the fast
    // path's state that an error needs (the state is not passed whole, so
    // that it stays in registers); the command the run goes on at.
    [[gnu::noinline]] uint32_t ReturnInPlace(uint64_t countdown, uint32_t pointer);
    // Its result into a receiver that the cached lookup does not have.
    [[gnu::noinline]] void AssignResult(int32_t at, uint32_t receiver, uint64_t countdown, uint32_t pointer);
    bool RunCall(const TCommand& command, const TLink& link);
    // Enters the user function of a call command in the running loop, when
    // nothing about the call needs ExecuteUserFunction; false otherwise.
    // The run goes on at the function's first command: the caller's to set.
    [[gnu::noinline]] bool CallInPlace(const TLink& link, uint32_t at);
    // A new frame for a call of the definition from the current command,
    // its arguments from here on in the pool.
    TCallFrame& PushFrame(int32_t definition, uint8_t flag, uint32_t receiver);
    // The callee's locals (values handed in, then its parameters) and the
    // scope of its body; the run goes on at its first command.
    void EnterBody(const TCallFrame& frame);
    // The values handed in with AddVariable become the callee's locals.
    void AddPendingLocals();
    void KeepCallArguments() override;
    // The arguments of a running call.
    std::vector<uint32_t> FrameArguments(const TCallFrame& frame) const;
    // Hands a call's resolved function and arguments to ExecuteUserFunction.
    void CallUserFunction(const TCallSite& site, const TLink& link, bool assign, const std::vector<uint32_t>& values);
    bool RunSuper(const TCommand& command, const TLink& link);
    void PrepareArguments(const TCommand& command, const TCallSite& site);

    // Scopes as the run leaves blocks.
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

    // The budget (RunControl.cpp).
    void CheckBudget();
    // The next check comes at the command with this number.
    void CheckAt(uint64_t count);
    // No command is running: a call from outside begins a run.
    bool IsIdle() const { return m_busy == 0; }

    // The console statements (RunControl.cpp).
    void PrintValue(const TCommand& command, const TLink& link);
    void LogSystemCommand(const TCommand& command);
    void ReadInput(const TCommand& command, const TLink& link);
    uint8_t ReadInputCharacter();

    // Tape.
    std::vector<uint8_t> m_workArea;
    uint32_t m_workPointer = 0;
    // Calls.
    std::vector<TCallFrame> m_frames;
    // Arguments of the built-in being run, first deepest, last on top.
    std::deque<std::wstring> m_valueStack;
    int32_t m_returnValue = 0;
    std::vector<uint32_t> m_argumentPool;
    const THandoff* m_handoff = nullptr; // offered for the call being made
    uint32_t m_nesting = 0;              // user-function bodies running on the C++ stack
    uint32_t m_busy = 0;                 // runs, commands called from outside and function bodies going on
    wchar_t m_pendingInput = 0;          // second half of a surrogate pair read by iin
    // Commands run so far: m_nextCheck - m_countdown. A run counts down to
    // the next check (of the budget and the cancel hook).
    uint64_t m_nextCheck = UINT64_MAX;
    uint64_t m_countdown = UINT64_MAX;
    uint64_t m_stepBudget = kDefaultStepBudget;
    uint64_t m_budgetEnd = 0; // 0: no budget
    std::function<bool()> m_cancelHook;
};
