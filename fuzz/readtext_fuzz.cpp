// Arbitrary bytes as a memory file, read as text in every encoding, with and
// without the byte-order-mark flag, by every reader. Rejections are exceptions; anything else
// (a crash, a read past the buffer, a huge allocation) is a fault.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Strings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) {
        return 0;
    }
    const uint32_t length = static_cast<uint32_t>(size);
    auto opened = [&](vek::CFile& file) {
        if (length > 0) {
            std::memcpy(file.GetBuffer(), data, length);
        }
        file.Open(L"fuzz.txt", vek::CFile::kModeRead);
    };
    for (uint32_t encoding = 0; encoding <= 3; ++encoding) {
        for (bool mark : {false, true}) {
            // The variant that keeps ASCII as its bytes reads what the whole
            // reader reads, and refuses what it refuses.
            vek::CFile wholeFile(true, length);
            opened(wholeFile);
            vek::CFile bytesFile(true, length);
            opened(bytesFile);
            std::wstring whole;
            std::string ascii;
            std::wstring wide;
            bool asBytes = false;
            bool refused = false;
            bool refusedToo = false;
            try {
                wholeFile.ReadWholeText(whole, encoding, mark);
            } catch (const vek::CException&) {
                refused = true;
            }
            try {
                asBytes = bytesFile.ReadWholeText(ascii, wide, encoding, mark);
            } catch (const vek::CException&) {
                refusedToo = true;
            }
            if (refused != refusedToo || (!refused && (asBytes ? vek::Utf8ToWide(ascii) : wide) != whole)) {
                __builtin_trap();
            }

            vek::CFile file(true, length);
            opened(file);
            std::wstring text;
            try {
                file.ReadText(text, encoding, mark);
            } catch (const vek::CException&) {
                continue;
            }
            // No text is longer than its bytes, and none holds a zero unit.
            if (text.size() > size || text.find(L'\0') != std::wstring::npos) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
