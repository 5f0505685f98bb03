// The message window and the screen's order of windows, driven by posted
// keys and clicks.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/Events.h"
#include "windows/MessageWindow.h"
#include "windows/ScreenFixture.h"

namespace {

using testsupport::PostClick;
using testsupport::PostKey;
using testsupport::PostKeyEvent;

class MessageWindowTest : public testing::Test, protected windowstest::ScreenFixture {};

TEST_F(MessageWindowTest, ClosesByItsButtonOrEnter) {
    const struct {
        const char* what;
        std::function<void(irr::IrrlichtDevice&, CMessageWindow&)> input;
        bool closes;
    } cases[] = {
        {"Enter", [](irr::IrrlichtDevice& d, CMessageWindow&) { PostKey(d, irr::KEY_RETURN); }, true},
        {"its button", [](irr::IrrlichtDevice& d, CMessageWindow& w) { PostClick(d, *w.GetButton()); }, true},
        {"Space", [](irr::IrrlichtDevice& d, CMessageWindow&) { PostKey(d, irr::KEY_SPACE); }, false},
        {"Escape", [](irr::IrrlichtDevice& d, CMessageWindow&) { PostKey(d, irr::KEY_ESCAPE); }, false},
        {"a click beside it", [](irr::IrrlichtDevice& d, CMessageWindow& w) { PostClick(d, *w.GetText()); }, false},
        {"Enter let go alone", [](irr::IrrlichtDevice& d, CMessageWindow&) { PostKeyEvent(d, irr::KEY_RETURN, false); },
         false},
    };
    const size_t before = Elements();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        {
            CMessageWindow window(m_screen, L"Ważna wiadomość", L"The bridge collapses!");
            EXPECT_EQ(m_screen.GetTop(), &window);
            EXPECT_EQ(std::wstring(window.GetWindow()->getText()), L"Ważna wiadomość");
            EXPECT_EQ(std::wstring(window.GetText()->getText()), L"The bridge collapses!");
            EXPECT_EQ(std::wstring(window.GetButton()->getText()), L"OK");
            // Over the map, below its caption.
            EXPECT_TRUE(irr::core::rect<irr::s32>(0, 0, CScreen::kMapWidth, CScreen::kMapHeight)
                            .isRectCollided(window.GetWindow()->getAbsolutePosition()));
            c.input(*m_device, window);
            EXPECT_EQ(window.IsWaiting(), !c.closes);
            EXPECT_EQ(window.GetWindow()->isVisible(), !c.closes);
            EXPECT_EQ(m_screen.GetTop(), c.closes ? nullptr : &window);
        }
        // Its elements go with it.
        EXPECT_EQ(Elements(), before);
        EXPECT_EQ(m_screen.GetTop(), nullptr);
    }
}

// The Enter that closes one window comes up while the next one is open: that
// must not close the next one too.
TEST_F(MessageWindowTest, TheClosingKeyLetGoLeavesTheNextWindowOpen) {
    {
        CMessageWindow first(m_screen, L"", L"first");
        PostKeyEvent(*m_device, irr::KEY_RETURN, true);
        EXPECT_FALSE(first.IsWaiting());
    }
    CMessageWindow second(m_screen, L"", L"second");
    PostKeyEvent(*m_device, irr::KEY_RETURN, false);
    EXPECT_TRUE(second.IsWaiting());
    EXPECT_EQ(m_screen.GetTop(), &second);
    PostKey(*m_device, irr::KEY_RETURN);
    EXPECT_FALSE(second.IsWaiting());
}

// Keys go to the newest window, clicks to the window whose button it is.
TEST_F(MessageWindowTest, TheNewestWindowTakesTheKeys) {
    CMessageWindow first(m_screen, L"", L"first");
    CMessageWindow second(m_screen, L"", L"second");
    PostKey(*m_device, irr::KEY_RETURN);
    EXPECT_TRUE(first.IsWaiting());
    EXPECT_FALSE(second.IsWaiting());
    EXPECT_EQ(m_screen.GetTop(), &first);

    // Aside, so that the newer window does not cover its button.
    const irr::core::dimension2d<irr::s32> size = first.GetWindow()->getRelativePosition().getSize();
    first.GetWindow()->setRelativePosition(irr::core::rect<irr::s32>(0, 0, size.Width, size.Height));
    CMessageWindow third(m_screen, L"", L"third");
    PostClick(*m_device, *first.GetButton());
    EXPECT_FALSE(first.IsWaiting());
    EXPECT_TRUE(third.IsWaiting());
    // The game's window gone: every window stops waiting.
    m_screen.CancelAll();
    EXPECT_FALSE(third.IsWaiting());
    EXPECT_EQ(m_screen.GetTop(), nullptr);
}

} // namespace
