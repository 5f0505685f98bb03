#include <gtest/gtest.h>

#include <irrlicht.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "VEKLib/Exception.h"
#include "data/DataArchive.h"
#include "data/IrrWrap.h"
#include "platform/Utf8.h"
#include "tests/support/Display.h"

namespace {

namespace fs = std::filesystem;
using irr::core::dimension2d;
using irr::video::SColor;

// A texture of a given size that no driver owns, for the frame arithmetic.
class CSizedTexture : public irr::video::ITexture {
public:
    CSizedTexture(irr::u32 width, irr::u32 height) : irr::video::ITexture("sized"), m_size(width, height) {}
    void* lock(irr::video::E_TEXTURE_LOCK_MODE, irr::u32) override { return nullptr; }
    void unlock() override {}
    const dimension2d<irr::u32>& getOriginalSize() const override { return m_size; }
    const dimension2d<irr::u32>& getSize() const override { return m_size; }
    irr::video::E_DRIVER_TYPE getDriverType() const override { return irr::video::EDT_NULL; }
    irr::video::ECOLOR_FORMAT getColorFormat() const override { return irr::video::ECF_A8R8G8B8; }
    irr::u32 getPitch() const override { return m_size.Width * 4; }
    void regenerateMipMapLevels(void*) override {}

private:
    dimension2d<irr::u32> m_size;
};

struct FrameCase {
    const char* what;
    irr::u32 textureWidth, textureHeight;
    int32_t frameWidth, frameHeight, frame;
    int32_t x, y, width, height;
};

const FrameCase kFrameCases[] = {
    {"ten a row: frame 13 on the second row", 320, 64, 32, 32, 13, 96, 32, 32, 32},
    {"first frame", 320, 64, 32, 32, 0, 0, 0, 32, 32},
    {"last frame of the first row", 320, 64, 32, 32, 9, 288, 0, 32, 32},
    {"frame size 0 x 0 is the whole texture", 320, 64, 0, 0, 0, 0, 0, 320, 64},
    {"a zero frame height alone is the whole texture", 320, 64, 32, 0, 0, 0, 0, 320, 64},
    {"sheet narrower than a frame: one a row", 16, 16, 32, 32, 1, 0, 32, 32, 32},
    {"empty texture, as the null driver loads", 0, 0, 32, 32, 5, 0, 160, 32, 32},
    {"negative frame: whole texture, one a row", 320, 64, 32, 32, -1, 0, -64, 320, 64},
};

TEST(SpriteFrame, FramesAreCountedRowByRow) {
    for (const FrameCase& c : kFrameCases) {
        SCOPED_TRACE(c.what);
        CSizedTexture texture(c.textureWidth, c.textureHeight);
        TSprite sprite;
        sprite.texture = &texture;
        sprite.frameWidth = c.frameWidth;
        sprite.frameHeight = c.frameHeight;
        SelectSpriteFrame(sprite, c.frame);
        EXPECT_EQ(sprite.sourceX, c.x);
        EXPECT_EQ(sprite.sourceY, c.y);
        EXPECT_EQ(sprite.width, c.width);
        EXPECT_EQ(sprite.height, c.height);
        // The sheet's frame size is the sprite's, whatever frame was asked for.
        EXPECT_EQ(sprite.frameWidth, c.frameWidth);
        EXPECT_EQ(sprite.frameHeight, c.frameHeight);
    }
}

TEST(SpriteFrame, RectFromXYWHHasExclusiveFarCorner) {
    EXPECT_EQ(RectFromXYWH(10, 20, 32, 16), irr::core::rect<irr::s32>(10, 20, 42, 36));
}

TEST(IrrDevice, DriverFollowsTheOpenglKeyAndTheDisplay) {
    EXPECT_EQ(SelectDriverType(false, true), irr::video::EDT_BURNINGSVIDEO);
    EXPECT_EQ(SelectDriverType(true, true), irr::video::EDT_OPENGL);
    EXPECT_EQ(SelectDriverType(false, false), irr::video::EDT_NULL);
    EXPECT_EQ(SelectDriverType(true, false), irr::video::EDT_NULL);
}

// DISPLAY taken away for the scope, given back afterwards.
class CNoDisplay {
public:
    CNoDisplay() {
        if (const char* display = std::getenv("DISPLAY")) {
            m_old = display;
        }
        ::unsetenv("DISPLAY");
    }
    ~CNoDisplay() {
        if (m_old) {
            ::setenv("DISPLAY", m_old->c_str(), 1);
        }
    }

private:
    std::optional<std::string> m_old;
};

TEST(IrrDevice, ImmersionWithoutDesktopSizeKeeps800x600) {
    const CNoDisplay noDisplay;
    ASSERT_EQ(GetDesktopResolution(), dimension2d<irr::u32>(0, 0));
    EXPECT_EQ(GetImmersionWindowSize(), dimension2d<irr::u32>(800, 600));
}

// A scratch working folder whose Graphics/ the data archive reads as loose
// files, and the device that the sprite functions use.
class Graphics : public ::testing::Test {
protected:
    void SetUp() override {
        m_oldCwd = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "morvheld_gfx_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        fs::current_path(m_root);
        fs::create_directory("Graphics");
    }
    void TearDown() override {
        if (m_root.empty()) {
            return; // skipped before set-up
        }
        ReleaseTexture(m_texture);
        SetIrrDevice(nullptr);
        DataArchive().Reset();
        SetArchiveInUse(true);
        if (m_device != nullptr) {
            m_device->closeDevice();
            m_device->run();
            m_device->drop();
        }
        fs::current_path(m_oldCwd);
        fs::remove_all(m_root);
    }

    void Open(irr::video::E_DRIVER_TYPE driverType, bool immersion = false, bool fullscreen = false) {
        m_device = CreateIrrDevice(driverType, immersion, fullscreen);
        SetIrrDevice(m_device);
        DataArchive().SetUp(m_device, true);
    }
    irr::video::IVideoDriver* Driver() const { return m_device->getVideoDriver(); }

    // Writes Graphics/name as a PNG without alpha, like the game's sheets.
    void WriteSheet(const std::string& name, irr::u32 width, irr::u32 height,
                    const std::function<SColor(irr::u32, irr::u32)>& pixel) {
        irr::video::IImage* image = Driver()->createImage(irr::video::ECF_R8G8B8, dimension2d<irr::u32>(width, height));
        for (irr::u32 y = 0; y < height; ++y) {
            for (irr::u32 x = 0; x < width; ++x) {
                image->setPixel(x, y, pixel(x, y));
            }
        }
        const std::string path = std::string("Graphics/") + name;
        ASSERT_TRUE(Driver()->writeImageToFile(image, path.c_str()));
        image->drop();
    }
    static SColor Red(irr::u32, irr::u32) { return SColor(255, 255, 0, 0); }

    fs::path m_oldCwd;
    fs::path m_root;
    irr::IrrlichtDevice* m_device = nullptr;
    irr::video::ITexture* m_texture = nullptr;
};

// The null device is made as it is: immersion and full screen do not apply.
TEST_F(Graphics, NullDeviceIsSetUpForTheGame) {
    Open(irr::video::EDT_NULL, true, true);
    EXPECT_EQ(Driver()->getDriverType(), irr::video::EDT_NULL);
    EXPECT_EQ(Driver()->getScreenSize(), dimension2d<irr::u32>(800, 600));
    EXPECT_FALSE(m_device->isFullscreen());
    EXPECT_EQ(m_device->getLogger()->getLogLevel(), irr::ELL_ERROR);
    EXPECT_TRUE(Driver()->getTextureCreationFlag(irr::video::ETCF_OPTIMIZED_FOR_SPEED));
    EXPECT_FALSE(Driver()->getTextureCreationFlag(irr::video::ETCF_CREATE_MIP_MAPS));
}

TEST_F(Graphics, HolderKeepsItsOwnReference) {
    Open(irr::video::EDT_NULL);
    WriteSheet("red.png", 64, 32, Red);
    LoadTexture(m_texture, L"red.png", true);
    ASSERT_NE(m_texture, nullptr);
    irr::video::ITexture* const first = m_texture;
    EXPECT_EQ(first->getReferenceCount(), 2); // the driver's cache and the holder

    // Loading it again releases the holder's reference first: the texture
    // must live on in the cache and come back from it.
    LoadTexture(m_texture, L"red.png", true);
    EXPECT_EQ(m_texture, first);
    EXPECT_EQ(first->getReferenceCount(), 2);

    ReleaseTexture(m_texture);
    EXPECT_EQ(m_texture, nullptr);
    EXPECT_EQ(first->getReferenceCount(), 1);
}

TEST_F(Graphics, MissingFileThrowsTheArchiveErrorAndEmptiesTheHolder) {
    Open(irr::video::EDT_NULL);
    WriteSheet("red.png", 64, 32, Red);
    LoadTexture(m_texture, L"red.png", false);
    irr::video::ITexture* const cached = m_texture;
    try {
        LoadTexture(m_texture, L"missing.png", false);
        FAIL() << "no exception";
    } catch (const vek::CFileException& e) {
        EXPECT_EQ(e.GetCode(), 1u);
        EXPECT_EQ(e.GetFunction(), L"CDataArchive::GetIrrFile");
        EXPECT_EQ(e.GetFileName(), L"Graphics/missing.png");
    }
    EXPECT_EQ(m_texture, nullptr);
    EXPECT_EQ(cached->getReferenceCount(), 1);
}

TEST_F(Graphics, TextureComesFromTheDataArchive) {
    Open(irr::video::EDT_NULL);
    WriteSheet("red.png", 64, 32, Red);
    fs::create_directory("src");
    fs::rename("Graphics", "src/Graphics"); // in the archive only
    const std::string command = "cd src && 7zz a -tzip -mem=AES256 '-p" + CDataArchive::GetPassword() +
                                "' -bd -bso0 -bsp0 ../Morvheld.dat Graphics";
    ASSERT_EQ(std::system(command.c_str()), 0);
    DataArchive().SetUp(m_device, false);

    LoadTexture(m_texture, L"red.png", true);
    EXPECT_NE(m_texture, nullptr);
    EXPECT_THROW(LoadTexture(m_texture, L"Red.png", true), vek::CFileException);
}

// The engine's picture loaders seek and read a stored file as they please:
// one shorter than any picture header must not let them outside its bytes.
TEST_F(Graphics, ShortStoredPicturesAreErrors) {
    Open(irr::video::EDT_NULL);
    fs::create_directories("src/Graphics");
    const std::vector<std::pair<std::string, size_t>> pictures = {
        {"a.tga", 0}, {"b.tga", 1}, {"c.tga", 17}, {"d.tga", 18}, {"e.tga", 25}, {"f.tga", 26},
        {"g.png", 7}, {"h.png", 8}, {"i.bmp", 13}, {"j.bmp", 14}, {"k.jpg", 3},  {"l.pcx", 10},
    };
    for (const auto& [name, size] : pictures) {
        std::ofstream("src/Graphics/" + name, std::ios::binary) << std::string(size, '\x01');
    }
    const std::string command = "cd src && 7zz a -tzip -mem=AES256 '-p" + CDataArchive::GetPassword() +
                                "' -bd -bso0 -bsp0 ../Morvheld.dat Graphics";
    ASSERT_EQ(std::system(command.c_str()), 0);
    DataArchive().SetUp(m_device, false);
    for (const auto& [name, size] : pictures) {
        SCOPED_TRACE(name);
        EXPECT_THROW(LoadTexture(m_texture, platform::FromUtf8(name), false), vek::CException);
        EXPECT_EQ(m_texture, nullptr);
    }
}

TEST_F(Graphics, UnreadablePictureIsAnError) {
    Open(irr::video::EDT_NULL);
    std::ofstream("Graphics/bad.png", std::ios::binary) << "not a picture";
    try {
        LoadTexture(m_texture, L"bad.png", true);
        FAIL() << "no exception";
    } catch (const vek::CException& e) {
        EXPECT_EQ(e.GetFunction(), L"LoadTexture");
        EXPECT_EQ(e.GetSourceFile(), L"IrrWrap");
    }
    EXPECT_EQ(m_texture, nullptr);
}

TEST_F(Graphics, NothingToDrawWithoutDevice) {
    TSprite sprite;
    EXPECT_THROW(LoadTexture(sprite.texture, L"red.png", false), vek::CException);
    EXPECT_EQ(sprite.texture, nullptr);
    sprite.frameWidth = 32;
    sprite.frameHeight = 32;
    SelectSpriteFrame(sprite, 2);
    EXPECT_EQ(sprite.sourceY, 64);
    DrawSprite(sprite, 0, 0, nullptr);
}

// --- On a display (run under xvfb-run) --------------------------------------------

class GraphicsDisplay : public Graphics {
protected:
    void SetUp() override {
        MORVHELD_NEED_DISPLAY();
        Graphics::SetUp();
    }
};

TEST_F(GraphicsDisplay, FullScreenWithoutImmersionIsAn800x600Window) {
    Open(SelectDriverType(false), false, true);
    EXPECT_EQ(Driver()->getDriverType(), irr::video::EDT_BURNINGSVIDEO);
    EXPECT_EQ(Driver()->getScreenSize(), dimension2d<irr::u32>(800, 600));
    EXPECT_FALSE(m_device->isFullscreen());
}

// Servers without the video-mode extension (Xvfb) report a 0 x 0 desktop.
TEST_F(GraphicsDisplay, ImmersionWindowHasTheDesktopSizeWhenKnown) {
    const dimension2d<irr::u32> desktop = GetDesktopResolution();
    Open(SelectDriverType(false), true, false);
    EXPECT_EQ(Driver()->getScreenSize(), desktop.getArea() > 0 ? desktop : dimension2d<irr::u32>(800, 600));
}

// Two 32 x 32 frames: the first red on its left half and magenta on its
// right, the second green.
SColor KeyedSheet(irr::u32 x, irr::u32) {
    if (x >= 32) {
        return SColor(255, 0, 255, 0);
    }
    return x < 16 ? SColor(255, 255, 0, 0) : SColor(255, 255, 0, 255);
}

TEST_F(GraphicsDisplay, SpritesDrawWithColourKeyOpacityAndClipping) {
    Open(SelectDriverType(false));
    WriteSheet("keyed.png", 64, 32, KeyedSheet);
    WriteSheet("plain.png", 64, 32, KeyedSheet);

    TSprite keyed;
    keyed.frameWidth = 32;
    keyed.frameHeight = 32;
    LoadTexture(keyed.texture, L"keyed.png", true);
    TSprite plain = keyed;
    plain.texture = nullptr;
    LoadTexture(plain.texture, L"plain.png", false);
    TSprite large = keyed; // a frame larger than the sheet
    large.frameWidth = 48;
    large.frameHeight = 48;

    const SColor blue(255, 0, 0, 255);
    ASSERT_TRUE(Driver()->beginScene(true, true, blue));
    SelectSpriteFrame(keyed, 0);
    DrawSprite(keyed, 100, 100, nullptr);
    SelectSpriteFrame(plain, 0);
    DrawSprite(plain, 200, 100, nullptr);
    SelectSpriteFrame(keyed, 1);
    DrawSpriteAlpha(keyed, 300, 100, nullptr, 128);
    const irr::core::rect<irr::s32> clip = RectFromXYWH(400, 100, 16, 32);
    DrawSprite(keyed, 400, 100, &clip);
    SelectSpriteFrame(keyed, 5); // past the sheet's last row
    DrawSprite(keyed, 500, 100, nullptr);
    SelectSpriteFrame(large, 0);
    DrawSprite(large, 600, 100, nullptr);
    ASSERT_TRUE(Driver()->endScene());

    irr::video::IImage* shot = Driver()->createScreenShot();
    ASSERT_NE(shot, nullptr);
    const auto at = [shot](irr::u32 x, irr::u32 y) {
        const SColor c = shot->getPixel(x, y);
        return std::to_string(c.getRed()) + "," + std::to_string(c.getGreen()) + "," + std::to_string(c.getBlue());
    };
    EXPECT_EQ(at(104, 110), "255,0,0");   // keyed: red stays
    EXPECT_EQ(at(120, 110), "0,0,255");   // keyed: magenta shows the background
    EXPECT_EQ(at(220, 110), "255,0,255"); // not keyed: magenta is drawn
    EXPECT_EQ(at(410, 110), "0,255,0");   // inside the clipping rectangle
    EXPECT_EQ(at(420, 110), "0,0,255");   // outside it
    EXPECT_EQ(at(510, 110), "0,0,255");   // a frame past the sheet draws nothing
    EXPECT_EQ(at(604, 110), "255,0,0");   // the part of a large frame that exists
    EXPECT_EQ(at(604, 140), "0,0,255");   // and nothing below the sheet
    // Half of the green over the blue background.
    const SColor faded = shot->getPixel(310, 110);
    EXPECT_EQ(faded.getRed(), 0u);
    EXPECT_NEAR(faded.getGreen(), 128, 3);
    EXPECT_NEAR(faded.getBlue(), 127, 3);
    shot->drop();

    ReleaseTexture(keyed.texture);
    ReleaseTexture(plain.texture);
}

} // namespace
