#pragma once
// Files by name. The game's names use '\' as well as '/' between folders;
// both become '/' and the name reaches the operating system as UTF-8.
#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// The local path of a file name: '\' turned to '/', encoded as UTF-8.
std::string FileNameToUtf8(const std::wstring& name);

// fopen of a local path; null when it fails. A folder is never opened as a file.
std::FILE* OpenFile(const std::string& path, const char* mode);
// The same for a file name of the game, taken exactly as given.
std::FILE* OpenFile(const std::wstring& name, const char* mode);

// Size of a regular file; -1 when there is none by that path or it cannot be read.
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

} // namespace platform
