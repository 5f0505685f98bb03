#include <gtest/gtest.h>

#include <irrlicht.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Strings.h"
#include "data/DataArchive.h"
#include "data/MetaFile.h"
#include "data/ZipArchive.h"
#include "platform/Utf8.h"
#include "support/Files.h"

namespace {

namespace fs = std::filesystem;

constexpr char kStrings[] = "STR_HELLO=Hello\nSTR_BYE=Bye\n";
constexpr char kScript[] = "// brain\nfunction OnInit() {}\n";

// Long enough, and plain enough, to be stored deflated.
std::string LongText() {
    std::string text;
    for (int i = 0; i < 200; ++i) {
        text += "STR_LINE_" + std::to_string(i) + "=Line number " + std::to_string(i) + "\n";
    }
    return text;
}

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
        WriteBytes(s_root / "src/Data/long.txt", LongText());
        fs::create_directories(s_root / "run");
        fs::create_directories(s_root / "src/Nothing/Inside");
        MakeArchive(s_root / "Test.dat", CDataArchive::GetPassword());
    }
    static void TearDownTestSuite() { fs::remove_all(s_root); }

    static void MakeArchive(const fs::path& archive, const std::string& password,
                            const std::string& options = "-mem=AES256", const std::string& folders = "Data Graphics") {
        fs::remove(archive); // 7zz would add to an old one
        const std::string command = "cd " + Quoted((s_root / "src").string()) + " && 7zz a -tzip " + options + " " +
                                    (password.empty() ? std::string() : Quoted("-p" + password)) + " -bd -bso0 -bsp0 " +
                                    Quoted(archive.string()) + " " + folders;
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

// A folder's files of one kind, stored or loose: only those right in it,
// the extension in any case, sorted ignoring case.
TEST_F(DataArchiveTest, FolderListsItsOwnFilesOfAKind) {
    const fs::path folder = s_root / "src/Listing/Brains";
    for (const char* name : {"wolf.u", "Bat.U", "notes.txt", "rat.u.bak", "Deep/deep.u"}) {
        WriteBytes(folder / name, kScript);
    }
    WriteBytes(s_root / "src/Listing/top.u", kScript);
    MakeArchive(s_root / "List.dat", CDataArchive::GetPassword(), "-mem=AES256", "Listing");
    const std::vector<std::wstring> brains = {L"Bat.U", L"wolf.u"};

    DataArchive().Init(Wide(s_root / "List.dat"));
    EXPECT_EQ(DataArchive().ListFiles(L"Listing/Brains/", L".u"), brains);
    EXPECT_EQ(DataArchive().ListFiles(L"Listing/Brains", L".u"), brains);
    EXPECT_EQ(DataArchive().ListFiles(L"Listing/", L".u"), (std::vector<std::wstring>{L"top.u"}));
    // Stored folders match exactly, as stored names do.
    EXPECT_TRUE(DataArchive().ListFiles(L"listing/brains/", L".u").empty());
    EXPECT_TRUE(DataArchive().ListFiles(L"Listing/Nothing/", L".u").empty());

    DataArchive().Reset();
    fs::current_path(s_root / "src");
    EXPECT_EQ(DataArchive().ListFiles(L"Listing/Brains/", L".u"), brains);
    EXPECT_TRUE(DataArchive().ListFiles(L"Listing/Nothing/", L".u").empty());
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

// The other way round: a loose file is closed (a written one completed)
// before the stored file takes its place.
TEST_F(DataArchiveTest, StoredFileAfterALooseOneClosesItFirst) {
    DataArchive().Init(Wide(s_root / "Test.dat"));
    SetArchiveInUse(false);
    CMetaFile file;
    file.Open(L"out.txt", vek::CFile::kModeWrite);
    file.Write("old", 3);
    SetArchiveInUse(true);
    file.Open(L"Data/strings.en.txt", vek::CFile::kModeRead);
    EXPECT_EQ(ReadBytes(s_root / "run/out.txt"), "old");
    EXPECT_TRUE(file.IsMemoryOnly());
    EXPECT_EQ(Contents(file), kStrings);
    fs::remove(s_root / "run/out.txt");
}

TEST_F(DataArchiveTest, UnusableArchiveCannotBeAccessed) {
    WriteBytes(s_root / "NotZip.dat", "plain text, not an archive");
    MakeArchive(s_root / "Wrong.dat", "not the password");
    MakeArchive(s_root / "ZipCrypto.dat", CDataArchive::GetPassword(), "-mem=ZipCrypto");
    const struct {
        const char* file;
        const wchar_t* what;
    } cases[] = {
        {"Wrong.dat", L"the password does not open it"},
        {"NotZip.dat", L"not a ZIP archive (no end of central directory record)"},
        {"Missing.dat", L"the file cannot be opened"},
        {"ZipCrypto.dat", L"encrypted otherwise than with AES, which is not supported"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::wstring name = Wide(s_root / c.file);
        const auto e = Thrown<vek::CException>([&] { DataArchive().Init(name); });
        ASSERT_TRUE(e);
        const std::wstring details = e->GetDetails();
        EXPECT_EQ(details.rfind(L"Cannot access data archive file! (" + name + L": ", 0), 0u)
            << platform::ToUtf8(details);
        EXPECT_NE(details.find(c.what), std::wstring::npos) << platform::ToUtf8(details);
        EXPECT_EQ(e->GetFunction(), L"CDataArchive::Init");
        EXPECT_EQ(e->GetSourceFile(), L"IrrWrap");
        EXPECT_FALSE(DataArchive().IsReady());
        // Nothing of a refused archive stays behind to be found.
        EXPECT_EQ(m_device->getFileSystem()->getFileArchiveCount(), 0u);
        EXPECT_THROW(DataArchive().GetFileSize(L"Data/strings.en.txt"), vek::CFileException);
    }
}

// An archive of folders alone holds no file to prove the password on: it is
// taken, and every stored file is missing from it.
TEST_F(DataArchiveTest, AnArchiveWithoutFilesIsTakenAndFindsNothing) {
    MakeArchive(s_root / "Folders.dat", CDataArchive::GetPassword(), "-mem=AES256", "Nothing");
    DataArchive().Init(Wide(s_root / "Folders.dat"));
    EXPECT_TRUE(DataArchive().IsReady());
    const auto e = Thrown<vek::CFileException>([] { DataArchive().GetFileSize(L"Data/strings.en.txt"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetCode(), vek::CFileException::kNotFound);
    EXPECT_EQ(e->GetFunction(), L"CDataArchive::GetFileSize");
}

// --- Damaged archives ------------------------------------------------------------------

uint32_t Get(const std::string& bytes, size_t at, int width) {
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<uint8_t>(bytes.at(at + static_cast<size_t>(i)));
    }
    return value;
}

void Put(std::string& bytes, size_t at, int width, uint32_t value) {
    for (int i = 0; i < width; ++i) {
        bytes.at(at + static_cast<size_t>(i)) = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// Where an archive's records are, found by walking it as the format lays
// it out (no comment, every entry in the central directory).
class Layout {
public:
    explicit Layout(const std::string& zip) : end(zip.size() - 22) {
        directory = Get(zip, end + 16, 4);
        size_t at = directory;
        for (uint32_t i = 0; i < Get(zip, end + 10, 2); ++i) {
            const size_t nameSize = Get(zip, at + 28, 2);
            names.push_back(zip.substr(at + 46, nameSize));
            central.push_back(at);
            at += 46 + nameSize + Get(zip, at + 30, 2) + Get(zip, at + 32, 2);
        }
    }
    // The central header of an entry.
    size_t C(const std::string& name) const { return central.at(Index(name)); }
    // Its local header.
    size_t L(const std::string& zip, const std::string& name) const { return Get(zip, C(name) + 42, 4); }
    // The data of its AES extra field (version, "AE", strength, method).
    size_t Aes(const std::string& zip, const std::string& name) const {
        const size_t extra = C(name) + 46 + name.size();
        const size_t found = zip.find(std::string("\x01\x99\x07\x00", 4), extra);
        return found + 4;
    }
    // The first byte of its stored data, and how many there are.
    size_t Data(const std::string& zip, const std::string& name) const {
        const size_t local = L(zip, name);
        return local + 30 + Get(zip, local + 26, 2) + Get(zip, local + 28, 2);
    }
    uint32_t StoredSize(const std::string& zip, const std::string& name) const { return Get(zip, C(name) + 20, 4); }

    size_t end;
    size_t directory;
    std::vector<std::string> names;
    std::vector<size_t> central;

private:
    size_t Index(const std::string& name) const {
        return static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
    }
};

constexpr char kRat[] = "Data/Scripts/Brains/rat.u";
constexpr char kEmpty[] = "Data/empty.txt";
constexpr char kLong[] = "Data/long.txt";
constexpr char kReadme[] = "Graphics/readme.txt";
constexpr char kStringsName[] = "Data/strings.en.txt";
constexpr uint32_t kAesOverhead = 28; // 16 bytes of salt, 2 of password check, 10 of authentication code

struct Damage {
    const char* what;
    std::function<void(std::string&, const Layout&)> damage;
    const wchar_t* expected; // in the refusal; null: the archive opens
};

std::vector<Damage> Damages() {
    return {
        {"nothing", [](std::string& z, const Layout&) { z.clear(); }, L"too short to be a ZIP archive"},
        {"21 bytes", [](std::string& z, const Layout&) { z.resize(21); }, L"too short to be a ZIP archive"},
        {"22 zero bytes", [](std::string& z, const Layout&) { z.assign(22, '\0'); }, L"not a ZIP archive"},
        {"last byte cut off", [](std::string& z, const Layout&) { z.pop_back(); }, L"not a ZIP archive"},
        {"comment longer than the file", [](std::string& z, const Layout& l) { Put(z, l.end + 20, 2, 1); },
         L"not a ZIP archive"},
        {"comment that is there",
         [](std::string& z, const Layout& l) {
             Put(z, l.end + 20, 2, 1);
             z += "c";
         },
         nullptr},
        {"second disk", [](std::string& z, const Layout& l) { Put(z, l.end + 4, 2, 1); }, L"split over several"},
        {"entries on this disk differ",
         [](std::string& z, const Layout& l) { Put(z, l.end + 8, 2, Get(z, l.end + 8, 2) - 1); },
         L"split over several"},
        {"ZIP64 count",
         [](std::string& z, const Layout& l) {
             Put(z, l.end + 8, 2, 0xFFFF);
             Put(z, l.end + 10, 2, 0xFFFF);
         },
         L"ZIP64 archives are not supported"},
        {"directory offset one too far",
         [](std::string& z, const Layout& l) { Put(z, l.end + 16, 4, Get(z, l.end + 16, 4) + 1); },
         L"the central directory lies outside the file"},
        {"directory size one too large",
         [](std::string& z, const Layout& l) { Put(z, l.end + 12, 4, Get(z, l.end + 12, 4) + 1); },
         L"the central directory lies outside the file"},
        {"directory size one too small",
         [](std::string& z, const Layout& l) { Put(z, l.end + 12, 4, Get(z, l.end + 12, 4) - 1); },
         L"runs past the central directory"},
        {"directory too small for its count",
         [](std::string& z, const Layout& l) {
             Put(z, l.end + 8, 2, 0xFFFE);
             Put(z, l.end + 10, 2, 0xFFFE);
         },
         L"the central directory is too small for its 65534 entries"},
        {"one entry more than there is",
         [](std::string& z, const Layout& l) {
             Put(z, l.end + 8, 2, Get(z, l.end + 8, 2) + 1);
             Put(z, l.end + 10, 2, Get(z, l.end + 10, 2) + 1);
         },
         L"damaged central directory record"},
        {"one entry fewer than there are",
         [](std::string& z, const Layout& l) {
             Put(z, l.end + 8, 2, Get(z, l.end + 8, 2) - 1);
             Put(z, l.end + 10, 2, Get(z, l.end + 10, 2) - 1);
         },
         L"the central directory holds more than its entries"},
        {"central signature", [](std::string& z, const Layout& l) { z[l.C(kRat)] = 'Q'; },
         L"damaged central directory record"},
        {"last entry's comment past the directory",
         [](std::string& z, const Layout& l) { Put(z, l.central.back() + 32, 2, 1); },
         L"runs past the central directory"},
        {"name length past the directory",
         [](std::string& z, const Layout& l) { Put(z, l.central.back() + 28, 2, 0xFFFF); },
         L"runs past the central directory"},
        {"empty name", [](std::string& z, const Layout& l) { Put(z, l.C(kRat) + 28, 2, 0); },
         L"its name is empty or holds a zero byte"},
        {"zero byte in a name", [](std::string& z, const Layout& l) { z[l.C(kRat) + 46 + 4] = '\0'; },
         L"its name is empty or holds a zero byte"},
        {"stored size below the AES overhead",
         [](std::string& z, const Layout& l) { Put(z, l.C(kEmpty) + 20, 4, kAesOverhead - 1); },
         L"entry \"Data/empty.txt\": its stored size 27 is below the AES overhead of 28 bytes"},
        {"stored size of ZIP64", [](std::string& z, const Layout& l) { Put(z, l.C(kRat) + 20, 4, 0xFFFFFFFFu); },
         L"ZIP64 archives are not supported"},
        {"size past the largest", [](std::string& z, const Layout& l) { Put(z, l.C(kLong) + 24, 4, (256u << 20) + 1); },
         L"entry \"Data/long.txt\": its size 268435457 is too large"},
        {"size beyond what deflate can make",
         [](std::string& z, const Layout& l) {
             Put(z, l.C(kLong) + 24, 4, 1032 * (l.StoredSize(z, kLong) - kAesOverhead) + 1);
         },
         L"does not fit its stored size"},
        {"stored size differs from the size", [](std::string& z, const Layout& l) { Put(z, l.C(kReadme) + 24, 4, 9); },
         L"does not fit its stored size"},
        {"local header past the entries",
         [](std::string& z, const Layout& l) { Put(z, l.C(kReadme) + 42, 4, static_cast<uint32_t>(l.directory)); },
         L"its local header lies outside the entries"},
        {"local signature", [](std::string& z, const Layout& l) { z[l.L(z, kReadme)] = 'Q'; },
         L"its local header does not match the central directory"},
        {"local name differs", [](std::string& z, const Layout& l) { z[l.L(z, kReadme) + 30] = 'g'; },
         L"its local header does not match the central directory"},
        {"last data runs into the directory",
         [](std::string& z, const Layout& l) {
             size_t last = 0;
             for (const std::string& name : l.names) {
                 if (name.back() != '/' && (last == 0 || l.L(z, name) > Get(z, last + 42, 4))) {
                     last = l.C(name);
                 }
             }
             Put(z, last + 20, 4, Get(z, last + 20, 4) + 1);
             Put(z, last + 24, 4, Get(z, last + 24, 4) + 1);
         },
         L"its data runs into the central directory"},
        {"AES strength 4", [](std::string& z, const Layout& l) { z[l.Aes(z, kRat) + 4] = 4; },
         L"damaged AES extra field"},
        {"AES strength 0", [](std::string& z, const Layout& l) { z[l.Aes(z, kRat) + 4] = 0; },
         L"damaged AES extra field"},
        {"AES version 3", [](std::string& z, const Layout& l) { z[l.Aes(z, kRat)] = 3; }, L"damaged AES extra field"},
        {"AES extra field missing", [](std::string& z, const Layout& l) { z[l.Aes(z, kRat) - 4] = 2; },
         L"damaged AES extra field"},
        {"extra block longer than the field", [](std::string& z, const Layout& l) { z[l.Aes(z, kRat) - 2] = 8; },
         L"damaged extra field"},
        {"unknown method", [](std::string& z, const Layout& l) { Put(z, l.Aes(z, kRat) + 5, 2, 12); },
         L"entry \"Data/Scripts/Brains/rat.u\": compression method 12 is not supported"},
        {"encrypted otherwise", [](std::string& z, const Layout& l) { Put(z, l.C(kRat) + 10, 2, 8); },
         L"encrypted otherwise than with AES"},
        {"strong encryption", [](std::string& z, const Layout& l) { z[l.C(kRat) + 8] |= 0x40; },
         L"its encryption is not supported"},
        {"same name twice",
         [](std::string& z, const Layout& l) {
             z.replace(l.C(kReadme) + 46, 19, kStringsName);
             z.replace(l.L(z, kReadme) + 30, 19, kStringsName);
         },
         L"entry \"Data/strings.en.txt\" is there twice"},
        {"smallest entry's authentication code",
         [](std::string& z, const Layout& l) { z[l.Data(z, kEmpty) + kAesOverhead - 1] ^= 1; },
         L"entry \"Data/empty.txt\" is damaged (its authentication code does not match)"},
    };
}

TEST_F(DataArchiveTest, DamagedArchivesAreRefusedAndSayWhy) {
    const std::string good = ReadBytes(s_root / "Test.dat");
    const Layout layout(good);
    ASSERT_EQ(Get(good, layout.end, 4), 0x06054B50u);
    for (const Damage& d : Damages()) {
        SCOPED_TRACE(d.what);
        std::string damaged = good;
        d.damage(damaged, layout);
        const auto e = Thrown<vek::CException>([&] { DataArchive().Init(L"Morvheld.dat", ZipFromMemory(damaged)); });
        if (d.expected == nullptr) {
            EXPECT_FALSE(e) << platform::ToUtf8(e->GetDetails());
            EXPECT_EQ(DataArchive().GetFileSize(platform::FromUtf8(kStringsName)), sizeof(kStrings) - 1);
            continue;
        }
        ASSERT_TRUE(e);
        const std::wstring details = e->GetDetails();
        EXPECT_EQ(details.rfind(L"Cannot access data archive file! (Morvheld.dat: ", 0), 0u)
            << platform::ToUtf8(details);
        EXPECT_NE(details.find(d.expected), std::wstring::npos) << platform::ToUtf8(details);
        EXPECT_FALSE(DataArchive().IsReady());
    }
}

// Damage that the directory cannot show comes out when the file is read,
// as an error that names it.
TEST_F(DataArchiveTest, DamagedStoredFileNamesIt) {
    MakeArchive(s_root / "Plain.dat", "", "-mx0");
    MakeArchive(s_root / "PlainDeflated.dat", "", "-mx9");
    const struct {
        const char* archive;
        const char* file;
        std::function<void(std::string&, const Layout&)> damage;
        const wchar_t* expected;
    } cases[] = {
        {"Test.dat", kStringsName, [](std::string& z, const Layout& l) { z[l.Data(z, kStringsName) + 20] ^= 1; },
         L"entry \"Data/strings.en.txt\" is damaged (its authentication code does not match)"},
        {"Test.dat", kStringsName,
         [](std::string& z, const Layout& l) { z[l.Data(z, kStringsName) + l.StoredSize(z, kStringsName) - 1] ^= 1; },
         L"is damaged (its authentication code does not match)"},
        {"Test.dat", kLong,
         [](std::string& z, const Layout& l) {
             Put(z, l.C(kLong) + 24, 4, 1032 * (l.StoredSize(z, kLong) - kAesOverhead));
         },
         L"entry \"Data/long.txt\" is damaged (its compressed data does not make its size)"},
        {"Test.dat", kLong,
         [](std::string& z, const Layout& l) { Put(z, l.C(kLong) + 24, 4, Get(z, l.C(kLong) + 24, 4) - 1); },
         L"is damaged (its compressed data does not make its size)"},
        {"Plain.dat", kStringsName, [](std::string& z, const Layout& l) { z[l.Data(z, kStringsName) + 3] ^= 1; },
         L"entry \"Data/strings.en.txt\" is damaged (its checksum does not match)"},
        {"PlainDeflated.dat", kLong, [](std::string& z, const Layout& l) { z[l.Data(z, kLong) + 40] ^= 0x10; },
         L"entry \"Data/long.txt\" is damaged"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.archive) + " " + c.file);
        std::string bytes = ReadBytes(s_root / c.archive);
        c.damage(bytes, Layout(bytes));
        DataArchive().Init(L"Morvheld.dat", ZipFromMemory(bytes));
        CMetaFile file;
        const std::wstring name = platform::FromUtf8(c.file);
        const auto e = Thrown<vek::CFileException>([&] { file.Open(name, vek::CFile::kModeRead); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->GetCode(), vek::CFileException::kInvalidContent);
        EXPECT_EQ(e->GetFileName(), name);
        EXPECT_NE(e->GetText().find(c.expected), std::wstring::npos) << platform::ToUtf8(e->GetText());
        // And where the player finds it.
        EXPECT_NE(e->GetText().find(L"Details: in the data archive Morvheld.dat, entry "), std::wstring::npos);
        EXPECT_FALSE(file.IsOpen());
        // The others still read.
        EXPECT_NO_THROW(DataArchive().GetIrrFile(L"Data/Scripts/Brains/rat.u")->drop());
    }
}

// Every kind of archive the reader takes reads back every file.
TEST_F(DataArchiveTest, StoredDeflatedPlainAndEveryKeySizeRead) {
    const struct {
        const char* archive;
        std::string password;
        const char* options;
    } cases[] = {
        {"Plain.dat", "", "-mx0"},
        {"PlainDeflated.dat", "", "-mx9"},
        {"Aes128.dat", CDataArchive::GetPassword(), "-mem=AES128 -mx9"},
        {"Aes192.dat", CDataArchive::GetPassword(), "-mem=AES192 -mx9"},
        {"Aes256.dat", CDataArchive::GetPassword(), "-mem=AES256 -mx9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.archive);
        MakeArchive(s_root / c.archive, c.password, c.options);
        DataArchive().Init(Wide(s_root / c.archive));
        const std::pair<const char*, std::string> files[] = {
            {kStringsName, kStrings}, {kRat, kScript}, {kEmpty, ""}, {kReadme, "pictures"}, {kLong, LongText()},
        };
        for (const auto& [name, content] : files) {
            CMetaFile file;
            file.Open(platform::FromUtf8(name), vek::CFile::kModeRead);
            EXPECT_EQ(Contents(file), content) << name;
        }
    }
}

// The engine's loaders get a stored file as a read-file that never reads or
// seeks outside its bytes.
TEST(BoundedReadFile, ReadsAndSeeksStayInside) {
    std::unique_ptr<uint8_t[]> data(new uint8_t[10]{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'});
    irr::io::IReadFile* file = CreateBoundedReadFile(std::move(data), 10, "Graphics/ten.tga");
    EXPECT_EQ(std::string(file->getFileName().c_str()), "Graphics/ten.tga");
    EXPECT_EQ(file->getSize(), 10);
    const struct {
        long position;
        bool relative;
        bool moves;
        long after;
    } seeks[] = {
        {-26, false, false, 0}, // where a picture loader looks for a footer
        {10, false, true, 10},  // the end
        {11, false, false, 10}, // past it
        {-1, true, true, 9},    // back by one
        {-10, true, false, 9},  // before the start
        {2, true, false, 9},    // past the end
        {std::numeric_limits<long>::max(), true, false, 9},
        {std::numeric_limits<long>::min(), true, false, 9},
        {0, false, true, 0},
    };
    for (const auto& s : seeks) {
        SCOPED_TRACE(s.position);
        EXPECT_EQ(file->seek(s.position, s.relative), s.moves);
        EXPECT_EQ(file->getPos(), s.after);
    }
    std::string buffer(16, 'x');
    ASSERT_TRUE(file->seek(7));
    EXPECT_EQ(file->read(buffer.data(), 16), 3);
    // What the file lacks reads as zeros, for loaders that do not look at the count.
    EXPECT_EQ(buffer, std::string("789") + std::string(13, '\0'));
    buffer.assign(16, 'x');
    EXPECT_EQ(file->read(buffer.data(), 16), 0);
    EXPECT_EQ(buffer, std::string(16, '\0'));
    file->drop();
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
