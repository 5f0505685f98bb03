#pragma once
// What the game shows and how it takes input: the message log, messages,
// windows, the input mode, frames and the modal loop, behind one interface
// so that tests can put a recording fake in its place.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "VEKLib/Geometry.h"
#include "data/MessageLog.h"

// Window ids by which the game opens its windows; kNoWindow when none is open.
enum : uint32_t {
    kNoWindow = 1024,
    kInventoryWindow = 1025,
    kTradeWindow = 1033,
    kLastWindow = 1052,
};

// Mode of OpenWindow for the trade window: repairs.
inline constexpr uint32_t kWindowModeRepair = 3;

// Input modes the game sets: one that waits for nothing, a message window
// that has the input, a pass that keeps the player waiting (the game's keys
// rest).
inline constexpr uint32_t kInputModeNormal = 1;
inline constexpr uint32_t kInputModeMessage = 2;
inline constexpr uint32_t kInputModeBusy = 3;

// A blast that spreads from a cell over the cells around it: a trap going
// off. Its kind says what it is made of.
struct TBlast {
    enum : uint32_t { kExplosion = 0, kFlame = 1, kFrost = 2, kGas = 3 };
    uint32_t kind = kExplosion;
    vek::TPoint origin;
    // The cells it reaches, the origin among them; inside the location.
    std::vector<vek::TPoint> cells;
    bool operator==(const TBlast&) const = default;
};

class IGameDisplay {
public:
    virtual ~IGameDisplay() = default;

    // One line for the message log (type kMessageInfo, kMessageWarning or
    // kMessageAlert).
    virtual void AddMessage(const std::wstring& text, uint32_t type, bool flag) = 0;
    // A text that stays on view for a while (seconds of game time).
    virtual void ShowMessage(const std::wstring& text, uint32_t duration) = 0;
    // A message window with a caption; it takes the input until closed.
    virtual void ShowImportantMessage(const std::wstring& caption, const std::wstring& text, bool flag) = 0;
    virtual void OpenWindow(uint32_t windowId, uint32_t mode, uint32_t extra) = 0;
    // Mode 0 to 4.
    virtual void SetInputMode(uint32_t mode) = 0;
    virtual void Draw() = 0;
    virtual void CenterView() = 0;
    virtual void UpdateAutomapImage() = 0;
    // Runs the main loop until the open modal window ends it.
    virtual void RunModalLoop() = 0;
    // The game's window is open and can show a message box.
    virtual bool HasWindow() const = 0;
    // A plain message box over the game's window; the input mode stays.
    virtual void ShowMessageBox(const std::wstring& text) = 0;
    // Asks the player for an amount in a number window with the caption and
    // the prompt; nothing when no window can ask, or the player cancels.
    virtual std::optional<uint32_t> AskNumber(const std::wstring& caption, const std::wstring& prompt) {
        (void)caption, (void)prompt;
        return std::nullopt;
    }
    // The blast drawn over the cells of the current location it reaches, a
    // few frames long; returns when it is over. Nothing without a window.
    virtual void ShowBlast(const TBlast& blast) { (void)blast; }
};

// The display while the game has no windows: the message log keeps its lines
// and echoes them to the game's log; what would need a window is written to
// the log, and the calls that would draw do nothing.
class CConsoleDisplay final : public IGameDisplay {
public:
    using LogFunction = std::function<void(const std::wstring&)>;

    explicit CConsoleDisplay(LogFunction log);

    void AddMessage(const std::wstring& text, uint32_t type, bool flag) override;
    // The text goes into the message log.
    void ShowMessage(const std::wstring& text, uint32_t duration) override;
    // "caption: text" in the log.
    void ShowImportantMessage(const std::wstring& caption, const std::wstring& text, bool flag) override;
    // Logged; no window opens.
    void OpenWindow(uint32_t windowId, uint32_t mode, uint32_t extra) override;
    void SetInputMode(uint32_t mode) override { m_inputMode = mode; }
    void Draw() override {}
    void CenterView() override {}
    void UpdateAutomapImage() override {}
    // Returns at once: no window is open that could end it.
    void RunModalLoop() override {}
    bool HasWindow() const override { return false; }
    void ShowMessageBox(const std::wstring& text) override;
    // Nobody can be asked: logged, and no amount.
    std::optional<uint32_t> AskNumber(const std::wstring& caption, const std::wstring& prompt) override;

    const CMessageLog& GetMessageLog() const { return m_messageLog; }
    uint32_t GetInputMode() const { return m_inputMode; }

private:
    LogFunction m_log;
    CMessageLog m_messageLog;
    uint32_t m_inputMode = 0;
};
