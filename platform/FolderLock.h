#pragma once
// One process at a time in a folder: an advisory lock on a file in it, which
// the system lets go when the process ends, however it ends.
#include <string>

namespace platform {

class CFolderLock {
public:
    enum class Result { kTaken, kHeldElsewhere, kFailed };

    // The file in the folder whose lock it is; it stays there.
    static constexpr char kLockFileName[] = ".morvheld.lock";

    CFolderLock() = default;
    CFolderLock(const CFolderLock&) = delete;
    CFolderLock& operator=(const CFolderLock&) = delete;
    ~CFolderLock();

    // Takes the folder's lock (the folder is made when it is missing), not
    // waiting for it. kHeldElsewhere: another process, or another lock of
    // this one, holds it. kFailed (errno set): the folder cannot be made or
    // read. A lock file this user may only read, or a folder in its
    // place, is locked as it is; a folder whose lock file cannot be made is
    // locked itself.
    Result Take(const std::string& folder);
    bool IsHeld() const { return m_fd >= 0; }
    void Release();

private:
    int m_fd = -1;
};

} // namespace platform
