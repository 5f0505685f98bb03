// Feeds arbitrary bytes to the loaders of items, creatures, groups, the trade
// record and the hero. Input: byte 0 picks the loader, the rest is the
// stream. A load either fails with invalid content or reads a record that,
// saved again, gives exactly the bytes it took; no object outlives the run.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Stream.h"
#include "rules/Group.h"
#include "rules/Hero.h"
#include "rules/Item.h"
#include "rules/Monster.h"
#include "script/Records.h"

namespace {

// Loads with load, then saves with save into an empty stream: the bytes must
// be the ones the load took.
void RoundTrip(const std::function<void()>& load, const std::function<void()>& save) {
    const auto before = vek::GetStream().bytes();
    try {
        load();
    } catch (const vek::CFileException& e) {
        if (e.GetCode() != vek::CFileException::kInvalidContent) {
            __builtin_trap();
        }
        return;
    }
    const std::vector<uint8_t> taken(before.begin(), before.begin() + vek::GetStream().position());
    vek::StreamReset();
    save();
    const auto written = vek::GetStream().bytes();
    if (std::vector<uint8_t>(written.begin(), written.end()) != taken) {
        __builtin_trap();
    }
}

void Run(uint8_t selector) {
    switch (selector % 6) {
    case 0: {
        std::vector<CItem> pile;
        RoundTrip([&] { LoadItemVector(pile); }, [&] { SaveItemVector(pile); });
        break;
    }
    case 1: {
        CMonster monster;
        RoundTrip([&] { monster.Load(); }, [&] { monster.Save(); });
        break;
    }
    case 2: {
        CNpc npc;
        RoundTrip([&] { npc.Load(); }, [&] { npc.Save(); });
        break;
    }
    case 3: {
        CGroupList groups;
        RoundTrip([&] { vek::ReadGroupVector(groups.Get()); }, [&] { vek::WriteGroupVector(groups.Get()); });
        break;
    }
    case 4: {
        TTradeInfo trade;
        RoundTrip([&] { trade.Load(); }, [&] { trade.Save(); });
        break;
    }
    default: {
        CHero hero;
        RoundTrip([&] { hero.Load(); }, [&] { hero.Save(); });
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const uint32_t live = vek::GetLiveObjectCount();
    vek::StreamAssign(data + 1, size - 1);
    Run(data[0]);
    vek::StreamReset();
    if (vek::GetLiveObjectCount() != live) {
        __builtin_trap();
    }
    return 0;
}
