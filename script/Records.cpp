#include "script/Records.h"

#include <array>
#include <bit>
#include <cstring>

#include "VEKLib/Exception.h"
#include "VEKLib/Stream.h"

namespace {

// A fixed block goes into the stream as one write, and comes out only as a
// whole: a block cut short by the end of the stream leaves every field of it
// as it was.
template <size_t N>
class TFixedBlock {
public:
    template <class T>
    void Put(T value) {
        using U = std::make_unsigned_t<T>;
        const auto bits = static_cast<U>(value);
        for (size_t i = 0; i < sizeof(T); ++i) {
            m_bytes[m_used++] = static_cast<uint8_t>(bits >> (8 * i));
        }
    }
    template <class T>
    void Get(T& value) {
        using U = std::make_unsigned_t<T>;
        U bits = 0;
        for (size_t i = 0; i < sizeof(T); ++i) {
            bits |= static_cast<U>(static_cast<U>(m_bytes[m_used++]) << (8 * i));
        }
        value = static_cast<T>(bits);
    }
    void Write() const { vek::StreamWriteBytes(m_bytes.data(), N); }
    bool Read() { return vek::StreamReadBytes(N, m_bytes.data()); }

private:
    std::array<uint8_t, N> m_bytes{};
    size_t m_used = 0;
};

// The outside storage of a bound variable may have any alignment.
template <class T>
T ReadStorage(const void* storage) {
    T value;
    std::memcpy(&value, storage, sizeof(T));
    return value;
}
template <class T>
void WriteStorage(void* storage, T value) {
    std::memcpy(storage, &value, sizeof(T));
}

} // namespace

// --- TCommand -------------------------------------------------------------------

size_t TCommandRareFields::Hash() const {
    return MixHash(reinterpret_cast<uintptr_t>(arguments.Identity()) * 0x9E3779B97F4A7C15ull +
                   reinterpret_cast<uintptr_t>(targetName.Identity()) * 0xC2B2AE3D27D4EB4Full +
                   ((static_cast<uint64_t>(extra) << 8) | flag));
}

void TCommand::Save() const {
    TFixedBlock<kFixedSize> fixed;
    fixed.Put(static_cast<uint32_t>(kind)), fixed.Put(argument), fixed.Put(target), fixed.Put(Extra());
    fixed.Put(block), fixed.Put(textPosition), fixed.Put(Flag());
    fixed.Write();
    vek::StreamWriteString(name);
    vek::StreamWriteString(Arguments());
    vek::StreamWriteString(TargetName());
    vek::StreamCountObject();
}

namespace {

void ReadText(CSharedText& text) {
    std::wstring read;
    vek::StreamReadString(read);
    text = read;
}

} // namespace

void TCommand::Load() {
    TFixedBlock<kFixedSize> fixed;
    if (fixed.Read()) {
        uint32_t storedKind = 0, extra = 0;
        uint8_t flag = 0;
        fixed.Get(storedKind), fixed.Get(argument), fixed.Get(target), fixed.Get(extra);
        fixed.Get(block), fixed.Get(textPosition), fixed.Get(flag);
        kind = storedKind;
        SetExtra(extra);
        SetFlag(flag);
    }
    CSharedText text;
    ReadText(name);
    ReadText(text);
    SetArguments(std::move(text));
    ReadText(text);
    SetTargetName(std::move(text));
    vek::StreamCountObject();
}

// --- TNode ----------------------------------------------------------------------

size_t TNodeRareFields::Hash() const {
    return MixHash(reinterpret_cast<uintptr_t>(text2.Identity()) * 0x9E3779B97F4A7C15ull + high);
}

TNode::TNode(uint32_t nodeKind, CSharedText nodeText, uint64_t nodeValue) {
    kind = nodeKind;
    text = std::move(nodeText);
    SetValue(nodeValue);
}

void TNode::Save() const {
    vek::StreamWrite(static_cast<uint32_t>(kind));
    vek::StreamWriteString(text);
    vek::StreamWriteString(Text2());
    TFixedBlock<8> block;
    block.Put(value), block.Put(High());
    block.Write();
    vek::StreamCountObject();
}

void TNode::Load() {
    uint32_t storedKind = 0;
    if (vek::StreamRead(storedKind)) {
        kind = storedKind;
    }
    ReadText(text);
    CSharedText text2;
    ReadText(text2);
    SetText2(std::move(text2));
    TFixedBlock<8> block;
    if (block.Read()) {
        uint32_t high = 0;
        block.Get(value), block.Get(high);
        SetHigh(high);
    }
    vek::StreamCountObject();
}

// --- CVariable ------------------------------------------------------------------

CVariable::CVariable(const std::wstring& name, uint32_t low, uint32_t high, uint32_t kind)
    : m_name(name), m_kind(kind), m_value(static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low)) {}

CVariable::CVariable(const std::wstring& name, void* storage, uint32_t kind)
    : m_name(name), m_kind(kind), m_storage(storage) {}

int64_t CVariable::GetBoundValue() const {
    switch (m_kind) {
    case kKindU8:
        return ReadStorage<uint8_t>(m_storage);
    case kKindU16:
        return ReadStorage<uint16_t>(m_storage);
    case kKindU32:
        return ReadStorage<uint32_t>(m_storage);
    case kKindI64:
        return ReadStorage<int64_t>(m_storage);
    default:
        return 0;
    }
}

void CVariable::SetBoundValue(int64_t value) {
    switch (m_kind) {
    case kKindU8:
        WriteStorage(m_storage, static_cast<uint8_t>(value));
        break;
    case kKindU16:
        WriteStorage(m_storage, static_cast<uint16_t>(value));
        break;
    case kKindU32:
        WriteStorage(m_storage, static_cast<uint32_t>(value));
        break;
    case kKindI64:
        WriteStorage(m_storage, value);
        break;
    default:
        break;
    }
}

void CVariable::Save() const {
    vek::StreamWriteString(m_name);
    // An address means nothing in another run, so a bound variable is
    // written with the value it reads now.
    TFixedBlock<15> fixed;
    const uint8_t bound = m_storage ? 1 : 0;
    fixed.Put(m_kind), fixed.Put(bound);
    fixed.Put(GetValue()), fixed.Put(m_scopeMark);
    fixed.Write();
    TFixedBlock<8> scope;
    scope.Put(m_scopeStart), scope.Put(m_scopeEnd);
    scope.Write();
    CountObject();
}

void CVariable::Load() {
    vek::StreamReadString(m_name);
    TFixedBlock<15> fixed;
    if (fixed.Read()) {
        uint32_t storedKind = 0;
        uint8_t storedBound = 0;
        int64_t storedValue = 0;
        fixed.Get(storedKind), fixed.Get(storedBound), fixed.Get(storedValue), fixed.Get(m_scopeMark);
        // A live binding is kept as it is, kind included (the kind is the
        // width written into the storage), and the storage belongs to the
        // object that owns it. A variable that was bound when saved has
        // nothing to bind to here: it comes back unbound with the value 0.
        if (!m_storage) {
            m_kind = storedKind;
            m_value = storedBound ? 0 : storedValue;
        }
    }
    TFixedBlock<8> scope;
    if (scope.Read()) {
        scope.Get(m_scopeStart), scope.Get(m_scopeEnd);
    }
    CountObject();
}

// --- CParseResults --------------------------------------------------------------

void CParseResults::Clear() {
    m_variables.clear();
    m_commands.clear();
    m_expressions.clear();
}

void CParseResults::Save() const {
    vek::StreamGrow(4 + static_cast<uint64_t>(CVariable::kReserveSize) * m_variables.size());
    vek::StreamWrite(static_cast<uint32_t>(m_variables.size()));
    for (const CVariable& variable : m_variables) {
        variable.Save();
    }
    CountObject();
}

void CParseResults::Load() {
    uint32_t count = 0;
    vek::StreamRead(count);
    // Every stored variable takes bytes, so a count beyond the remaining
    // bytes cannot come from a save.
    if (count > vek::GetStream().remaining()) {
        throw vek::CFileException(vek::CFileException::kInvalidContent, L"", L"CParseResults::Load", L"Records",
                                  __LINE__, vek::FileErrorText(vek::CFileException::kInvalidContent));
    }
    m_variables.resize(count);
    for (CVariable& variable : m_variables) {
        variable.Load();
    }
    CountObject();
}

// --- TQuestItem -----------------------------------------------------------------

void TQuestItem::Save() const {
    TFixedBlock<10> block;
    block.Put(itemType), block.Put(count), block.Put(number);
    block.Write();
    vek::StreamWriteString(alias);
    vek::StreamWriteString(name);
    CountObject();
}

void TQuestItem::Load() {
    TFixedBlock<10> block;
    if (block.Read()) {
        block.Get(itemType), block.Get(count), block.Get(number);
    }
    vek::StreamReadString(alias);
    vek::StreamReadString(name);
    CountObject();
}

// --- TTradeItem -----------------------------------------------------------------

void TTradeItem::WriteFields() const {
    vek::StreamWrite(itemType), vek::StreamWrite(value1), vek::StreamWrite(value2), vek::StreamWrite(value3);
}

void TTradeItem::ReadFields() {
    vek::StreamRead(itemType), vek::StreamRead(value1), vek::StreamRead(value2), vek::StreamRead(value3);
}

// --- TTradeInfo -----------------------------------------------------------------

namespace {

[[noreturn]] void ThrowTradeCutShort(int32_t line) {
    throw vek::CFileException(vek::CFileException::kInvalidContent, L"", L"TTradeInfo::Load", L"Records", line,
                              L"The record ends early");
}

// A list's count, when its elements of `width` bytes all remain.
uint32_t ReadTradeCount(uint32_t width) {
    uint32_t count = 0;
    if (!vek::StreamRead(count) || static_cast<uint64_t>(count) * width > vek::GetStream().remaining()) {
        ThrowTradeCutShort(__LINE__);
    }
    return count;
}

} // namespace

void TTradeInfo::Save() const {
    TFixedBlock<kHeaderSize> header;
    header.Put(valid), header.Put(std::bit_cast<uint32_t>(factor1)), header.Put(std::bit_cast<uint32_t>(factor2));
    header.Put(valueA), header.Put(valueB), header.Put(valueC);
    header.Write();
    vek::WriteRecordVector12(items);
    vek::WriteWordVector(buyCategories);
    CountObject();
}

void TTradeInfo::Load() {
    TFixedBlock<kHeaderSize> header;
    if (!header.Read()) {
        ThrowTradeCutShort(__LINE__);
    }
    TTradeInfo loaded;
    uint32_t bits1 = 0, bits2 = 0;
    header.Get(loaded.valid), header.Get(bits1), header.Get(bits2);
    header.Get(loaded.valueA), header.Get(loaded.valueB), header.Get(loaded.valueC);
    loaded.factor1 = std::bit_cast<float>(bits1);
    loaded.factor2 = std::bit_cast<float>(bits2);
    loaded.items.resize(ReadTradeCount(TTradeItem::kStoredSize));
    for (TTradeItem& item : loaded.items) {
        item.ReadFields();
    }
    loaded.buyCategories.resize(ReadTradeCount(2));
    for (uint16_t& category : loaded.buyCategories) {
        vek::StreamRead(category);
    }
    *this = loaded;
    CountObject();
}
