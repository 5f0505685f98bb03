#include "VEKLib/Map2D.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TCell {
    int value = 5;
};

} // namespace

template <>
struct vek::TMapCellName<TCell> {
    static constexpr const wchar_t* kName = L"struct TCell";
};

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Written() {
    const auto bytes = vek::GetStream().bytes();
    return Bytes(bytes.begin(), bytes.end());
}

class MapTest : public ::testing::Test {
protected:
    void SetUp() override { vek::StreamReset(); }
    void TearDown() override { vek::StreamReset(); }
};

vek::CMap<uint16_t> Numbered(uint16_t width, uint16_t height) {
    vek::CMap<uint16_t> map;
    map.Resize(width, height);
    for (uint16_t y = 0; y < height; ++y) {
        for (uint16_t x = 0; x < width; ++x) {
            map.At(x, y) = static_cast<uint16_t>(y * 256 + x + 1);
        }
    }
    return map;
}

template <class F>
vek::CException Thrown(F&& call) {
    try {
        call();
    } catch (const vek::CException& e) {
        return e;
    }
    ADD_FAILURE() << "no exception";
    return vek::CException(L"", L"", 0, L"");
}

TEST_F(MapTest, AtChecksBothCoordinates) {
    vek::CMap<uint16_t> one;
    EXPECT_NO_THROW(one.At(0, 0));
    const auto map = Numbered(10, 5);
    EXPECT_EQ(map.At(1, 0), 2);
    const struct {
        uint16_t x, y;
        const wchar_t* line2;
    } cases[] = {
        {10, 0, L"X=10, Y=0, array size 10x5"},
        {0, 5, L"X=0, Y=5, array size 10x5"},
        {65535, 65535, L"X=65535, Y=65535, array size 10x5"},
    };
    for (const auto& c : cases) {
        const auto e = Thrown([&] { map.At(c.x, c.y); });
        EXPECT_EQ(e.GetDetails(), std::wstring(L"Invalid array subscript, CMap class\r\n") + c.line2);
        EXPECT_EQ(e.GetFunction(), L"vek::CMap<unsigned short>::At");
        EXPECT_EQ(e.GetLine(), 190);
    }
    auto writable = Numbered(10, 5);
    EXPECT_EQ(Thrown([&] { writable.At(10, 0); }).GetLine(), 190);
}

struct TLocationCell {
    int value = 0;
};

} // namespace

template <>
struct vek::TMapCellName<TLocationCell> {
    static constexpr const wchar_t* kName = L"struct TLocationCell";
};
template <>
struct vek::TMapConstAtLine<TLocationCell> {
    static constexpr int32_t kLine = 201;
};

namespace {

TEST_F(MapTest, SecondSubscriptOfLocationMapsReportsItsOwnLine) {
    vek::CMap<TLocationCell> cells;
    const vek::CMap<TLocationCell>& readOnly = cells;
    const auto e = Thrown([&] { readOnly.At(1, 0); });
    EXPECT_EQ(e.GetFunction(), L"vek::CMap<struct TLocationCell>::At");
    EXPECT_EQ(e.GetLine(), 201);
    EXPECT_EQ(Thrown([&] { cells.At(1, 0); }).GetLine(), 190);
}

TEST_F(MapTest, FunctionNamesCarryTheCellType) {
    vek::CMap<unsigned char> bytes;
    vek::CMap<bool> flags;
    vek::CMap<TCell> cells;
    EXPECT_EQ(Thrown([&] { bytes.At(1, 0); }).GetFunction(), L"vek::CMap<unsigned char>::At");
    EXPECT_EQ(Thrown([&] { flags.At(0, 1); }).GetFunction(), L"vek::CMap<bool>::At");
    EXPECT_EQ(Thrown([&] { cells.At(0, 1); }).GetFunction(), L"vek::CMap<struct TCell>::At");
    EXPECT_EQ(cells.At(0, 0).value, 5);
}

TEST_F(MapTest, ResizeToNothingKeepsTheMap) {
    auto map = Numbered(3, 2);
    const auto e = Thrown([&] { map.Resize(0, 5); });
    EXPECT_EQ(e.GetDetails(), L"An attempt to create a 0-element array - CMap<T>::Resize");
    EXPECT_EQ(e.GetFunction(), L"vek::CMap<unsigned short>::Resize");
    EXPECT_EQ(e.GetLine(), 263);
    EXPECT_EQ(map.GetWidth(), 3);
    EXPECT_EQ(map.GetHeight(), 2);
    EXPECT_EQ(map.At(2, 1), 256 + 3);
}

TEST_F(MapTest, ResizeDiscardsTheContent) {
    auto map = Numbered(3, 2);
    map.Resize(3, 2);
    for (uint16_t y = 0; y < 2; ++y) {
        for (uint16_t x = 0; x < 3; ++x) {
            EXPECT_EQ(map.At(x, y), 0);
        }
    }
}

TEST_F(MapTest, SaveWritesSizeThenRows) {
    Numbered(3, 2).Save();
    EXPECT_EQ(Written(), (Bytes{3, 0, 2, 0, 1, 0, 2, 0, 3, 0, 1, 1, 2, 1, 3, 1}));
    EXPECT_EQ(vek::GetStream().capacity(), 3u * 2 * 2 + 4);
    EXPECT_EQ(vek::GetStream().objectCount(), 1u);

    vek::CMap<uint16_t> back;
    back.Load();
    EXPECT_EQ(back.At(2, 1), 256 + 3);
    EXPECT_EQ(vek::GetStream().remaining(), 0u);
}

TEST_F(MapTest, BoolCellsAreOneByteEach) {
    vek::CMap<bool> map;
    map.Resize(2, 1);
    map.At(1, 0) = true;
    map.Save();
    EXPECT_EQ(Written(), (Bytes{2, 0, 1, 0, 0, 1}));
    vek::StreamAssign({2, 0, 1, 0, 0, 7});
    map.Load();
    EXPECT_FALSE(map.At(0, 0));
    EXPECT_TRUE(map.At(1, 0));
}

TEST_F(MapTest, LoadWithoutAWholeHeaderKeepsTheMap) {
    auto map = Numbered(3, 2);
    vek::StreamAssign({3, 0, 2});
    map.Load();
    EXPECT_EQ(vek::GetStream().position(), 0u);
    EXPECT_EQ(map.At(2, 1), 256 + 3);
}

TEST_F(MapTest, LoadRefusesCellsThatAreNotThere) {
    const struct {
        Bytes bytes;
        bool fileError;
    } cases[] = {
        {{3, 0, 2, 0, 1, 0, 2, 0, 3, 0, 1, 1, 2, 1, 3}, true}, // one byte short
        {{0xFF, 0xFF, 0xFF, 0xFF}, true},
        {{0, 0, 5, 0}, false}, // width 0
    };
    for (const auto& c : cases) {
        auto map = Numbered(2, 2);
        vek::StreamAssign(c.bytes);
        bool caught = false;
        try {
            map.Load();
        } catch (const vek::CFileException& e) {
            caught = c.fileError;
            EXPECT_EQ(e.GetCode(), vek::CFileException::kInvalidContent);
            EXPECT_EQ(e.GetFunction(), L"vek::CMap<unsigned short>::Load");
            EXPECT_EQ(e.GetDetails(), L"Invalid file content ()");
            EXPECT_NE(e.GetText().find(L"Map data runs past the end of the stream"), std::wstring::npos);
        } catch (const vek::CException& e) {
            caught = !c.fileError;
            EXPECT_EQ(e.GetLine(), 263);
        }
        EXPECT_TRUE(caught);
        EXPECT_EQ(map.GetWidth(), 2);
        EXPECT_EQ(map.At(1, 1), 256 + 2);
    }
}

TEST_F(MapTest, CopyFromTakesAFittingSource) {
    auto map = Numbered(3, 2);
    map.CopyFrom(map);
    EXPECT_EQ(map.At(2, 1), 256 + 3);

    auto big = Numbered(4, 3);
    vek::CMap<uint16_t> small;
    small.Resize(2, 1);
    small.Fill(50);
    big.CopyFrom(small);
    EXPECT_EQ(big.At(1, 0), 50);
    EXPECT_EQ(big.At(2, 0), 3); // outside the source: unchanged
    EXPECT_EQ(big.At(0, 1), 257);

    for (auto source : {Numbered(4, 2), Numbered(3, 3)}) {
        const auto e = Thrown([&] { map.CopyFrom(source); });
        EXPECT_EQ(e.GetFunction(), L"vek::CMap<unsigned short>::CopyFrom");
        EXPECT_EQ(map.At(0, 0), 1);
    }
}

TEST_F(MapTest, CopiesAreIndependentLiveObjects) {
    const auto map = Numbered(3, 2);
    const uint32_t live = vek::GetLiveObjectCount();
    vek::CMap<uint16_t> copy(map);
    EXPECT_EQ(vek::GetLiveObjectCount(), live + 1);
    copy.At(0, 0) = 99;
    EXPECT_EQ(map.At(0, 0), 1);
    EXPECT_EQ(copy.At(2, 1), 256 + 3);
}

TEST_F(MapTest, FillAndFree) {
    vek::CMap<unsigned char> map;
    map.Resize(4, 2);
    map.Fill(7);
    EXPECT_EQ(map.At(3, 1), 7);
    map.Free();
    EXPECT_EQ(map.GetWidth(), 4);
    EXPECT_EQ(Thrown([&] { map.At(0, 0); }).GetDetails(),
              L"Invalid array subscript, CMap class\r\nX=0, Y=0, array size 0x0");
    map.Save(); // still a readable record
    EXPECT_EQ(Written(), (Bytes{4, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(MapTest, DataIsTheCellsRowAfterRow) {
    vek::CMap<uint16_t> map = Numbered(3, 2);
    const uint16_t* cells = map.Data();
    ASSERT_NE(cells, nullptr);
    EXPECT_EQ(cells[0], map.At(0, 0));
    EXPECT_EQ(cells[2], map.At(2, 0));
    EXPECT_EQ(cells[3], map.At(0, 1));
    EXPECT_EQ(cells[5], map.At(2, 1));
    map.Free();
    EXPECT_EQ(map.Data(), nullptr);
}

} // namespace
