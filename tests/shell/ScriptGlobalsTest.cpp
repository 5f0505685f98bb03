// The global declarations: reloading with and without keeping the values,
// errors shown in the "Script Error" box while loading goes on, and their
// stored form.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Stream.h"
#include "data/GameData.h"
#include "platform/Prompt.h"
#include "platform/Utf8.h"
#include "script/ScriptException.h"
#include "shell/ScriptGlobals.h"
#include "support/Files.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::wstring>;

class CRecordingPrompt final : public platform::IPrompt {
public:
    platform::PromptAnswer AbortRetryIgnore(std::wstring_view title, std::wstring_view text) override {
        shown.push_back(std::wstring(title) + L": " + std::wstring(text));
        return platform::PromptAnswer::kIgnore;
    }
    Texts shown;
};

class ScriptGlobals : public testsupport::ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        m_game.SetLogSink([this](const std::wstring& line) { m_log.push_back(line); });
        g_gameData = &m_game;
        platform::SetPrompt(&m_prompt);
        vek::StreamReset();
    }
    void TearDown() override {
        vek::StreamReset();
        platform::SetPrompt(nullptr);
        g_gameData = nullptr;
        ScratchFolder::TearDown();
    }

    std::wstring Write(const std::string& name, const std::string& text) {
        testsupport::WriteBytes(m_dir / name, text);
        return testsupport::Wide(m_dir / name);
    }
    // "name=value" of every global variable, in order.
    Texts Variables() {
        Texts texts;
        for (const CVariable& v : m_globals.GetDeclarations().GetParseResults().Variables()) {
            texts.push_back(v.GetName() + L"=" + std::to_wstring(v.GetValue()));
        }
        return texts;
    }
    void Set(const wchar_t* name, int64_t value) {
        CVariable* variable = m_globals.GetDeclarations().FindVariable(name, false);
        ASSERT_NE(variable, nullptr);
        variable->SetValue(value);
    }

    CGameData m_game;
    Texts m_log;
    CRecordingPrompt m_prompt;
    CGlobals m_globals;
};

TEST_F(ScriptGlobals, ReloadsKeepTheGamesValuesOrTheFiles) {
    const std::wstring first = Write("_global.u", "var Gold = 1\nvar Quest = 2\n");
    const std::wstring second = Write("more/_global.u", "var Gold = 1\nvar Quest = 2\nvar Added = 3\n");
    const struct {
        const char* what;
        std::wstring file;
        bool keep;
        Texts variables;
    } steps[] = {
        // Nothing loaded before: keeping has nothing to keep.
        {"first load, kept", first, true, {L"Gold=1", L"Quest=2"}},
        // The game changes Gold to 9 (below) before each further step.
        {"kept over a file that adds one", second, true, {L"Gold=9", L"Quest=2"}},
        {"not kept", second, false, {L"Gold=1", L"Quest=2", L"Added=3"}},
        {"kept again", first, true, {L"Gold=9", L"Quest=2", L"Added=3"}},
        {"not kept again", first, false, {L"Gold=1", L"Quest=2"}},
    };
    for (const auto& s : steps) {
        m_log.clear();
        m_globals.LoadDeclarations(s.file, s.keep);
        EXPECT_EQ(Variables(), s.variables) << s.what;
        EXPECT_EQ(m_log, (Texts{L"Loading global declarations..."})) << s.what;
        Set(L"Gold", 9);
    }
    EXPECT_TRUE(m_prompt.shown.empty());
}

// The kept values are the script's own again: its functions and other
// scripts read them.
TEST_F(ScriptGlobals, KeptValuesAreTheOnesScriptsRead) {
    const std::wstring file =
        Write("_global.u", "var Gold = 1\nvar Quest = 2\nfunction AfterStart() {\nincr Quest\n}\n");
    m_globals.LoadDeclarations(file, false);
    Set(L"Quest", 40);
    const std::wstring reordered =
        Write("b/_global.u", "var Quest = 2\nvar Gold = 1\nfunction AfterStart() {\nincr Quest\n}\n");
    m_globals.LoadDeclarations(reordered, true);
    CScript& declarations = m_globals.GetDeclarations();
    declarations.ExecuteUserFunction(L"AfterStart", 0, L"", true, true);
    EXPECT_EQ(Variables(), (Texts{L"Gold=1", L"Quest=41"}));
    CScript::SetGlobalScript(&declarations);
    CScript reader;
    reader.LoadText(L"incr quest\n", L"reader.u");
    reader.Parse();
    reader.ExecuteScript(kScriptTypeWhole);
    CScript::SetGlobalScript(nullptr);
    EXPECT_EQ(Variables(), (Texts{L"Gold=1", L"Quest=42"}));
}

TEST_F(ScriptGlobals, ErrorsAreShownAndLoadingGoesOn) {
    // Each named as the declarations are, which are not warned about unused variables.
    const std::wstring good = Write("good/_global.u", "var Gold = 1\nvar Quest = 2\n");
    const std::wstring parseError = Write("parse/_global.u", "var Gold = 5\nvar Quest =\n");
    const std::wstring runError = Write("run/_global.u", "var Gold = 5\nincr Missing\n");
    const std::wstring missing = testsupport::Wide(m_dir / "missing" / "_global.u");
    const std::wstring notText = Write("binary/_global.u", std::string("var Gold = 5\n\0\x01", 15));
    const struct {
        const char* what;
        std::wstring file;
        bool keep;
        const wchar_t* message;
        Texts variables;
    } cases[] = {
        {"parse error", parseError, false, L"Value expected", {L"Gold=5"}},
        {"parse error, kept", parseError, true, L"Value expected", {L"Gold=9", L"Quest=2"}},
        {"run error", runError, false, L"Variable not found", {L"Gold=5"}},
        {"run error, kept", runError, true, L"Variable not found", {L"Gold=9", L"Quest=2"}},
        {"missing file", missing, false, L"Cannot open file", {}},
        {"missing file, kept", missing, true, L"Cannot open file", {L"Gold=9", L"Quest=2"}},
        {"unreadable file", notText, false, L"Cannot open file", {}},
    };
    for (const auto& c : cases) {
        m_globals.LoadDeclarations(good, false);
        Set(L"Gold", 9);
        m_prompt.shown.clear();
        m_log.clear();
        m_globals.LoadDeclarations(c.file, c.keep);
        EXPECT_EQ(Variables(), c.variables) << c.what;
        ASSERT_EQ(m_prompt.shown.size(), 1u) << c.what;
        EXPECT_EQ(m_prompt.shown[0], L"Script Error: Error in script file '" + c.file +
                                         L"'. Press Abort to terminate the program, Retry to debug the script "
                                         L"engine or Ignore to continue.\n\n" +
                                         c.message)
            << c.what;
        // The log has the step's line and the error.
        ASSERT_GE(m_log.size(), 2u) << c.what;
        EXPECT_EQ(m_log[0], L"Loading global declarations...") << c.what;
    }
}

// A fault of the game that a built-in meets is no script error: it passes on
// with its own text, and the kept values stand again.
TEST_F(ScriptGlobals, OtherExceptionsPassOn) {
    const std::wstring good = Write("good/_global.u", "var Gold = 1\nvar Quest = 2\n");
    const std::wstring faulty = Write("faulty/_global.u", "var Gold = 5\nDefineTradeItem(\"#x\", 1, 2, 3)\n");
    const struct {
        bool keep;
        Texts variables;
    } cases[] = {
        {false, {L"Gold=5"}},
        {true, {L"Gold=9", L"Quest=2"}},
    };
    for (const auto& c : cases) {
        m_globals.LoadDeclarations(good, false);
        Set(L"Gold", 9);
        m_prompt.shown.clear();
        std::wstring thrown;
        try {
            m_globals.LoadDeclarations(faulty, c.keep);
            ADD_FAILURE() << "nothing thrown";
        } catch (const CScriptException& e) {
            ADD_FAILURE() << "a script error: " << platform::ToUtf8(e.GetText());
        } catch (const vek::CException& e) {
            thrown = e.GetText();
        }
        EXPECT_NE(thrown.find(L"Invalid item name: #x"), std::wstring::npos) << platform::ToUtf8(thrown);
        EXPECT_TRUE(m_prompt.shown.empty()) << c.keep;
        EXPECT_EQ(Variables(), c.variables) << c.keep;
    }
}

TEST_F(ScriptGlobals, TheStartUpScriptIsResetWithTheDeclarations) {
    CScript& startUp = m_globals.GetStartUpScript();
    startUp.LoadText(L"var x = 1\nprintln x\n", L"_onload_c.u");
    startUp.Parse();
    m_globals.LoadDeclarations(Write("_global.u", "var Gold = 1\n"), false);
    EXPECT_FALSE(startUp.IsLoaded());
    EXPECT_FALSE(startUp.IsParsed());
    EXPECT_TRUE(startUp.GetParseResults().Variables().empty());
    EXPECT_TRUE(startUp.GetParseResults().Commands().empty());
}

void PutText(Bytes& bytes, const std::wstring& text) {
    for (uint64_t v = text.size(), i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    for (wchar_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
}

// "Gold", value 7, declared by var: value kind 3, not bound, no scope.
Bytes GoldBytes(uint8_t value) {
    Bytes bytes = {1, 0, 0, 0};
    PutText(bytes, L"Gold");
    const Bytes fixed = {3, 0, 0, 0, 0, value, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    bytes.insert(bytes.end(), fixed.begin(), fixed.end());
    bytes.insert(bytes.end(), 8, 0xFF);
    return bytes;
}

TEST_F(ScriptGlobals, SavedAsTheDeclarationsVariablesAndOneObjectMore) {
    m_globals.LoadDeclarations(Write("_global.u", "var Gold = 7\n"), false);
    // The script on its own: the variable, the table, the script.
    vek::StreamReset();
    m_globals.GetDeclarations().Save();
    const uint32_t scriptCount = vek::GetStream().objectCount();
    EXPECT_EQ(scriptCount, 3u);
    vek::StreamReset();
    m_globals.Save();
    const Bytes written(vek::GetStream().bytes().begin(), vek::GetStream().bytes().end());
    EXPECT_EQ(written, GoldBytes(7));
    EXPECT_EQ(vek::GetStream().objectCount(), scriptCount + 1);

    // Loading puts the saved values in place.
    vek::StreamAssign(GoldBytes(12));
    const uint32_t before = vek::GetStream().objectCount();
    m_globals.Load();
    EXPECT_EQ(vek::GetStream().objectCount(), before + 4);
    EXPECT_EQ(Variables(), (Texts{L"Gold=12"}));
}

} // namespace
