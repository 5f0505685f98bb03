// What a window shows until a new game exists: a location of the sample data.
#include "data/Globals.h"
#include "rules/Hero.h"
#include "shell/Game.h"
#include "world/Loc.h"

void CGame::ShowSampleLocation(const std::wstring& fileName) {
    // The loaded location's NPCs join the game's list, which must hold no
    // one of the location before.
    Clear();
    auto loc = std::make_unique<CLoc>();
    loc->LoadFromFile(kLocationDir, fileName, true, false, false);
    m_sampleLoc = std::move(loc);
    m_ownHero = std::make_unique<CHero>();
    SetCurrentLoc(m_sampleLoc.get());
    SetHero(m_ownHero.get());
    try {
        m_sampleLoc->PlaceHeroRandomly();
    } catch (...) {
        Clear();
        throw;
    }
    m_sampleLoc->GetCreatureIds().At(static_cast<uint16_t>(m_ownHero->x), static_cast<uint16_t>(m_ownHero->y)) =
        kHeroCell;
    m_sampleLoc->RevealAll();
    SetState(kStateGame);
    CenterView();
}
