// The services behind the dialog words: the healer, the companions' orders
// and the bank.
#include <algorithm>
#include <limits>
#include <optional>

#include "VEKLib/Format.h"
#include "rules/Hero.h"
#include "rules/Item.h"
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
    if (m_hero == nullptr || (mode != 1 && mode != 2)) {
        return;
    }
    CHero& hero = *m_hero;
    TQuestItem coins(CItem::kMoneyType);
    coins.count = TQuestItem::kAnyCount;
    std::vector<uint16_t> slots;
    const uint32_t carried = hero.CollectMatchingItems(coins, slots);
    const bool deposit = mode == 1;
    // A deposit never takes the account past the largest count.
    const uint32_t most =
        deposit ? std::min(carried, std::numeric_limits<uint32_t>::max() - hero.bankDeposit) : hero.bankDeposit;
    const std::optional<uint32_t> asked =
        m_display->AskNumber(m_strings.Get(deposit ? L"STR_BANK_DEPOSIT_ASK" : L"STR_BANK_WITHDRAW_ASK"), most);
    const uint32_t amount = std::min(asked.value_or(0), most);
    if (amount == 0) {
        return;
    }
    if (deposit) {
        coins.count = amount;
        hero.RemoveItems(coins);
        hero.bankDeposit += amount;
        AddMessage(vek::Format(m_strings.Get(L"STR_BANK_DEPOSITED"), amount));
        return;
    }
    if (hero.AddToInventory(CItem(CItem::kMoneyType, amount)) != CHero::kInventoryTaken) {
        AddMessage(m_strings.Get(L"STR_BANK_NO_ROOM"), kMessageWarning);
        return;
    }
    hero.bankDeposit -= amount;
    AddMessage(vek::Format(m_strings.Get(L"STR_BANK_WITHDRAWN"), amount));
}
