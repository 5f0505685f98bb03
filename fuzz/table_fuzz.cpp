// Reads arbitrary bytes, decoded as UTF-8, as a definition-table file. The
// first byte picks the table (low three bits), the count check (bit 3) and
// for items the language (bit 4). Faults of the text must come out as
// vek::CException, and a read that throws must leave the table as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/IniFile.h"
#include "VEKLib/Strings.h"
#include "data/TableFrame.h"
#include "data/Tables.h"

namespace {

const std::wstring kFile = L"Data/fuzz.ini";

// A table of three records that a failed read must leave untouched.
template <class T, class Read>
void ReadChecked(vek::CIniFile& ini, Read read) {
    std::vector<T> table(3);
    const std::vector<T> before = table;
    try {
        read(ini, table);
    } catch (const vek::CException&) {
        if (table != before) {
            std::abort();
        }
        return;
    }
    if constexpr (std::is_same_v<T, TTerrainInfo>) {
        std::vector<uint16_t> kinds;
        CollectFlaggedIndices(table, kinds);
        for (uint16_t kind : kinds) {
            if (kind >= table.size()) {
                std::abort();
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const uint8_t selector = data[0];
    const bool check = (selector & 8) != 0;
    const std::wstring lang = (selector & 16) ? L"pl" : L"en";
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    std::wstring text;
    vek::Utf8ToWide(bytes.c_str(), text);

    vek::CIniFile ini;
    try {
        ParseTableText(text, ini);
    } catch (const vek::CException&) {
        return 0;
    }
    switch (selector & 7) {
    case 0:
        ReadChecked<TMonsterInfo>(ini, [&](vek::CIniFile& f, auto& t) { ReadMonsterTable(f, kFile, t, check); });
        break;
    case 1:
        ReadChecked<TItemInfo>(ini, [&](vek::CIniFile& f, auto& t) { ReadItemTable(f, kFile, lang, t, check); });
        break;
    case 2:
        ReadChecked<TTerrainInfo>(ini, [&](vek::CIniFile& f, auto& t) { ReadTerrainTable(f, kFile, t, check); });
        break;
    case 3:
        ReadChecked<TObjectInfo>(ini, [&](vek::CIniFile& f, auto& t) { ReadObjectTable(f, kFile, t, check); });
        break;
    case 4:
        ReadChecked<TMatInfo>(ini, [&](vek::CIniFile& f, auto& t) { ReadMatTable(f, kFile, t, check); });
        break;
    case 5:
        ReadChecked<TEncounterInfo>(ini, [&](vek::CIniFile& f, auto& t) { ReadEncounterTable(f, kFile, t, check); });
        break;
    case 6:
        ReadChecked<TSpellInfo>(ini, [&](vek::CIniFile& f, auto& t) { ReadSpellTable(f, kFile, t, check); });
        break;
    default:
        ReadChecked<THeroInfo>(ini, [&](vek::CIniFile& f, auto& t) { ReadHeroTable(f, t); });
        break;
    }
    return 0;
}
