#include "platform/FolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

// The lock file, else (in a folder where no file can be made) the folder.
int OpenLockTarget(const std::string& folder) {
    const std::string base = folder.empty() ? std::string(".") : folder;
    const std::string file = base + (base.back() == '/' ? "" : "/") + CFolderLock::kLockFileName;
    // Close-on-exec: a program that a script starts must not keep the lock.
    // A link in its place is not followed (the folder is locked instead).
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    // One this user may only read (another user's, or a folder in its
    // place) is what every other copy locks: it is locked all the same.
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM || errno == EISDIR)) {
        fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    }
    if (fd >= 0 || (errno != EACCES && errno != EROFS && errno != EPERM && errno != ELOOP && errno != ENOENT)) {
        return fd;
    }
    return ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

} // namespace

CFolderLock::~CFolderLock() { Release(); }

CFolderLock::Result CFolderLock::Take(const std::string& folder) {
    Release();
    if (!folder.empty() && ::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        return Result::kFailed;
    }
    const int fd = OpenLockTarget(folder);
    if (fd < 0) {
        return Result::kFailed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return error == EWOULDBLOCK ? Result::kHeldElsewhere : Result::kFailed;
    }
    m_fd = fd;
    return Result::kTaken;
}

void CFolderLock::Release() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace platform
