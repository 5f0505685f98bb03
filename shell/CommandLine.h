#pragma once
// The command line: the requests the program carries out now, and a line
// for the console about every argument it leaves alone.
#include <string>
#include <vector>

struct TCommandLine {
    bool selfTest = false;      // "-test"
    bool writeConfig = false;   // "-writecfg"
    bool newGame = false;       // "-new": a new game even when there is an autosave
    bool noAutosave = false;    // "-noautosave"
    bool moreArguments = false; // "@lp": the setting "cmd_line" adds arguments
    // Script files (".u") to check, in order.
    std::vector<std::wstring> scripts;
    // One line per argument that does nothing: an option or file kind that
    // the game knows but does not carry out yet, or one it does not know.
    std::vector<std::wstring> ignored;
};

TCommandLine ReadCommandLine(const std::vector<std::wstring>& args);
// Reads more arguments into the line: flags set, scripts appended, notes
// added.
void ReadArguments(TCommandLine& line, const std::vector<std::wstring>& args);
// The arguments that "@lp" adds: the setting "cmd_line" split at blanks and
// tabs, empty pieces dropped.
std::vector<std::wstring> SplitMoreArguments(const std::wstring& setting);
