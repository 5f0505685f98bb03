#include "windows/TTFont.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <irrlicht.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string>

#include "VEKLib/Exception.h"
#include "platform/Utf8.h"

namespace irr::gui {

namespace {

constexpr const wchar_t* kSource = L"TTFont";

// 26.6 fixed point to whole pixels, rounded up.
int32_t Pixels(FT_Pos value) { return static_cast<int32_t>((value + 63) / 64); }

// The character that starts at p: a surrogate pair is one.
char32_t NextCharacter(const wchar_t*& p, const wchar_t* end) {
    const auto unit = static_cast<char32_t>(*p++);
    if (unit >= 0xD800 && unit < 0xDC00 && p != end) {
        const auto low = static_cast<char32_t>(*p);
        if (low >= 0xDC00 && low < 0xE000) {
            ++p;
            return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return unit;
}

const wchar_t* TextEnd(const wchar_t* text) { return text + std::char_traits<wchar_t>::length(text); }

} // namespace

struct CGUITTFont::TFace {
    FT_Library library = nullptr;
    FT_Face face = nullptr;

    ~TFace() {
        if (face != nullptr) {
            FT_Done_Face(face);
        }
        if (library != nullptr) {
            FT_Done_FreeType(library);
        }
    }
};

CGUITTFont* CGUITTFont::Create(video::IVideoDriver* driver, const std::string& fileName, uint32_t pixels) {
    const std::wstring name = platform::FromUtf8(fileName);
    auto face = std::make_unique<TFace>();
    if (FT_Init_FreeType(&face->library) != 0) {
        throw vek::CException(L"irr::gui::CGUITTFont::Create", kSource, __LINE__, L"FreeType could not start.");
    }
    const FT_Error error = FT_New_Face(face->library, fileName.c_str(), 0, &face->face);
    if (error != 0) {
        // The name is opened by FreeType itself: a file it cannot open is
        // missing as far as the game can tell.
        const uint32_t code = error == FT_Err_Cannot_Open_Resource ? vek::CFileException::kNotFound
                                                                   : vek::CFileException::kInvalidContent;
        throw vek::CFileException(code, name, L"irr::gui::CGUITTFont::Create", kSource, __LINE__,
                                  L"No font face in " + name);
    }
    if (FT_Set_Pixel_Sizes(face->face, 0, pixels) != 0) {
        throw vek::CFileException(vek::CFileException::kInvalidContent, name, L"irr::gui::CGUITTFont::Create", kSource,
                                  __LINE__, L"The font face has no size of that height.");
    }
    return new CGUITTFont(driver, std::move(face));
}

CGUITTFont::CGUITTFont(video::IVideoDriver* driver, std::unique_ptr<TFace> face)
    : m_driver(driver), m_face(std::move(face)) {
    if (m_driver != nullptr) {
        m_driver->grab();
    }
    const FT_Size_Metrics& metrics = m_face->face->size->metrics;
    m_ascender = Pixels(metrics.ascender);
    m_lineHeight = Pixels(metrics.height);
}

CGUITTFont::~CGUITTFont() {
    for (auto& [character, glyph] : m_glyphs) {
        if (glyph.texture != nullptr) {
            m_driver->removeTexture(glyph.texture);
        }
    }
    if (m_driver != nullptr) {
        m_driver->drop();
    }
}

CGUITTFont::TGlyph CGUITTFont::Render(char32_t character) const {
    TGlyph glyph;
    FT_Face face = m_face->face;
    // A character the face lacks gets its box: something shows.
    if (FT_Load_Char(face, character, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) {
        return glyph;
    }
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.advance = Pixels(slot->advance.x);
    if (bitmap.width == 0 || bitmap.rows == 0 || bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || m_driver == nullptr) {
        return glyph;
    }
    glyph.width = static_cast<int32_t>(bitmap.width);
    glyph.height = static_cast<int32_t>(bitmap.rows);
    // White ink whose coverage is the alpha; the draw colour tints it. The
    // texture is a power of two on each side, which every driver keeps as it
    // is; the glyph takes its top-left corner.
    const core::dimension2d<u32> size(std::bit_ceil(bitmap.width), std::bit_ceil(bitmap.rows));
    video::IImage* image = m_driver->createImage(video::ECF_A8R8G8B8, size);
    if (image == nullptr) {
        return glyph;
    }
    auto* texels = static_cast<uint8_t*>(image->lock());
    const u32 pitch = image->getPitch();
    std::fill(texels, texels + pitch * size.Height, uint8_t{0});
    for (u32 y = 0; y < bitmap.rows; ++y) {
        const uint8_t* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
        auto* out = reinterpret_cast<u32*>(texels + y * pitch);
        for (u32 x = 0; x < bitmap.width; ++x) {
            out[x] = (u32{row[x]} << 24) | 0xFFFFFFu;
        }
    }
    image->unlock();
    const std::string name =
        "morvheld-glyph-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + "-" + std::to_string(character);
    glyph.texture = m_driver->addTexture(name.c_str(), image);
    image->drop();
    return glyph;
}

const CGUITTFont::TGlyph& CGUITTFont::Glyph(char32_t character) const {
    auto found = m_glyphs.find(character);
    if (found == m_glyphs.end()) {
        found = m_glyphs.emplace(character, Render(character)).first;
    }
    return found->second;
}

bool CGUITTFont::HasGlyph(char32_t character) const { return FT_Get_Char_Index(m_face->face, character) != 0; }

int32_t CGUITTFont::LineWidth(const wchar_t* begin, const wchar_t* end) const {
    int32_t width = 0;
    for (const wchar_t* p = begin; p != end;) {
        const char32_t character = NextCharacter(p, end);
        if (character != U'\r') {
            width += Glyph(character).advance + m_kerningWidth;
        }
    }
    return width;
}

core::dimension2d<u32> CGUITTFont::getDimension(const wchar_t* text) const {
    int32_t width = 0;
    int32_t lines = 1;
    const wchar_t* end = TextEnd(text);
    const wchar_t* line = text;
    for (const wchar_t* p = text;; ++p) {
        if (p == end || *p == L'\n') {
            width = std::max(width, LineWidth(line, p));
            if (p == end) {
                break;
            }
            ++lines;
            line = p + 1;
        }
    }
    return core::dimension2d<u32>(static_cast<u32>(width), static_cast<u32>(lines * (m_lineHeight + m_kerningHeight)));
}

s32 CGUITTFont::getCharacterFromPos(const wchar_t* text, s32 pixel_x) const {
    const wchar_t* end = TextEnd(text);
    int32_t x = 0;
    for (const wchar_t* p = text; p != end;) {
        const wchar_t* start = p;
        x += Glyph(NextCharacter(p, end)).advance + m_kerningWidth;
        if (x > pixel_x) {
            return static_cast<s32>(start - text);
        }
    }
    return -1;
}

s32 CGUITTFont::getKerningWidth(const wchar_t* /*thisLetter*/, const wchar_t* /*previousLetter*/) const {
    return m_kerningWidth;
}

void CGUITTFont::setInvisibleCharacters(const wchar_t* s) {
    m_invisible.clear();
    const wchar_t* end = TextEnd(s);
    for (const wchar_t* p = s; p != end;) {
        m_invisible += NextCharacter(p, end);
    }
}

void CGUITTFont::draw(const core::stringw& text, const core::rect<s32>& position, video::SColor color, bool hcenter,
                      bool vcenter, const core::rect<s32>* clip) {
    if (m_driver == nullptr) {
        return;
    }
    const wchar_t* begin = text.c_str();
    const wchar_t* end = begin + text.size();
    int32_t y = position.UpperLeftCorner.Y;
    if (vcenter) {
        y += (position.getHeight() - static_cast<int32_t>(getDimension(begin).Height)) / 2;
    }
    const wchar_t* line = begin;
    for (const wchar_t* p = begin;; ++p) {
        if (p != end && *p != L'\n') {
            continue;
        }
        int32_t x = position.UpperLeftCorner.X;
        if (hcenter) {
            x += (position.getWidth() - LineWidth(line, p)) / 2;
        }
        for (const wchar_t* q = line; q != p;) {
            const char32_t character = NextCharacter(q, p);
            if (character == U'\r') {
                continue;
            }
            const TGlyph& glyph = Glyph(character);
            if (glyph.texture != nullptr && m_invisible.find(character) == std::u32string::npos) {
                m_driver->draw2DImage(glyph.texture, core::position2d<s32>(x + glyph.left, y + m_ascender - glyph.top),
                                      core::rect<s32>(0, 0, glyph.width, glyph.height), clip, color, true);
            }
            x += glyph.advance + m_kerningWidth;
        }
        if (p == end) {
            break;
        }
        y += m_lineHeight + m_kerningHeight;
        line = p + 1;
    }
}

} // namespace irr::gui
