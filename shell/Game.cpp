#include "shell/Game.h"

#include <irrlicht.h>

#include <algorithm>
#include <limits>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Random.h"
#include "VEKLib/Strings.h"
#include "VEKLib/UnitTest.h"
#include "data/DataArchive.h"
#include "data/GameTests.h"
#include "data/Globals.h"
#include "data/IrrWrap.h"
#include "rules/Hero.h"
#include "script/Script.h"
#include "script/ScriptException.h"
#include "shell/GuiSkin.h"
#include "shell/IrrDisplay.h"
#include "shell/MessageDisplay.h"
#include "shell/ScriptGlobals.h"
#include "windows/TTFont.h"
#include "world/Loc.h"
#include "world/World.h"

CGame* g_game = nullptr;

namespace {

const wchar_t* const kSource = L"Game";

bool Flag(CMorvheldConfig& config, const wchar_t* key) { return config.FindEntry(key).GetBool(); }

std::wstring Text(CMorvheldConfig& config, const wchar_t* key) { return config.FindEntry(key).GetString(); }

} // namespace

CGame::CGame() = default;

CGame::~CGame() {
    Clear();
    UnbindGameVariables();
    ShutDown();
    if (g_game == this) {
        g_game = nullptr;
    }
    if (g_gameData == this) {
        g_gameData = nullptr;
    }
}

irr::video::IVideoDriver* CGame::GetDriver() const {
    return m_device != nullptr ? m_device->getVideoDriver() : nullptr;
}

// --- Set-up ------------------------------------------------------------------------------

void CGame::StartSetUp(const wchar_t* function) {
    if (m_setUpStarted) {
        throw vek::CException(function, kSource, __LINE__, L"The game is already set up.");
    }
    m_setUpStarted = true;
    m_config.Load();
}

void CGame::SetUp() {
    StartSetUp(L"CGame::SetUp");
    const bool forceFiles = Flag(m_config, L"force_files");

    // The device and its window.
    const irr::video::E_DRIVER_TYPE driverType =
        m_forceNullDriver ? irr::video::EDT_NULL : SelectDriverType(Flag(m_config, L"opengl"));
    m_device = CreateIrrDevice(driverType, Flag(m_config, L"immersion"), Flag(m_config, L"fullscreen"));
    SetIrrDevice(m_device);
    Log(std::wstring(L"Video driver: ") + m_device->getVideoDriver()->getName());

    Log(L"Initializing data archive...");
    DataArchive().SetUp(m_device, forceFiles);

    // The null driver shows nothing: no GUI, no font (it draws no text).
    const bool window = driverType != irr::video::EDT_NULL;
    if (window) {
        Log(L"Initializing GUI...");
        InitializeGuiSkin(*m_device->getGUIEnvironment());
        Log(L"Initializing fonts...");
        m_font = irr::gui::CGUITTFont::Create(m_device->getVideoDriver(), irr::gui::kGameFontFile,
                                              irr::gui::kGameFontPixels);
    }

    Log(L"Loading localized resources...");
    LoadStrings();

    Log(L"Loading graphics...");
    LoadMapSprites(m_sprites);

    if (window) {
        Log(L"Initializing GUI skin...");
        DressGuiSkin(*m_device->getGUIEnvironment(), m_font);
        m_skinDressed = true;
    }

    Log(L"Creating game objects...");
    InstallRandom();
    m_messageDisplay = std::make_unique<CMorvheldMessageDisplay>(*this);
    vek::SetMessageDisplay(m_messageDisplay.get());
    SetImportantMessageLog([display = m_messageDisplay.get()](const std::wstring& text) { display->Append(text); });

    // From here on what the game shows is in the window.
    if (window) {
        Log(L"Creating GUI elements...");
        SetDisplay(std::make_unique<CIrrDisplay>(*this));
    }

    LoadTables();
    Log(L"Loading game data (for scripts)...");
    LoadScriptData();
    LoadBankScript();
    AnalyzeMonsters();

    Log(L"Loading world...");
    LoadWorld();
    m_worldFresh = true;
    m_autosaveFound = m_autosaveEnabled && AutosaveIsThere();
    if (m_autosaveFound) {
        Log(std::wstring(L"Autosave found: ") + kAutosaveFile);
    }
}

void CGame::SetUpForScriptCheck() {
    StartSetUp(L"CGame::SetUpForScriptCheck");
    // No device: the archive's reader is the program's own.
    DataArchive().SetUp(nullptr, Flag(m_config, L"force_files"));
    m_archiveWithoutDevice = true;
    LoadStrings();
    InstallRandom();
    LoadTables();
    // The built-ins check their arguments against the tables but reach no
    // game: there is no world for them to change.
    CScript::SetGlobalScript(&Globals().GetDeclarations());
    Globals().LoadDeclarations(std::wstring(kScriptDir) + kGlobalScript, false);
}

void CGame::LoadStrings() {
    m_skillNames = m_strings.LoadGameStrings(Text(m_config, L"lang_script"), Text(m_config, L"lang"));
}

void CGame::InstallRandom() {
    m_random = std::make_unique<vek::CStdRand>();
    vek::SetRandomGenerator(m_random.get());
    m_random->Seed(kRandomSeed);
}

void CGame::LoadTables() {
    Log(L"Loading game data...");
    CDefinitionTables& scriptSet = m_tables[kScriptTables];
    scriptSet.Load(Text(m_config, L"lang_script"), false);
    scriptSet.LoadHeroes();

    // The display set starts as a copy, so that the count check holds both
    // languages to the same records and the heroes are in both.
    Log(L"Loading localized strings...");
    CDefinitionTables displaySet = scriptSet;
    displaySet.Load(Text(m_config, L"lang"), true);
    m_tables[kDisplayTables] = std::move(displaySet);
}

void CGame::ReloadTables() {
    CDefinitionTables scriptSet = m_tables[kScriptTables];
    scriptSet.Load(Text(m_config, L"lang_script"), false);
    CDefinitionTables displaySet = m_tables[kDisplayTables];
    displaySet.Load(Text(m_config, L"lang"), false);
    m_tables[kScriptTables] = std::move(scriptSet);
    m_tables[kDisplayTables] = std::move(displaySet);
    AnalyzeMonsters();
}

void CGame::AnalyzeMonsters() {
    Log(L"Analyzing monster parameters...");
    m_groupTable = BuildGroupTable(GetTables().monsters);
}

void CGame::LoadScriptData() {
    // The game scripts see the global variables and reach the game here.
    CScript::SetGlobalScript(&Globals().GetDeclarations());
    SetScriptGame(this);
    SetGameplay(&m_gameplay);
    Globals().LoadDeclarations(std::wstring(kScriptDir) + kGlobalScript, false);
}

void CGame::LoadWorld() {
    auto world = std::make_unique<CWorld>();
    world->Load(Text(m_config, L"world"));
    SetWorld(nullptr);
    m_ownWorld = std::move(world);
    SetWorld(m_ownWorld.get());
}

void CGame::LoadBankScript() {
    auto bank = std::make_unique<CScript>();
    try {
        bank->LoadFile(std::wstring(kScriptDir) + L"bank.u");
        bank->Parse();
        m_bankScript = std::move(bank);
    } catch (const CScriptException& e) {
        Log(e.GetText());
        e.ShowMessageBox();
    } catch (const vek::CException& e) {
        // No bank then; the rest of the game goes on without it.
        Log(e.GetText());
    }
}

void CGame::ShutDown() {
    if (GetScriptGame() == this) {
        SetScriptGame(nullptr);
    }
    if (::GetGameplay() == &m_gameplay) {
        SetGameplay(nullptr);
    }
    if (m_setUpStarted && CScript::GetGlobalScript() == &Globals().GetDeclarations()) {
        CScript::SetGlobalScript(nullptr);
    }
    m_bankScript.reset();
    // The window's display goes with the window; one a caller installed stays.
    if (dynamic_cast<CIrrDisplay*>(&GetDisplay()) != nullptr) {
        SetDisplay(nullptr);
    }
    if (m_messageDisplay != nullptr && vek::GetMessageDisplay() == m_messageDisplay.get()) {
        vek::SetMessageDisplay(nullptr);
    }
    if (m_messageDisplay != nullptr) {
        SetImportantMessageLog(nullptr);
    }
    m_messageDisplay.reset();
    if (m_random != nullptr && vek::GetRandomGenerator() == m_random.get()) {
        vek::SetRandomGenerator(nullptr);
    }
    m_random.reset();
    if (m_archiveWithoutDevice) {
        m_archiveWithoutDevice = false;
        DataArchive().Reset();
        SetArchiveInUse(false);
    }
    if (m_device == nullptr) {
        return;
    }
    // Textures, the font and the archive are given back while the device
    // still lives.
    ReleaseMapSprites(m_sprites);
    if (m_skinDressed) {
        m_skinDressed = false;
        UndressGuiSkin(*m_device->getGUIEnvironment());
    }
    if (m_font != nullptr) {
        m_font->drop();
        m_font = nullptr;
    }
    if (DataArchive().GetDevice() == m_device) {
        DataArchive().Reset();
        SetArchiveInUse(false);
    }
    if (GetIrrDevice() == m_device) {
        SetIrrDevice(nullptr);
    }
    m_device->drop();
    m_device = nullptr;
}

// --- The game scripts' side -----------------------------------------------------------------

CScript* CGame::GetBankScript() { return m_bankScript.get(); }

int32_t CGame::RunSelfTests() {
    vek::CLog log;
    vek::LogSessionStart(log, L"", vek::kLogStdOut, false);
    vek::CSuite all(L"All", &log);
    vek::CSuite game(L"Game", &log);
    CreateGameSuite(game, &log);
    vek::CSuite library(L"VEKLib", &log);
    vek::CreateLibrarySuite(library, &log);
    all.AddSuite(&game);
    all.AddSuite(&library);
    all.Execute();
    const int32_t failed = vek::RunAllSuites(all);
    all.DeleteAll();
    vek::LogSessionEnd(log);
    return failed;
}
