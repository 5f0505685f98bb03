// The game's font on the face of the Debian package, measured without a
// window: what it covers, how wide and tall texts are, and the errors of a
// face that cannot be read.
#include <gtest/gtest.h>

#include <irrlicht.h>

#include <string>

#include "VEKLib/Exception.h"
#include "support/Files.h"
#include "windows/TTFont.h"

namespace {

using irr::gui::CGUITTFont;

class FontTest : public testing::Test {
protected:
    void SetUp() override {
        m_device = irr::createDevice(irr::video::EDT_NULL);
        m_device->getLogger()->setLogLevel(irr::ELL_NONE);
        m_font = CGUITTFont::Create(m_device->getVideoDriver(), irr::gui::kGameFontFile, irr::gui::kGameFontPixels);
    }
    void TearDown() override {
        m_font->drop();
        m_device->drop();
    }

    irr::u32 Width(const wchar_t* text) const { return m_font->getDimension(text).Width; }

    irr::IrrlichtDevice* m_device = nullptr;
    CGUITTFont* m_font = nullptr;
};

// Every letter of both sample languages, Polish ones included.
TEST_F(FontTest, TheFaceCoversBothLanguages) {
    const std::u32string letters =
        U"ąćęłńóśźżĄĆĘŁŃÓŚŹŻabcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,:;!?'\"()%-";
    for (const char32_t letter : letters) {
        EXPECT_TRUE(m_font->HasGlyph(letter)) << static_cast<uint32_t>(letter);
    }
    // A character of a script the face does not know.
    EXPECT_FALSE(m_font->HasGlyph(U'\u4E2D'));
}

TEST_F(FontTest, TextsMeasureByTheirLinesAndCharacters) {
    const irr::u32 line = static_cast<irr::u32>(m_font->GetLineHeight());
    EXPECT_GE(line, irr::gui::kGameFontPixels);
    EXPECT_EQ(m_font->getDimension(L"").Height, line);
    EXPECT_EQ(m_font->getDimension(L"a\nb").Height, 2 * line);
    EXPECT_EQ(Width(L"Zażółć"), Width(L"Za") + Width(L"żółć"));
    // The widest line; a carriage return takes no room.
    EXPECT_EQ(Width(L"ab\r\nabc"), Width(L"abc"));
    EXPECT_GT(Width(L"W"), Width(L"i"));
    // A surrogate pair is one character: the character after it is the
    // third unit.
    const wchar_t pair[] = {L'a', 0xD83D, 0xDE00, L'b', 0};
    EXPECT_EQ(Width(pair), Width(L"a") + m_font->getDimension(L"\U0001F600").Width + Width(L"b"));
    const irr::s32 a = static_cast<irr::s32>(Width(L"a"));
    const irr::s32 face = a + static_cast<irr::s32>(m_font->getDimension(L"\U0001F600").Width);
    EXPECT_EQ(m_font->getCharacterFromPos(pair, 0), 0);
    EXPECT_EQ(m_font->getCharacterFromPos(pair, a), 1);
    EXPECT_EQ(m_font->getCharacterFromPos(pair, face), 3);
    EXPECT_EQ(m_font->getCharacterFromPos(pair, face + static_cast<irr::s32>(Width(L"b"))), -1);
    // The spacing between letters counts once a letter.
    m_font->setKerningWidth(2);
    EXPECT_EQ(Width(L"abc"), Width(L"a") + Width(L"b") + Width(L"c"));
    EXPECT_EQ(m_font->getKerningWidth(), 2);
}

TEST(FontFile, AFaceThatCannotBeReadNamesTheFile) {
    const std::filesystem::path dir = testsupport::MakeScratchFolder();
    const std::filesystem::path notAFont = dir / "notes.ttf";
    testsupport::WriteBytes(notAFont, "not a face");
    const struct {
        std::string file;
        uint32_t code;
    } cases[] = {
        {(dir / "missing.ttf").string(), vek::CFileException::kNotFound},
        {notAFont.string(), vek::CFileException::kInvalidContent},
    };
    for (const auto& c : cases) {
        const auto error = testsupport::Thrown<vek::CFileException>(
            [&] { CGUITTFont::Create(nullptr, c.file, irr::gui::kGameFontPixels)->drop(); });
        ASSERT_TRUE(error.has_value()) << c.file;
        EXPECT_EQ(error->GetCode(), c.code);
        EXPECT_EQ(error->GetFileName(), testsupport::Wide(c.file));
        EXPECT_NE(error->GetText().find(testsupport::Wide(c.file)), std::wstring::npos);
    }
    std::filesystem::remove_all(dir);
}

} // namespace
