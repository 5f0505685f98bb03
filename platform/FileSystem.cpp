#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>

#include "platform/File.h"
#include "platform/Utf8.h"

namespace platform {

bool CreateFolder(const std::wstring& name) {
    const std::string path = FileNameToUtf8(name);
    return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
}

bool ReadFolder(const std::string& path, std::vector<FolderEntry>& entries) {
    DIR* dir = ::opendir(path.empty() ? "." : path.c_str());
    if (dir == nullptr) {
        return false;
    }
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        FolderEntry item;
        item.name = entry->d_name;
        if (entry->d_type == DT_DIR) {
            item.folder = true;
        } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            // A link counts as what it points to.
            struct stat st {};
            item.folder = ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        entries.push_back(std::move(item));
    }
    ::closedir(dir);
    return true;
}

namespace {

std::wstring Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? FromUtf8(value) : std::wstring();
}

} // namespace

std::wstring SpecialFolderPath(uint32_t index) {
    switch (index) {
    case kFolderFonts:
        return L"/usr/share/fonts/";
    case kFolderProgramFiles:
        return L"/usr/local/";
    case kFolderAppData: {
        // A relative XDG_CONFIG_HOME is not to be used.
        const std::wstring config = Environment("XDG_CONFIG_HOME");
        if (!config.empty() && config[0] == L'/') {
            return config;
        }
        const std::wstring home = Environment("HOME");
        if (home.empty()) {
            return std::wstring();
        }
        return home + L"/.config";
    }
    default:
        return std::wstring();
    }
}

} // namespace platform
