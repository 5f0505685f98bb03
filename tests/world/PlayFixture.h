#pragma once
// A world (WorldFixture.h) with a hero, short texts for every message the
// location's actions log, a display that records what the game shows, and a
// random generator that answers from a list the test writes.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Random.h"
#include "data/GameDisplay.h"
#include "rules/Group.h"
#include "rules/Hero.h"
#include "tests/world/WorldFixture.h"
#include "world/Loc.h"
#include "world/World.h"

namespace worldtest {

using Lines = std::vector<std::wstring>;

// What the game shows, one line each: "log TEXT", "show SECONDS TEXT",
// "box CAPTION: TEXT", "mode N", "draw", "blast KIND" (the blast itself
// kept in blasts).
class CRecordingDisplay final : public IGameDisplay {
public:
    void AddMessage(const std::wstring& text, uint32_t, bool) override { lines.push_back(L"log " + text); }
    void ShowMessage(const std::wstring& text, uint32_t duration) override {
        lines.push_back(L"show " + std::to_wstring(duration) + L" " + text);
        if (onShow) {
            onShow(duration);
        }
    }
    void ShowImportantMessage(const std::wstring& caption, const std::wstring& text, bool) override {
        lines.push_back(L"box " + caption + L": " + text);
    }
    void OpenWindow(uint32_t, uint32_t, uint32_t) override {}
    void SetInputMode(uint32_t mode) override { lines.push_back(L"mode " + std::to_wstring(mode)); }
    void Draw() override { lines.push_back(L"draw"); }
    void CenterView() override {}
    void UpdateAutomapImage() override {}
    void RunModalLoop() override {}
    bool HasWindow() const override { return window; }
    void ShowMessageBox(const std::wstring&) override {}
    void ShowBlast(const TBlast& blast) override {
        lines.push_back(L"blast " + std::to_wstring(blast.kind));
        blasts.push_back(blast);
        if (onBlast) {
            onBlast();
        }
    }

    // The log lines alone, without their "log " mark.
    Lines Logged() const {
        Lines logged;
        for (const std::wstring& line : lines) {
            if (line.starts_with(L"log ")) {
                logged.push_back(line.substr(4));
            }
        }
        return logged;
    }

    Lines lines;
    std::vector<TBlast> blasts;
    bool window = false;
    // Runs as a text is shown for a while (a rest can be broken off here).
    std::function<void(uint32_t)> onShow;
    // Runs as a blast is shown.
    std::function<void()> onBlast;
};

// Answers each draw with the next value of its list; past the end it
// answers 0 and the test fails.
class CListedDraws final : public vek::CRandomGeneratorBase {
public:
    int32_t Next() override {
        if (m_next >= values.size()) {
            ADD_FAILURE() << "a draw beyond the " << values.size() << " listed";
            ++m_next;
            return 0;
        }
        return values[m_next++];
    }
    void Seed(uint32_t) override {}
    size_t Drawn() const { return m_next; }
    void Set(std::vector<int32_t> list) {
        values = std::move(list);
        m_next = 0;
    }

    std::vector<int32_t> values;

private:
    size_t m_next = 0;
};

inline const wchar_t kPlayTexts[] =
    L"STR_GAME_MSG_BUMP Bump.\n"
    L"STR_GAME_MSG_FOLLOW Follows: %s.\n"
    L"STR_GAME_MSG_COMP_LEFT_BEHIND Stays: %s.\n"
    L"STR_GAME_MSG_DOOR_OPEN Opens.\n"
    L"STR_GAME_MSG_CLOSE_DOOR Closes.\n"
    L"STR_GAME_MSG_DOOR_LOCK Locks.\n"
    L"STR_GAME_MSG_DOOR_UNLOCK Unlocks: %s.\n"
    L"STR_GAME_MSG_NO_KEY No key: %s.\n"
    L"STR_GAME_MSG_DOOR_DESTROYED Destroyed.\n"
    L"STR_GAME_MSG_GO_DOWNSTAIRS Down: %s.\n"
    L"STR_GAME_MSG_GO_UPSTAIRS Up: %s.\n"
    L"STR_MSG_FALL_STAIRS Falls.\n"
    L"STR_RESTING_DISARM Disarming.\n"
    L"STR_GAME_MSG_INTERRUPTED Interrupted.\n"
    L"STR_DISARM_SUCCESS Disarmed.\n"
    L"STR_TRAP_TRIGGER Trap.\n"
    L"STR_TRAP_TEXT_EXPLODE Boom.\n"
    L"STR_TRAP_TEXT_FLAME Flame.\n"
    L"STR_TRAP_TEXT_FREEZE Frost.\n"
    L"STR_TRAP_TEXT_GAS Gas.\n"
    L"STR_GAME_MSG_BITE Bite: %s.\n"
    L"STR_GAME_MSG_NO_VIAL No vial.\n"
    L"STR_GAME_MSG_NEW_VIAL_BLOOD Blood.\n"
    L"STR_MSG_ARMS_USELESS Arms.\n"
    L"STR_MSG_LEGS_USELESS Legs.\n"
    L"STR_IMPORTANT_MSG Note\n";

// What a call threw: the function and the text, "function: text"; empty
// when it threw nothing.
template <class F>
std::wstring ThrownText(F&& call) {
    try {
        call();
    } catch (const vek::CException& e) {
        return e.GetFunction() + L": " + e.GetDetails();
    }
    return {};
}

// Attribute points of a level: cbrt(points / 240) is the level exactly.
inline uint32_t AttributePoints(uint32_t level) { return 240 * level * level * level; }

class PlayFixture : public WorldFixture {
protected:
    void SetUp() override {
        WorldFixture::SetUp();
        m_game.GetStrings().LoadText(kPlayTexts);
        auto display = std::make_unique<CRecordingDisplay>();
        m_display = display.get();
        m_game.SetDisplay(std::move(display));
        m_hero.hitPoints = 50;
        m_hero.attributePoints[CHero::kDexterity] = AttributePoints(12);
        m_game.SetHero(&m_hero);
        vek::SetRandomGenerator(&m_draws);
    }
    void TearDown() override {
        vek::SetRandomGenerator(nullptr);
        g_groupList.Clear();
        m_game.SetHero(nullptr);
        m_game.SetDisplay(nullptr);
        WorldFixture::TearDown();
    }

    // A location of width x height grass cells at world cell (x, y), made
    // and bound there (not read from a file), with the hero nowhere.
    CLoc& Grass(uint16_t x, uint16_t y, const std::wstring& key, uint16_t width = 20, uint16_t height = 15) {
        Place(x, y, key + L".map", key, width, height);
        CLoc& loc = m_world.MakeLocAt(x, y);
        loc.Init(key, width, height, 0, kLocLayoutPresent);
        loc.GetTerrain().Fill(0);
        loc.SetFileName(key + L".map");
        return loc;
    }

    // The hero stands on the cell of the location, which is the current one.
    void Stand(CLoc& loc, uint16_t x, uint16_t y) {
        m_hero.x = x;
        m_hero.y = y;
        loc.GetCreatureIds().At(x, y) = kHeroCell;
        m_game.SetCurrentLoc(&loc);
    }

    CHero m_hero;
    CRecordingDisplay* m_display = nullptr;
    CListedDraws m_draws;
};

} // namespace worldtest
