#include <gtest/gtest.h>

#include <irrlicht.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Utf8.h"
#include "rules/Hero.h"
#include "shell/BlastView.h"
#include "shell/Game.h"
#include "shell/IrrDisplay.h"
#include "tests/shell/WindowedGame.h"
#include "tests/support/SteppedClock.h"
#include "world/Loc.h"

// The game with its window (under xvfb-run): the set-up's steps of the
// window, and a trap's blast drawn frame by frame before play goes on.
namespace {

using Lines = std::vector<std::wstring>;

using testsupport::CSteppedClock;

class ShellWindowed : public shelltest::WindowedGame {
protected:
    void BeforeSetUp(CGame& game) override {
        game.SetLogSink([this](const std::wstring& line) { m_log.push_back(line); });
    }
    // The colour (without alpha) of the window's pixel in the frame drawn last.
    uint32_t Pixel(int32_t x, int32_t y) const {
        irr::video::IImage* shot = m_game->GetDriver()->createScreenShot();
        const uint32_t colour = shot->getPixel(static_cast<irr::u32>(x), static_cast<irr::u32>(y)).color & 0x00FFFFFFu;
        shot->drop();
        return colour;
    }

    Lines m_log;
};

TEST_F(ShellWindowed, SetUpLogsTheWindowsStepsInOrder) {
    ASSERT_FALSE(m_log.empty());
    EXPECT_TRUE(m_log[0].starts_with(L"Video driver: ")) << platform::ToUtf8(m_log[0]);
    const Lines steps(m_log.begin() + 1, m_log.end());
    EXPECT_EQ(steps,
              (Lines{L"Initializing data archive...", L"Initializing GUI...", L"Initializing fonts...",
                     L"Loading localized resources...", L"Loading graphics...", L"Initializing GUI skin...",
                     L"Creating game objects...", L"Creating GUI elements...", L"Loading game data...",
                     L"Loading localized strings...", L"Loading game data (for scripts)...",
                     L"Loading global declarations...", L"Analyzing monster parameters...", L"Loading world..."}));
    // The window's display is there from its step on, its windows in the
    // skin's font.
    ASSERT_NE(dynamic_cast<CIrrDisplay*>(&m_game->GetDisplay()), nullptr);
    EXPECT_EQ(m_game->GetDevice()->getGUIEnvironment()->getSkin()->getFont(), m_game->GetFont());
}

// A set trap next to the hero in the mill explodes: eleven frames of 30 ms,
// each showing the squares of its frame, while the game's keys rest; then
// the hits and messages, and the game goes on as before.
TEST_F(ShellWindowed, TheBlastIsDrawnFrameByFrameThenPlayGoesOn) {
    NewGameGreeted();
    CLoc& loc = *m_game->GetCurrentLoc();
    CHero& hero = *m_game->GetHero();
    hero.hitPoints = 1000;
    auto& display = dynamic_cast<CIrrDisplay&>(m_game->GetDisplay());
    m_game->CenterView();
    // The trap beside the hero, on a cell without a special object; a
    // blast cell on its far side, away from the hero.
    const vek::TPoint at{static_cast<int32_t>(hero.x), static_cast<int32_t>(hero.y)};
    std::optional<vek::TPoint> trap;
    vek::TPoint far;
    for (uint8_t direction = 1; direction <= 8 && !trap; ++direction) {
        const vek::TPoint next = vek::MoveInDirection(direction, at);
        far = vek::MoveInDirection(direction, next);
        if (loc.IsInside(far.x, far.y) &&
            loc.GetSpecialObjects().At(static_cast<uint16_t>(next.x), static_cast<uint16_t>(next.y)).active == 0) {
            trap = next;
        }
    }
    ASSERT_TRUE(trap);
    auto setTrap = [&] {
        loc.GetItemPiles()
            .At(static_cast<uint16_t>(trap->x), static_cast<uint16_t>(trap->y))
            .push_back(CItem(CLoc::kSetTrapItem, 1));
    };
    setTrap();

    const vek::TPoint origin = display.GetView().GetOrigin(&loc);
    auto middle = [&](vek::TPoint cell) {
        return vek::TPoint{(cell.x - origin.x) * 32 + 16, (cell.y - origin.y) * 32 + 16};
    };
    const vek::TPoint trapPixel = middle(*trap);
    const vek::TPoint farPixel = middle(far);
    m_game->Draw();
    const uint32_t farBefore = Pixel(farPixel.x, farPixel.y);

    auto clock = std::make_unique<CSteppedClock>(1000);
    CSteppedClock& steps = *clock;
    m_game->SetFrameClock(std::move(clock));
    // What a frame's squares put in the middle of the trap's cell and of
    // the far cell: the trap's from the first frame, the far one's from the
    // fourth.
    const TBlast seen{TBlast::kExplosion, *trap, {*trap, far}};
    std::vector<std::string> wrong;
    uint32_t frame = 0;
    steps.onSleep = [&] {
        const std::vector<TBlastSquare> squares = ComposeBlastFrame(seen, frame, origin);
        const uint32_t trapWant = squares.at(0).colour & 0x00FFFFFFu;
        const uint32_t farWant = squares.size() > 1 ? squares[1].colour & 0x00FFFFFFu : farBefore;
        if (Pixel(trapPixel.x, trapPixel.y) != trapWant || Pixel(farPixel.x, farPixel.y) != farWant ||
            display.GetInputMode() != kInputModeBusy) {
            wrong.push_back("frame " + std::to_string(frame));
        }
        ++frame;
    };
    const uint32_t mode = display.GetInputMode();
    const size_t logged = display.GetConsole().GetMessageLog().GetLines().size();
    loc.TriggerTrap(static_cast<uint16_t>(trap->x), static_cast<uint16_t>(trap->y), false);

    EXPECT_EQ(steps.sleeps, std::vector<uint32_t>(kBlastFrames, kFrameMilliseconds));
    EXPECT_EQ(wrong, std::vector<std::string>{});
    EXPECT_EQ(display.GetInputMode(), mode);
    // Hit and told as ever.
    EXPECT_LT(hero.hitPoints, 1000);
    const auto& lines = display.GetConsole().GetMessageLog().GetLines();
    ASSERT_EQ(lines.size(), logged + 2);
    EXPECT_EQ(lines[logged].text, m_game->GetStrings().Get(L"STR_TRAP_TRIGGER"));
    EXPECT_EQ(lines[logged + 1].text, m_game->GetStrings().Get(L"STR_TRAP_TEXT_EXPLODE"));
    EXPECT_EQ(loc.GetItemCount(static_cast<uint16_t>(trap->x), static_cast<uint16_t>(trap->y)), 0u);
    // The next frame is the game's own again.
    steps.onSleep = nullptr;
    EXPECT_TRUE(m_game->Step());
    m_game->Draw();
    EXPECT_EQ(Pixel(farPixel.x, farPixel.y), farBefore);

    // Once the window is gone nothing is drawn and nothing waits.
    m_game->GetDevice()->closeDevice();
    EXPECT_FALSE(m_game->RunDevice());
    steps.sleeps.clear();
    setTrap();
    loc.TriggerTrap(static_cast<uint16_t>(trap->x), static_cast<uint16_t>(trap->y), false);
    EXPECT_TRUE(steps.sleeps.empty());
    EXPECT_EQ(lines.size(), logged + 4);
}

} // namespace
