#include "rules/Battle.h"

#include "rules/StoredForm.h"

namespace vek {

void WriteBattleVector(const std::vector<TBattleRecord>& battles) {
    TStreamWriter writer;
    writer.Field(battles);
}

void ReadBattleVector(std::vector<TBattleRecord>& battles) {
    std::vector<TBattleRecord> loaded;
    TStreamReader reader(L"vek::ReadBattleVector", L"Battle");
    reader.Field(loaded);
    battles.swap(loaded);
}

} // namespace vek
