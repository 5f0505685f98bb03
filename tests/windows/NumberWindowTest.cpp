// The number window, driven by posted keys and clicks.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/Events.h"
#include "windows/NumberWindow.h"
#include "windows/ScreenFixture.h"

namespace {

using namespace irr;

// The player's steps: a key pressed and let go, a key only let go, a click.
constexpr int32_t kLetGo = 0x1000;
constexpr int32_t kClickOk = 0x2000;
constexpr int32_t kClickCancel = 0x2001;
constexpr int32_t kClickField = 0x2002;

class NumberWindowTest : public testing::Test, protected windowstest::ScreenFixture {
protected:
    void Play(CNumberWindow& window, const std::vector<int32_t>& steps) {
        for (const int32_t step : steps) {
            if (step >= kClickOk) {
                const gui::IGUIElement* clicked = window.GetField();
                if (step != kClickField) {
                    clicked = step == kClickOk ? window.GetOkButton() : window.GetCancelButton();
                }
                testsupport::PostClick(*m_device, *clicked);
            } else if (step >= kLetGo) {
                testsupport::PostKeyEvent(*m_device, static_cast<EKEY_CODE>(step - kLetGo), false);
            } else {
                testsupport::PostKey(*m_device, static_cast<EKEY_CODE>(step));
            }
        }
    }
};

TEST_F(NumberWindowTest, DigitsAreTypedAndAccepted) {
    const struct {
        const char* what;
        std::vector<int32_t> steps;
        std::wstring field;
        std::optional<uint32_t> answer; // none while it waits, or cancelled
        bool waiting;
    } cases[] = {
        {"digits and Enter", {KEY_KEY_1, KEY_KEY_2, KEY_KEY_0, KEY_RETURN}, L"120", 120, false},
        {"the number pad's digits", {KEY_NUMPAD4, KEY_NUMPAD2, KEY_RETURN}, L"42", 42, false},
        {"Backspace takes the last back", {KEY_KEY_1, KEY_KEY_2, KEY_BACK, KEY_KEY_3, KEY_RETURN}, L"13", 13, false},
        {"Backspace on an empty field", {KEY_BACK, KEY_KEY_5, KEY_BACK, KEY_RETURN}, L"", 0, false},
        {"nine digits at most",
         {KEY_KEY_1, KEY_KEY_2, KEY_KEY_3, KEY_KEY_4, KEY_KEY_5, KEY_KEY_6, KEY_KEY_7, KEY_KEY_8, KEY_KEY_9, KEY_KEY_0,
          KEY_RETURN},
         L"123456789",
         123456789,
         false},
        {"no leading zeros", {KEY_KEY_0, KEY_KEY_0, KEY_KEY_7, KEY_RETURN}, L"7", 7, false},
        {"an empty field is 0", {KEY_RETURN}, L"", 0, false},
        {"OK", {KEY_KEY_5, kClickOk}, L"5", 5, false},
        {"Escape", {KEY_KEY_5, KEY_ESCAPE}, L"5", std::nullopt, false},
        {"Cancel", {KEY_KEY_5, kClickCancel}, L"5", std::nullopt, false},
        {"other keys and a click on the field", {KEY_KEY_A, KEY_SPACE, kClickField}, L"", std::nullopt, true},
        // A key counts as it goes down: one that only comes up (the one that
        // closed the window before) does nothing.
        {"keys let go alone",
         {KEY_KEY_3, kLetGo + KEY_KEY_4, kLetGo + KEY_RETURN, kLetGo + KEY_ESCAPE},
         L"3",
         std::nullopt,
         true},
    };
    const size_t before = Elements();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        {
            CNumberWindow window(m_screen, {L"Wpłata", L"How much?", L"OK", L"Anuluj"});
            EXPECT_EQ(m_screen.GetTop(), &window);
            Play(window, c.steps);
            EXPECT_EQ(window.GetDigits(), c.field);
            EXPECT_EQ(std::wstring(window.GetField()->getText()), c.field);
            EXPECT_EQ(window.GetAnswer(), c.answer);
            EXPECT_EQ(window.IsWaiting(), c.waiting);
            EXPECT_EQ(window.GetWindow()->isVisible(), c.waiting);
            EXPECT_EQ(m_screen.GetTop(), c.waiting ? &window : nullptr);
        }
        // Its elements go with it.
        EXPECT_EQ(Elements(), before);
    }
}

TEST_F(NumberWindowTest, ShowsItsTextsAndStopsWhenTheGamesWindowGoes) {
    CNumberWindow window(m_screen, {L"Wpłata", L"How much?\nYou carry 25.", L"OK", L"Anuluj"});
    EXPECT_EQ(std::wstring(window.GetWindow()->getText()), L"Wpłata");
    EXPECT_EQ(std::wstring(window.GetPrompt()->getText()), L"How much?\nYou carry 25.");
    EXPECT_EQ(std::wstring(window.GetOkButton()->getText()), L"OK");
    EXPECT_EQ(std::wstring(window.GetCancelButton()->getText()), L"Anuluj");
    EXPECT_LE(window.GetPrompt()->getAbsolutePosition().LowerRightCorner.Y,
              window.GetField()->getAbsolutePosition().UpperLeftCorner.Y);
    m_screen.CancelAll();
    EXPECT_FALSE(window.IsWaiting());
    EXPECT_EQ(window.GetAnswer(), std::nullopt);
}

} // namespace
