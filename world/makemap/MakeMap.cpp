// makemap SOURCE TARGET: makes the location file TARGET (".map") from its
// text form SOURCE (Maps/README.md). Run in the folder that holds Data/: the
// items and monsters a map names are made through the definition tables.
#include <string>

#include "VEKLib/Console.h"
#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "platform/Utf8.h"
#include "world/Loc.h"
#include "world/MapText.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        vek::ConsoleErr() << L"Usage: makemap SOURCE.txt TARGET.map" << std::endl;
        return 2;
    }
    const std::wstring source = platform::FromUtf8(argv[1]);
    const std::wstring target = platform::FromUtf8(argv[2]);
    try {
        CGameData game;
        game.SetLogSink([](const std::wstring&) {});
        g_gameData = &game;
        game.GetTableSet(kScriptTables).Load(L"en", false);

        std::wstring text;
        vek::CFile file(false, 0);
        file.Open(source, vek::CFile::kModeRead);
        file.ReadWholeText(text, vek::kEncodingUtf8, false);
        file.Close();

        CLoc loc;
        ReadMapText(loc, text, source, vek::GetTextAfterLast(target));
        loc.SaveToFile(target, true);
        g_gameData = nullptr;
    } catch (const vek::CException& e) {
        vek::ConsoleErr() << e.GetText() << std::endl;
        return 1;
    }
    return 0;
}
