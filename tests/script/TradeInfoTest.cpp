#include <gtest/gtest.h>

#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Stream.h"
#include "script/Records.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Written() {
    const auto bytes = vek::GetStream().bytes();
    return Bytes(bytes.begin(), bytes.end());
}

class TradeInfoTest : public ::testing::Test {
protected:
    void SetUp() override { vek::StreamReset(); }
    void TearDown() override { vek::StreamReset(); }
};

TTradeInfo Sample() {
    TTradeInfo trade;
    trade.valid = 1, trade.factor1 = 1.5f, trade.factor2 = 0.5f;
    trade.valueA = 7, trade.valueB = 0x01020304, trade.valueC = 9;
    trade.items = {{TTradeItem::kRandomItem, 2, 3, 4}};
    trade.buyCategories = {5, 6};
    return trade;
}

// By hand: the header (1.5f is 3FC00000, 0.5f is 3F000000), one trade item,
// two categories.
const Bytes kSampleBytes = {0x01, 0x00, 0x00, 0xC0, 0x3F, 0x00, 0x00, 0x00, 0x3F, 0x07, 0x04, 0x03, 0x02, 0x01,
                            0x09, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x02, 0x00, 0x03, 0x00,
                            0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x05, 0x00, 0x06, 0x00};

bool SameTrade(const TTradeInfo& a, const TTradeInfo& b) {
    bool items = a.items.size() == b.items.size();
    for (size_t i = 0; items && i < a.items.size(); ++i) {
        items = a.items[i].itemType == b.items[i].itemType && a.items[i].value1 == b.items[i].value1 &&
                a.items[i].value2 == b.items[i].value2 && a.items[i].value3 == b.items[i].value3;
    }
    return items && a.valid == b.valid && a.factor1 == b.factor1 && a.factor2 == b.factor2 && a.valueA == b.valueA &&
           a.valueB == b.valueB && a.valueC == b.valueC && a.buyCategories == b.buyCategories;
}

TEST_F(TradeInfoTest, StoredFormIsByteExactAndLoadsBack) {
    Sample().Save();
    EXPECT_EQ(Written(), kSampleBytes);
    // The two lists reserve 4 + 12 and 4 + 2 x 2 bytes.
    EXPECT_GE(vek::GetStream().capacity(), 16u + 8u);
    TTradeInfo loaded;
    loaded.Load();
    EXPECT_TRUE(SameTrade(loaded, Sample()));
    EXPECT_EQ(vek::GetStream().remaining(), 0u);
    EXPECT_EQ(vek::GetStream().objectCount(), 2u);
}

TEST_F(TradeInfoTest, EveryCutIsInvalidContentAndChangesNothing) {
    for (size_t length = 0; length < kSampleBytes.size(); ++length) {
        vek::StreamAssign(Bytes(kSampleBytes.begin(), kSampleBytes.begin() + static_cast<std::ptrdiff_t>(length)));
        TTradeInfo trade;
        trade.valueB = 77;
        try {
            trade.Load();
            ADD_FAILURE() << length << ": loaded";
        } catch (const vek::CFileException& e) {
            EXPECT_EQ(e.GetCode(), vek::CFileException::kInvalidContent) << length;
            EXPECT_EQ(e.GetFunction(), L"TTradeInfo::Load") << length;
        }
        EXPECT_EQ(trade.valueB, 77u) << length;
        EXPECT_TRUE(trade.items.empty()) << length;
    }
}

TEST_F(TradeInfoTest, CopiesTakeEveryFieldAndBothLists) {
    const TTradeInfo source = Sample();
    const uint32_t live = vek::GetLiveObjectCount();
    TTradeInfo copy(source);
    EXPECT_EQ(vek::GetLiveObjectCount(), live + 1);
    EXPECT_TRUE(SameTrade(copy, source));
    TTradeInfo assigned;
    assigned.items.resize(3);
    assigned = source;
    EXPECT_TRUE(SameTrade(assigned, source));
    // Nothing is shared.
    copy.items[0].value1 = 99;
    copy.buyCategories.push_back(1);
    EXPECT_TRUE(SameTrade(assigned, source));
    EXPECT_EQ(source.items[0].value1, 2);
}

} // namespace
