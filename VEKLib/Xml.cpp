#include "VEKLib/Xml.h"

#include <algorithm>
#include <utility>

#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Strings.h"
#include "VEKLib/Tokenizer.h"

namespace vek {

namespace {

constexpr uint32_t kFileBufferSize = 16384;
constexpr size_t kReservedLexTokens = 10000;
// <?xml version="1.0" encoding="..." ?> is ten tokens.
constexpr size_t kDeclarationTokens = 10;

} // namespace

// --- Tree --------------------------------------------------------------------

CXmlAttribute::CXmlAttribute(const std::wstring& name, const std::wstring& value) : m_name(name), m_value(value) {}

CXmlNode::CXmlNode(const std::wstring& name, const std::wstring& value, uint32_t position)
    : m_name(name), m_value(value), m_position(position) {}

CXmlNode::~CXmlNode() {
    if (m_parent != nullptr) {
        // The parent still holds us; take us out so it never deletes us again.
        std::unique_ptr<CXmlNode> self = m_parent->Release(this);
        (void)self.release();
        m_parent = nullptr;
    }
    // Children are freed from a work list: each node is emptied of its own
    // children before it dies, so no destructor ever recurses.
    std::vector<std::unique_ptr<CXmlNode>> pending = std::move(m_children);
    m_children.clear();
    while (!pending.empty()) {
        std::unique_ptr<CXmlNode> node = std::move(pending.back());
        pending.pop_back();
        node->m_parent = nullptr;
        for (std::unique_ptr<CXmlNode>& child : node->m_children) {
            pending.push_back(std::move(child));
        }
        node->m_children.clear();
    }
    for (std::unique_ptr<CXmlAttribute>& attribute : m_attributes) {
        attribute->m_owner = nullptr;
    }
    m_attributes.clear();
}

std::unique_ptr<CXmlNode> CXmlNode::AddChild(const std::wstring& name, const std::wstring& value) {
    return std::make_unique<CXmlNode>(name, value);
}

CXmlNode* CXmlNode::AppendChild(std::unique_ptr<CXmlNode> child) {
    if (child == nullptr) {
        return nullptr;
    }
    child->m_parent = this;
    m_children.push_back(std::move(child));
    return m_children.back().get();
}

std::unique_ptr<CXmlAttribute> CXmlNode::AddAttribute(const std::wstring& name, const std::wstring& value) {
    return std::make_unique<CXmlAttribute>(name, value);
}

CXmlAttribute* CXmlNode::AppendAttribute(std::unique_ptr<CXmlAttribute> attribute) {
    if (attribute == nullptr) {
        return nullptr;
    }
    attribute->m_owner = this;
    m_attributes.push_back(std::move(attribute));
    return m_attributes.back().get();
}

CXmlNode* CXmlNode::GetChild(size_t index) const {
    return index < m_children.size() ? m_children[index].get() : nullptr;
}

CXmlAttribute* CXmlNode::GetAttribute(size_t index) const {
    return index < m_attributes.size() ? m_attributes[index].get() : nullptr;
}

CXmlNode* CXmlNode::FindChild(const std::wstring& name) const {
    for (const std::unique_ptr<CXmlNode>& child : m_children) {
        if (equals(child->m_name, name)) {
            return child.get();
        }
    }
    return nullptr;
}

std::unique_ptr<CXmlNode> CXmlNode::Release(const CXmlNode* child) {
    auto it = std::find_if(m_children.begin(), m_children.end(),
                           [child](const std::unique_ptr<CXmlNode>& c) { return c.get() == child; });
    if (it == m_children.end()) {
        return nullptr;
    }
    std::unique_ptr<CXmlNode> taken = std::move(*it);
    m_children.erase(it);
    return taken;
}

bool CXmlNode::DeleteChild(CXmlNode* child) {
    if (child == nullptr || child->m_parent != this) {
        return false;
    }
    std::unique_ptr<CXmlNode> taken = Release(child);
    if (taken == nullptr) {
        return false;
    }
    taken->m_parent = nullptr;
    return true; // `taken` deletes it
}

bool CXmlNode::DeleteAttribute(CXmlAttribute* attribute) {
    auto it = std::find_if(m_attributes.begin(), m_attributes.end(),
                           [attribute](const std::unique_ptr<CXmlAttribute>& a) { return a.get() == attribute; });
    if (attribute == nullptr || it == m_attributes.end()) {
        return false;
    }
    m_attributes.erase(it);
    return true;
}

// --- Entities ----------------------------------------------------------------

std::wstring XmlEscape(const std::wstring& text) {
    std::wstring result;
    result.reserve(text.size() * 2);
    for (wchar_t c : text) {
        switch (c) {
        case L'&':
            result += L"&amp;";
            break;
        case L'<':
            result += L"&lt;";
            break;
        case L'>':
            result += L"&gt;";
            break;
        case L'"':
            result += L"&quot;";
            break;
        case L'\'':
            result += L"&apos;";
            break;
        default:
            result += c;
            break;
        }
    }
    return result;
}

std::wstring XmlUnescape(const std::wstring& text) {
    CTokenizer tokenizer(text);
    tokenizer.AddBracketPair(L'&', L';');
    tokenizer.Tokenize();
    std::wstring result;
    result.reserve(text.size());
    for (const std::wstring& token : tokenizer.GetTokens()) {
        if (token == L"&amp;") {
            result += L'&';
        } else if (token == L"&lt;") {
            result += L'<';
        } else if (token == L"&gt;") {
            result += L'>';
        } else if (token == L"&quot;") {
            result += L'"';
        } else if (token == L"&apos;") {
            result += L'\'';
        } else {
            result += token;
        }
    }
    return result;
}

// --- Writer ------------------------------------------------------------------

CXmlWriter::CXmlWriter(uint32_t encoding, const CXmlNode* root) : m_encoding(encoding), m_root(root) {}

std::wstring CXmlWriter::WriteHeader(uint32_t encoding) const {
    std::wstring text;
    switch (encoding) {
    case kEncodingNarrow:
    case kEncodingUtf8:
        text = L"<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n";
        break;
    case kEncodingUtf16:
        text = L"<?xml version=\"1.0\" encoding=\"utf-16\" ?>\n";
        break;
    default:
        text = L"<?xml version=\"1.0\" encoding=\"unknown\" ?>\n";
        break;
    }
    if (m_root != nullptr) {
        text += WriteNode(*m_root, 0);
    }
    return text;
}

std::wstring CXmlWriter::WriteAttribute(const CXmlAttribute& attribute) {
    // Joined directly rather than through vek::Format, whose 1024-unit cut
    // would lose the end of a long value.
    return attribute.GetName() + L"=\"" + XmlEscape(attribute.GetValue()) + L"\"";
}

std::wstring CXmlWriter::WriteNode(const CXmlNode& node, uint32_t depth) {
    // Walked with an explicit stack so that a tree built in code, which has
    // no depth limit, cannot exhaust the call stack.
    struct Frame {
        const CXmlNode* node;
        uint32_t depth;
        size_t nextChild;
    };
    std::wstring out;
    std::vector<Frame> stack;

    auto open = [&out, &stack](const CXmlNode& n, uint32_t d) {
        out.append(static_cast<size_t>(d) * 4, L' ');
        out += L'<';
        out += n.GetName();
        if (n.GetAttributeCount() > 0) {
            out += L' ';
            for (size_t i = 0; i < n.GetAttributeCount(); ++i) {
                out += WriteAttribute(*n.GetAttribute(i));
                out += L' ';
            }
        }
        const std::wstring escaped = XmlEscape(n.GetValue());
        if (escaped.empty()) {
            out += L">\n";
        } else {
            out += L'>';
            out += escaped;
        }
        stack.push_back(Frame{&n, d, 0});
    };

    open(node, depth);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.nextChild < top.node->GetChildCount()) {
            const CXmlNode& child = *top.node->GetChild(top.nextChild++);
            open(child, top.depth + 1); // may move `top`; not used after this
            continue;
        }
        if (top.node->GetValue().empty()) {
            out.append(static_cast<size_t>(top.depth) * 4, L' ');
        }
        out += L"</";
        out += top.node->GetName();
        out += L">\n";
        stack.pop_back();
    }
    return out;
}

void CXmlWriter::Write(const std::wstring& path) const {
    if (m_encoding == kEncodingDetect) {
        throw CFileException(CFileException::kInvalidContent, path, L"vek::CXmlWriter::Write", L"XmlWriter", 46,
                             L"Encoding autodetection is not supported");
    }
    if (m_encoding > kEncodingUtf16) {
        // The file layer would write nothing at all for such a code.
        throw CFileException(CFileException::kInvalidContent, path, L"vek::CXmlWriter::Write", L"XmlWriter", __LINE__,
                             L"Unsupported encoding");
    }
    const std::wstring text = WriteHeader(m_encoding);
    CFile file(false, kFileBufferSize);
    file.Open(path, CFile::kModeWrite);
    file.WriteText(text, m_encoding, true);
    file.Flush();
    file.Close();
}

// --- Reader ------------------------------------------------------------------

namespace {

enum class TokenKind { kOpen = 1, kClose = 2, kWord = 3, kString = 4, kEquals = 5, kSlash = 6 };

struct Token {
    TokenKind kind;
    std::wstring text;
};

std::vector<Token> Lex(const std::wstring& text) {
    enum class Mode { kTag, kString, kContent };
    std::vector<Token> tokens;
    tokens.reserve(kReservedLexTokens);
    Mode mode = Mode::kTag;
    std::wstring word;

    auto flushWord = [&]() {
        if (!word.empty()) {
            tokens.push_back(Token{TokenKind::kWord, std::move(word)});
        }
        word.clear();
    };

    for (wchar_t c : text) {
        switch (mode) {
        case Mode::kString:
            if (c == L'"') {
                tokens.push_back(Token{TokenKind::kString, std::move(word)});
                word.clear();
                mode = Mode::kTag;
            } else {
                word += c;
            }
            break;
        case Mode::kContent:
            if (c == L'<') {
                tokens.push_back(Token{TokenKind::kOpen, L"<"});
                if (!is_string_empty(word)) {
                    tokens.push_back(Token{TokenKind::kString, std::move(word)});
                }
                word.clear();
                mode = Mode::kTag;
            } else if (c == L'>') {
                tokens.push_back(Token{TokenKind::kClose, L">"});
                word.clear();
            } else {
                word += c;
            }
            break;
        case Mode::kTag:
            if (IsSpace(c)) {
                flushWord();
            } else if (c == L'<') {
                flushWord();
                tokens.push_back(Token{TokenKind::kOpen, L"<"});
            } else if (c == L'>') {
                flushWord();
                tokens.push_back(Token{TokenKind::kClose, L">"});
                mode = Mode::kContent;
            } else if (c == L'=') {
                flushWord();
                tokens.push_back(Token{TokenKind::kEquals, L"="});
            } else if (c == L'/') {
                flushWord();
                tokens.push_back(Token{TokenKind::kSlash, L"/"});
            } else if (c == L'"') {
                flushWord();
                mode = Mode::kString;
            } else {
                word += c;
            }
            break;
        }
    }
    // An unterminated string and text after the last tag end nowhere; the
    // parser sees the document stop there.
    if (mode == Mode::kTag) {
        flushWord();
    }
    return tokens;
}

bool DeclarationValid(const std::vector<Token>& tokens) {
    if (tokens.size() < kDeclarationTokens) {
        return false;
    }
    return tokens[0].kind == TokenKind::kOpen && equals(tokens[1].text, std::wstring(L"?xml")) &&
           equals(tokens[4].text, std::wstring(L"1.0")) && equals(tokens[8].text, std::wstring(L"?")) &&
           tokens[9].kind == TokenKind::kClose;
}

// Builds the tree from the tokens after the declaration. Open elements are
// owned by the stack until their tag closes, so giving up at any point frees
// everything built so far.
class CTreeBuilder {
public:
    std::unique_ptr<CXmlNode> Build(const std::vector<Token>& tokens, size_t first) {
        for (size_t i = first; i < tokens.size(); ++i) {
            if (!Step(tokens[i])) {
                return nullptr;
            }
        }
        if (m_inTag || !m_stack.empty()) {
            return nullptr;
        }
        return std::move(m_root);
    }

private:
    bool Step(const Token& token) {
        switch (token.kind) {
        case TokenKind::kOpen:
            if (m_inTag) {
                return false;
            }
            m_inTag = true;
            m_named = false;
            m_endTag = false;
            m_emptyTag = false;
            m_opening = nullptr;
            m_attributeName.clear();
            m_haveAttributeName = false;
            m_afterEquals = false;
            return true;
        case TokenKind::kWord:
            if (!m_inTag || m_emptyTag) {
                return false;
            }
            if (!m_named) {
                m_named = true;
                if (m_endTag) {
                    m_endName = token.text;
                    return true;
                }
                return StartElement(token.text);
            }
            if (m_endTag || m_haveAttributeName) {
                return false;
            }
            m_attributeName = token.text;
            m_haveAttributeName = true;
            return true;
        case TokenKind::kEquals:
            if (!m_inTag || !m_haveAttributeName || m_afterEquals) {
                return false;
            }
            m_afterEquals = true;
            return true;
        case TokenKind::kString:
            if (!m_inTag) {
                return false;
            }
            if (m_afterEquals) {
                if (m_opening == nullptr) {
                    return false;
                }
                m_opening->AppendAttribute(CXmlNode::AddAttribute(m_attributeName, XmlUnescape(token.text)));
                m_attributeName.clear();
                m_haveAttributeName = false;
                m_afterEquals = false;
                return true;
            }
            // Text gathered before this tag belongs to the innermost open
            // element; there is none before the root or after it.
            if (m_named || m_stack.empty()) {
                return false;
            }
            m_stack.back()->SetValue(XmlUnescape(token.text));
            return true;
        case TokenKind::kSlash:
            if (!m_inTag || m_endTag || m_emptyTag || m_haveAttributeName) {
                return false;
            }
            if (m_named) {
                m_emptyTag = true;
            } else {
                m_endTag = true;
            }
            return true;
        case TokenKind::kClose:
            if (!m_inTag || !m_named || m_haveAttributeName) {
                return false;
            }
            m_inTag = false;
            if (m_endTag) {
                if (m_stack.empty() || !equals(m_stack.back()->GetName(), m_endName)) {
                    return false;
                }
                CloseElement();
            } else if (m_emptyTag) {
                CloseElement();
            }
            return true;
        }
        return false;
    }

    bool StartElement(const std::wstring& name) {
        if (m_root != nullptr || m_stack.size() >= kXmlMaxDepth) {
            return false;
        }
        m_stack.push_back(CXmlNode::AddChild(name, std::wstring()));
        m_opening = m_stack.back().get();
        return true;
    }

    void CloseElement() {
        std::unique_ptr<CXmlNode> node = std::move(m_stack.back());
        m_stack.pop_back();
        if (m_stack.empty()) {
            m_root = std::move(node);
        } else {
            m_stack.back()->AppendChild(std::move(node));
        }
    }

    std::vector<std::unique_ptr<CXmlNode>> m_stack;
    std::unique_ptr<CXmlNode> m_root;
    CXmlNode* m_opening = nullptr;
    std::wstring m_endName;
    std::wstring m_attributeName;
    bool m_inTag = false;
    bool m_named = false;
    bool m_endTag = false;
    bool m_emptyTag = false;
    bool m_haveAttributeName = false;
    bool m_afterEquals = false;
};

} // namespace

std::unique_ptr<CXmlNode> CXmlReader::Parse(const std::wstring& text) {
    const std::vector<Token> tokens = Lex(text);
    if (!DeclarationValid(tokens)) {
        return nullptr;
    }
    return CTreeBuilder().Build(tokens, kDeclarationTokens);
}

bool CXmlReader::Read(std::unique_ptr<CXmlNode>& root, const std::wstring& path, uint32_t encoding) {
    std::wstring text;
    {
        CFile file(false, kFileBufferSize);
        file.Open(path, CFile::kModeRead);
        file.ReadWholeText(text, encoding, true);
        file.Close();
    }
    std::unique_ptr<CXmlNode> tree = Parse(text);
    if (tree == nullptr) {
        return false;
    }
    root = std::move(tree);
    return true;
}

} // namespace vek
