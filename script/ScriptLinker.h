#pragma once
// Linking: the parsed command list made ready to run. Every command gets its
// names as symbols, its jump targets, its call's definition and arguments,
// and the fast-path form that the run loop does itself; conditions are
// compiled into steps. A run links when the list has changed since.
#include <cstdint>
#include <string>
#include <vector>

#include "script/ScriptParser.h"

class CScriptLinker : public CScriptParser {
public:
    CScriptLinker() = default;
    CScriptLinker(const CScriptLinker&) = default;
    CScriptLinker& operator=(const CScriptLinker&) = default;
    ~CScriptLinker() override = default;

    // Whether a run hands the command to ExecuteUnit: by default the kinds the
    // base does not know and the closing braces of their blocks. A derived
    // script that checks a base kind itself adds it. Asked when linking.
    virtual bool HandlesCommand(const TCommand& command) const;
    // Whether a call command of a run may enter its user function in the
    // run's own loop rather than through ExecuteUserFunction (the same
    // frame, locals and scope; no C++ call). A derived script whose
    // ExecuteUserFunction must see every call answers false. Asked when
    // linking.
    virtual bool CallsInPlace() const { return true; }

protected:
    // Called before a link drops the call sites: a run copies what it still
    // needs of them.
    virtual void KeepCallArguments() {}

protected:
    // The fast-path form of a command (TLink::op): the commands that loops
    // run most, which the run loop does itself while nothing unusual
    // happens. kOpGeneral: the slow path, through RunUnit.
    enum : uint8_t {
        kOpGeneral = 0,
        kOpNothing,      // label, end marker, assignment of a call's result
        kOpAssignNumber, // symbol := value
        kOpIncr,
        kOpDecr,
        kOpLoopEnd, // a for loop's closing brace
        kOpIf,      // value: the condition's index; call: its first step
        kOpIfOne,   // as kOpIf, of one comparison
        kOpIfTwo,   // as kOpIf, of two comparisons joined
        // As kOpIf, of one comparison of a variable (symbol) with a number
        // (value), by its operator.
        kOpIfEqual,
        kOpIfNotEqual,
        kOpIfLess,
        kOpIfGreater,
        kOpIfLessEqual,
        kOpIfGreaterEqual,
        kOpIfEnd,    // the closing brace of an if body; jump: the end of its chain
        kOpElse,     // "else {"
        kOpBlockEnd, // the closing brace of another block (an else's)
        kOpReturn,   // value: the value returned
        kOpCall,     // a call command
        kOpDerived,  // handed to ExecuteUnit (HandlesCommand)
        // The tape commands; jump: the partner of icmp and iloop.
        kOpTapeRight,
        kOpTapeLeft,
        kOpTapeAdd,
        kOpTapeSub,
        kOpTapeTest,
        kOpTapeLoop,
        kOpCount,
    };
    // What Link keeps per command: where it leads, what it names, and its
    // fast-path form.
    struct TLink {
        uint8_t op = kOpGeneral;
        uint8_t table = 0;   // if of one comparison with a number: as TStep's
        uint8_t skip = 0;    // if: 1 when the else of an "else if" follows its brace
        uint8_t scoped = 0;  // if, else: 1 when a for in the body may add locals to its scope;
                             // call: 1 when the run loop may enter its function in place
        uint32_t symbol = 0; // the variable the command names (its condition's, for an if)
        int32_t end = -1;    // block openers: the closing brace
        int32_t jump = -1;   // goto: label; icmp/iloop: partner; if: chain end;
                             // call: definition; loop end: its for
        int32_t owner = -1;  // the innermost function definition around it
        uint32_t call = 0;   // calls and super: their entry in m_calls
        // Where the fast path goes on when the command jumps (the end of a
        // loop round, of an if body, an if that does not hold, icmp and
        // iloop), in bytes from the first link: the next command otherwise.
        int32_t next = 0;
        int64_t value = 0; // assignment: the number; loop end: the end value; function: its parameter count;
                           // if: its condition, or of one comparison the number;
                           // if and else ends: the opener whose scope stays (StayingOpener)
    };
    // A call command as it runs: the names handed to the overridable
    // operations, and its arguments split once.
    struct TCallSite {
        std::wstring name;
        bool user = false;     // a user function's (the registry's entry when linked)
        bool assign = false;   // the assignment before it takes the result
        std::wstring receiver; // the assignment's variable as written; empty: none
        uint32_t receiverSymbol = 0;
        std::vector<std::wstring> texts;
        std::vector<uint32_t> values;
        bool valid = false; // false: split again when run, so the error shows then
        // Entered in place: the parameters that take an argument, the first
        // at this slot of the pool and the rest below it (stored last first).
        uint32_t firstParameter = 0;
        uint32_t parameterLocals = 0;
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
    // No scope mark has this opener.
    static constexpr int32_t kNoOpener = INT32_MIN;
    struct TDefinitions {
        int32_t preferred = -1; // the overriding definition, else the last one
        int32_t plain = -1;     // the first definition that does not override
    };

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
    // Forgets the tables of the last link.
    void ClearLinks();
    const TDefinitions* FindDefinitions(const std::wstring& name) const;

    // Compiled conditions (Conditions.cpp).
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
    static bool Compare(uint8_t kind, uint64_t left, uint64_t right);

    std::vector<TLink> m_links;
    std::vector<TCallSite> m_calls;
    std::vector<uint32_t> m_parameterSymbols; // parallel to the parameter pool
    TNoCaseMap<TDefinitions> m_definitions;
    std::vector<TCondition> m_conditions; // parallel to the expressions
    std::vector<TStep> m_steps;
    bool m_callsInPlace = false; // CallsInPlace, asked when linked

private:
    friend class CScriptTestAccess;

    // What the passes of one link share.
    struct TLinkPass {
        std::vector<int32_t> ends;         // of each block opener (FindBlockEnds)
        TNoCaseMap<int32_t> labels;        // the first label of each name
        std::vector<uint32_t> loopsBefore; // the for commands before each command
        std::vector<int32_t> enclosing;    // the innermost block opener around each command
    };
    // The passes of Link (Link.cpp).
    // Per command: its innermost function and its block's end; the
    // functions' definitions, the labels and the pairs of icmp and iloop.
    void LinkBlocks(TLinkPass& pass);
    // Names, jumps and the fast-path forms, one command at a time.
    void LinkCommands(const TLinkPass& pass);
    void LinkCommand(size_t index, const TLinkPass& pass);
    void LinkIf(size_t index, const TLinkPass& pass, TLink& link);
    void LinkCloseBrace(size_t index, const TLinkPass& pass, TLink& link);
    // The opener of the block around a brace (if and else blocks passed
    // over) whose scope stays when the run goes on at next after it;
    // kNoOpener when there is none.
    int32_t StayingOpener(size_t brace, int32_t next, const TLinkPass& pass) const;
    void LinkCall(size_t index, TLink& link);
    // Where the parameters of a call entered in place come from.
    void LinkParameters(const TCommand& function, TCallSite& site) const;
    // Whether the block of the opener may add locals to its scope: a for
    // stands in its body (or its end is not known).
    static uint8_t IsScoped(size_t opener, const TLinkPass& pass);
    // A false if steps over the else of an "else if" after its brace.
    void LinkElseSkips();
    // Where each command's fast-path form goes on when it jumps (TLink::next).
    void LinkJumps();
    // The link's marks, and the lookups that the new names may change.
    void FinishLink();

    // Compiling conditions.
    void CompileConditions();
    bool CompileCondition(const TNodeList& list, TCondition& condition);
};

inline uint64_t CScriptLinker::RunCompiled(const TCondition& condition) {
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
