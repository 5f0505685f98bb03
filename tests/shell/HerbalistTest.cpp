// The herbalist of the sample mill, without a window: she greets a new
// player once and keeps his gold with the game.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "rules/Monster.h"
#include "script/Script.h"
#include "shell/Game.h"
#include "shell/ScriptGlobals.h"
#include "tests/shell/SampleGameFixture.h"
#include "world/Loc.h"
#include "world/World.h"

namespace {

namespace fs = std::filesystem;

const wchar_t kGreeting[] = L"Good day, traveller. Looking for herbs?";

class Herbalist : public samplegame::SampleGame {
protected:
    void SetUp() override {
        SampleGame::SetUp();
        // The locations' own scripts too: the mill's greets the player.
        const fs::path game = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "game";
        fs::create_directory_symlink(fs::canonical(game / "Data" / "Scripts" / "Locations"),
                                     m_root / "Data" / "Scripts" / "Locations");
    }

    static int64_t Met() {
        const CVariable* met = Globals().GetDeclarations().FindVariable(L"HerbalistMet", false);
        return met != nullptr ? met->GetValue() : -1;
    }
    static CNpc& Marta(CGame& game) { return game.FindNPC(L"Marta", L"mill.map", game.GetWorld()->grid.At(1, 1).loc); }
};

TEST_F(Herbalist, GreetsANewPlayerOnceAndKeepsHisGoldInTheSavedGame) {
    CGame& game = MakeGame();
    EXPECT_EQ(Met(), 0);
    game.New();
    // Without a window the greeting shows and ends at once: the game goes on.
    ASSERT_TRUE(game.HasGame());
    EXPECT_EQ(game.GetDialog().GetText(), kGreeting);
    EXPECT_FALSE(game.GetDialog().IsOpen());
    EXPECT_EQ(game.GetChatPartner(), nullptr);
    EXPECT_EQ(Met(), 1);
    Marta(game).SetBankDeposit(40);
    game.Save(L"Save/herbalist.sav");

    // A continued game: her deposit is hers still, and coming back into the
    // mill she does not greet him again.
    CGame& loaded = MakeGame();
    loaded.Load(L"Save/herbalist.sav");
    EXPECT_EQ(Met(), 1);
    EXPECT_EQ(Marta(loaded).GetBankDeposit(), 40u);
    CWorld& world = *loaded.GetWorld();
    ASSERT_TRUE(world.ReadyLoc(L"cellar.map", 0, 0, 0, 0, kArriveRandom, L""));
    ASSERT_TRUE(world.ReadyLoc(L"mill.map", 0, 0, 0, 0, kArriveRandom, L""));
    EXPECT_EQ(loaded.GetCurrentLoc()->GetFileName(), L"mill.map");
    EXPECT_EQ(loaded.GetDialog().GetText(), L"");
    // Talked to, she still greets him.
    loaded.TalkTo(Marta(loaded));
    EXPECT_EQ(loaded.GetDialog().GetText(), kGreeting);
}

} // namespace
