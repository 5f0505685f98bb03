#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "support/Child.h"

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
    EXPECT_EQ(platform::GetFileKind(m_wdir + L"\\f.txt"), platform::FileKind::kRegular);
    EXPECT_EQ(platform::GetFileKind(m_wdir), platform::FileKind::kFolder);
    EXPECT_EQ(platform::GetFileKind(m_wdir + L"/none"), platform::FileKind::kMissing);
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

// A pipe that no one writes to or reads from, a device, a folder, a
// socket: each refused at once where a file is to be read, never waited for.
// A hang ends the test by the alarm instead of holding it up.
TEST_F(PlatformFiles, WhatIsNoFileIsRefusedAtOnce) {
    const std::string fifo = (m_dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string socket = (m_dir / "socket").string();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socket.size(), sizeof(address.sun_path));
    socket.copy(address.sun_path, socket.size());
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    std::ofstream(m_dir / "file") << "abc";
    const struct {
        std::string path;
        platform::FileKind kind;
        std::string described;
        int readError;
    } cases[] = {
        {(m_dir / "file").string(), platform::FileKind::kRegular, "", 0},
        {fifo, platform::FileKind::kPipe, "a named pipe (FIFO)", ENODEV},
        {"/dev/null", platform::FileKind::kDevice, "a device", ENODEV},
        {m_dir.string(), platform::FileKind::kFolder, "a folder", EISDIR},
        {socket, platform::FileKind::kSocket, "a socket", ENXIO},
        {(m_dir / "none").string(), platform::FileKind::kMissing, "", ENOENT},
    };
    ::alarm(20);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(platform::GetFileKind(c.path), c.kind);
        EXPECT_EQ(platform::DescribeFileKind(c.kind), c.described);
        errno = 0;
        std::FILE* stream = platform::OpenFile(c.path, "rb");
        EXPECT_EQ(stream != nullptr, c.readError == 0);
        EXPECT_EQ(errno, c.readError);
        if (stream != nullptr) {
            std::fclose(stream);
        }
        EXPECT_EQ(platform::RegularFileSize(c.path), c.readError == 0 ? 3 : -1);
        platform::LocalTime time;
        EXPECT_EQ(platform::LastWriteTime(c.path, time), c.readError == 0);
    }
    // Written in place, a pipe without a reader is refused, not waited for.
    errno = 0;
    EXPECT_EQ(platform::OpenFile(fifo, "wb"), nullptr);
    EXPECT_EQ(errno, ENXIO);
    EXPECT_EQ(platform::OpenFile(m_dir.string(), "ab"), nullptr);
    EXPECT_EQ(errno, EISDIR);
    std::FILE* device = platform::OpenFile("/dev/null", "wb");
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(std::fputs("x", device), 1);
    std::fclose(device);
    ::alarm(0);
    ::close(listener);
}

TEST_F(PlatformFiles, OpenModes) {
    const std::string path = (m_dir / "f").string();
    const struct {
        const char* mode;
        const char* write;
        std::string after;
    } cases[] = {
        {"wb", "ab", "ab"}, {"ab", "c", "abc"}, {"r+b", "X", "Xbc"}, {"w+", "new", "new"}, {"a+b", "!", "new!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        std::FILE* stream = platform::OpenFile(path, c.mode);
        ASSERT_NE(stream, nullptr);
        std::fputs(c.write, stream);
        std::fclose(stream);
        std::ifstream in(path, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.after);
    }
    errno = 0;
    EXPECT_EQ(platform::OpenFile(path, "x"), nullptr);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(platform::OpenFile("", "rb"), nullptr);
    EXPECT_EQ(errno, ENOENT);
}

// A temporary file says whose it is and what it is; only those are ever
// taken for what an interrupted writer left.
TEST_F(PlatformFiles, TemporaryFilesCarryAMarkerAndOnlyTheyAreRemoved) {
    const std::string target = (m_dir / "autosave.sav").string();
    std::string temp;
    std::FILE* stream = platform::CreateFileBeside(target, 0600, temp);
    ASSERT_NE(stream, nullptr);
    std::fclose(stream);
    const std::string prefix = (m_dir / ".autosave.sav.morvheld-unfinished.").string();
    ASSERT_EQ(temp.size(), prefix.size() + 6);
    EXPECT_EQ(temp.substr(0, prefix.size()), prefix);
    EXPECT_EQ(fs::status(temp).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

    // The user's own files, and look-alikes of the marker, stay.
    const std::vector<std::string> kept = {".autosave.sav.backup",
                                           ".autosave.sav.a1B2c3",
                                           ".autosave.sav.morvheld-unfinished.a1B2c",
                                           ".autosave.sav.morvheld-unfinished.a1B2c34",
                                           ".autosave.sav.morvheld-unfinished.a1-2c3",
                                           ".other.sav.morvheld-unfinished.a1B2c3",
                                           "autosave.sav.morvheld-unfinished.a1B2c3",
                                           "autosave.sav"};
    for (const std::string& name : kept) {
        std::ofstream(m_dir / name) << "x";
    }
    fs::create_directories(m_dir / ".autosave.sav.morvheld-unfinished.Folder");
    std::ofstream(m_dir / ".autosave.sav.morvheld-unfinished.Q9w8E7") << "x";
    EXPECT_EQ(platform::RemoveFilesLeftBeside(target), 2u);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(m_dir)) {
        left.push_back(entry.path().filename().string());
    }
    std::vector<std::string> expected = kept;
    expected.push_back(".autosave.sav.morvheld-unfinished.Folder");
    std::sort(left.begin(), left.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
}

TEST_F(PlatformFiles, AFolderIsSyncedToTheDisk) {
    EXPECT_EQ(platform::FileCalls().SyncFolder(m_dir.string() + "/"), 0);
    EXPECT_EQ(platform::FileCalls().SyncFolder((m_dir / "none/").string()), ENOENT);
    std::ofstream(m_dir / "file") << "x";
    EXPECT_EQ(platform::FileCalls().SyncFolder((m_dir / "file").string()), ENOTDIR);
    EXPECT_EQ(platform::FolderOf("Save/autosave.sav"), "Save/");
    EXPECT_EQ(platform::FolderOf("autosave.sav"), "");
}

// From here on every sync of this process fails with EIO, as on a disk that
// cannot take the data: only a caller that really asks for one sees it.
// False when the system takes no such filter.
bool FailEverySync() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fsync, 1, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fdatasync, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EIO),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program = {static_cast<unsigned short>(sizeof(filter) / sizeof(filter[0])), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// The filter stays with the process: each case runs in one of its own.
using testsupport::InChild;

// The sync of a written file and of its folder reach the disk: a failing
// disk fails each. A pipe has nothing to sync.
TEST_F(PlatformFiles, TheFileAndItsFolderAreSyncedByTheSystem) {
    constexpr int kNoFilter = 42;
    const std::string file = (m_dir / "file").string();
    std::ofstream(file) << "x";
    const int result = InChild([&] {
        if (!FailEverySync()) {
            return kNoFilter;
        }
        std::FILE* stream = platform::OpenFile(file, "r+b");
        const int fileSync = stream != nullptr ? platform::FileCalls().Sync(stream) : 0;
        if (stream != nullptr) {
            std::fclose(stream);
        }
        int pipeEnds[2];
        std::FILE* pipe = ::pipe(pipeEnds) == 0 ? ::fdopen(pipeEnds[1], "wb") : nullptr;
        const int pipeSync = pipe != nullptr ? platform::FileCalls().Sync(pipe) : EBADF;
        const int folderSync = platform::FileCalls().SyncFolder(m_dir.string() + "/");
        return (fileSync == EIO ? 0 : 1) | (folderSync == EIO ? 0 : 2) | (pipeSync == 0 ? 0 : 4);
    });
    if (result == kNoFilter) {
        GTEST_SKIP() << "this system takes no seccomp filter";
    }
    EXPECT_EQ(result, 0) << "1: the file's sync, 2: the folder's, 4: the pipe's";
}

} // namespace
