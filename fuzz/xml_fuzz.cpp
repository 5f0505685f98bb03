// Parses arbitrary bytes as an XML document, once as UTF-8 and once as
// UTF-16 little-endian. Any tree that comes out must survive being written
// and read back unchanged, unless an element holds both text and children
// (the writer puts the children right after the text, which the reader then
// takes as part of it).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "VEKLib/Strings.h"
#include "VEKLib/Xml.h"

namespace {

bool HasMixedContent(const vek::CXmlNode& root) {
    std::vector<const vek::CXmlNode*> pending{&root};
    while (!pending.empty()) {
        const vek::CXmlNode* node = pending.back();
        pending.pop_back();
        if (!node->GetValue().empty() && node->GetChildCount() > 0) {
            return true;
        }
        for (size_t i = 0; i < node->GetChildCount(); ++i) {
            pending.push_back(node->GetChild(i));
        }
    }
    return false;
}

bool SameTree(const vek::CXmlNode& a, const vek::CXmlNode& b) {
    std::vector<std::pair<const vek::CXmlNode*, const vek::CXmlNode*>> pending{{&a, &b}};
    while (!pending.empty()) {
        const auto [x, y] = pending.back();
        pending.pop_back();
        if (x->GetName() != y->GetName() || x->GetValue() != y->GetValue() ||
            x->GetAttributeCount() != y->GetAttributeCount() || x->GetChildCount() != y->GetChildCount()) {
            return false;
        }
        for (size_t i = 0; i < x->GetAttributeCount(); ++i) {
            if (x->GetAttribute(i)->GetName() != y->GetAttribute(i)->GetName() ||
                x->GetAttribute(i)->GetValue() != y->GetAttribute(i)->GetValue()) {
                return false;
            }
        }
        for (size_t i = 0; i < x->GetChildCount(); ++i) {
            if (y->GetChild(i)->GetParent() != y) {
                return false;
            }
            pending.emplace_back(x->GetChild(i), y->GetChild(i));
        }
    }
    return true;
}

void Check(const std::wstring& text) {
    std::unique_ptr<vek::CXmlNode> tree = vek::CXmlReader::Parse(text);
    if (tree == nullptr || HasMixedContent(*tree)) {
        return;
    }
    const vek::CXmlWriter writer(2, tree.get());
    std::unique_ptr<vek::CXmlNode> again = vek::CXmlReader::Parse(writer.WriteHeader(2));
    if (again == nullptr || !SameTree(*tree, *again)) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Check(vek::Utf8ToWide(bytes));

    std::wstring units;
    units.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2) {
        units += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    }
    Check(units);
    return 0;
}
