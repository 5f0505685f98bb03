#include "platform/Signals.h"

#include <X11/Xlib.h>

#include <cstddef>
#include <cstdlib>

namespace platform {

namespace {

constexpr size_t kEndSignalCount = sizeof(kEndSignals) / sizeof(kEndSignals[0]);

volatile sig_atomic_t g_received = 0;
struct sigaction g_replaced[kEndSignalCount];
bool g_installed[kEndSignalCount] = {};

TDisplayLostHandler g_displayLost = nullptr;

extern "C" void OnEndSignal(int signalNumber) {
    if (g_received == 0) {
        g_received = signalNumber;
    }
}

extern "C" int OnDisplayLost(Display*) {
    if (g_displayLost != nullptr) {
        g_displayLost();
    }
    std::_Exit(kDisplayLostExit);
}

} // namespace

void InstallEndSignals() {
    for (size_t i = 0; i < kEndSignalCount; ++i) {
        struct sigaction current {};
        if (g_installed[i] || ::sigaction(kEndSignals[i], nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = OnEndSignal;
        sigemptyset(&action.sa_mask);
        // A save under way goes on: no call it makes fails with EINTR.
        action.sa_flags = SA_RESTART;
        g_installed[i] = ::sigaction(kEndSignals[i], &action, &g_replaced[i]) == 0;
    }
}

void RestoreEndSignals() {
    for (size_t i = 0; i < kEndSignalCount; ++i) {
        if (g_installed[i]) {
            ::sigaction(kEndSignals[i], &g_replaced[i], nullptr);
            g_installed[i] = false;
        }
    }
    g_received = 0;
}

int ReceivedEndSignal() { return g_received; }

void SetDisplayLostHandler(TDisplayLostHandler handler) {
    g_displayLost = handler;
    XSetIOErrorHandler(handler != nullptr ? OnDisplayLost : nullptr);
}

} // namespace platform
