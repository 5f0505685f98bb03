#pragma once
// The wide console streams (written as UTF-8) and the colours of log lines.
#include <cstdint>
#include <ostream>

namespace vek {

// The wide console output and error streams. Nothing else writes to the
// console: the C++ wide standard streams drop text on a byte-oriented stdout.
std::wostream& ConsoleOut();
std::wostream& ConsoleErr();

// Colour numbers 0..14 of the log; 0 restores the attributes the console had
// when colours were first used.
void SetConsoleColor(int color);
// The colour-output flag (on at start).
void EnableConsoleColors(bool enable);

// Stream manipulators: act only on ConsoleOut(); any other stream is returned
// untouched and not flushed.
std::wostream& ConsoleDefault(std::wostream& os);
std::wostream& ConsoleRed(std::wostream& os);
std::wostream& ConsoleGreen(std::wostream& os);
std::wostream& ConsoleYellow(std::wostream& os);
std::wostream& ConsoleDarkYellow(std::wostream& os);
std::wostream& ConsoleCyan(std::wostream& os);

// Forgets the console handle and saved attributes (tests that swap the console).
void ResetConsoleState();

} // namespace vek
