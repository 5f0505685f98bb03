// A new game, and letting a game go.
#include <iterator>
#include <new>
#include <utility>

#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
#include "data/DataArchive.h"
#include "data/Globals.h"
#include "platform/File.h"
#include "rules/Group.h"
#include "rules/Hero.h"
#include "script/ScriptException.h"
#include "shell/Game.h"
#include "shell/ScriptGlobals.h"
#include "shell/ShellObjects.h"
#include "world/Loc.h"
#include "world/World.h"

namespace {

const wchar_t* const kSource = L"NewGame";
// Where the monster brains are.
const wchar_t kBrainDir[] = L"Data/Scripts/Brains/";
const wchar_t kScriptExtension[] = L".u";

// A new game goes on past a script's error, as it goes on past a bad brain.
void Report(CGame& game, const CScriptException& e) {
    game.Log(e.GetText());
    e.ShowMessageBox();
}

// A file that cannot be read is reported as that script's error.
void Report(CGame& game, const vek::CException& e, CScript& script, const std::wstring& path) {
    game.Log(e.GetText());
    script.SetFileName(path);
    Report(game, CScriptException(kErrCannotOpenFile, L"M_Game", L"CGame::New", __LINE__, script));
}

// The autosave that could not be loaded is still the player's game: it is
// kept whole under a name of its own, beside the one the new game will
// write, and he is told where. False when it could not be kept: the new
// game must then not be autosaved over it.
bool KeepRefusedAutosave(CGame& game, const vek::CException& refusal) {
    const std::wstring name = kAutosaveFile;
    if (platform::GetFileKind(name) == platform::FileKind::kMissing) {
        return true;
    }
    try {
        const std::wstring kept = vek::KeepAside(name, L"refused");
        game.ShowImportantMessage(vek::Format(L"The autosave %s cannot be loaded, so a new game starts. The file is "
                                              L"kept as it was under the name %s.\r\n%s",
                                              name, kept, refusal.GetText()),
                                  false);
        return true;
    } catch (const vek::CException& e) {
        game.ShowImportantMessage(vek::Format(L"The autosave %s cannot be loaded, so a new game starts; it cannot "
                                              L"be kept under another name either, so this game is not autosaved "
                                              L"over it.\r\n%s%s",
                                              name, refusal.GetText(), e.GetText()),
                                  false);
        return false;
    }
}

} // namespace

void CGame::RefuseAutosave(const vek::CException& refusal) {
    Log(L"The autosave cannot be loaded, a new game starts: " + refusal.GetText());
    m_autosaveEnabled = KeepRefusedAutosave(*this, refusal);
}

void CGame::Clear() {
    SetCurrentLoc(nullptr);
    SetCurrentLocExitTime(std::nullopt);
    SetHero(nullptr);
    // The list points into the locations' creatures.
    m_npcs.clear();
    SetWorld(nullptr);
    m_ownWorld.reset();
    m_worldFresh = false;
    m_ownHero.reset();
    g_groupList.Clear();
    m_questLog.Clear();
    BrainScripts().clear();
    m_clock = 0;
    m_currentLevel = 0;
    m_levelCount = 0;
}

bool CGame::HasGame() const { return m_ownHero != nullptr && m_ownWorld != nullptr && GetCurrentLoc() != nullptr; }

void CGame::New() {
    Log(L"Preparing a new game...");
    // A world that set-up read and nothing has played yet is the new game's.
    std::unique_ptr<CWorld> world;
    if (m_worldFresh) {
        world = std::move(m_ownWorld);
    }
    Clear();
    try {
        TakeGameVariables();
        Globals().LoadDeclarations(std::wstring(kScriptDir) + kGlobalScript, false);
        BindGameVariables();
        LoadBrains();
        try {
            Globals().GetDeclarations().ExecuteScript(kScriptTypeAfterStart);
        } catch (const CScriptException& e) {
            Report(*this, e);
        }

        Log(L"Creating world...");
        if (world != nullptr) {
            m_ownWorld = std::move(world);
            SetWorld(m_ownWorld.get());
        } else {
            LoadWorld();
        }
        m_ownHero = std::make_unique<CHero>();
        SetHero(m_ownHero.get());
        AddMessage(m_strings.Get(L"STR_GAME_WELCOME"));

        Log(L"Launching the OnLoad commands...");
        RunStartUpCommands();
        if (GetCurrentLoc() == nullptr) {
            throw vek::CException(L"CGame::New", kSource, __LINE__,
                                  L"No start location: the start-up commands entered none (SetStartLoc).");
        }
    } catch (...) {
        Clear();
        throw;
    }
    SetState(kStateGame);
    CenterView();
}

void CGame::TakeGameVariables() {
    CScript& declarations = Globals().GetDeclarations();
    if (const CVariable* chosen = declarations.FindVariable(L"ChosenItemSet", false)) {
        m_chosenItemSet = static_cast<uint32_t>(chosen->GetValue());
    }
    if (const CVariable* created = declarations.FindVariable(L"CharacterCreated", false)) {
        m_characterCreated = static_cast<uint8_t>(created->GetValue());
    }
}

void CGame::BindGameVariables() {
    std::map<std::wstring, CVariable, TNoCaseLess>& bound = NewGameVariables();
    bound.clear();
    bound.emplace(L"ChosenItemSet", CVariable(L"ChosenItemSet", &m_chosenItemSet, CVariable::kKindU32));
    bound.emplace(L"CharacterCreated", CVariable(L"CharacterCreated", &m_characterCreated, CVariable::kKindU8));
    // In place of a variable of the same name, else after the declared ones.
    std::vector<CVariable> variables = Globals().GetDeclarations().GetParseResults().Variables();
    for (const auto& [name, variable] : bound) {
        bool replaced = false;
        for (CVariable& declared : variables) {
            if (vek::equals(declared.GetName(), name)) {
                declared = variable;
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            variables.push_back(variable);
        }
    }
    Globals().GetDeclarations().SetDeclaredVariables(std::move(variables));
}

void CGame::UnbindGameVariables() {
    std::vector<CVariable> variables = Globals().GetDeclarations().GetParseResults().Variables();
    bool changed = false;
    for (CVariable& variable : variables) {
        if (variable.GetStorage() == &m_chosenItemSet || variable.GetStorage() == &m_characterCreated) {
            const auto value = static_cast<uint64_t>(variable.GetValue());
            variable = CVariable(variable.GetName(), static_cast<uint32_t>(value), static_cast<uint32_t>(value >> 32),
                                 variable.GetKind());
            changed = true;
        }
    }
    if (changed) {
        Globals().GetDeclarations().SetDeclaredVariables(std::move(variables));
    }
    for (auto entry = NewGameVariables().begin(); entry != NewGameVariables().end();) {
        const void* storage = entry->second.GetStorage();
        entry = storage == &m_chosenItemSet || storage == &m_characterCreated ? NewGameVariables().erase(entry)
                                                                              : std::next(entry);
    }
}

void CGame::LoadBrains() {
    std::vector<TNamedScript>& brains = BrainScripts();
    brains.clear();
    for (const std::wstring& name : DataArchive().ListFiles(kBrainDir, kScriptExtension)) {
        CScript script;
        const std::wstring path = kBrainDir + name;
        try {
            script.LoadFile(path);
            script.Parse();
        } catch (const CScriptException& e) {
            Report(*this, e);
            continue;
        } catch (const vek::CException& e) {
            Report(*this, e, script, path);
            continue;
        }
        brains.push_back(TNamedScript{name, script});
    }
    for (TNamedScript& brain : brains) {
        try {
            brain.script.ExecuteScript(kScriptTypeBrainInit);
        } catch (const CScriptException& e) {
            Report(*this, e);
        }
    }
}

void CGame::RunStartUpCommands() {
    CScript& commands = Globals().GetStartUpScript();
    for (const wchar_t* name : {kOnLoadScript, kOnLoadScript2}) {
        const std::wstring path = std::wstring(kScriptDir) + name;
        commands.Reset();
        try {
            commands.LoadFile(path);
            commands.Parse();
            commands.ExecuteScript(kScriptTypeWhole);
        } catch (const CScriptException& e) {
            Report(*this, e);
        } catch (const vek::CFileException& e) {
            // Only a file that is not there is passed over; what its commands
            // meet goes to the caller.
            if (e.GetFileName() != path) {
                throw;
            }
            Report(*this, e, commands, path);
        }
    }
}

void CGame::StartGame(bool newGame) {
    if (m_autosaveEnabled) {
        RemoveLeftSaves(kAutosaveFile);
    }
    if (!newGame && m_autosaveEnabled && m_autosaveFound) {
        try {
            Load(kAutosaveFile);
            return;
        } catch (const vek::CException& e) {
            RefuseAutosave(e);
        } catch (const std::bad_alloc&) {
            // Within the size bound, but more than this process may hold:
            // refused like any other, or no later start would get past it.
            RefuseAutosave(vek::CFileException(vek::CFileException::kOther, L"Not enough memory", kAutosaveFile,
                                               L"CGame::Load", kSource, __LINE__,
                                               L"the saved game does not fit in the memory this process may use"));
        }
    }
    New();
}

void CGame::EndGame() {
    if (m_autosaveEnabled && HasGame()) {
        try {
            Save(kAutosaveFile);
        } catch (const vek::CException& e) {
            m_autosaveFailed = true;
            // A failed save leaves what was there, so a file there now is
            // the old autosave; anything else never was one.
            const bool kept = platform::GetFileKind(kAutosaveFile) == platform::FileKind::kRegular;
            ShowImportantMessage(vek::Format(kept ? L"The game could not be saved to %s; the autosave there is left "
                                                    L"as it was.\r\n%s"
                                                  : L"The game could not be saved to %s.\r\n%s",
                                             kAutosaveFile, e.GetText()),
                                 false);
        }
    }
    Clear();
}
