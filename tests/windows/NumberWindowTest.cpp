// The number window, driven by posted keys and clicks.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/Events.h"
#include "windows/NumberWindow.h"
#include "windows/ScreenFixture.h"

namespace {

using testsupport::PostClick;
using testsupport::PostKey;
using testsupport::PostKeyEvent;
using Input = std::function<void(irr::IrrlichtDevice&, CNumberWindow&)>;

class NumberWindowTest : public testing::Test, protected windowstest::ScreenFixture {
protected:
    CNumberWindow Open() { return CNumberWindow(m_screen, {L"Wpłata", L"How much?\nYou carry 25.", L"OK", L"Anuluj"}); }
};

// Keys pressed and let go, in order.
Input Keys(std::vector<irr::EKEY_CODE> keys) {
    return [keys](irr::IrrlichtDevice& device, CNumberWindow&) {
        for (const irr::EKEY_CODE key : keys) {
            PostKey(device, key);
        }
    };
}
// The same keys only let go.
Input Releases(std::vector<irr::EKEY_CODE> keys) {
    return [keys](irr::IrrlichtDevice& device, CNumberWindow&) {
        for (const irr::EKEY_CODE key : keys) {
            PostKeyEvent(device, key, false);
        }
    };
}
Input Then(Input first, Input second) {
    return [=](irr::IrrlichtDevice& device, CNumberWindow& window) {
        first(device, window);
        second(device, window);
    };
}
Input ClickOk() {
    return [](irr::IrrlichtDevice& d, CNumberWindow& w) { PostClick(d, *w.GetOkButton()); };
}
Input ClickCancel() {
    return [](irr::IrrlichtDevice& d, CNumberWindow& w) { PostClick(d, *w.GetCancelButton()); };
}

TEST_F(NumberWindowTest, DigitsAreTypedAndAccepted) {
    using namespace irr;
    const struct {
        const char* what;
        Input input;
        std::wstring field;
        bool waiting;
        std::optional<uint32_t> answer;
    } cases[] = {
        {"digits and Enter", Keys({KEY_KEY_1, KEY_KEY_2, KEY_KEY_0, KEY_RETURN}), L"120", false, 120},
        {"the number pad's digits", Keys({KEY_NUMPAD4, KEY_NUMPAD2, KEY_RETURN}), L"42", false, 42},
        {"digits typed, not yet accepted", Keys({KEY_KEY_7, KEY_KEY_5}), L"75", true, std::nullopt},
        {"Backspace takes the last back", Keys({KEY_KEY_1, KEY_KEY_2, KEY_BACK, KEY_KEY_3, KEY_RETURN}), L"13", false,
         13},
        {"Backspace on an empty field", Keys({KEY_BACK, KEY_KEY_5, KEY_RETURN}), L"5", false, 5},
        {"Backspace down to nothing", Keys({KEY_KEY_5, KEY_BACK, KEY_BACK, KEY_RETURN}), L"", false, 0},
        {"nine digits at most",
         Keys({KEY_KEY_1, KEY_KEY_2, KEY_KEY_3, KEY_KEY_4, KEY_KEY_5, KEY_KEY_6, KEY_KEY_7, KEY_KEY_8, KEY_KEY_9,
               KEY_KEY_0, KEY_KEY_1, KEY_RETURN}),
         L"123456789", false, 123456789},
        {"the largest amount",
         Keys({KEY_KEY_9, KEY_KEY_9, KEY_KEY_9, KEY_KEY_9, KEY_KEY_9, KEY_KEY_9, KEY_KEY_9, KEY_KEY_9, KEY_KEY_9,
               KEY_RETURN}),
         L"999999999", false, 999999999},
        {"no leading zeros", Keys({KEY_KEY_0, KEY_KEY_0, KEY_KEY_7, KEY_RETURN}), L"7", false, 7},
        {"zero", Keys({KEY_KEY_0, KEY_RETURN}), L"0", false, 0},
        {"an empty field is 0", Keys({KEY_RETURN}), L"", false, 0},
        {"OK", Then(Keys({KEY_KEY_5}), ClickOk()), L"5", false, 5},
        {"Escape", Keys({KEY_KEY_5, KEY_ESCAPE}), L"5", false, std::nullopt},
        {"Cancel", Then(Keys({KEY_KEY_5}), ClickCancel()), L"5", false, std::nullopt},
        {"other keys", Keys({KEY_KEY_A, KEY_SPACE, KEY_MINUS}), L"", true, std::nullopt},
        {"a click on the field", [](IrrlichtDevice& d, CNumberWindow& w) { PostClick(d, *w.GetField()); }, L"", true,
         std::nullopt},
        // A key counts as it goes down: one that only comes up (the one that
        // closed the window before) does nothing.
        {"keys let go alone", Releases({KEY_KEY_3, KEY_RETURN, KEY_ESCAPE}), L"", true, std::nullopt},
        {"Enter let go after a digit", Then(Keys({KEY_KEY_3}), Releases({KEY_RETURN})), L"3", true, std::nullopt},
        {"keys after Enter", Keys({KEY_KEY_3, KEY_RETURN, KEY_KEY_4, KEY_ESCAPE}), L"3", false, 3},
    };
    const size_t before = Elements();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        {
            CNumberWindow window = Open();
            EXPECT_EQ(m_screen.GetTop(), &window);
            c.input(*m_device, window);
            EXPECT_EQ(window.GetDigits(), c.field);
            EXPECT_EQ(std::wstring(window.GetField()->getText()), c.field);
            EXPECT_EQ(window.IsWaiting(), c.waiting);
            EXPECT_EQ(window.GetWindow()->isVisible(), c.waiting);
            EXPECT_EQ(window.GetAnswer(), c.answer);
            EXPECT_EQ(m_screen.GetTop(), c.waiting ? &window : nullptr);
        }
        // Its elements go with it.
        EXPECT_EQ(Elements(), before);
    }
}

TEST_F(NumberWindowTest, ShowsItsTextsOverTheMap) {
    const CNumberWindow window = Open();
    EXPECT_EQ(std::wstring(window.GetWindow()->getText()), L"Wpłata");
    EXPECT_EQ(std::wstring(window.GetPrompt()->getText()), L"How much?\nYou carry 25.");
    EXPECT_EQ(std::wstring(window.GetOkButton()->getText()), L"OK");
    EXPECT_EQ(std::wstring(window.GetCancelButton()->getText()), L"Anuluj");
    const irr::core::rect<irr::s32> area = window.GetWindow()->getAbsolutePosition();
    const irr::core::rect<irr::s32> map(0, 0, CScreen::kMapWidth, CScreen::kMapHeight);
    EXPECT_TRUE(map.isPointInside(area.UpperLeftCorner) && map.isPointInside(area.LowerRightCorner));
    // The prompt, the field and the buttons, top to bottom, none over another.
    const auto top = [](const irr::gui::IGUIElement* e) { return e->getAbsolutePosition().UpperLeftCorner.Y; };
    const auto bottom = [](const irr::gui::IGUIElement* e) { return e->getAbsolutePosition().LowerRightCorner.Y; };
    EXPECT_LE(bottom(window.GetPrompt()), top(window.GetField()));
    EXPECT_LE(bottom(window.GetField()), top(window.GetOkButton()));
    EXPECT_EQ(top(window.GetOkButton()), top(window.GetCancelButton()));
    EXPECT_LE(bottom(window.GetOkButton()), area.LowerRightCorner.Y);
    // The game's window gone: it stops waiting, with no answer.
    CNumberWindow second = Open();
    m_screen.CancelAll();
    EXPECT_FALSE(second.IsWaiting());
    EXPECT_EQ(second.GetAnswer(), std::nullopt);
}

} // namespace
