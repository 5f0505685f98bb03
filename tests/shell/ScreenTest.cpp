// The game's window (run under xvfb-run) driven through the engine's event
// path: the log and the date drawn, the important message, the conversation
// and number windows, the wait keys, and the window closed under a modal
// window.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <irrlicht.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/Globals.h"
#include "data/Version.h"
#include "platform/Prompt.h"
#include "rules/Hero.h"
#include "rules/Item.h"
#include "rules/Monster.h"
#include "script/Script.h"
#include "shell/Game.h"
#include "shell/IrrDisplay.h"
#include "shell/MainLoop.h"
#include "support/CloseWindow.h"
#include "support/Events.h"
#include "tests/shell/WindowedGame.h"
#include "windows/MessageWindow.h"
#include "windows/NumberWindow.h"

namespace {

using testsupport::PostClick;
using testsupport::PostKey;
using Texts = std::vector<std::wstring>;

// The modal loop's clock: each nap does the player's next action. With none
// left the player has nothing more to say, and the window is closed so that
// no loop waits for ever.
class CPlayerClock final : public IFrameClock {
public:
    uint32_t Now() override { return m_now; }
    void Sleep(uint32_t milliseconds) override {
        m_now += milliseconds;
        ++naps;
        if (!actions.empty()) {
            const std::function<void()> action = std::move(actions.front());
            actions.pop_front();
            action();
        } else if (device != nullptr) {
            ADD_FAILURE() << "the player was asked for more than the test gave";
            device->closeDevice();
        }
    }

    std::deque<std::function<void()>> actions;
    irr::IrrlichtDevice* device = nullptr;
    size_t naps = 0;

private:
    uint32_t m_now = 0;
};

// Closes the game's window as a window manager does: WM_DELETE_WINDOW to
// every window on the screen (the game's is the only one).
void CloseWindowAsTheUserDoes() {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    ::Window root = 0;
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    for (unsigned int i = 0; i < count; ++i) {
        testsupport::SendDeleteWindow(display, children[i]);
    }
    XFree(children);
    XSync(display, False);
    XCloseDisplay(display);
}

class ShellScreen : public shelltest::WindowedGame {
protected:
    void BeforeSetUp(CGame& game) override {
        game.SetLogSink([this](const std::wstring& line) { m_log.push_back(line); });
        auto clock = std::make_unique<CPlayerClock>();
        m_clock = clock.get();
        game.SetFrameClock(std::move(clock));
    }
    void SetUp() override {
        shelltest::WindowedGame::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        // The build's game folder gets no error.log.
        m_game->SetImportantMessageLog([this](const std::wstring& text) { m_errorLog.push_back(text); });
        m_clock->device = m_game->GetDevice();
        m_display = dynamic_cast<CIrrDisplay*>(&m_game->GetDisplay());
        ASSERT_NE(m_display, nullptr);
        ASSERT_NE(m_display->GetScreen(), nullptr);
    }

    // The pixels of the area in a frame drawn now.
    std::vector<irr::u32> Pixels(const irr::core::rect<irr::s32>& area) {
        m_game->Draw();
        irr::video::IImage* shot = m_game->GetDriver()->createScreenShot();
        std::vector<irr::u32> pixels;
        for (irr::s32 y = area.UpperLeftCorner.Y; y < area.LowerRightCorner.Y; ++y) {
            for (irr::s32 x = area.UpperLeftCorner.X; x < area.LowerRightCorner.X; ++x) {
                pixels.push_back(shot->getPixel(x, y).color & 0xFFFFFFu);
            }
        }
        shot->drop();
        return pixels;
    }
    static size_t Lit(const std::vector<irr::u32>& pixels) {
        return static_cast<size_t>(std::count_if(pixels.begin(), pixels.end(), [](irr::u32 p) { return p != 0; }));
    }
    bool Logged(const std::wstring& line) const { return std::find(m_log.begin(), m_log.end(), line) != m_log.end(); }

    CPlayerClock* m_clock = nullptr;
    CIrrDisplay* m_display = nullptr;
    Texts m_log;
    Texts m_errorLog;
};

TEST_F(ShellScreen, TheLogAndTheDateAreDrawnAndFollowTheGame) {
    const irr::core::rect<irr::s32> log(kLogLeft, kLogTop, kLogRight,
                                        kLogTop + static_cast<irr::s32>(kLogRows) * kLogRowHeight);
    const irr::core::rect<irr::s32> date(kDateLeft, kDateTop, kDateRight, kDateBottom);
    const std::vector<irr::u32> emptyLog = Pixels(log);
    const std::vector<irr::u32> firstDate = Pixels(date);
    EXPECT_EQ(Lit(emptyLog), 0u);
    EXPECT_GT(Lit(firstDate), 50u);

    m_game->AddMessage(L"The rat flees.");
    const std::vector<irr::u32> oneLine = Pixels(log);
    EXPECT_GT(Lit(oneLine), 50u);
    EXPECT_EQ(Pixels(date), firstDate);

    // A warning in its colour, on the row under the first.
    m_game->AddMessage(L"A wolf howls!", kMessageWarning);
    const std::vector<irr::u32> twoLines = Pixels(log);
    EXPECT_NE(twoLines, oneLine);
    const auto warm = [](irr::u32 p) { return (p >> 16 & 0xFF) > 200 && (p >> 8 & 0xFF) < 170 && (p & 0xFF) < 110; };
    const std::vector<irr::u32> second =
        Pixels(irr::core::rect<irr::s32>(kLogLeft, kLogTop + kLogRowHeight, kLogRight, kLogTop + 2 * kLogRowHeight));
    EXPECT_GT(std::count_if(second.begin(), second.end(), warm), 20);

    // A minute later the date shows it; the log stays.
    m_game->SetClock(m_game->GetClock() + 60);
    EXPECT_NE(Pixels(date), firstDate);
    EXPECT_EQ(Pixels(log), twoLines);
}

TEST_F(ShellScreen, AnImportantMessageIsClosedByEnter) {
    m_game->SetInputMode(1);
    m_clock->actions = {[&] {
        auto* window = dynamic_cast<CMessageWindow*>(m_display->GetScreen()->GetTop());
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(std::wstring(window->GetWindow()->getText()), L"Important message");
        EXPECT_EQ(std::wstring(window->GetText()->getText()), L"The bridge collapses!");
        EXPECT_EQ(m_display->GetInputMode(), kInputModeMessage);
        PostKey(*m_game->GetDevice(), irr::KEY_RETURN);
    }};
    m_game->ShowImportantMessage(L"The bridge collapses!", false);
    EXPECT_TRUE(m_clock->actions.empty());
    EXPECT_EQ(m_display->GetScreen()->GetTop(), nullptr);
    EXPECT_EQ(m_display->GetInputMode(), 1u);
    EXPECT_TRUE(m_game->IsWindowUp());
    EXPECT_EQ(m_errorLog, (Texts{L"The bridge collapses!"}));
}

// Closing the game's window ends the modal loop; from then on nothing waits
// for the window, and the main loop ends the game.
TEST_F(ShellScreen, ClosingTheWindowEndsTheModalLoop) {
    // Some naps for the server to hand the message on.
    m_clock->actions = {[] { CloseWindowAsTheUserDoes(); }, [] {}, [] {}, [] {}, [] {}};
    m_game->ShowImportantMessage(L"The autosave was refused.", false);
    EXPECT_FALSE(m_game->IsWindowUp());
    EXPECT_EQ(m_display->GetScreen()->GetTop(), nullptr);

    const size_t naps = m_clock->naps;
    m_game->ShowImportantMessage(L"The autosave failed.", false);
    m_game->GetDisplay().ShowMessageBox(L"An error.");
    EXPECT_EQ(m_clock->naps, naps);
    EXPECT_TRUE(Logged(L"Important message: The autosave failed."));
    EXPECT_TRUE(Logged(L"An error."));
    EXPECT_EQ(m_errorLog, (Texts{L"The autosave was refused.", L"The autosave failed."}));
    EXPECT_FALSE(m_game->Step());
    // As at the start of a game: it starts, and ends at once.
    EXPECT_EQ(RunGame(*m_game, true), 0);
    EXPECT_EQ(m_clock->naps, naps);
    EXPECT_FALSE(m_game->HasGame());
    EXPECT_EQ(m_game->GetDevice(), nullptr);
}

// A game quitting under a window: the window gives up, and the game is
// ended by the main loop, not under the script that may have opened it.
TEST_F(ShellScreen, QuittingUnderAWindowLeavesTheEndToTheMainLoop) {
    m_clock->actions = {[&] { PostKey(*m_game->GetDevice(), irr::KEY_ESCAPE); }};
    m_game->New();
    m_game->SetState(kStateExiting);
    m_game->ShowImportantMessage(L"Farewell.", false);
    EXPECT_EQ(m_display->GetScreen()->GetTop(), nullptr);
    EXPECT_TRUE(m_game->HasGame());
    EXPECT_FALSE(m_game->Step());
    EXPECT_FALSE(m_game->HasGame());
}

// A script error's question while the window is up: a window of its own,
// answered by a key or a click; closing the game's window answers Ignore.
TEST_F(ShellScreen, AScriptErrorIsAskedInAWindow) {
    using platform::PromptAnswer;
    ASSERT_EQ(&platform::Prompt(), static_cast<platform::IPrompt*>(m_display));
    irr::IrrlichtDevice& device = *m_game->GetDevice();
    const auto top = [this] { return dynamic_cast<CMessageWindow*>(m_display->GetScreen()->GetTop()); };
    const auto button = [&](size_t index) { return top()->GetButton(index); };
    const struct {
        const char* name;
        std::function<void()> input;
        PromptAnswer answer;
    } cases[] = {
        {"key A", [&] { PostKey(device, irr::KEY_KEY_A); }, PromptAnswer::kAbort},
        {"key R", [&] { PostKey(device, irr::KEY_KEY_R); }, PromptAnswer::kRetry},
        {"click Ignore", [&] { PostClick(device, *button(2)); }, PromptAnswer::kIgnore},
        {"click Retry", [&] { PostClick(device, *button(1)); }, PromptAnswer::kRetry},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring caption;
        m_clock->actions = {[&] {
            caption = top()->GetWindow()->getText();
            c.input();
        }};
        EXPECT_EQ(platform::Prompt().AbortRetryIgnore(L"Script Error", L"Error in script file 'x.u'."), c.answer);
        EXPECT_EQ(caption, L"Script Error");
        EXPECT_EQ(m_display->GetScreen()->GetTop(), nullptr);
    }
    // Enter presses none of them.
    m_clock->actions = {[&] { PostKey(device, irr::KEY_RETURN); }, [&] { PostKey(device, irr::KEY_KEY_I); }};
    EXPECT_EQ(platform::Prompt().AbortRetryIgnore(L"Script Error", L"x"), PromptAnswer::kIgnore);
    EXPECT_TRUE(m_clock->actions.empty());

    m_clock->actions = {[] { CloseWindowAsTheUserDoes(); }, [] {}, [] {}, [] {}, [] {}};
    EXPECT_EQ(platform::Prompt().AbortRetryIgnore(L"Script Error", L"x"), PromptAnswer::kIgnore);
    EXPECT_FALSE(m_game->IsWindowUp());
}

// The fatal error's box: on screen while the window is up, and not on the
// console, where the error's catcher prints it once.
TEST_F(ShellScreen, AMessageBoxOnScreenStaysOffTheConsole) {
    m_clock->actions = {[&] { PostKey(*m_game->GetDevice(), irr::KEY_RETURN); }};
    m_game->GetDisplay().ShowMessageBox(L"A fatal error.");
    EXPECT_TRUE(m_clock->actions.empty());
    EXPECT_FALSE(Logged(L"A fatal error."));
}

// The sample herbalist on screen: a number key, a click on the second
// option and End, as the headless conversation that asks for work and
// takes its leave; then a click on the second option trades.
TEST_F(ShellScreen, AConversationWithTheHerbalist) {
    CScript herbalist;
    herbalist.LoadFile(std::wstring(kScriptDir) + L"herbalist.u");
    herbalist.Parse();
    CDialog& dialog = m_game->GetDialog();
    irr::IrrlichtDevice& device = *m_game->GetDevice();
    Texts shown;
    const auto then = [&](std::function<void()> input) {
        return [&, input] {
            shown.push_back(dialog.GetTextElement()->getText());
            input();
        };
    };
    m_clock->actions = {
        then([&] { PostKey(device, irr::KEY_KEY_1); }),
        then([&] { PostClick(device, *dialog.GetAnswerElement(1)); }),
        then([&] { PostKey(device, irr::KEY_END); }),
    };
    dialog.RunScript(herbalist);
    const std::wstring greeting = L"Good day, traveller. Looking for herbs?";
    EXPECT_EQ(shown, (Texts{greeting, L"Bring me five goldworts from the marsh and I will pay in gold.", greeting}));
    EXPECT_EQ(dialog.GetAnswer(), -1);
    EXPECT_EQ(dialog.GetWindowElement(), nullptr);
    const std::wstring trade = L"Window 1033 (mode 0) not opened: the game has no windows yet.";
    EXPECT_FALSE(Logged(trade));

    shown.clear();
    m_clock->actions = {then([&] { PostClick(device, *dialog.GetAnswerElement(1)); })};
    dialog.RunScript(herbalist);
    EXPECT_EQ(shown, (Texts{greeting}));
    EXPECT_TRUE(Logged(trade));
}

// A new game opens with the herbalist's greeting at the mill. Through her
// bank the player deposits 20 of his 25 coins, typed into the number window
// and taken with Enter, then talks to her again and takes 12 back, typed with
// a slip mended by Backspace and taken with OK.
TEST_F(ShellScreen, TheHerbalistGreetsAndKeepsTheHerosGold) {
    irr::IrrlichtDevice& device = *m_game->GetDevice();
    const auto keys = [&](std::initializer_list<irr::EKEY_CODE> codes) {
        for (const irr::EKEY_CODE code : codes) {
            PostKey(device, code);
        }
    };
    const auto number = [this] { return dynamic_cast<CNumberWindow*>(m_display->GetScreen()->GetTop()); };
    CDialog& dialog = m_game->GetDialog();
    Texts shown;
    const auto then = [&](std::function<void()> input) {
        return [&, input] {
            CNumberWindow* asking = number();
            shown.push_back(asking != nullptr
                                ? std::wstring(asking->GetWindow()->getText()) + L": " + asking->GetPrompt()->getText()
                                : std::wstring(dialog.GetTextElement()->getText()));
            input();
        };
    };
    std::wstring typed;
    m_clock->actions = {
        then([&] { keys({irr::KEY_KEY_3}); }),
        then([&] { keys({irr::KEY_KEY_1}); }),
        then([&] {
            keys({irr::KEY_KEY_2, irr::KEY_KEY_0, irr::KEY_RETURN});
        }),
    };
    m_game->New();
    const std::wstring greeting = L"Good day, traveller. Looking for herbs?";
    const std::wstring bank = L"Welcome. Your gold is safe with me.";
    EXPECT_EQ(shown, (Texts{greeting, bank, L"Deposit: How much gold do you deposit?\nYou carry 25 gold."}));
    ASSERT_TRUE(m_game->HasGame());
    CNpc& marta = m_game->FindNPC(L"Marta", L"mill.map", m_game->GetCurrentLoc());
    const auto coins = [this] {
        uint32_t count = 0;
        for (const CItem& item : m_game->GetHero()->backpack) {
            count += item.type == CItem::kMoneyType ? item.count : 0;
        }
        return count;
    };
    EXPECT_EQ(coins(), 5u);
    EXPECT_EQ(marta.GetBankDeposit(), 20u);
    EXPECT_EQ(m_display->GetScreen()->GetTop(), nullptr);

    shown.clear();
    m_clock->actions = {
        then([&] { keys({irr::KEY_KEY_3}); }),
        then([&] { keys({irr::KEY_KEY_2}); }),
        then([&] {
            keys({irr::KEY_KEY_1, irr::KEY_KEY_5, irr::KEY_BACK, irr::KEY_KEY_2});
            typed = number()->GetField()->getText();
            PostClick(device, *number()->GetOkButton());
        }),
    };
    m_game->TalkTo(marta);
    EXPECT_EQ(shown,
              (Texts{greeting, bank, L"Withdrawal: How much gold do you withdraw?\n20 gold is kept here for you."}));
    EXPECT_EQ(typed, L"12");
    EXPECT_EQ(coins(), 17u);
    EXPECT_EQ(marta.GetBankDeposit(), 8u);
    EXPECT_TRUE(m_clock->actions.empty());
    EXPECT_TRUE(Logged(L"You withdraw 12 gold."));
    EXPECT_TRUE(Logged(L"Bank: withdrawal of 12 gold with Marta; carried 17, kept 8."));
}

TEST_F(ShellScreen, TheWaitKeysWaitForMorningAndEvening) {
    irr::IrrlichtDevice& device = *m_game->GetDevice();
    // The herbalist's greeting ended at once.
    m_clock->actions = {[&] { PostKey(device, irr::KEY_ESCAPE); }};
    m_game->New();
    EXPECT_TRUE(m_clock->actions.empty());
    // Day 1, 20:00.
    m_game->SetClock(72000);
    PostKey(device, kWaitMorningKey);
    EXPECT_EQ(m_game->GetClock(), 86400u + 21600u);
    EXPECT_EQ(FormatGameDate(m_game->GetClock(), m_game->GetStrings()), L"Year 1, month 1, day 2, 06:00");
    PostKey(device, kWaitMorningKey);
    EXPECT_EQ(m_game->GetClock(), 86400u + 21600u);
    PostKey(device, kWaitEveningKey);
    EXPECT_EQ(m_game->GetClock(), 86400u + 68400u);
    // A pass that keeps the game busy keeps the keys.
    m_game->SetInputMode(kInputModeBusy);
    PostKey(device, kWaitMorningKey);
    EXPECT_EQ(m_game->GetClock(), 86400u + 68400u);
}

} // namespace
