#pragma once
// Paths, files and the grid line walk.
//
// File names may use '\' or '/' between folders. A file that is read (CFile
// opened for reading, GetFileSize, GetFileTime, ListFiles) is found even when
// its name differs in case from the one asked for: the game's data was made
// on a system that ignores case. A file that is written gets the name as given.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "VEKLib/Geometry.h"
#include "platform/File.h"

namespace vek {

class CDate;

// --- Paths ---------------------------------------------------------------------
// The local path (UTF-8) of a file to be read: the exact name when something
// is there, else every missing part matched ignoring case against its
// folder's entries (game data is written on a case-insensitive system). The
// exact path when nothing fits, so that opening it fails.
std::string LocateForReading(const std::wstring& name);

// Part after the last '\' or '/'; the whole text when there is none.
std::wstring GetTextAfterLast(const std::wstring& text);
// Part before the last '.'; the whole text when there is none.
std::wstring GetTextBeforeLast(const std::wstring& text);
// Folder part including the last '\' or '/'; empty for a blank text or a bare name.
std::wstring GetFilePath(const std::wstring& text);
// Index of the last character of text that is in set; -1 when none.
int32_t FindLastOf(const std::wstring& set, const std::wstring& text);
// No quotation marks, runs of separators reduced to one, every separator '/'.
std::wstring CleanPath(const std::wstring& path);
// Appends '/' unless the text is empty or already ends in '\' or '/'.
std::wstring EnsureTrailingSlash(const std::wstring& path);
// Every character that cannot stand in a file name ( / \ : * ? " < > | ) becomes '_'.
std::wstring NormalizeFileName(const std::wstring& name);

// --- Files and folders -----------------------------------------------------------
// Size of a file in bytes; 0 when it cannot be opened (or is a folder).
uint32_t GetFileSize(const std::wstring& name);
// Last write time in local time; false when the file cannot be opened for reading.
bool GetFileTime(const std::wstring& name, CDate& date);
// Appends the names (without folder) of the files, not folders, that match
// pattern ('*' and '?', case ignored) in folder, sorted ignoring case. With a
// null or empty pattern the folder text's last part is the pattern. False when
// folder is null, the search path has 260 characters or more, the folder cannot
// be read, or nothing at all (not even "." or "..") matches.
bool ListFiles(const wchar_t* folder, const wchar_t* pattern, std::vector<std::wstring>& names);
// What a message says of something that is where a file was expected:
// "It is a named pipe (FIFO), not a file."
std::wstring NotAFileText(platform::FileKind kind);
// 0 fonts, 1 program files, 2 per-user application data; with a trailing '/'.
// Empty for another index or when the folder is unknown.
std::wstring GetSpecialFolder(uint32_t index);

// --- Grid line ---------------------------------------------------------------------
// Appends the cells from (x1, y1) to (x2, y2), both included.
void WalkLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, std::vector<TPoint>& cells);

// --- Replacing a file whole -------------------------------------------------------------
// A file is replaced only whole. The new bytes go to a temporary file beside
// the target (a link is followed to the file it names, so it stays a link);
// Commit checks the last flush, syncs the file to the disk, closes it,
// renames it over the target and syncs the target's folder. When a write,
// flush, sync, close or rename fails, the temporary file is removed, the
// target is left as it was and a CFileException names the target, its code
// and label following the cause. Destruction before Commit discards the new
// bytes the same way. A target that is not a regular file (a device, a
// pipe) cannot be replaced: it is written in place, every write checked, or
// refused.
class CFileReplacement {
public:
    explicit CFileReplacement(const std::wstring& name);
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;
    ~CFileReplacement();

    // Makes the temporary file, or opens a target that is no regular file
    // (never waiting for a pipe's reader). 0, or the errno value of the
    // call that failed; with regularOnly such a target is refused (ENODEV,
    // GetRefusedKind says what it is).
    int Open(bool regularOnly);
    // Where the new bytes go, readable as well; null when nothing is open.
    std::FILE* GetStream() const { return m_stream; }
    const std::wstring& GetName() const { return m_name; }
    // What the last Open refused as no regular file; kMissing when none.
    platform::FileKind GetRefusedKind() const { return m_refusedKind; }

    // Each writes everything or throws.
    void Write(const void* data, size_t size);
    void Flush();
    // Puts the new file in place; nothing is open afterwards, also on a
    // throw. 0, or the errno value of the folder's sync that failed: the
    // new file is in place then, but may not survive a power cut.
    int Commit();
    // Drops the new bytes; the target stays as it was.
    void Discard() noexcept;

private:
    [[noreturn]] void Fail(const wchar_t* function, int32_t line, const wchar_t* what, int error);

    std::wstring m_name;
    std::string m_target; // local path of the file the bytes belong to
    std::string m_temp;   // empty when written in place
    std::FILE* m_stream = nullptr;
    platform::FileKind m_refusedKind = platform::FileKind::kMissing;
};

// The whole new content of a regular file in one call (see
// CFileReplacement). Anything else at the name (a folder, a pipe, a device)
// is refused, CFileException code 7 saying what it is; a file that cannot be
// made throws as its cause says. The result is Commit's: 0, or the errno
// value of a failed sync of the folder (the file is in place).
int ReplaceFile(const std::wstring& name, const void* data, size_t size);

// Removes the temporary files that replacements of the named file left
// behind (a writer killed before it could put its file in place or remove
// it): only names of the replacement's own pattern, only in the folder the
// bytes go to (a link followed as a replacement follows it). The number
// removed; nothing is reported.
size_t RemoveLeftReplacements(const std::wstring& name);

// Moves the named file aside, whole, to the first name of the forms
// "stem.mark.ext", "stem.mark.2.ext", "stem.mark.3.ext", ... in its folder
// that no file has; a file is never replaced. The new name. CFileException
// code 7 naming the file and the system's reason when it cannot be moved.
std::wstring KeepAside(const std::wstring& name, const std::wstring& mark);

// --- File object ---------------------------------------------------------------------
// A disk file through a buffered stream, or a file that lives only in a
// growable memory buffer. Every failure throws CFileException.
//
// A disk file opened for writing (read-write or write) is a CFileReplacement:
// the name gets the new content only when Close (or Detach) completes it,
// whole, and the old file stays as it was when anything fails. Destroying an
// open file completes it too, but silently, and not while an exception is
// on its way: then what was written is dropped.
class CFile {
public:
    // Open modes.
    enum : uint32_t {
        kModeReadWrite = 0, // created or truncated, readable and writable
        kModeWrite = 1,     // created or truncated
        kModeRead = 2,      // must exist
    };
    // Seek origins; any other value counts as the start.
    enum : uint32_t { kSeekStart = 0, kSeekCurrent = 1, kSeekEnd = 2 };
    // Operations for ModeCheck.
    enum : uint32_t { kOperationWrite = 1, kOperationRead = 2 };

    // A buffer of initialCapacity bytes (zeroed) is made when it is not 0.
    CFile(bool memoryOnly, uint32_t initialCapacity);
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Forgets buffer, stream, position, capacity and length: the caller has
    // taken the buffer (GetBuffer) over. A disk stream, which nothing outside
    // can take over, is closed (a written file completed). Returns 0.
    virtual uint32_t Detach();
    // Grows the buffer to exactly capacity when that is more than it holds.
    virtual void Reserve(uint32_t capacity);
    // Never throws.
    virtual ~CFile();
    // Closes a file that is open first. A memory file starts at position 0
    // with length 0 (write) or its capacity (read, read-write).
    virtual void Open(const std::wstring& name, uint32_t mode);
    // Flushes and closes a disk stream; a memory file keeps its buffer. Throws
    // only when a written file cannot be completed (then nothing is open and
    // the old file is as it was).
    virtual void Close();
    // Returns the bytes read.
    virtual uint32_t Read(void* destination, uint32_t count);
    // Reads the rest of the file as text; encoding 0 detects it from the
    // byte-order mark. Narrow and UTF-8 text ends at the first zero byte,
    // UTF-16 at the first zero unit. The text read replaces text.
    virtual void ReadText(std::wstring& text, uint32_t encoding, bool mark);
    // ReadText for readers of game data, which must not lose text unseen:
    // a zero byte (or unit) with more text behind it, or in UTF-8 a byte
    // that does not decode, is CFileException code 5 naming the file and
    // the line.
    void ReadWholeText(std::wstring& text, uint32_t encoding, bool mark);
    // ReadWholeText, but text of nothing but ASCII comes as its bytes into
    // ascii (true), a quarter of the memory of wide text; otherwise it is
    // decoded into text (false).
    bool ReadWholeText(std::string& ascii, std::wstring& text, uint32_t encoding, bool mark);
    // Returns the bytes written: all of them, or it throws.
    virtual uint32_t Write(const void* source, uint32_t count);
    // Writes text up to its first zero unit.
    virtual void WriteText(const std::wstring& text, uint32_t encoding, bool mark);
    // Memory file: false. Disk file: moves the stream; true on success.
    virtual bool Seek(int64_t offset, uint32_t origin);
    // Memory file: 0. Disk file: the stream position (-1 when unknown).
    virtual int64_t Tell();
    virtual uint32_t GetLength();
    // Disk file: back to the start. Memory file: nothing.
    virtual void Rewind();
    // Disk file: writes the buffer's bytes (position of them) to the stream
    // and flushes it, checked.
    virtual void Flush();
    virtual uint8_t* GetBuffer();

    bool IsOpen() const { return m_open; }
    bool IsMemoryOnly() const { return m_memoryOnly; }
    const std::wstring& GetFileName() const { return m_fileName; }
    uint32_t GetMode() const { return m_mode; }
    uint32_t GetPosition() const { return m_position; }
    uint32_t GetCapacity() const { return m_capacity; }

protected:
    void OpenedCheck() const;
    // operation: kOperationWrite or kOperationRead.
    void ModeCheck(uint32_t operation) const;
    // For files read whole from elsewhere: the file becomes an open memory
    // file for reading holding data, with length and capacity size.
    void OpenMemory(const std::wstring& name, std::unique_ptr<uint8_t[]> data, uint32_t size);

    std::unique_ptr<uint8_t[]> m_buffer;
    std::FILE* m_file = nullptr;
    uint32_t m_position = 0; // bytes used in the buffer; memory read/write position
    uint32_t m_capacity = 0;
    uint32_t m_length = 0;
    bool m_memoryOnly = false;
    std::wstring m_fileName;
    uint32_t m_mode = 0;
    bool m_open = false;

private:
    // Bytes that can still be read, up to count, without throwing.
    uint32_t ReadAvailable(uint8_t* destination, uint32_t count);
    void CheckEncoding(uint32_t encoding, bool mark) const;
    uint32_t DetectEncoding(uint32_t length, uint32_t& markSize);
    // The rest of the file's bytes for ReadText after its mark, with the
    // encoding they are in (kind); m_textFault says what would be lost.
    std::string ReadTextBytes(uint32_t encoding, bool mark, uint32_t& kind);
    void DecodeText(const std::string& bytes, uint32_t kind, std::wstring& text);
    void ThrowTextFault();
    void CloseStream() noexcept;
    // Writes the bytes waiting in the buffer of a file being written.
    void WriteBuffered(CFileReplacement& file);
    // After a failed write: the replacement is gone, and with it the stream.
    void DropReplacement() noexcept;

    // What the last ReadText could not take: empty, or the detail ReadWholeText reports.
    std::wstring m_textFault;
    std::unique_ptr<CFileReplacement> m_replacement; // a disk file being written
    int m_exceptionsAtOpen = 0;                      // to tell unwinding in the destructor
};

} // namespace vek
