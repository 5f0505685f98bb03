#pragma once
// The game's text: glyphs of a TrueType face, rendered by FreeType into small
// textures of the video driver and drawn in any colour. The GUI takes it as
// its skin's font, so windows, buttons and static texts all draw with it.
//
// Texts are UTF-16 code units as the game keeps them: a surrogate pair is one
// character. "\n" starts a new line; "\r" takes no room.
#include <IGUIFont.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace irr {
namespace video {
class ITexture;
class IVideoDriver;
} // namespace video

namespace gui {

// The face the game draws with: DejaVu Sans of the Debian package
// fonts-dejavu-core, whose glyphs cover both sample languages.
inline constexpr char kGameFontFile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
inline constexpr uint32_t kGameFontPixels = 14;

class CGUITTFont final : public IGUIFont {
public:
    // The face of the file at that pixel height (one reference, the
    // caller's). vek::CFileException naming the file when it is missing
    // (code 1) or holds no face FreeType can read (code 5). The driver is
    // held until the font goes; glyphs are rendered when first drawn.
    static CGUITTFont* Create(video::IVideoDriver* driver, const std::string& fileName, uint32_t pixels);
    ~CGUITTFont() override;

    void draw(const core::stringw& text, const core::rect<s32>& position, video::SColor color, bool hcenter = false,
              bool vcenter = false, const core::rect<s32>* clip = nullptr) override;
    // The widest line and the height of all lines.
    core::dimension2d<u32> getDimension(const wchar_t* text) const override;
    // The unit that the pixel falls on; -1 past the end.
    s32 getCharacterFromPos(const wchar_t* text, s32 pixel_x) const override;
    void setKerningWidth(s32 kerning) override { m_kerningWidth = kerning; }
    void setKerningHeight(s32 kerning) override { m_kerningHeight = kerning; }
    s32 getKerningWidth(const wchar_t* thisLetter = nullptr, const wchar_t* previousLetter = nullptr) const override;
    s32 getKerningHeight() const override { return m_kerningHeight; }
    void setInvisibleCharacters(const wchar_t* s) override;

    // Whether the face has a glyph of its own for the character (not the
    // box that stands for a missing one).
    bool HasGlyph(char32_t character) const;
    // Baseline to baseline.
    int32_t GetLineHeight() const { return m_lineHeight; }

private:
    struct TFace;
    struct TGlyph {
        video::ITexture* texture = nullptr; // none for a glyph without ink
        int32_t left = 0;                   // from the pen to the ink
        int32_t top = 0;                    // from the ink's top down to the baseline
        int32_t width = 0;
        int32_t height = 0;
        int32_t advance = 0;
    };

    CGUITTFont(video::IVideoDriver* driver, std::unique_ptr<TFace> face);
    // The glyph, rendered and made a texture on first use.
    const TGlyph& Glyph(char32_t character) const;
    TGlyph Render(char32_t character) const;
    int32_t LineWidth(const wchar_t* begin, const wchar_t* end) const;

    video::IVideoDriver* m_driver;
    std::unique_ptr<TFace> m_face;
    mutable std::map<char32_t, TGlyph> m_glyphs;
    std::u32string m_invisible = U" ";
    int32_t m_ascender = 0;
    int32_t m_lineHeight = 0;
    s32 m_kerningWidth = 0;
    s32 m_kerningHeight = 0;
};

} // namespace gui
} // namespace irr
