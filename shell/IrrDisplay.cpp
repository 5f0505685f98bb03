#include "shell/IrrDisplay.h"

#include <irrlicht.h>

#include <algorithm>

#include "VEKLib/Format.h"
#include "data/Version.h"
#include "shell/Game.h"
#include "windows/MessageWindow.h"
#include "windows/NumberWindow.h"

namespace {

const irr::video::SColor kTextColor(255, 224, 224, 216);
const irr::video::SColor kWarningColor(255, 255, 128, 64);

// The display's input mode for a while (a message waits, a blast plays);
// the mode before comes back however the while ends.
class CInputModeHeld {
public:
    CInputModeHeld(CIrrDisplay& display, uint32_t mode) : m_display(display), m_before(display.GetInputMode()) {
        m_display.SetInputMode(mode);
    }
    CInputModeHeld(const CInputModeHeld&) = delete;
    CInputModeHeld& operator=(const CInputModeHeld&) = delete;
    ~CInputModeHeld() { m_display.SetInputMode(m_before); }

private:
    CIrrDisplay& m_display;
    uint32_t m_before;
};

// The text's rows: broken at its line breaks, then wrapped at spaces. A
// word wider than the width has a row of its own.
std::vector<std::wstring> WrapText(const std::wstring& text, int32_t width,
                                   const std::function<int32_t(const std::wstring&)>& measure) {
    std::vector<std::wstring> rows;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        std::wstring row;
        size_t word = start;
        while (word < end) {
            size_t space = text.find(L' ', word);
            space = std::min(space == std::wstring::npos ? end : space, end);
            std::wstring piece = text.substr(word, space - word);
            std::erase(piece, L'\r');
            const std::wstring longer = row.empty() ? piece : row + L' ' + piece;
            if (!row.empty() && measure(longer) > width) {
                rows.push_back(row);
                row = piece;
            } else {
                row = longer;
            }
            word = space + 1;
        }
        rows.push_back(row);
        start = end + 1;
    }
    return rows;
}

std::wstring LineText(const TMessageLine& line) {
    return line.count > 1 ? line.text + vek::Format(L" (x%lu)", line.count) : line.text;
}

} // namespace

std::vector<TLogRow> ComposeLogRows(const std::deque<TMessageLine>& lines, size_t rows, int32_t width, bool oneLine,
                                    bool colors, const std::function<int32_t(const std::wstring&)>& measure) {
    std::vector<TLogRow> shown;
    if (lines.empty() || rows == 0) {
        return shown;
    }
    const auto warning = [colors](const TMessageLine& line) {
        return colors && (line.type == kMessageWarning || line.type == kMessageAlert);
    };
    if (oneLine) {
        std::wstring text = LineText(lines.back());
        std::erase(text, L'\r');
        std::replace(text.begin(), text.end(), L'\n', L' ');
        return {TLogRow{text, warning(lines.back())}};
    }
    // From the newest line back, until the rows are full.
    for (auto line = lines.rbegin(); line != lines.rend() && shown.size() < rows; ++line) {
        const std::vector<std::wstring> wrapped = WrapText(LineText(*line), width, measure);
        const size_t take = std::min(wrapped.size(), rows - shown.size());
        for (size_t i = 0; i < take; ++i) {
            shown.push_back(TLogRow{wrapped[wrapped.size() - 1 - i], warning(*line)});
        }
    }
    std::reverse(shown.begin(), shown.end());
    return shown;
}

CIrrDisplay::CIrrDisplay(CGame& game) : m_game(game), m_console([&game](const std::wstring& text) { game.Log(text); }) {
    irr::IrrlichtDevice* device = game.GetDevice();
    irr::gui::IGUIFont* font = game.GetFont();
    if (device == nullptr || font == nullptr) {
        return;
    }
    irr::gui::IGUIEnvironment& gui = *device->getGUIEnvironment();
    m_screen = std::make_unique<CScreen>(gui);
    m_date = gui.addStaticText(L"", irr::core::rect<irr::s32>(kDateLeft, kDateTop, kDateRight, kDateBottom));
    m_date->setWordWrap(true);
    m_date->setOverrideColor(kTextColor);
    for (size_t i = 0; i < kLogRows; ++i) {
        const int32_t top = kLogTop + static_cast<int32_t>(i) * kLogRowHeight;
        irr::gui::IGUIStaticText* row =
            gui.addStaticText(L"", irr::core::rect<irr::s32>(kLogLeft, top, kLogRight, top + kLogRowHeight));
        // Wrapped already; a row wider than the log is cut at its edge.
        row->setWordWrap(false);
        row->setOverrideColor(kTextColor);
        m_logRows.push_back(row);
    }
    device->setEventReceiver(this);
    game.GetDialog().SetScreen(m_screen.get());
    // A console prompt would leave the window frozen until it is answered.
    platform::SetPrompt(this);
}

CIrrDisplay::~CIrrDisplay() {
    if (m_screen == nullptr) {
        return;
    }
    ReleasePrompt();
    m_game.GetDialog().SetScreen(nullptr);
    irr::IrrlichtDevice* device = m_game.GetDevice();
    if (device->getEventReceiver() == this) {
        device->setEventReceiver(nullptr);
    }
    m_date->remove();
    for (irr::gui::IGUIStaticText* row : m_logRows) {
        row->remove();
    }
}

void CIrrDisplay::AddMessage(const std::wstring& text, uint32_t type, bool flag) {
    m_console.AddMessage(text, type, flag);
}

void CIrrDisplay::ShowMessage(const std::wstring& text, uint32_t duration) { m_console.ShowMessage(text, duration); }

void CIrrDisplay::ShowImportantMessage(const std::wstring& caption, const std::wstring& text, bool flag) {
    m_console.ShowImportantMessage(caption, text, flag);
    if (!HasWindow()) {
        return;
    }
    const CInputModeHeld held(*this, kInputModeMessage);
    ShowModalMessage(caption, text);
}

void CIrrDisplay::ShowMessageBox(const std::wstring& text) {
    // The box's caller prints the text (the fatal error, on standard error):
    // logged here as well it would reach the console twice.
    if (HasWindow()) {
        ShowModalMessage(L"", text);
    } else {
        m_console.ShowMessageBox(text);
    }
}

platform::PromptAnswer CIrrDisplay::AbortRetryIgnore(std::wstring_view title, std::wstring_view text) {
    if (!HasWindow()) {
        ReleasePrompt();
        return platform::Prompt().AbortRetryIgnore(title, text);
    }
    const CMessageWindow window(*m_screen, std::wstring(title), std::wstring(text),
                                {{L"Abort", irr::KEY_KEY_A}, {L"Retry", irr::KEY_KEY_R}, {L"Ignore", irr::KEY_KEY_I}});
    RunModalLoop();
    constexpr platform::PromptAnswer kAnswers[] = {platform::PromptAnswer::kAbort, platform::PromptAnswer::kRetry,
                                                   platform::PromptAnswer::kIgnore};
    // No answer: the game's window closed under it.
    const std::optional<size_t> answer = window.GetAnswer();
    return answer.has_value() ? kAnswers[*answer] : platform::PromptAnswer::kIgnore;
}

std::optional<uint32_t> CIrrDisplay::AskNumber(const std::wstring& caption, const std::wstring& prompt) {
    if (!HasWindow()) {
        return m_console.AskNumber(caption, prompt);
    }
    const CStringResource& strings = m_game.GetStrings();
    const CNumberWindow window(*m_screen,
                               {caption, prompt, strings.Get(L"STR_NUMBER_OK"), strings.Get(L"STR_NUMBER_CANCEL")});
    RunModalLoop();
    return window.GetAnswer();
}

void CIrrDisplay::ReleasePrompt() {
    if (&platform::Prompt() == static_cast<platform::IPrompt*>(this)) {
        platform::SetPrompt(nullptr);
    }
}

void CIrrDisplay::ShowModalMessage(const std::wstring& caption, const std::wstring& text) {
    const CMessageWindow window(*m_screen, caption, text);
    RunModalLoop();
}

void CIrrDisplay::OpenWindow(uint32_t windowId, uint32_t mode, uint32_t extra) {
    m_console.OpenWindow(windowId, mode, extra);
}

bool CIrrDisplay::HasWindow() const { return m_screen != nullptr && m_game.IsDeviceRunning(); }

void CIrrDisplay::RunModalLoop() {
    const IModalWindow* window = m_screen != nullptr ? m_screen->GetTop() : nullptr;
    if (window == nullptr) {
        return;
    }
    if (HasWindow()) {
        // It shows at once, whether the game's window has the focus or not.
        Draw();
        while (window->IsWaiting()) {
            if (!m_game.StepModal()) {
                break;
            }
        }
    }
    // Nothing will answer the windows any more.
    if (window->IsWaiting()) {
        m_screen->CancelAll();
    }
}

bool CIrrDisplay::OnEvent(const irr::SEvent& event) {
    if (m_screen == nullptr) {
        return false;
    }
    if (m_screen->GetTop() != nullptr) {
        return m_screen->OnEvent(event);
    }
    if (event.EventType == irr::EET_KEY_INPUT_EVENT && event.KeyInput.PressedDown) {
        return OnKey(event.KeyInput.Key);
    }
    return false;
}

bool CIrrDisplay::OnKey(irr::EKEY_CODE key) {
    if (GetInputMode() == kInputModeBusy || !m_game.HasGame()) {
        return false;
    }
    switch (key) {
    case kWaitMorningKey:
        m_game.WaitUntil(kMorning);
        return true;
    case kWaitEveningKey:
        m_game.WaitUntil(kEvening);
        return true;
    default:
        return false;
    }
}

void CIrrDisplay::Draw() {
    irr::video::IVideoDriver* driver = m_game.GetDriver();
    if (driver == nullptr || !driver->beginScene(true, true, irr::video::SColor(255, 0, 0, 0))) {
        return;
    }
    m_view.Draw(m_game.GetCurrentLoc(), m_game.GetHero(), m_game.GetTables(), m_game.GetMapSprites());
    DrawBlastFrame(m_blast, *driver);
    if (m_screen != nullptr) {
        UpdatePanel();
        m_screen->GetGui().drawAll();
    }
    driver->endScene();
}

void CIrrDisplay::UpdatePanel() {
    if (m_dateClock != m_game.GetClock()) {
        m_dateClock = m_game.GetClock();
        m_date->setText(FormatGameDate(m_game.GetClock(), m_game.GetStrings()).c_str());
    }
    irr::gui::IGUIFont* font = m_game.GetFont();
    const CMorvheldConfig& config = m_game.GetConfig();
    const std::vector<TLogRow> rows = ComposeLogRows(
        m_console.GetMessageLog().GetLines(), m_logRows.size(), kLogRight - kLogLeft, config.IsOneLineLog(),
        config.HasLogColors(),
        [font](const std::wstring& text) { return static_cast<int32_t>(font->getDimension(text.c_str()).Width); });
    for (size_t i = 0; i < m_logRows.size(); ++i) {
        const bool used = i < rows.size();
        m_logRows[i]->setText(used ? rows[i].text.c_str() : L"");
        m_logRows[i]->setOverrideColor(used && rows[i].warning ? kWarningColor : kTextColor);
    }
}

void CIrrDisplay::CenterView() { m_view.Center(m_game.GetCurrentLoc(), m_game.GetHero()); }

void CIrrDisplay::ShowBlast(const TBlast& blast) {
    if (!HasWindow()) {
        return;
    }
    const CInputModeHeld held(*this, kInputModeBusy);
    IFrameClock& clock = m_game.GetFrameClock();
    const vek::TPoint origin = m_view.GetOrigin(m_game.GetCurrentLoc());
    for (uint32_t frame = 0; frame < kBlastFrames; ++frame) {
        const uint32_t start = clock.Now();
        if (!m_game.RunDevice()) {
            break;
        }
        m_blast = ComposeBlastFrame(blast, frame, origin);
        Draw();
        // Unsigned difference: right across the tick count's wrap.
        const uint32_t elapsed = clock.Now() - start;
        if (elapsed < kFrameMilliseconds) {
            clock.Sleep(kFrameMilliseconds - elapsed);
        }
    }
    m_blast.clear();
}
