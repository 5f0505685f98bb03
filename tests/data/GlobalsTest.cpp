#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "data/Globals.h"

namespace {

// The folders nest as the data layout has them, each ends in '/', and the
// autosave lies in the save folder with the save extension.
TEST(Globals, PathsFitTogether) {
    const struct {
        std::wstring_view folder;
        std::wstring_view parent;
    } folders[] = {
        {kDataDir, L""},          {kScriptDir, kDataDir},   {kLocationScriptDir, kScriptDir},
        {kLocationDir, kDataDir}, {kTemplateDir, kDataDir}, {kGraphicsDir, L""},
        {kSaveDir, L""},
    };
    for (const auto& f : folders) {
        EXPECT_TRUE(f.folder.starts_with(f.parent)) << std::wstring(f.folder);
        EXPECT_TRUE(f.folder.ends_with(L'/')) << std::wstring(f.folder);
        EXPECT_EQ(f.folder.find(L'\\'), std::wstring_view::npos);
    }
    EXPECT_EQ(std::wstring(kSaveDir) + L"autosave" + kSaveExtension, kAutosaveFile);
}

// Tags are compared byte by byte with the start of a file: narrow, exact length.
TEST(Globals, FileTags) {
    EXPECT_EQ(std::string_view(kSaveGameTag), std::string_view("SAVEGAME", 8));
    EXPECT_EQ(std::string_view(kMapTag), std::string_view("MAP", 3));
    EXPECT_EQ(std::string_view(kWorldTag), std::string_view("WORLD", 5));
}

} // namespace
