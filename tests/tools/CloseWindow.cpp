// Closes the program's window as a window manager does when its close box is
// clicked: waits for a top-level window that takes WM_DELETE_WINDOW and sends
// it that message. Usage: close_window [seconds to wait at most]. Exit 0 once
// sent, 1 when no window came, 2 without a display.
// close_window --key KEYSYM [seconds] presses and releases that key (an X
// keysym name, "F7") in the window instead, and returns once the server has
// passed both on.
// close_window --intern only makes the two atoms exist: the engine asks for
// WM_DELETE_WINDOW only if it exists already (a window manager would have made
// it), so a test under a bare server that keeps its atoms (-noreset) runs this
// first instead of racing the program's window.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "support/CloseWindow.h"

namespace {

// A window may go between the query and the next call: not an error here.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

bool TakesDelete(Display* display, Window window, Atom deleteWindow) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes) == 0 || attributes.map_state != IsViewable) {
        return false;
    }
    Atom* protocols = nullptr;
    int count = 0;
    if (XGetWMProtocols(display, window, &protocols, &count) == 0) {
        return false;
    }
    bool found = false;
    for (int i = 0; i < count; ++i) {
        found = found || protocols[i] == deleteWindow;
    }
    XFree(protocols);
    return found;
}

// The first such window among the root's children; 0 when there is none.
Window FindWindow(Display* display, Atom deleteWindow) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) {
        return 0;
    }
    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        if (TakesDelete(display, children[i], deleteWindow)) {
            found = children[i];
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

// A key event as the server sends it to the window under the pointer.
void SendKey(Display* display, Window window, KeyCode code, int type) {
    XEvent event{};
    event.xkey.type = type;
    event.xkey.display = display;
    event.xkey.window = window;
    event.xkey.root = DefaultRootWindow(display);
    event.xkey.time = CurrentTime;
    event.xkey.keycode = code;
    event.xkey.same_screen = True;
    XSendEvent(display, window, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &event);
}

} // namespace

int main(int argc, char** argv) {
    const bool internOnly = argc > 1 && std::strcmp(argv[1], "--intern") == 0;
    const bool key = argc > 2 && std::strcmp(argv[1], "--key") == 0;
    const char* const keyName = key ? argv[2] : nullptr;
    const int secondsArg = key ? 3 : 1;
    const int seconds = argc > secondsArg && !internOnly ? std::atoi(argv[secondsArg]) : 60;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "close_window: no display\n");
        return 2;
    }
    XSetErrorHandler(IgnoreErrors);
    // Both made here, for --intern.
    XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    if (internOnly) {
        XSync(display, False);
        XCloseDisplay(display);
        return 0;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    const auto pause = std::chrono::milliseconds(50);
    Window window = 0;
    while ((window = FindWindow(display, deleteWindow)) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "close_window: no window came\n");
            return 1;
        }
        std::this_thread::sleep_for(pause);
    }
    if (keyName == nullptr) {
        testsupport::SendDeleteWindow(display, window);
        XCloseDisplay(display);
        return 0;
    }
    const KeySym symbol = XStringToKeysym(keyName);
    const KeyCode code = symbol != NoSymbol ? XKeysymToKeycode(display, symbol) : 0;
    if (code == 0) {
        std::fprintf(stderr, "close_window: no key %s\n", keyName);
        return 2;
    }
    SendKey(display, window, code, KeyPress);
    SendKey(display, window, code, KeyRelease);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
