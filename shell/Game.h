#pragma once
// The one game object: the game's state (CGameData) with the device, its
// set-up and shut-down and the self-tests. The program entry makes it and
// keeps it in g_game.
#include <cstdint>
#include <memory>
#include <string>

#include "data/GameData.h"
#include "shell/MainLoop.h"
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
    // Clear and ShutDown; forgets g_game when it points here.
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

private:
    irr::IrrlichtDevice* m_device = nullptr;
    std::unique_ptr<vek::CStdRand> m_random;
    std::unique_ptr<CMorvheldMessageDisplay> m_messageDisplay;
    bool m_forceNullDriver = false;
    bool m_setUpStarted = false;

    TMapSprites m_sprites;
    std::unique_ptr<IFrameClock> m_frameClock = std::make_unique<CSystemFrameClock>();
    std::unique_ptr<CLoc> m_sampleLoc;
    std::unique_ptr<CHero> m_ownHero;
};

// The one game object; null while there is none.
extern CGame* g_game;
