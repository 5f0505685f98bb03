#pragma once
// Variables and scopes: the locals of running functions, the declared
// variables, the values handed to the next call, the scope stack, and the
// symbols and bindings through which a run finds a name's variable without
// searching.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "script/ScriptProgram.h"

class CScriptVariables : public CScriptProgram {
public:
    CScriptVariables();
    CScriptVariables(const CScriptVariables&) = default;
    CScriptVariables& operator=(const CScriptVariables&) = default;
    ~CScriptVariables() override = default;

    // A value handed to the next user-function call (as a u32 variable).
    virtual void AddVariable(const std::wstring& name, uint32_t low, uint32_t high = 0);
    // Locals, newest first, then (unless localsOnly) the declared variables.
    // A derived script adds variables of its own behind these; a run asks it
    // only for names the script does not hold itself.
    virtual CVariable* FindVariable(const std::wstring& name, bool localsOnly);
    // A declared variable of value 0; error 2 when the name is taken.
    void AddGlobalVariable(const std::wstring& name);
    // Assigns a value; a negative one is error 2; fromCall requires the
    // current command to be a call or super.
    void VariableAssign(const std::wstring& name, int64_t value, bool fromCall);
    virtual void PushScope();
    virtual void PopScope();
    // Closes the innermost scope: the locals go back to its mark.
    void UpdateLocalVars();
    // The run keeps where names led; an owner whose FindVariable answers
    // differently now (its own variables changed) says so here.
    void InvalidateLookups();

    // IExpressionHost.
    CVariable* FindExpressionVariable(const std::wstring& name) override { return FindVariable(name, false); }

protected:
    // One mark of the scope stack: the local count when the block was
    // entered and the command that opened it.
    struct TScopeMark {
        uint32_t count = 0;
        int32_t opener = -1;
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

    // A symbol stands for a name in any case; 0 for no name.
    uint32_t Intern(const std::wstring& name);
    // The variable a name stands for: locals newest first, then the
    // declared variables, then FindVariable (which a derived script extends).
    // The answer is cached until a binding can change: a local made or
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
        // The count is stored once: the stores of the loop could alias it.
        const uint32_t live = m_localCount;
        if (live <= count) {
            return;
        }
        TBinding* const entries = m_bindings.entries.data();
        const uint32_t* const symbols = m_localSymbols.data();
        for (uint32_t k = count; k < live; ++k) {
            entries[symbols[k]].epoch = 0;
        }
        m_localCount = count;
    }
    // Indexes the declared variables again when they have changed.
    void CheckDeclared();
    void IndexDeclaredVariables();
    // The first declared variable of a name (any case); -1 when none.
    int32_t FindDeclared(const std::wstring& name);
    // Forgets the indexes of the declared variables.
    void ClearDeclaredIndex() {
        m_declaredIndexed = static_cast<size_t>(-1);
        m_declaredNames.clear();
        m_declaredNamesFor = 0;
    }
    void PushScopeAt(int32_t opener) {
        if (m_scopes.size() == m_scopes.capacity()) [[unlikely]] {
            GrowScopes();
        }
        m_scopes.push_back(TScopeMark{m_localCount, opener});
    }
    [[gnu::noinline]] void GrowScopes() { m_scopes.reserve(m_scopes.size() * 2 + 16); }
    // After a built-in has run: what it may have changed outside.
    void AfterBuiltIn();

    // Locals: the first m_localCount slots are live; slots past them are
    // kept so that their names' storage is reused.
    std::vector<CVariable> m_locals;
    std::vector<uint32_t> m_localSymbols;
    std::vector<const void*> m_localSources;
    uint32_t m_localCount = 0;
    std::vector<TScopeMark> m_scopes;
    uint32_t m_scopeFloor = 0; // the scopes of the running function begin above it
    // Values handed to the next user-function call.
    std::deque<CVariable> m_pending;

    // Symbols and where they lead.
    TNoCaseMap<uint32_t> m_symbolIds;
    std::vector<std::wstring> m_symbolNames;
    CBindings m_bindings; // by symbol
    uint32_t m_epoch = 1;
    std::vector<int32_t> m_declaredBySymbol;
    size_t m_declaredIndexed = static_cast<size_t>(-1);
    const CVariable* m_declaredData = nullptr;
    TNoCaseMap<uint32_t> m_declaredNames; // the first of each name, over
    size_t m_declaredNamesFor = 0;        // the first this many variables

private:
    friend class CScriptTestAccess;
};

template <class TName>
inline void CScriptVariables::AddLocal(uint32_t symbol, const TName& name, const void* source, int64_t value) {
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
