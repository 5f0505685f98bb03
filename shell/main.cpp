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
    const bool selfTest = line.selfTest;
    const bool writeConfig = line.writeConfig;
    try {
        CGame game;
        g_game = &game;
        g_gameData = &game;
        // The configuration writer ends the program at once, before the
        // user's own file is read: a broken file must not stop its repair.
        if (writeConfig) {
            WriteDefaultConfig(game.GetConfig());
            return 0;
        }
        if (selfTest) {
            return CGame::RunSelfTests() == 0 ? 0 : 1;
        }
        game.GetConfig().Load();
        game.SetUp();
        return RunGame(game);
    } catch (const vek::CException& e) {
        vek::ConsoleErr() << e.GetText() << std::endl;
        return 1;
    } catch (const std::exception& e) {
        vek::ConsoleErr() << platform::FromUtf8(e.what()) << std::endl;
        return 1;
    }
    return 0;
}
