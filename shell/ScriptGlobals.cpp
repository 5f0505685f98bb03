#include "shell/ScriptGlobals.h"

#include <utility>
#include <vector>

#include "VEKLib/Exception.h"
#include "data/GameData.h"
#include "script/ScriptException.h"

namespace {

void Log(const std::wstring& line) {
    if (g_gameData) {
        g_gameData->Log(line);
    }
}

void Report(const CScriptException& e) {
    Log(e.GetText());
    e.ShowMessageBox();
}

} // namespace

CGlobals& Globals() {
    static CGlobals globals;
    return globals;
}

void CGlobals::LoadDeclarations(const std::wstring& fileName, bool keep) {
    Log(L"Loading global declarations...");
    std::vector<CVariable> kept;
    if (keep) {
        kept = m_declarations.GetParseResults().Variables();
    }
    m_declarations.Reset();
    m_startUp.Reset();
    // Nothing kept (the first load): what the file declared stands.
    const auto restore = [&] {
        if (keep && !kept.empty()) {
            m_declarations.SetDeclaredVariables(std::move(kept));
        }
    };
    try {
        try {
            m_declarations.LoadFile(fileName);
        } catch (const CScriptException&) {
            throw;
        } catch (const vek::CException& e) {
            // A file that cannot be read is reported as the script's error.
            Log(e.GetText());
            m_declarations.SetFileName(fileName);
            throw CScriptException(kErrCannotOpenFile, L"M_Globals", L"CGlobals::LoadDeclarations", __LINE__,
                                   m_declarations);
        }
        m_declarations.Parse();
        m_declarations.ExecuteScript(kScriptTypeDeclarations);
    } catch (const CScriptException& e) {
        Report(e);
    } catch (...) {
        // Any other fault of the game is the caller's; the game's values
        // must not go with it.
        restore();
        throw;
    }
    restore();
}

void CGlobals::Save() const {
    m_declarations.Save();
    CountObject();
}

void CGlobals::Load() {
    m_declarations.Load();
    CountObject();
}
