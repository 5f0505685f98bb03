#include <gtest/gtest.h>

#include <irrlicht.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

#include "VEKLib/Exception.h"
#include "VEKLib/Strings.h"
#include "data/DataArchive.h"
#include "data/MetaFile.h"
#include "platform/Utf8.h"
#include "support/Files.h"

namespace {

namespace fs = std::filesystem;

constexpr char kStrings[] = "STR_HELLO=Hello\nSTR_BYE=Bye\n";
constexpr char kScript[] = "// brain\nfunction OnInit() {}\n";

using testsupport::ReadBytes;
using testsupport::Thrown;
using testsupport::Wide;
using testsupport::WriteBytes;

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// Every byte that a CMetaFile holds, read as narrow text.
std::string Contents(CMetaFile& file) {
    std::wstring text;
    file.ReadText(text, vek::kEncodingNarrow, false);
    return platform::ToUtf8(text);
}

// A small archive made as the build makes Morvheld.dat, read by a null
// device. Archive-mode tests run in an empty folder: the engine would also
// take loose files for names that the archive lacks.
class DataArchiveTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_root = fs::path(testing::TempDir()) / ("morvheld_archive_" + std::to_string(::getpid()));
        fs::remove_all(s_root);
        WriteBytes(s_root / "src/Data/strings.en.txt", kStrings);
        WriteBytes(s_root / "src/Data/Scripts/Brains/rat.u", kScript);
        WriteBytes(s_root / "src/Data/empty.txt", "");
        WriteBytes(s_root / "src/Graphics/readme.txt", "pictures");
        fs::create_directories(s_root / "run");
        MakeArchive(s_root / "Test.dat", CDataArchive::GetPassword());
    }
    static void TearDownTestSuite() { fs::remove_all(s_root); }

    static void MakeArchive(const fs::path& archive, const std::string& password) {
        const std::string command = "cd " + Quoted((s_root / "src").string()) + " && 7zz a -tzip -mem=AES256 " +
                                    Quoted("-p" + password) + " -bd -bso0 -bsp0 " + Quoted(archive.string()) +
                                    " Data Graphics";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    void SetUp() override {
        m_cwd = fs::current_path();
        fs::current_path(s_root / "run");
        m_device = irr::createDevice(irr::video::EDT_NULL);
        ASSERT_NE(m_device, nullptr);
        m_device->getLogger()->setLogLevel(irr::ELL_NONE);
        DataArchive().SetDevice(m_device);
        SetArchiveInUse(true);
    }
    void TearDown() override {
        DataArchive().Reset();
        SetArchiveInUse(true);
        if (m_device != nullptr) {
            m_device->drop();
        }
        fs::current_path(m_cwd);
    }

    static fs::path s_root;
    fs::path m_cwd;
    irr::IrrlichtDevice* m_device = nullptr;
};

fs::path DataArchiveTest::s_root;

TEST_F(DataArchiveTest, StoredFileReadsAsTheLooseFileDoes) {
    DataArchive().Init(Wide(s_root / "Test.dat"));
    EXPECT_TRUE(DataArchive().IsReady());
    CMetaFile stored;
    stored.Open(L"Data/strings.en.txt", vek::CFile::kModeRead);
    EXPECT_TRUE(stored.IsOpen());
    EXPECT_EQ(stored.GetLength(), sizeof(kStrings) - 1);
    EXPECT_EQ(Contents(stored), kStrings);

    SetArchiveInUse(false);
    fs::current_path(s_root / "src");
    CMetaFile loose;
    loose.Open(L"Data/strings.en.txt", vek::CFile::kModeRead);
    EXPECT_FALSE(loose.IsMemoryOnly());
    EXPECT_EQ(Contents(loose), kStrings);
}

TEST_F(DataArchiveTest, ClosingAStoredFileWritesNothing) {
    DataArchive().Init(Wide(s_root / "Test.dat"));
    {
        CMetaFile file;
        file.Open(L"Data/Scripts/Brains/rat.u", vek::CFile::kModeReadWrite);
        char head[8];
        EXPECT_EQ(file.Read(head, sizeof(head)), sizeof(head));
        EXPECT_NO_THROW(file.Close());
        EXPECT_FALSE(file.IsOpen());
    }
    EXPECT_TRUE(fs::is_empty(s_root / "run"));
}

TEST_F(DataArchiveTest, StoredFileOfSizeZeroIsOpenAndEmpty) {
    DataArchive().Init(Wide(s_root / "Test.dat"));
    EXPECT_EQ(DataArchive().GetFileSize(L"Data/empty.txt"), 0u);
    CMetaFile file;
    file.Open(L"Data/empty.txt", vek::CFile::kModeRead);
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.GetLength(), 0u);
    EXPECT_EQ(Contents(file), "");
}

TEST_F(DataArchiveTest, SecondOpenReplacesTheBuffer) {
    DataArchive().Init(Wide(s_root / "Test.dat"));
    CMetaFile file;
    file.Open(L"Data/strings.en.txt", vek::CFile::kModeRead);
    file.Open(L"Graphics/readme.txt", vek::CFile::kModeRead);
    EXPECT_EQ(file.GetFileName(), L"Graphics/readme.txt");
    EXPECT_EQ(file.GetLength(), 8u);
    EXPECT_EQ(file.GetPosition(), 0u);
    EXPECT_EQ(Contents(file), "pictures");
}

TEST_F(DataArchiveTest, LooseFileAfterAStoredOneGetsNoneOfItsBytes) {
    DataArchive().Init(Wide(s_root / "Test.dat"));
    CMetaFile file;
    file.Open(L"Data/strings.en.txt", vek::CFile::kModeRead);
    char head[4];
    file.Read(head, sizeof(head));
    SetArchiveInUse(false);
    file.Open(L"out.txt", vek::CFile::kModeWrite);
    EXPECT_FALSE(file.IsMemoryOnly());
    file.Write("new", 3);
    file.Close();
    EXPECT_EQ(ReadBytes(s_root / "run/out.txt"), "new");
    fs::remove(s_root / "run/out.txt");
}

TEST_F(DataArchiveTest, UnusableArchiveCannotBeAccessed) {
    WriteBytes(s_root / "NotZip.dat", "plain text, not an archive");
    MakeArchive(s_root / "Wrong.dat", "not the password");
    for (const char* name : {"Wrong.dat", "NotZip.dat", "Missing.dat"}) {
        SCOPED_TRACE(name);
        const auto e = Thrown<vek::CException>([&] { DataArchive().Init(Wide(s_root / name)); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->GetDetails(), L"Cannot access data archive file!");
        EXPECT_EQ(e->GetFunction(), L"CDataArchive::Init");
        EXPECT_EQ(e->GetSourceFile(), L"IrrWrap");
        EXPECT_FALSE(DataArchive().IsReady());
        // Nothing of a refused archive stays behind to be found.
        EXPECT_EQ(m_device->getFileSystem()->getFileArchiveCount(), 0u);
    }
}

TEST_F(DataArchiveTest, MissingStoredFileNamesIt) {
    DataArchive().Init(Wide(s_root / "Test.dat"));
    // Found only with its exact case and folder; a loose file of that name
    // does not stand in for it.
    WriteBytes(s_root / "run/Data/loose.txt", "loose");
    for (const wchar_t* name :
         {L"DATA/STRINGS.EN.TXT", L"data/strings.en.txt", L"strings.en.txt", L"Data", L"Data/loose.txt"}) {
        SCOPED_TRACE(platform::ToUtf8(name));
        CMetaFile file;
        const auto e = Thrown<vek::CFileException>([&] { file.Open(name, vek::CFile::kModeRead); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->GetCode(), vek::CFileException::kNotFound);
        EXPECT_EQ(e->GetFileName(), name);
        EXPECT_EQ(e->GetFunction(), L"CDataArchive::GetFileSize");
        EXPECT_FALSE(file.IsOpen());
    }
    fs::remove_all(s_root / "run/Data");
}

TEST_F(DataArchiveTest, FileDataNeverOverrunsTheBuffer) {
    DataArchive().Init(Wide(s_root / "Test.dat"));
    std::string buffer(4, '\0');
    const auto e =
        Thrown<vek::CFileException>([&] { DataArchive().GetFileData(L"Data/strings.en.txt", buffer.data(), 4); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetCode(), vek::CFileException::kOther);
    EXPECT_NE(e->GetText().find(L"Details: Overflow."), std::wstring::npos);

    buffer.assign(sizeof(kStrings) - 1, '\0');
    DataArchive().GetFileData(L"Data/strings.en.txt", buffer.data(), static_cast<uint32_t>(buffer.size()));
    EXPECT_EQ(buffer, kStrings);
}

TEST_F(DataArchiveTest, EngineFileOfAStoredFile) {
    DataArchive().Init(Wide(s_root / "Test.dat"));
    irr::io::IReadFile* file = DataArchive().GetIrrFile(L"Graphics/readme.txt");
    ASSERT_NE(file, nullptr);
    char bytes[8];
    EXPECT_EQ(file->read(bytes, sizeof(bytes)), 8);
    EXPECT_EQ(std::string(bytes, 8), "pictures");
    file->drop();
}

TEST_F(DataArchiveTest, LooseEngineFileIsFoundWhateverTheCase) {
    SetArchiveInUse(false);
    WriteBytes(s_root / "run/Graphics/Tiles.png", "tiles");
    irr::io::IReadFile* file = DataArchive().GetIrrFile(L"GRAPHICS\\tiles.PNG");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->getSize(), 5);
    file->drop();
    EXPECT_EQ(DataArchive().GetFileSize(L"graphics/TILES.png"), 5u);
    fs::remove_all(s_root / "run/Graphics");
}

TEST_F(DataArchiveTest, LooseFileOver4GiBIsRefused) {
    SetArchiveInUse(false);
    const fs::path big = s_root / "run/big.bin";
    std::ofstream(big, std::ios::binary).close();
    fs::resize_file(big, 0x100000001ull); // sparse: nothing is written
    const auto e = Thrown<vek::CFileException>([&] { DataArchive().GetFileSize(L"big.bin"); });
    fs::remove(big);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetCode(), vek::CFileException::kOther);
}

// The build's archive step derives the password from the program's own
// constants; an archive it makes must open.
TEST_F(DataArchiveTest, BuildStepMakesAnArchiveThatOpens) {
    const fs::path top = fs::path(__FILE__).parent_path().parent_path().parent_path();
    const fs::path script = top / "data/MakeArchive.cmake";
    if (!fs::exists(script)) {
        GTEST_SKIP() << "no " << script;
    }
    const fs::path archive = s_root / "Made.dat";
    const std::string command = "cmake -DSEVENZIP=7zz -DSOURCE_DIR=" + Quoted((s_root / "src").string()) +
                                " -DKEY_SOURCE=" + Quoted((top / "data/DataArchive.cpp").string()) +
                                " -DARCHIVE=" + Quoted(archive.string()) + " -P " + Quoted(script.string());
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    DataArchive().Init(Wide(archive));
    CMetaFile file;
    file.Open(L"Data/Scripts/Brains/rat.u", vek::CFile::kModeRead);
    EXPECT_EQ(Contents(file), kScript);
}

} // namespace
