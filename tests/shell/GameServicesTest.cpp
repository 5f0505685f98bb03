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

TEST_F(GameServices, TheBank) {
    const auto state = [](CPlay& play) {
        return L"pack[" + play.Pack() + L"] bank " + std::to_wstring(play.hero.bankDeposit) + Lines(play);
    };
    const auto account = [](uint32_t coins, uint32_t deposit, std::optional<uint32_t> answer) {
        return [=](CPlay& play) {
            if (coins != 0) {
                play.hero.backpack = {CItem(kCoin, coins)};
            }
            play.hero.bankDeposit = deposit;
            play.display->amount = answer;
        };
    };
    const auto deposit = [](CPlay& play) { play.game.BankTransaction(play.game.GetCurrentLoc(), 1); };
    const auto withdraw = [](CPlay& play) { play.game.BankTransaction(play.game.GetCurrentLoc(), 2); };
    const auto full = [](CPlay& play) {
        for (uint16_t i = 0; i < CHero::kBackpackSlots; ++i) {
            play.hero.backpack.push_back(CItem(kKey, 1, false, static_cast<uint16_t>(i + 1)));
        }
        play.hero.bankDeposit = 50;
        play.display->amount = 20;
    };
    CheckServices(
        {
            {"deposit 20 of 30", account(30, 0, 20), deposit,
             L"pack[9x10] bank 20 | ask Deposit? 30 | log1 Deposited 20."},
            {"deposit all", account(30, 5, 30), deposit, L"pack[] bank 35 | ask Deposit? 30 | log1 Deposited 30."},
            {"deposit more than he has", account(30, 0, 31), deposit,
             L"pack[] bank 30 | ask Deposit? 30 | log1 Deposited 30."},
            {"deposit nothing", account(30, 0, 0), deposit, L"pack[9x30] bank 0 | ask Deposit? 30"},
            {"the player cancels", account(30, 0, std::nullopt), deposit, L"pack[9x30] bank 0 | ask Deposit? 30"},
            {"no coins", account(0, 0, 5), deposit, L"pack[] bank 0 | ask Deposit? 0"},
            {"the account is nearly full", account(30, 4294967290u, 30), deposit,
             L"pack[9x25] bank 4294967295 | ask Deposit? 5 | log1 Deposited 5."},
            {"withdraw 20 of 50", account(0, 50, 20), withdraw,
             L"pack[9x20] bank 30 | ask Withdraw? 50 | log1 Withdrawn 20."},
            {"withdraw onto coins", account(5, 50, 50), withdraw,
             L"pack[9x55] bank 0 | ask Withdraw? 50 | log1 Withdrawn 50."},
            {"withdraw more than there is", account(0, 50, 51), withdraw,
             L"pack[9x50] bank 0 | ask Withdraw? 50 | log1 Withdrawn 50."},
            {"withdraw into a full backpack", full, withdraw,
             L"pack[" + std::wstring() + L"] bank 50 | ask Withdraw? 50 | log2 No room."},
            {"another mode", account(30, 50, 20), [](CPlay& p) { p.game.BankTransaction(nullptr, 3); },
             L"pack[9x30] bank 50"},
        },
        [&](CPlay& play) {
            // A full backpack of keys shows as nothing here.
            if (!play.hero.backpack.empty() && play.hero.backpack[0].type == kKey) {
                play.hero.backpack.clear();
            }
            return state(play);
        });
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
