// Linked into a test program with -Wl,--wrap=<CParserCore::LoadText> by
// scripts/parse-diff.sh: every text a test loads is written to the folder
// that MORVHELD_CAPTURE names, once each, for ParseDump to parse again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "script/ParserCore.h"

#define LOAD_TEXT _ZN11CParserCore8LoadTextERKNSt7__cxx1112basic_stringIwSt11char_traitsIwESaIwEEES7_
#define NAME2(a, b) a##b
#define NAME(a, b) NAME2(a, b)
#define TEXT2(x) #x
#define TEXT(x) TEXT2(x)

void RealLoadText(CParserCore* parser, const std::wstring& text,
                  const std::wstring& path) asm(TEXT(NAME(__real_, LOAD_TEXT)));

namespace {

void Put(std::FILE* file, const std::wstring& text) {
    const uint32_t count = static_cast<uint32_t>(text.size());
    std::fwrite(&count, 4, 1, file);
    for (wchar_t c : text) {
        const uint32_t unit = static_cast<uint32_t>(c);
        std::fwrite(&unit, 4, 1, file);
    }
}

} // namespace

extern "C" void NAME(__wrap_, LOAD_TEXT)(CParserCore* parser, const std::wstring& text, const std::wstring& path) {
    if (const char* folder = std::getenv("MORVHELD_CAPTURE")) {
        uint64_t hash = 14695981039346656037ull;
        for (wchar_t c : path + L'\n' + text) {
            hash = (hash ^ static_cast<uint32_t>(c)) * 1099511628211ull;
        }
        char name[64];
        std::snprintf(name, sizeof(name), "/%016llx.cap", static_cast<unsigned long long>(hash));
        if (std::FILE* file = std::fopen((std::string(folder) + name).c_str(), "wb")) {
            Put(file, path);
            Put(file, text);
            std::fclose(file);
        }
    }
    RealLoadText(parser, text, path);
}
