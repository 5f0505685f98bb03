// The sample game scripts run on the sample tables: the herbalist's and the
// banker's conversations, the global declarations and the start-up commands
// that read them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Utf8.h"
#include "support/GameScriptFixture.h"

namespace gamescripttest {
namespace {

namespace fs = std::filesystem;

using Texts = std::vector<std::wstring>;

const fs::path kSourceRoot = fs::path(__FILE__).parent_path().parent_path().parent_path();

// The sample tables in the script language, read from the source folder,
// and the sample global declarations run and installed.
class GameScriptSample : public CGameScriptTest {
protected:
    void SetUp() override {
        CGameScriptTest::SetUp();
        m_cwd = fs::current_path();
        fs::current_path(kSourceRoot);
        CDefinitionTables& tables = m_game.GetTableSet(kScriptTables);
        tables = CDefinitionTables();
        tables.Load(L"pl", false);
        ASSERT_EQ(Load(m_global, L"_global.u"), -1);
        m_global.ExecuteScript(kScriptTypeDeclarations);
        CScript::SetGlobalScript(&m_global);
    }
    void TearDown() override {
        fs::current_path(m_cwd);
        CGameScriptTest::TearDown();
    }

    // Loads and parses a sample script; the script error's code, -1 when none.
    int Load(CScript& script, const std::wstring& name) {
        script.LoadFile(L"Data/Scripts/" + name);
        try {
            script.Parse();
            return -1;
        } catch (const CScriptException& e) {
            ADD_FAILURE() << platform::ToUtf8(e.GetText());
            return static_cast<int>(e.GetCode());
        }
    }
    void SetGlobal(const wchar_t* name, int64_t value) {
        CVariable* variable = m_global.FindVariable(name, false);
        ASSERT_NE(variable, nullptr);
        variable->SetValue(value);
    }

    fs::path m_cwd;
    CScript m_global;
};

// "pl|en" texts by their English half, for shorter expectations.
Texts English(const std::vector<TDialogNode>& nodes) {
    Texts texts;
    for (const TDialogNode& node : nodes) {
        texts.push_back(node.text.substr(node.text.find(L'|') + 1));
    }
    return texts;
}

TEST_F(GameScriptSample, EverySampleScriptParses) {
    size_t count = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator("Data/Scripts")) {
        if (entry.path().extension() != ".u") {
            continue;
        }
        CScript script;
        EXPECT_EQ(Load(script, platform::FromUtf8(entry.path().filename().string())), -1) << entry.path();
        ++count;
    }
    EXPECT_GE(count, 5u);
}

TEST_F(GameScriptSample, TheHerbalistSendsTheHeroForHerbs) {
    CScript herbalist;
    ASSERT_EQ(Load(herbalist, L"herbalist.u"), -1);
    EXPECT_TRUE(herbalist.IsDialogScript());
    const std::wstring greeting = L"Good day, traveller. Looking for herbs?",
                       errand = L"Bring me five goldworts from the marsh and I will pay in gold.",
                       thanks = L"I have no more work, but thank you for the goldworts.",
                       agreed = L"The marsh lies to the east. Mind the wolves.",
                       waiting = L"Have you got the goldworts yet?";
    const struct {
        const char* what;
        int64_t delivered;
        std::deque<int32_t> answers;
        Texts shown;
        size_t trades;
    } rounds[] = {
        {"asked for work", 0, {0, 1, 3}, {greeting, errand, greeting}, 0},
        {"the herbs delivered", 1, {0, 0, 1}, {greeting, thanks, greeting}, 1},
        {"the errand taken", 0, {0, 0, 0}, {greeting, errand, agreed}, 1},
        // From now on the herbalist opens with the question.
        {"waiting", 0, {0}, {waiting}, 1},
        {"waiting, then trade", 0, {1}, {waiting}, 2},
    };
    for (const auto& r : rounds) {
        SetGlobal(L"HerbsDelivered", r.delivered);
        m_window.shown.clear();
        m_window.answers = r.answers;
        EXPECT_EQ(Run(herbalist, kScriptTypeConversation), -1) << r.what;
        EXPECT_EQ(English(m_window.shown), r.shown) << r.what;
        EXPECT_EQ(m_windows.size(), r.trades) << r.what;
    }
    // Each text holds its Polish variant first.
    EXPECT_EQ(m_window.shown[0].text, L"Masz już żółtniki?|" + waiting);
    // The declarations, by the sample item table: 7 "żółtnik", 9 "złota moneta".
    TQuestItem herbs, payment;
    herbalist.GetItemByAlias(L"herbs", herbs);
    herbalist.GetItemByAlias(L"payment", payment);
    EXPECT_EQ(herbs.itemType, 7);
    EXPECT_EQ(herbs.count, 5u);
    EXPECT_EQ(payment.itemType, 9);
    EXPECT_EQ(payment.count, 12u);
    EXPECT_EQ(herbalist.GetExtraData().items.size(), 2u);
}

// The "bank" word holds the banker's conversation inside another.
TEST_F(GameScriptSample, TheBankerTalksThroughTheBankWord) {
    CScript bank;
    ASSERT_EQ(Load(bank, L"bank.u"), -1);
    m_host.bank = &bank;
    CScript guard;
    ASSERT_EQ(Parse(guard, L"default action Gate {\ntext = \"Straż|Guard\"\noption \"Do banku|To the bank\" bank\n}"),
              -1);
    const std::wstring welcome = L"Welcome. Your gold is safe with me.",
                       explain = L"You leave your gold with me and collect it from me. I charge no fee.";
    const struct {
        std::deque<int32_t> answers;
        Texts shown;
        Texts calls;
    } cases[] = {
        {{0, 0}, {L"Guard", welcome}, {L"BankTransaction 1 nowhere"}},
        {{0, 1}, {L"Guard", welcome}, {L"BankTransaction 2 nowhere"}},
        {{0, 2, 0}, {L"Guard", welcome, explain}, {L"BankTransaction 1 nowhere"}},
        {{0, 2, 1}, {L"Guard", welcome, explain}, {}},
        {{0, 3}, {L"Guard", welcome}, {}},
    };
    for (const auto& c : cases) {
        m_window.shown.clear();
        m_window.answers = c.answers;
        m_host.calls.clear();
        EXPECT_EQ(Run(guard, kScriptTypeConversation), -1);
        EXPECT_EQ(English(m_window.shown), c.shown);
        EXPECT_EQ(m_host.calls, c.calls);
    }
}

// The start-up commands read the global "StartSupplies"; the built-ins they
// call are recorded here, as the game's come later.
class CRecordingScript : public CScript {
public:
    void ExecuteFunction(const std::wstring& name, bool, const std::wstring&) override {
        const std::wstring count = PopArgString();
        calls.push_back(name + L"(" + PopArgString() + L", " + count + L")");
    }
    using CScript::ExecuteFunction;
    Texts calls;
};

TEST_F(GameScriptSample, TheStartUpCommandsReadTheGlobals) {
    const struct {
        int64_t supplies;
        Texts calls;
    } cases[] = {
        {1, {L"AddInvItem(żółtnik, 2)", L"AddInvItem(strzała, 10)"}},
        {0, {}},
        {2, {}},
    };
    for (const auto& c : cases) {
        SetGlobal(L"StartSupplies", c.supplies);
        CRecordingScript commands;
        ASSERT_EQ(Load(commands, L"_onload_c.u"), -1);
        EXPECT_FALSE(commands.IsDialogScript());
        EXPECT_EQ(Run(commands, kScriptTypeWhole), -1);
        EXPECT_EQ(commands.calls, c.calls) << c.supplies;
    }
    // The declarations' own values, before any game changed them.
    const struct {
        const wchar_t* name;
        int64_t value;
    } declared[] = {{L"LocWorldX", 0}, {L"LocWorldY", 0}, {L"BanditsBeaten", 0}, {L"HerbsDelivered", 0}};
    for (const auto& d : declared) {
        ASSERT_NE(m_global.FindVariable(d.name, false), nullptr) << platform::ToUtf8(d.name);
        EXPECT_EQ(m_global.FindVariable(d.name, false)->GetValue(), d.value) << platform::ToUtf8(d.name);
    }
}

} // namespace
} // namespace gamescripttest
