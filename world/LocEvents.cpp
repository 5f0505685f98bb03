// A location's script and the events it and the global script hear: the
// location prepared ("OnInit"), the hero coming in ("OnEnterLoc" of the
// global script, "OnEnter") and leaving ("OnExit").
#include <string>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "data/GameData.h"
#include "data/Globals.h"
#include "rules/Hero.h"
#include "script/Script.h"
#include "script/ScriptException.h"
#include "world/Loc.h"
#include "world/World.h"

namespace {

// The event's function, when the script has one.
void RunEvent(CScriptBase* script, const wchar_t* event) {
    if (script != nullptr && script->IsParsed()) {
        script->ExecuteUserFunction(event, 0, std::wstring(), true, false);
    }
}

void SetVariable(CScriptBase& script, const wchar_t* name, int64_t value) {
    if (CVariable* variable = script.FindVariable(name, false)) {
        variable->SetValue(value);
    }
}

} // namespace

void CLoc::LoadScript(bool runOnInit) {
    m_script.reset();
    const std::wstring key = WorldNameKey();
    if (!key.empty()) {
        TScriptHandle script(new CScript());
        bool read = false;
        try {
            script->LoadFile(std::wstring(kLocationScriptDir) + key + L".u");
            read = true;
            script->Parse();
        } catch (const vek::CFileException& error) {
            // No file: the location has no script.
            if (error.GetCode() != vek::CFileException::kNotFound) {
                throw;
            }
            read = false;
        } catch (const CScriptException& error) {
            if (g_gameData != nullptr) {
                g_gameData->Log(error.GetText());
            }
            error.ShowMessageBox();
        }
        // A script that stopped parsing keeps what it declared before: its
        // alarms count, but its events never run (RunEvent).
        if (read) {
            m_alarms = script->GetAlarms();
            m_script = std::move(script);
        }
    }
    if (runOnInit) {
        RunEvent(m_script.get(), L"OnInit");
    }
}

void CLoc::RunOnEnterLoc() const {
    CScriptBase* global = CScript::GetGlobalScript();
    if (global == nullptr || !global->IsParsed()) {
        return;
    }
    const vek::TPoint first = FirstWorldCell();
    SetVariable(*global, L"LocWorldX", first.x);
    SetVariable(*global, L"LocWorldY", first.y);
    // Handed to the event too, so a script that does not declare them reads
    // them; only to an event that is there, or they would pile up waiting.
    if (global->FindSystemFunction(L"OnEnterLoc") >= 0) {
        global->AddVariable(L"LocWorldX", static_cast<uint32_t>(first.x));
        global->AddVariable(L"LocWorldY", static_cast<uint32_t>(first.y));
    }
    RunEvent(global, L"OnEnterLoc");
}

void CLoc::RunOnEnter() { RunEvent(m_script.get(), L"OnEnter"); }

void CLoc::Exit() {
    if (g_gameData == nullptr) {
        return;
    }
    if (const CHero* hero = g_gameData->GetHero()) {
        const uint32_t index = LocationIndex();
        for (const uint32_t id : hero->companions) {
            const uint32_t local = id & 0xFFFF;
            if ((id >> 16) != index || local >= m_creatures.size()) {
                continue;
            }
            const CMonster* companion = m_creatures[local];
            if (companion != nullptr && companion->globalId == id && companion->IsAlive()) {
                g_gameData->AddMessage(
                    vek::Format(g_gameData->GetStrings().Get(L"STR_GAME_MSG_COMP_LEFT_BEHIND"), companion->GetName()));
            }
        }
    }
    RunEvent(m_script.get(), L"OnExit");
    m_exitTime = g_gameData->GetClock();
}
