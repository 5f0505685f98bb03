#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

#include "VEKLib/Date.h"
#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Strings.h"
#include "platform/Utf8.h"
#include "support/Files.h"

namespace {

namespace fs = std::filesystem;
using vek::CFile;
using vek::CFileException;

std::string Bytes(std::initializer_list<unsigned> bytes) {
    std::string s;
    for (unsigned b : bytes) {
        s += static_cast<char>(b);
    }
    return s;
}

using testsupport::ReadBytes;
using testsupport::Wide;
using testsupport::WriteBytes;

std::optional<CFileException> Thrown(const std::function<void()>& action) {
    return testsupport::Thrown<CFileException>(action);
}

// The full text of a CFileException worked out from its parts.
std::wstring FileErrorText(const std::wstring& codeText, const std::wstring& file, const std::wstring& message,
                           const std::wstring& source, const std::wstring& function, int line) {
    std::wstring text = codeText + L" (" + file + L")";
    if (!message.empty()) {
        text += L"Details: " + message;
    }
    return text + L"\r\nSource file: " + source + L"\r\nFunction: " + function + L"\r\nLine: " + std::to_wstring(line) +
           L".\r\n";
}

// A fresh folder per test, and the library's locale put back afterwards.
class FilesTest : public testsupport::ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        m_locale = vek::GetCurrentLocaleName();
        vek::SetCurrentLocale(L"");
    }
    void TearDown() override {
        vek::SetCurrentLocale(m_locale);
        ScratchFolder::TearDown();
    }
    std::wstring m_locale;
};

TEST(Paths, TextAfterLast) {
    const struct {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {{L"c:\\dir\\file.dat", L"file.dat"},
                 {L"c:\\dir\\", L""},
                 {L"file.dat", L"file.dat"},
                 {L"a/b\\c", L"c"},
                 {L"", L""}};
    for (const auto& c : cases) {
        EXPECT_EQ(vek::GetTextAfterLast(c.in), c.out) << c.in;
    }
}

TEST(Paths, FindLastOf) {
    EXPECT_EQ(vek::FindLastOf(L"\\/", L"a/b\\c"), 3);
    EXPECT_EQ(vek::FindLastOf(L"", L"abc"), -1);
    EXPECT_EQ(vek::FindLastOf(L"x", L""), -1);
    EXPECT_EQ(vek::FindLastOf(L"x", L"abc"), -1);
}

TEST(Paths, CleanPath) {
    const struct {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"\"c:\\\\games\\\\Data\\\\x.ini\"", L"c:/games/Data/x.ini"},
        {L".\\Files", L"./Files"},
        {L"/usr//share\\fonts/", L"/usr/share/fonts/"}, // stays absolute
        {L"\\\\Data", L"/Data"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vek::CleanPath(c.in), c.out) << c.in;
    }
}

TEST(Paths, NamesAndFolders) {
    using Fn = std::wstring (*)(const std::wstring&);
    const struct {
        Fn fn;
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {vek::GetTextBeforeLast, L"town.map", L"town"},
        {vek::GetTextBeforeLast, L"a.b.c", L"a.b"},
        {vek::GetTextBeforeLast, L".ini", L""},
        {vek::GetTextBeforeLast, L"noext", L"noext"},
        {vek::GetFilePath, L"c:\\dir\\file.dat", L"c:\\dir\\"},
        {vek::GetFilePath, L"file.dat", L""},
        {vek::GetFilePath, L" \t", L""},
        {vek::GetFilePath, L"a/b\\c/", L"a/b\\c/"},
        {vek::EnsureTrailingSlash, L"", L""},
        {vek::EnsureTrailingSlash, L"a", L"a/"},
        {vek::EnsureTrailingSlash, L"a\\", L"a\\"},
        {vek::EnsureTrailingSlash, L"a/", L"a/"},
        {vek::NormalizeFileName, L"Gha>an?", L"Gha_an_"},
        {vek::NormalizeFileName, L"/\\:*?\"<>|.x", L"_________.x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.fn(c.in), c.out) << c.in;
    }
}

TEST(WalkLine, Cells) {
    using P = vek::TPoint;
    const struct {
        int x1, y1, x2, y2;
        std::vector<P> cells;
    } cases[] = {
        {0, 0, 4, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}},
        {4, 2, 0, 0, {{4, 2}, {3, 2}, {2, 1}, {1, 1}, {0, 0}}},
        {0, 0, 1, 3, {{0, 0}, {0, 1}, {1, 2}, {1, 3}}},
        {0, 0, 2, 2, {{0, 0}, {1, 1}, {2, 2}}},
        {5, -3, 5, -3, {{5, -3}}},
    };
    for (const auto& c : cases) {
        std::vector<P> cells = {{9, 9}}; // appended to, not replaced
        vek::WalkLine(c.x1, c.y1, c.x2, c.y2, cells);
        ASSERT_EQ(cells.size(), c.cells.size() + 1);
        EXPECT_TRUE(std::equal(c.cells.begin(), c.cells.end(), cells.begin() + 1)) << c.x2 << "," << c.y2;
    }
}

TEST_F(FilesTest, FileSizeAndFolders) {
    const auto file = m_dir / "\xC5\xBC\xC3\xB3\xC5\x82w.bin"; // a non-ASCII name
    WriteBytes(file, "12345");
    EXPECT_EQ(vek::GetFileSize(Wide(file)), 5u);
    EXPECT_EQ(vek::GetFileSize(Wide(m_dir)), 0u); // a folder is not a file
    EXPECT_EQ(vek::GetFileSize(Wide(m_dir / "missing")), 0u);
}

TEST_F(FilesTest, ReadingIgnoresCaseWritingKeepsIt) {
    fs::create_directories(m_dir / "data");
    WriteBytes(m_dir / "data" / "strings.en.txt", "hello");
    const std::wstring asked = Wide(m_dir) + L"/DATA\\Strings.EN.txt";

    CFile file(false, 16384);
    file.Open(asked, CFile::kModeRead);
    std::wstring text;
    file.ReadText(text, vek::kEncodingNarrow, false);
    EXPECT_EQ(text, L"hello");
    EXPECT_EQ(vek::GetFileSize(asked), 5u);
    vek::CDate date;
    EXPECT_TRUE(vek::GetFileTime(asked, date));

    file.Open(Wide(m_dir) + L"/data\\New.TXT", CFile::kModeWrite);
    file.Close();
    EXPECT_TRUE(fs::exists(m_dir / "data" / "New.TXT"));
}

TEST_F(FilesTest, FileTimeIsLocal) {
    const auto file = m_dir / "t.dat";
    WriteBytes(file, "x");
    std::tm when{};
    when.tm_year = 2021 - 1900;
    when.tm_mon = 2;
    when.tm_mday = 4;
    when.tm_hour = 5;
    when.tm_min = 6;
    when.tm_sec = 7;
    when.tm_isdst = -1;
    const timeval times[2] = {{std::mktime(&when), 0}, {std::mktime(&when), 0}};
    ASSERT_EQ(::utimes(file.c_str(), times), 0);
    vek::CDate date;
    ASSERT_TRUE(vek::GetFileTime(Wide(file), date));
    EXPECT_EQ(date.GetYear(), 2021);
    EXPECT_EQ(date.GetMonth(), 3);
    EXPECT_EQ(date.GetDay(), 4);
    EXPECT_EQ(date.GetHour(), 5);
    EXPECT_EQ(date.GetMinute(), 6);
    EXPECT_EQ(date.GetSecond(), 7);
    EXPECT_FALSE(vek::GetFileTime(Wide(m_dir), date));
    EXPECT_FALSE(vek::GetFileTime(Wide(m_dir / "none"), date));
}

TEST_F(FilesTest, ListFiles) {
    for (const char* name : {"b.txt", "A.TXT", "a2.txt", "c.dat", "noext"}) {
        WriteBytes(m_dir / name, "");
    }
    fs::create_directories(m_dir / "Sub.txt");
    const std::wstring dir = Wide(m_dir);
    const struct {
        std::wstring folder;
        const wchar_t* pattern;
        bool ok;
        std::vector<std::wstring> names;
    } cases[] = {
        {dir, L"*.txt", true, {L"A.TXT", L"a2.txt", L"b.txt"}},
        {dir, L"?.TxT", true, {L"A.TXT", L"b.txt"}},
        {dir, L"*.*", true, {L"A.TXT", L"a2.txt", L"b.txt", L"c.dat", L"noext"}},
        {dir, L"sub*", true, {}}, // only a folder matches
        {dir, L"*.xyz", false, {}},
        {dir + L"\\C.DAT", nullptr, true, {L"c.dat"}},
        {dir + L"/missing", L"*", false, {}},
        {dir + L"/" + std::wstring(260, L'x'), L"", false, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> names = {L"kept"};
        EXPECT_EQ(vek::ListFiles(c.folder.c_str(), c.pattern, names), c.ok) << c.pattern;
        std::vector<std::wstring> expected = {L"kept"};
        expected.insert(expected.end(), c.names.begin(), c.names.end());
        EXPECT_EQ(names, expected) << c.pattern;
    }
    std::vector<std::wstring> names;
    EXPECT_FALSE(vek::ListFiles(nullptr, L"*", names));
}

TEST(SpecialFolders, FollowTheEnvironment) {
    const char* keys[] = {"XDG_CONFIG_HOME", "HOME"};
    std::optional<std::string> saved[2];
    for (int i = 0; i < 2; ++i) {
        if (const char* v = std::getenv(keys[i])) {
            saved[i] = v;
        }
    }
    ::setenv("HOME", "/home/gamer", 1);
    ::setenv("XDG_CONFIG_HOME", "/tmp//cfg", 1);
    EXPECT_EQ(vek::GetSpecialFolder(2), L"/tmp/cfg/");
    ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1); // not to be used
    EXPECT_EQ(vek::GetSpecialFolder(2), L"/home/gamer/.config/");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(vek::GetSpecialFolder(2), L"/home/gamer/.config/");
    ::unsetenv("HOME");
    EXPECT_EQ(vek::GetSpecialFolder(2), L"");
    EXPECT_EQ(vek::GetSpecialFolder(0), L"/usr/share/fonts/");
    EXPECT_EQ(vek::GetSpecialFolder(1), L"/usr/local/");
    EXPECT_EQ(vek::GetSpecialFolder(3), L"");
    for (int i = 0; i < 2; ++i) {
        if (saved[i]) {
            ::setenv(keys[i], saved[i]->c_str(), 1);
        } else {
            ::unsetenv(keys[i]);
        }
    }
}

// --- CFile --------------------------------------------------------------------------

TEST_F(FilesTest, MemoryReadLimits) {
    CFile file(true, 8);
    file.Open(L"mem", CFile::kModeRead);
    uint8_t buf[8];
    EXPECT_EQ(file.Read(buf, 6), 6u);
    for (uint32_t count : {4u, 0xFFFFFFFFu}) { // the second would wrap a 32-bit sum
        auto e = Thrown([&] { file.Read(buf, count); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->GetCode(), 7u);
        EXPECT_EQ(e->GetText(),
                  FileErrorText(L"Other error", L"mem", L"Overflow.", L"Files", L"vek::CFile::Read", 491));
        EXPECT_EQ(file.GetPosition(), 6u);
    }
    CFile empty(true, 0);
    empty.Open(L"none", CFile::kModeRead);
    auto e = Thrown([&] { empty.Read(buf, 1); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetLine(), 488);
    EXPECT_EQ(e->GetText(),
              FileErrorText(L"Other error", L"none", L"File buffer is empty.", L"Files", L"vek::CFile::Read", 488));
}

TEST_F(FilesTest, MemoryWriteGrowsAndReadsBack) {
    CFile file(true, 0);
    file.Open(L"mem", CFile::kModeWrite);
    EXPECT_EQ(file.Write("abc", 3), 3u);
    EXPECT_EQ(file.Write("de", 2), 2u);
    EXPECT_EQ(file.GetCapacity(), 5u); // exactly what was written
    EXPECT_EQ(file.GetLength(), 5u);
    EXPECT_FALSE(file.Seek(0, CFile::kSeekStart));
    EXPECT_EQ(file.Tell(), 0);
    file.Close();

    file.Open(L"mem", CFile::kModeRead); // starts at the beginning again
    char back[5];
    EXPECT_EQ(file.Read(back, 5), 5u);
    EXPECT_EQ(std::string(back, 5), "abcde");
    file.Reserve(9); // the bytes behind the position survive too
    EXPECT_EQ(std::string(reinterpret_cast<char*>(file.GetBuffer()), 5), "abcde");

    std::unique_ptr<uint8_t[]> taken(file.GetBuffer());
    EXPECT_EQ(file.Detach(), 0u);
    EXPECT_EQ(file.GetBuffer(), nullptr);
    EXPECT_EQ(file.GetLength(), 0u);
}

TEST_F(FilesTest, MemoryWriteBeyondFourGigabytesIsRefused) {
    CFile file(true, 0);
    file.Open(L"mem", CFile::kModeWrite);
    file.Write("a", 1);
    static const char source[1] = {0}; // never read: the size is refused first
    auto e = Thrown([&] { file.Write(source, 0xFFFFFFFFu); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetCode(), 7u);
    EXPECT_EQ(file.GetCapacity(), 1u);
}

class ArchiveLikeFile : public CFile {
public:
    ArchiveLikeFile() : CFile(false, 16384) {}
    using CFile::OpenMemory;
};

TEST_F(FilesTest, FileReadWholeFromElsewhere) {
    ArchiveLikeFile file;
    std::unique_ptr<uint8_t[]> data(new uint8_t[3]{'a', 'b', 'c'});
    file.OpenMemory(L"Data/x.txt", std::move(data), 3);
    std::wstring text;
    file.ReadText(text, vek::kEncodingDetect, true);
    EXPECT_EQ(text, L"abc");
    EXPECT_TRUE(Thrown([&] { file.Write("x", 1); })); // read-only
}

TEST_F(FilesTest, DetachClosesADiskStream) {
    const auto path = m_dir / "detached.bin";
    CFile file(false, 0);
    file.Open(Wide(path), CFile::kModeReadWrite);
    file.Write("ab", 2);
    EXPECT_EQ(file.Detach(), 0u);
    EXPECT_EQ(ReadBytes(path), "ab"); // closed, so nothing is left unwritten
    uint8_t b;
    auto e = Thrown([&] { file.Read(&b, 1); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetLine(), 499);
    EXPECT_EQ(e->GetDetails(), L"Access to file denied (" + Wide(path) + L")");
}

TEST_F(FilesTest, ClosedAndModeChecks) {
    CFile file(true, 4);
    uint8_t b = 0;
    auto closed = Thrown([&] { file.Read(&b, 1); });
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->GetText(), FileErrorText(L"Access to file denied", L"", L"File is not open.", L"Files",
                                               L"vek::CFile::OpenedCheck", 344));

    file.Open(L"r", CFile::kModeRead);
    auto readOnly = Thrown([&] { file.Write(&b, 1); });
    ASSERT_TRUE(readOnly);
    EXPECT_EQ(readOnly->GetText(), FileErrorText(L"Access to file denied", L"r", L"File is read-only", L"Files",
                                                 L"vek::CFile::ModeCheck", 335));
    file.Open(L"w", CFile::kModeWrite);
    std::wstring text;
    auto writeOnly = Thrown([&] { file.ReadText(text, vek::kEncodingNarrow, false); });
    ASSERT_TRUE(writeOnly);
    EXPECT_EQ(writeOnly->GetText(), FileErrorText(L"Access to file denied", L"w", L"File is write-only", L"Files",
                                                  L"vek::CFile::ModeCheck", 337));
    file.Open(L"rw", CFile::kModeReadWrite);
    EXPECT_EQ(file.Write(&b, 1), 1u);
    EXPECT_TRUE(Thrown([&] { file.Open(L"x", 3); }));
}

TEST_F(FilesTest, DiskOpenFailures) {
    const std::wstring missing = Wide(m_dir / "no" / "such.txt");
    const struct {
        uint32_t mode;
        const wchar_t* codeText;
        const wchar_t* message;
        int line;
    } cases[] = {
        {CFile::kModeRead, L"File not found", L"", 449},
        // With the system's reason, as a failed save gives it.
        {CFile::kModeReadWrite, L"File or folder not found", L"File cannot be opened: No such file or directory", 456},
        {CFile::kModeWrite, L"File or folder not found",
         L"File cannot be opened for writing: No such file or directory", 463},
    };
    for (const auto& c : cases) {
        CFile file(false, 0);
        auto e = Thrown([&] { file.Open(missing, c.mode); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->GetText(), FileErrorText(c.codeText, missing, c.message, L"Files", L"vek::CFile::Open", c.line));
    }
}

// The label and the code follow what the system said, never an error code
// an earlier call left behind.
TEST_F(FilesTest, AFileThatCannotBeWrittenSaysWhy) {
    WriteBytes(m_dir / "file", "x");
    fs::create_directories(m_dir / "folder");
    fs::create_symlink("loop2", m_dir / "loop1");
    fs::create_symlink("loop1", m_dir / "loop2");
    const struct {
        const char* name;
        uint32_t code;
        const wchar_t* label;
        const wchar_t* reason;
    } cases[] = {
        {"no/such.sav", CFileException::kNotFound, L"File or folder not found", L"No such file or directory"},
        {"file/x.sav", CFileException::kNotFound, L"Not a folder on the file's path", L"Not a directory"},
        {"folder", CFileException::kOther, L"File is a folder", L"Is a directory"},
        {"loop1", CFileException::kOther, L"Too many links on the file's path", L"Too many levels of symbolic links"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring name = Wide(m_dir / c.name);
        errno = EAGAIN;
        CFile file(false, 0);
        const auto e = Thrown([&] { file.Open(name, CFile::kModeWrite); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->GetCode(), c.code);
        EXPECT_EQ(e->GetText(),
                  FileErrorText(c.label, name, std::wstring(L"File cannot be opened for writing: ") + c.reason,
                                L"Files", L"vek::CFile::Open", 463));
    }
}

// What is not a file is said to be what it is, and no read waits for a
// pipe's writer (a hang ends the test by the alarm).
TEST_F(FilesTest, WhatIsNoFileIsNotRead) {
    ASSERT_EQ(::mkfifo((m_dir / "fifo").c_str(), 0600), 0);
    const struct {
        std::wstring name;
        const wchar_t* why;
    } cases[] = {
        {Wide(m_dir / "fifo"), L"It is a named pipe (FIFO), not a file."},
        {Wide(m_dir), L"It is a folder, not a file."},
        {L"/dev/null", L"It is a device, not a file."},
    };
    ::alarm(20);
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::ToUtf8(c.name));
        CFile file(false, 0);
        const auto e = Thrown([&] { file.Open(c.name, CFile::kModeRead); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->GetText(), FileErrorText(L"File not found", c.name, c.why, L"Files", L"vek::CFile::Open", 449));
        EXPECT_EQ(vek::GetFileSize(c.name), 0u);
    }
    ::alarm(0);
}

TEST_F(FilesTest, CloseAndDestructorNeverThrow) {
    CFile never(false, 16);
    auto e = Thrown([&] { never.Flush(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetText(),
              FileErrorText(L"Access to file denied", L"", L"File not ready.", L"Files", L"vek::CFile::Flush", 655));
    EXPECT_NO_THROW(never.Close());
    EXPECT_NO_THROW(never.Close());
    {
        CFile open(false, 16);
        open.Open(Wide(m_dir / "d.bin"), CFile::kModeWrite);
        open.Write("xy", 2);
    } // the destructor flushes and closes
    EXPECT_EQ(ReadBytes(m_dir / "d.bin"), "xy");
}

TEST_F(FilesTest, DiskSeekTellBeyondTwoGigabytes) {
    const auto path = m_dir / "big.bin";
    WriteBytes(path, "");
    fs::resize_file(path, 3ull << 30); // sparse
    CFile file(false, 0);
    file.Open(Wide(path), CFile::kModeRead);
    EXPECT_EQ(file.GetLength(), 3u << 30);
    ASSERT_TRUE(file.Seek((3ll << 30) - 1, CFile::kSeekStart));
    EXPECT_EQ(file.Tell(), (3ll << 30) - 1);
    EXPECT_TRUE(file.Seek(2, 7)); // any other origin is the start
    EXPECT_EQ(file.Tell(), 2);
    EXPECT_FALSE(file.Seek(-3, CFile::kSeekCurrent));
    file.Rewind();
    EXPECT_EQ(file.Tell(), 0);
}

// --- Text ---------------------------------------------------------------------------

struct TextCase {
    const char* what;
    std::string bytes;
    uint32_t encoding;
    bool mark;
    std::wstring expected; // when line is 0
    int line = 0;
    const wchar_t* message = nullptr;
};

const std::vector<TextCase>& TextCases() {
    static const std::vector<TextCase> cases = {
        {"utf16 detected", Bytes({0xFF, 0xFE, 'A', 0, 0x05, 0x01}), 0, true, L"A\u0105"},
        {"big endian", Bytes({0xFE, 0xFF, 0, 'A'}), 0, true, L"", 535, L"Big Endian is not supported"},
        {"utf8 detected", Bytes({0xEF, 0xBB, 0xBF, 0xC3, 0xA9}), 0, true, L"\u00E9"},
        {"one byte", "x", 0, true, L"x"},
        {"two bytes", Bytes({0xEF, 0xBB}), 0, true, L"\u00EF\u00BB"},
        {"narrow keeps its start", "abc", 0, true, L"abc"},
        {"empty", "", 0, true, L""},
        {"narrow up to zero", std::string("ab\0cd", 5), 1, false, L"ab"},
        {"utf8 mark skipped unseen", "xyza", 2, true, L"a"},
        {"utf8 mark kept as text", Bytes({0xEF, 0xBB, 0xBF, 'A'}), 2, false, L"\uFEFFA"},
        {"utf8 up to zero", std::string("a\0b", 3), 2, false, L"a"},
        {"utf16 up to zero unit", Bytes({0xFF, 0xFE, 'A', 0, 0, 0, 'B', 0}), 3, true, L"A"},
        {"utf16 odd byte", Bytes({0xFF, 0xFE, 'A', 0, 'B'}), 3, true, L"A"},
        {"utf8 mark too short", "ab", 2, true, L"", 363, L"Invalid BOM"},
        {"utf16 mark too short", "a", 3, true, L"", 365, L"Invalid BOM"},
        {"utf16 without mark", "ab", 3, false, L"", 351, L"BOM must be always present for UTF-16"},
        {"detect without mark", "ab", 0, false, L"", 357, L"Autodetection without BOM is not supported"},
        {"unknown encoding", "abc", 7, true, L"untouched"},
    };
    return cases;
}

void CheckText(CFile& file, const TextCase& c, const std::wstring& name) {
    std::wstring text = L"untouched";
    auto e = Thrown([&] { file.ReadText(text, c.encoding, c.mark); });
    if (c.line == 0) {
        EXPECT_FALSE(e) << c.what << ": " << (e ? platform::ToUtf8(e->GetText()) : "");
        EXPECT_EQ(text, c.expected) << c.what;
        return;
    }
    ASSERT_TRUE(e) << c.what;
    const bool validator = c.line != 535;
    EXPECT_EQ(e->GetText(),
              FileErrorText(validator ? L"Invalid file content" : L"Other error", name, c.message,
                            validator ? L"Strings" : L"Files",
                            validator ? L"vek::CEncodingValidator::Check" : L"vek::CFile::ReadText", c.line))
        << c.what;
}

TEST_F(FilesTest, ReadTextFromMemory) {
    for (const auto& c : TextCases()) {
        CFile file(true, static_cast<uint32_t>(c.bytes.size()));
        std::copy(c.bytes.begin(), c.bytes.end(), file.GetBuffer());
        file.Open(L"mem.txt", CFile::kModeRead);
        CheckText(file, c, L"mem.txt");
    }
}

TEST_F(FilesTest, ReadTextFromDisk) {
    for (const auto& c : TextCases()) {
        const auto path = m_dir / "t.txt";
        WriteBytes(path, c.bytes);
        CFile file(false, 16384);
        file.Open(Wide(path), CFile::kModeRead);
        CheckText(file, c, Wide(path));
    }
}

// Readers of game data refuse text that the plain reader would lose unseen,
// and say on which line it is.
TEST_F(FilesTest, ReadWholeTextRefusesWhatWouldBeLost) {
    const struct {
        const char* what;
        std::string bytes;
        uint32_t encoding;
        bool mark;
        std::wstring expected; // when fault is null
        const wchar_t* fault = nullptr;
    } cases[] = {
        {"trailing zeros", std::string("ab\0\0", 4), 1, false, L"ab"},
        {"zero, then text", std::string("ab\0c", 4), 1, false, L"", L"Zero byte in the text, line 1"},
        {"zero on line 2 after CR LF", std::string("a\r\nb\0c", 6), 1, false, L"", L"Zero byte in the text, line 2"},
        {"zero on line 3 after CR, LF", std::string("a\rb\nc\0d", 7), 2, false, L"", L"Zero byte in the text, line 3"},
        {"zero in detected narrow text", std::string("[a]\nx=\0\"", 8), 0, true, L"", L"Zero byte in the text, line 2"},
        {"two-byte UTF-8", Bytes({'a', 0xC3, 0xA9}), 2, false, L"a\u00E9"},
        {"three-byte UTF-8", Bytes({0xE2, 0x82, 0xAC}), 2, false, L"\u20AC"},
        {"Latin-1 byte in UTF-8", Bytes({'\n', 'p', 0xE9, 'l', '"'}), 2, false, L"", L"Byte 0xE9 is not UTF-8, line 2"},
        {"Latin-1 byte after a mark", Bytes({0xEF, 0xBB, 0xBF, 'x', 0xE9}), 0, true, L"",
         L"Byte 0xE9 is not UTF-8, line 1"},
        {"sequence cut by the end", Bytes({'a', 0xC3}), 2, false, L"", L"Byte 0xC3 is not UTF-8, line 1"},
        {"stray continuation byte", Bytes({0x80}), 2, false, L"", L"Byte 0x80 is not UTF-8, line 1"},
        {"four-byte sequence", Bytes({0xF0, 0x9F, 0x98, 0x80}), 2, false, L"", L"Byte 0xF0 is not UTF-8, line 1"},
        // Plain runs are passed over eight bytes at a time: faults at, just
        // before and just after a word's end.
        {"Latin-1 byte as the 8th", Bytes({'a', 'b', 'c', 'd', 'e', 'f', 'g', 0xE9, 'i'}), 2, false, L"",
         L"Byte 0xE9 is not UTF-8, line 1"},
        {"Latin-1 byte as the 9th on line 2", Bytes({'a', '\n', 'c', 'd', 'e', 'f', 'g', 'h', 0xE9}), 2, false, L"",
         L"Byte 0xE9 is not UTF-8, line 2"},
        {"zero as the 10th", std::string("abcdefghi\0k", 11), 2, false, L"", L"Zero byte in the text, line 1"},
        {"UTF-8 across a word's end", Bytes({'a', 'b', 'c', 'd', 'e', 'f', 'g', 0xC3, 0xA9, 'x'}), 2, false,
         L"abcdefg\u00E9x"},
        {"ASCII after a mark", Bytes({0xEF, 0xBB, 0xBF, 'i', 'f', '\r', '\n', '}'}), 2, true, L"if\r\n}"},
        {"a mark read as text", Bytes({0xEF, 0xBB, 0xBF, 'a'}), 2, false, L"\uFEFFa"},
        {"empty", "", 2, false, L""},
        {"Latin-1 byte in narrow text", Bytes({'p', 0xE9}), 1, false, L"p\u00E9"},
        {"UTF-16 trailing zero", Bytes({0xFF, 0xFE, 'A', 0, 0, 0}), 3, true, L"A"},
        {"UTF-16 zero, then text", Bytes({0xFF, 0xFE, 'A', 0, '\n', 0, 0, 0, 'B', 0}), 3, true, L"",
         L"Zero character in the text, line 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto path = m_dir / "t.txt";
        WriteBytes(path, c.bytes);
        CFile file(false, 16384);
        file.Open(Wide(path), CFile::kModeRead);
        std::wstring text;
        const auto e = Thrown([&] { file.ReadWholeText(text, c.encoding, c.mark); });
        // The variant that keeps ASCII as its bytes reads the same.
        file.Open(Wide(path), CFile::kModeRead);
        std::string ascii;
        std::wstring wide;
        bool asBytes = false;
        const auto same = Thrown([&] { asBytes = file.ReadWholeText(ascii, wide, c.encoding, c.mark); });
        EXPECT_EQ(bool(same), bool(e));
        if (c.fault == nullptr) {
            EXPECT_FALSE(e) << (e ? platform::ToUtf8(e->GetText()) : "");
            EXPECT_EQ(text, c.expected);
            const bool plain = c.encoding != 3 && c.bytes.rfind("\xFF\xFE", 0) != 0 &&
                               std::all_of(text.begin(), text.end(), [](wchar_t u) { return u < 0x80; });
            EXPECT_EQ(asBytes, plain);
            EXPECT_EQ(asBytes ? vek::Utf8ToWide(ascii) : wide, c.expected);
            continue;
        }
        ASSERT_TRUE(e);
        EXPECT_EQ(e->GetCode(), CFileException::kInvalidContent);
        EXPECT_EQ(e->GetFileName(), Wide(path));
        EXPECT_NE(e->GetText().find(std::wstring(L"Details: ") + c.fault + L"\r\n"), std::wstring::npos)
            << platform::ToUtf8(e->GetText());
    }
}

// Something that is there but cannot be read is not simply "not found".
TEST_F(FilesTest, OpeningAFolderForReadingSaysSo) {
    CFile file(false, 0);
    const auto e = Thrown([&] { file.Open(Wide(m_dir), CFile::kModeRead); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetText(), FileErrorText(L"File not found", Wide(m_dir), L"It is a folder, not a file.", L"Files",
                                          L"vek::CFile::Open", 449));
}

TEST_F(FilesTest, ReadTextNarrowFollowsTheLocaleAndUtf8Replaces) {
    const auto path = m_dir / "pl.txt";
    WriteBytes(path, Bytes({0xA5, 0xB9}));
    ASSERT_TRUE(vek::SetCurrentLocale(L"pl_PL"));
    CFile file(false, 0);
    file.Open(Wide(path), CFile::kModeRead);
    std::wstring text = L"old";
    file.ReadText(text, vek::kEncodingNarrow, false);
    EXPECT_EQ(text, L"\u0104\u0105");
    file.Rewind();
    file.ReadText(text, vek::kEncodingUtf8, false); // A5 B9 are stray bytes in UTF-8
    EXPECT_EQ(text, (std::wstring{wchar_t(0xFFA5), wchar_t(0xFFB9)}));
}

TEST_F(FilesTest, ReadTextOfAFileThatGrewAfterOpening) {
    const auto path = m_dir / "grow.txt";
    WriteBytes(path, "a");
    CFile file(false, 0);
    file.Open(Wide(path), CFile::kModeRead);
    WriteBytes(path, "abcdef"); // the check sees 6 bytes, the length says 1
    std::wstring text;
    file.ReadText(text, vek::kEncodingUtf8, true);
    EXPECT_EQ(text, L"");
}

TEST_F(FilesTest, WriteTextLayouts) {
    ASSERT_TRUE(vek::SetCurrentLocale(L"pl_PL"));
    const struct {
        std::wstring text;
        uint32_t encoding;
        bool mark;
        std::string bytes;
    } cases[] = {
        {L"A\u0105", 3, true, Bytes({0xFF, 0xFE, 0x41, 0x00, 0x05, 0x01})},
        {L"\u00E9\u20AC", 2, true, Bytes({0xEF, 0xBB, 0xBF, 0xC3, 0xA9, 0xE2, 0x82, 0xAC})},
        {L"\u00E9\u20AC", 2, false, Bytes({0xC3, 0xA9, 0xE2, 0x82, 0xAC})},
        {L"\u0104\u0105", 1, false, Bytes({0xA5, 0xB9})},
        {std::wstring(L"a\0b", 3), 3, true, Bytes({0xFF, 0xFE, 'a', 0})},
        {L"", 2, true, Bytes({0xEF, 0xBB, 0xBF})},
        {L"x", 9, false, ""},
    };
    for (const auto& c : cases) {
        const auto path = m_dir / "w.txt";
        {
            CFile file(false, 16384);
            file.Open(Wide(path), CFile::kModeWrite);
            file.WriteText(c.text, c.encoding, c.mark);
            EXPECT_EQ(file.GetLength(), c.bytes.size());
        }
        EXPECT_EQ(ReadBytes(path), c.bytes) << c.encoding;

        CFile memory(true, 0);
        memory.Open(L"m", CFile::kModeWrite);
        memory.WriteText(c.text, c.encoding, c.mark);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(memory.GetBuffer()), memory.GetLength()), c.bytes);
    }
    CFile file(true, 0);
    file.Open(L"m", CFile::kModeWrite);
    auto e = Thrown([&] { file.WriteText(L"x", vek::kEncodingDetect, true); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetLine(), 354);
}

} // namespace
