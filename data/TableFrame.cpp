#include "data/TableFrame.h"

#include <utility>

#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
#include "data/Globals.h"
#include "data/MetaFile.h"

namespace {

constexpr uint32_t kFileBuffer = 16384;
constexpr wchar_t kByteOrderMark = 0xFEFF;

} // namespace

std::wstring TableFileName(const wchar_t* baseName, const std::wstring& lang) {
    return std::wstring(kDataDir) + baseName + lang + L".ini";
}

void LoadIniFile(const std::wstring& fileName, vek::CIniFile& ini) {
    CMetaFile file(false, kFileBuffer);
    file.Open(fileName, vek::CFile::kModeRead);
    std::wstring text;
    file.ReadWholeText(text, vek::kEncodingUtf8, false);
    file.Close();
    ini.SetSourceName(fileName);
    ParseTableText(std::move(text), ini);
}

void ParseTableText(std::wstring text, vek::CIniFile& ini) {
    if (!text.empty() && text.front() == kByteOrderMark) {
        text.erase(0, 1);
    }
    ini.Text() = std::move(text);
    ini.Parse();
}

uint16_t ReadRecordCount(vek::CIniFile& ini, const TTableFormat& format, const std::wstring& fileName, size_t present,
                         bool checkCount) {
    const uint16_t count = ini.GetValue(format.countKey, L"header", uint16_t{0});
    if (checkCount && present != count) {
        // Only the tail is a format: a '%' in the file name stays as it is.
        throw vek::CException(format.loader, kTableSource, __LINE__,
                              L"File " + fileName +
                                  vek::Format(L" was expected to have %lu entries, but actually has %hu.",
                                              static_cast<uint32_t>(present), count));
    }
    return count;
}

std::wstring RecordSection(const TTableFormat& format, uint32_t number) {
    return vek::Format(format.sectionPattern, number);
}
