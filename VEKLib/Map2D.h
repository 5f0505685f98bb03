#pragma once
// vek::CMap<T>: a width x height grid of cells with checked access. Maps of
// plain cells (bool, unsigned char, unsigned short) save and load themselves
// byte for byte; maps of class cells are written cell by cell by their owners.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Serializable.h"
#include "VEKLib/Stream.h"

namespace vek {

// The cell type as the map's error texts name it. The owner of a class cell
// type specialises this with the class keyword, for example
//   template <> struct vek::TMapCellName<TWorldLocInfo> {
//       static constexpr const wchar_t* kName = L"struct TWorldLocInfo"; };
template <class T>
struct TMapCellName {
    static_assert(sizeof(T) == 0, "specialise vek::TMapCellName for this cell type");
};
template <>
struct TMapCellName<bool> {
    static constexpr const wchar_t* kName = L"bool";
};
template <>
struct TMapCellName<unsigned char> {
    static constexpr const wchar_t* kName = L"unsigned char";
};
template <>
struct TMapCellName<unsigned short> {
    static constexpr const wchar_t* kName = L"unsigned short";
};

// Maps of world-location descriptions have a second, read-only subscript
// whose errors report their own line; their owner specialises this to 201.
template <class T>
struct TMapConstAtLine {
    static constexpr int32_t kLine = 190;
};

template <class T>
class CMap : public ISerializable {
public:
    // One cell.
    CMap() { Resize(1, 1); }
    CMap(const CMap& other) : ISerializable(other) {
        Resize(other.m_width, other.m_height);
        CopyFrom(other);
    }
    CMap& operator=(const CMap& other);
    ~CMap() override = default;

    // Throws vek::CException when (x, y) is outside the map (or the map was
    // freed).
    T& At(uint16_t x, uint16_t y) {
        if (!Contains(x, y)) {
            ThrowSubscript(x, y, 190);
        }
        return m_cells[Index(x, y)];
    }
    const T& At(uint16_t x, uint16_t y) const {
        if (!Contains(x, y)) {
            ThrowSubscript(x, y, TMapConstAtLine<T>::kLine);
        }
        return m_cells[Index(x, y)];
    }

    // Replaces the whole content by width x height default cells (0 for
    // plain types). A size of 0 throws and keeps the map as it was; so does a
    // failed allocation, since the new cells exist before the old ones go.
    bool Resize(uint16_t width, uint16_t height);
    void Fill(T value);
    // Copies the source's cells into the same cells of this map. The source
    // must not be wider or higher than this map (vek::CException).
    void CopyFrom(const CMap& source);
    // Releases the cells; width and height keep their values until the next
    // Resize, but no cell can be reached.
    void Free() { m_cells.reset(); }

    uint16_t GetWidth() const { return m_width; }
    uint16_t GetHeight() const { return m_height; }
    bool HasCells() const { return m_cells != nullptr; }
    // The cells row after row, cell (x, y) at y * width + x; null once freed.
    // For inner loops that keep to the bounds themselves.
    T* Data() { return m_cells.get(); }
    const T* Data() const { return m_cells.get(); }

    // u16 width, u16 height, then the rows, each cell at its own width.
    void Load() override;
    virtual void Save() const;

private:
    static constexpr bool kPlainCells = std::is_arithmetic_v<T>;

    static std::wstring FunctionName(const wchar_t* operation) {
        return std::wstring(L"vek::CMap<") + TMapCellName<T>::kName + L">::" + operation;
    }
    bool Contains(uint16_t x, uint16_t y) const { return m_cells && x < m_width && y < m_height; }
    size_t Index(uint16_t x, uint16_t y) const { return static_cast<size_t>(y) * m_width + x; }
    size_t CellCount() const { return static_cast<size_t>(m_width) * m_height; }
    [[noreturn]] void ThrowSubscript(uint16_t x, uint16_t y, int32_t line) const;
    [[noreturn]] void ThrowNotPlain(const wchar_t* operation) const;

    uint16_t m_width = 0;
    uint16_t m_height = 0;
    std::unique_ptr<T[]> m_cells;
};

namespace detail {

// Stored width and byte form of a plain cell.
template <class T>
constexpr size_t MapCellSize() {
    if constexpr (std::is_same_v<T, bool>) {
        return 1;
    } else {
        return sizeof(T);
    }
}

template <class T>
void EncodeMapCell(const T& cell, uint8_t* out) {
    if constexpr (std::is_same_v<T, bool>) {
        out[0] = cell ? 1 : 0;
    } else {
        using U = std::conditional_t<
            sizeof(T) == 1, uint8_t,
            std::conditional_t<sizeof(T) == 2, uint16_t, std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>>;
        const U bits = std::bit_cast<U>(cell);
        for (size_t i = 0; i < sizeof(T); ++i) {
            out[i] = static_cast<uint8_t>(bits >> (8 * i));
        }
    }
}

template <class T>
T DecodeMapCell(const uint8_t* in) {
    if constexpr (std::is_same_v<T, bool>) {
        return in[0] != 0; // any non-zero byte is true: no invalid bool in memory
    } else {
        using U = std::conditional_t<
            sizeof(T) == 1, uint8_t,
            std::conditional_t<sizeof(T) == 2, uint16_t, std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>>;
        U bits = 0;
        for (size_t i = 0; i < sizeof(T); ++i) {
            bits |= static_cast<U>(static_cast<U>(in[i]) << (8 * i));
        }
        return std::bit_cast<T>(bits);
    }
}

} // namespace detail

template <class T>
CMap<T>& CMap<T>::operator=(const CMap& other) {
    if (this != &other) {
        CMap copy(other);
        m_width = copy.m_width;
        m_height = copy.m_height;
        m_cells = std::move(copy.m_cells);
    }
    return *this;
}

template <class T>
bool CMap<T>::Resize(uint16_t width, uint16_t height) {
    if (width == 0 || height == 0) {
        throw CException(FunctionName(L"Resize"), L"Map2D", 263,
                         L"An attempt to create a 0-element array - CMap<T>::Resize");
    }
    auto cells = std::make_unique<T[]>(static_cast<size_t>(width) * height);
    m_cells = std::move(cells);
    m_width = width;
    m_height = height;
    return true;
}

template <class T>
void CMap<T>::Fill(T value) {
    if (!m_cells) {
        return;
    }
    for (size_t i = 0; i < CellCount(); ++i) {
        m_cells[i] = value;
    }
}

template <class T>
void CMap<T>::CopyFrom(const CMap& source) {
    if (&source == this || !source.m_cells) {
        return;
    }
    if (!m_cells || source.m_width > m_width || source.m_height > m_height) {
        const uint32_t width = m_cells ? m_width : 0;
        const uint32_t height = m_cells ? m_height : 0;
        throw CException(
            FunctionName(L"CopyFrom"), L"Map2D", __LINE__,
            Format(L"Source map %ux%u does not fit into a map of %ux%u", static_cast<uint32_t>(source.m_width),
                   static_cast<uint32_t>(source.m_height), width, height));
    }
    for (uint16_t y = 0; y < source.m_height; ++y) {
        for (uint16_t x = 0; x < source.m_width; ++x) {
            m_cells[Index(x, y)] = source.m_cells[source.Index(x, y)];
        }
    }
}

template <class T>
void CMap<T>::ThrowSubscript(uint16_t x, uint16_t y, int32_t line) const {
    // A freed map holds no cells, whatever its width and height say.
    const uint32_t width = m_cells ? m_width : 0;
    const uint32_t height = m_cells ? m_height : 0;
    throw CException(
        FunctionName(L"At"), L"Map2D", line,
        L"Invalid array subscript, CMap class\r\n" +
            Format(L"X=%u, Y=%u, array size %ux%u", static_cast<uint32_t>(x), static_cast<uint32_t>(y), width, height));
}

template <class T>
void CMap<T>::ThrowNotPlain(const wchar_t* operation) const {
    throw CException(FunctionName(operation), L"Map2D", __LINE__,
                     L"Maps of this cell type are stored cell by cell by their owner");
}

template <class T>
void CMap<T>::Save() const {
    if constexpr (!kPlainCells) {
        ThrowNotPlain(L"Save");
    } else {
        constexpr size_t cellSize = detail::MapCellSize<T>();
        StreamGrow(static_cast<uint64_t>(CellCount()) * cellSize + 4);
        StreamWrite(static_cast<uint32_t>(m_width | (static_cast<uint32_t>(m_height) << 16)));
        // One write per row. A freed map still writes its rows (as zeros) so
        // that the bytes after it stay where the reader expects them.
        std::vector<uint8_t> row(m_width * cellSize);
        for (uint16_t y = 0; y < m_height; ++y) {
            for (uint16_t x = 0; x < m_width; ++x) {
                detail::EncodeMapCell(m_cells ? m_cells[Index(x, y)] : T{}, &row[x * cellSize]);
            }
            StreamWriteBytes(row.data(), row.size());
        }
        CountObject();
    }
}

template <class T>
void CMap<T>::Load() {
    if constexpr (!kPlainCells) {
        ThrowNotPlain(L"Load");
    } else {
        constexpr size_t cellSize = detail::MapCellSize<T>();
        uint32_t header = 0;
        if (!StreamRead(header)) {
            // No size to go by: the map stays as it is.
            CountObject();
            return;
        }
        const auto width = static_cast<uint16_t>(header & 0xFFFF);
        const auto height = static_cast<uint16_t>(header >> 16);
        // The size comes from the file: refuse one whose cells cannot be
        // there before allocating for it.
        if (static_cast<uint64_t>(width) * height * cellSize > GetStream().remaining()) {
            throw CFileException(CFileException::kInvalidContent, L"", FunctionName(L"Load"), L"Map2D", __LINE__,
                                 L"Map data runs past the end of the stream");
        }
        Resize(width, height);
        std::vector<uint8_t> row(width * cellSize);
        for (uint16_t y = 0; y < height; ++y) {
            if (!StreamReadBytes(row.size(), row.data())) {
                continue;
            }
            for (uint16_t x = 0; x < width; ++x) {
                m_cells[Index(x, y)] = detail::DecodeMapCell<T>(&row[x * cellSize]);
            }
        }
        CountObject();
    }
}

} // namespace vek
