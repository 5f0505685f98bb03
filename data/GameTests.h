#pragma once
// The game's in-program self-test: the suite "Game" with the module tests of
// the game data, run beside the library's suite "VEKLib".
#include "VEKLib/UnitTest.h"

namespace vek {
class CLog;
}

// The plural rule of both languages.
class CModuleTestGrammar : public vek::CTest {
public:
    CModuleTestGrammar();
    void Run() override;
};

// Save compatibility and the order of versions.
class CModuleTestVersion : public vek::CTest {
public:
    CModuleTestVersion();
    void Run() override;
};

// Makes the suite "Game" with the game's module tests.
void CreateGameSuite(vek::CSuite& suite, vek::CLog* log);
