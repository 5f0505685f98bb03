#pragma once
// A small XML facility: an element tree, a writer that stores a tree as
// indented text with a declaration, and a reader for the same subset
// (elements, attributes with quoted values, element text and the five
// predefined entities; no comments, CDATA or character references).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vek {

// Deepest element nesting that the reader accepts; deeper documents are
// refused rather than risking the stack of whoever walks the tree.
constexpr size_t kXmlMaxDepth = 256;

class CXmlNode;

class CXmlAttribute {
public:
    CXmlAttribute(const std::wstring& name, const std::wstring& value);

    const std::wstring& GetName() const { return m_name; }
    const std::wstring& GetValue() const { return m_value; }
    void SetValue(const std::wstring& value) { m_value = value; }
    // The element that holds the attribute; null while detached.
    CXmlNode* GetOwner() const { return m_owner; }

private:
    friend class CXmlNode;

    std::wstring m_name;
    std::wstring m_value;
    CXmlNode* m_owner = nullptr;
};

class CXmlNode {
public:
    enum : uint32_t { kElement = 1 };

    // `position` is stored for the caller; the library never reads it.
    CXmlNode(const std::wstring& name, const std::wstring& value, uint32_t position = 0);
    CXmlNode(const CXmlNode&) = delete;
    CXmlNode& operator=(const CXmlNode&) = delete;
    // Leaves its parent first (when it has one), then frees the whole
    // subtree without recursion, however deep it is.
    ~CXmlNode();

    // A new element that belongs to no tree yet; link it with AppendChild.
    static std::unique_ptr<CXmlNode> AddChild(const std::wstring& name, const std::wstring& value);
    // Appends `child` after the existing children and returns it; a null
    // child is ignored (null result).
    CXmlNode* AppendChild(std::unique_ptr<CXmlNode> child);
    // A new detached attribute; the value arrives already in text form.
    static std::unique_ptr<CXmlAttribute> AddAttribute(const std::wstring& name, const std::wstring& value);
    // Appends `attribute` and returns it; a null attribute is ignored.
    CXmlAttribute* AppendAttribute(std::unique_ptr<CXmlAttribute> attribute);

    // Null when index is not below the number of children.
    CXmlNode* GetChild(size_t index) const;
    // First child whose name equals `name` ignoring case; null when none.
    CXmlNode* FindChild(const std::wstring& name) const;
    // Removes and deletes the child; false (and nothing deleted) when it is
    // not a child of this node.
    bool DeleteChild(CXmlNode* child);
    // Removes and deletes the attribute; false when this node does not hold it.
    bool DeleteAttribute(CXmlAttribute* attribute);

    uint32_t GetKind() const { return m_kind; }
    const std::wstring& GetName() const { return m_name; }
    const std::wstring& GetValue() const { return m_value; }
    void SetValue(const std::wstring& value) { m_value = value; }
    uint32_t GetPosition() const { return m_position; }
    CXmlNode* GetParent() const { return m_parent; }
    size_t GetChildCount() const { return m_children.size(); }
    size_t GetAttributeCount() const { return m_attributes.size(); }
    // Null when index is not below the number of attributes.
    CXmlAttribute* GetAttribute(size_t index) const;

private:
    // Takes `child` out of the children without deleting it.
    std::unique_ptr<CXmlNode> Release(const CXmlNode* child);

    uint32_t m_kind = kElement;
    std::wstring m_name;
    std::wstring m_value;
    uint32_t m_position = 0;
    CXmlNode* m_parent = nullptr;
    std::vector<std::unique_ptr<CXmlNode>> m_children;
    std::vector<std::unique_ptr<CXmlAttribute>> m_attributes;
};

// & < > " ' become &amp; &lt; &gt; &quot; &apos;.
std::wstring XmlEscape(const std::wstring& text);
// The five entities become their characters; everything else, an & without
// a closing ; included, is copied unchanged.
std::wstring XmlUnescape(const std::wstring& text);

class CXmlWriter {
public:
    // The writer does not own the root.
    explicit CXmlWriter(uint32_t encoding = 2, const CXmlNode* root = nullptr);

    void SetEncoding(uint32_t encoding) { m_encoding = encoding; }
    uint32_t GetEncoding() const { return m_encoding; }
    void SetRoot(const CXmlNode* root) { m_root = root; }
    const CXmlNode* GetRoot() const { return m_root; }

    // The declaration for `encoding` followed by the root's text, if a root is set.
    std::wstring WriteHeader(uint32_t encoding) const;
    // The text of `node` and its subtree, indented four blanks per level.
    static std::wstring WriteNode(const CXmlNode& node, uint32_t depth);
    // name="escaped value"
    static std::wstring WriteAttribute(const CXmlAttribute& attribute);
    // Stores the document in the file with a byte-order mark. Encoding 0
    // (autodetection) and codes above 3 are refused with CFileException 5.
    void Write(const std::wstring& path) const;

private:
    uint32_t m_encoding;
    const CXmlNode* m_root;
};

class CXmlReader {
public:
    // Reads the file (with its byte-order mark) and parses it. When a tree
    // was built it replaces whatever `root` held and true is returned;
    // otherwise `root` is left alone and the result is false. File errors
    // are thrown as CFileException.
    static bool Read(std::unique_ptr<CXmlNode>& root, const std::wstring& path, uint32_t encoding);
    // The tree of a document held in memory; null when the text is not a
    // document of the accepted shape.
    static std::unique_ptr<CXmlNode> Parse(const std::wstring& text);
};

} // namespace vek
