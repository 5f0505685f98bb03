// The check of a script file named on the command line.
#include "VEKLib/Console.h"
#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Strings.h"
#include "rules/Hero.h"
#include "script/Script.h"
#include "script/ScriptException.h"
#include "shell/Game.h"

namespace {

// The named file itself, not a stored one of that name: what is checked is
// the file on the disk.
std::wstring ReadDiskScript(const std::wstring& fileName) {
    vek::CFile file(false, 0);
    file.Open(fileName, vek::CFile::kModeRead);
    std::wstring text;
    file.ReadWholeText(text, vek::kEncodingUtf8, false);
    file.Close();
    return text;
}

} // namespace

bool CGame::CheckDialogScript(const std::wstring& fileName, bool batch) {
    CScript script;
    // A file that cannot be read is the file layer's error, for the caller.
    const std::wstring text = ReadDiskScript(fileName);
    try {
        script.LoadText(text, fileName);
        script.Parse();
        // A conversation runs only with a partner: parsed and checked is all.
        if (!script.IsDialogScript()) {
            if (GetHero() == nullptr) {
                m_ownHero = std::make_unique<CHero>();
                SetHero(m_ownHero.get());
            }
            // Whatever the script does to the world is no new game's.
            m_worldFresh = false;
            script.ExecuteScript(kScriptTypeWhole);
        }
    } catch (const CScriptException& e) {
        if (batch) {
            e.Print();
        } else {
            e.ShowMessageBox();
        }
        return false;
    }
    vek::ConsoleOut() << L"Script OK." << std::endl;
    return true;
}
