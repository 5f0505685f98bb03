#pragma once
// The game as generation sees it: the game that is up (g_gameData) behind
// gen::IGameServices, unless a test has put services of its own in its place.
#include "world/gen/GameServices.h"

// The installed services, else the game's own: without a game up they give
// no tables and no groups and switch no input mode.
gen::IGameServices& GenServices();
// Not owned; null puts the game's own back.
void SetGenServices(gen::IGameServices* services);
