#pragma once
// Our own stored forms (items, creatures, groups, the hero) are each set down
// once, as one field list that takes either a writer or a reader, so that
// saving and loading cannot disagree. A record class lists its fields in
//   template <class Self, class IO> static void Fields(Self& record, IO& io);
// and names the fewest bytes it can take as kMinStoredSize.
//
// Numbers are little-endian at their own width, a text is a u32 count of
// UTF-16 units and the units, a list is a u32 count and its elements, a fixed
// array is its elements alone.
//
// Readers are strict: a record that ends before its last field, or a count
// whose elements cannot all be in the bytes that remain, is invalid content
// (vek::CFileException code 5 naming the loading function). A count is
// checked before anything is allocated for it.
#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Stream.h"

// --- Where the bytes go and come from ----------------------------------------------

// The save byte stream.
class CStreamSink {
public:
    void Put(const uint8_t* bytes, size_t count) { vek::StreamWriteBytes(bytes, count); }
    // The reservation every vector writer of the stream makes first.
    void Reserve(uint64_t count) { vek::StreamGrow(count); }
};

// A byte array of the writer's own.
class CArraySink {
public:
    explicit CArraySink(std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    void Put(const uint8_t* bytes, size_t count) { m_bytes.insert(m_bytes.end(), bytes, bytes + count); }
    void Reserve(uint64_t) {}

private:
    std::vector<uint8_t>& m_bytes;
};

class CStreamSource {
public:
    uint64_t Remaining() const { return vek::GetStream().remaining(); }
    // Only after Remaining has vouched for the bytes.
    void Take(uint8_t* bytes, size_t count) { vek::StreamReadBytes(count, bytes); }
};

class CArraySource {
public:
    explicit CArraySource(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    uint64_t Remaining() const { return m_bytes.size() - m_position; }
    void Take(uint8_t* bytes, size_t count) {
        std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_position), count, bytes);
        m_position += count;
    }

private:
    std::span<const uint8_t> m_bytes;
    size_t m_position = 0;
};

// --- What an element takes at least -------------------------------------------------

template <class T>
struct TStoredMin {
    static constexpr uint32_t kSize = T::kMinStoredSize;
};
template <class T>
    requires std::is_arithmetic_v<T>
struct TStoredMin<T> {
    static constexpr uint32_t kSize = sizeof(T);
};
template <>
struct TStoredMin<std::wstring> {
    static constexpr uint32_t kSize = 4;
};

// --- Writer and reader -------------------------------------------------------------

template <class Sink>
class TFieldWriter {
public:
    explicit TFieldWriter(Sink sink = Sink()) : m_sink(sink) {}

    template <class T>
        requires std::is_arithmetic_v<T>
    void Field(const T& value) {
        static_assert(!std::is_same_v<T, bool>, "say which width is meant");
        using U = std::make_unsigned_t<
            std::conditional_t<std::is_floating_point_v<T>, std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>, T>>;
        U bits;
        if constexpr (std::is_floating_point_v<T>) {
            bits = std::bit_cast<U>(value);
        } else {
            bits = static_cast<U>(value);
        }
        uint8_t bytes[sizeof(U)];
        for (size_t i = 0; i < sizeof(U); ++i) {
            bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
        }
        m_sink.Put(bytes, sizeof(U));
    }

    void Field(const std::wstring& text) {
        Field(static_cast<uint32_t>(text.size()));
        for (const wchar_t unit : text) {
            Field(static_cast<uint16_t>(unit));
        }
    }

    template <class T>
    void Field(const std::vector<T>& items) {
        m_sink.Reserve(static_cast<uint64_t>(items.size()) * TStoredMin<T>::kSize + 4);
        Field(static_cast<uint32_t>(items.size()));
        for (const T& item : items) {
            Field(item);
        }
    }

    template <class T, size_t N>
    void Field(const std::array<T, N>& items) {
        for (const T& item : items) {
            Field(item);
        }
    }

    template <class R>
        requires requires { R::kMinStoredSize; }
    void Field(const R& record) {
        R::Fields(record, *this);
    }

    // A persistent object of another folder that writes itself (and counts
    // itself) into the stream.
    template <class T>
    void Object(const T& object) {
        object.Save();
    }

private:
    Sink m_sink;
};

template <class Source>
class TFieldReader {
public:
    // function, sourceFile: what the invalid-content error names.
    TFieldReader(const wchar_t* function, const wchar_t* sourceFile, Source source = Source())
        : m_function(function), m_sourceFile(sourceFile), m_source(source) {}

    uint64_t Remaining() const { return m_source.Remaining(); }

    template <class T>
        requires std::is_arithmetic_v<T>
    void Field(T& value) {
        static_assert(!std::is_same_v<T, bool>, "say which width is meant");
        using U = std::make_unsigned_t<
            std::conditional_t<std::is_floating_point_v<T>, std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>, T>>;
        uint8_t bytes[sizeof(U)];
        Need(sizeof(U));
        m_source.Take(bytes, sizeof(U));
        U bits = 0;
        for (size_t i = 0; i < sizeof(U); ++i) {
            bits |= static_cast<U>(static_cast<U>(bytes[i]) << (8 * i));
        }
        if constexpr (std::is_floating_point_v<T>) {
            value = std::bit_cast<T>(bits);
        } else {
            value = static_cast<T>(bits);
        }
    }

    void Field(std::wstring& text) {
        const uint32_t count = Count(2);
        text.resize(count);
        for (wchar_t& unit : text) {
            uint16_t bits = 0;
            Field(bits);
            unit = static_cast<wchar_t>(bits);
        }
    }

    template <class T>
    void Field(std::vector<T>& items) {
        items.resize(Count(TStoredMin<T>::kSize));
        for (T& item : items) {
            Field(item);
        }
    }

    template <class T, size_t N>
    void Field(std::array<T, N>& items) {
        for (T& item : items) {
            Field(item);
        }
    }

    template <class R>
        requires requires { R::kMinStoredSize; }
    void Field(R& record) {
        R::Fields(record, *this);
    }

    template <class T>
    void Object(T& object) {
        object.Load();
    }

    // A u32 count whose elements of at least elementSize bytes each fit in
    // what remains.
    uint32_t Count(uint32_t elementSize) {
        uint32_t count = 0;
        Field(count);
        if (static_cast<uint64_t>(count) * elementSize > Remaining()) {
            Fail(vek::Format(L"A count of %lu does not fit in the %I64u bytes that remain", count, Remaining()));
        }
        return count;
    }

    // Fewer than count bytes remain: the record ends early.
    void Need(uint64_t count) {
        if (count > Remaining()) {
            Fail(L"The record ends early");
        }
    }

    [[noreturn]] void Fail(const std::wstring& details) const {
        throw vek::CFileException(vek::CFileException::kInvalidContent, L"", m_function, m_sourceFile, __LINE__,
                                  details);
    }

private:
    const wchar_t* m_function;
    const wchar_t* m_sourceFile;
    Source m_source;
};

using TStreamWriter = TFieldWriter<CStreamSink>;
using TStreamReader = TFieldReader<CStreamSource>;
