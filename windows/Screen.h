#pragma once
// The game's screen as its windows see it: the engine's GUI to build their
// elements in, and the windows that take the player's input while they are
// open. The newest open window gets the keys; the GUI's events (a click on a
// button) go to each open window until one knows the element. The game's
// modal loop runs while the window it was started for waits for the player.
#include <Keycodes.h>

#include <cstdint>
#include <string>
#include <vector>

#include <rect.h>

namespace irr {
struct SEvent;
namespace gui {
class IGUIEnvironment;
class IGUIStaticText;
class IGUIWindow;
} // namespace gui
} // namespace irr

// The digit 0 to 9 a key stands for, on either row of keys; -1 for any
// other key.
int32_t DigitOfKey(irr::EKEY_CODE key);

class IModalWindow {
public:
    virtual ~IModalWindow() = default;
    // A key while it is the newest window, or an event of the GUI; true when
    // it took the event.
    virtual bool OnEvent(const irr::SEvent& event) = 0;
    // The player has yet to answer it.
    virtual bool IsWaiting() const = 0;
    // The game's window has gone: it stops waiting, as its own way of
    // cancelling would stop it.
    virtual void Cancel() = 0;
};

class CScreen {
public:
    // The part of the window that the map takes; windows open over its middle.
    static constexpr int32_t kMapWidth = 640;
    static constexpr int32_t kMapHeight = 480;

    explicit CScreen(irr::gui::IGUIEnvironment& gui) : m_gui(gui) {}
    CScreen(const CScreen&) = delete;
    CScreen& operator=(const CScreen&) = delete;

    irr::gui::IGUIEnvironment& GetGui() const { return m_gui; }

    // The window becomes the newest; one already open moves up.
    void Open(IModalWindow& window);
    // Wherever it stands; a window that is not open changes nothing.
    void Close(IModalWindow& window);
    // Null while none is open.
    IModalWindow* GetTop() const { return m_open.empty() ? nullptr : m_open.back(); }
    bool IsOpen(const IModalWindow& window) const;
    // Keys go to the newest window, and no further; anything else to each
    // window, newest first, until one takes it. False while none is open.
    bool OnEvent(const irr::SEvent& event);
    // Every open window stops waiting.
    void CancelAll();

    // A window of the engine's GUI of that size over the middle of the map,
    // with the caption, neither movable nor closed by a button of its own:
    // the game's windows close by their own buttons.
    irr::gui::IGUIWindow* AddWindow(const std::wstring& caption, int32_t width, int32_t height) const;
    // Moves the window to that size, still over the middle of the map and
    // inside the screen.
    void PlaceWindow(irr::gui::IGUIWindow& window, int32_t width, int32_t height) const;
    // A word-wrapped text in the window; its height fits the text.
    irr::gui::IGUIStaticText* AddText(irr::gui::IGUIWindow& window, const std::wstring& text,
                                      const irr::core::rect<int32_t>& area) const;
    // The element shows the text wrapped at the area's width, its height
    // cut to the text's lines; answers that height.
    static int32_t FitText(irr::gui::IGUIStaticText& element, const std::wstring& text,
                           const irr::core::rect<int32_t>& area);

private:
    irr::gui::IGUIEnvironment& m_gui;
    std::vector<IModalWindow*> m_open;
};
