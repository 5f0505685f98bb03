#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/File.h"
#include "platform/FileSystem.h"

namespace {

namespace fs = std::filesystem;

class PlatformFiles : public testing::Test {
protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::path(testing::TempDir()) /
                (std::string("morvheld_pfile_") + info->name() + "_" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        const std::string narrow = m_dir.string();
        m_wdir.assign(narrow.begin(), narrow.end()); // the temp path is ASCII
    }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path m_dir;
    std::wstring m_wdir;
};

TEST(PlatformFileNames, BackslashIsASeparatorAndNamesAreUtf8) {
    EXPECT_EQ(platform::FileNameToUtf8(L"Data\\maps/\u017C.map"), "Data/maps/\xC5\xBC.map");
    EXPECT_EQ(platform::FileNameToUtf8(L""), "");
}

TEST_F(PlatformFiles, KindsAndFolders) {
    std::ofstream(m_dir / "f.txt") << "abc";
    EXPECT_EQ(platform::GetPathKind(m_wdir + L"\\f.txt"), platform::PathKind::kFile);
    EXPECT_EQ(platform::GetPathKind(m_wdir), platform::PathKind::kFolder);
    EXPECT_EQ(platform::GetPathKind(m_wdir + L"/none"), platform::PathKind::kMissing);
    EXPECT_EQ(platform::OpenFile(m_dir.string(), "rb"), nullptr); // a folder is never a file
    EXPECT_EQ(platform::RegularFileSize((m_dir / "f.txt").string()), 3);
    EXPECT_EQ(platform::RegularFileSize(m_dir.string()), -1);

    EXPECT_TRUE(platform::CreateFolder(m_wdir + L"\\sub"));
    EXPECT_FALSE(platform::CreateFolder(m_wdir + L"\\sub")); // already there
    EXPECT_FALSE(platform::CreateFolder(m_wdir + L"/a/b"));  // one level only
    EXPECT_TRUE(fs::is_directory(m_dir / "sub"));
}

TEST_F(PlatformFiles, ReadFolderMarksFolders) {
    std::ofstream(m_dir / "file") << "";
    fs::create_directories(m_dir / "dir");
    fs::create_directory_symlink(m_dir / "dir", m_dir / "link");
    std::vector<platform::FolderEntry> entries;
    ASSERT_TRUE(platform::ReadFolder(m_dir.string(), entries));
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 5u);
    const std::pair<const char*, bool> expected[] = {
        {".", true}, {"..", true}, {"dir", true}, {"file", false}, {"link", true}};
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].name, expected[i].first);
        EXPECT_EQ(entries[i].folder, expected[i].second) << entries[i].name;
    }
    EXPECT_FALSE(platform::ReadFolder((m_dir / "none").string(), entries));
}

} // namespace
