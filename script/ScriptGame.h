#pragma once
// What a game script needs of the game above the script layer: the
// conversation window and the services behind the dialog words. The shell
// installs them (SetScriptGame) and tests install fakes. The game's state
// below the shell (configuration, strings, tables, display, the current
// location) comes through g_gameData.
#include <cstdint>
#include <string>
#include <vector>

class CLoc;
class CScript;

// One answer of a conversation node.
struct TDialogOption {
    std::wstring text;    // one variant per language, separated by "|"
    std::wstring target;  // an action's name or a dialog word
    uint32_t command = 0; // the option command that made it

    bool operator==(const TDialogOption&) const = default;
};

// What an action shows: its text and the answers the player may give.
struct TDialogNode {
    std::wstring text; // one variant per language, separated by "|"
    std::vector<TDialogOption> options;

    bool operator==(const TDialogNode&) const = default;
};

// The conversation window. A conversation step shows the node, runs the
// game's modal loop and then reads the answer.
class IConversationWindow {
public:
    virtual ~IConversationWindow() = default;
    virtual void ShowNode(const TDialogNode& node) = 0;
    // The index of the option the player chose, or -1 when the conversation
    // was ended without a choice.
    virtual int32_t GetAnswer() const = 0;
};

// The game's side of conversations and dialog words.
class IScriptGame {
public:
    virtual ~IScriptGame() = default;
    // Null while the game has none.
    virtual IConversationWindow* GetConversationWindow() = 0;
    // The bank's conversation; null while there is none.
    virtual CScript* GetBankScript() = 0;
    // The healer's full cure of the hero; the restoring of a lost limb.
    virtual void Cure() = 0;
    virtual void CureLimb() = 0;
    // The hero's companion takes the order (0 attack, 1 wait, 3 follow),
    // reported with the message code.
    virtual void OrderCompanion(uint32_t order, uint32_t code, CLoc* location) = 0;
    // The input mode stays as it is when the conversation window closes.
    virtual void KeepInputMode() = 0;
    // Money between the hero and the bank: mode 1 deposit, 2 withdraw.
    virtual void BankTransaction(CLoc* location, uint32_t mode) = 0;
};

// Null while none is installed: a conversation then ends at its first node
// and the dialog words that need the game do nothing.
IScriptGame* GetScriptGame();
void SetScriptGame(IScriptGame* game);
