// The services behind the dialog words: the healer, the companions' orders
// and the bank.
#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "VEKLib/Format.h"
#include "rules/Hero.h"
#include "rules/Item.h"
#include "rules/Monster.h"
#include "script/Records.h"
#include "shell/Game.h"

namespace {

// The message of each companion order's code.
const wchar_t* OrderMessage(uint32_t code) {
    switch (code) {
    case 23:
        return L"STR_MSG_COMPANION_ATTACK";
    case 24:
        return L"STR_MSG_COMPANION_WAIT";
    default:
        return L"STR_MSG_COMPANION_FOLLOW";
    }
}

// The modes of BankTransaction.
constexpr uint32_t kBankDeposit = 1;
constexpr uint32_t kBankWithdraw = 2;

// What a transaction works on: the hero's coins and what the NPC keeps.
struct TBankAccount {
    bool deposit = false;
    uint32_t carried = 0;
    uint32_t kept = 0;
    const wchar_t* Name() const { return deposit ? L"deposit" : L"withdrawal"; }
};

// The gold coins in the backpack.
uint32_t CarriedCoins(const CHero& hero) {
    TQuestItem coins(CItem::kMoneyType);
    coins.count = TQuestItem::kAnyCount;
    std::vector<uint16_t> slots;
    return hero.CollectMatchingItems(coins, slots);
}

// The partner while it is still one of the game's living NPCs: a script of
// the conversation may have killed it, and its location let it go.
CNpc* LivingPartner(CNpc* partner, const std::vector<CNpc*>& npcs) {
    const bool listed = std::find(npcs.begin(), npcs.end(), partner) != npcs.end();
    return partner != nullptr && listed && partner->IsAlive() ? partner : nullptr;
}

// What a game saved before NPCs kept the bank kept for the hero goes to the
// first bank he uses, as much as it can take.
void TakeOverHerosDeposit(CHero& hero, CNpc& banker) {
    const uint32_t kept = banker.GetBankDeposit();
    const uint32_t moved = std::min(hero.unused, std::numeric_limits<uint32_t>::max() - kept);
    if (moved > 0) {
        banker.SetBankDeposit(kept + moved);
        hero.unused -= moved;
    }
}

// The number window's question: the caption, and the prompt with what the
// giver holds under it.
std::optional<uint32_t> AskAmount(IGameDisplay& display, const CStringResource& strings, const TBankAccount& account) {
    const bool in = account.deposit;
    const std::wstring prompt =
        strings.Get(in ? L"STR_BANK_DEPOSIT_ASK" : L"STR_BANK_WITHDRAW_ASK") + L"\n" +
        vek::Format(strings.Get(in ? L"STR_BANK_CARRIED" : L"STR_BANK_KEPT"), in ? account.carried : account.kept);
    return display.AskNumber(strings.Get(in ? L"STR_BANK_CAPTION_DEPOSIT" : L"STR_BANK_CAPTION_WITHDRAW"), prompt);
}

// The message that refuses an amount the counts do not allow; null when
// they do.
const wchar_t* CountRefusal(const TBankAccount& account, uint32_t amount) {
    if (amount > (account.deposit ? account.carried : account.kept)) {
        return account.deposit ? L"STR_BANK_TOO_MUCH_DEPOSIT" : L"STR_BANK_TOO_MUCH_WITHDRAW";
    }
    if (account.deposit && amount > std::numeric_limits<uint32_t>::max() - account.kept) {
        return L"STR_BANK_FULL";
    }
    return nullptr;
}

// The coins between the backpack and the NPC; false, and nothing moved, when
// the backpack does not take them.
bool MoveCoins(CHero& hero, CNpc& banker, const TBankAccount& account, uint32_t amount) {
    if (account.deposit) {
        TQuestItem coins(CItem::kMoneyType);
        coins.count = amount;
        hero.RemoveItems(coins);
    } else if (hero.AddToInventory(CItem(CItem::kMoneyType, amount)) != CHero::kInventoryTaken) {
        return false;
    }
    banker.SetBankDeposit(account.deposit ? account.kept + amount : account.kept - amount);
    return true;
}

} // namespace

void CGame::Cure() { m_gameplay.Cure(); }

void CGame::CureLimb() { m_gameplay.CureLimb(); }

void CGame::OrderCompanion(uint32_t order, uint32_t code, CLoc*) {
    if (m_hero == nullptr || m_hero->companions.empty()) {
        return;
    }
    m_hero->companionOrder = order;
    AddMessage(m_strings.Get(OrderMessage(code)));
}

void CGame::BankTransaction(CLoc*, uint32_t mode) {
    // 1. The bank of the NPC the hero talks with.
    CNpc* banker = LivingPartner(m_chatPartner, m_npcs);
    if (m_hero == nullptr || banker == nullptr || (mode != kBankDeposit && mode != kBankWithdraw)) {
        return;
    }
    TakeOverHerosDeposit(*m_hero, *banker);
    const TBankAccount account{mode == kBankDeposit, CarriedCoins(*m_hero), banker->GetBankDeposit()};
    // 2. The amount.
    const std::optional<uint32_t> asked = AskAmount(*m_display, m_strings, account);
    const uint32_t amount = asked.value_or(0);
    // 3. Refused whole, or nothing to move.
    const wchar_t* refusal = CountRefusal(account, amount);
    if (refusal == nullptr && amount > 0 && !MoveCoins(*m_hero, *banker, account, amount)) {
        refusal = L"STR_BANK_NO_ROOM";
    }
    if (refusal != nullptr) {
        AddMessage(m_strings.Get(refusal), kMessageWarning);
        Log(vek::Format(L"Bank: %s of %lu gold with %s refused (carried %lu, kept %lu).", account.Name(), amount,
                        banker->name, account.carried, account.kept));
        return;
    }
    if (amount == 0) {
        Log(vek::Format(L"Bank: no %s with %s (%s).", account.Name(), banker->name,
                        asked.has_value() ? L"nothing asked for" : L"no answer"));
        return;
    }
    // 4. Told and logged.
    AddMessage(vek::Format(m_strings.Get(account.deposit ? L"STR_BANK_DEPOSITED" : L"STR_BANK_WITHDRAWN"), amount));
    Log(vek::Format(L"Bank: %s of %lu gold with %s; carried %lu, kept %lu.", account.Name(), amount, banker->name,
                    CarriedCoins(*m_hero), banker->GetBankDeposit()));
}
