// The program entry.
#include <cerrno>
#include <csignal>
#include <exception>
#include <string>
#include <vector>

#include "VEKLib/Console.h"
#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
#include "data/Globals.h"
#include "data/MConfig.h"
#include "platform/CrashHandler.h"
#include "platform/File.h"
#include "platform/Signals.h"
#include "platform/Utf8.h"
#include "shell/CommandLine.h"
#include "shell/Game.h"
#include "shell/MainLoop.h"
#include "shell/MessageDisplay.h"

namespace {

void PrintNotes(const TCommandLine& line, size_t from) {
    for (size_t i = from; i < line.ignored.size(); ++i) {
        vek::ConsoleErr() << line.ignored[i] << std::endl;
    }
}

// The script check finishes the program at once: it needs no device, world
// or game, only the data the scripts name. Its set-up is not shown; what the
// scripts put on record (the system commands they run) is logged as in a
// game, beside the verdicts.
int CheckScripts(CGame& game, const std::vector<std::wstring>& scripts) {
    game.SetLogSink([](const std::wstring&) {});
    game.SetUpForScriptCheck();
    game.SetLogSink(nullptr);
    bool ok = true;
    for (const std::wstring& script : scripts) {
        ok = game.CheckDialogScript(script, true) && ok;
    }
    return ok ? 0 : 1;
}

// One running game per game folder. False when another copy holds it: this
// one ends and changes nothing.
bool TakeGameFolder(CGame& game) {
    const platform::CFolderLock::Result result = game.LockSaveFolder();
    const int error = errno;
    switch (result) {
    case platform::CFolderLock::Result::kTaken:
        return true;
    case platform::CFolderLock::Result::kHeldElsewhere:
        vek::ConsoleErr() << L"Another copy of the game is running in this folder (it holds " << kSaveDir
                          << L"): this one ends and changes nothing." << std::endl;
        return false;
    case platform::CFolderLock::Result::kFailed:
        break;
    }
    // A folder that cannot even be made cannot take saves either: the
    // game goes on, and says what it cannot guard against.
    game.Log(
        vek::Format(L"The save folder %s cannot be locked (%s): another copy of the game started in this "
                    L"folder would not be noticed.",
                    kSaveDir, platform::FromUtf8(platform::SystemErrorText(error))));
    return true;
}

// The X server is gone (it ended or the connection broke): the game ends as
// its window's closing ends it, without a word to the display; the process
// ends when this returns.
void OnDisplayLost() {
    CGame* game = g_game;
    if (game == nullptr) {
        return;
    }
    game->LoseDevice();
    const std::wstring why =
        L"The connection to the display was lost (the X server ended or went away): the "
        L"game ends as when its window is closed.";
    CMorvheldMessageDisplay(*game).Append(why);
    vek::ConsoleErr() << why << std::endl;
    game->EndGame();
    vek::ConsoleOut().flush();
}

// The display-lost handler, for as long as the game runs with its device.
struct TDisplayWatch {
    TDisplayWatch() { platform::SetDisplayLostHandler(OnDisplayLost); }
    TDisplayWatch(const TDisplayWatch&) = delete;
    TDisplayWatch& operator=(const TDisplayWatch&) = delete;
    ~TDisplayWatch() { platform::SetDisplayLostHandler(nullptr); }
};

int Run(CGame& game, TCommandLine& line) {
    // The configuration writer ends the program at once, before the user's
    // own file is read: a broken file must not stop its repair.
    if (line.writeConfig) {
        WriteDefaultConfig(game.GetConfig());
        return 0;
    }
    game.GetConfig().Load();
    if (line.moreArguments) {
        const size_t noted = line.ignored.size();
        line.moreArguments = false;
        ReadArguments(line, SplitMoreArguments(game.GetConfig().FindEntry(L"cmd_line").GetString()));
        PrintNotes(line, noted);
        // Added once: the setting cannot add itself again.
        if (line.moreArguments) {
            vek::ConsoleErr() << L"Ignored in the setting cmd_line: @lp" << std::endl;
        }
        if (line.writeConfig) {
            WriteDefaultConfig(game.GetConfig());
            return 0;
        }
    }
    if (!line.scripts.empty()) {
        return CheckScripts(game, line.scripts);
    }
    game.SetAutosaveEnabled(!line.noAutosave);
    if (line.selfTest) {
        game.ForceNullDriver(true);
        game.SetUp();
        return CGame::RunSelfTests() == 0 ? 0 : 1;
    }
    // Nothing in the folder is read or removed before.
    if (!TakeGameFolder(game)) {
        return 1;
    }
    // From here a logout, a closed terminal or Ctrl+C ends the game as
    // closing its window does.
    platform::InstallEndSignals();
    const TDisplayWatch watch;
    game.SetUp();
    return RunGame(game, line.newGame);
}

} // namespace

int main(int argc, char** argv) {
    // A file-size limit then fails the write that meets it, which is
    // reported and leaves the old file whole, instead of killing the program
    // with its temporary file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    // Output into a pipe whose reader is gone ("morvheld | tee" after Ctrl+C)
    // then fails as a write, not by ending the game before its autosave.
    std::signal(SIGPIPE, SIG_IGN);
    GlobalExceptionHandler().Initialize();
    vek::SetCurrentLocale(L"pl_PL");
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(platform::FromUtf8(argv[i]));
    }
    TCommandLine line = ReadCommandLine(args);
    PrintNotes(line, 0);
    try {
        CGame game;
        g_game = &game;
        g_gameData = &game;
        try {
            return Run(game, line);
        } catch (const vek::CException& e) {
            // Shown (and written to "error.log") while the game's message
            // display is still there.
            e.Display();
            throw;
        }
    } catch (const vek::CException& e) {
        vek::ConsoleErr() << e.GetText() << std::endl;
        return 1;
    } catch (const std::exception& e) {
        vek::ConsoleErr() << platform::FromUtf8(e.what()) << std::endl;
        return 1;
    }
    return 0;
}
