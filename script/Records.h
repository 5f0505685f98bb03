#pragma once
// The records of a parsed script (commands, expression nodes, variables),
// their holder, the game script's extra record and the quest-item pattern,
// with the form each takes in the save byte stream (VEKLib/Stream.h).
//
// Fixed blocks (the command's 25 bytes, the variable's 15 and 8, the node's
// 8, the quest item's 10) are read only when the whole block remains in the
// stream; otherwise their fields keep their values and reading goes on with
// the next item. Every Save and Load counts one serialized object.
#include <cstdint>
#include <string>
#include <vector>

#include "VEKLib/Serializable.h"
#include "script/SharedFields.h"
#include "script/SharedText.h"

class CItem;

// The fields of a command that only some kinds use (script/Commands.h):
// most commands leave them all at 0 or empty, so they are kept apart.
struct TCommandRareFields {
    uint32_t extra = 0;
    uint8_t flag = 0;
    CSharedText arguments;
    CSharedText targetName;

    // The same numbers and the same texts (not only equal ones).
    bool Same(const TCommandRareFields& other) const {
        return extra == other.extra && flag == other.flag && arguments.Identity() == other.arguments.Identity() &&
               targetName.Identity() == other.targetName.Identity();
    }
    size_t Hash() const;
};

// One statement of a parsed script. The meaning of argument, target and
// extra depends on the kind (the statement parser fills them). A parsed
// script holds one per statement: it counts as a live serializable object
// without the table pointer of one, its texts are numbers, and the fields
// that few kinds use (extra, flag, arguments, target name) are a shared
// record's number beside the kind's 8 bits (every kind fits in them).
class TCommand : public TKindAndRareFields<TCommandRareFields> {
public:
    // Bytes of the fixed part in the stream.
    static constexpr uint32_t kFixedSize = 25;
    // Argument of an assignment whose value comes from the call after it.
    // The same number may be assigned itself: the interpreter tells the two
    // apart by the extra field (kAssignFromCall, script/ScriptBase.h).
    static constexpr uint32_t kValueFromCall = 0x7FFFFFFF;

    // kind, argument, target, extra, block, text position (u32 each), flag
    // (u8), then name, arguments, target name as strings. Each counts one
    // serialized object.
    void Load();
    void Save() const;

    uint32_t Extra() const { return RareFields().extra; }
    uint8_t Flag() const { return RareFields().flag; }
    const CSharedText& Arguments() const { return RareFields().arguments; }
    const CSharedText& TargetName() const { return RareFields().targetName; }
    void SetExtra(uint32_t extra) {
        ChangeRareFields([&](TCommandRareFields& fields) { fields.extra = extra; });
    }
    void SetFlag(uint8_t flag) {
        ChangeRareFields([&](TCommandRareFields& fields) { fields.flag = flag; });
    }
    void SetArguments(CSharedText arguments) {
        ChangeRareFields([&](TCommandRareFields& fields) { fields.arguments = std::move(arguments); });
    }
    void SetTargetName(CSharedText targetName) {
        ChangeRareFields([&](TCommandRareFields& fields) { fields.targetName = std::move(targetName); });
    }

    uint32_t argument = 0;
    uint32_t target = 0;
    uint32_t block = 0;
    uint32_t textPosition = 0;
    CSharedText name;

private:
    [[no_unique_address]] vek::CLiveCount m_live;
};

// The fields of an expression node that a parse leaves empty and 0: the
// second text and the high half of the value.
struct TNodeRareFields {
    CSharedText text2;
    uint32_t high = 0;

    // The same number and the same text (not only an equal one).
    bool Same(const TNodeRareFields& other) const {
        return high == other.high && text2.Identity() == other.text2.Identity();
    }
    size_t Hash() const;
};

// One node of a compiled expression: its kind (a name, a number, an
// operator), its text, and its 64-bit value, whose high half is kept apart
// with the second text. Counted as a live serializable object, as a command
// is, without the table pointer of one.
class TNode : public TKindAndRareFields<TNodeRareFields> {
public:
    TNode() = default;
    TNode(uint32_t nodeKind, CSharedText nodeText, uint64_t nodeValue = 0);

    uint64_t GetValue() const { return (static_cast<uint64_t>(High()) << 32) | static_cast<uint32_t>(value); }
    void SetValue(uint64_t newValue) {
        value = static_cast<int32_t>(static_cast<uint32_t>(newValue));
        SetHigh(static_cast<uint32_t>(newValue >> 32));
    }
    uint32_t High() const { return HasRareFields() ? RareFields().high : 0; }
    void SetHigh(uint32_t high) {
        if (high != High()) {
            ChangeRareFields([&](TNodeRareFields& fields) { fields.high = high; });
        }
    }
    const CSharedText& Text2() const { return RareFields().text2; }
    void SetText2(CSharedText text2) {
        ChangeRareFields([&](TNodeRareFields& fields) { fields.text2 = std::move(text2); });
    }

    // kind, text, second text, then 8 bytes: value (i32), high (u32). Each
    // counts one serialized object.
    void Load();
    void Save() const;

    CSharedText text;
    // Low half of the node's value (the number of a number operand).
    int32_t value = 0;

private:
    [[no_unique_address]] vek::CLiveCount m_live;
};

using TNodeList = std::vector<TNode>;

// One script variable: an own 64-bit value, or bound to storage outside it
// (a field of a game object) that it reads and writes at the width of its
// value kind.
class CVariable : public vek::ISerializable {
public:
    enum : uint32_t { kKindU8 = 0, kKindU16 = 1, kKindU32 = 2, kKindI64 = 3 };
    // The per-variable reserve of the parse results' writer.
    static constexpr uint32_t kReserveSize = 59;
    static constexpr uint16_t kNoScopeMark = 0xFFFF;

    CVariable() = default;
    // Own value given as its low and high halves.
    CVariable(const std::wstring& name, uint32_t low, uint32_t high, uint32_t kind);
    // Bound to storage that must outlive every use of the variable and its
    // copies; the storage holds at least the kind's width.
    CVariable(const std::wstring& name, void* storage, uint32_t kind);
    CVariable(const CVariable&) = default;
    CVariable& operator=(const CVariable&) = default;
    ~CVariable() override = default;

    // Bound: the storage at the kind's width (u8, u16, u32 zero-extended; i64
    // whole), 0 for a kind above 3. Unbound: the own value.
    int64_t GetValue() const { return m_storage ? GetBoundValue() : m_value; }
    // Bound: writes only the kind's width of the storage (nothing for a kind
    // above 3). Unbound: the own value.
    void SetValue(int64_t value) {
        if (m_storage) {
            SetBoundValue(value);
        } else {
            m_value = value;
        }
    }

    // The own value, whether bound or not (the interpreter's fast path,
    // which knows the variable unbound).
    int64_t OwnValue() const { return m_value; }
    void SetOwnValue(int64_t value) { m_value = value; }

    const std::wstring& GetName() const { return m_name; }
    void SetName(const std::wstring& name) { m_name = name; }
    void SetName(const CSharedText& name) { name.AssignTo(m_name); }
    uint32_t GetKind() const { return m_kind; }
    void SetKind(uint32_t kind) { m_kind = kind; }
    bool IsBound() const { return m_storage != nullptr; }
    void* GetStorage() const { return m_storage; }
    uint16_t GetScopeMark() const { return m_scopeMark; }
    void SetScopeMark(uint16_t mark) { m_scopeMark = mark; }
    // Index of the command that opens the block where the variable may be
    // used and of that block's closing brace; (-1, -1): usable anywhere.
    int32_t GetScopeStart() const { return m_scopeStart; }
    int32_t GetScopeEnd() const { return m_scopeEnd; }
    void SetScope(int32_t start, int32_t end) { m_scopeStart = start, m_scopeEnd = end; }
    bool HasScope() const { return m_scopeStart != -1 || m_scopeEnd != -1; }

    // name, then 15 bytes: kind u32, bound u8, value 8 bytes, scope mark u16;
    // then 8 bytes: scope start, scope end. A bound variable stores its
    // current value, never the storage's address. Loading keeps a live
    // binding (and its kind); a variable stored as bound loads unbound with
    // the value 0.
    void Load() override;
    virtual void Save() const;

private:
    int64_t GetBoundValue() const;
    void SetBoundValue(int64_t value);

    std::wstring m_name;
    uint32_t m_kind = kKindI64;
    // The outside storage of a bound variable; null when unbound.
    void* m_storage = nullptr;
    int64_t m_value = 0;
    uint16_t m_scopeMark = kNoScopeMark;
    int32_t m_scopeStart = -1;
    int32_t m_scopeEnd = -1;
};

// The result of parsing one script: its declared variables, its commands and
// its compiled expressions (commands refer to expressions by index). Only the
// variables are saved; commands and expressions come from parsing the text
// again.
class CParseResults : public vek::ISerializable {
public:
    CParseResults() = default;
    CParseResults(const CParseResults&) = default;
    CParseResults& operator=(const CParseResults&) = default;
    ~CParseResults() override = default;

    void Clear();

    // u32 count, then each variable. A count above the bytes that remain is
    // a corrupt stream: vek::CFileException code 5, nothing allocated.
    void Load() override;
    virtual void Save() const;

    std::vector<CVariable>& Variables() { return m_variables; }
    const std::vector<CVariable>& Variables() const { return m_variables; }
    std::vector<TCommand>& Commands() { return m_commands; }
    const std::vector<TCommand>& Commands() const { return m_commands; }
    std::vector<TNodeList>& Expressions() { return m_expressions; }
    const std::vector<TNodeList>& Expressions() const { return m_expressions; }

private:
    std::vector<CVariable> m_variables;
    std::vector<TCommand> m_commands;
    std::vector<TNodeList> m_expressions;
};

// A pattern of items that a quest asks the hero to bring.
class TQuestItem : public vek::ISerializable {
public:
    // Stands for "any quantity" in the count.
    static constexpr uint32_t kAnyCount = 0xFFFFFFFF;

    TQuestItem() = default;
    // One item of a type (a key, for example).
    explicit TQuestItem(uint16_t type) : itemType(type) {}
    TQuestItem(const TQuestItem&) = default;
    TQuestItem& operator=(const TQuestItem&) = default;
    ~TQuestItem() override = default;

    // 10 bytes: item type u16, count u32, further number u32; then alias and
    // name as strings.
    void Load() override;
    virtual void Save() const;

    // The item is of the type, or both are corpses of monsters of one name;
    // and a further number other than 0 equals the item's first property.
    // Defined with the items (rules/Item.cpp).
    bool Matches(const CItem& item) const;

    uint16_t itemType = 0;
    uint32_t count = 1;
    uint32_t number = 0;
    std::wstring alias;
    std::wstring name;
};

// One 12-byte entry of an NPC's trade stock.
struct TTradeItem {
    static constexpr uint32_t kStoredSize = 12;
    // Item type that stands for a random item.
    static constexpr uint16_t kRandomItem = 65535;

    void WriteFields() const;
    void ReadFields();

    uint16_t itemType = 0;
    uint16_t value1 = 0;
    uint32_t value2 = 0;
    uint32_t value3 = 0;
};

// The trade record of an NPC (filled by the trade built-ins).
class TTradeInfo : public vek::ISerializable {
public:
    TTradeInfo() = default;
    TTradeInfo(const TTradeInfo&) = default;
    TTradeInfo& operator=(const TTradeInfo&) = default;
    ~TTradeInfo() override = default;

    // kHeaderSize bytes: valid u8, factor1 f32, factor2 f32, valueA u8,
    // valueB u32, valueC u32; then the items (u32 count, 12 bytes each) and
    // the buy categories (u32 count, u16 each). A record that ends early
    // throws vek::CFileException code 5 and leaves the record as it was.
    void Load() override;
    virtual void Save() const;

    static constexpr uint32_t kHeaderSize = 18;

    uint8_t valid = 0;
    float factor1 = 0.0f;
    float factor2 = 0.0f;
    uint8_t valueA = 0;
    uint32_t valueB = 0;
    uint32_t valueC = 0;
    std::vector<TTradeItem> items;
    std::vector<uint16_t> buyCategories;
};

// What a game script collects while it runs: its trade record and its item
// declarations. Never stored: Load and Save do nothing.
class TScriptExtraData : public vek::ISerializable {
public:
    TScriptExtraData() = default;
    TScriptExtraData(const TScriptExtraData&) = default;
    TScriptExtraData& operator=(const TScriptExtraData&) = default;
    ~TScriptExtraData() override = default;

    void Load() override {}
    virtual void Save() const {}

    TTradeInfo trade;
    std::vector<TQuestItem> items;
};
