// makeworld SOURCE TARGET: makes the world file TARGET from its readable
// source SOURCE (Maps/README.md).
#include <string>

#include "VEKLib/Console.h"
#include "VEKLib/Exception.h"
#include "VEKLib/IniFile.h"
#include "data/TableFrame.h"
#include "platform/Utf8.h"
#include "world/World.h"
#include "world/WorldSource.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        vek::ConsoleErr() << L"Usage: makeworld SOURCE.world.ini TARGET.world" << std::endl;
        return 2;
    }
    const std::wstring source = platform::FromUtf8(argv[1]);
    const std::wstring target = platform::FromUtf8(argv[2]);
    try {
        vek::CIniFile ini;
        LoadIniFile(source, ini);
        CWorld world;
        ReadWorldSource(world, ini);
        world.SaveFile(target);
    } catch (const vek::CException& e) {
        vek::ConsoleErr() << e.GetText() << std::endl;
        return 1;
    }
    return 0;
}
