#include "data/IrrWrap.h"

#include <irrlicht.h>

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "VEKLib/Exception.h"
#include "data/DataArchive.h"
#include "data/Globals.h"

namespace {

constexpr const wchar_t* kSource = L"IrrWrap";

// The flags keep the values the game was written against.
static_assert(irr::video::ETCF_OPTIMIZED_FOR_SPEED == 8);
static_assert(irr::video::ETCF_CREATE_MIP_MAPS == 16);

// Opaque magenta: the transparent colour of the keyed sheets.
constexpr irr::u32 kColorKey = 0xFFFF00FFu;
constexpr irr::u32 kOpaqueWhite = 0xFFFFFFFFu;

irr::IrrlichtDevice* g_device = nullptr;

// The engine's defaults, with the window and buffers the game starts from.
// The engine's own start-up chatter stays quiet: errors only from the start.
irr::SIrrlichtCreationParameters BaseParameters() {
    irr::SIrrlichtCreationParameters params;
    params.WindowSize = irr::core::dimension2d<irr::u32>(kWindowWidth, kWindowHeight);
    params.Bits = 16;
    params.ZBufferBits = 16;
    params.Fullscreen = false;
    params.Stencilbuffer = false;
    params.Vsync = false;
    params.AntiAlias = 0;
    params.WithAlphaChannel = false;
    params.LoggingLevel = irr::ELL_ERROR;
    return params;
}

int32_t Saturate(int64_t value) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// The texture's size as loaded; none for no texture.
irr::core::dimension2d<irr::u32> TextureSize(const irr::video::ITexture* texture) {
    return texture != nullptr ? texture->getOriginalSize() : irr::core::dimension2d<irr::u32>(0, 0);
}

int32_t ToI32(irr::u32 value) {
    return static_cast<int32_t>(std::min<irr::u32>(value, std::numeric_limits<int32_t>::max()));
}

void Draw(const TSprite& sprite, int32_t x, int32_t y, const irr::core::rect<irr::s32>* clip, irr::u32 color) {
    irr::video::IVideoDriver* driver = GetIrrDriver();
    if (driver == nullptr || sprite.texture == nullptr) {
        return;
    }
    // A frame past the sheet's edge (a frame number beyond the sheet, a frame
    // larger than the texture) is cut to the texels that exist: drivers do
    // not agree on what lies outside a texture.
    const irr::core::dimension2d<irr::u32> size = TextureSize(sprite.texture);
    const int64_t left = std::max<int64_t>(sprite.sourceX, 0);
    const int64_t top = std::max<int64_t>(sprite.sourceY, 0);
    const int64_t right = std::min<int64_t>(int64_t{sprite.sourceX} + sprite.width, size.Width);
    const int64_t bottom = std::min<int64_t>(int64_t{sprite.sourceY} + sprite.height, size.Height);
    if (left >= right || top >= bottom) {
        return;
    }
    const int64_t destX = int64_t{x} + (left - sprite.sourceX);
    const int64_t destY = int64_t{y} + (top - sprite.sourceY);
    if (destX > std::numeric_limits<int32_t>::max() || destY > std::numeric_limits<int32_t>::max()) {
        return;
    }
    const irr::core::rect<irr::s32> source(static_cast<irr::s32>(left), static_cast<irr::s32>(top),
                                           static_cast<irr::s32>(right), static_cast<irr::s32>(bottom));
    driver->draw2DImage(sprite.texture,
                        irr::core::position2d<irr::s32>(static_cast<irr::s32>(destX), static_cast<irr::s32>(destY)),
                        source, clip, irr::video::SColor(color), true);
}

} // namespace

bool HaveDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && display[0] != '\0';
}

irr::video::E_DRIVER_TYPE SelectDriverType(bool opengl, bool haveDisplay) {
    if (!haveDisplay) {
        return irr::video::EDT_NULL;
    }
    // There is no Direct3D here; the software driver stands in for it.
    return opengl ? irr::video::EDT_OPENGL : irr::video::EDT_BURNINGSVIDEO;
}

irr::core::dimension2d<irr::u32> GetDesktopResolution() {
    irr::SIrrlichtCreationParameters params;
    params.DriverType = irr::video::EDT_NULL;
    params.WindowSize = irr::core::dimension2d<irr::u32>(640, 480);
    params.Bits = 16;
    params.LoggingLevel = irr::ELL_ERROR;
    irr::core::dimension2d<irr::u32> desktop(0, 0);
    if (irr::IrrlichtDevice* probe = irr::createDeviceEx(params)) {
        desktop = probe->getVideoModeList()->getDesktopResolution();
        probe->drop();
    }
    return desktop;
}

irr::core::dimension2d<irr::u32> GetImmersionWindowSize() {
    const irr::core::dimension2d<irr::u32> desktop = GetDesktopResolution();
    // Without a display the desktop is 0 x 0, and so would be the window.
    if (desktop.Width == 0 || desktop.Height == 0) {
        return irr::core::dimension2d<irr::u32>(kWindowWidth, kWindowHeight);
    }
    return desktop;
}

irr::IrrlichtDevice* CreateIrrDevice(irr::video::E_DRIVER_TYPE driverType, bool immersion, bool fullscreen) {
    irr::SIrrlichtCreationParameters params = BaseParameters();
    if (driverType != irr::video::EDT_NULL) {
        if (immersion) {
            params.WindowSize = GetImmersionWindowSize();
        }
        params.Bits = 32;
        params.Vsync = true;
        params.Fullscreen = immersion && fullscreen;
    }
    params.DriverType = driverType;
    irr::IrrlichtDevice* device = irr::createDeviceEx(params);
    if (device == nullptr) {
        throw vek::CException(L"CreateIrrDevice", kSource, __LINE__, L"Irrlicht device not created.");
    }
    device->setWindowCaption(L"Morvheld");
    device->getLogger()->setLogLevel(irr::ELL_ERROR);
    irr::video::IVideoDriver* driver = device->getVideoDriver();
    driver->setTextureCreationFlag(irr::video::ETCF_OPTIMIZED_FOR_SPEED, true);
    driver->setTextureCreationFlag(irr::video::ETCF_CREATE_MIP_MAPS, false);
    return device;
}

void SetIrrDevice(irr::IrrlichtDevice* device) { g_device = device; }

irr::IrrlichtDevice* GetIrrDevice() { return g_device; }

irr::video::IVideoDriver* GetIrrDriver() { return g_device != nullptr ? g_device->getVideoDriver() : nullptr; }

void ReleaseTexture(irr::video::ITexture*& texture) {
    if (texture != nullptr) {
        texture->drop();
        texture = nullptr;
    }
}

void LoadTexture(irr::video::ITexture*& texture, const std::wstring& fileName, bool colorKey) {
    ReleaseTexture(texture);
    irr::video::IVideoDriver* driver = GetIrrDriver();
    if (driver == nullptr) {
        throw vek::CException(L"LoadTexture", kSource, __LINE__, L"Irrlicht device not created.");
    }
    const std::wstring path = std::wstring(kGraphicsDir) + fileName;
    irr::io::IReadFile* file = DataArchive().GetIrrFile(path);
    irr::video::ITexture* loaded = driver->getTexture(file);
    file->drop();
    if (loaded == nullptr) {
        throw vek::CException(L"LoadTexture", kSource, __LINE__, L"Cannot load texture " + path);
    }
    // The driver's cache holds the texture only for itself: the holder's
    // reference keeps it alive until ReleaseTexture, and releasing it never
    // leaves the cache pointing at a freed texture.
    loaded->grab();
    texture = loaded;
    // The null driver's textures have no texels to key.
    if (colorKey && texture->getOriginalSize().getArea() > 0) {
        driver->makeColorKeyTexture(texture, irr::video::SColor(kColorKey));
    }
}

void SelectSpriteFrame(TSprite& sprite, int32_t frame) {
    const irr::core::dimension2d<irr::u32> size = TextureSize(sprite.texture);
    int32_t frameWidth = sprite.frameWidth;
    int32_t frameHeight = sprite.frameHeight;
    if (frameWidth <= 0 || frameHeight <= 0 || frame < 0) {
        frameWidth = ToI32(size.Width);
        frameHeight = ToI32(size.Height);
    }
    // A texture narrower than one frame (the null driver's are 0 x 0) still
    // counts one frame a row.
    const int32_t perRow = frameWidth > 0 ? std::max(ToI32(size.Width) / frameWidth, 1) : 1;
    sprite.width = frameWidth;
    sprite.height = frameHeight;
    sprite.sourceY = Saturate(int64_t{frameHeight} * (frame / perRow));
    sprite.sourceX = Saturate(int64_t{frameWidth} * (frame % perRow));
}

void DrawSprite(const TSprite& sprite, int32_t x, int32_t y, const irr::core::rect<irr::s32>* clip) {
    Draw(sprite, x, y, clip, kOpaqueWhite);
}

void DrawSpriteAlpha(const TSprite& sprite, int32_t x, int32_t y, const irr::core::rect<irr::s32>* clip,
                     uint8_t opacity) {
    Draw(sprite, x, y, clip, (irr::u32{opacity} << 24) + 0xFFFFFFu);
}

irr::core::rect<irr::s32> RectFromXYWH(int32_t x, int32_t y, int32_t width, int32_t height) {
    return irr::core::rect<irr::s32>(x, y, Saturate(int64_t{x} + width), Saturate(int64_t{y} + height));
}
