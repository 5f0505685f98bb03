#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "VEKLib/Format.h"
#include "data/GameDisplay.h"
#include "data/MessageLog.h"
#include "platform/Utf8.h"
#include "shell/Game.h"
#include "shell/IrrDisplay.h"
#include "shell/MessageDisplay.h"

namespace {

namespace fs = std::filesystem;

using Calls = std::vector<std::wstring>;

// Records every call as a line.
class CRecordingDisplay final : public IGameDisplay {
public:
    void AddMessage(const std::wstring& text, uint32_t type, bool flag) override {
        calls.push_back(vek::Format(L"AddMessage(%s, %lu, %lu)", text, type, uint32_t{flag}));
    }
    void ShowMessage(const std::wstring& text, uint32_t duration) override {
        calls.push_back(vek::Format(L"ShowMessage(%s, %lu)", text, duration));
    }
    void ShowMessageBox(const std::wstring& text) override { calls.push_back(L"ShowMessageBox(" + text + L")"); }
    void ShowImportantMessage(const std::wstring& caption, const std::wstring& text, bool flag) override {
        calls.push_back(vek::Format(L"ShowImportantMessage(%s, %s, %lu)", caption, text, uint32_t{flag}));
    }
    void OpenWindow(uint32_t windowId, uint32_t mode, uint32_t extra) override {
        calls.push_back(vek::Format(L"OpenWindow(%lu, %lu, %lu)", windowId, mode, extra));
    }
    void SetInputMode(uint32_t mode) override { calls.push_back(vek::Format(L"SetInputMode(%lu)", mode)); }
    void Draw() override { calls.push_back(L"Draw"); }
    void CenterView() override { calls.push_back(L"CenterView"); }
    void UpdateAutomapImage() override { calls.push_back(L"UpdateAutomapImage"); }
    void RunModalLoop() override { calls.push_back(L"RunModalLoop"); }
    bool HasWindow() const override { return window; }

    std::vector<std::wstring> calls;
    bool window = false;
};

// A game whose display is the recording fake; the fake stays reachable.
class GameWithFake : public testing::Test {
protected:
    void SetUp() override {
        auto fake = std::make_unique<CRecordingDisplay>();
        m_fake = fake.get();
        m_game.SetDisplay(std::move(fake));
    }

    CGame m_game;
    CRecordingDisplay* m_fake = nullptr;
};

TEST_F(GameWithFake, ServicesReachTheDisplayInOrder) {
    m_game.GetStrings().LoadText(L"STR_IMPORTANT_MSG Attention\n");
    m_game.SetClock(10);
    m_game.AddMessage(L"You hit the rat.", kMessageWarning, true);
    m_game.ShowMessage(30, L"You wait.");
    m_game.ShowImportantMessage(L"The bridge collapses!", true);
    m_game.OpenWindow(kTradeWindow, kWindowModeRepair, 0);
    m_game.SetInputMode(3);
    m_game.Draw();
    m_game.CenterView();
    m_game.UpdateAutomapImage();
    m_game.Run();

    EXPECT_EQ(m_fake->calls, (Calls{
                                 L"AddMessage(You hit the rat., 2, 1)",
                                 L"ShowMessage(You wait., 30)",
                                 L"ShowImportantMessage(Attention, The bridge collapses!, 1)",
                                 L"OpenWindow(1033, 3, 0)",
                                 L"SetInputMode(3)",
                                 L"Draw",
                                 L"CenterView",
                                 L"UpdateAutomapImage",
                                 L"RunModalLoop",
                             }));
    EXPECT_EQ(m_game.GetClock(), 40u); // the message let 30 seconds pass
}

// On record before the window waits for the player, so that a game killed
// under the message still leaves its line in the log file.
TEST_F(GameWithFake, AnImportantMessageIsLoggedBeforeItIsShown) {
    m_game.GetStrings().LoadText(L"STR_IMPORTANT_MSG Attention\n");
    m_game.SetImportantMessageLog([this](const std::wstring& text) { m_fake->calls.push_back(L"log(" + text + L")"); });
    m_game.ShowImportantMessage(L"The bridge collapses!", false);
    EXPECT_EQ(m_fake->calls,
              (Calls{L"log(The bridge collapses!)", L"ShowImportantMessage(Attention, The bridge collapses!, 0)"}));
}

// The library's texts for the player: always into the log file, and into a
// message box only while the game's window is up.
TEST_F(GameWithFake, MessageDisplayLogsAndShowsWhenTheWindowIsUp) {
    const fs::path file = fs::path(testing::TempDir()) / ("morvheld_error_" + std::to_string(::getpid()) + ".log");
    fs::remove(file);
    CMorvheldMessageDisplay display(m_game, platform::FromUtf8(file.string()));
    display.Display(L"first");
    EXPECT_TRUE(m_fake->calls.empty());
    m_fake->window = true;
    display.Display(L"second");
    // A plain box: no caption of its own, no change of the input mode.
    EXPECT_EQ(m_fake->calls, (Calls{L"ShowMessageBox(second)"}));

    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::wstring text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const wchar_t unit = static_cast<wchar_t>(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8));
        if (unit != 0xFEFF) {
            text += unit;
        }
    }
    EXPECT_NE(text.find(L"first\r\n"), std::wstring::npos);
    EXPECT_NE(text.find(L"second\r\n"), std::wstring::npos);
    EXPECT_LT(text.find(L"first"), text.find(L"second"));
    // Each text in a session of its own: opened, the text, closed.
    const auto count = [&text](const std::wstring& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_EQ(count(L"*** Session started: "), 2u);
    EXPECT_EQ(count(L"*** Session closed.\r\n"), 2u);
    EXPECT_LT(text.find(L"first"), text.find(L"*** Session closed."));
    EXPECT_EQ(text.rfind(L"*** Session closed.\r\n"), text.size() - 21);
    fs::remove(file);
}

TEST(ConsoleDisplay, KeepsTheLogAndWritesWhatNeedsAWindow) {
    Calls logged;
    CConsoleDisplay display([&](const std::wstring& line) { logged.push_back(line); });
    display.AddMessage(L"A rat bites you.", kMessageWarning, false);
    display.AddMessage(L"A rat bites you.", kMessageWarning, false);
    display.AddMessage(L"A rat bites you.", kMessageInfo, false);
    display.ShowMessage(L"You rest.", 60);
    display.ShowImportantMessage(L"Important", L"Level up", false);
    display.OpenWindow(kInventoryWindow, 0, 0);
    EXPECT_EQ(display.AskNumber(L"Deposit", L"How much?"), std::nullopt);
    display.SetInputMode(2);
    display.Draw();
    display.RunModalLoop(); // returns: nothing could end it

    const std::deque<TMessageLine>& lines = display.GetMessageLog().GetLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, L"A rat bites you.");
    EXPECT_EQ(lines[0].count, 2u);
    EXPECT_EQ(lines[1].type, kMessageInfo);
    EXPECT_EQ(lines[1].count, 1u);
    EXPECT_EQ(lines[2].text, L"You rest.");
    EXPECT_EQ(logged, (Calls{
                          L"A rat bites you.",
                          L"A rat bites you.",
                          L"A rat bites you.",
                          L"You rest.",
                          L"Important: Level up",
                          L"Window 1025 (mode 0) not opened: the game has no windows yet.",
                          L"No window to ask for an amount, so none is given: Deposit: How much?",
                      }));
    EXPECT_EQ(display.GetInputMode(), 2u);
    EXPECT_FALSE(display.HasWindow());
}

TEST(MessageLog, KeepsTheNewestLines) {
    CMessageLog log;
    for (size_t i = 0; i <= CMessageLog::kMaxLines; ++i) {
        log.AddMessage(vek::Format(L"line %lu", static_cast<uint32_t>(i)));
    }
    ASSERT_EQ(log.GetLines().size(), CMessageLog::kMaxLines);
    EXPECT_EQ(log.GetLines().front().text, L"line 1");
    EXPECT_EQ(log.GetLines().back().text, vek::Format(L"line %lu", static_cast<uint32_t>(CMessageLog::kMaxLines)));
}

// What the frame's log shows, measured one pixel a character.
TEST(LogRows, TheNewestLinesWrappedToTheRows) {
    using Rows = std::vector<TLogRow>;
    const auto info = [](const wchar_t* text, uint32_t count = 1) {
        return TMessageLine{text, kMessageInfo, false, count};
    };
    const auto warning = [](const wchar_t* text, uint32_t type) { return TMessageLine{text, type, false, 1}; };
    const struct {
        const char* what;
        std::deque<TMessageLine> lines;
        size_t rows;
        int32_t width;
        bool oneLine, colors;
        Rows shown;
    } cases[] = {
        {"none", {}, 6, 20, false, true, {}},
        {"no rows", {info(L"a")}, 0, 20, false, true, {}},
        {"fewer lines than rows",
         {info(L"a"), warning(L"b", kMessageWarning)},
         6,
         20,
         false,
         true,
         {{L"a", false}, {L"b", true}}},
        {"alerts are warnings", {warning(L"c", kMessageAlert)}, 6, 20, false, true, {{L"c", true}}},
        {"no colours", {warning(L"b", kMessageWarning)}, 6, 20, false, false, {{L"b", false}}},
        {"the newest lines", {info(L"a"), info(L"b"), info(L"c")}, 2, 20, false, true, {{L"b"}, {L"c"}}},
        {"wrapped at spaces",
         {info(L"one two three four five")},
         6,
         13,
         false,
         true,
         {{L"one two three"}, {L"four five"}}},
        {"at the width exactly, and one past",
         {info(L"abcd efgh"), info(L"abcd efghi")},
         6,
         9,
         false,
         true,
         {{L"abcd efgh"}, {L"abcd"}, {L"efghi"}}},
        {"a long word keeps its row",
         {info(L"a abcdefghijkl b")},
         6,
         5,
         false,
         true,
         {{L"a"}, {L"abcdefghijkl"}, {L"b"}}},
        {"line breaks", {info(L"first\r\nsecond")}, 6, 20, false, true, {{L"first"}, {L"second"}}},
        {"the oldest keeps its last rows",
         {info(L"aaa bbb ccc"), info(L"d")},
         3,
         5,
         false,
         true,
         {{L"bbb"}, {L"ccc"}, {L"d"}}},
        {"repeats counted", {info(L"A rat bites.", 3)}, 6, 40, false, true, {{L"A rat bites. (x3)"}}},
        {"one line: the newest whole",
         {info(L"a"), warning(L"b c\r\nd e", kMessageAlert)},
         6,
         3,
         true,
         true,
         {{L"b c d e", true}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ComposeLogRows(c.lines, c.rows, c.width, c.oneLine, c.colors,
                                 [](const std::wstring& text) { return static_cast<int32_t>(text.size()); }),
                  c.shown)
            << c.what;
    }
}

// The game without a display of its own writes through its log.
TEST(ConsoleDisplay, IsTheGamesDefault) {
    CGame game;
    Calls logged;
    game.SetLogSink([&](const std::wstring& line) { logged.push_back(line); });
    game.AddMessage(L"Hello.");
    game.OpenWindow(kTradeWindow, 0, 0);
    EXPECT_FALSE(game.IsWindowUp());
    EXPECT_EQ(logged, (Calls{L"Hello.", L"Window 1033 (mode 0) not opened: the game has no windows yet."}));
}

} // namespace
