#include "VEKLib/Stream.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "VEKLib/Exception.h"

namespace vek {

namespace {

// Sizes, positions and the capacity figure are stored as u32.
constexpr uint64_t kStreamLimit = std::numeric_limits<uint32_t>::max();

TSaveStream g_stream;
uint32_t g_liveObjects = 0;

} // namespace

struct TSaveStreamAccess {
    static TSaveStream& Get() { return g_stream; }
    static uint32_t& ObjectCount() { return g_stream.m_objectCount; }
    static uint32_t& Capacity() { return g_stream.m_capacity; }
    static uint32_t& Position() { return g_stream.m_position; }
    static std::vector<uint8_t>& Data() { return g_stream.m_data; }
};

namespace {

using S = TSaveStreamAccess;

[[noreturn]] void ThrowTooLarge(const wchar_t* function, int32_t line) {
    throw CException(function, L"Stream", line, L"The save stream cannot grow past 4 GiB");
}

// The capacity figure follows the growth rule and stops at the largest
// 32-bit value; the storage itself grows as the bytes arrive.
void RaiseCapacityFigure(uint64_t delta) {
    S::Capacity() = static_cast<uint32_t>(std::min<uint64_t>(S::Capacity() + delta, kStreamLimit));
}

// The growth check in front of every write of n bytes.
void MakeRoom(uint64_t count) {
    const uint64_t needed = S::Data().size() + count;
    if (needed > kStreamLimit) {
        ThrowTooLarge(L"vek::StreamWriteBytes", __LINE__);
    }
    if (needed > S::Capacity()) {
        RaiseCapacityFigure(2 * needed);
    }
}

void Append(const uint8_t* bytes, size_t count) {
    MakeRoom(count);
    if (count) {
        S::Data().insert(S::Data().end(), bytes, bytes + count);
    }
}

template <class U>
void WriteLittleEndian(U bits) {
    uint8_t bytes[sizeof(U)];
    for (size_t i = 0; i < sizeof(U); ++i) {
        bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
    }
    Append(bytes, sizeof(U));
}

template <class U>
bool ReadLittleEndian(U& bits) {
    uint8_t bytes[sizeof(U)];
    if (!StreamReadBytes(sizeof(U), bytes)) {
        return false;
    }
    U value = 0;
    for (size_t i = 0; i < sizeof(U); ++i) {
        value |= static_cast<U>(static_cast<U>(bytes[i]) << (8 * i));
    }
    bits = value;
    return true;
}

template <class T>
bool ReadAs(T& value) {
    using U = std::make_unsigned_t<T>;
    U bits = 0;
    if (!ReadLittleEndian(bits)) {
        return false;
    }
    value = static_cast<T>(bits);
    return true;
}

void Clear() {
    std::vector<uint8_t>().swap(S::Data());
    S::ObjectCount() = 0;
    S::Capacity() = 0;
    S::Position() = 0;
}

} // namespace

// --- Persistent objects ----------------------------------------------------

ISerializable::ISerializable() noexcept { ++g_liveObjects; }
ISerializable::ISerializable(const ISerializable&) noexcept { ++g_liveObjects; }
ISerializable::~ISerializable() { --g_liveObjects; }
void ISerializable::CountObject() const { StreamCountObject(); }
void ISerializable::Load() { CountObject(); }

uint32_t GetLiveObjectCount() { return g_liveObjects; }

CLiveCount::CLiveCount() noexcept { ++g_liveObjects; }
CLiveCount::CLiveCount(const CLiveCount&) noexcept { ++g_liveObjects; }
CLiveCount::~CLiveCount() { --g_liveObjects; }

// --- The stream --------------------------------------------------------------

const TSaveStream& GetStream() { return g_stream; }

void StreamReset() { Clear(); }
void StreamRelease() { Clear(); }

void StreamGrow(uint64_t delta) {
    RaiseCapacityFigure(delta);
    // Room for what the caller is about to write (a save reserves a block,
    // a vector writer its payload), at least doubling whenever the storage
    // moves so that many small reservations do not copy the buffer each time.
    // The reservation is only a head start, so it is kept modest.
    constexpr uint64_t kLargestReservation = 64u << 20;
    std::vector<uint8_t>& data = S::Data();
    const uint64_t wanted = data.size() + std::min(delta, kLargestReservation);
    if (wanted > data.capacity()) {
        data.reserve(std::max<size_t>(wanted, 2 * data.capacity()));
    }
}

void StreamAssign(std::vector<uint8_t> bytes) {
    if (bytes.size() > kStreamLimit) {
        ThrowTooLarge(L"vek::StreamAssign", __LINE__);
    }
    Clear();
    S::Data() = std::move(bytes);
    S::Capacity() = static_cast<uint32_t>(S::Data().size());
}

void StreamAssign(const uint8_t* bytes, size_t count) {
    if (count > kStreamLimit) {
        ThrowTooLarge(L"vek::StreamAssign", __LINE__);
    }
    StreamAssign(std::vector<uint8_t>(bytes, bytes + count));
}

void StreamCountObject() { ++S::ObjectCount(); }

void StreamWriteBytes(const void* source, size_t count) { Append(static_cast<const uint8_t*>(source), count); }

void StreamWriteRange(const uint8_t* begin, const uint8_t* end) { Append(begin, static_cast<size_t>(end - begin)); }

bool StreamReadBytes(size_t count, void* destination) {
    if (count > g_stream.remaining()) {
        return false;
    }
    if (count) {
        std::memcpy(destination, S::Data().data() + S::Position(), count);
    }
    S::Position() += static_cast<uint32_t>(count);
    return true;
}

bool StreamReadRange(uint8_t* begin, uint8_t* end) { return StreamReadBytes(static_cast<size_t>(end - begin), begin); }

void StreamRewind() {
    S::Position() = 0;
    S::ObjectCount() = 0;
}

bool StreamSkip(size_t count) {
    if (count > g_stream.remaining()) {
        return false;
    }
    S::Position() += static_cast<uint32_t>(count);
    return true;
}

void StreamWriteString(const std::wstring& text) {
    const uint64_t unitBytes = 2 * static_cast<uint64_t>(text.size());
    // Refuse before the count goes out, so a failure leaves no half string.
    if (S::Data().size() + 4 + unitBytes > kStreamLimit) {
        ThrowTooLarge(L"vek::StreamWriteString", __LINE__);
    }
    StreamWrite(static_cast<uint32_t>(text.size()));
    if (text.empty()) {
        return;
    }
    std::vector<uint8_t> units(static_cast<size_t>(unitBytes));
    for (size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<uint16_t>(text[i]);
        units[2 * i] = static_cast<uint8_t>(unit);
        units[2 * i + 1] = static_cast<uint8_t>(unit >> 8);
    }
    Append(units.data(), units.size());
}

bool StreamReadString(std::wstring& text) {
    uint32_t count = 0;
    if (!StreamRead(count)) {
        text.clear();
        return false;
    }
    const uint64_t unitBytes = 2 * static_cast<uint64_t>(count);
    if (unitBytes > g_stream.remaining()) {
        // Checked before anything is allocated: a corrupt count must not
        // decide how much memory the load takes.
        text.clear();
        return false;
    }
    const uint8_t* units = S::Data().data() + S::Position();
    size_t length = 0;
    while (length < count && (units[2 * length] | units[2 * length + 1]) != 0) {
        ++length;
    }
    text.resize(length);
    for (size_t i = 0; i < length; ++i) {
        text[i] = static_cast<wchar_t>(units[2 * i] | (units[2 * i + 1] << 8));
    }
    S::Position() += static_cast<uint32_t>(unitBytes);
    return true;
}

void StreamWrite(uint8_t value) { WriteLittleEndian(value); }
void StreamWrite(uint16_t value) { WriteLittleEndian(value); }
void StreamWrite(uint32_t value) { WriteLittleEndian(value); }
void StreamWrite(uint64_t value) { WriteLittleEndian(value); }
void StreamWrite(int8_t value) { WriteLittleEndian(static_cast<uint8_t>(value)); }
void StreamWrite(int16_t value) { WriteLittleEndian(static_cast<uint16_t>(value)); }
void StreamWrite(int32_t value) { WriteLittleEndian(static_cast<uint32_t>(value)); }
void StreamWrite(int64_t value) { WriteLittleEndian(static_cast<uint64_t>(value)); }
void StreamWrite(float value) { WriteLittleEndian(std::bit_cast<uint32_t>(value)); }
void StreamWrite(double value) { WriteLittleEndian(std::bit_cast<uint64_t>(value)); }

bool StreamRead(uint8_t& value) { return ReadAs(value); }
bool StreamRead(uint16_t& value) { return ReadAs(value); }
bool StreamRead(uint32_t& value) { return ReadAs(value); }
bool StreamRead(uint64_t& value) { return ReadAs(value); }
bool StreamRead(int8_t& value) { return ReadAs(value); }
bool StreamRead(int16_t& value) { return ReadAs(value); }
bool StreamRead(int32_t& value) { return ReadAs(value); }
bool StreamRead(int64_t& value) { return ReadAs(value); }

bool StreamRead(float& value) {
    uint32_t bits = 0;
    if (!ReadLittleEndian(bits)) {
        return false;
    }
    value = std::bit_cast<float>(bits);
    return true;
}

bool StreamRead(double& value) {
    uint64_t bits = 0;
    if (!ReadLittleEndian(bits)) {
        return false;
    }
    value = std::bit_cast<double>(bits);
    return true;
}

uint32_t StreamReadCount(uint32_t elementWidth) {
    uint32_t count = 0;
    if (!StreamRead(count)) {
        return 0;
    }
    return std::min(count, g_stream.remaining() / std::max<uint32_t>(elementWidth, 1));
}

// --- Vectors -----------------------------------------------------------------

void WriteWordVector(const std::vector<uint16_t>& items) { WritePlainVector(items, 2); }
void ReadWordVector(std::vector<uint16_t>& items) { ReadPlainVector(items); }
void WriteDwordVector(const std::vector<uint32_t>& items) { WritePlainVector(items, 4); }
void ReadDwordVector(std::vector<uint32_t>& items) { ReadPlainVector(items); }

namespace detail {
void ThrowNullElement(const wchar_t* function) {
    throw CException(function, L"Stream", __LINE__, L"A vector of objects to save holds a null pointer");
}
} // namespace detail

// --- Objects with a byte buffer ---------------------------------------------

IByteStream::~IByteStream() = default;

void IByteStream::Save() const {
    SaveBuffer();
    CountObject();
}

void IByteStream::Load() {
    LoadBuffer();
    CountObject();
}

void IByteStream::WriteRecord5(const TRecord5& record) {
    const uint64_t end = static_cast<uint64_t>(m_position) + record.size();
    if (m_buffer.size() <= end) {
        m_buffer.resize(static_cast<size_t>(end));
    }
    std::copy(record.begin(), record.end(), m_buffer.begin() + m_position);
}

bool IByteStream::ReadRecord5(TRecord5& record) {
    if (m_buffer.size() < static_cast<uint64_t>(m_position) + record.size()) {
        record.fill(0);
        return false;
    }
    std::copy_n(m_buffer.begin() + m_position, record.size(), record.begin());
    m_position += static_cast<uint32_t>(record.size());
    return true;
}

void IByteStream::WriteString(const std::wstring& text) {
    m_buffer.resize(2 * text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<uint16_t>(text[i]);
        m_buffer[2 * i] = static_cast<uint8_t>(unit);
        m_buffer[2 * i + 1] = static_cast<uint8_t>(unit >> 8);
    }
}

void IByteStream::SaveBuffer(const std::vector<uint8_t>& bytes) {
    StreamGrow(static_cast<uint64_t>(bytes.size()) * kByteArrayReserve + 4);
    StreamWrite(static_cast<uint32_t>(bytes.size()));
    StreamWriteBytes(bytes.data(), bytes.size());
}

void IByteStream::LoadBuffer(std::vector<uint8_t>& bytes) {
    bytes.resize(StreamReadCount(1));
    StreamReadBytes(bytes.size(), bytes.data());
}

} // namespace vek
