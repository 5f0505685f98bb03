#include "VEKLib/Stream.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "VEKLib/Exception.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Written() {
    const auto bytes = vek::GetStream().bytes();
    return Bytes(bytes.begin(), bytes.end());
}

// The 12-byte record of trade stocks: u16, u16, u32, u32.
struct TRecord12 {
    static constexpr uint32_t kStoredSize = 12;
    uint16_t a = 0, b = 0;
    uint32_t c = 0, d = 0;
    void WriteFields() const { vek::StreamWrite(a), vek::StreamWrite(b), vek::StreamWrite(c), vek::StreamWrite(d); }
    void ReadFields() { vek::StreamRead(a), vek::StreamRead(b), vek::StreamRead(c), vek::StreamRead(d); }
};

struct TProbe : vek::ISerializable {
    uint8_t value = 0;
    void Load() override { vek::StreamRead(value), CountObject(); }
    void Save() const { vek::StreamWrite(value), CountObject(); }
};

class StreamTest : public ::testing::Test {
protected:
    void SetUp() override { vek::StreamReset(); }
    void TearDown() override { vek::StreamReset(); }
};

TEST_F(StreamTest, StringsAreCountAndUnits) {
    const struct {
        std::wstring text;
        Bytes bytes;
    } cases[] = {
        {L"abc", {3, 0, 0, 0, 0x61, 0, 0x62, 0, 0x63, 0}},
        {L"", {0, 0, 0, 0}},
        {L"\x0104", {1, 0, 0, 0, 0x04, 0x01}},
    };
    for (const auto& c : cases) {
        vek::StreamReset();
        vek::StreamWriteString(c.text);
        EXPECT_EQ(Written(), c.bytes);
        std::wstring back = L"old";
        EXPECT_TRUE(vek::StreamReadString(back));
        EXPECT_EQ(back, c.text);
    }
}

TEST_F(StreamTest, ScalarsAreLittleEndianAtTheirWidth) {
    const struct {
        std::function<void()> write;
        Bytes bytes;
    } cases[] = {
        {[] { vek::StreamWrite(uint16_t{0x1234}); }, {0x34, 0x12}},
        {[] { vek::StreamWrite(uint32_t{0x01020304}); }, {4, 3, 2, 1}},
        {[] { vek::StreamWrite(uint64_t{0x0102030405060708}); }, {8, 7, 6, 5, 4, 3, 2, 1}},
        {[] { vek::StreamWrite(int8_t{-1}); }, {0xFF}},
        {[] { vek::StreamWrite(int32_t{-2}); }, {0xFE, 0xFF, 0xFF, 0xFF}},
        {[] { vek::StreamWrite(-2.5f); }, {0, 0, 0x20, 0xC0}},
        {[] { vek::StreamWrite(1.0); }, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}},
    };
    for (const auto& c : cases) {
        vek::StreamReset();
        c.write();
        EXPECT_EQ(Written(), c.bytes);
    }
    int16_t i16 = 0;
    float f = 0;
    vek::StreamAssign({0xFE, 0xFF, 0, 0, 0x20, 0xC0});
    EXPECT_TRUE(vek::StreamRead(i16) && vek::StreamRead(f));
    EXPECT_EQ(i16, -2);
    EXPECT_EQ(f, -2.5f);
}

TEST_F(StreamTest, ShortReadLeavesTargetAndPosition) {
    vek::StreamAssign({7, 1, 2, 3});
    uint8_t first = 0;
    uint32_t value = 77;
    ASSERT_TRUE(vek::StreamRead(first));
    EXPECT_FALSE(vek::StreamRead(value));
    EXPECT_EQ(value, 77u);
    EXPECT_EQ(vek::GetStream().position(), 1u);
}

TEST_F(StreamTest, CapacityFollowsTheGrowthRule) {
    const struct {
        std::function<void()> write;
        uint32_t capacity;
    } steps[] = {
        {[] { vek::StreamWrite(uint32_t{1}); }, 8},  // 0+4 > 0: + 2*4
        {[] { vek::StreamWrite(uint32_t{2}); }, 8},  // 8 fits
        {[] { vek::StreamWrite(uint8_t{3}); }, 26},  // 9 > 8: + 2*9
        {[] { vek::StreamWriteString(L"ab"); }, 26}, // 13, then 17
        {[] { vek::StreamWrite(uint64_t{4}); }, 26}, // 25
        {[] { vek::StreamWrite(uint16_t{5}); }, 80}, // 27 > 26: + 2*27
        {[] {
             vek::WriteWordVector({1, 2});
         },
         88},                                    // + 2*2+4 although it fits
        {[] { vek::WriteDwordVector({}); }, 92}, // + 4
    };
    for (const auto& step : steps) {
        step.write();
        EXPECT_EQ(vek::GetStream().capacity(), step.capacity);
    }
    EXPECT_EQ(vek::GetStream().size(), 39u);
}

TEST_F(StreamTest, VectorsAreCountAndElements) {
    vek::WriteWordVector({1, 2, 3});
    EXPECT_EQ(Written(), (Bytes{3, 0, 0, 0, 1, 0, 2, 0, 3, 0}));
    EXPECT_EQ(vek::GetStream().capacity(), 3u * 2 + 4);
    std::vector<uint16_t> words{9, 9, 9, 9, 9};
    vek::StreamAssign({2, 0, 0, 0, 7, 0, 8, 0});
    vek::ReadWordVector(words);
    EXPECT_EQ(words, (std::vector<uint16_t>{7, 8}));

    vek::StreamReset();
    vek::WriteRecordVector12(std::vector<TRecord12>{{0x0102, 0x0304, 0x05060708, 0x090A0B0C}});
    EXPECT_EQ(Written(), (Bytes{1, 0, 0, 0, 2, 1, 4, 3, 8, 7, 6, 5, 0xC, 0xB, 0xA, 9}));
    std::vector<TRecord12> records(3);
    vek::ReadRecordVector12(records);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].d, 0x090A0B0Cu);
}

TEST_F(StreamTest, CountsAreLimitedByTheBytesLeft) {
    const struct {
        Bytes bytes;
        size_t elements;
        uint32_t position;
    } cases[] = {
        {{0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 2, 0}, 2, 8},
        {{3, 0, 0, 0, 1, 0, 2, 0, 3}, 2, 8},
        {{3, 0}, 0, 0}, // no whole count: nothing consumed
    };
    for (const auto& c : cases) {
        vek::StreamAssign(c.bytes);
        std::vector<uint16_t> items{9};
        vek::ReadWordVector(items);
        EXPECT_EQ(items.size(), c.elements);
        EXPECT_EQ(vek::GetStream().position(), c.position);
    }
    std::vector<TProbe> probes;
    vek::StreamAssign({0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3});
    vek::LoadObjectVector(probes);
    EXPECT_EQ(probes.size(), 3u);
}

TEST_F(StreamTest, StringEdgeCases) {
    const struct {
        Bytes bytes;
        std::wstring text;
        uint32_t position;
    } cases[] = {
        {{3, 0, 0, 0, 0x61, 0, 0, 0, 0x62, 0}, L"a", 10}, // cut at the zero unit
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x61, 0}, L"", 4},      // 2 x count wraps 32 bits
        {{2, 0, 0, 0, 0x61, 0, 0x62}, L"", 4},            // units run past the end
        {{2, 0, 0}, L"", 0},                              // no whole count
    };
    for (const auto& c : cases) {
        vek::StreamAssign(c.bytes);
        std::wstring text = L"old";
        vek::StreamReadString(text);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(vek::GetStream().position(), c.position);
    }
}

TEST_F(StreamTest, PointerVectorReaderFreesWhatItHeld) {
    std::vector<TProbe*> items{new TProbe, new TProbe};
    const uint32_t live = vek::GetLiveObjectCount();
    vek::StreamAssign({1, 0, 0, 0, 9});
    vek::LoadObjectPtrVector(items);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0]->value, 9);
    EXPECT_EQ(vek::GetLiveObjectCount(), live - 1);
    EXPECT_EQ(vek::GetStream().objectCount(), 1u);
    vek::SaveObjectPtrVector(items, vek::kGroupReserve);
    EXPECT_EQ(vek::GetStream().capacity(), 5u + 68 + 4);
    delete items[0];
}

TEST_F(StreamTest, CapacityFigureStopsAtTheLargest32BitValue) {
    vek::StreamGrow(vek::kGameSaveGrowth);
    EXPECT_EQ(vek::GetStream().capacity(), vek::kGameSaveGrowth);
    // The figure cannot wrap round; the storage is not asked for 4 GiB.
    vek::StreamGrow(0x1FFFFFFFFull);
    EXPECT_EQ(vek::GetStream().capacity(), 0xFFFFFFFFu);
    vek::StreamWrite(uint32_t{7});
    EXPECT_EQ(vek::GetStream().size(), 4u);
    EXPECT_EQ(vek::GetStream().capacity(), 0xFFFFFFFFu);
}

TEST_F(StreamTest, ManySmallWritesDoNotMoveTheBufferEachTime) {
    std::set<const uint8_t*> blocks;
    for (int i = 0; i < 20000; ++i) {
        vek::WriteWordVector({static_cast<uint16_t>(i)});
        blocks.insert(vek::GetStream().data());
    }
    EXPECT_LT(blocks.size(), 64u);
}

TEST_F(StreamTest, LiveObjectsAreCountedOncePerObject) {
    struct TSpecial : virtual vek::ISerializable, vek::IByteStream {};
    const uint32_t live = vek::GetLiveObjectCount();
    {
        TSpecial a;
        TSpecial b(a);
        b = a;
        EXPECT_EQ(vek::GetLiveObjectCount(), live + 2);
    }
    EXPECT_EQ(vek::GetLiveObjectCount(), live);
}

TEST_F(StreamTest, ByteStreamRecords) {
    vek::IByteStream object;
    const vek::IByteStream::TRecord5 record{1, 2, 3, 4, 5};
    object.WriteRecord5(record);
    object.SetPosition(3);
    object.WriteRecord5(record);
    EXPECT_EQ(object.GetBuffer(), (Bytes{1, 2, 3, 1, 2, 3, 4, 5}));
    vek::IByteStream::TRecord5 read{};
    EXPECT_TRUE(object.ReadRecord5(read));
    EXPECT_EQ(read, record);
    EXPECT_EQ(object.GetPosition(), 8u);
    object.SetPosition(4);
    EXPECT_FALSE(object.ReadRecord5(read));
    EXPECT_EQ(read, (vek::IByteStream::TRecord5{}));
    EXPECT_EQ(object.GetPosition(), 4u);
    object.WriteString(L"ab");
    EXPECT_EQ(object.GetBuffer(), (Bytes{0x61, 0, 0x62, 0}));
}

TEST_F(StreamTest, ByteStreamBuffer) {
    vek::IByteStream object;
    object.GetBuffer() = {1, 2, 3};
    object.Save();
    EXPECT_EQ(Written(), (Bytes{3, 0, 0, 0, 1, 2, 3}));
    EXPECT_EQ(vek::GetStream().capacity(), 7u);
    vek::IByteStream back;
    back.GetBuffer() = {9, 9, 9, 9, 9};
    back.Load();
    EXPECT_EQ(back.GetBuffer(), (Bytes{1, 2, 3}));
    EXPECT_EQ(vek::GetStream().objectCount(), 2u);
    vek::StreamAssign({10, 0, 0, 0, 7, 8}); // claims 10 bytes, holds 2
    back.Load();
    EXPECT_EQ(back.GetBuffer(), (Bytes{7, 8}));
}

} // namespace
