#pragma once
// The game script: the interpreter with the game's own statements. A script
// may hold conversations made of actions (a node's text and the answers that
// lead to other actions or to dialog words such as "trade" or "end"), item
// aliases and location alarms. It is run in one of a few fixed ways chosen by
// a script type (ExecuteScript).
//
// Variables that a game script does not know itself are looked up among the
// game's global variables: those declared by the global script.
#include <cstdint>
#include <string>
#include <vector>

#include "script/Alarm.h"
#include "script/Records.h"
#include "script/ScriptBase.h"
#include "script/ScriptGame.h"

// Command kinds of the game statements and what the fields of TCommand hold
// for them (Commands.h has the rest). Kinds 40 to 43 are not used.
//
// kind                      argument     target   extra    name           arguments
// 33 [default] action N {   -            -        -        action name    "default" when it is the default
// 34 (made at run time)     -            -        -        option target  -
// 35 (at an action's end)   -            -        -        -              -
// 36 text = "T" | null      -            -        -        the text       -
// 37 option "T" TARGET      -            -        -        the text       target: action or dialog word
// 38 item "A" "V" N N N     first N      2nd N    3rd N    alias          item name (monster for "##")
// 39 SetDefaultAction N     -            -        -        action name    -
// 44 alarm N {              -            -        -        alarm name     -
// 45 GroupMemberAttacked    1: "attack"  -        -        group          -
//
// Actions, their ends and alarms open blocks; an action's closing brace has
// the argument 35, an alarm's 44. Kind 34 is a kind-35 command for the
// length of one conversation step: it holds the target of the chosen answer.
enum : uint32_t {
    kCmdAction = 33,
    kCmdActionJump = 34,
    kCmdActionEnd = 35,
    kCmdText = 36,
    kCmdOption = 37,
    kCmdItem = 38,
    kCmdSetDefaultAction = 39,
    kCmdAlarm = 44,
    kCmdGroupMemberAttacked = 45,
};

// How ExecuteScript runs a script.
enum : uint32_t {
    kScriptTypeWhole = 0,        // the whole text
    kScriptTypeConversation = 1, // a conversation from the default action
    kScriptTypeDeclarations = 2, // the global declarations: the whole text
    kScriptTypeTradeProfile = 3, // a trade profile: the whole text
    kScriptTypeTradeSetUp = 4,   // only the first LoadTradeProfile call
    kScriptTypeNone = 5,         // nothing
    kScriptTypeBrainInit = 6,    // the function "Init" straight through
    kScriptTypeAfterStart = 7,   // the function "AfterStart" straight through
};

class CScript : public CScriptBase {
public:
    // Conversations running inside one another (the "bank" word starts one
    // from within a conversation); one more is error 2.
    static constexpr uint32_t kMaxConversationDepth = 8;

    // Loads the file when the path is not empty. Does not parse.
    explicit CScript(const std::wstring& path = std::wstring());
    CScript(const CScript&) = default;
    CScript& operator=(const CScript&) = default;
    ~CScript() override = default;

    // --- Running ---------------------------------------------------------------------
    // Runs the script as its type says: 0, 2 and 3 the whole text, 1 a
    // conversation, 4 its first LoadTradeProfile call (none: the trade
    // record's header is cleared), 6 the function "Init" and 7 the function
    // "AfterStart" straight through (each command of the function once, in
    // text order, whatever jumps they make, until the function has
    // returned), 5 and from 8 on nothing. Error 2 when the script is not
    // parsed.
    virtual void ExecuteScript(uint32_t type);
    // Whether the script has a game statement. Error 2 when not parsed.
    bool IsDialogScript() const;
    // The item declaration of that alias (any case) that has run; error 68
    // when there is none.
    void GetItemByAlias(const std::wstring& alias, TQuestItem& item);
    // The item or monster name that an "item" statement gives the alias (any
    // case); empty when none does.
    std::wstring FindItemAlias(const std::wstring& alias) const;

    // --- The interpreter's hooks ----------------------------------------------------
    // Also forgets the alarms, the node and the item declarations.
    void Reset() override;
    // Also: every jump back to an action end, no action running, an empty node.
    void ResetRuntime() override;
    // Also the parse state of actions, "default" and alarms.
    void ClearLocalVariables() override;
    // Then checks option targets, action names and item names. A script that
    // fails them keeps the parsed mark it had before.
    void Parse() override;
    void ParseUnit(bool& store, TCommand& command) override;
    bool ExecuteUnit() override;
    // Also the statements that an action refuses.
    bool HandlesCommand(const TCommand& command) const override;
    // A function called from an action runs outside it (labels, goto and
    // return work there); the action goes on after it.
    bool ExecuteUserFunction(const std::wstring& name, uint8_t flag, const std::wstring& receiver,
                             bool preferOverriding, bool mustExist) override;
    // Every call goes through the override above.
    bool CallsInPlace() const override { return false; }
    // An action's end for an action; actions' ends and alarms as the base
    // does; -1 for the other game statements.
    int32_t FindMatchingCommand(uint32_t start, uint32_t closingKind) override;
    // Then the global variables, unless this is the global script.
    CVariable* FindVariable(const std::wstring& name, bool localsOnly) override;

    // --- Built-in functions (ScriptBuiltins.cpp) ---------------------------------------
    // Ids 2 to 71, registered after Rnd and Chance: the registry index of
    // each is its id.
    static constexpr uint32_t kFirstBuiltin = 2;
    static constexpr uint32_t kLastBuiltin = 71;
    // Trade profiles loading trade profiles: one more is error 2.
    static constexpr uint32_t kMaxProfileDepth = 8;
    // A name that is not registered is error 33.
    void ExecuteFunction(const std::wstring& name, bool assign, const std::wstring& target) override;
    // The built-in of the registry entry at the index; ids outside 2 to 71
    // go to the base (Rnd, Chance; error 33 for any other).
    int32_t ExecuteFunction(uint32_t index) override;

    // --- The game's global variables ----------------------------------------------------
    // The script whose declared variables every game script sees after its
    // own; null: none.
    static void SetGlobalScript(CScriptBase* script) { s_globalScript = script; }
    static CScriptBase* GetGlobalScript() { return s_globalScript; }
    // Puts a table of declared variables in place of the script's own.
    void SetDeclaredVariables(std::vector<CVariable> variables);

    // --- State ---------------------------------------------------------------------------
    const TDialogNode& GetNode() const { return m_node; }
    bool IsInAction() const { return m_inAction != 0; }
    // The alarms its "alarm" blocks declare; a location copies them.
    const std::vector<TAlarm>& GetAlarms() const { return m_alarms; }
    // The trade record and the item declarations that have run.
    TScriptExtraData& GetExtraData() { return m_extra; }
    const TScriptExtraData& GetExtraData() const { return m_extra; }

private:
    // Game statements (one function per form, after its first word).
    void ParseDefault(TStatement& statement);
    void ParseAction(TStatement& statement);
    void ParseText(TStatement& statement);
    void ParseOption(TStatement& statement);
    void ParseItem(TStatement& statement);
    void ParseSetDefaultAction(TStatement& statement);
    void ParseAlarm(TStatement& statement);
    void ParseGroupMemberAttacked(TStatement& statement);
    // Error 64 when the text has fewer "|"-pieces than the game has languages.
    void CheckLanguages(const std::wstring& text) const;
    // The checks after the base's parse.
    void CheckOptionTargets();
    void CheckActionNames();
    void CheckItemNames();

    // Running (ScriptDialog.cpp).
    void RunConversation();
    bool RunActionEnd();
    bool RunDialogWord(TCommand& jump);
    bool RunJumpTarget(const std::wstring& target);
    bool EndConversation();
    void RunItemDeclaration(const TCommand& command);
    void RunSetDefaultAction(const TCommand& command);
    // The action of that name (any case) and its closing brace; error 61
    // when there is no such action, 2 when it is not closed.
    int32_t FindAction(const std::wstring& name, int32_t& end);
    // The first closing brace after the command at its block; -1 when none.
    int32_t FindClosingBrace(uint32_t start) const;
    // Enters an action: the scope of its block, in action.
    void EnterAction(int32_t header);

    // Built-ins and the script types that need them (ScriptBuiltins.cpp).
    friend struct TBuiltinCall;
    void RegisterBuiltins();
    void RunTradeSetUp();
    void RunStraight(const wchar_t* function, bool reset);
    // Whether, run straight through the function between start and end, the
    // command would only move the index: break, continue, exit, and a goto
    // to a label inside the function.
    bool JumpsWithin(size_t index, int32_t start, int32_t end);
    // " (file, line N)" of the current command, for errors of the game's side.
    std::wstring ScriptPlace();
    void LoadTradeProfile(const std::wstring& profile, float factor1, float factor2, uint32_t a, uint32_t b,
                          uint32_t c);

    // The details say what the message alone does not (which limit ran out).
    [[noreturn]] void Raise(EScriptError code, const wchar_t* function, uint32_t line,
                            const std::wstring& details = std::wstring()) const;
    // As Raise, at the line of the current command.
    [[noreturn]] void RaiseHere(EScriptError code, const wchar_t* function, uint32_t line,
                                const std::wstring& details = std::wstring());
    // The scanner stands at the current command, whose line errors report.
    void LocateCurrentCommand();

    TDialogNode m_node;
    uint8_t m_inAction = 0;
    uint8_t m_defaultDeclared = 0;
    std::wstring m_alarmName;
    std::vector<TAlarm> m_alarms;
    TScriptExtraData m_extra;

    // A "default" read and its action not yet: shared by every script, as a
    // parse reads one script at a time.
    static inline bool s_pendingDefault = false;
    static inline CScriptBase* s_globalScript = nullptr;
    static inline uint32_t s_conversationDepth = 0;
    static inline uint32_t s_profileDepth = 0;
};
