#include "world/GenServices.h"

#include <ostream>

#include "VEKLib/Console.h"

namespace {

// Reads whatever game is up at each call, so that it serves the game that
// a later set-up puts in place.
class CGameDataServices final : public gen::IGameServices {
public:
    vek::CRandomGeneratorBase* GameRandom() override { return vek::GetRandomGenerator(); }

    const CDefinitionTables& Tables() const override {
        static const CDefinitionTables none;
        return g_gameData != nullptr ? g_gameData->GetTables() : none;
    }

    std::span<const TGroupTableEntry> GroupTable() const override {
        return g_gameData != nullptr ? std::span<const TGroupTableEntry>(g_gameData->GetGroupTable())
                                     : std::span<const TGroupTableEntry>();
    }

    bool InEditor() const override { return g_gameData != nullptr && g_gameData->GetState() == kStateEditor; }

    void SetInputMode(uint32_t mode) override {
        if (g_gameData != nullptr) {
            g_gameData->SetInputMode(mode);
        }
    }

    void Report(const std::wstring& line) override {
        std::wostream& out = vek::ConsoleOut();
        out << vek::ConsoleCyan << line << vek::ConsoleDefault << L'\n';
        out.flush();
    }
};

CGameDataServices g_gameServices;
gen::IGameServices* g_installed = nullptr;

} // namespace

gen::IGameServices& GenServices() { return g_installed != nullptr ? *g_installed : g_gameServices; }

void SetGenServices(gen::IGameServices* services) { g_installed = services; }
