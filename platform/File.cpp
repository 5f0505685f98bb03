#include "platform/File.h"

#include <sys/stat.h>

#include <ctime>

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

std::FILE* OpenFile(const std::string& path, const char* mode) {
    if (path.empty()) {
        return nullptr;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        return nullptr;
    }
    return std::fopen(path.c_str(), mode);
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

} // namespace platform
