// Parses and runs arbitrary game scripts (UTF-8) with a step budget: the
// whole text, then a conversation whose answers come from the input, the
// "bank" word holding the same script again, then the trade set-up and the
// functions "Init" and "AfterStart" straight through. The input's first byte
// says how many of the bytes after it are answers (each one -1 to 3); the
// rest is the script. "extends" reads one fixed base script. The built-ins
// check their arguments and find no game's side to act on; every script,
// also the ones the built-ins make (trade profiles), has a console that runs
// no system command.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <sstream>
#include <streambuf>
#include <string>

#include "VEKLib/Console.h"
#include "VEKLib/Exception.h"
#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "platform/Console.h"
#include "script/Script.h"
#include "script/ScriptException.h"
#include "tests/support/SilentConsole.h"

namespace {

constexpr uint64_t kStepBudget = 20000;

class CNullBuffer : public std::wstreambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
};

// "extends" reads nothing from the disk.
class CFuzzScript : public CScript {
public:
    void LoadBaseScript(const std::wstring& path) override {
        LoadText(L"var baseValue = 1\naction Base {\ntext = null\noption \"b|b\" end\n}\n", path);
    }
};

class CFuzzGame final : public IScriptGame, public IConversationWindow {
public:
    IConversationWindow* GetConversationWindow() override { return this; }
    CScript* GetBankScript() override { return bank; }
    void Cure() override {}
    void CureLimb() override {}
    void OrderCompanion(uint32_t, uint32_t, CLoc*) override {}
    void KeepInputMode() override {}
    void BankTransaction(CLoc*, uint32_t) override {}
    void ShowNode(const TDialogNode&) override {
        m_answer = answers.empty() ? -1 : answers.front();
        if (!answers.empty()) {
            answers.pop_front();
        }
    }
    int32_t GetAnswer() const override { return m_answer; }

    CScript* bank = nullptr;
    std::deque<int32_t> answers;

private:
    int32_t m_answer = -1;
};

CGameData& Game() {
    static CGameData* game = [] {
        auto* made = new CGameData();
        made->SetLogSink([](const std::wstring&) {});
        for (const wchar_t* name : {L"key", L"herb"}) {
            TItemInfo item;
            item.name = name;
            made->GetTableSet(kScriptTables).items.push_back(item);
        }
        TMonsterInfo wolf;
        wolf.name = L"wolf";
        made->GetTableSet(kScriptTables).monsters.push_back(wolf);
        return made;
    }();
    return *game;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static testsupport::CSilentConsole silent;
    platform::SetConsole(&silent);
    g_gameData = &Game();
    CFuzzGame game;
    const size_t answers = size == 0 ? 0 : data[0] % 9;
    size_t at = size == 0 ? 0 : 1;
    for (size_t i = 0; i < answers && at < size; ++i, ++at) {
        game.answers.push_back(static_cast<int32_t>(data[at] % 5) - 1);
    }
    const std::wstring text = vek::Utf8ToWide(std::string(reinterpret_cast<const char*>(data) + at, size - at));

    std::istringstream input("7\n");
    CNullBuffer nothing;
    std::wostream output(&nothing);
    CStreamScriptConsole console(input, output);
    SetDefaultScriptConsole(&console);
    CFuzzScript script;
    script.SetConsole(&console);
    script.SetStepBudget(kStepBudget);
    script.LoadText(text, L"fuzz.u");
    game.bank = &script;
    SetScriptGame(&game);
    try {
        script.Parse();
        for (uint32_t type : {kScriptTypeWhole, kScriptTypeConversation, kScriptTypeConversation, kScriptTypeTradeSetUp,
                              kScriptTypeBrainInit, kScriptTypeAfterStart}) {
            try {
                script.ExecuteScript(type);
            } catch (const CScriptException&) {
            } catch (const vek::CException&) {
                // What the game's services throw passes through the built-ins.
            }
        }
        script.IsDialogScript();
    } catch (const CScriptException&) {
    }
    SetScriptGame(nullptr);
    SetDefaultScriptConsole(nullptr);
    g_gameData = nullptr;
    vek::ConsoleOut().flush();
    return 0;
}
