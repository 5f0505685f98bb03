#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <irrlicht.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "VEKLib/Exception.h"
#include "data/DataArchive.h"
#include "data/IrrWrap.h"
#include "platform/Utf8.h"
#include "rules/Hero.h"
#include "rules/Monster.h"
#include "shell/Game.h"
#include "shell/IrrDisplay.h"
#include "tests/shell/WindowedGame.h"
#include "world/Loc.h"
#include "world/World.h"

// One frame of a sample location drawn in a real window (run under
// xvfb-run), checked pixel by pixel against the sprite sheets.
namespace {

namespace fs = std::filesystem;
using irr::video::SColor;

constexpr irr::u32 kCell = 32;
const SColor kBlack(255, 0, 0, 0);
// The colour without its alpha.
constexpr irr::u32 kRgb = 0x00FFFFFF;

std::string Rgb(SColor c) {
    return std::to_string(c.getRed()) + "," + std::to_string(c.getGreen()) + "," + std::to_string(c.getBlue());
}

// A sheet as a picture: frames of 32 x 32 row by row, magenta see-through.
class CSheet {
public:
    CSheet(irr::video::IVideoDriver* driver, const wchar_t* name) {
        irr::io::IReadFile* file = DataArchive().GetIrrFile(std::wstring(L"Graphics/") + name);
        m_image = driver->createImageFromFile(file);
        file->drop();
    }
    ~CSheet() {
        if (m_image != nullptr) {
            m_image->drop();
        }
    }
    CSheet(const CSheet&) = delete;
    CSheet& operator=(const CSheet&) = delete;

    bool Loaded() const { return m_image != nullptr; }
    // The frame's texel; none where the key colour leaves it see-through.
    std::optional<SColor> At(uint16_t frame, irr::u32 x, irr::u32 y) const {
        const irr::u32 perRow = m_image->getDimension().Width / kCell;
        const SColor c = m_image->getPixel((frame % perRow) * kCell + x, (frame / perRow) * kCell + y);
        if (c.getRed() == 255 && c.getGreen() == 0 && c.getBlue() == 255) {
            return std::nullopt;
        }
        return c;
    }

private:
    irr::video::IImage* m_image = nullptr;
};

class ShellDisplay : public shelltest::WindowedGame {
protected:
    // What the cell must show, pixel by pixel: each layer's frame over the
    // one below, as the tables picture what the location holds there.
    SColor Expected(const CLoc& loc, uint16_t x, uint16_t y, irr::u32 px, irr::u32 py) const {
        const CDefinitionTables& tables = m_game->GetTables();
        const CHero& hero = *m_game->GetHero();
        const bool heroHere = hero.x == x && hero.y == y;
        SColor colour = kBlack;
        const auto over = [&](const CSheet& sheet, uint16_t frame) {
            if (std::optional<SColor> texel = sheet.At(frame, px, py)) {
                colour = *texel;
            }
        };
        if (loc.GetExplored().At(x, y) != 0) {
            const uint16_t tile = loc.GetTerrain().At(x, y);
            if (tile < tables.terrain.size()) {
                over(*m_sheets[kSheetTerrain], tables.terrain[tile].picindex);
            }
            const uint16_t object = loc.GetObjects().At(x, y);
            if (object < tables.objects.size()) {
                over(*m_sheets[kSheetObjects], tables.objects[object].picindex);
            }
            const TSpecialObject& special = loc.GetSpecialObjects().At(x, y);
            if (special.active != 0 && special.appearance < tables.objects.size()) {
                over(*m_sheets[kSheetObjects], tables.objects[special.appearance].picindex);
            }
            const std::vector<CItem>& pile = loc.GetItemPiles().At(x, y);
            for (auto item = pile.rbegin(); item != pile.rend(); ++item) {
                if (item->type < tables.items.size()) {
                    over(*m_sheets[kSheetItems], tables.items[item->type].picindex);
                    break;
                }
            }
            for (const CMonster* creature : loc.GetCreatures()) {
                if (creature != nullptr && creature->IsAlive() && creature->x == x && creature->y == y) {
                    over(*m_sheets[kSheetMonsters], tables.monsters[creature->monsterType].picindex);
                }
            }
        }
        if (heroHere) {
            over(*m_sheets[kSheetHeroes], tables.heroes[hero.heroInfo].pic);
        }
        return colour;
    }

    void LoadSheets() {
        const wchar_t* const names[] = {L"terrain.png", L"objects.png", L"items.png", L"monsters.png", L"heroes.png"};
        for (size_t i = 0; i < kSheetCount; ++i) {
            m_sheets[i] = std::make_unique<CSheet>(m_game->GetDriver(), names[i]);
            ASSERT_TRUE(m_sheets[i]->Loaded()) << platform::ToUtf8(names[i]);
        }
    }

    std::array<std::unique_ptr<CSheet>, kSheetCount> m_sheets;
};

TEST_F(ShellDisplay, FrameShowsTheLocationsTilesWhereTheMapSays) {
    ASSERT_NE(dynamic_cast<CIrrDisplay*>(&m_game->GetDisplay()), nullptr);
    ASSERT_EQ(m_game->GetDriver()->getDriverType(), irr::video::EDT_BURNINGSVIDEO);
    LoadSheets();
    NewGameGreeted();
    for (const wchar_t* name : {L"mill.map", L"cellar.map"}) {
        SCOPED_TRACE(platform::ToUtf8(name));
        if (m_game->GetCurrentLoc()->GetFileName() != name) {
            ASSERT_TRUE(m_game->GetWorld()->ReadyLoc(name, 0, 0, 0, 0, kArriveRandom, L""));
        }
        CLoc& loc = *m_game->GetCurrentLoc();
        ASSERT_EQ(loc.GetFileName(), name);
        loc.RevealAll();
        m_game->CenterView();
        ASSERT_EQ(loc.GetWidth(), kViewColumns);
        ASSERT_EQ(loc.GetHeight(), kViewRows);
        // A scatter of cells never seen, the hero's among them.
        const CHero& hero = *m_game->GetHero();
        for (uint16_t y = 0; y < loc.GetHeight(); ++y) {
            for (uint16_t x = 0; x < loc.GetWidth(); ++x) {
                if ((x + 2 * y) % 7 == 3 || (x == hero.x && y == hero.y)) {
                    loc.GetExplored().At(x, y) = 0;
                }
            }
        }

        m_game->Draw();
        irr::video::IImage* shot = m_game->GetDriver()->createScreenShot();
        ASSERT_NE(shot, nullptr);
        size_t lit = 0;
        size_t wrong = 0;
        std::string firstWrong;
        for (uint16_t y = 0; y < loc.GetHeight(); ++y) {
            for (uint16_t x = 0; x < loc.GetWidth(); ++x) {
                for (irr::u32 py = 0; py < kCell; ++py) {
                    for (irr::u32 px = 0; px < kCell; ++px) {
                        const SColor want = Expected(loc, x, y, px, py);
                        const SColor got = shot->getPixel(x * kCell + px, y * kCell + py);
                        lit += (got.color & kRgb) != 0 ? 1 : 0;
                        if (((got.color ^ want.color) & kRgb) != 0) {
                            if (wrong++ == 0) {
                                firstWrong = "cell " + std::to_string(x) + "," + std::to_string(y) + " pixel " +
                                             std::to_string(px) + "," + std::to_string(py) + ": " + Rgb(got) +
                                             " instead of " + Rgb(want);
                            }
                        }
                    }
                }
            }
        }
        EXPECT_EQ(wrong, 0u) << firstWrong;
        // Not an empty frame: most of the view is lit.
        EXPECT_GT(lit, size_t{kViewColumns * kViewRows * kCell * kCell} / 2);
        // Nothing beyond the view.
        EXPECT_EQ(Rgb(shot->getPixel(kViewColumns * kCell + 5, 10)), "0,0,0");
        EXPECT_EQ(Rgb(shot->getPixel(10, kViewRows * kCell + 5)), "0,0,0");
        shot->drop();
    }
}

// The map as its text source writes it: the terrain and map-object tile of
// every cell, and the cells that statements after the map put something on.
struct TSourceMap {
    uint16_t width = 0;
    uint16_t height = 0;
    std::vector<uint16_t> terrain;
    std::vector<std::optional<uint16_t>> objects;
    std::set<std::pair<uint16_t, uint16_t>> occupied;
};

TSourceMap ReadSourceMap(const fs::path& path) {
    std::ifstream in(path);
    std::map<char, std::pair<uint16_t, std::optional<uint16_t>>> keys;
    TSourceMap map;
    std::string line;
    bool inMap = false;
    uint16_t row = 0;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (inMap) {
            if (word == "end") {
                inMap = false;
                continue;
            }
            for (uint16_t x = 0; x < map.width; ++x) {
                const auto& [tile, object] = keys.at(line.at(x));
                map.terrain.push_back(tile);
                map.objects.push_back(object);
            }
            ++row;
        } else if (word == "size") {
            words >> map.width >> map.height;
        } else if (word == "key") {
            char c = 0;
            uint16_t tile = 0;
            uint16_t object = 0;
            words >> c >> tile;
            keys[c] = {tile, words >> object ? std::optional<uint16_t>(object) : std::nullopt};
        } else if (word == "map") {
            inMap = true;
        } else if (!word.empty() && word[0] != '#' && word != "name" && word != "terrain" && word != "explored" &&
                   word != "flags" && word != "effect" && word != "rule") {
            uint16_t x = 0;
            uint16_t y = 0;
            words >> x >> y;
            map.occupied.insert({x, y});
        }
    }
    EXPECT_EQ(row, map.height) << path;
    return map;
}

// Gives the game's window the input focus, as a window manager would when
// it opens (the test's X server has none), and lets the device take the
// event: a window without it is inactive, and the main loop draws nothing.
bool FocusWindow(irr::IrrlichtDevice& device) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    ::Window root = 0;
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) != 0) {
        for (unsigned int i = 0; i < count; ++i) {
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display, children[i], &attributes) != 0 && attributes.map_state == IsViewable) {
                XSetInputFocus(display, children[i], RevertToParent, CurrentTime);
            }
        }
        XFree(children);
    }
    XSync(display, False);
    XCloseDisplay(display);
    for (int i = 0; i < 100 && !device.isWindowActive(); ++i) {
        device.run();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return device.isWindowActive();
}

// A new game's first frame, drawn by a step of the main loop: the start
// location's tiles where its source map puts them.
TEST_F(ShellDisplay, NewGamesFirstFrameShowsTheStartLocationWhereTheMapSays) {
    LoadSheets();
    const TSourceMap map =
        ReadSourceMap(fs::path(__FILE__).parent_path().parent_path().parent_path() / "Maps" / "mill.txt");
    ASSERT_EQ(map.width, kViewColumns);
    ASSERT_EQ(map.height, kViewRows);
    NewGameGreeted();
    ASSERT_EQ(m_game->GetCurrentLoc()->GetFileName(), L"mill.map");
    ASSERT_TRUE(FocusWindow(*m_game->GetDevice()));
    EXPECT_TRUE(m_game->Step());
    irr::video::IImage* shot = m_game->GetDriver()->createScreenShot();
    ASSERT_NE(shot, nullptr);

    const CDefinitionTables& tables = m_game->GetTables();
    const CHero& hero = *m_game->GetHero();
    size_t checked = 0;
    size_t wrong = 0;
    std::string firstWrong;
    for (uint16_t y = 0; y < map.height; ++y) {
        for (uint16_t x = 0; x < map.width; ++x) {
            if (map.occupied.count({x, y}) != 0 || (hero.x == x && hero.y == y)) {
                continue;
            }
            const uint16_t tile = map.terrain[y * map.width + x];
            const std::optional<uint16_t> object = map.objects[y * map.width + x];
            ++checked;
            for (irr::u32 py = 0; py < kCell; ++py) {
                for (irr::u32 px = 0; px < kCell; ++px) {
                    SColor want = kBlack;
                    if (const auto texel = m_sheets[kSheetTerrain]->At(tables.terrain.at(tile).picindex, px, py)) {
                        want = *texel;
                    }
                    if (object) {
                        if (const auto texel =
                                m_sheets[kSheetObjects]->At(tables.objects.at(*object).picindex, px, py)) {
                            want = *texel;
                        }
                    }
                    const SColor got = shot->getPixel(x * kCell + px, y * kCell + py);
                    if (((got.color ^ want.color) & kRgb) != 0 && wrong++ == 0) {
                        firstWrong = "cell " + std::to_string(x) + "," + std::to_string(y) + ": " + Rgb(got) +
                                     " instead of " + Rgb(want);
                    }
                }
            }
        }
    }
    EXPECT_GT(checked, size_t{kViewColumns * kViewRows} * 3 / 4);
    EXPECT_EQ(wrong, 0u) << firstWrong;
    // The hero stands on his cell: it is not what the map alone shows there.
    bool heroDrawn = false;
    for (irr::u32 py = 0; py < kCell && !heroDrawn; ++py) {
        for (irr::u32 px = 0; px < kCell && !heroDrawn; ++px) {
            const auto texel = m_sheets[kSheetHeroes]->At(tables.heroes.at(hero.heroInfo).pic, px, py);
            heroDrawn =
                texel && ((shot->getPixel(hero.x * kCell + px, hero.y * kCell + py).color ^ texel->color) & kRgb) == 0;
        }
    }
    EXPECT_TRUE(heroDrawn);
    shot->drop();
}

// The window's loop: an inactive window only naps; quitting closes it.
TEST_F(ShellDisplay, QuittingEndsTheLoopAndClosesTheWindow) {
    NewGameGreeted();
    EXPECT_TRUE(m_game->Step());
    m_game->SetState(kStateExiting);
    EXPECT_FALSE(m_game->Step());
    EXPECT_EQ(m_game->GetCurrentLoc(), nullptr);
    EXPECT_FALSE(m_game->GetDevice()->run());
}

} // namespace
