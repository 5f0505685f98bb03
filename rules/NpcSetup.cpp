// An NPC's own script: read and run at its set-up, and a default one written
// for an NPC that has none.
#include <algorithm>
#include <string>

#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "data/Globals.h"
#include "rules/Monster.h"
#include "script/Script.h"
#include "script/ScriptException.h"

namespace {

// The NPC is the game's current NPC for the length of a scope.
class CCurrentNpc {
public:
    explicit CCurrentNpc(CNpc* npc) : m_previous(g_gameData != nullptr ? g_gameData->GetCurrentNpc() : nullptr) {
        if (g_gameData != nullptr) {
            g_gameData->SetCurrentNpc(npc);
        }
    }
    ~CCurrentNpc() {
        if (g_gameData != nullptr) {
            g_gameData->SetCurrentNpc(m_previous);
        }
    }
    CCurrentNpc(const CCurrentNpc&) = delete;
    CCurrentNpc& operator=(const CCurrentNpc&) = delete;

private:
    CNpc* m_previous;
};

void Report(const CScriptException& error) {
    if (g_gameData != nullptr) {
        g_gameData->Log(error.GetText());
    }
    error.ShowMessageBox();
}

// A text of one variant, made fit for a string literal of every language.
std::wstring Variants(std::wstring text) {
    std::replace(text.begin(), text.end(), L'"', L'\'');
    std::replace(text.begin(), text.end(), L'|', L'/');
    std::replace(text.begin(), text.end(), L'\n', L' ');
    const size_t languages = g_gameData != nullptr ? g_gameData->GetConfig().GetLanguages().size() : 1;
    std::wstring variants = text;
    for (size_t i = 1; i < languages; ++i) {
        variants += L"|" + text;
    }
    return variants;
}

} // namespace

std::wstring CNpc::GetScriptPath() const {
    if (scriptFile.empty()) {
        return std::wstring(kScriptDir) + name + L".u";
    }
    const size_t slash = scriptFile.find_last_of(L"/\\");
    return std::wstring(kScriptDir) + (slash == std::wstring::npos ? scriptFile : scriptFile.substr(slash + 1));
}

void CNpc::Setup(bool fromSave) {
    if (!script) {
        TScriptHandle made(new CScript());
        try {
            made->LoadFile(GetScriptPath());
        } catch (const vek::CFileException& error) {
            if (error.GetCode() == vek::CFileException::kNotFound) {
                return;
            }
            throw;
        }
        try {
            made->Parse();
        } catch (const CScriptException& error) {
            Report(error);
            return;
        }
        script = std::move(made);
    }
    DeclareBank(fromSave);
    if (fromSave) {
        return;
    }
    const CCurrentNpc current(this);
    try {
        script->ExecuteScript(kScriptTypeTradeSetUp);
    } catch (const CScriptException& error) {
        Report(error);
        return;
    }
    trade = script->GetExtraData().trade;
}

CVariable* CNpc::FindBankVariable() const {
    if (!script) {
        return nullptr;
    }
    // Its own variables only: the game's global ones are not the NPC's bank.
    std::vector<CVariable>& variables = script->GetParseResults().Variables();
    const auto found = std::find_if(variables.begin(), variables.end(), [](const CVariable& variable) {
        return vek::equals(variable.GetName(), kBankDepositVariable);
    });
    return found != variables.end() ? &*found : nullptr;
}

void CNpc::DeclareBank(bool fromSave) {
    if (!script) {
        return;
    }
    // The script's own declaration gives a new NPC its first deposit; a
    // saved game's deposit stands over it.
    if (CVariable* own = FindBankVariable()) {
        if (fromSave) {
            own->SetValue(m_bankDeposit);
        }
        return;
    }
    try {
        script->AddGlobalVariable(kBankDepositVariable);
    } catch (const CScriptException& error) {
        // A global variable of that name hides it: the deposit stays with
        // the NPC.
        Report(error);
        return;
    }
    FindBankVariable()->SetValue(m_bankDeposit);
}

uint32_t CNpc::GetBankDeposit() const {
    const CVariable* variable = FindBankVariable();
    return variable != nullptr ? static_cast<uint32_t>(variable->GetValue()) : m_bankDeposit;
}

void CNpc::SetBankDeposit(uint32_t amount) {
    m_bankDeposit = amount;
    if (CVariable* variable = FindBankVariable()) {
        variable->SetValue(amount);
    }
}

void WriteDefaultNpcScript(const CNpc& npc) {
    const std::wstring text = L"// " + npc.name +
                              L": a default conversation, to be written.\n"
                              L"default action Greeting {\n"
                              L"    text = \"" +
                              Variants(npc.name) +
                              L"\"\n"
                              L"    option \"" +
                              Variants(L"...") + L"\" end\n}\n";
    const std::string bytes = vek::WideToUtf8(text);
    vek::ReplaceFile(npc.GetScriptPath(), bytes.data(), bytes.size());
}
