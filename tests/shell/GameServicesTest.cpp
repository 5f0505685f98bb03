// The services behind the dialog words against the real game: the healer,
// the companions' orders, the bank; and the quest log's stored form.
#include <gtest/gtest.h>

#include "tests/shell/GameplayFixture.h"

namespace gameplaytest {
namespace {

class GameServices : public GameplayTest {};

struct TServiceRow {
    const char* what;
    std::function<void(CPlay&)> before;
    std::function<void(CPlay&)> service;
    std::wstring state;
};

void CheckServices(const std::vector<TServiceRow>& rows, const std::function<std::wstring(CPlay&)>& state) {
    for (const TServiceRow& row : rows) {
        CPlay play;
        if (row.before) {
            row.before(play);
        }
        row.service(play);
        EXPECT_EQ(state(play), row.state) << row.what;
    }
}

std::wstring Lines(CPlay& play) {
    std::wstring text;
    for (const std::wstring& line : play.Lines()) {
        text += L" | " + line;
    }
    return text;
}

TEST_F(GameServices, TheHealer) {
    const auto state = [](CPlay& play) {
        std::wstring text = L"limbs";
        for (int32_t limb : play.hero.limbs) {
            text += L" " + std::to_wstring(limb);
        }
        return text + L" states " + std::to_wstring(play.hero.states.size()) + Lines(play);
    };
    const auto hurt = [](std::array<int32_t, 4> limbs) {
        return [limbs](CPlay& play) {
            play.hero.limbs = limbs;
            play.hero.states = {CState{CState::kBleeding, 2, 30, 0}, CState{CState::kPoisoned, 1, 10, 0}};
        };
    };
    const auto cure = [](CPlay& play) { play.game.Cure(); };
    const auto cureLimb = [](CPlay& play) { play.game.CureLimb(); };
    CheckServices(
        {
            {"Cure: wounds and effects, not a lost limb", hurt({1, 2, 3, 0}), cure, L"limbs 0 0 3 0 states 0"},
            {"Cure of a sound hero", nullptr, cure, L"limbs 0 0 0 0 states 0"},
            {"CureLimb: the first lost limb", hurt({0, 3, 0, 3}), cureLimb,
             L"limbs 0 0 0 3 states 2 | log1 Restored: left arm."},
            {"CureLimb: the right arm", hurt({3, 0, 0, 0}), cureLimb,
             L"limbs 0 0 0 0 states 2 | log1 Restored: right arm."},
            {"CureLimb: the left leg", hurt({2, 2, 2, 3}), cureLimb,
             L"limbs 2 2 2 0 states 2 | log1 Restored: left leg."},
            {"CureLimb: nothing lost", hurt({2, 2, 2, 2}), cureLimb, L"limbs 2 2 2 2 states 2"},
        },
        state);
}

TEST_F(GameServices, CompanionsTakeOrders) {
    const auto state = [](CPlay& play) { return L"order " + std::to_wstring(play.hero.companionOrder) + Lines(play); };
    const auto companion = [](CPlay& play) { play.hero.companions = {1}; };
    const auto order = [](uint32_t what, uint32_t code) {
        return [what, code](CPlay& play) { play.game.OrderCompanion(what, code, play.game.GetCurrentLoc()); };
    };
    CheckServices(
        {
            {"attack", companion, order(0, 23), L"order 0 | log1 Attack!"},
            {"wait", companion, order(1, 24), L"order 1 | log1 Wait!"},
            {"follow", companion, order(3, 26), L"order 3 | log1 Follow!"},
            {"nobody to order", nullptr, order(1, 24), L"order 3"},
        },
        state);
}

// Ada keeps a bank: her conversation offers a deposit and a withdrawal.
const char kBanker[] =
    "default action Counter {\n"
    "    text = \"Bank|Bank\"\n"
    "    option \"Wplata|In\" bank_deposit\n"
    "    option \"Wyplata|Out\" bank_withdraw\n"
    "}\n";

uint32_t Coins(const CHero& hero) {
    uint32_t coins = 0;
    for (const CItem& item : hero.backpack) {
        coins += item.type == kCoin ? item.count : 0;
    }
    return coins;
}

// Money between the hero and the NPC he talks with, answered as the row says.
TEST_F(GameServices, TheBankOfTheNpcTalkedWith) {
    Write("Data/Scripts/ada.u", kBanker);
    enum : int32_t { kIn = 0, kOut = 1 };
    const struct {
        const char* what;
        uint32_t coins;
        uint32_t kept;
        int32_t option;
        std::optional<uint32_t> amount;
        std::wstring state;
        // An older game's deposit kept with the hero.
        uint32_t old = 0;
    } rows[] = {
        {"deposit 20 of 30", 30, 0, kIn, 20,
         L"pack[9x10] kept 20 | ask In: Deposit?\nCarried 30. | log1 Deposited 20."},
        {"deposit all", 30, 5, kIn, 30, L"pack[] kept 35 | ask In: Deposit?\nCarried 30. | log1 Deposited 30."},
        {"deposit more than he carries", 30, 0, kIn, 31,
         L"pack[9x30] kept 0 | ask In: Deposit?\nCarried 30. | log2 Not carried."},
        {"deposit nothing", 30, 0, kIn, 0, L"pack[9x30] kept 0 | ask In: Deposit?\nCarried 30."},
        {"the player cancels", 30, 0, kIn, std::nullopt, L"pack[9x30] kept 0 | ask In: Deposit?\nCarried 30."},
        {"no coins", 0, 0, kIn, 5, L"pack[] kept 0 | ask In: Deposit?\nCarried 0. | log2 Not carried."},
        {"the deposit would pass the largest count", 30, 4294967290u, kIn, 6,
         L"pack[9x30] kept 4294967290 | ask In: Deposit?\nCarried 30. | log2 Full."},
        {"the deposit reaches the largest count", 30, 4294967290u, kIn, 5,
         L"pack[9x25] kept 4294967295 | ask In: Deposit?\nCarried 30. | log1 Deposited 5."},
        {"withdraw 20 of 50", 0, 50, kOut, 20,
         L"pack[9x20] kept 30 | ask Out: Withdraw?\nKept 50. | log1 Withdrawn 20."},
        {"withdraw onto coins", 5, 50, kOut, 50,
         L"pack[9x55] kept 0 | ask Out: Withdraw?\nKept 50. | log1 Withdrawn 50."},
        {"withdraw more than is kept", 0, 50, kOut, 51,
         L"pack[] kept 50 | ask Out: Withdraw?\nKept 50. | log2 Not kept."},
        {"withdraw what an older game kept with the hero", 0, 10, kOut, 50,
         L"pack[9x50] kept 0 | ask Out: Withdraw?\nKept 50. | log1 Withdrawn 50.", 40},
        {"an older game's deposit up to the largest count", 0, 4294967290u, kOut, 0,
         L"pack[] kept 4294967295 | ask Out: Withdraw?\nKept 4294967295.", 10},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        CPlay play;
        CNpc& ada = play.Npc(L"Ada");
        if (row.coins != 0) {
            play.hero.backpack = {CItem(kCoin, row.coins)};
        }
        ada.SetBankDeposit(row.kept);
        play.hero.unused = row.old;
        play.display->amount = row.amount;
        const CNpc* partner = nullptr;
        play.display->player = [&] {
            partner = play.game.GetChatPartner();
            play.game.GetDialog().Choose(row.option);
        };
        int64_t result = 0;
        ASSERT_EQ(play.Run(L"NPCStartChat(\"Ada\", \"farm.map\")", result), -1) << platform::ToUtf8(play.thrown);
        EXPECT_EQ(partner, &ada);
        EXPECT_EQ(play.game.GetChatPartner(), nullptr);
        EXPECT_EQ(L"pack[" + play.Pack() + L"] kept " + std::to_wstring(ada.GetBankDeposit()) + Lines(play), row.state);
        // The script's own variable is the deposit.
        EXPECT_EQ(ada.script->FindVariable(CNpc::kBankDepositVariable, false)->GetValue(), ada.GetBankDeposit());
        // No coin made or lost.
        EXPECT_EQ(uint64_t{Coins(play.hero)} + ada.GetBankDeposit() + play.hero.unused,
                  uint64_t{row.coins} + row.kept + row.old);
        EXPECT_EQ(std::count_if(play.log.begin(), play.log.end(),
                                [](const std::wstring& line) { return line.starts_with(L"Bank: "); }),
                  1);
    }
}

// Coins the backpack cannot take stay with the NPC; without a partner, or
// once the partner is dead, or in another mode, nothing is asked.
TEST_F(GameServices, TheBankRefusesWhatItCannotDo) {
    Write("Data/Scripts/ada.u", kBanker);
    {
        CPlay play;
        for (uint16_t i = 0; i < CHero::kBackpackSlots; ++i) {
            play.hero.backpack.push_back(CItem(kKey, 1, false, static_cast<uint16_t>(i + 1)));
        }
        play.Npc(L"Ada").SetBankDeposit(50);
        play.display->amount = 20;
        play.display->player = [&] { play.game.GetDialog().Choose(1); };
        int64_t result = 0;
        ASSERT_EQ(play.Run(L"NPCStartChat(\"Ada\", \"farm.map\")", result), -1);
        EXPECT_EQ(play.Npc(L"Ada").GetBankDeposit(), 50u);
        EXPECT_EQ(Coins(play.hero), 0u);
        EXPECT_EQ(play.Lines().back(), L"log2 No room.");
    }
    const auto nothingAsked = [](const char* what, const std::function<void(CPlay&)>& act) {
        SCOPED_TRACE(what);
        CPlay play;
        play.hero.backpack = {CItem(kCoin, 30)};
        play.display->amount = 20;
        act(play);
        EXPECT_EQ(play.Lines(), Texts{});
        EXPECT_EQ(Coins(play.hero), 30u);
    };
    nothingAsked("nobody talked with", [](CPlay& play) { play.game.BankTransaction(play.game.GetCurrentLoc(), 1); });
    nothingAsked("another mode", [](CPlay& play) {
        play.display->player = [&] { play.game.BankTransaction(nullptr, 3); };
        play.game.TalkTo(play.Npc(L"Ada"));
    });
    nothingAsked("the partner is dead", [](CPlay& play) {
        CNpc& ada = play.Npc(L"Ada");
        play.display->player = [&] {
            ada.hitPoints = 0;
            play.game.GetDialog().Choose(0);
        };
        play.game.TalkTo(ada);
        EXPECT_EQ(ada.GetBankDeposit(), 0u);
    });
}

// The farm through the stream into another location, its NPCs set up as a
// saved game's are.
void SaveAndLoadFarm(CPlay& play, CLoc& loaded) {
    vek::StreamReset();
    play.Farm().SaveToFile(L"", false);
    loaded.LoadFromFile(L"", L"farm.map", false, true, false);
}

// The deposit goes with the NPC's stored form: it is loaded into the bank
// variable of the script the NPC reads again.
TEST_F(GameServices, TheDepositIsSavedWithTheNpc) {
    Write("Data/Scripts/ada.u", kBanker);
    CPlay play;
    play.Npc(L"Ada").SetBankDeposit(77);
    CLoc loaded;
    SaveAndLoadFarm(play, loaded);
    CNpc* ada = loaded.GetNpcAt(4, 4);
    ASSERT_NE(ada, nullptr);
    EXPECT_EQ(ada->GetBankDeposit(), 77u);
    ASSERT_TRUE(ada->script);
    EXPECT_EQ(ada->script->FindVariable(CNpc::kBankDepositVariable, false)->GetValue(), 77);
    // Bo has no script: his deposit is still his.
    CNpc* bo = loaded.GetNpcAt(6, 4);
    ASSERT_NE(bo, nullptr);
    EXPECT_FALSE(bo->script);
    EXPECT_EQ(bo->GetBankDeposit(), 0u);
    vek::StreamReset();
}

// A script may declare the bank variable itself, to start with a deposit;
// its conversation reads the deposit, and a saved one stands over the
// declared value when the NPC is loaded.
TEST_F(GameServices, TheScriptsOwnBankVariable) {
    Write("Data/Scripts/ada.u",
          "var BankDeposit = 5\n"
          "default action Counter {\n"
          "    if (BankDeposit > 10) {\n"
          "        text = \"Duzo|Much\"\n"
          "    } else {\n"
          "        text = \"Malo|Little\"\n"
          "    }\n"
          "    option \"Bywaj|Bye\" end\n"
          "}\n");
    CPlay play;
    EXPECT_EQ(play.Npc(L"Ada").GetBankDeposit(), 5u);
    play.Npc(L"Ada").SetBankDeposit(77);
    std::wstring shown;
    play.display->player = [&] {
        shown = play.game.GetDialog().GetText();
        play.game.GetDialog().Choose(0);
    };
    int64_t result = 0;
    ASSERT_EQ(play.Run(L"NPCStartChat(\"Ada\", \"farm.map\")", result), -1) << platform::ToUtf8(play.thrown);
    EXPECT_EQ(shown, L"Much");
    CLoc loaded;
    SaveAndLoadFarm(play, loaded);
    CNpc* ada = loaded.GetNpcAt(4, 4);
    ASSERT_NE(ada, nullptr);
    EXPECT_EQ(ada->GetBankDeposit(), 77u);
    vek::StreamReset();
}

TEST_F(GameServices, TheQuestLogIsStored) {
    CQuestLog log;
    log.Begin(TQuestLogEntry{L"herbs", L"T", L"D", L"Ada", 0});
    log.Begin(TQuestLogEntry{L"wolves", L"", L"", L"", 1});
    vek::StreamReset();
    log.Save();
    const auto bytes = vek::GetStream().bytes();
    const std::vector<uint8_t> all(bytes.begin(), bytes.end());
    // u32 count, then four texts (u32 count and UTF-16 units) and a byte each.
    EXPECT_EQ(all.size(), 4u + (4 + 10) + (4 + 2) + (4 + 2) + (4 + 6) + 1 + (4 + 12) + 4 * 3 + 1);
    CQuestLog loaded;
    loaded.Load();
    EXPECT_EQ(loaded.GetEntries(), log.GetEntries());
    // Cut short anywhere: refused, nothing changed.
    for (size_t cut = 1; cut < all.size(); cut += 7) {
        vek::StreamAssign(std::vector<uint8_t>(all.begin(), all.end() - static_cast<std::ptrdiff_t>(cut)));
        CQuestLog kept;
        kept.Begin(TQuestLogEntry{L"x", L"", L"", L"", 0});
        EXPECT_THROW(kept.Load(), vek::CFileException) << cut;
        EXPECT_EQ(kept.GetEntries().size(), 1u) << cut;
    }
    vek::StreamReset();
}

} // namespace
} // namespace gameplaytest
