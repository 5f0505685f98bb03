#include "script/Records.h"

#include <gtest/gtest.h>

#include <functional>

#include "VEKLib/Exception.h"
#include "VEKLib/Stream.h"
#include "script/Commands.h"
#include "script/ScriptBase.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Written() {
    const auto bytes = vek::GetStream().bytes();
    return Bytes(bytes.begin(), bytes.end());
}

void Assign(const Bytes& bytes) { vek::StreamAssign(bytes); }

class RecordsTest : public ::testing::Test {
protected:
    void SetUp() override { vek::StreamReset(); }
    void TearDown() override { vek::StreamReset(); }
};

TCommand SampleCommand() {
    TCommand c;
    c.kind = 3, c.argument = 0x01020304, c.target = 5, c.block = 7;
    c.SetExtra(6);
    c.textPosition = 0x100;
    c.SetFlag(1);
    c.name = L"ab";
    c.SetTargetName(L"x");
    return c;
}

CVariable SampleVariable() {
    CVariable v(L"v", 300, 0, CVariable::kKindU32);
    v.SetScope(3, -1);
    return v;
}

TEST_F(RecordsTest, StoredFormsAreByteExact) {
    TNode node(2, L"12", 0x10000000Cull);
    TQuestItem quest(0x0102);
    quest.number = 7, quest.alias = L"k";
    const struct {
        const char* what;
        std::function<void()> save;
        Bytes bytes;
    } cases[] = {
        {"command", [] { SampleCommand().Save(); }, {3, 0,   0, 0, 4, 3, 2, 1, 5, 0, 0, 0,   6, 0, 0,
                                                     0, 7,   0, 0, 0, 0, 1, 0, 0, 1, 2, 0,   0, 0, 'a',
                                                     0, 'b', 0, 0, 0, 0, 0, 1, 0, 0, 0, 'x', 0}},
        {"node", [&] { node.Save(); }, {2, 0, 0, 0, 2, 0, 0, 0, '1', 0, '2', 0, 0, 0, 0, 0, 12, 0, 0, 0, 1, 0, 0, 0}},
        {"variable", [] { SampleVariable().Save(); }, {1, 0, 0, 0, 'v',  0,    2, 0, 0, 0, 0,    0x2C, 1,    0,   0,
                                                       0, 0, 0, 0, 0xFF, 0xFF, 3, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"default variable", [] { CVariable().Save(); }, {0,    0,    0,    0,    3,    0,    0,    0,    0,
                                                          0,    0,    0,    0,    0,    0,    0,    0,    0xFF,
                                                          0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"quest item", [&] { quest.Save(); }, {2, 1, 1, 0, 0, 0, 7, 0, 0, 0, 1, 0, 0, 0, 'k', 0, 0, 0, 0, 0}},
        {"no variables", [] { CParseResults().Save(); }, {0, 0, 0, 0}},
        {"extra data", [] { TScriptExtraData().Save(); }, {}},
    };
    for (const auto& c : cases) {
        vek::StreamReset();
        c.save();
        EXPECT_EQ(Written(), c.bytes) << c.what;
    }
}

TEST_F(RecordsTest, RecordsLoadWhatTheySaved) {
    TQuestItem quest(9);
    quest.count = TQuestItem::kAnyCount, quest.alias = L"##wolf", quest.name = L"Wolf";
    TNode node(15, L"a", 0xFFFFFFFF00000001ull);
    node.SetText2(L"b");
    SampleCommand().Save(), SampleVariable().Save(), quest.Save(), node.Save();
    const Bytes saved = Written();

    TCommand c;
    CVariable v;
    TQuestItem q;
    TNode n;
    c.Load(), v.Load(), q.Load(), n.Load();
    EXPECT_EQ(vek::GetStream().remaining(), 0u);
    EXPECT_EQ(n.GetValue(), 0xFFFFFFFF00000001ull);
    EXPECT_EQ(v.GetScopeStart(), 3);
    vek::StreamReset();
    c.Save(), v.Save(), q.Save(), n.Save();
    EXPECT_EQ(Written(), saved);
}

TEST_F(RecordsTest, ParseResultsReserveWholePayloadAndCountObjects) {
    CParseResults results;
    results.Variables() = {SampleVariable(), CVariable(L"w", 1, 0, CVariable::kKindI64)};
    results.Commands().push_back(SampleCommand());
    results.Save();
    // One growth of 4 + 59 per variable covers every write that follows.
    EXPECT_EQ(vek::GetStream().capacity(), 4u + 2 * 59u);
    EXPECT_EQ(vek::GetStream().objectCount(), 3u);
    // Commands are not stored.
    EXPECT_EQ(Written().size(), 4u + 2 * (4 + 2 + 15 + 8));

    CParseResults loaded;
    loaded.Variables().resize(5);
    loaded.Load();
    EXPECT_EQ(vek::GetStream().objectCount(), 6u);
    ASSERT_EQ(loaded.Variables().size(), 2u);
    EXPECT_EQ(loaded.Variables()[1].GetName(), L"w");
    EXPECT_EQ(loaded.Variables()[1].GetValue(), 1);
    EXPECT_TRUE(loaded.Commands().empty());
}

TEST_F(RecordsTest, CutFixedBlocksKeepTheirFields) {
    // Name "v", then only 5 of the 15 bytes: neither block can be read.
    Assign({1, 0, 0, 0, 'v', 0, 2, 0, 0, 0, 1});
    CVariable v;
    v.Load();
    EXPECT_EQ(v.GetName(), L"v");
    EXPECT_EQ(v.GetKind(), CVariable::kKindI64);
    EXPECT_FALSE(v.IsBound());
    EXPECT_EQ(v.GetValue(), 0);
    EXPECT_EQ(v.GetScopeMark(), 0xFFFF);
    EXPECT_FALSE(v.HasScope());
    EXPECT_EQ(vek::GetStream().objectCount(), 1u);

    // A command whose 25 bytes are not all there keeps its numbers; the four
    // bytes become the count of a name whose units are missing.
    Assign({9, 0, 0, 0});
    TCommand c = SampleCommand();
    c.Load();
    EXPECT_EQ(c.kind, 3u);
    EXPECT_EQ(c.Flag(), 1u);
    EXPECT_EQ(c.name, L"");
    EXPECT_EQ(vek::GetStream().position(), 4u);
}

TEST_F(RecordsTest, CorruptVariableCountIsInvalidContent) {
    Assign({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0});
    CParseResults results;
    results.Variables().resize(1);
    try {
        results.Load();
        FAIL() << "no exception";
    } catch (const vek::CFileException& e) {
        EXPECT_EQ(e.GetCode(), vek::CFileException::kInvalidContent);
        EXPECT_EQ(e.GetFunction(), L"CParseResults::Load");
    }
    EXPECT_EQ(results.Variables().size(), 1u);
}

TEST_F(RecordsTest, BoundVariablesUseTheWidthOfTheirKind) {
    uint8_t bytes[2] = {0, 0x55};
    CVariable narrow(L"b", bytes, CVariable::kKindU8);
    narrow.SetValue(300);
    EXPECT_EQ(bytes[0], 44);
    EXPECT_EQ(bytes[1], 0x55);
    EXPECT_EQ(narrow.GetValue(), 44);

    uint32_t dword = 4294967295u;
    EXPECT_EQ(CVariable(L"d", &dword, CVariable::kKindU32).GetValue(), 4294967295);

    uint16_t words[2] = {0, 0x1234};
    CVariable word(L"w", words, CVariable::kKindU16);
    word.SetValue(0x12345678);
    EXPECT_EQ(words[0], 0x5678);
    EXPECT_EQ(words[1], 0x1234);

    int64_t whole = 0;
    CVariable(L"q", &whole, CVariable::kKindI64).SetValue(-2);
    EXPECT_EQ(whole, -2);

    uint64_t untouched = 7;
    CVariable odd(L"o", &untouched, 4);
    odd.SetValue(9);
    EXPECT_EQ(untouched, 7u);
    EXPECT_EQ(odd.GetValue(), 0);
}

TEST_F(RecordsTest, LoadNeverBindsFromTheStream) {
    uint8_t field = 5;
    const CVariable bound(L"b", &field, CVariable::kKindU8);
    bound.Save();
    // A bound variable is stored with its value, not its address.
    const Bytes bytes = Written();
    EXPECT_EQ(Bytes(bytes.begin() + 6, bytes.begin() + 6 + 15),
              (Bytes{0, 0, 0, 0, 1, 5, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF}));

    CVariable fresh;
    fresh.Load();
    EXPECT_FALSE(fresh.IsBound());
    EXPECT_EQ(fresh.GetValue(), 0);

    // A live binding survives a load, with its kind, and its field is the
    // owner's business.
    vek::StreamReset();
    CVariable(L"x", 0xFFFFFFFF, 0xFFFFFFFF, CVariable::kKindI64).Save();
    uint8_t live[2] = {3, 0x55};
    CVariable keeps(L"b", live, CVariable::kKindU8);
    keeps.Load();
    EXPECT_EQ(keeps.GetStorage(), live);
    EXPECT_EQ(keeps.GetKind(), CVariable::kKindU8);
    EXPECT_EQ(keeps.GetValue(), 3);
    EXPECT_EQ(keeps.GetName(), L"x");
    keeps.SetValue(0x1FF);
    EXPECT_EQ(live[1], 0x55);
}

// A command's and a node's rare fields are records shared by number: a
// change makes the changed record its own and leaves every other alone.
TEST_F(RecordsTest, ChangingRareFieldsLeavesOtherHoldersAlone) {
    const struct {
        const char* what;
        std::function<void(TCommand&)> change;
    } cases[] = {
        {"extra", [](TCommand& c) { c.SetExtra(9); }},
        {"flag", [](TCommand& c) { c.SetFlag(0); }},
        {"arguments", [](TCommand& c) { c.SetArguments(L"1, 2"); }},
        {"target name", [](TCommand& c) { c.SetTargetName(L"y"); }},
        {"back to the defaults", [](TCommand& c) { c.SetExtra(0), c.SetFlag(0), c.SetTargetName(L""); }},
    };
    vek::StreamReset();
    SampleCommand().Save();
    const Bytes sample = Written();
    for (const auto& c : cases) {
        const TCommand original = SampleCommand();
        TCommand copy = original;
        TCommand assigned;
        assigned = original;
        c.change(copy);
        c.change(assigned);
        vek::StreamReset();
        original.Save();
        EXPECT_EQ(Written(), sample) << c.what;
        vek::StreamReset();
        copy.Save();
        const Bytes changed = Written();
        EXPECT_NE(changed, sample) << c.what;
        vek::StreamReset();
        assigned.Save();
        EXPECT_EQ(Written(), changed) << c.what;
    }

    TNode node(2, L"12", 0x10000000Cull);
    TNode copy = node;
    copy.SetValue(5);
    copy.SetText2(L"b");
    EXPECT_EQ(node.GetValue(), 0x10000000Cull);
    EXPECT_EQ(node.Text2(), L"");
    EXPECT_EQ(copy.GetValue(), 5u);
    EXPECT_EQ(copy.High(), 0u);
}

TEST_F(RecordsTest, CommandsOfAParseShareTheirRareFieldsSafely) {
    CScriptBase script;
    script.LoadText(L"var v = 0\nvar w = 0\nv = Rnd(1, 6)\nw = Rnd(1, 6)\nv = Rnd(1, 6)\n", L"t.u");
    script.Parse();
    std::vector<TCommand>& commands = script.GetParseResults().Commands();
    ASSERT_EQ(commands.size(), 7u); // three assignments, each with its call, and the end
    commands[1].SetArguments(L"2, 3");
    commands[0].SetTargetName(L"x");
    EXPECT_EQ(commands[3].Arguments(), L"1, 6");
    EXPECT_EQ(commands[5].Arguments(), L"1, 6");
    EXPECT_EQ(commands[4].TargetName(), L"v");
    EXPECT_EQ(commands[4].Extra(), kAssignFromCall);
    EXPECT_EQ(commands[1].Arguments(), L"2, 3");
    EXPECT_EQ(commands[0].TargetName(), L"x");
}

TEST_F(RecordsTest, CopiesAreDeepAndCounted) {
    const uint32_t before = vek::GetLiveObjectCount();
    {
        uint32_t field = 1;
        CParseResults source;
        source.Variables() = {CVariable(L"bound", &field, CVariable::kKindU32), SampleVariable()};
        source.Commands().push_back(SampleCommand());
        source.Expressions().push_back({TNode(1, L"a"), TNode(2, L"1", 1)});
        EXPECT_EQ(vek::GetLiveObjectCount(), before + 6);

        CParseResults copy(source);
        EXPECT_EQ(vek::GetLiveObjectCount(), before + 12);
        copy.Commands()[0].name = L"changed";
        copy.Commands()[0].SetTargetName(L"changed");
        copy.Expressions()[0][0].text = L"changed";
        copy.Variables()[1].SetValue(9);
        EXPECT_EQ(source.Commands()[0].name, L"ab");
        EXPECT_EQ(source.Commands()[0].TargetName(), L"x");
        EXPECT_EQ(source.Expressions()[0][0].text, L"a");
        EXPECT_EQ(source.Variables()[1].GetValue(), 300);
        // Both copies of a bound variable share its field.
        copy.Variables()[0].SetValue(42);
        EXPECT_EQ(source.Variables()[0].GetValue(), 42);

        TScriptExtraData extra;
        extra.trade.items.push_back({TTradeItem::kRandomItem, 1, 2, 3});
        extra.items.emplace_back(4);
        TScriptExtraData extraCopy = extra;
        extraCopy.trade.items[0].value3 = 0;
        extraCopy.items[0].alias = L"key";
        EXPECT_EQ(extra.trade.items[0].value3, 3u);
        EXPECT_EQ(extra.items[0].alias, L"");

        copy.Clear();
        EXPECT_TRUE(copy.Variables().empty() && copy.Commands().empty() && copy.Expressions().empty());
    }
    EXPECT_EQ(vek::GetLiveObjectCount(), before);
}

} // namespace
