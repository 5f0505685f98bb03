#pragma once
// Files by name. The game's names use '\' as well as '/' between folders;
// both become '/' and the name reaches the operating system as UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// The local path of a file name: '\' turned to '/', encoded as UTF-8.
std::string FileNameToUtf8(const std::wstring& name);

// What a path holds, a link followed.
enum class FileKind : uint8_t { kMissing, kRegular, kFolder, kPipe, kDevice, kSocket };
FileKind GetFileKind(const std::string& path);
// The same for a file name of the game, taken exactly as given.
FileKind GetFileKind(const std::wstring& name);
// What something that is not a regular file is, for messages ("a named pipe
// (FIFO)"); empty for a regular file or nothing.
const char* DescribeFileKind(FileKind kind);

// fopen of a local path ("r", "w" or "a", with "+" and "b" as fopen takes
// them); null when it fails, errno set by the call that failed. No open
// waits: a pipe that no one writes to or reads from is no reason to hang.
// Read modes open regular files only (anything else fails with EISDIR for
// a folder, ENODEV otherwise); write modes write a device or a pipe in
// place but never a folder.
std::FILE* OpenFile(const std::string& path, const char* mode);
// The same for a file name of the game, taken exactly as given.
std::FILE* OpenFile(const std::wstring& name, const char* mode);

// Size of a regular file; -1 when there is none by that path (or something
// else is there) or it cannot be read.
int64_t RegularFileSize(const std::string& path);
// Size of the file behind an open stream; -1 when unknown.
int64_t StreamSize(std::FILE* stream);

// 64-bit stream positioning; origin 0 start, 1 current, 2 end.
bool SeekStream(std::FILE* stream, int64_t offset, int origin);
int64_t TellStream(std::FILE* stream); // -1 on failure

struct LocalTime {
    int year = 0;  // e.g. 2024
    int month = 0; // 1..12
    int day = 0;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};
// Last write time of a regular file in the local time zone; false when the
// file cannot be opened for reading.
bool LastWriteTime(const std::string& path, LocalTime& time);

// --- Writing a file aside --------------------------------------------------------

// The calls that write a file aside and put it in place. The system's unless a
// test installs its own, which fails where it chooses. Each returns 0 or the
// errno value of the failure (Write: the bytes written, errno set when short).
class IFileCalls {
public:
    virtual ~IFileCalls() = default;
    virtual size_t Write(std::FILE* stream, const void* data, size_t size);
    virtual int Flush(std::FILE* stream);
    // To the disk; only regular files are synced.
    virtual int Sync(std::FILE* stream);
    // The stream is gone whatever the result.
    virtual int Close(std::FILE* stream);
    virtual int Rename(const std::string& from, const std::string& to);
    // Syncs a folder's entries to the disk, so that a file renamed into it
    // stays there after a power cut; a file system that cannot sync a folder
    // counts as done.
    virtual int SyncFolder(const std::string& folder);
    // Renames a file unless the new name is taken (EEXIST then).
    virtual int RenameNoReplace(const std::string& from, const std::string& to);
};
IFileCalls& FileCalls();
// Not owned; null brings the system's calls back.
void SetFileCalls(IFileCalls* calls);

// Where the bytes written under a path belong: a link (or a chain of them) is
// followed to the path it names, so the link stays a link. inPlace: something
// other than a regular file is there (a device, a pipe), which cannot be
// replaced and is written directly. mode: the permission bits the new file
// gets (an existing file's own, else the default for new files). False when
// the links cannot be followed.
struct WriteTarget {
    std::string path;
    bool inPlace = false;
    unsigned mode = 0;
};
bool ResolveWriteTarget(const std::string& path, WriteTarget& target);
// A new, empty file beside path (same folder), open for writing and reading,
// with the given permission bits; its name goes to tempPath: "." + the
// file's name + kBesideMarker + six letters and digits, which no user's own
// file is likely to be called. Null on failure (errno set).
inline constexpr char kBesideMarker[] = ".morvheld-unfinished.";
std::FILE* CreateFileBeside(const std::string& path, unsigned mode, std::string& tempPath);
// Removes the files CreateFileBeside made beside path that are still there
// (left by a writer killed before it could put them in place or remove
// them): only regular files of exactly that name pattern, only in that
// folder. The number removed.
size_t RemoveFilesLeftBeside(const std::string& path);
// The folder part of a local path, with its '/'; empty for a bare name.
std::string FolderOf(const std::string& path);
// Renames a file unless the new name is taken; 0 or the errno value.
int RenameNoReplace(const std::string& from, const std::string& to);
// Removes a file; false when it could not be removed.
bool RemoveFile(const std::string& path);
// The system's text for an errno value.
std::string SystemErrorText(int error);

} // namespace platform
