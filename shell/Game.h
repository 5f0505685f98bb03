#pragma once
// The one game object: the game's state (CGameData) with the device, its
// set-up and shut-down and the self-tests, and the game's side of the game
// scripts (the conversation window, the bank's conversation, the dialog
// words). The program entry makes it and keeps it in g_game.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/GameData.h"
#include "platform/FolderLock.h"
#include "rules/Battle.h"
#include "script/ScriptGame.h"
#include "shell/Gameplay.h"
#include "shell/MainLoop.h"
#include "shell/MapView.h"
#include "shell/QuestLog.h"
#include "windows/Dialog.h"

namespace irr {
class IrrlichtDevice;
namespace gui {
class IGUIFont;
}
namespace video {
class IVideoDriver;
}
} // namespace irr

namespace vek {
class CException;
class CStdRand;
} // namespace vek

class CGroupMember;
class CMorvheldMessageDisplay;
class CWorld;
struct TSavedGame;

class CGame : public CGameData, public IScriptGame {
public:
    // Nothing global is touched until SetUp.
    CGame();
    // Clear and ShutDown; forgets g_game when it points here.
    ~CGame() override;

    // --- Set-up ----------------------------------------------------------------
    // Reads the configuration, creates the device, sets up the data archive
    // (loose files with "force_files"); with a window gives the GUI a skin of
    // its own and loads the game's font (irr::gui::kGameFontFile; a missing
    // face is a vek::CFileException naming it); loads the strings in both
    // languages and the map's sprite sheets; with a window dresses the skin
    // with the font; installs the random generator and the message display
    // (which also writes what is shown as important to "error.log"); with a
    // window the window's display takes over from here on; loads the
    // definition tables: the script language's set without the count check,
    // the heroes, then the display language's set with it; then ("Loading
    // game data (for scripts)...") the global declarations and the bank's
    // conversation ("bank.u"), whose script errors are shown and passed
    // over; builds the group table ("Analyzing monster parameters..."); then
    // the world ("world") and, unless autosaving is off, whether there is an
    // autosave. Each step is logged as it comes. Once per game object
    // (CException otherwise). Whatever a failure leaves set up is released
    // by ShutDown.
    void SetUp();
    // What the script check needs, and nothing more: the configuration, the
    // data archive (or loose files) without a device, the strings, the random
    // generator, the definition tables and the global declarations. The game
    // scripts' side of the game is not installed, so the built-ins check
    // their arguments and change nothing. Once per game object, in place of
    // SetUp.
    void SetUpForScriptCheck();
    // Takes back what SetUp installed: the display, the game scripts' side of
    // the game, the message display and the random generator, the sprites,
    // the skin's font and the archive (while the device still lives), then
    // the device.
    void ShutDown();
    // The language reload: both sets of definition tables read again in the
    // configured languages without the count check, all or nothing, and the
    // group table built again from them.
    void ReloadTables();
    // The null driver whatever the configuration says (no window opens).
    void ForceNullDriver(bool force) { m_forceNullDriver = force; }

    // The suites "Game" and "VEKLib" under one parent, reported on standard
    // output; the number of failed checks.
    static int32_t RunSelfTests();

    irr::IrrlichtDevice* GetDevice() const { return m_device; }
    irr::video::IVideoDriver* GetDriver() const;
    // The game's font, loaded at set-up when a window opens; null otherwise.
    irr::gui::IGUIFont* GetFont() const { return m_font; }

    // --- The game scripts' side ----------------------------------------------------
    IConversationWindow* GetConversationWindow() override { return &m_dialog; }
    CDialog& GetDialog() { return m_dialog; }
    // Null when "bank.u" could not be parsed.
    CScript* GetBankScript() override;
    // The healer's services (CGameplay::Cure, CGameplay::CureLimb).
    void Cure() override;
    void CureLimb() override;
    // The hero's companions take the order (CHero::kOrderAttack, kOrderWait,
    // kOrderFollow), told with the message of the code (23, 24 or 26);
    // nothing while he has none.
    void OrderCompanion(uint32_t order, uint32_t code, CLoc* location) override;
    // The bank of the NPC the hero talks with (GetChatPartner): asks the
    // amount through the display's number window and moves that many coins
    // between his backpack and the NPC's deposit (mode 1 deposit, 2
    // withdraw). More than the giver holds, more than the deposit can take,
    // or more than the backpack takes is refused with a message; 0 or no
    // answer moves nothing. Each transaction, and each that moves nothing,
    // is logged; without a living partner, or in another mode, nothing is
    // asked.
    void BankTransaction(CLoc* location, uint32_t mode) override;
    void KeepInputMode() override { m_keepInputMode = 1; }
    // Set by a conversation that must not change the input mode when it
    // ends; the one who closes the window clears it.
    uint8_t GetKeepInputMode() const { return m_keepInputMode; }
    void SetKeepInputMode(uint8_t keep) { m_keepInputMode = keep; }

    // --- A game (NewGame.cpp, SaveGame.cpp) ---------------------------------------------------
    // A new game: the global variables "ChosenItemSet" and
    // "CharacterCreated" taken into the game's fields, the global
    // declarations read afresh, the game's script variables bound to them,
    // the monster brains of the brains folder kept and their "Init" run, the
    // global script's "AfterStart" run, the
    // world made (the one set-up read, if no game has used it yet) with a
    // new hero, the player greeted, and the start-up commands ("_onload.u",
    // then "_onload_c.u") run; they must enter the start location
    // (SetStartLoc). Script errors are shown and passed over. Any other
    // failure, or no start location, is a vek::CException and leaves no
    // game.
    void New();
    // Writes the game to the file (written aside and renamed over it, so a
    // failed save leaves the old file whole, then its folder synced: a
    // failed sync is shown as an important message); its folder is made
    // when missing, and while the save folder's lock is held the temporary
    // files that interrupted saves of it left there are removed.
    // vek::CException when there is no game, its current location lies on
    // no world cell (a load could not continue it), or it would be larger
    // than kMaxSaveFileSize; a vek::CFileException when the file is no
    // regular file or cannot be written.
    void Save(const std::wstring& fileName);
    // Reads a saved game into objects of its own, and only when all was read
    // puts it in place of the running game. A file that cannot be read or
    // is larger than kMaxSaveFileSize (not read then), or a saved game that
    // is refused (ReadSavedGame), is a vek::CFileException and leaves the
    // running game as it was.
    void Load(const std::wstring& fileName);
    // One running game per game folder: takes the lock of the save folder
    // (made when missing). Nothing else in the folder is touched.
    platform::CFolderLock::Result LockSaveFolder();
    // The last step of set-up: whether "Save/autosave.sav" is there (a
    // file that is not empty, or anything else, which will be refused).
    bool HasAutosave() const { return m_autosaveFound; }
    // Off ("-noautosave"): the autosave is neither looked for nor written.
    void SetAutosaveEnabled(bool enabled) { m_autosaveEnabled = enabled; }
    // After set-up: the autosave's game unless a new one is asked for or
    // there is none. An autosave that cannot be loaded is moved aside whole
    // ("Save/autosave.refused.sav", or ".refused.2.sav" and on when that is
    // taken), the player is told so as an important message, and a new game
    // starts; when it cannot be moved the new game is not autosaved. With
    // autosaving on, the temporary files interrupted autosaves left are
    // removed first.
    void StartGame(bool newGame);
    // Saves the game to the autosave, if there is a game and autosaving is
    // on; a failure is shown as an important message (no window needed) and
    // remembered (AutosaveFailed). Then Clear.
    void EndGame();
    // An autosave of this game object failed: the program's exit code says so.
    bool AutosaveFailed() const { return m_autosaveFailed; }
    // A hero, a world and a current location.
    bool HasGame() const;
    // The game's fields bound to script variables.
    uint32_t GetChosenItemSet() const { return m_chosenItemSet; }
    void SetChosenItemSet(uint32_t set) { m_chosenItemSet = set; }
    uint8_t GetCharacterCreated() const { return m_characterCreated; }
    void SetCharacterCreated(uint8_t created) { m_characterCreated = created; }

    // --- Command-line requests (ScriptCheck.cpp) ------------------------------------------------
    // Checks a script file of the disk on the set-up game: it is read and
    // parsed, and unless it holds a conversation (which runs only with a
    // partner) it is run whole, on a new hero when the game has none.
    // "Script OK." on the console, or the script error: printed in batch
    // mode, else in the "Script Error" box. False on a script error; a file
    // that cannot be read is the file layer's vek::CException.
    bool CheckDialogScript(const std::wstring& fileName, bool batch);

    // --- Playing (MainLoop.cpp) ---------------------------------------------------------------
    // One step of the main loop; false once the game has ended.
    bool Step();
    // One step inside a modal window's loop: false once the device has
    // stopped or the game quits; the main loop then ends the game.
    bool StepModal();
    // Lets the device handle its events; false once it has stopped (its
    // window closed), and from then on.
    bool RunDevice();
    // The display's connection is gone: the device counts as stopped, and
    // nothing more is drawn or asked of it.
    void LoseDevice() { m_deviceStopped = true; }
    // The device has not stopped: its window, if it has one, is open.
    bool IsDeviceRunning() const { return m_device != nullptr && !m_deviceStopped; }
    // The wait keys: the game time until that time of day (seconds since
    // midnight) passes, a turn for every second; 0 when it is that time now.
    // Nothing without a game.
    void WaitUntil(uint64_t timeOfDay);
    // The main loop's clock; null puts the system's back.
    void SetFrameClock(std::unique_ptr<IFrameClock> clock);
    IFrameClock& GetFrameClock() { return *m_frameClock; }
    // Lets go of the game: the current location, the hero, the NPC list, the
    // world with its locations, the groups, the quest log, the brains and
    // the clock.
    void Clear();
    // The map's sprite sheets, loaded at set-up.
    const TMapSprites& GetMapSprites() const { return m_sprites; }

    // --- NPCs, battles and quests (GameNpcs.cpp) ----------------------------------------------
    // The NPCs among the location's creatures with that name and home
    // location file (case ignored), in list order; none without a location.
    std::vector<CNpc*> FindNPCsByName(const std::wstring& name, const std::wstring& home, const CLoc* location) const;
    // The first of them; vek::CException "NPC not found: name, home".
    CNpc& FindNPC(const std::wstring& name, const std::wstring& home, const CLoc* location) const;
    // The NPC's own conversation in the conversation window (an NPC not set
    // up yet reads its script first; one without a script says nothing),
    // the NPC being the chat partner while it runs.
    void TalkTo(CNpc& npc);
    // The NPC whose conversation runs; null when none does.
    CNpc* GetChatPartner() const { return m_chatPartner; }
    // Whether the first NPC of the NPC list with that name and home location
    // (case ignored) lives; false when there is none.
    bool NPCIsAlive(const std::wstring& name, const std::wstring& location) const;
    // The hero by kHeroId, else the listed creature of that global id in its
    // loaded location; null when there is none.
    CGroupMember* FindCreature(uint32_t globalId) const;
    // A battle record of the two groups, kept with the hero. A group that
    // does not exist is logged ("Warning, group not found - ") and no
    // record is made.
    void StartBattle(const std::wstring& battle, const std::wstring& group1, const std::wstring& group2);
    // The hero's first battle record of that name (case ignored);
    // vek::CException "Battle not found: ".
    TBattleRecord& FindBattle(const std::wstring& battle);
    // The winner is the group that still has a living member while the other
    // has none; empty while both have, or neither.
    void UpdateBattleState(const TBattleRecord& battle, std::wstring& winner);
    CQuestLog& GetQuestLog() { return m_questLog; }
    // The world side of the built-ins, installed by SetUp.
    CGameplay& GetGameplay() { return m_gameplay; }

private:
    // Once per game object (CException from the function otherwise); reads
    // the configuration.
    void StartSetUp(const wchar_t* function);
    void LoadStrings();
    void InstallRandom();
    void LoadTables();
    // "Analyzing monster parameters...": the group table built from the
    // active set's monster table.
    void AnalyzeMonsters();
    // The global declarations, with the game scripts' side of the game.
    void LoadScriptData();
    void LoadBankScript();
    // "Data/" + the configured world file into a new world, the game's.
    void LoadWorld();
    // What character creation put into the global variables "ChosenItemSet"
    // and "CharacterCreated", where they are declared, becomes the game's
    // fields before the declarations are read afresh.
    void TakeGameVariables();
    // The new game's script variables in the global declarations, bound to
    // the game's fields (NewGameVariables).
    void BindGameVariables();
    // The global declarations keep the values, no longer bound to this
    // game object, which is going.
    void UnbindGameVariables();
    void LoadBrains();
    void RunStartUpCommands();
    // The saved locations compacted and the NPC list in the order a load
    // rebuilds it, so that a loaded game saves the same bytes.
    void RenumberNpcs();
    // Takes over what a saved game holds.
    void Install(TSavedGame& saved);
    // The temporary files that interrupted saves of the file left, removed
    // while the save folder's lock is held.
    void RemoveLeftSaves(const std::wstring& fileName);
    bool AutosaveIsThere() const;
    // The autosave could not be loaded: logged, kept aside (or, when it
    // cannot be, not autosaved over).
    void RefuseAutosave(const vek::CException& refusal);

    irr::IrrlichtDevice* m_device = nullptr;
    bool m_deviceStopped = false;
    irr::gui::IGUIFont* m_font = nullptr;
    std::unique_ptr<vek::CStdRand> m_random;
    std::unique_ptr<CMorvheldMessageDisplay> m_messageDisplay;
    bool m_forceNullDriver = false;
    // The skin holds the game's font, to be given back before it goes.
    bool m_skinDressed = false;
    bool m_setUpStarted = false;
    // The script check's archive, set up with no device to give it back.
    bool m_archiveWithoutDevice = false;
    CDialog m_dialog;
    std::unique_ptr<CScript> m_bankScript;
    uint8_t m_keepInputMode = 0;
    CNpc* m_chatPartner = nullptr;

    TMapSprites m_sprites;
    std::unique_ptr<IFrameClock> m_frameClock = std::make_unique<CSystemFrameClock>();
    std::unique_ptr<CWorld> m_ownWorld;
    // Read at set-up and not yet played: a new game can take it as it is.
    bool m_worldFresh = false;
    std::unique_ptr<CHero> m_ownHero;
    uint32_t m_chosenItemSet = 0;
    uint8_t m_characterCreated = 0;
    bool m_autosaveEnabled = true;
    bool m_autosaveFound = false;
    bool m_autosaveFailed = false;
    platform::CFolderLock m_saveFolderLock;

    CQuestLog m_questLog;
    CGameplay m_gameplay{*this};
};

// The one game object; null while there is none.
extern CGame* g_game;
