// Arbitrary bytes as a string file: read as UTF-8 text from a memory file and
// scanned, with and without a stop tag; then every text is removed and the
// file read again. The scanner's rules must hold for whatever it kept, and
// numbers must stay unique. Every text is also tried as a date format.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Format.h"
#include "VEKLib/Log.h"
#include "VEKLib/Strings.h"
#include "data/StringResource.h"
#include "data/Version.h"

namespace {

void Require(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

// Tags hold no blank, no backslash, no line break; texts no backslash, and
// a line feed in them only as the escape's CR LF.
void CheckEntries(const CStringResource& strings) {
    for (const auto& [tag, number] : strings.GetNumbers()) {
        Require(tag.find_first_of(L" \\\r\n") == std::wstring::npos);
        Require(strings.GetTexts().count(number) == 1);
    }
    std::set<int32_t> numbers;
    for (const auto& [number, text] : strings.GetTexts()) {
        Require(!text.empty());
        Require(text.find(L'\\') == std::wstring::npos);
        for (size_t at = text.find(L'\n'); at != std::wstring::npos; at = text.find(L'\n', at + 1)) {
            Require(at > 0 && text[at - 1] == L'\r');
        }
        numbers.insert(number);
        if (IsValidDateFormat(text)) {
            const uint16_t n = static_cast<uint16_t>(number);
            Require(vek::Format(text, n, n, n, n, n).size() <= vek::kFormatLimit);
        }
    }
    Require(!FormatGameDate(UINT64_MAX - strings.GetCount(), strings).empty());
    Require(numbers.size() == strings.GetCount());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) {
        return 0;
    }
    const uint32_t length = static_cast<uint32_t>(size);
    vek::CFile file(true, length);
    if (length > 0) {
        std::memcpy(file.GetBuffer(), data, length);
    }
    file.Open(L"Data/strings.xx.txt", vek::CFile::kModeRead);
    std::wstring text;
    try {
        file.ReadText(text, vek::kEncodingUtf8, false);
    } catch (const vek::CException&) {
        return 0;
    }

    const vek::CLog quiet;
    for (const wchar_t* stop : {static_cast<const wchar_t*>(nullptr), kSkillBlockEndTag, L"a"}) {
        CStringResource strings(false, &quiet);
        strings.LoadText(text, stop);
        CheckEntries(strings);
        // Every other text out, then the file again: new numbers lie above
        // every kept one.
        bool drop = true;
        for (auto it = strings.GetTexts().begin(); it != strings.GetTexts().end();) {
            const int32_t number = (it++)->first;
            if (drop) {
                strings.Remove(number);
            }
            drop = !drop;
        }
        const size_t kept = strings.GetCount();
        strings.LoadText(text, stop);
        CheckEntries(strings);
        Require(strings.GetCount() >= kept);
    }
    return 0;
}
