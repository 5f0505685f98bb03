#include "VEKLib/Xml.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Tokenizer.h"
#include "platform/Utf8.h"

namespace {

const wchar_t kUtf8Declaration[] = L"<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n";

std::filesystem::path TempFile(const char* name) { return std::filesystem::path(testing::TempDir()) / name; }

std::wstring WideName(const std::filesystem::path& path) { return platform::FromUtf8(path.string()); }

std::string FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// UTF-16 little-endian bytes of a text of code units below 0x10000.
std::string Utf16Bytes(const std::wstring& text) {
    std::string bytes;
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

// <root> with one child named `name` holding `value`.
std::unique_ptr<vek::CXmlNode> OneChildTree(const wchar_t* name, const wchar_t* value) {
    auto root = vek::CXmlNode::AddChild(L"root", L"");
    root->AppendChild(vek::CXmlNode::AddChild(name, value));
    return root;
}

void ExpectSameTree(const vek::CXmlNode& a, const vek::CXmlNode& b) {
    EXPECT_EQ(a.GetName(), b.GetName());
    EXPECT_EQ(a.GetValue(), b.GetValue());
    ASSERT_EQ(a.GetAttributeCount(), b.GetAttributeCount()) << a.GetName();
    for (size_t i = 0; i < a.GetAttributeCount(); ++i) {
        EXPECT_EQ(a.GetAttribute(i)->GetName(), b.GetAttribute(i)->GetName());
        EXPECT_EQ(a.GetAttribute(i)->GetValue(), b.GetAttribute(i)->GetValue());
    }
    ASSERT_EQ(a.GetChildCount(), b.GetChildCount()) << a.GetName();
    for (size_t i = 0; i < a.GetChildCount(); ++i) {
        EXPECT_EQ(b.GetChild(i)->GetParent(), &b);
        ExpectSameTree(*a.GetChild(i), *b.GetChild(i));
    }
}

// --- Tokenizer and entities ------------------------------------------------------

TEST(Tokenizer, CutsRunsWithoutLosingCharacters) {
    struct Case {
        const wchar_t* text;
        std::vector<std::wstring> tokens;
    };
    const Case cases[] = {
        {L"", {}},
        {L"ab  cd", {L"ab", L"  ", L"cd"}},
        {L"a&lt;b", {L"a", L"&lt;", L"b"}},
        {L"&lt;&gt;", {L"&lt;", L"&gt;"}},
        {L"&x y;", {L"&x", L" ", L"y;"}}, // white space ends a group early
        {L"&a&b;", {L"&a", L"&b;"}},      // a second opening starts a new group
        {L"ab\t", {L"ab", L"\t"}},        // the last white space survives
        {L" ", {L" "}},
        {L"x;", {L"x;"}},
    };
    for (const Case& c : cases) {
        vek::CTokenizer tokenizer(c.text);
        tokenizer.AddBracketPair(L'&', L';');
        EXPECT_EQ(tokenizer.Tokenize(), c.tokens.size()) << c.text;
        EXPECT_EQ(tokenizer.GetTokens(), c.tokens) << c.text;
    }
}

TEST(XmlEntities, EscapeAndUnescape) {
    EXPECT_EQ(vek::XmlEscape(L"&<>\"'"), L"&amp;&lt;&gt;&quot;&apos;");
    EXPECT_EQ(vek::XmlEscape(L"a&amp;b"), L"a&amp;amp;b");
    struct Case {
        const wchar_t* text;
        const wchar_t* decoded;
    };
    const Case cases[] = {
        {L"&amp;&lt;&gt;&quot;&apos;", L"&<>\"'"},
        {L"a &lt; b", L"a < b"},
        {L"AT&T", L"AT&T"}, // no closing ; : copied
        {L"&amp", L"&amp"},
        {L"&bogus;", L"&bogus;"},
        {L"&&lt;", L"&<"},
        {L"5 ", L"5 "}, // a final blank is kept
        {L"line\n", L"line\n"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vek::XmlUnescape(c.text), c.decoded) << c.text;
    }
    for (const wchar_t* text : {L"&<>\"' x ", L"&amp", L";&;", L"  "}) {
        EXPECT_EQ(vek::XmlUnescape(vek::XmlEscape(text)), text) << text;
    }
}

// --- Tree ----------------------------------------------------------------------

TEST(XmlNode, ChildrenAndAttributes) {
    auto root = vek::CXmlNode::AddChild(L"root", L"");
    EXPECT_EQ(root->GetKind(), vek::CXmlNode::kElement);
    EXPECT_EQ(root->AppendChild(nullptr), nullptr);
    EXPECT_EQ(root->AppendAttribute(nullptr), nullptr);
    vek::CXmlNode* first = root->AppendChild(vek::CXmlNode::AddChild(L"Name", L"1"));
    vek::CXmlNode* second = root->AppendChild(vek::CXmlNode::AddChild(L"NAME", L"2"));
    EXPECT_EQ(first->GetParent(), root.get());
    EXPECT_EQ(root->GetChild(1), second);
    EXPECT_EQ(root->GetChild(2), nullptr);
    EXPECT_EQ(root->FindChild(L"name"), first);
    EXPECT_EQ(root->FindChild(L"other"), nullptr);

    vek::CXmlAttribute* attribute = root->AppendAttribute(vek::CXmlNode::AddAttribute(L"a", L"v"));
    EXPECT_EQ(attribute->GetOwner(), root.get());
    EXPECT_FALSE(second->DeleteAttribute(attribute));
    EXPECT_TRUE(root->DeleteAttribute(attribute));
    EXPECT_EQ(root->GetAttributeCount(), 0u);

    EXPECT_FALSE(second->DeleteChild(first)); // not its child
    EXPECT_TRUE(root->DeleteChild(first));
    EXPECT_EQ(root->FindChild(L"name"), second);

    delete second; // an attached node leaves its parent first
    EXPECT_EQ(root->GetChildCount(), 0u);
}

// Runs the work on a thread whose stack a recursion through the tree would
// overflow many times over; whether the work came back.
bool RunOnSmallStack(const std::function<void()>& work) {
    constexpr size_t kStackBytes = 256 * 1024;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kStackBytes);
    struct Job {
        const std::function<void()>* work;
        bool done = false;
    } job{&work};
    pthread_t thread;
    const bool started = pthread_create(
                             &thread, &attributes,
                             [](void* arg) -> void* {
                                 auto* j = static_cast<Job*>(arg);
                                 (*j->work)();
                                 j->done = true;
                                 return nullptr;
                             },
                             &job) == 0;
    pthread_attr_destroy(&attributes);
    if (started) {
        pthread_join(thread, nullptr);
    }
    return started && job.done;
}

size_t Depth(const vek::CXmlNode* node) {
    size_t depth = 0;
    for (; node != nullptr; node = node->GetChild(0)) {
        ++depth;
    }
    return depth;
}

TEST(XmlNode, DeepTreeIsFreedWithoutRecursion) {
    constexpr size_t kDepth = 200000;
    auto root = vek::CXmlNode::AddChild(L"n", L"");
    vek::CXmlNode* last = root.get();
    vek::CXmlNode* middle = nullptr;
    for (size_t i = 1; i < kDepth; ++i) {
        last = last->AppendChild(vek::CXmlNode::AddChild(L"n", L""));
        if (i == kDepth / 2) {
            middle = last;
        }
    }
    ASSERT_EQ(Depth(root.get()), kDepth);
    vek::CXmlNode* parent = middle->GetParent();
    // An attached subtree of 100000 nodes leaves its parent and goes.
    ASSERT_TRUE(RunOnSmallStack([&] { delete middle; }));
    EXPECT_EQ(parent->GetChildCount(), 0u);
    EXPECT_EQ(Depth(root.get()), kDepth / 2);
    // And the rest from its root.
    EXPECT_TRUE(RunOnSmallStack([&] { root.reset(); }));
    EXPECT_EQ(root, nullptr);
}

// --- Writer --------------------------------------------------------------------

TEST(XmlWriter, Layout) {
    auto root = OneChildTree(L"child", L"5");
    EXPECT_EQ(vek::CXmlWriter::WriteNode(*root, 0), L"<root>\n    <child>5</child>\n</root>\n");
    EXPECT_EQ(vek::CXmlWriter::WriteNode(*root, 1), L"    <root>\n        <child>5</child>\n    </root>\n");

    auto item = vek::CXmlNode::AddChild(L"item", L"x<y");
    item->AppendAttribute(vek::CXmlNode::AddAttribute(L"name", L"a&\"b"));
    item->AppendAttribute(vek::CXmlNode::AddAttribute(L"n", L"2"));
    EXPECT_EQ(vek::CXmlWriter::WriteAttribute(*item->GetAttribute(0)), L"name=\"a&amp;&quot;b\"");
    EXPECT_EQ(vek::CXmlWriter::WriteNode(*item, 0), L"<item name=\"a&amp;&quot;b\" n=\"2\" >x&lt;y</item>\n");

    // Text and children together: the children follow the text directly.
    auto mixed = vek::CXmlNode::AddChild(L"a", L"t");
    mixed->AppendChild(vek::CXmlNode::AddChild(L"b", L""));
    EXPECT_EQ(vek::CXmlWriter::WriteNode(*mixed, 0), L"<a>t    <b>\n    </b>\n</a>\n");

    // A long value is not cut by the formatter's limit.
    const std::wstring longValue(3000, L'v');
    auto holder = vek::CXmlNode::AddChild(L"h", L"");
    vek::CXmlAttribute* big = holder->AppendAttribute(vek::CXmlNode::AddAttribute(L"k", longValue));
    EXPECT_EQ(vek::CXmlWriter::WriteAttribute(*big), L"k=\"" + longValue + L"\"");
}

TEST(XmlWriter, Declaration) {
    const struct {
        uint32_t encoding;
        const wchar_t* name;
    } cases[] = {{0, L"unknown"}, {1, L"utf-8"}, {2, L"utf-8"}, {3, L"utf-16"}, {9, L"unknown"}};
    for (const auto& c : cases) {
        const vek::CXmlWriter writer(c.encoding);
        EXPECT_EQ(writer.WriteHeader(c.encoding),
                  std::wstring(L"<?xml version=\"1.0\" encoding=\"") + c.name + L"\" ?>\n")
            << c.encoding;
    }
    auto root = vek::CXmlNode::AddChild(L"r", L"");
    const vek::CXmlWriter writer(2, root.get());
    EXPECT_EQ(writer.WriteHeader(2), std::wstring(kUtf8Declaration) + L"<r>\n</r>\n");
}

TEST(XmlWriter, Utf8Bytes) {
    auto root = OneChildTree(L"v", L"\u00E9");
    const auto path = TempFile("morvheld_xml_utf8.xml");
    vek::CXmlWriter(2, root.get()).Write(WideName(path));
    const std::string expected =
        "\xEF\xBB\xBF"
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
        "<root>\n"
        "    <v>\xC3\xA9</v>\n"
        "</root>\n";
    EXPECT_EQ(FileBytes(path), expected);
    std::filesystem::remove(path);
}

TEST(XmlWriter, Utf16Bytes) {
    auto root = vek::CXmlNode::AddChild(L"r", L"\u20AC");
    const auto path = TempFile("morvheld_xml_utf16.xml");
    vek::CXmlWriter(3, root.get()).Write(WideName(path));
    const std::string bytes = FileBytes(path);
    ASSERT_GE(bytes.size(), 6u);
    EXPECT_EQ(bytes.substr(0, 6), std::string("\xFF\xFE\x3C\x00\x3F\x00", 6)); // mark, "<?"
    const std::string expected = std::string("\xFF\xFE") +
                                 Utf16Bytes(L"<?xml version=\"1.0\" encoding=\"utf-16\" ?>\n<r>") +
                                 std::string("\xAC\x20", 2) + Utf16Bytes(L"</r>\n");
    EXPECT_EQ(bytes, expected);
    std::filesystem::remove(path);
}

TEST(XmlWriter, RefusesAutodetection) {
    auto root = vek::CXmlNode::AddChild(L"r", L"");
    const auto path = TempFile("morvheld_xml_refused.xml");
    std::filesystem::remove(path);
    try {
        vek::CXmlWriter(0, root.get()).Write(WideName(path));
        FAIL() << "no exception";
    } catch (const vek::CFileException& e) {
        EXPECT_EQ(e.GetCode(), vek::CFileException::kInvalidContent);
        EXPECT_EQ(e.GetFunction(), L"vek::CXmlWriter::Write");
        EXPECT_EQ(e.GetSourceFile(), L"XmlWriter");
        EXPECT_EQ(e.GetLine(), 46);
        EXPECT_NE(e.GetText().find(L"Details: Encoding autodetection is not supported"), std::wstring::npos);
    }
    EXPECT_THROW(vek::CXmlWriter(4, root.get()).Write(WideName(path)), vek::CFileException);
    EXPECT_FALSE(std::filesystem::exists(path));
}

// --- Reader --------------------------------------------------------------------

TEST(XmlReader, ThreeLineDocument) {
    auto tree = vek::CXmlReader::Parse(std::wstring(kUtf8Declaration) + L"<root>\n    <child>5</child>\n</root>\n");
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->GetName(), L"root");
    EXPECT_EQ(tree->GetValue(), L"");
    ASSERT_EQ(tree->GetChildCount(), 1u);
    EXPECT_EQ(tree->GetChild(0)->GetName(), L"child");
    EXPECT_EQ(tree->GetChild(0)->GetValue(), L"5");
    EXPECT_EQ(tree->GetChild(0)->GetParent(), tree.get());
}

TEST(XmlReader, AttributesTextAndOrder) {
    auto tree = vek::CXmlReader::Parse(
        L"<?XML version=\"1.0\" encoding=\"x\" ?>"
        L"<Doc a=\"1 &amp; 2\" b=\"/<=>\"><x/><y k=\"v\" />  <z>a &lt; b </z></doc>");
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->GetAttributeCount(), 2u);
    EXPECT_EQ(tree->GetAttribute(0)->GetName(), L"a");
    EXPECT_EQ(tree->GetAttribute(0)->GetValue(), L"1 & 2");
    EXPECT_EQ(tree->GetAttribute(1)->GetValue(), L"/<=>");
    EXPECT_EQ(tree->GetAttribute(1)->GetOwner(), tree.get());
    ASSERT_EQ(tree->GetChildCount(), 3u);
    EXPECT_EQ(tree->GetChild(0)->GetName(), L"x");
    EXPECT_EQ(tree->GetChild(1)->GetAttribute(0)->GetValue(), L"v");
    EXPECT_EQ(tree->GetChild(2)->GetValue(), L"a < b ");
}

TEST(XmlReader, RefusedDocuments) {
    const wchar_t* const cases[] = {
        L"",
        L"<?xml version=\"1.0\" ?><root></root>", // no encoding part
        L"<?xml version=\"2.0\" encoding=\"utf-8\" ?><r/>",
        L"<?xml version=\"1.0\" encoding=\"utf-8\" ?>", // no root
        L"<?xml version=\"1.0\" encoding=\"utf-8\" ? x><r/>",
        L"<?xml version=\"1.0\" encoding=\"utf-8\" ?><a><b></b>", // element left open
        L"<?xml version=\"1.0\" encoding=\"utf-8\" ?><a/><b/>",   // second root
        L"<?xml version=\"1.0\" encoding=\"utf-8\" ?></a>",       // end tag, nothing open
        L"<?xml version=\"1.0\" encoding=\"utf-8\" ?><a></b>",
        L"<?xml version=\"1.0\" encoding=\"utf-8\" ?><a <b>",
        L"<?xml version=\"1.0\" encoding=\"utf-8\" ?><a//>",
        L"<?xml version=\"1.0\" encoding=\"utf-8\" ?><a></a x=\"1\">", // attribute of an end tag
        L"<?xml version=\"1.0\" encoding=\"utf-8\" ?><a x=\"1></a>",   // string never closed
        L"<?xml version=\"1.0\" encoding=\"utf-8\" ?><a x></a>",
        L"<?xml version=\"1.0\" encoding=\"utf-8\" ?><a =\"1\"></a>",
        L"<?xml version=\"1.0\" encoding=\"utf-8\" ?>text<a></a>",
        L"<?xml version=\"1.0\" encoding=\"utf-8\" ?><a>1 > 0</a>",
        L"<?xml version=\"1.0\" encoding=\"utf-8\" ?><a><>",
        L"<?xml version=\"1.0\" encoding=\"utf-8\" ?><a",
    };
    for (const wchar_t* text : cases) {
        EXPECT_EQ(vek::CXmlReader::Parse(text), nullptr) << text;
    }
    // The accepted variant of the same shape, so the list above fails for its own reason.
    EXPECT_NE(vek::CXmlReader::Parse(L"<?xml version=\"1.0\" encoding=\"utf-8\" ?><A><b></B></a>"), nullptr);
}

TEST(XmlReader, NestingIsCapped) {
    auto nested = [](size_t depth) {
        std::wstring text = kUtf8Declaration;
        for (size_t i = 0; i < depth; ++i) {
            text += L"<e>";
        }
        for (size_t i = 0; i < depth; ++i) {
            text += L"</e>";
        }
        return text;
    };
    EXPECT_NE(vek::CXmlReader::Parse(nested(vek::kXmlMaxDepth)), nullptr);
    EXPECT_EQ(vek::CXmlReader::Parse(nested(vek::kXmlMaxDepth + 1)), nullptr);
    EXPECT_EQ(vek::CXmlReader::Parse(nested(100000)), nullptr);
}

TEST(XmlReader, WriteThenReadRoundTrip) {
    auto root = vek::CXmlNode::AddChild(L"config", L"");
    vek::CXmlNode* group = root->AppendChild(vek::CXmlNode::AddChild(L"group", L""));
    group->AppendAttribute(vek::CXmlNode::AddAttribute(L"title", L"Tom & \"Jerry\" <'s>"));
    group->AppendAttribute(vek::CXmlNode::AddAttribute(L"empty", L""));
    group->AppendChild(vek::CXmlNode::AddChild(L"name", L"Za\u017C\u00F3\u0142\u0107 \u20AC"));
    group->AppendChild(vek::CXmlNode::AddChild(L"padded", L"  two\nlines "));
    root->AppendChild(vek::CXmlNode::AddChild(L"volume", L"5"));
    root->AppendChild(vek::CXmlNode::AddChild(L"long", std::wstring(2000, L'x')));

    const auto path = TempFile("morvheld_xml_roundtrip.xml");
    const struct {
        uint32_t write;
        uint32_t read;
    } cases[] = {{2, 2}, {2, 0}, {3, 3}, {3, 0}};
    for (const auto& c : cases) {
        vek::CXmlWriter(c.write, root.get()).Write(WideName(path));
        std::unique_ptr<vek::CXmlNode> read;
        ASSERT_TRUE(vek::CXmlReader::Read(read, WideName(path), c.read)) << c.write << " " << c.read;
        ASSERT_NE(read, nullptr);
        ExpectSameTree(*root, *read);
    }
    std::filesystem::remove(path);
}

TEST(XmlReader, ReadReplacesTreeOnlyOnSuccess) {
    const auto path = TempFile("morvheld_xml_replace.xml");
    std::unique_ptr<vek::CXmlNode> tree = vek::CXmlNode::AddChild(L"old", L"");
    { std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF<?xml version=\"1.0\" ?><r/>"; }
    EXPECT_FALSE(vek::CXmlReader::Read(tree, WideName(path), 2));
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->GetName(), L"old");
    { std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\" ?><r/>"; }
    EXPECT_TRUE(vek::CXmlReader::Read(tree, WideName(path), 2));
    EXPECT_EQ(tree->GetName(), L"r");
    std::filesystem::remove(path);
    EXPECT_THROW(vek::CXmlReader::Read(tree, WideName(path), 2), vek::CFileException);
}

} // namespace
