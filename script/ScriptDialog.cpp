// Running a game script: its statements, conversations and dialog words, and
// the script types.
#include <algorithm>

#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "script/ScopedValue.h"
#include "script/Script.h"
#include "script/ScriptException.h"

namespace {

constexpr const wchar_t* kExecuteUnit = L"CScript::ExecuteUnit";
constexpr const wchar_t* kExecuteScript = L"CScript::ExecuteScript";

bool Is(const std::wstring& word, const wchar_t* keyword) { return vek::equals(word, keyword, false); }

// Orders of the companion words and the codes of their messages.
struct TCompanionWord {
    const wchar_t* word;
    uint32_t order;
    uint32_t code;
};
constexpr TCompanionWord kCompanionWords[] = {
    {L"companion_attack", 0, 23},
    {L"companion_wait", 1, 24},
    {L"companion_follow", 3, 26},
};

} // namespace

// --- Script types ---------------------------------------------------------------------------

void CScript::ExecuteScript(uint32_t type) {
    if (!IsParsed()) {
        Raise(kErrExecution, kExecuteScript, __LINE__);
    }
    switch (type) {
    case kScriptTypeWhole:
    case kScriptTypeDeclarations:
    case kScriptTypeTradeProfile:
        ResetRuntime();
        CScriptBase::Execute();
        return;
    case kScriptTypeConversation:
        RunConversation();
        return;
    case kScriptTypeTradeSetUp:
        RunTradeSetUp();
        return;
    case kScriptTypeBrainInit:
        RunStraight(L"Init", true);
        return;
    case kScriptTypeAfterStart:
        RunStraight(L"AfterStart", false);
        return;
    default:
        return;
    }
}

void CScript::RunConversation() {
    if (s_conversationDepth >= kMaxConversationDepth) {
        Raise(kErrExecution, kExecuteScript, __LINE__,
              vek::Format(L"conversation depth cap of %u reached", kMaxConversationDepth));
    }
    const TScopedValue<uint32_t> depth(s_conversationDepth, s_conversationDepth + 1);
    std::vector<TCommand>& commands = GetParseResults().Commands();
    for (size_t i = 0; i < commands.size(); ++i) {
        if (commands[i].kind == kCmdItem) {
            ResetRuntime();
            SetCurrentCommand(static_cast<int32_t>(i));
            ExecuteUnit();
        }
    }
    ResetRuntime();
    const auto header = std::find_if(commands.begin(), commands.end(), [](const TCommand& command) {
        return command.kind == kCmdAction && Is(command.Arguments(), L"default");
    });
    if (header == commands.end()) {
        Raise(kErrNoDefaultAction, kExecuteScript, __LINE__);
    }
    const int32_t index = static_cast<int32_t>(header - commands.begin());
    if (FindClosingBrace(static_cast<uint32_t>(index)) < 0) {
        SetTokenStart(header->textPosition);
        Raise(kErrExecution, kExecuteScript, __LINE__);
    }
    ResetRuntime();
    EnterAction(index);
    SetCurrentCommand(index + 1);
    CScriptBase::Execute();
}

// --- Statements -----------------------------------------------------------------------------

bool CScript::ExecuteUnit() {
    std::vector<TCommand>& commands = GetParseResults().Commands();
    const int32_t current = GetCurrentCommand();
    if (current < 0 || static_cast<size_t>(current) >= commands.size()) {
        return CScriptBase::ExecuteUnit(); // the base reports it
    }
    TCommand& command = commands[current];
    switch (command.kind) {
    case kCmdAction:
    case kCmdActionEnd:
        return true;
    case kCmdText:
        m_node.text = command.name;
        return true;
    case kCmdOption:
        m_node.options.push_back(TDialogOption{command.name, command.Arguments(), static_cast<uint32_t>(current)});
        return true;
    case kCmdItem:
        RunItemDeclaration(command);
        return true;
    case kCmdSetDefaultAction:
        RunSetDefaultAction(command);
        return true;
    case kCmdAlarm: {
        // Alarms are declarations: a run of the whole text steps over them.
        const int32_t end = FindClosingBrace(static_cast<uint32_t>(current));
        if (end < 0) {
            RaiseHere(kErrExecution, kExecuteUnit, __LINE__);
        }
        SetCurrentCommand(end);
        return true;
    }
    case kCmdGroupMemberAttacked:
        return true;
    case kCmdActionJump:
        return RunDialogWord(command);
    case kCmdLabel:
    case kCmdGoto:
    case kCmdReturn:
    case kCmdFunction:
    case kCmdSuper:
        if (m_inAction) {
            RaiseHere(kErrNotAllowedInAction, kExecuteUnit, __LINE__);
        }
        return CScriptBase::ExecuteUnit();
    case kCmdCloseBrace:
        if (m_inAction && command.argument == kCmdActionEnd) {
            return RunActionEnd();
        }
        return CScriptBase::ExecuteUnit();
    default:
        return CScriptBase::ExecuteUnit();
    }
}

bool CScript::HandlesCommand(const TCommand& command) const {
    switch (command.kind) {
    case kCmdLabel:
    case kCmdGoto:
    case kCmdReturn:
    case kCmdFunction:
    case kCmdSuper:
        return true;
    default:
        return CScriptBase::HandlesCommand(command);
    }
}

bool CScript::ExecuteUserFunction(const std::wstring& name, uint8_t flag, const std::wstring& receiver,
                                  bool preferOverriding, bool mustExist) {
    // The action that called the function goes on after it, its end included.
    const TScopedValue<uint8_t> inAction(m_inAction, 0);
    return CScriptBase::ExecuteUserFunction(name, flag, receiver, preferOverriding, mustExist);
}

void CScript::RunItemDeclaration(const TCommand& command) {
    TQuestItem item;
    item.alias = command.name;
    item.name = command.Arguments();
    item.itemType = g_gameData ? g_gameData->GetItemByName(command.Arguments()) : kNoItem;
    item.count = command.argument;
    item.number = command.target;
    // Declarations run at every conversation: the list holds each once.
    const bool known = std::any_of(m_extra.items.begin(), m_extra.items.end(), [&](const TQuestItem& declared) {
        return declared.alias == item.alias && declared.name == item.name && declared.itemType == item.itemType &&
               declared.count == item.count && declared.number == item.number;
    });
    if (!known) {
        m_extra.items.push_back(item);
    }
}

void CScript::RunSetDefaultAction(const TCommand& command) {
    const TNoCaseEqual equal;
    for (TCommand& action : GetParseResults().Commands()) {
        if (action.kind == kCmdAction && action.Arguments() == L"default") {
            action.SetArguments(CSharedText());
        }
    }
    for (TCommand& action : GetParseResults().Commands()) {
        if (action.kind == kCmdAction && equal(action.name, command.name)) {
            action.SetArguments(L"default");
        }
    }
}

// --- Conversation ------------------------------------------------------------------------------

bool CScript::RunActionEnd() {
    // Show the node and wait for the player's answer.
    int32_t answer = -1;
    if (IScriptGame* game = GetScriptGame()) {
        if (IConversationWindow* window = game->GetConversationWindow()) {
            window->ShowNode(m_node);
            if (g_gameData) {
                g_gameData->Run();
                // The game ran meanwhile: what names found may have moved.
                InvalidateLookups();
            }
            answer = window->GetAnswer();
        }
    }
    if (m_node.options.empty()) {
        return EndConversation();
    }
    std::vector<TCommand>& commands = GetParseResults().Commands();
    int32_t end = GetCurrentCommand();
    while (end >= 0 && commands[end].kind != kCmdActionEnd) {
        --end;
    }
    if (end < 0) {
        return true;
    }
    // An answer that names no option ends the conversation as -1 does.
    if (answer < 0 || static_cast<size_t>(answer) >= m_node.options.size()) {
        return EndConversation();
    }
    TCommand& jump = commands[end];
    jump.kind = kCmdActionJump;
    jump.name = m_node.options[answer].target;
    SetCurrentCommand(end);
    m_node.options.clear();
    PopScope();
    return false;
}

bool CScript::RunDialogWord(TCommand& jump) {
    const size_t index = static_cast<size_t>(GetCurrentCommand());
    const bool advance = RunJumpTarget(jump.name);
    // The jump is made once: after the step the command is an action end
    // again. A step that failed leaves it to the next ResetRuntime.
    std::vector<TCommand>& commands = GetParseResults().Commands();
    if (index < commands.size() && commands[index].kind == kCmdActionJump) {
        commands[index].kind = kCmdActionEnd;
        commands[index].name = CSharedText();
    }
    return advance;
}

bool CScript::RunJumpTarget(const std::wstring& target) {
    IScriptGame* game = GetScriptGame();
    CLoc* location = g_gameData ? g_gameData->GetCurrentLoc() : nullptr;
    if (Is(target, L"end")) {
        return EndConversation();
    }
    if (Is(target, L"trade")) {
        if (g_gameData) {
            g_gameData->OpenWindow(kTradeWindow, 0, 0);
        }
        return EndConversation();
    }
    if (Is(target, L"repair")) {
        if (g_gameData) {
            g_gameData->OpenWindow(kInventoryWindow, kWindowModeRepair, 0);
        }
        return EndConversation();
    }
    if (Is(target, L"cure") || Is(target, L"cure_limb")) {
        if (game) {
            Is(target, L"cure") ? game->Cure() : game->CureLimb();
        }
        return EndConversation();
    }
    for (const TCompanionWord& word : kCompanionWords) {
        if (!Is(target, word.word)) {
            continue;
        }
        if (game) {
            game->OrderCompanion(word.order, word.code, location);
            if (word.order == 0) {
                game->KeepInputMode();
            }
        }
        return EndConversation();
    }
    if (Is(target, L"bank")) {
        if (CScript* bank = game ? game->GetBankScript() : nullptr) {
            bank->ExecuteScript(kScriptTypeConversation);
        }
        return EndConversation();
    }
    if (Is(target, L"bank_deposit") || Is(target, L"bank_withdraw")) {
        if (game) {
            game->BankTransaction(location, Is(target, L"bank_deposit") ? 1 : 2);
        }
        return EndConversation();
    }
    int32_t end = -1;
    const int32_t header = FindAction(target, end);
    EnterAction(header);
    SetCurrentCommand(header);
    return false;
}

bool CScript::EndConversation() {
    const size_t count = GetParseResults().Commands().size();
    SetCurrentCommand(count == 0 ? 0 : static_cast<int32_t>(count - 1));
    return false;
}

int32_t CScript::FindAction(const std::wstring& name, int32_t& end) {
    const std::vector<TCommand>& commands = GetParseResults().Commands();
    const TNoCaseEqual equal;
    for (size_t i = 0; i < commands.size(); ++i) {
        if (commands[i].kind == kCmdAction && equal(commands[i].name, name)) {
            end = FindClosingBrace(static_cast<uint32_t>(i));
            if (end < 0) {
                SetTokenStart(commands[i].textPosition);
                Raise(kErrExecution, kExecuteUnit, __LINE__);
            }
            return static_cast<int32_t>(i);
        }
    }
    RaiseHere(kErrActionNotFound, kExecuteUnit, __LINE__);
}

int32_t CScript::FindClosingBrace(uint32_t start) const {
    const std::vector<TCommand>& commands = GetParseResults().Commands();
    for (size_t i = start + 1; i < commands.size(); ++i) {
        if (commands[i].kind == kCmdCloseBrace && commands[i].block == commands[start].block) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

void CScript::EnterAction(int32_t header) {
    // The scope belongs to the action's block, so the blocks inside it
    // close into it.
    SetCurrentCommand(header);
    PushScope();
    m_inAction = 1;
}
