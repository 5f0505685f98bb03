// Parses arbitrary bytes, decoded as UTF-8, as an ini text and runs every
// typed getter on every key found. Faults of the text must come out as
// vek::CException. Any text value that the writer accepts must read back
// unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "VEKLib/Config.h"
#include "VEKLib/Exception.h"
#include "VEKLib/IniFile.h"
#include "VEKLib/Strings.h"

namespace {

template <class F>
void Try(F&& read) {
    try {
        read();
    } catch (const vek::CException&) {
    }
}

void CheckTextRoundTrip(const std::wstring& key, const std::wstring& text) {
    std::wstring output = L"[S]\r\n";
    try {
        vek::CIniFile::WriteEntry(output, key, vek::CValue(text));
    } catch (const vek::CException&) {
        return; // refused: nothing to read back
    }
    vek::CIniFile again;
    again.Text() = output;
    again.Parse();
    if (again.GetStringValue(key, L"S", L"") != text) {
        std::abort();
    }
}

void ReadAll(vek::CIniFile& ini, const std::wstring& key, const std::wstring& section) {
    for (bool flags : {false, true}) {
        Try([&] { ini.GetValue(key, section, uint32_t{1}, flags); });
        Try([&] { ini.GetValue(key, section, int32_t{1}, flags); });
        Try([&] { ini.GetValue(key, section, uint16_t{1}, flags); });
        Try([&] { ini.GetValue(key, section, uint8_t{1}, flags); });
        Try([&] { ini.GetValue(key, section, int64_t{1}, flags); });
    }
    Try([&] { ini.GetValue(key, section, 1.0f); });
    Try([&] { ini.GetValue(key, section, true); });
    Try([&] { ini.GetHexColorValue(key, section, 1); });
    Try([&] { vek::CIniFile::SumFlags(ini.GetValue(key, section, L"")); });
    Try([&] { CheckTextRoundTrip(key, ini.GetStringValue(key, section, L"")); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    vek::CIniFile ini;
    vek::Utf8ToWide(bytes.c_str(), ini.Text());
    try {
        ini.Parse();
    } catch (const vek::CException&) {
        // A failed parse keeps the sections read so far; they are still looked up.
    }
    // Copied: lookups must not change what they walk over.
    const std::vector<vek::TIniSection> sections = ini.GetSections();
    for (const vek::TIniSection& section : sections) {
        for (const vek::TIniEntry& entry : section.entries) {
            ReadAll(ini, entry.key, section.name);
        }
    }
    return 0;
}
