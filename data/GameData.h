#pragma once
// The game's state and services that every layer below the shell uses: the
// configuration, the strings, the definition tables in two languages, the
// game clock, the look-ups by name, the display and input services, and the
// objects of the layers above (hero, world, current location, NPC list),
// which this object only points to. The shell's game object derives from it;
// tests build one on its own and fill in what they need.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "VEKLib/Log.h"
#include "data/GameDisplay.h"
#include "data/MConfig.h"
#include "data/StringResource.h"
#include "data/Tables.h"

class CHero;
class CLoc;
class CNpc;
class CWorld;

// GetItemByName: no item of that name.
inline constexpr uint16_t kNoItem = 65535;
// FindMonsterType: no monster of that name.
inline constexpr uint16_t kNoMonster = 65534;
// Item types from here on are corpses: kCorpseBase + monster type.
inline constexpr uint16_t kCorpseBase = 50000;
// GetElapsedTime never says more: 120 game years; anything longer is as long.
inline constexpr uint32_t kMaxElapsedTime = 3732480000u;
// The seed of the game's random generator.
inline constexpr uint32_t kRandomSeed = 56576;

// Game states.
enum : uint32_t {
    kStateMainMenu = 0,
    kStateEditor = 1,
    kStateGame = 2,
    kStateCredits = 3,
    kStateLoading = 4,
    kStateExiting = 5,
};

// The two sets of definition tables: the script language's (names that
// scripts use) and the display language's.
enum : uint8_t {
    kScriptTables = 0,
    kDisplayTables = 1,
};

class CGameData {
public:
    // Lines of the game's log; the default writes time-stamped lines to
    // standard output.
    using LogSink = std::function<void(const std::wstring&)>;

    // Builds the configuration (file chosen as ChooseConfigFileName says),
    // an empty string resource and the console display.
    CGameData();
    CGameData(const CGameData&) = delete;
    CGameData& operator=(const CGameData&) = delete;
    // Forgets g_gameData when it points here.
    virtual ~CGameData();

    void SetLogSink(LogSink sink) { m_logSink = std::move(sink); }
    // Where the texts shown as important are also written (the shell's
    // error log); none when null.
    void SetImportantMessageLog(LogSink log) { m_importantLog = std::move(log); }
    void Log(const std::wstring& text) const;

    uint32_t GetState() const { return m_state; }
    void SetState(uint32_t state) { m_state = state; }

    // --- What the game holds ------------------------------------------------------
    CMorvheldConfig& GetConfig() { return m_config; }
    CStringResource& GetStrings() { return m_strings; }
    const CStringResource& GetStrings() const { return m_strings; }

    // The active set: the selector byte, 0 the script language's set, any
    // other value the display language's.
    const CDefinitionTables& GetTables() const { return m_tables[m_tableSelector != 0 ? 1 : 0]; }
    CDefinitionTables& GetTableSet(uint8_t set) { return m_tables[set != 0 ? 1 : 0]; }
    uint8_t GetTableSelector() const { return m_tableSelector; }
    void SelectTables(uint8_t selector) { m_tableSelector = selector; }

    // Skills 1 to 28 by their script-language names (element 0 is skill 1).
    const std::vector<std::wstring>& GetSkillNames() const { return m_skillNames; }

    // --- The game clock ------------------------------------------------------------
    uint64_t GetClock() const { return m_clock; }
    void SetClock(uint64_t clock) { m_clock = clock; }
    // One turn: one second.
    void Tick() { ++m_clock; }
    // The game clock when the hero last left the current location; none
    // while there is no current location.
    void SetCurrentLocExitTime(std::optional<uint64_t> exitTime) { m_locExitTime = exitTime; }
    // Seconds since the hero left the current location, at most
    // kMaxElapsedTime; 0 when the exit time is later than the clock, and
    // when there is no current location.
    uint32_t GetElapsedTime() const;

    // --- Look-ups by name (case ignored, in the active set) -----------------------------
    // "#" + decimal digits: that item type itself (up to 65535). "##" + a
    // monster name: that monster's corpse. Otherwise the first item of that
    // name (types below kCorpseBase only). kNoItem when there is none, also
    // for a corpse that no item type can name. CException
    // "Invalid item name: " + name when "#" is not followed by digits alone
    // or the number does not fit 16 bits.
    uint16_t GetItemByName(const std::wstring& name) const;
    // A name that GetItemByName answers with an item type, or "#" and
    // decimal digits (any number, also one beyond 16 bits).
    bool IsKnownEntityName(const std::wstring& text) const;
    // Position in the monster table; kNoMonster when absent.
    uint16_t FindMonsterType(const std::wstring& name) const;
    // Position of the entity in its table (kind: CEntityError::kItem ...
    // kEncounter; an item as GetItemByName, an encounter by its internal
    // text). CEntityError when absent; the game keeps no NPCs yet, so an NPC
    // is never found.
    uint16_t FindEntity(const std::wstring& name, uint32_t kind) const;
    // The display-language name of skill 1 to 28 from the strings. Another
    // number, or strings without the skill block, gives what the strings
    // give for a missing tag.
    std::wstring GetSkillName(uint32_t skill) const;

    // --- Random locations ---------------------------------------------------------------
    // Creature groups for random locations, from the shallowest to the deepest.
    std::vector<TGroupTableEntry>& GetGroupTable() { return m_groupTable; }
    const std::vector<TGroupTableEntry>& GetGroupTable() const { return m_groupTable; }
    // The level of the location with levels that the hero is in, and how
    // many levels it has.
    uint16_t GetCurrentLevel() const { return m_currentLevel; }
    void SetCurrentLevel(uint16_t level) { m_currentLevel = level; }
    uint16_t GetLevelCount() const { return m_levelCount; }
    void SetLevelCount(uint16_t count) { m_levelCount = count; }

    // --- Display and input -----------------------------------------------------------
    // Null puts the console display back.
    void SetDisplay(std::unique_ptr<IGameDisplay> display);
    IGameDisplay& GetDisplay() { return *m_display; }
    // The message log.
    void AddMessage(const std::wstring& text, uint32_t type = kMessageInfo, bool flag = false);
    // Shows the text and lets that many seconds of game time pass.
    void ShowMessage(uint32_t duration, const std::wstring& text);
    // A message window captioned with the text of "STR_IMPORTANT_MSG"; the
    // text also goes to the important-message log.
    void ShowImportantMessage(const std::wstring& text, bool flag);
    void OpenWindow(uint32_t windowId, uint32_t mode, uint32_t extra);
    void SetInputMode(uint32_t mode) { m_display->SetInputMode(mode); }
    void Draw() { m_display->Draw(); }
    void ShowBlast(const TBlast& blast) { m_display->ShowBlast(blast); }
    void CenterView() { m_display->CenterView(); }
    void UpdateAutomapImage() { m_display->UpdateAutomapImage(); }
    // The modal loop: runs until the open modal window ends it.
    void Run() { m_display->RunModalLoop(); }
    bool IsWindowUp() const { return m_display->HasWindow(); }

    // --- Objects of the layers above (not owned) ----------------------------------------------
    CHero* GetHero() const { return m_hero; }
    void SetHero(CHero* hero) { m_hero = hero; }
    CWorld* GetWorld() const { return m_world; }
    void SetWorld(CWorld* world) { m_world = world; }
    // The location the hero is in; null while there is none.
    CLoc* GetCurrentLoc() const { return m_currentLoc; }
    void SetCurrentLoc(CLoc* loc) { m_currentLoc = loc; }
    // NPCs by NPC index; an entry is null once its NPC is gone.
    std::vector<CNpc*>& GetNpcList() { return m_npcs; }
    const std::vector<CNpc*>& GetNpcList() const { return m_npcs; }
    // The NPC whose definition scripts are running; null otherwise.
    CNpc* GetCurrentNpc() const { return m_currentNpc; }
    void SetCurrentNpc(CNpc* npc) { m_currentNpc = npc; }

protected:
    uint32_t m_state = kStateMainMenu;
    CMorvheldConfig m_config;
    CStringResource m_strings;
    std::array<CDefinitionTables, 2> m_tables;
    uint8_t m_tableSelector = kScriptTables;
    std::vector<std::wstring> m_skillNames;
    std::vector<TGroupTableEntry> m_groupTable;
    uint16_t m_currentLevel = 0;
    uint16_t m_levelCount = 0;

    uint64_t m_clock = 0;
    std::optional<uint64_t> m_locExitTime;

    std::unique_ptr<IGameDisplay> m_display;
    vek::CLog m_consoleLog;
    LogSink m_logSink;
    LogSink m_importantLog;

    CHero* m_hero = nullptr;
    CWorld* m_world = nullptr;
    CLoc* m_currentLoc = nullptr;
    std::vector<CNpc*> m_npcs;
    CNpc* m_currentNpc = nullptr;
};

// The game's state for the layers below the shell; null while there is none.
extern CGameData* g_gameData;

// value × factor, rounded half up, within 0 to 65535 (a negative or
// not-a-number product gives 0).
uint16_t ScaleU16(uint16_t value, float factor);
