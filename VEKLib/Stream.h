#pragma once
// The save byte stream: one process-wide buffer that every persistent object
// appends itself to on save and reads itself back from on load, in the same
// order. No framing: numbers are little-endian at their own width, a wide
// string is a u32 count of UTF-16 units and the units, a vector is a u32
// count and its elements. A read that needs more bytes than remain copies
// nothing and leaves the target and the read position as they were.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "VEKLib/Serializable.h"

namespace vek {

// Stored widths and per-element reserves of the vector writers.
constexpr uint32_t kRecord3Size = 3;
constexpr uint32_t kRecord8Size = 8;
constexpr uint32_t kRecord12Size = 12;
constexpr uint32_t kByteArrayReserve = 1;
constexpr uint32_t kGroupReserve = 68;
constexpr uint32_t kBattleInfoReserve = 120;
constexpr uint32_t kEffectReserve = 12;
constexpr uint32_t kCreatureReserve = 125;
// What a game save reserves at once before the objects write themselves.
constexpr uint32_t kGameSaveGrowth = 1048576;

// The global record. `capacity` is the bookkeeping figure of the growth rule
// (StreamGrow); the real storage grows geometrically on its own.
class TSaveStream {
public:
    uint32_t objectCount() const { return m_objectCount; }
    uint32_t capacity() const { return m_capacity; }
    uint32_t size() const { return static_cast<uint32_t>(m_data.size()); }
    uint32_t position() const { return m_position; }
    uint32_t remaining() const { return size() - m_position; }
    // The written bytes; may be null while the stream is empty.
    const uint8_t* data() const { return m_data.data(); }
    std::span<const uint8_t> bytes() const { return {m_data.data(), m_data.size()}; }

private:
    friend struct TSaveStreamAccess;
    uint32_t m_objectCount = 0;
    uint32_t m_capacity = 0;
    uint32_t m_position = 0;
    std::vector<uint8_t> m_data;
};

const TSaveStream& GetStream();

// Frees the data and zeroes every field.
void StreamReset();
// Same end state as StreamReset (the world loader's name for it).
void StreamRelease();
// Raises the capacity figure by delta. Throws vek::CException when the
// figure would pass 4 GiB.
void StreamGrow(uint64_t delta);
// Resets the stream and makes the bytes (a file's content) its data, read
// position 0, capacity = size.
void StreamAssign(std::vector<uint8_t> bytes);
void StreamAssign(const uint8_t* bytes, size_t count);
// Adds one to the object count.
void StreamCountObject();

// Appends; when size + n exceeds the capacity figure it first grows by
// 2 x (size + n). Throws vek::CException when the size would pass 4 GiB.
void StreamWriteBytes(const void* source, size_t count);
void StreamWriteRange(const uint8_t* begin, const uint8_t* end);
// Copies the next bytes out and advances; false (nothing copied, position
// kept) when fewer remain.
bool StreamReadBytes(size_t count, void* destination);
bool StreamReadRange(uint8_t* begin, uint8_t* end);
// Advances over count bytes when that many remain.
bool StreamSkip(size_t count);
// Back to the data's start for another read: read position and object count 0.
void StreamRewind();

void StreamWriteString(const std::wstring& text);
// A zero unit inside the stored text cuts the result there, but the read
// position passes all stored units. A count whose units are not all in the
// stream yields an empty string with only the count consumed; fewer than
// four bytes for the count clear the string and consume nothing.
bool StreamReadString(std::wstring& text);

// Scalars, little-endian at their own width.
void StreamWrite(uint8_t value);
void StreamWrite(uint16_t value);
void StreamWrite(uint32_t value);
void StreamWrite(uint64_t value);
void StreamWrite(int8_t value);
void StreamWrite(int16_t value);
void StreamWrite(int32_t value);
void StreamWrite(int64_t value);
void StreamWrite(float value);
void StreamWrite(double value);
void StreamWrite(bool value) = delete; // say which width is meant
bool StreamRead(uint8_t& value);
bool StreamRead(uint16_t& value);
bool StreamRead(uint32_t& value);
bool StreamRead(uint64_t& value);
bool StreamRead(int8_t& value);
bool StreamRead(int16_t& value);
bool StreamRead(int32_t& value);
bool StreamRead(int64_t& value);
bool StreamRead(float& value);
bool StreamRead(double& value);

// Reads a vector's u32 count, limited to what the rest of the stream can
// hold at elementWidth bytes each, so that a corrupt count cannot make a
// reader allocate more than the file could describe. 0 when fewer than four
// bytes remain (then nothing is consumed).
uint32_t StreamReadCount(uint32_t elementWidth);

// How the vector templates store one plain element. A record type provides
//   static constexpr uint32_t kStoredSize;   // bytes in the stream
//   void WriteFields() const;                 // vek::StreamWrite per field
//   void ReadFields();                        // called only when kStoredSize bytes remain
template <class T>
struct TStreamElement {
    static constexpr uint32_t kSize = T::kStoredSize;
    static void Write(const T& value) { value.WriteFields(); }
    static void Read(T& value) { value.ReadFields(); }
};

template <class T>
    requires std::is_arithmetic_v<T>
struct TStreamElement<T> {
    static constexpr uint32_t kSize = sizeof(T);
    static void Write(T value) { StreamWrite(value); }
    static void Read(T& value) { StreamRead(value); }
};

// The writers first raise the capacity figure by count x reserve + 4 even
// when there is room, then write the count and the elements.
template <class T>
void WritePlainVector(const std::vector<T>& items, uint32_t reserveSize) {
    StreamGrow(static_cast<uint64_t>(items.size()) * reserveSize + 4);
    StreamWrite(static_cast<uint32_t>(items.size()));
    for (const T& item : items) {
        TStreamElement<T>::Write(item);
    }
}

// Elements beyond the count go, kept ones are overwritten, new ones are
// default-constructed.
template <class T>
void ReadPlainVector(std::vector<T>& items) {
    static_assert(TStreamElement<T>::kSize > 0);
    items.resize(StreamReadCount(TStreamElement<T>::kSize));
    for (T& item : items) {
        TStreamElement<T>::Read(item);
    }
}

void WriteWordVector(const std::vector<uint16_t>& items);
void ReadWordVector(std::vector<uint16_t>& items);
void WriteDwordVector(const std::vector<uint32_t>& items);
void ReadDwordVector(std::vector<uint32_t>& items);

template <class R>
void WriteRecordVector12(const std::vector<R>& items) {
    static_assert(TStreamElement<R>::kSize == kRecord12Size);
    WritePlainVector(items, kRecord12Size);
}
template <class R>
void ReadRecordVector12(std::vector<R>& items) {
    static_assert(TStreamElement<R>::kSize == kRecord12Size);
    ReadPlainVector(items);
}
template <class R>
void WriteRecordVector8(const std::vector<R>& items) {
    static_assert(TStreamElement<R>::kSize == kRecord8Size);
    WritePlainVector(items, kRecord8Size);
}
template <class R>
void ReadRecordVector8(std::vector<R>& items) {
    static_assert(TStreamElement<R>::kSize == kRecord8Size);
    ReadPlainVector(items);
}
// Its user reads the records in place (StreamReadCount, then the records).
template <class R>
void WriteRecordVector3(const std::vector<R>& items) {
    static_assert(TStreamElement<R>::kSize == kRecord3Size);
    WritePlainVector(items, kRecord3Size);
}

// Vectors of persistent objects: each element writes and reads itself
// (`Save() const` and `Load()`).
template <class T>
void SaveObjectVector(const std::vector<T>& items, uint32_t reserveSize) {
    StreamGrow(static_cast<uint64_t>(items.size()) * reserveSize + 4);
    StreamWrite(static_cast<uint32_t>(items.size()));
    for (const T& item : items) {
        item.Save();
    }
}

// An object takes at least one byte, which bounds the count.
template <class T>
void LoadObjectVector(std::vector<T>& items) {
    items.resize(StreamReadCount(1));
    for (T& item : items) {
        item.Load();
    }
}

namespace detail {
void ThrowNullElement(const wchar_t* function);
}

// Vectors of owned pointers (groups, creatures).
template <class T>
void SaveObjectPtrVector(const std::vector<T*>& items, uint32_t reserveSize) {
    for (const T* item : items) {
        if (!item) {
            detail::ThrowNullElement(L"vek::SaveObjectPtrVector");
        }
    }
    StreamGrow(static_cast<uint64_t>(items.size()) * reserveSize + 4);
    StreamWrite(static_cast<uint32_t>(items.size()));
    for (const T* item : items) {
        item->Save();
    }
}

// Every entry is a new object that loads itself. Objects the vector already
// points to are deleted first: the vector owns them, and overwriting the
// pointers would lose them.
template <class T>
void LoadObjectPtrVector(std::vector<T*>& items) {
    const uint32_t count = StreamReadCount(1);
    for (T* item : items) {
        delete item;
    }
    items.clear();
    items.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        auto item = std::make_unique<T>();
        item->Load();
        items.push_back(item.release());
    }
}

// An object with an opaque byte buffer of its own (special objects of a
// location cell derive from it).
class IByteStream : public virtual ISerializable {
public:
    using TRecord5 = std::array<uint8_t, 5>;

    IByteStream() = default;
    IByteStream(const IByteStream&) = default;
    IByteStream& operator=(const IByteStream&) = default;
    ~IByteStream() override;

    // SaveBuffer, then one counted object.
    virtual void Save() const;
    // LoadBuffer, then one counted object.
    void Load() override;

    // Writes the record at the position, lengthening the buffer to
    // position + 5 when needed; the position stays.
    void WriteRecord5(const TRecord5& record);
    // Reads the record at the position and advances by 5; when it is not all
    // in the buffer the record becomes zeros, the position stays and the
    // result is false.
    bool ReadRecord5(TRecord5& record);
    // The whole buffer becomes the text's UTF-16 units, low byte first (no
    // count).
    void WriteString(const std::wstring& text);

    // The own buffer into / out of the save stream: u32 byte count, bytes.
    void SaveBuffer() const { SaveBuffer(m_buffer); }
    void LoadBuffer() { LoadBuffer(m_buffer); }
    // The same for any byte array (the hero keeps one of its own).
    static void SaveBuffer(const std::vector<uint8_t>& bytes);
    static void LoadBuffer(std::vector<uint8_t>& bytes);

    uint32_t GetPosition() const { return m_position; }
    void SetPosition(uint32_t position) { m_position = position; }
    const std::vector<uint8_t>& GetBuffer() const { return m_buffer; }
    std::vector<uint8_t>& GetBuffer() { return m_buffer; }

protected:
    uint32_t m_position = 0;
    std::vector<uint8_t> m_buffer;
};

} // namespace vek
