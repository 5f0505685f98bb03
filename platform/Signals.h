#pragma once
// The program told to end from outside: by a signal that ends a session
// (SIGTERM at a shutdown or logout, SIGHUP when its terminal goes, SIGINT on
// Ctrl+C), or by the loss of its connection to the X display.
#include <signal.h>

namespace platform {

inline constexpr int kEndSignals[] = {SIGTERM, SIGHUP, SIGINT};

// From now on each of kEndSignals only records that it came, for the main
// loop to read and end the game as closing its window does; the first one
// is kept, later ones change nothing. A signal that was ignored when the
// program started (as nohup starts it) stays ignored.
void InstallEndSignals();
// The actions that InstallEndSignals replaced come back; the record is cleared.
void RestoreEndSignals();
// The first end signal received; 0 while none was.
int ReceivedEndSignal();

// Called when the connection to the X display breaks (the server ended or
// went away); once it returns the process ends with kDisplayLostExit, as
// the X library would end it. Nothing in the handler may use the display.
// Null puts the library's own handling back.
using TDisplayLostHandler = void (*)();
inline constexpr int kDisplayLostExit = 1;
void SetDisplayLostHandler(TDisplayLostHandler handler);

} // namespace platform
