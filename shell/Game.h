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
#include "rules/Battle.h"
#include "script/ScriptGame.h"
#include "shell/Gameplay.h"
#include "shell/MainLoop.h"
#include "shell/MapView.h"
#include "shell/QuestLog.h"
#include "windows/Dialog.h"

namespace irr {
class IrrlichtDevice;
namespace video {
class IVideoDriver;
}
} // namespace irr

namespace vek {
class CStdRand;
}

class CGroupMember;
class CMorvheldMessageDisplay;

class CGame : public CGameData, public IScriptGame {
public:
    // Nothing global is touched until SetUp.
    CGame();
    // Clear and ShutDown; forgets g_game when it points here.
    ~CGame() override;

    // --- Set-up ----------------------------------------------------------------
    // Reads the configuration, creates the device, sets up the data archive
    // (loose files with "force_files"), loads the strings in both languages
    // and the map's sprite sheets, installs the random generator and the
    // message display, and loads the definition tables: the script
    // language's set without the count check, the heroes, then the display
    // language's set with it; then the global declarations and the bank's
    // conversation ("bank.u"), whose script errors are shown and passed over.
    // With a window, the window's display takes over. Once per game object
    // (CException otherwise). Whatever a failure leaves set up is released
    // by ShutDown.
    void SetUp();
    // Takes back what SetUp installed: the display, the game scripts' side of
    // the game, the message display and the random generator, the sprites and
    // the archive (while the device still lives), then the device.
    void ShutDown();
    // The null driver whatever the configuration says (no window opens).
    void ForceNullDriver(bool force) { m_forceNullDriver = force; }

    // The suites "Game" and "VEKLib" under one parent, reported on standard
    // output; the number of failed checks.
    static int32_t RunSelfTests();

    irr::IrrlichtDevice* GetDevice() const { return m_device; }
    irr::video::IVideoDriver* GetDriver() const;

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
    // Asks the amount (at most what he has, or has at the bank) and moves
    // that many coins between his backpack and his bank deposit (mode 1
    // deposit, 2 withdraw); coins the backpack refuses stay at the bank.
    void BankTransaction(CLoc* location, uint32_t mode) override;
    void KeepInputMode() override { m_keepInputMode = 1; }
    // Set by a conversation that must not change the input mode when it
    // ends; the one who closes the window clears it.
    uint8_t GetKeepInputMode() const { return m_keepInputMode; }
    void SetKeepInputMode(uint8_t keep) { m_keepInputMode = keep; }

    // --- Playing (MainLoop.cpp, SampleLocation.cpp) ---------------------------------------
    // One step of the main loop; false once the game has ended.
    bool Step();
    // The main loop's clock; null puts the system's back.
    void SetFrameClock(std::unique_ptr<IFrameClock> clock);
    // Until a new game exists: the location file of the location folder,
    // every cell explored, current, with a hero placed at random on it, and
    // the view centred on him; the game state becomes kStateGame. What the
    // game held is let go first, so a file that cannot be read leaves none.
    void ShowSampleLocation(const std::wstring& fileName);
    // Lets go of the location and the hero that the game holds.
    void Clear();
    // The map's sprite sheets, loaded at set-up.
    const TMapSprites& GetMapSprites() const { return m_sprites; }

    // --- NPCs, battles and quests (GameNpcs.cpp) ----------------------------------------------
    // The NPCs of the NPC list with that name and home location (case
    // ignored), in list order.
    std::vector<CNpc*> FindNPCsByName(const std::wstring& name, const std::wstring& location) const;
    // The first of them; vek::CException "NPC not found: name, location".
    CNpc& FindNPC(const std::wstring& name, const std::wstring& location) const;
    // Whether the first of them lives; false when there is none.
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
    void LoadBankScript();

    irr::IrrlichtDevice* m_device = nullptr;
    std::unique_ptr<vek::CStdRand> m_random;
    std::unique_ptr<CMorvheldMessageDisplay> m_messageDisplay;
    bool m_forceNullDriver = false;
    bool m_setUpStarted = false;
    CDialog m_dialog;
    std::unique_ptr<CScript> m_bankScript;
    uint8_t m_keepInputMode = 0;

    TMapSprites m_sprites;
    std::unique_ptr<IFrameClock> m_frameClock = std::make_unique<CSystemFrameClock>();
    std::unique_ptr<CLoc> m_sampleLoc;
    std::unique_ptr<CHero> m_ownHero;

    CQuestLog m_questLog;
    CGameplay m_gameplay{*this};
};

// The one game object; null while there is none.
extern CGame* g_game;
