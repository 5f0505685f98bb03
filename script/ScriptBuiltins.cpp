// The game's built-in functions (ids 2 to 71) and the script types that run
// them: the trade set-up (type 4) and a function straight through (types 6
// and 7). Each built-in takes its arguments last first, checks them, turns
// names into types and asks the game's side (CGameplayInterface) for the work.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "data/Globals.h"
#include "script/GameplayInterface.h"
#include "script/ScopedValue.h"
#include "script/Script.h"
#include "script/ScriptException.h"

namespace {

constexpr const wchar_t* kExecuteFunction = L"CScript::ExecuteFunction";
constexpr const wchar_t* kExecuteScript = L"CScript::ExecuteScript";

CGameplayInterface* g_gameplay = nullptr;

// Item class of ammunition.
constexpr uint8_t kAmmunitionClass = 22;
// Every trade profile's stock begins with this item kind and value.
constexpr uint16_t kProfileItemType = 9;
constexpr uint16_t kProfileItemValue = 7;
// Random item of a trade stock.
constexpr uint16_t kRandomTradeItem = 65535;
// CreateDungeonSite: a site is whole world cells of 20 x 15, at most 50 x 50
// of them (larger ones would not fit the world, and their cells would not
// fit memory), with 1 to 1000 levels.
constexpr uint32_t kSiteCellWidth = 20;
constexpr uint32_t kSiteCellHeight = 15;
constexpr uint32_t kMaxSiteWidth = 50 * kSiteCellWidth;
constexpr uint32_t kMaxSiteHeight = 50 * kSiteCellHeight;
constexpr uint32_t kMaxSiteLevels = 1000;
// NPCAddSpell: spell levels 1 to 100.
constexpr uint32_t kMaxSpellLevel = 100;
// HeroLearnSkill: the most a level byte holds.
constexpr uint32_t kMaxSkillLevel = 255;
// NPCSetAttitude: 0 to 2.
constexpr uint32_t kMaxAttitude = 2;
// Seconds of the elapsed-time built-ins' units: an hour, a "day" of 43,200
// s, a month of 30 of them, a year of 12 months.
constexpr uint32_t kHour = 3600;
constexpr uint32_t kDiffDay = 43200;
constexpr uint32_t kDiffMonth = 30 * kDiffDay;
constexpr uint32_t kDiffYear = 12 * kDiffMonth;
// Hero attributes by index.
enum : uint32_t { kStrength = 0, kDexterity = 1, kVitality = 2, kIntelligence = 3, kAppearance = 4 };

bool SameName(const std::wstring& a, const std::wstring& b) { return TNoCaseEqual()(a, b); }

// The corpse of the monster that the alias's declared value names. Only
// HasHeroSomeItem takes "##" alone for an ordinary alias.
bool IsCorpseAlias(const std::wstring& alias, bool anyQuantity) {
    return alias.starts_with(L"##") && (!anyQuantity || alias.size() > 2);
}

int32_t Clamped(uint64_t value) {
    return static_cast<int32_t>(std::min<uint64_t>(value, std::numeric_limits<int32_t>::max()));
}

int32_t Elapsed(uint32_t unit) {
    const uint32_t seconds = g_gameData != nullptr ? g_gameData->GetElapsedTime() : 0;
    // Up to 3,732,480,000 s: as a signed number it would turn negative.
    return Clamped(seconds / unit);
}

} // namespace

CGameplayInterface* GetGameplay() { return g_gameplay; }

void SetGameplay(CGameplayInterface* gameplay) { g_gameplay = gameplay; }

// One built-in being run: its arguments (taken last first) and its errors.
struct TBuiltinCall {
    CScript& script;
    CGameplayInterface* game;

    std::wstring Text() { return script.PopArgString(); }
    int32_t Int() { return script.PopArgInt(); }
    uint32_t Unsigned() { return static_cast<uint32_t>(script.PopArgInt()); }
    float Float() { return script.PopArgFloat(); }

    [[noreturn]] void Fail(EScriptError code, uint32_t line) { script.RaiseHere(code, kExecuteFunction, line); }

    // The item type of that name (a "#" number, an item, "##" a corpse);
    // error 67 when nothing has that name.
    uint16_t Item(const std::wstring& name) {
        const uint16_t type = g_gameData != nullptr ? g_gameData->GetItemByName(name) : kNoItem;
        if (type == kNoItem) {
            Fail(kErrItemNotFound, __LINE__);
        }
        return type;
    }
    // The declared item of the alias; error 68 when none ran.
    TQuestItem Alias(const std::wstring& alias) {
        TQuestItem item;
        script.GetItemByAlias(alias, item);
        return item;
    }
    void LoadTradeProfile(const std::wstring& profile, float factor1, float factor2, uint32_t a, uint32_t b,
                          uint32_t c) {
        script.LoadTradeProfile(profile, factor1, factor2, a, b, c);
    }
    // The NPC that the game is defining; error 69 when there is none.
    void RequireCurrentNpc() {
        if (g_gameData == nullptr || g_gameData->GetCurrentNpc() == nullptr) {
            Fail(kErrNpcNotFound, __LINE__);
        }
    }
};

namespace {

using TBuiltinRun = int32_t (*)(TBuiltinCall&);

struct TBuiltin {
    const wchar_t* name;
    const wchar_t* signature;
    TBuiltinRun run;
};

// --- Items for the hero --------------------------------------------------------------------

uint16_t Property(uint32_t value) { return static_cast<uint16_t>(value); }

int32_t Wield(TBuiltinCall& call, const TItemOrder& item) {
    if (call.game != nullptr && !call.game->HeroWield(item)) {
        call.Fail(kErrBadFunctionResult, __LINE__);
    }
    return 0;
}

int32_t Take(TBuiltinCall& call, const TItemOrder& item, EScriptError refused) {
    if (call.game != nullptr && call.game->HeroAddToInventory(item) != 2) {
        call.Fail(refused, __LINE__);
    }
    return 0;
}

// Ammunition only: error 65 for any other item class.
uint16_t Ammunition(TBuiltinCall& call, const std::wstring& name) {
    const uint16_t type = call.Item(name);
    const auto& items = g_gameData->GetTables().items;
    if (type >= items.size() || items[type].category != kAmmunitionClass) {
        call.Fail(kErrNoFunctionResult, __LINE__);
    }
    return type;
}

// EquipItem (item name)
int32_t EquipItem(TBuiltinCall& call) {
    const uint16_t type = call.Item(call.Text());
    return Wield(call, TItemOrder{type, 1, true, 0, 0});
}

// AddInvItem (item name, quantity)
int32_t AddInvItem(TBuiltinCall& call) {
    const uint32_t quantity = call.Unsigned();
    const uint16_t type = call.Item(call.Text());
    return Take(call, TItemOrder{type, quantity, false, 0, 0}, kErrBadFunctionResult);
}

// AddInvItemByAlias (alias)
int32_t AddInvItemByAlias(TBuiltinCall& call) {
    const std::wstring alias = call.Text();
    if (alias.starts_with(L"##")) {
        call.Fail(kErrInvalidArgumentValue, __LINE__);
    }
    const TQuestItem item = call.Alias(alias);
    return Take(call, TItemOrder{item.itemType, item.count, false, 0, 0}, kErrNoFunctionResult);
}

// AddInvItemEx (item name, quantity, property 1, property 2, unused)
int32_t AddInvItemEx(TBuiltinCall& call) {
    call.Unsigned();
    const uint32_t property2 = call.Unsigned();
    const uint32_t property1 = call.Unsigned();
    const uint32_t quantity = call.Unsigned();
    const uint16_t type = call.Item(call.Text());
    // 16 asks for random properties.
    const bool random = property1 == 16;
    return Take(call, TItemOrder{type, quantity, random, Property(property1), Property(property2)},
                kErrBadFunctionResult);
}

// EquipItemBS (item name, property)
int32_t EquipItemBS(TBuiltinCall& call) {
    const uint32_t property = call.Unsigned();
    const uint16_t type = call.Item(call.Text());
    return Wield(call, TItemOrder{type, 1, false, Property(property), 0});
}

// EquipAmmo (item name, quantity)
int32_t EquipAmmo(TBuiltinCall& call) {
    const uint32_t quantity = call.Unsigned();
    const uint16_t type = Ammunition(call, call.Text());
    return Wield(call, TItemOrder{type, quantity, true, 0, 0});
}

// EquipAmmoBS (item name, quantity, property)
int32_t EquipAmmoBS(TBuiltinCall& call) {
    const uint32_t property = call.Unsigned();
    const uint32_t quantity = call.Unsigned();
    const uint16_t type = Ammunition(call, call.Text());
    return Wield(call, TItemOrder{type, quantity, false, Property(property), 0});
}

// GiveItem (alias)
int32_t GiveItem(TBuiltinCall& call) {
    const TQuestItem item = call.Alias(call.Text());
    if (call.game != nullptr) {
        call.game->HeroGiveItem(TItemOrder{item.itemType, item.count, false, 0, 0});
    }
    return 0;
}

// TakeItem (alias)
int32_t TakeItem(TBuiltinCall& call) {
    const TQuestItem item = call.Alias(call.Text());
    if (call.game != nullptr) {
        call.game->HeroRemoveItems(item);
    }
    return 0;
}

// HasHeroItem (alias) and HasHeroSomeItem (alias): whether the hero carries
// the declared quantity, or any.
int32_t HasItems(TBuiltinCall& call, bool anyQuantity) {
    const std::wstring alias = call.Text();
    TQuestItem item = call.Alias(alias);
    if (IsCorpseAlias(alias, anyQuantity)) {
        // The declared value reads "##" and the monster's name.
        std::wstring monster = call.script.FindItemAlias(alias);
        if (monster.starts_with(L"##")) {
            monster.erase(0, 2);
        }
        const uint16_t kind =
            g_gameData != nullptr && !monster.empty() ? g_gameData->FindMonsterType(monster) : kNoMonster;
        if (kind == kNoMonster || uint32_t{kCorpseBase} + kind >= kNoItem) {
            call.Fail(kErrMonsterNotFound, __LINE__);
        }
        item.itemType = static_cast<uint16_t>(kCorpseBase + kind);
    }
    if (anyQuantity) {
        item.count = TQuestItem::kAnyCount;
    }
    return call.game != nullptr && call.game->HeroHasItems(item) ? 1 : 0;
}

int32_t HasHeroItem(TBuiltinCall& call) { return HasItems(call, false); }
int32_t HasHeroSomeItem(TBuiltinCall& call) { return HasItems(call, true); }

// --- The hero ----------------------------------------------------------------------------------

int32_t IsPlayerWoman(TBuiltinCall& call) { return call.game != nullptr && call.game->IsPlayerWoman() ? 1 : 0; }

int32_t HeroIsAnyLimbMissing(TBuiltinCall& call) {
    constexpr int32_t kLimbLost = 3;
    return call.game != nullptr && (call.game->HeroGetLimb(0) == kLimbLost || call.game->HeroIsAnyLimbMissing()) ? 1
                                                                                                                 : 0;
}

// HeroLearnSkill (skill name, level)
int32_t HeroLearnSkill(TBuiltinCall& call) {
    // A level beyond a byte is the byte's most, not what is left of it
    // there; the hero's rules hold the skill's own highest.
    const uint32_t level = std::min(call.Unsigned(), kMaxSkillLevel);
    const std::wstring name = call.Text();
    if (call.game != nullptr) {
        call.game->HeroLearnSkill(call.game->FindSkill(name), static_cast<uint8_t>(level));
    }
    return 0;
}

// HeroGetSkillLevel (skill name)
int32_t HeroGetSkillLevel(TBuiltinCall& call) {
    const std::wstring name = call.Text();
    return call.game != nullptr ? call.game->HeroGetSkillLevel(call.game->FindSkill(name)) : 0;
}

int32_t Attribute(TBuiltinCall& call, uint32_t attribute) {
    return call.game != nullptr ? Clamped(call.game->HeroGetAttribute(attribute)) : 0;
}

int32_t HeroGetStrength(TBuiltinCall& call) { return Attribute(call, kStrength); }
int32_t HeroGetDexterity(TBuiltinCall& call) { return Attribute(call, kDexterity); }
int32_t HeroGetIntelligence(TBuiltinCall& call) { return Attribute(call, kIntelligence); }
int32_t HeroGetVitality(TBuiltinCall& call) { return Attribute(call, kVitality); }
int32_t HeroGetAppearance(TBuiltinCall& call) { return Attribute(call, kAppearance); }

// AddCompanion (monster name, location)
int32_t AddCompanion(TBuiltinCall& call) {
    const std::wstring location = call.Text();
    const std::wstring monster = call.Text();
    if (call.game != nullptr) {
        call.game->AddCompanion(monster, location);
    }
    return 0;
}

// --- The NPC being defined ------------------------------------------------------------------------

// NPCAddInvItem (item name, quantity)
int32_t NPCAddInvItem(TBuiltinCall& call) {
    const uint32_t quantity = call.Unsigned();
    const uint16_t type = call.Item(call.Text());
    call.RequireCurrentNpc();
    if (call.game != nullptr) {
        call.game->NPCAddInvItem(type, quantity);
    }
    return 0;
}

// NPCAddSpell (spell name, level)
int32_t NPCAddSpell(TBuiltinCall& call) {
    // Checked whole: a level above 65535 must not pass as what is left of
    // it in 16 bits.
    const uint32_t level = call.Unsigned();
    const std::wstring name = call.Text();
    if (level == 0 || level > kMaxSpellLevel) {
        call.Fail(kErrInvalidArgumentValue, __LINE__);
    }
    const std::vector<TSpellInfo>* spells = g_gameData != nullptr ? &g_gameData->GetTables().spells : nullptr;
    const size_t count = spells != nullptr ? std::min<size_t>(spells->size(), 0x10000) : 0;
    size_t spell = 0;
    while (spell < count && !SameName((*spells)[spell].name, name)) {
        ++spell;
    }
    if (spell == count) {
        call.Fail(kErrSpellNotFound, __LINE__);
    }
    call.RequireCurrentNpc();
    if (call.game != nullptr) {
        call.game->NPCAddSpell(static_cast<uint16_t>(spell), static_cast<uint16_t>(level));
    }
    return 0;
}

// --- NPCs --------------------------------------------------------------------------------------

// NPCIsAlive (name, location)
int32_t NPCIsAlive(TBuiltinCall& call) {
    const std::wstring location = call.Text();
    const std::wstring name = call.Text();
    return call.game != nullptr && call.game->NPCIsAlive(name, location) ? 1 : 0;
}

// NPCIsPresentInLoc (name, home, location)
int32_t NPCIsPresentInLoc(TBuiltinCall& call) {
    const std::wstring location = call.Text();
    const std::wstring home = call.Text();
    const std::wstring name = call.Text();
    return call.game != nullptr && call.game->IsNPCPresentInLoc(name, home, location) ? 1 : 0;
}

// NPCSetGroup (name, location, group)
int32_t NPCSetGroup(TBuiltinCall& call) {
    const std::wstring group = call.Text();
    const std::wstring location = call.Text();
    const std::wstring name = call.Text();
    if (call.game != nullptr) {
        call.game->NPCSetGroup(name, location, group);
    }
    return 0;
}

// NPCStartChat (name, location)
int32_t NPCStartChat(TBuiltinCall& call) {
    const std::wstring location = call.Text();
    const std::wstring name = call.Text();
    if (call.game != nullptr) {
        call.game->NPCStartChat(name, location);
    }
    return 0;
}

// NPCSetAttitude (name, location, attitude)
int32_t NPCSetAttitude(TBuiltinCall& call) {
    const uint32_t attitude = call.Unsigned();
    const std::wstring location = call.Text();
    const std::wstring name = call.Text();
    if (attitude > kMaxAttitude) {
        call.Fail(kErrInvalidArgumentValue, __LINE__);
    }
    if (call.game != nullptr) {
        call.game->NPCChangeAttitude(name, location, attitude);
    }
    return 0;
}

// NPCAddEnemy (name, location, enemy's name, enemy's location)
int32_t NPCAddEnemy(TBuiltinCall& call) {
    const std::wstring enemyLocation = call.Text();
    const std::wstring enemy = call.Text();
    const std::wstring location = call.Text();
    const std::wstring name = call.Text();
    if (call.game != nullptr) {
        call.game->NPCAddEnemy(name, location, enemy, enemyLocation);
    }
    return 0;
}

// NPCMakeHeroEnemy (name, location)
int32_t NPCMakeHeroEnemy(TBuiltinCall& call) {
    const std::wstring location = call.Text();
    const std::wstring name = call.Text();
    if (call.game != nullptr) {
        call.game->NPCMakeHeroEnemy(name, location);
    }
    return 0;
}

int32_t NPCFollowHero(TBuiltinCall& call) {
    if (call.game != nullptr) {
        call.game->NPCFollowHero(call.script);
    }
    return 0;
}

int32_t NPCUnfollowHero(TBuiltinCall& call) {
    if (call.game != nullptr) {
        call.game->NPCUnfollowHero(call.script);
    }
    return 0;
}

// KillNPC (location, name, home)
int32_t KillNPC(TBuiltinCall& call) {
    const std::wstring home = call.Text();
    const std::wstring name = call.Text();
    const std::wstring location = call.Text();
    if (call.game != nullptr) {
        call.game->KillNPC(location, name, home);
    }
    return 0;
}

// NPCSetActivity (name, location, activity)
int32_t NPCSetActivity(TBuiltinCall& call) {
    const uint32_t activity = call.Unsigned();
    const std::wstring location = call.Text();
    const std::wstring name = call.Text();
    if (call.game != nullptr) {
        call.game->NPCSetActivity(name, location, activity);
    }
    return 0;
}

int32_t Activate(TBuiltinCall& call, bool on) {
    const std::wstring location = call.Text();
    const std::wstring name = call.Text();
    if (call.game != nullptr) {
        call.game->NPCActivate(name, location, on);
    }
    return 0;
}

// NPCActivate (name, location) and NPCDeactivate (name, location)
int32_t NPCActivate(TBuiltinCall& call) { return Activate(call, true); }
int32_t NPCDeactivate(TBuiltinCall& call) { return Activate(call, false); }

// --- Groups, battles and quests ------------------------------------------------------------------

// AddGroup (group)
int32_t AddGroup(TBuiltinCall& call) {
    const std::wstring group = call.Text();
    if (call.game != nullptr) {
        call.game->AddGroup(group);
    }
    return 0;
}

// AddMonsterToGroup (monster, location, x, y, group)
int32_t AddMonsterToGroup(TBuiltinCall& call) {
    const std::wstring group = call.Text();
    const uint32_t y = call.Unsigned();
    const uint32_t x = call.Unsigned();
    const std::wstring location = call.Text();
    const std::wstring monster = call.Text();
    if (call.game != nullptr) {
        call.game->AddMonsterToGroup(monster, location, x, y, group);
    }
    return 0;
}

// Battle (battle, group 1, group 2)
int32_t Battle(TBuiltinCall& call) {
    const std::wstring group2 = call.Text();
    const std::wstring group1 = call.Text();
    const std::wstring battle = call.Text();
    if (call.game != nullptr) {
        call.game->StartBattle(battle, group1, group2);
    }
    return 0;
}

// IsBattleEnded (battle)
int32_t IsBattleEnded(TBuiltinCall& call) {
    const std::wstring battle = call.Text();
    return call.game != nullptr && !call.game->BattleWinner(battle).empty() ? 1 : 0;
}

// HasGroupWonBattle (battle, group)
int32_t HasGroupWonBattle(TBuiltinCall& call) {
    const std::wstring group = call.Text();
    const std::wstring battle = call.Text();
    if (call.game == nullptr) {
        return 0;
    }
    // The winner's name as it is: a group named in other letters has not won.
    const std::wstring winner = call.game->BattleWinner(battle);
    return !winner.empty() && winner == group ? 1 : 0;
}

// BeginQuest (name, title, description, giver)
int32_t BeginQuest(TBuiltinCall& call) {
    const std::wstring giver = call.Text();
    const std::wstring description = call.Text();
    const std::wstring title = call.Text();
    const std::wstring name = call.Text();
    if (call.game != nullptr) {
        call.game->BeginQuest(name, title, description, giver);
    }
    return 0;
}

// EndQuest (name)
int32_t EndQuest(TBuiltinCall& call) {
    const std::wstring name = call.Text();
    if (call.game != nullptr) {
        call.game->EndQuest(name);
    }
    return 0;
}

// --- Messages ------------------------------------------------------------------------------------

// MsgLog (string key, message type)
int32_t MsgLog(TBuiltinCall& call) {
    const uint32_t type = call.Unsigned();
    const std::wstring key = call.Text();
    if (g_gameData != nullptr) {
        g_gameData->AddMessage(g_gameData->GetStrings().Get(key), type, false);
    }
    return 0;
}

// MsgBox (string key)
int32_t MsgBox(TBuiltinCall& call) {
    const std::wstring key = call.Text();
    if (g_gameData != nullptr) {
        g_gameData->ShowImportantMessage(g_gameData->GetStrings().Get(key), false);
    }
    return 0;
}

// _Test (number, text)
int32_t Test(TBuiltinCall& call) {
    const size_t count = call.script.GetArgumentCount();
    const std::wstring text = call.Text();
    const int32_t number = call.Int();
    std::wostream& out = call.script.Console().Output();
    out << L"Args: " << count << L"\nArg 2: " << text << L"\nArg 1: " << number << L'\n';
    out.flush();
    return 0;
}

// --- The world and its locations --------------------------------------------------------------------

// SetStartLoc (location, x, y)
int32_t SetStartLoc(TBuiltinCall& call) {
    const uint32_t y = call.Unsigned();
    const uint32_t x = call.Unsigned();
    const std::wstring location = call.Text();
    if (call.game != nullptr) {
        call.game->SetStartLoc(location, x, y);
    }
    return 0;
}

// CreateDungeonSite (width, height, levels, location, x, y)
int32_t CreateDungeonSite(TBuiltinCall& call) {
    const uint32_t y = call.Unsigned();
    const uint32_t x = call.Unsigned();
    const std::wstring location = call.Text();
    const uint32_t levels = call.Unsigned();
    const uint32_t height = call.Unsigned();
    const uint32_t width = call.Unsigned();
    if (width < kSiteCellWidth || width % kSiteCellWidth != 0 || width > kMaxSiteWidth) {
        call.Fail(kErrInvalidArgumentValue, __LINE__);
    }
    if (height < kSiteCellHeight || height % kSiteCellHeight != 0 || height > kMaxSiteHeight) {
        call.Fail(kErrInvalidArgumentValue, __LINE__);
    }
    if (levels == 0 || levels > kMaxSiteLevels) {
        call.Fail(kErrInvalidArgumentValue, __LINE__);
    }
    if (call.game != nullptr) {
        call.game->CreateDungeonSite(static_cast<uint16_t>(width), static_cast<uint16_t>(height),
                                     static_cast<uint16_t>(levels), location, x, y);
    }
    return 0;
}

// Reveal (number, not used)
int32_t Reveal(TBuiltinCall& call) {
    call.Int();
    if (call.game != nullptr) {
        call.game->RevealCurrentLoc();
    }
    return 0;
}

// AddLocLightEffect (location file, a, r, g, b)
int32_t AddLocLightEffect(TBuiltinCall& call) {
    auto channel = [&call]() { return static_cast<uint32_t>(std::clamp(call.Int(), 0, 255)); };
    const uint32_t b = channel();
    const uint32_t g = channel();
    const uint32_t r = channel();
    const uint32_t a = channel();
    const std::wstring location = call.Text();
    if (call.game != nullptr) {
        call.game->AddLocEffect(location, 0, (a << 24) | (r << 16) | (g << 8) | b);
    }
    return 0;
}

// AddObject (location, x, y, object)
int32_t AddObject(TBuiltinCall& call) {
    const uint32_t object = call.Unsigned();
    const uint32_t y = call.Unsigned();
    const uint32_t x = call.Unsigned();
    const std::wstring location = call.Text();
    if (call.game != nullptr) {
        call.game->AddObject(location, x, y, object);
    }
    return 0;
}

// DeleteObject (location, x, y)
int32_t DeleteObject(TBuiltinCall& call) {
    const uint32_t y = call.Unsigned();
    const uint32_t x = call.Unsigned();
    const std::wstring location = call.Text();
    if (call.game != nullptr) {
        call.game->DeleteObject(location, x, y);
    }
    return 0;
}

int32_t SetSpecial(TBuiltinCall& call, uint8_t active) {
    const uint32_t y = call.Unsigned();
    const uint32_t x = call.Unsigned();
    const std::wstring location = call.Text();
    if (call.game != nullptr) {
        call.game->SetSpecialActive(location, x, y, active);
    }
    return 0;
}

// ActivateSpecial (location, x, y) and DeactivateSpecial (location, x, y)
int32_t ActivateSpecial(TBuiltinCall& call) { return SetSpecial(call, 1); }
int32_t DeactivateSpecial(TBuiltinCall& call) { return SetSpecial(call, 0); }

// AddItem (location, item name, x, y)
int32_t AddItem(TBuiltinCall& call) {
    const uint32_t y = call.Unsigned();
    const uint32_t x = call.Unsigned();
    const std::wstring item = call.Text();
    const std::wstring location = call.Text();
    if (call.game != nullptr) {
        call.game->AddItem(location, item, x, y);
    }
    return 0;
}

// DeleteItem (location, item name, x, y)
int32_t DeleteItem(TBuiltinCall& call) {
    const uint32_t y = call.Unsigned();
    const uint32_t x = call.Unsigned();
    const std::wstring item = call.Text();
    const std::wstring location = call.Text();
    if (call.game != nullptr) {
        call.game->DeleteItem(location, item, x, y);
    }
    return 0;
}

// DeleteAllItems (location, x, y)
int32_t DeleteAllItems(TBuiltinCall& call) {
    const uint32_t y = call.Unsigned();
    const uint32_t x = call.Unsigned();
    const std::wstring location = call.Text();
    if (call.game != nullptr) {
        call.game->DeleteAllItems(location, x, y);
    }
    return 0;
}

// AddMonster (location, monster name, x, y)
int32_t AddMonster(TBuiltinCall& call) {
    const uint32_t y = call.Unsigned();
    const uint32_t x = call.Unsigned();
    const std::wstring monster = call.Text();
    const std::wstring location = call.Text();
    if (call.game != nullptr) {
        call.game->AddMonster(location, monster, x, y);
    }
    return 0;
}

// DeleteAllMonsters (location)
int32_t DeleteAllMonsters(TBuiltinCall& call) {
    const std::wstring location = call.Text();
    if (call.game != nullptr) {
        call.game->DeleteAllMonsters(location);
    }
    return 0;
}

// AnyAliveMonster (location)
int32_t AnyAliveMonster(TBuiltinCall& call) {
    const std::wstring location = call.Text();
    return call.game != nullptr && call.game->AnyAliveMonster(location) ? 1 : 0;
}

// AddDragon (location, monster name, x, y)
int32_t AddDragon(TBuiltinCall& call) {
    const uint32_t y = call.Unsigned();
    const uint32_t x = call.Unsigned();
    const std::wstring monster = call.Text();
    const std::wstring location = call.Text();
    if (call.game != nullptr) {
        call.game->AddDragon(location, monster, x, y);
    }
    return 0;
}

// --- Trade ----------------------------------------------------------------------------------------------

// LoadTradeProfile (profile, factor 1, factor 2, a, b, c)
int32_t LoadTradeProfile(TBuiltinCall& call) {
    const uint32_t c = call.Unsigned();
    const uint32_t b = call.Unsigned();
    const uint32_t a = call.Unsigned();
    const float factor2 = call.Float();
    const float factor1 = call.Float();
    const std::wstring profile = call.Text();
    call.LoadTradeProfile(profile, factor1, factor2, a, b, c);
    return 0;
}

// DefineTradeItem (item name, a, b, c)
int32_t DefineTradeItem(TBuiltinCall& call) {
    const uint32_t c = call.Unsigned();
    const uint32_t b = call.Unsigned();
    const uint32_t a = call.Unsigned();
    const uint16_t type = call.Item(call.Text());
    call.script.GetExtraData().trade.items.push_back(TTradeItem{type, static_cast<uint16_t>(a), b, c});
    return 0;
}

// DefineRandomTradeItem (a, b)
int32_t DefineRandomTradeItem(TBuiltinCall& call) {
    const uint32_t b = call.Unsigned();
    const uint32_t a = call.Unsigned();
    call.script.GetExtraData().trade.items.push_back(TTradeItem{kRandomTradeItem, static_cast<uint16_t>(a), 0, b});
    return 0;
}

// DefineBuyCategory (category)
int32_t DefineBuyCategory(TBuiltinCall& call) {
    call.script.GetExtraData().trade.buyCategories.push_back(static_cast<uint16_t>(call.Unsigned()));
    return 0;
}

// --- Time since the hero left the location ---------------------------------------------------------------

int32_t DiffSeconds(TBuiltinCall&) { return Elapsed(1); }
int32_t DiffHours(TBuiltinCall&) { return Elapsed(kHour); }
int32_t DiffDays(TBuiltinCall&) { return Elapsed(kDiffDay); }
int32_t DiffMonths(TBuiltinCall&) { return Elapsed(kDiffMonth); }
int32_t DiffYears(TBuiltinCall&) { return Elapsed(kDiffYear); }

// Ids 2 to 71 in order: the entry of id n is kBuiltins[n - 2].
constexpr TBuiltin kBuiltins[] = {
    {L"SetStartLoc", L"snn", SetStartLoc},
    {L"EquipItem", L"s", EquipItem},
    {L"AddInvItem", L"sn", AddInvItem},
    {L"AddInvItemByAlias", L"s", AddInvItemByAlias},
    {L"NPCAddInvItem", L"sn", NPCAddInvItem},
    {L"CreateDungeonSite", L"nnnsnn", CreateDungeonSite},
    {L"Reveal", L"n", Reveal},
    {L"LoadTradeProfile", L"sffnnn", LoadTradeProfile},
    {L"DefineTradeItem", L"snnn", DefineTradeItem},
    {L"DefineRandomTradeItem", L"nn", DefineRandomTradeItem},
    {L"DefineBuyCategory", L"n", DefineBuyCategory},
    {L"HasHeroItem", L"s", HasHeroItem},
    {L"HasHeroSomeItem", L"s", HasHeroSomeItem},
    {L"NPCIsAlive", L"ss", NPCIsAlive},
    {L"NPCIsPresentInLoc", L"sss", NPCIsPresentInLoc},
    {L"_Test", L"ns", Test},
    {L"NPCAddSpell", L"sn", NPCAddSpell},
    {L"AddGroup", L"s", AddGroup},
    {L"AddMonsterToGroup", L"ssnns", AddMonsterToGroup},
    {L"NPCSetGroup", L"sss", NPCSetGroup},
    {L"NPCStartChat", L"ss", NPCStartChat},
    {L"BeginQuest", L"ssss", BeginQuest},
    {L"EndQuest", L"s", EndQuest},
    {L"Battle", L"sss", Battle},
    {L"NPCSetAttitude", L"ssn", NPCSetAttitude},
    {L"AddDragon", L"ssnn", AddDragon},
    {L"NPCAddEnemy", L"ssss", NPCAddEnemy},
    {L"NPCMakeHeroEnemy", L"ss", NPCMakeHeroEnemy},
    {L"IsBattleEnded", L"s", IsBattleEnded},
    {L"HasGroupWonBattle", L"ss", HasGroupWonBattle},
    {L"MsgLog", L"sn", MsgLog},
    {L"MsgBox", L"s", MsgBox},
    {L"AddLocLightEffect", L"snnnn", AddLocLightEffect},
    {L"IsPlayerWoman", L"", IsPlayerWoman},
    {L"EquipAmmo", L"sn", EquipAmmo},
    {L"AddCompanion", L"ss", AddCompanion},
    {L"NPCFollowHero", L"", NPCFollowHero},
    {L"NPCUnfollowHero", L"", NPCUnfollowHero},
    {L"AddInvItemEx", L"snnnn", AddInvItemEx},
    {L"EquipItemBS", L"sn", EquipItemBS},
    {L"EquipAmmoBS", L"snn", EquipAmmoBS},
    {L"KillNPC", L"sss", KillNPC},
    {L"NPCSetActivity", L"ssn", NPCSetActivity},
    {L"NPCActivate", L"ss", NPCActivate},
    {L"NPCDeactivate", L"ss", NPCDeactivate},
    {L"GiveItem", L"s", GiveItem},
    {L"TakeItem", L"s", TakeItem},
    {L"AddObject", L"snnn", AddObject},
    {L"DeleteObject", L"snn", DeleteObject},
    {L"ActivateSpecial", L"snn", ActivateSpecial},
    {L"DeactivateSpecial", L"snn", DeactivateSpecial},
    {L"AddItem", L"ssnn", AddItem},
    {L"DeleteItem", L"ssnn", DeleteItem},
    {L"DeleteAllItems", L"snn", DeleteAllItems},
    {L"AddMonster", L"ssnn", AddMonster},
    {L"DeleteAllMonsters", L"s", DeleteAllMonsters},
    {L"AnyAliveMonster", L"s", AnyAliveMonster},
    {L"HeroIsAnyLimbMissing", L"", HeroIsAnyLimbMissing},
    {L"HeroLearnSkill", L"sn", HeroLearnSkill},
    {L"HeroGetSkillLevel", L"s", HeroGetSkillLevel},
    {L"HeroGetStrength", L"", HeroGetStrength},
    {L"HeroGetDexterity", L"", HeroGetDexterity},
    {L"HeroGetIntelligence", L"", HeroGetIntelligence},
    {L"HeroGetVitality", L"", HeroGetVitality},
    {L"HeroGetAppearance", L"", HeroGetAppearance},
    {L"DiffSeconds", L"", DiffSeconds},
    {L"DiffHours", L"", DiffHours},
    {L"DiffDays", L"", DiffDays},
    {L"DiffMonths", L"", DiffMonths},
    {L"DiffYears", L"", DiffYears},
};
static_assert(std::size(kBuiltins) == CScript::kLastBuiltin - CScript::kFirstBuiltin + 1);

} // namespace

// --- Registry and dispatch --------------------------------------------------------------------------------

void CScript::RegisterBuiltins() {
    // Every game script registers the same names: one text of each serves all.
    static const std::vector<std::pair<CSharedText, CSharedText>> kTexts = [] {
        std::vector<std::pair<CSharedText, CSharedText>> texts;
        for (const TBuiltin& builtin : kBuiltins) {
            texts.emplace_back(builtin.name, builtin.signature);
        }
        return texts;
    }();
    uint32_t id = kFirstBuiltin;
    for (const auto& [name, signature] : kTexts) {
        RegisterFunction(name, id++, signature, 0, 0, 0);
    }
}

void CScript::ExecuteFunction(const std::wstring& name, bool assign, const std::wstring& target) {
    if (FindSystemFunction(name) < 0) {
        RaiseHere(kErrFunctionNotFound, kExecuteFunction, __LINE__);
    }
    CScriptBase::ExecuteFunction(name, assign, target);
}

int32_t CScript::ExecuteFunction(uint32_t index) {
    const std::vector<TSystemFunction>& registry = GetRegistry();
    if (index >= registry.size()) {
        return CScriptBase::ExecuteFunction(index);
    }
    const uint32_t id = registry[index].id;
    if (id < kFirstBuiltin || id > kLastBuiltin) {
        return CScriptBase::ExecuteFunction(id);
    }
    TBuiltinCall call{*this, GetGameplay()};
    try {
        return kBuiltins[id - kFirstBuiltin].run(call);
    } catch (vek::CException& e) {
        // The game's own error goes on as it is, saying which script line
        // asked for the work.
        e.ExtendDetails(ScriptPlace());
        throw;
    }
}

std::wstring CScript::ScriptPlace() {
    LocateCurrentCommand();
    const std::wstring& file = GetFileName();
    return file.empty() ? vek::Format(L" (line %u)", GetLineNumber())
                        : vek::Format(L" (%s, line %u)", file, GetLineNumber());
}

// --- Script types that run built-ins ------------------------------------------------------------------------

void CScript::RunTradeSetUp() {
    const std::vector<TCommand>& commands = GetParseResults().Commands();
    const auto call = std::find_if(commands.begin(), commands.end(), [](const TCommand& command) {
        return command.kind == kCmdCall && SameName(command.name, L"LoadTradeProfile");
    });
    if (call == commands.end()) {
        TTradeInfo& trade = m_extra.trade;
        trade.valid = 0;
        trade.factor1 = 0.0f;
        trade.factor2 = 0.0f;
        trade.valueA = 0;
        trade.valueB = 0;
        trade.valueC = 0;
        return;
    }
    ResetRuntime();
    SetCurrentCommand(static_cast<int32_t>(call - commands.begin()));
    CScriptBase::ExecuteUnit();
    ResetRuntime();
}

void CScript::RunStraight(const wchar_t* function, bool reset) {
    const std::vector<TCommand>& commands = GetParseResults().Commands();
    const auto header = std::find_if(commands.begin(), commands.end(), [function](const TCommand& command) {
        return command.kind == kCmdFunction && SameName(command.name, function);
    });
    if (header == commands.end()) {
        return;
    }
    const int32_t start = static_cast<int32_t>(header - commands.begin());
    ResetRuntime();
    const int32_t end = FindClosingBrace(static_cast<uint32_t>(start));
    if (end < 0) {
        SetTokenStart(header->textPosition);
        Raise(kErrExecution, kExecuteScript, __LINE__);
    }
    SetCurrentCommand(start);
    EnterFunction(start);
    const size_t depth = GetCallDepth();
    for (int32_t i = start; i <= end; ++i) {
        // A return, or a jump out of the function, has left it: its closing
        // brace has no call to end any more.
        if (GetCallDepth() < depth) {
            break;
        }
        // A jump within the function only moves the index, which this run
        // does not follow; made, it would close the blocks it leaves while
        // their commands, closing braces included, still run.
        if (JumpsWithin(static_cast<size_t>(i), start, end)) {
            continue;
        }
        SetCurrentCommand(i);
        ExecuteUnit();
    }
    if (reset) {
        ResetRuntime();
    }
}

bool CScript::JumpsWithin(size_t index, int32_t start, int32_t end) {
    switch (GetParseResults().Commands()[index].kind) {
    case kCmdBreak:
    case kCmdContinue:
    case kCmdExit:
        return true;
    case kCmdGoto: {
        const int32_t at = GotoTarget(index);
        return at > start && at < end;
    }
    default:
        return false;
    }
}

void CScript::LoadTradeProfile(const std::wstring& profile, float factor1, float factor2, uint32_t a, uint32_t b,
                               uint32_t c) {
    // A profile that loads itself would go on for ever.
    if (s_profileDepth >= kMaxProfileDepth) {
        RaiseHere(kErrExecution, kExecuteFunction, __LINE__,
                  vek::Format(L"trade profile depth cap of %u reached", kMaxProfileDepth));
    }
    const TScopedValue<uint32_t> depth(s_profileDepth, s_profileDepth + 1);
    CScript temporary;
    temporary.SetConsole(GetOwnConsole());
    temporary.SetStepBudget(GetStepBudget());
    temporary.LoadFile(std::wstring(kScriptDir) + profile);
    temporary.Parse();
    TTradeInfo& trade = temporary.m_extra.trade;
    trade.items.push_back(TTradeItem{kProfileItemType, kProfileItemValue, b, c});
    temporary.ExecuteScript(kScriptTypeTradeProfile);
    trade.valid = 1;
    trade.factor1 = factor1;
    trade.factor2 = factor2;
    trade.valueA = static_cast<uint8_t>(a);
    trade.valueB = b;
    trade.valueC = c;
    m_extra.trade = trade;
}
