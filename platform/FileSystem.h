#pragma once
// Folders: making a folder, reading a folder's entries and the well-known
// folders of the user and the system.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Makes one folder level; false when it could not be made (also when it exists).
bool CreateFolder(const std::wstring& name);

struct FolderEntry {
    std::string name; // as the file system holds it (UTF-8 as a rule)
    bool folder = false;
};
// Every entry of a folder, "." and ".." included, in the order the system gives;
// false when the folder cannot be read.
bool ReadFolder(const std::string& path, std::vector<FolderEntry>& entries);

enum : uint32_t {
    kFolderFonts = 0,
    kFolderProgramFiles = 1,
    kFolderAppData = 2,
};
// The path of a well-known folder: fonts /usr/share/fonts/, program files
// /usr/local/, application data the XDG configuration folder ($XDG_CONFIG_HOME
// when it is an absolute path, else $HOME/.config). Empty for another index or
// when the environment names no home.
std::wstring SpecialFolderPath(uint32_t index);

} // namespace platform
