#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/FolderLock.h"
#include "support/Child.h"
#include "support/Files.h"

namespace {

namespace fs = std::filesystem;
using platform::CFolderLock;
using Result = CFolderLock::Result;
using FolderLock = testsupport::ScratchFolder;

// The user and group "nobody" of a Debian system.
constexpr uid_t kNobody = 65534;

// What a process of its own gets when it tries the folder's lock, as this
// user or (root only) as another.
Result TakeInChild(const std::string& folder, uid_t user = ::geteuid()) {
    return static_cast<Result>(testsupport::InChild([&] {
        if (user != ::geteuid() && (::setgid(user) != 0 || ::setuid(user) != 0)) {
            return static_cast<int>(Result::kFailed);
        }
        CFolderLock lock;
        return static_cast<int>(lock.Take(folder));
    }));
}

TEST_F(FolderLock, OneHolderAtATime) {
    const std::string folder = (m_dir / "Save/").string();
    CFolderLock first;
    EXPECT_EQ(first.Take(folder), Result::kTaken);
    EXPECT_TRUE(first.IsHeld());
    EXPECT_TRUE(fs::is_directory(m_dir / "Save"));
    EXPECT_TRUE(fs::is_regular_file(m_dir / "Save" / CFolderLock::kLockFileName));
    EXPECT_EQ(TakeInChild(folder), Result::kHeldElsewhere);
    CFolderLock second;
    EXPECT_EQ(second.Take(folder), Result::kHeldElsewhere);
    EXPECT_FALSE(second.IsHeld());

    first.Release();
    EXPECT_FALSE(first.IsHeld());
    EXPECT_EQ(TakeInChild(folder), Result::kTaken);
    EXPECT_EQ(second.Take(folder), Result::kTaken);
    // The file stays: removing it would let two holders lock two files.
    second.Release();
    EXPECT_TRUE(fs::exists(m_dir / "Save" / CFolderLock::kLockFileName));
}

// A holder that dies holds nothing: the system lets its lock go.
TEST_F(FolderLock, TheLockOfAnEndedProcessIsFree) {
    const std::string folder = m_dir.string();
    std::fflush(nullptr);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        CFolderLock lock;
        const char taken = lock.Take(folder) == Result::kTaken ? 'y' : 'n';
        (void)!::write(ready[1], &taken, 1);
        ::pause();
        ::_exit(0);
    }
    char taken = 0;
    ASSERT_EQ(::read(ready[0], &taken, 1), 1);
    EXPECT_EQ(taken, 'y');
    CFolderLock lock;
    EXPECT_EQ(lock.Take(folder), Result::kHeldElsewhere);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_EQ(lock.Take(folder), Result::kTaken);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(FolderLock, WhereNoLockFileCanBeMade) {
    // A link in the lock file's place: the folder itself is locked.
    fs::create_symlink(m_dir / "elsewhere", m_dir / CFolderLock::kLockFileName);
    CFolderLock lock;
    EXPECT_EQ(lock.Take(m_dir.string()), Result::kTaken);
    EXPECT_EQ(TakeInChild(m_dir.string()), Result::kHeldElsewhere);
    EXPECT_FALSE(fs::exists(m_dir / "elsewhere"));
    // A folder that cannot be made.
    testsupport::WriteBytes(m_dir / "file", "x");
    CFolderLock none;
    EXPECT_EQ(none.Take((m_dir / "file/Save/").string()), Result::kFailed);
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_FALSE(none.IsHeld());
}

// What another copy locks, this one locks too: a folder in the lock file's
// place, or a lock file of another user's that this one may only read.
TEST_F(FolderLock, ALockFileThisCopyMayOnlyReadIsLockedAsItIs) {
    const std::string folder = m_dir.string();
    fs::create_directories(m_dir / CFolderLock::kLockFileName);
    CFolderLock lock;
    EXPECT_EQ(lock.Take(folder), Result::kTaken);
    EXPECT_EQ(TakeInChild(folder), Result::kHeldElsewhere);
    lock.Release();
    fs::remove(m_dir / CFolderLock::kLockFileName);

    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can try the lock as another user";
    }
    EXPECT_EQ(lock.Take(folder), Result::kTaken);
    fs::permissions(m_dir / CFolderLock::kLockFileName,
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(TakeInChild(folder, kNobody), Result::kHeldElsewhere);
    lock.Release();
    EXPECT_EQ(TakeInChild(folder, kNobody), Result::kTaken);
}

} // namespace
