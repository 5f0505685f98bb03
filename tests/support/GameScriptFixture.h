#pragma once
// The game that game scripts run in during tests: a configuration with the
// languages a test asks for, a few items and monsters, a display that records
// the windows opened, a conversation window that plays a queue of answers and
// a game side that records the dialog words' services.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "data/GameData.h"
#include "data/GameDisplay.h"
#include "script/Script.h"
#include "script/ScriptException.h"
#include "support/Files.h"

namespace gamescripttest {

// Remembers the windows opened; the rest does nothing.
class CRecordingDisplay final : public IGameDisplay {
public:
    struct TWindow {
        uint32_t id, mode, extra;
        bool operator==(const TWindow&) const = default;
    };
    void AddMessage(const std::wstring&, uint32_t, bool) override {}
    void ShowMessage(const std::wstring&, uint32_t) override {}
    void ShowImportantMessage(const std::wstring&, const std::wstring&, bool) override {}
    void OpenWindow(uint32_t id, uint32_t mode, uint32_t extra) override { windows->push_back({id, mode, extra}); }
    void SetInputMode(uint32_t) override {}
    void Draw() override {}
    void CenterView() override {}
    void UpdateAutomapImage() override {}
    void RunModalLoop() override {
        ++*modalLoops;
        if (onModalLoop) {
            onModalLoop();
        }
    }
    bool HasWindow() const override { return false; }
    void ShowMessageBox(const std::wstring&) override {}

    std::vector<TWindow>* windows = nullptr;
    int* modalLoops = nullptr;
    std::function<void()> onModalLoop; // what the game does while a window waits
};

// Shows each node by remembering it and answers with the next choice of its
// queue; an empty queue ends the conversation (-1).
class CFakeWindow final : public IConversationWindow {
public:
    void ShowNode(const TDialogNode& node) override {
        shown.push_back(node);
        if (answers.empty()) {
            m_answer = -1;
        } else {
            m_answer = answers.front();
            answers.pop_front();
        }
    }
    int32_t GetAnswer() const override { return m_answer; }

    std::deque<int32_t> answers;
    std::vector<TDialogNode> shown;

private:
    int32_t m_answer = -1;
};

// Records the services the dialog words ask for, one line each.
class CFakeGame final : public IScriptGame {
public:
    IConversationWindow* GetConversationWindow() override { return window; }
    CScript* GetBankScript() override { return bank; }
    void Cure() override { calls.push_back(L"Cure"); }
    void CureLimb() override { calls.push_back(L"CureLimb"); }
    void OrderCompanion(uint32_t order, uint32_t code, CLoc* location) override {
        calls.push_back(L"OrderCompanion " + std::to_wstring(order) + L" " + std::to_wstring(code) +
                        (location ? L" here" : L" nowhere"));
    }
    void KeepInputMode() override { calls.push_back(L"KeepInputMode"); }
    void BankTransaction(CLoc* location, uint32_t mode) override {
        calls.push_back(L"BankTransaction " + std::to_wstring(mode) + (location ? L" here" : L" nowhere"));
    }

    IConversationWindow* window = nullptr;
    CScript* bank = nullptr;
    std::vector<std::wstring> calls;
};

// Items by position in the script tables: 0 "key", 1 "herb", 2 "coin".
// Monsters: 0 "wolf".
class CGameScriptTest : public testing::Test {
protected:
    void SetUp() override {
        UseLanguages(L"pl|en", L"en");
        for (const wchar_t* name : {L"key", L"herb", L"coin"}) {
            TItemInfo item;
            item.name = name;
            m_game.GetTableSet(kScriptTables).items.push_back(item);
        }
        TMonsterInfo wolf;
        wolf.name = L"wolf";
        m_game.GetTableSet(kScriptTables).monsters.push_back(wolf);
        m_game.SetLogSink([](const std::wstring&) {});
        auto display = std::make_unique<CRecordingDisplay>();
        display->windows = &m_windows;
        display->modalLoops = &m_modalLoops;
        m_display = display.get();
        m_game.SetDisplay(std::move(display));
        g_gameData = &m_game;
        m_host.window = &m_window;
        SetScriptGame(&m_host);
    }
    void TearDown() override {
        SetScriptGame(nullptr);
        CScript::SetGlobalScript(nullptr);
        g_gameData = nullptr;
    }

    // The configuration's languages and display language.
    void UseLanguages(const std::wstring& languages, const std::wstring& display) {
        const std::filesystem::path file =
            std::filesystem::path(testing::TempDir()) / ("game_script_" + std::to_string(::getpid()) + ".ini");
        testsupport::WriteBytes(file, platform::ToUtf8(L"[config]\nall_available_langs = \"" + languages +
                                                       L"\"\nlang = \"" + display + L"\"\n"));
        m_game.GetConfig().SetFileName(testsupport::Wide(file));
        m_game.GetConfig().Load();
        std::filesystem::remove(file);
    }

    // Loads and parses; the code of the script error, -1 when none.
    int Parse(CScript& script, const std::wstring& text) {
        script.LoadText(text, L"test.u");
        try {
            script.Parse();
            return -1;
        } catch (const CScriptException& e) {
            m_errorLine = e.GetScriptLine();
            m_errorFunction = e.GetFunction();
            m_errorDetails = e.GetDetails();
            return static_cast<int>(e.GetCode());
        }
    }
    // Runs a script type; the code of the script error, -1 when none.
    int Run(CScript& script, uint32_t type) {
        try {
            script.ExecuteScript(type);
            return -1;
        } catch (const CScriptException& e) {
            m_errorLine = e.GetScriptLine();
            m_errorFunction = e.GetFunction();
            m_errorDetails = e.GetDetails();
            return static_cast<int>(e.GetCode());
        }
    }
    // The shown nodes' texts, in order.
    std::vector<std::wstring> ShownTexts() const {
        std::vector<std::wstring> texts;
        for (const TDialogNode& node : m_window.shown) {
            texts.push_back(node.text);
        }
        return texts;
    }

    CGameData m_game;
    std::vector<CRecordingDisplay::TWindow> m_windows;
    int m_modalLoops = 0;
    CRecordingDisplay* m_display = nullptr;
    CFakeWindow m_window;
    CFakeGame m_host;
    uint32_t m_errorLine = 0;
    std::wstring m_errorFunction;
    std::wstring m_errorDetails;
};

} // namespace gamescripttest
