#pragma once
// The display over the game's window. A frame shows the map view, the latest
// lines of the message log under the map and the date beside it; messages,
// conversations and the question of an amount open windows over the map that
// take the input until the player answers them, while the modal loop runs the
// game's frames. With no
// window open the game's keys work: F7 waits until 6:00, F8 until 19:00.
//
// Whatever it shows also goes where the console display puts it, and once
// the game's window is gone (or without a device at all) only there; a
// message box alone stays off the console while the window shows it (its
// caller prints it). While the window is up it also asks the script error's
// question (platform::Prompt) in a window of its own, not on the console.
#include <IEventReceiver.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/GameDisplay.h"
#include "platform/Prompt.h"
#include "shell/BlastView.h"
#include "shell/MapView.h"
#include "windows/Screen.h"

class CGame;

namespace irr::gui {
class IGUIStaticText;
}

// Where the frame puts the message log (rows under the map) and the date
// (beside the map, at the top).
inline constexpr int32_t kLogLeft = 8;
inline constexpr int32_t kLogTop = 486;
inline constexpr int32_t kLogRight = 792;
inline constexpr int32_t kLogRowHeight = 18;
inline constexpr size_t kLogRows = 6;
inline constexpr int32_t kDateLeft = 648;
inline constexpr int32_t kDateTop = 8;
inline constexpr int32_t kDateRight = 792;
inline constexpr int32_t kDateBottom = 72;

// The wait keys and the time of day they wait for.
inline constexpr irr::EKEY_CODE kWaitMorningKey = irr::KEY_F7;
inline constexpr irr::EKEY_CODE kWaitEveningKey = irr::KEY_F8;
inline constexpr uint64_t kMorning = 21600;
inline constexpr uint64_t kEvening = 68400;

// One row of the log as the frame shows it.
struct TLogRow {
    std::wstring text;
    bool warning = false;

    bool operator==(const TLogRow&) const = default;
};

// The rows that the log's newest lines fill, oldest first, at most rows of
// them: each line broken at its line breaks and wrapped at spaces to the
// width (as measure gives a text's width); the oldest line shown keeps its
// last rows when not all fit. A line that came several times in a row ends
// in " (xN)". With oneLine, the newest line alone, its breaks made spaces.
// Types 2 and 3 are warnings while colours are on.
std::vector<TLogRow> ComposeLogRows(const std::deque<TMessageLine>& lines, size_t rows, int32_t width, bool oneLine,
                                    bool colors, const std::function<int32_t(const std::wstring&)>& measure);

class CIrrDisplay final : public IGameDisplay, public irr::IEventReceiver, public platform::IPrompt {
public:
    // With the game's device and font: the log rows and the date element in
    // the engine's GUI, drawn with the font, the display takes the device's
    // events and is the installed prompt. Without them it keeps to the
    // console display.
    explicit CIrrDisplay(CGame& game);
    // The console prompt is back.
    ~CIrrDisplay() override;
    CIrrDisplay(const CIrrDisplay&) = delete;
    CIrrDisplay& operator=(const CIrrDisplay&) = delete;

    void AddMessage(const std::wstring& text, uint32_t type, bool flag) override;
    void ShowMessage(const std::wstring& text, uint32_t duration) override;
    // A message window with the caption that has the input (its own input
    // mode) until its button or Enter closes it; then the mode before.
    void ShowImportantMessage(const std::wstring& caption, const std::wstring& text, bool flag) override;
    void OpenWindow(uint32_t windowId, uint32_t mode, uint32_t extra) override;
    void SetInputMode(uint32_t mode) override { m_console.SetInputMode(mode); }
    // One frame on a black background: the view of the current location,
    // the log, the date and the open windows.
    void Draw() override;
    // The view centred on the hero.
    void CenterView() override;
    void UpdateAutomapImage() override {}
    // Runs the game's steps until the newest open window has its answer;
    // the game's window closing, or the game quitting, cancels every open
    // window instead. Returns at once when none is open.
    void RunModalLoop() override;
    // The game's window is open.
    bool HasWindow() const override;
    // A box with the text and no caption, until its button or Enter closes
    // it; the input mode stays. Only without the window is it logged.
    void ShowMessageBox(const std::wstring& text) override;
    // A window with the title and the text and the buttons Abort, Retry and
    // Ignore (keys A, R and I) until one is pressed. Closing the game's
    // window answers Ignore, as the end of the console's input does; once
    // the window is gone the console prompt is back and asks.
    platform::PromptAnswer AbortRetryIgnore(std::wstring_view title, std::wstring_view text) override;
    // The blast's frames (kBlastFrames) drawn over the map, each a frame of
    // the game paced by the game's frame clock, while the game's keys rest;
    // the window closing ends it early. Nothing without the window.
    void ShowBlast(const TBlast& blast) override;
    // The number window (OK and Cancel labelled by "STR_NUMBER_OK" and
    // "STR_NUMBER_CANCEL") until the player accepts or cancels; the input
    // mode stays. Without the window the console display's answer: none.
    std::optional<uint32_t> AskNumber(const std::wstring& caption, const std::wstring& prompt) override;

    // The device's events: the newest open window takes the keys (none
    // reaches the map then) and its buttons' clicks; otherwise the game's
    // keys, unless a pass keeps the game busy.
    bool OnEvent(const irr::SEvent& event) override;

    const CMapView& GetView() const { return m_view; }
    const CConsoleDisplay& GetConsole() const { return m_console; }
    uint32_t GetInputMode() const { return m_console.GetInputMode(); }
    // Null without the game's window.
    CScreen* GetScreen() const { return m_screen.get(); }

private:
    // The window with the text until the player closes it.
    void ShowModalMessage(const std::wstring& caption, const std::wstring& text);
    // The log rows and the date as the game stands.
    void UpdatePanel();
    // The console prompt back, unless another was installed over this one.
    void ReleasePrompt();
    bool OnKey(irr::EKEY_CODE key);

    CGame& m_game;
    CConsoleDisplay m_console;
    CMapView m_view;
    std::unique_ptr<CScreen> m_screen;
    irr::gui::IGUIStaticText* m_date = nullptr;
    std::optional<uint64_t> m_dateClock;
    std::vector<irr::gui::IGUIStaticText*> m_logRows;
    // The squares of the blast's frame being drawn; none between blasts.
    std::vector<TBlastSquare> m_blast;
};
