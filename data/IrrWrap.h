#pragma once
// The few things the game asks of the engine beyond its GUI: the device with
// the configured driver and window mode, textures read through the data
// archive, and frames of sprite sheets drawn in 2D. Every map cell, creature,
// item and window picture is drawn through the sprite functions.
#include <cstdint>
#include <string>

#include <EDriverTypes.h>
#include <dimension2d.h>
#include <irrTypes.h>
#include <rect.h>

namespace irr {
class IrrlichtDevice;
namespace video {
class ITexture;
class IVideoDriver;
} // namespace video
} // namespace irr

// The window without immersion.
inline constexpr irr::u32 kWindowWidth = 800;
inline constexpr irr::u32 kWindowHeight = 600;

// One picture cut from a texture: the current frame and the frame size of
// the sheet. A frame size of 0 means the whole texture.
struct TSprite {
    irr::video::ITexture* texture = nullptr; // one reference held; see LoadTexture
    int32_t sourceX = 0;
    int32_t sourceY = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
};

// --- The device -------------------------------------------------------------------

// An X display to open windows on (DISPLAY is set).
bool HaveDisplay();

// The driver for the "opengl" setting: OpenGL when set, Burning's Video
// (software) otherwise; the null driver, which opens no window, when there
// is no display.
irr::video::E_DRIVER_TYPE SelectDriverType(bool opengl, bool haveDisplay);
inline irr::video::E_DRIVER_TYPE SelectDriverType(bool opengl) { return SelectDriverType(opengl, HaveDisplay()); }

// The desktop's resolution as a short-lived null device reports it; 0 x 0
// when no display can be opened.
irr::core::dimension2d<irr::u32> GetDesktopResolution();
// The window size with "immersion": the desktop's resolution, or 800 x 600
// when the desktop reports no size.
irr::core::dimension2d<irr::u32> GetImmersionWindowSize();

// Creates the device. The null driver gets an 800 x 600 null device as it
// is; any other driver gets 32-bit colour and vertical sync, a window of the
// desktop's size with immersion (else 800 x 600), and full screen only with
// both immersion and fullscreen. The caller drops the device.
// Throws CException "Irrlicht device not created." when the engine refuses.
irr::IrrlichtDevice* CreateIrrDevice(irr::video::E_DRIVER_TYPE driverType, bool immersion, bool fullscreen);

// The program-wide device that the texture and sprite functions use; the
// game's set-up stores it (not owned; null forgets it).
void SetIrrDevice(irr::IrrlichtDevice* device);
irr::IrrlichtDevice* GetIrrDevice();
irr::video::IVideoDriver* GetIrrDriver();

// --- Textures and sprites --------------------------------------------------------

// Loads "Graphics/" + fileName through the data archive into texture, first
// releasing what texture held. With colorKey, opaque magenta (0xFFFF00FF)
// turns transparent. The holder keeps its own reference to the texture: give
// it back with ReleaseTexture, and before the device is dropped.
// A missing file throws the archive's CFileException (code 1); a file the
// driver cannot read throws CException. On a throw the holder is empty.
void LoadTexture(irr::video::ITexture*& texture, const std::wstring& fileName, bool colorKey);
// Drops the holder's reference; the holder becomes empty.
void ReleaseTexture(irr::video::ITexture*& texture);

// Makes frame n, counted row by row from the top-left, the sprite's current
// frame. A frame size of 0, or a negative n, takes the whole texture (the
// sprite's frame size stays as it is).
void SelectSpriteFrame(TSprite& sprite, int32_t frame);

// Draws the current frame with its top-left corner at (x, y), clipped to
// clip when given, using the texture's alpha channel. The part of the frame
// outside the texture is not drawn.
void DrawSprite(const TSprite& sprite, int32_t x, int32_t y, const irr::core::rect<irr::s32>* clip);
// The same, the whole frame faded to opacity (255 opaque).
void DrawSpriteAlpha(const TSprite& sprite, int32_t x, int32_t y, const irr::core::rect<irr::s32>* clip,
                     uint8_t opacity);

// (x, y, x + width, y + height); the far corner is exclusive.
irr::core::rect<irr::s32> RectFromXYWH(int32_t x, int32_t y, int32_t width, int32_t height);
