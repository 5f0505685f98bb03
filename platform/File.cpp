#include "platform/File.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/Utf8.h"

namespace platform {

std::string FileNameToUtf8(const std::wstring& name) {
    std::wstring local = name;
    for (wchar_t& c : local) {
        if (c == L'\\') {
            c = L'/';
        }
    }
    return ToUtf8(local);
}

namespace {

FileKind KindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return FileKind::kRegular;
    }
    if (S_ISDIR(mode)) {
        return FileKind::kFolder;
    }
    if (S_ISFIFO(mode)) {
        return FileKind::kPipe;
    }
    return S_ISSOCK(mode) ? FileKind::kSocket : FileKind::kDevice;
}

// open(2) flags of an fopen mode; false for a mode it does not take.
bool OpenFlags(const char* mode, int& flags) {
    const bool plus = mode != nullptr && std::strchr(mode, '+') != nullptr;
    switch (mode != nullptr ? mode[0] : '\0') {
    case 'r':
        flags = plus ? O_RDWR : O_RDONLY;
        return true;
    case 'w':
        flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
        return true;
    case 'a':
        flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
        return true;
    default:
        return false;
    }
}

std::FILE* CloseFailed(int fd, int error) {
    ::close(fd);
    errno = error;
    return nullptr;
}

} // namespace

FileKind GetFileKind(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        return FileKind::kMissing;
    }
    return KindOf(st.st_mode);
}

FileKind GetFileKind(const std::wstring& name) { return GetFileKind(FileNameToUtf8(name)); }

const char* DescribeFileKind(FileKind kind) {
    switch (kind) {
    case FileKind::kFolder:
        return "a folder";
    case FileKind::kPipe:
        return "a named pipe (FIFO)";
    case FileKind::kDevice:
        return "a device";
    case FileKind::kSocket:
        return "a socket";
    default:
        return "";
    }
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
    int flags = 0;
    if (!OpenFlags(mode, flags)) {
        errno = EINVAL;
        return nullptr;
    }
    if (path.empty()) {
        errno = ENOENT;
        return nullptr;
    }
    // Not blocking: a pipe would hold the open until someone came to its
    // other end. What is there is looked at on the opened file itself.
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return CloseFailed(fd, errno);
    }
    const FileKind kind = KindOf(st.st_mode);
    if (kind == FileKind::kFolder || (mode[0] == 'r' && kind != FileKind::kRegular)) {
        return CloseFailed(fd, kind == FileKind::kFolder ? EISDIR : ENODEV);
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status == -1 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == -1) {
        return CloseFailed(fd, errno);
    }
    std::FILE* stream = ::fdopen(fd, mode);
    return stream != nullptr ? stream : CloseFailed(fd, errno);
}

std::FILE* OpenFile(const std::wstring& name, const char* mode) { return OpenFile(FileNameToUtf8(name), mode); }

int64_t StreamSize(std::FILE* stream) {
    struct stat st {};
    if (stream == nullptr || ::fstat(fileno(stream), &st) != 0 || !S_ISREG(st.st_mode)) {
        return -1;
    }
    return static_cast<int64_t>(st.st_size);
}

int64_t RegularFileSize(const std::string& path) {
    // Opened rather than only looked at: a file we may not read has no size for us.
    std::FILE* f = OpenFile(path, "rb");
    if (!f) {
        return -1;
    }
    const int64_t size = StreamSize(f);
    std::fclose(f);
    return size;
}

bool SeekStream(std::FILE* stream, int64_t offset, int origin) {
    if (stream == nullptr) {
        return false;
    }
    const int whence = origin == 1 ? SEEK_CUR : (origin == 2 ? SEEK_END : SEEK_SET);
    return ::fseeko(stream, static_cast<off_t>(offset), whence) == 0;
}

int64_t TellStream(std::FILE* stream) {
    if (stream == nullptr) {
        return -1;
    }
    return static_cast<int64_t>(::ftello(stream));
}

bool LastWriteTime(const std::string& path, LocalTime& time) {
    std::FILE* f = OpenFile(path, "rb");
    if (!f) {
        return false;
    }
    struct stat st {};
    const bool known = ::fstat(fileno(f), &st) == 0;
    std::fclose(f);
    std::tm local{};
    if (!known || ::localtime_r(&st.st_mtime, &local) == nullptr) {
        return false;
    }
    time.year = local.tm_year + 1900;
    time.month = local.tm_mon + 1;
    time.day = local.tm_mday;
    time.hour = local.tm_hour;
    time.minute = local.tm_min;
    time.second = local.tm_sec;
    return true;
}

// --- Writing a file aside --------------------------------------------------------

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

namespace {

IFileCalls g_systemCalls;
IFileCalls* g_fileCalls = &g_systemCalls;

int ErrorOr(int error) { return error != 0 ? error : EIO; }

// Permission bits of a file made by fopen: 0666 less the process's mask.
unsigned NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666u & ~static_cast<unsigned>(mask);
}

bool ReadLink(const std::string& path, size_t sizeHint, std::string& target) {
    std::string buffer(sizeHint > 0 ? sizeHint + 1 : 256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0) {
            return false;
        }
        if (static_cast<size_t>(n) < buffer.size()) {
            target.assign(buffer.data(), static_cast<size_t>(n));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

size_t IFileCalls::Write(std::FILE* stream, const void* data, size_t size) {
    return size == 0 ? 0 : std::fwrite(data, 1, size, stream);
}

int IFileCalls::Flush(std::FILE* stream) { return std::fflush(stream) == 0 ? 0 : ErrorOr(errno); }

int IFileCalls::Sync(std::FILE* stream) {
    struct stat st {};
    if (::fstat(fileno(stream), &st) != 0 || !S_ISREG(st.st_mode)) {
        return 0;
    }
    return ::fsync(fileno(stream)) == 0 ? 0 : ErrorOr(errno);
}

int IFileCalls::Close(std::FILE* stream) { return std::fclose(stream) == 0 ? 0 : ErrorOr(errno); }

int IFileCalls::Rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : ErrorOr(errno);
}

int IFileCalls::SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return ErrorOr(errno);
    }
    const int error = ::fsync(fd) == 0 ? 0 : ErrorOr(errno);
    ::close(fd);
    // A file system that cannot sync a folder has nothing more to offer.
    return error == EINVAL ? 0 : error;
}

int IFileCalls::RenameNoReplace(const std::string& from, const std::string& to) {
    return platform::RenameNoReplace(from, to);
}

IFileCalls& FileCalls() { return *g_fileCalls; }

void SetFileCalls(IFileCalls* calls) { g_fileCalls = calls != nullptr ? calls : &g_systemCalls; }

bool ResolveWriteTarget(const std::string& path, WriteTarget& target) {
    // As many links as the system itself follows.
    constexpr int kMaxLinks = 40;
    std::string current = path;
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0) {
            // Nothing there yet (or nothing we may look at: making it fails then).
            target.path = current;
            target.inPlace = false;
            target.mode = NewFileMode();
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            target.path = current;
            target.inPlace = !S_ISREG(st.st_mode);
            target.mode = static_cast<unsigned>(st.st_mode) & 07777u;
            return true;
        }
        std::string link;
        if (!ReadLink(current, static_cast<size_t>(st.st_size), link) || link.empty()) {
            return false;
        }
        current = link[0] == '/' ? link : FolderOf(current) + link;
    }
    errno = ELOOP;
    return false;
}

namespace {

// The letters mkostemp puts in place of "XXXXXX".
constexpr size_t kUniqueLetters = 6;

// A hidden name that tells whose it is and what it is, up to the unique
// letters; a long name must not make it too long.
std::string BesidePrefix(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    return "." + (base.size() <= 200 ? base : std::string("morvheld")) + kBesideMarker;
}

bool IsUniqueLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

} // namespace

std::FILE* CreateFileBeside(const std::string& path, unsigned mode, std::string& tempPath) {
    std::string pattern = FolderOf(path) + BesidePrefix(path) + std::string(kUniqueLetters, 'X');
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    (void)::fchmod(fd, static_cast<mode_t>(mode));
    std::FILE* stream = ::fdopen(fd, "w+b");
    if (stream == nullptr) {
        const int error = errno;
        ::close(fd);
        ::unlink(pattern.c_str());
        errno = error;
        return nullptr;
    }
    tempPath = pattern;
    return stream;
}

size_t RemoveFilesLeftBeside(const std::string& path) {
    const std::string folder = FolderOf(path);
    const std::string prefix = BesidePrefix(path);
    DIR* listing = ::opendir(folder.empty() ? "." : folder.c_str());
    if (listing == nullptr) {
        return 0;
    }
    std::vector<std::string> left;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() == prefix.size() + kUniqueLetters && name.starts_with(prefix) &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(), IsUniqueLetter)) {
            left.push_back(folder + name);
        }
    }
    ::closedir(listing);
    size_t removed = 0;
    for (const std::string& file : left) {
        struct stat st {};
        if (::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(file.c_str()) == 0) {
            ++removed;
        }
    }
    return removed;
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A file system that cannot refuse to replace: a second link fails
    // when the name is taken, then the first goes.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return errno;
    }
    return ::unlink(from.c_str()) == 0 ? 0 : errno;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::string SystemErrorText(int error) {
    char buffer[256] = {};
    // The GNU form: the text may or may not be put into the buffer.
    return ::strerror_r(error, buffer, sizeof(buffer));
}

} // namespace platform
