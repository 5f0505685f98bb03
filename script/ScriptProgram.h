#pragma once
// The program a script object holds: its text (the scanner), the commands,
// expressions and declared variables parsed from it, the function registry,
// the block kinds, where a run stands in it, its console, and the errors
// that point into it.
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "VEKLib/Serializable.h"
#include "script/Commands.h"
#include "script/Expression.h"
#include "script/ParserCore.h"
#include "script/Records.h"
#include "script/ScriptConsole.h"
#include "script/ScriptErrors.h"
#include "script/ScriptNames.h"

// One entry of the function registry: a built-in (its id) or a user function
// defined in the script (id kUserFunction).
struct TSystemFunction {
    static constexpr uint32_t kUserFunction = 0xFFFFFFFF;

    CSharedText name;
    uint32_t id = 0;
    // One letter per argument: "s" text, "n" whole number, "f" number with a
    // decimal point.
    CSharedText signature;
    uint32_t value1 = 0;
    uint32_t value2 = 0;
    uint32_t value3 = 0;
};

class CScriptProgram : public vek::ISerializable, public CParserCore, public IExpressionHost {
public:
    CScriptProgram() = default;
    CScriptProgram(const CScriptProgram&) = default;
    CScriptProgram& operator=(const CScriptProgram&) = default;
    ~CScriptProgram() override = default;

    // --- Registry -------------------------------------------------------------------
    virtual void RegisterFunction(const CSharedText& name, uint32_t id, const CSharedText& signature,
                                  uint32_t value1 = 0, uint32_t value2 = 0, uint32_t value3 = 0);
    // Registry index of the first entry of that name (any case); -1 when none.
    int32_t FindSystemFunction(const std::wstring& name) const;
    // The same for a command's name.
    int32_t FindFunctionIndex(const CSharedText& name) const;
    // The registry entry of a user function; error 33 when none.
    const TSystemFunction& FindUserFunction(const std::wstring& name) const;
    // Forgets the parse-time state of user functions.
    virtual void ClearLocalVariables();

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

    // --- Console ------------------------------------------------------------------------
    // Null: the default console.
    void SetConsole(IScriptConsole* console) { m_console = console; }
    IScriptConsole* GetOwnConsole() const { return m_console; }
    IScriptConsole& Console() const;

    // --- State ---------------------------------------------------------------------------
    CParseResults& GetParseResults() { return m_results; }
    const CParseResults& GetParseResults() const { return m_results; }
    const std::vector<TSystemFunction>& GetRegistry() const { return m_registry; }
    int32_t GetCurrentCommand() const { return m_current; }

    // IExpressionHost.
    const CParserCore& GetErrorLocator() const override { return *this; }

protected:
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
    // Errors from here on report the line of the command at index.
    void LocateCommand(uint32_t index) { m_tokenStart = m_results.Commands()[index].textPosition; }

    // Whether the command list has the length it had when it was linked
    // (compared in bytes: no division by a command's size, at every call).
    bool IsLinked() const { return m_linkedBytes == CommandBytes(); }
    size_t CommandBytes() const {
        const std::vector<TCommand>& commands = m_results.Commands();
        return static_cast<size_t>(reinterpret_cast<const char*>(std::to_address(commands.end())) -
                                   reinterpret_cast<const char*>(std::to_address(commands.begin())));
    }
    // The list is to be linked again before it runs.
    void Unlink() {
        m_linkedBytes = static_cast<size_t>(-1);
        m_linkLimit = 0;
    }

    void RebuildRegistryIndex();
    // The names of the registry by position, for its index.
    auto RegistryNames() const {
        return [this](uint32_t position) -> const CSharedText& { return m_registry[position].name; };
    }

    CParseResults m_results;
    std::vector<TSystemFunction> m_registry;
    CNameIndex m_registryIndex;
    std::vector<CSharedText> m_parameterPool;
    uint8_t m_extends = 0;
    std::set<uint32_t> m_blockKinds;
    uint64_t m_blockKindMask = 0; // the kinds below 64 of m_blockKinds
    int32_t m_currentDepth = 0;
    int32_t m_current = 0;
    IScriptConsole* m_console = nullptr;
    size_t m_linkedBytes = static_cast<size_t>(-1); // the list's bytes when linked
    uint32_t m_linkLimit = 0;                       // commands below it may take the fast path

private:
    friend class CScriptTestAccess;
};
