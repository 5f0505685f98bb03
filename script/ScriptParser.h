#pragma once
// Parsing: the text's statements into the flat command list (each command
// carrying its block depth), conditions into expressions, and the checks
// of the whole text that tie blocks, loops, labels and calls together.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "script/BraceIndex.h"
#include "script/ScriptVariables.h"
#include "script/SharedText.h"

class CScriptParser : public CScriptVariables {
public:
    // Scripts extending scripts; one more level is error 45.
    static constexpr uint32_t kMaxExtendsDepth = 16;

    CScriptParser() = default;
    CScriptParser(const CScriptParser&) = default;
    CScriptParser& operator=(const CScriptParser&) = default;
    ~CScriptParser() override = default;

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
    // How the statement "extends" reads its base script (tests and tools
    // serve texts from elsewhere).
    virtual void LoadBaseScript(const std::wstring& path);

    // IExpressionHost.
    bool FindExpressionFunction(const std::wstring& name, std::wstring& signature) override;
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

    // Appends a command that a statement stores itself, at the current
    // depth and at the statement's start.
    void StoreCommand(TStatement& statement, TCommand command);
    // Reads the next word; true when it is exactly the given one.
    bool NextWordIs(const wchar_t* word);

    // What linking takes from the parse checks.
    // The closing brace of every block opener as FindRightBracket finds it
    // (-1 for other commands and unclosed blocks).
    std::vector<int32_t> FindBlockEnds();
    // The last closing brace of the if/else chain that begins at the if;
    // -1 when a brace of it is missing.
    int32_t IfChainEnd(const std::vector<int32_t>& ends, size_t ifIndex) const;
    // Forgets what parsing keeps beside the parse results.
    void ClearParseState();

private:
    friend class CScriptTestAccess;

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
    // The command list let go of its spare room, when that is worth a copy.
    void ShrinkCommandList();
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
    // The index of the closing braces, made again when the list has changed.
    const CBraceIndex& Braces();
    // The last command stored at the depth so far; -1 when none.
    int32_t LastCommandAtDepth(int32_t depth);

    CSharedTextPool m_texts;                            // the texts of the commands and nodes made
    CSharedFieldsPool<TCommandRareFields> m_rareFields; // and their rare fields
    TNoCaseMap<std::wstring> m_scriptFunctions;         // defined in the text: signatures
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
};
