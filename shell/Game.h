#pragma once
// The one game object: the game's state (CGameData) with the device, its
// set-up and shut-down and the self-tests. The program entry makes it and
// keeps it in g_game.
#include <cstdint>
#include <memory>

#include "data/GameData.h"
#include "shell/MapView.h"

namespace irr {
class IrrlichtDevice;
namespace video {
class IVideoDriver;
}
} // namespace irr

namespace vek {
class CStdRand;
}

class CMorvheldMessageDisplay;

class CGame : public CGameData {
public:
    // Nothing global is touched until SetUp.
    CGame();
    // ShutDown; forgets g_game when it points here.
    ~CGame() override;

    // --- Set-up ----------------------------------------------------------------
    // Reads the configuration, creates the device, sets up the data archive
    // (loose files with "force_files"), loads the strings in both languages
    // and the map's sprite sheets, installs the random generator and the
    // message display, and loads the definition tables: the script
    // language's set without the count check, the heroes, then the display
    // language's set with it. With a window, the window's display takes
    // over. Once per game object (CException otherwise). Whatever a failure
    // leaves set up is released by ShutDown.
    void SetUp();
    // Takes back what SetUp installed: the display, the message display and
    // the random generator, the sprites and the archive (while the device
    // still lives), then the device.
    void ShutDown();
    // The null driver whatever the configuration says (no window opens).
    void ForceNullDriver(bool force) { m_forceNullDriver = force; }

    // The suites "Game" and "VEKLib" under one parent, reported on standard
    // output; the number of failed checks.
    static int32_t RunSelfTests();

    irr::IrrlichtDevice* GetDevice() const { return m_device; }
    irr::video::IVideoDriver* GetDriver() const;

    // The map's sprite sheets, loaded at set-up.
    const TMapSprites& GetMapSprites() const { return m_sprites; }

private:
    irr::IrrlichtDevice* m_device = nullptr;
    std::unique_ptr<vek::CStdRand> m_random;
    std::unique_ptr<CMorvheldMessageDisplay> m_messageDisplay;
    bool m_forceNullDriver = false;
    bool m_setUpStarted = false;

    TMapSprites m_sprites;
};

// The one game object; null while there is none.
extern CGame* g_game;
