#pragma once
// What generation takes from the game: the game's generator, the definition
// tables, the creature groups, the input mode and a line on the console.
// Generation reads no game object of its own: the world hands it the game
// behind this interface (world/GenServices.h), and a test a fake of its own.
#include <cstdint>
#include <span>
#include <string>

#include "VEKLib/Random.h"
#include "data/GameData.h"
#include "data/Tables.h"

namespace gen {

class IGameServices {
public:
    virtual ~IGameServices() = default;

    // The game's own generator, which the placement passes and the
    // staircases draw from; null makes every draw 0.
    virtual vek::CRandomGeneratorBase* GameRandom() = 0;
    // The definition tables in use.
    virtual const CDefinitionTables& Tables() const = 0;
    // Creature groups of random locations, from the shallowest to the deepest.
    virtual std::span<const TGroupTableEntry> GroupTable() const = 0;
    // The game runs its editor, which keeps its own input mode.
    virtual bool InEditor() const = 0;
    // kInputModeNormal, kInputModeBusy ... (data/GameDisplay.h).
    virtual void SetInputMode(uint32_t mode) = 0;
    // A line that tells who watches the console how generation goes.
    virtual void Report(const std::wstring& line) = 0;
};

// The game's input mode held while it lives: the busy one, or in the editor
// the normal one. On every way out, a return or a throw, it puts back the
// mode of the guard it runs inside, or the normal mode when none encloses it,
// so that a pass inside a longer wait does not end the wait. Without a game
// (null) nothing is switched. One thread.
class CBusyInput {
public:
    explicit CBusyInput(IGameServices* game);
    CBusyInput(const CBusyInput&) = delete;
    CBusyInput& operator=(const CBusyInput&) = delete;
    ~CBusyInput();

private:
    IGameServices* m_game;
    uint32_t m_mode;
    const CBusyInput* m_enclosing;
};

} // namespace gen
