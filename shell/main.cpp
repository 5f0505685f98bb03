// The program entry.
#include <exception>
#include <string>
#include <vector>

#include "VEKLib/Console.h"
#include "VEKLib/Exception.h"
#include "VEKLib/Strings.h"
#include "data/Globals.h"
#include "data/MConfig.h"
#include "platform/CrashHandler.h"
#include "platform/Utf8.h"
#include "shell/CommandLine.h"
#include "shell/Game.h"
#include "shell/MainLoop.h"

namespace {

// The script check runs on the game set up without a window, quietly: only
// its verdicts are shown.
int CheckScripts(CGame& game, const std::vector<std::wstring>& scripts) {
    game.ForceNullDriver(true);
    game.SetAutosaveEnabled(false);
    game.SetLogSink([](const std::wstring&) {});
    game.SetUp();
    bool ok = true;
    for (const std::wstring& script : scripts) {
        ok = game.CheckDialogScript(script, true) && ok;
    }
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    GlobalExceptionHandler().Initialize();
    vek::SetCurrentLocale(L"pl_PL");
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(platform::FromUtf8(argv[i]));
    }
    const TCommandLine line = ReadCommandLine(args);
    for (const std::wstring& note : line.ignored) {
        vek::ConsoleErr() << note << std::endl;
    }
    try {
        CGame game;
        g_game = &game;
        g_gameData = &game;
        // The configuration writer ends the program at once, before the
        // user's own file is read: a broken file must not stop its repair.
        if (line.writeConfig) {
            WriteDefaultConfig(game.GetConfig());
            return 0;
        }
        if (!line.scripts.empty()) {
            return CheckScripts(game, line.scripts);
        }
        if (line.selfTest) {
            return CGame::RunSelfTests() == 0 ? 0 : 1;
        }
        game.SetAutosaveEnabled(!line.noAutosave);
        game.SetUp();
        return RunGame(game, line.newGame);
    } catch (const vek::CException& e) {
        vek::ConsoleErr() << e.GetText() << std::endl;
        return 1;
    } catch (const std::exception& e) {
        vek::ConsoleErr() << platform::FromUtf8(e.what()) << std::endl;
        return 1;
    }
    return 0;
}
