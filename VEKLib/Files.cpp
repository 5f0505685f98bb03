#include "VEKLib/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>

#include "VEKLib/Date.h"
#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Utf8.h"

namespace vek {

namespace {

constexpr const wchar_t* kSource = L"Files";
constexpr uint32_t kMaxPath = 260;

[[noreturn]] void Fail(uint32_t code, const std::wstring& fileName, const wchar_t* function, int32_t line,
                       const wchar_t* message) {
    throw CFileException(code, fileName, function, kSource, line, message);
}

// A failed system call on a file: the label and the code follow its cause,
// the details say what failed and the system's words for why.
[[noreturn]] void FailSystem(int error, const std::wstring& fileName, const wchar_t* function, int32_t line,
                             const std::wstring& what) {
    const TFileErrorKind kind = FileErrorKindOf(error);
    throw CFileException(kind.code, kind.label, fileName, function, kSource, line,
                         what + L": " + platform::FromUtf8(platform::SystemErrorText(error)));
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// '*' any run, '?' one unit; case ignored. Iterative, so a long pattern costs
// time in proportion, not stack.
bool MatchesPattern(const std::wstring& name, const std::wstring& pattern) {
    size_t n = 0;
    size_t p = 0;
    size_t starPattern = std::wstring::npos;
    size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            starPattern = p++;
            starName = n;
        } else if (p < pattern.size() && (pattern[p] == L'?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
            ++p;
            ++n;
        } else if (starPattern != std::wstring::npos) {
            p = starPattern + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') {
        ++p;
    }
    return p == pattern.size();
}

// 1 + the line breaks before position: CR LF, LF and CR each end a line.
template <class T>
uint32_t LineAt(const T& text, size_t position) {
    uint32_t line = 1;
    for (size_t i = 0; i < position && i < text.size(); ++i) {
        if (text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))) {
            ++line;
        }
    }
    return line;
}

// A zero with more text behind it: its position, else npos.
template <class T>
size_t LosingZero(const T& text) {
    const size_t zero = std::min(text.find(typename T::value_type{}), text.size());
    if (zero == text.size() || std::all_of(text.begin() + zero, text.end(), [](auto c) { return c == 0; })) {
        return std::string::npos;
    }
    return zero;
}

// The first byte that the UTF-8 decoder would misread: a stray continuation
// byte, a sequence cut short, or a lead of more than three bytes (which the
// decoder does not know). npos when there is none before the first zero.
size_t Utf8Fault(const std::string& bytes) {
    for (size_t i = 0; i < bytes.size() && bytes[i] != 0;) {
        if (const size_t run = AsciiRunLength(bytes.data() + i, bytes.data() + bytes.size()); run != 0) {
            i += run;
            continue;
        }
        const uint8_t b = static_cast<uint8_t>(bytes[i]);
        const size_t length = b < 0x80 ? 1 : (b < 0xC0 ? 0 : (b < 0xE0 ? 2 : (b < 0xF0 ? 3 : 0)));
        if (length == 0 || i + length > bytes.size()) {
            return i;
        }
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<uint8_t>(bytes[i + k]) & 0xC0) != 0x80) {
                return i;
            }
        }
        i += length;
    }
    return std::string::npos;
}

} // namespace

// --- Paths -------------------------------------------------------------------------

std::string LocateForReading(const std::wstring& name) {
    const std::string exact = platform::FileNameToUtf8(name);
    if (exact.empty() || platform::GetFileKind(exact) != platform::FileKind::kMissing) {
        return exact;
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= exact.size()) {
        size_t end = exact.find('/', start);
        if (end == std::string::npos) {
            end = exact.size();
        }
        if (end > start) {
            parts.push_back(exact.substr(start, end - start));
        }
        start = end + 1;
    }
    std::string resolved = exact[0] == '/' ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        const std::string candidate = JoinPath(resolved, part);
        if (part == "." || part == ".." || platform::GetFileKind(candidate) != platform::FileKind::kMissing) {
            resolved = candidate;
            continue;
        }
        std::vector<platform::FolderEntry> entries;
        if (!platform::ReadFolder(resolved, entries)) {
            return exact;
        }
        const bool last = i + 1 == parts.size();
        const std::wstring wanted = platform::FromUtf8(part);
        const std::string* best = nullptr;
        for (const auto& entry : entries) {
            if (entry.name == "." || entry.name == ".." || (!last && !entry.folder)) {
                continue;
            }
            // Several names may differ only in case: the first in byte order wins.
            if (CompareNoCase(platform::FromUtf8(entry.name), wanted) == 0 && (!best || entry.name < *best)) {
                best = &entry.name;
            }
        }
        if (!best) {
            return exact;
        }
        resolved = JoinPath(resolved, *best);
    }
    return resolved;
}

int32_t FindLastOf(const std::wstring& set, const std::wstring& text) {
    if (set.empty() || text.empty()) {
        return -1;
    }
    const size_t pos = text.find_last_of(set);
    return pos == std::wstring::npos ? -1 : static_cast<int32_t>(pos);
}

std::wstring GetTextAfterLast(const std::wstring& text) {
    const int32_t pos = FindLastOf(L"\\/", text);
    return pos < 0 ? text : text.substr(static_cast<size_t>(pos) + 1);
}

std::wstring GetTextBeforeLast(const std::wstring& text) {
    const size_t pos = text.rfind(L'.');
    return pos == std::wstring::npos ? text : text.substr(0, pos);
}

std::wstring GetFilePath(const std::wstring& text) {
    if (is_string_empty(text)) {
        return std::wstring();
    }
    const int32_t pos = FindLastOf(L"\\/", text);
    return pos < 0 ? std::wstring() : text.substr(0, static_cast<size_t>(pos) + 1);
}

std::wstring CleanPath(const std::wstring& path) {
    std::wstring out;
    out.reserve(path.size());
    for (wchar_t c : path) {
        if (c == L'"') {
            continue;
        }
        if (IsSeparator(c)) {
            // A leading separator stays: here it makes the path absolute.
            if (!out.empty() && out.back() == L'/') {
                continue;
            }
            out += L'/';
        } else {
            out += c;
        }
    }
    return out;
}

std::wstring EnsureTrailingSlash(const std::wstring& path) {
    if (path.empty() || IsSeparator(path.back())) {
        return path;
    }
    return path + L'/';
}

std::wstring NormalizeFileName(const std::wstring& name) {
    std::wstring out = name;
    for (wchar_t& c : out) {
        if (c != 0 && std::wcschr(L"/\\:*?\"<>|", c) != nullptr) {
            c = L'_';
        }
    }
    return out;
}

// --- Files and folders -------------------------------------------------------------

uint32_t GetFileSize(const std::wstring& name) {
    const int64_t size = platform::RegularFileSize(LocateForReading(name));
    if (size < 0) {
        return 0;
    }
    return size > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
}

bool GetFileTime(const std::wstring& name, CDate& date) {
    platform::LocalTime local;
    if (!platform::LastWriteTime(LocateForReading(name), local)) {
        return false;
    }
    date = CDate(local.year, local.month, local.day, local.hour, local.minute, local.second);
    return true;
}

bool ListFiles(const wchar_t* folder, const wchar_t* pattern, std::vector<std::wstring>& names) {
    if (folder == nullptr) {
        return false;
    }
    std::wstring search = folder;
    if (pattern != nullptr && *pattern != 0) {
        search += L'/';
        search += pattern;
    }
    if (search.size() >= kMaxPath) {
        return false;
    }
    const int32_t cut = FindLastOf(L"\\/", search);
    std::wstring wildcard = search.substr(static_cast<size_t>(cut + 1));
    if (wildcard.empty()) {
        return false;
    }
    if (wildcard == L"*.*") {
        wildcard = L"*"; // also names without a dot
    }
    std::string local;
    if (cut == 0) {
        local = "/";
    } else if (cut > 0) {
        local = LocateForReading(search.substr(0, static_cast<size_t>(cut)));
    }
    std::vector<platform::FolderEntry> entries;
    if (!platform::ReadFolder(local, entries)) {
        return false;
    }
    bool matched = false;
    std::vector<std::wstring> found;
    for (const auto& entry : entries) {
        const std::wstring name = platform::FromUtf8(entry.name);
        if (!MatchesPattern(name, wildcard)) {
            continue;
        }
        matched = true;
        if (!entry.folder) {
            found.push_back(name);
        }
    }
    std::sort(found.begin(), found.end(), [](const std::wstring& a, const std::wstring& b) {
        const int order = CompareNoCase(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    names.insert(names.end(), found.begin(), found.end());
    return matched;
}

std::wstring GetSpecialFolder(uint32_t index) {
    const std::wstring path = platform::SpecialFolderPath(index);
    if (path.empty()) {
        return path;
    }
    return CleanPath(EnsureTrailingSlash(path));
}

std::wstring NotAFileText(platform::FileKind kind) {
    return L"It is " + platform::FromUtf8(platform::DescribeFileKind(kind)) + L", not a file.";
}

// --- Grid line -----------------------------------------------------------------------

void WalkLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, std::vector<TPoint>& cells) {
    cells.push_back(TPoint{x1, y1});
    // 64-bit so that far-apart cells cannot overflow the error terms.
    const int64_t dx = x2 >= x1 ? int64_t(x2) - x1 : int64_t(x1) - x2;
    const int64_t dy = y2 >= y1 ? int64_t(y2) - y1 : int64_t(y1) - y2;
    const int32_t sx = x2 >= x1 ? 1 : -1;
    const int32_t sy = y2 >= y1 ? 1 : -1;
    int32_t x = x1;
    int32_t y = y1;
    if (2 * dy < 2 * dx) {
        int64_t err = dx;
        for (int64_t i = 0; i < dx; ++i) {
            x += sx;
            err += 2 * dy;
            if (err > 2 * dx) {
                y += sy;
                err -= 2 * dx;
            }
            cells.push_back(TPoint{x, y});
        }
    } else {
        int64_t err = dy;
        for (int64_t i = 0; i < dy; ++i) {
            y += sy;
            err += 2 * dx;
            if (err > 2 * dy) {
                x += sx;
                err -= 2 * dy;
            }
            cells.push_back(TPoint{x, y});
        }
    }
}

// --- Replacing a file whole -----------------------------------------------------------

CFileReplacement::CFileReplacement(const std::wstring& name) : m_name(name) {}

CFileReplacement::~CFileReplacement() { Discard(); }

int CFileReplacement::Open(bool regularOnly) {
    Discard();
    m_refusedKind = platform::FileKind::kMissing;
    platform::WriteTarget target;
    errno = 0;
    if (!platform::ResolveWriteTarget(platform::FileNameToUtf8(m_name), target)) {
        return errno != 0 ? errno : ELOOP;
    }
    m_target = target.path;
    if (target.inPlace && regularOnly) {
        m_refusedKind = platform::GetFileKind(m_target);
        return ENODEV;
    }
    m_stream =
        target.inPlace ? platform::OpenFile(m_target, "wb") : platform::CreateFileBeside(m_target, target.mode, m_temp);
    // Taken at once: nothing may overwrite it before it is read.
    return m_stream != nullptr ? 0 : (errno != 0 ? errno : EIO);
}

void CFileReplacement::Fail(const wchar_t* function, int32_t line, const wchar_t* what, int error) {
    Discard();
    FailSystem(error, m_name, function, line, what);
}

void CFileReplacement::Write(const void* data, size_t size) {
    if (m_stream == nullptr) {
        Fail(L"vek::CFileReplacement::Write", __LINE__, L"File cannot be written", EBADF);
    }
    errno = 0;
    if (platform::FileCalls().Write(m_stream, data, size) != size) {
        Fail(L"vek::CFileReplacement::Write", __LINE__, L"File cannot be written", errno != 0 ? errno : EIO);
    }
}

void CFileReplacement::Flush() {
    if (m_stream == nullptr) {
        Fail(L"vek::CFileReplacement::Flush", __LINE__, L"File cannot be written", EBADF);
    }
    if (const int error = platform::FileCalls().Flush(m_stream)) {
        Fail(L"vek::CFileReplacement::Flush", __LINE__, L"File cannot be written", error);
    }
}

int CFileReplacement::Commit() {
    static const wchar_t* const kFunction = L"vek::CFileReplacement::Commit";
    Flush();
    // Some file systems report a full disk only when the data reaches it.
    if (const int error = platform::FileCalls().Sync(m_stream)) {
        Fail(kFunction, __LINE__, L"File cannot be written", error);
    }
    std::FILE* stream = m_stream;
    m_stream = nullptr;
    if (const int error = platform::FileCalls().Close(stream)) {
        Fail(kFunction, __LINE__, L"File cannot be written", error);
    }
    if (m_temp.empty()) {
        return 0;
    }
    if (const int error = platform::FileCalls().Rename(m_temp, m_target)) {
        Fail(kFunction, __LINE__, L"File cannot be put in place", error);
    }
    m_temp.clear();
    // The new name is an entry of the folder: it lasts through a power cut
    // only once the folder is on the disk too.
    return platform::FileCalls().SyncFolder(platform::FolderOf(m_target));
}

void CFileReplacement::Discard() noexcept {
    if (m_stream != nullptr) {
        (void)platform::FileCalls().Close(m_stream);
        m_stream = nullptr;
    }
    if (!m_temp.empty()) {
        platform::RemoveFile(m_temp);
        m_temp.clear();
    }
}

int ReplaceFile(const std::wstring& name, const void* data, size_t size) {
    CFileReplacement file(name);
    if (const int error = file.Open(true)) {
        if (file.GetRefusedKind() != platform::FileKind::kMissing) {
            throw CFileException(CFileException::kOther, L"Not a file", name, L"vek::ReplaceFile", kSource, __LINE__,
                                 NotAFileText(file.GetRefusedKind()));
        }
        FailSystem(error, name, L"vek::ReplaceFile", __LINE__, L"File cannot be opened for writing");
    }
    file.Write(data, size);
    return file.Commit();
}

size_t RemoveLeftReplacements(const std::wstring& name) {
    platform::WriteTarget target;
    if (!platform::ResolveWriteTarget(platform::FileNameToUtf8(name), target)) {
        return 0;
    }
    return platform::RemoveFilesLeftBeside(target.path);
}

std::wstring KeepAside(const std::wstring& name, const std::wstring& mark) {
    const std::wstring folder = GetFilePath(name);
    const std::wstring file = GetTextAfterLast(name);
    const size_t dot = file.rfind(L'.');
    // A name that is all extension (".sav") has none.
    const std::wstring stem = dot == std::wstring::npos || dot == 0 ? file : file.substr(0, dot);
    const std::wstring extension = dot == std::wstring::npos || dot == 0 ? L"" : file.substr(dot);
    for (uint32_t n = 1;; ++n) {
        const std::wstring aside = folder + stem + L"." + mark + (n > 1 ? Format(L".%u", n) : L"") + extension;
        const int error =
            platform::FileCalls().RenameNoReplace(platform::FileNameToUtf8(name), platform::FileNameToUtf8(aside));
        if (error == 0) {
            return aside;
        }
        if (error != EEXIST) {
            FailSystem(error, name, L"vek::KeepAside", __LINE__, L"File cannot be moved aside to " + aside);
        }
    }
}

// --- CFile ---------------------------------------------------------------------------

CFile::CFile(bool memoryOnly, uint32_t initialCapacity) : m_memoryOnly(memoryOnly) {
    if (initialCapacity != 0) {
        m_buffer.reset(new uint8_t[initialCapacity]());
        m_capacity = initialCapacity;
    }
}

CFile::~CFile() {
    CloseStream();
    m_buffer.reset();
    m_position = m_capacity = m_length = 0;
    m_fileName.clear();
    m_open = false;
}

void CFile::CloseStream() noexcept {
    if (m_replacement) {
        m_file = nullptr;
        std::unique_ptr<CFileReplacement> file = std::move(m_replacement);
        // Half of what an interrupted writer meant to write must not replace the old file.
        if (std::uncaught_exceptions() <= m_exceptionsAtOpen) {
            try {
                WriteBuffered(*file);
                file->Commit();
            } catch (...) {
            }
        }
        return;
    }
    if (m_file == nullptr) {
        return;
    }
    if (m_position > 0 && m_buffer) {
        std::fwrite(m_buffer.get(), 1, m_position, m_file);
        m_position = 0;
    }
    std::fclose(m_file);
    m_file = nullptr;
}

uint32_t CFile::Detach() {
    if (m_replacement) {
        // Nothing outside can complete it: it is completed here.
        const std::unique_ptr<CFileReplacement> file = std::move(m_replacement);
        m_file = nullptr;
        (void)m_buffer.release();
        m_position = m_capacity = m_length = 0;
        file->Commit();
        return 0;
    }
    (void)m_buffer.release();
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_position = m_capacity = m_length = 0;
    return 0;
}

void CFile::Reserve(uint32_t capacity) {
    if (capacity <= m_capacity) {
        return;
    }
    std::unique_ptr<uint8_t[]> grown(new uint8_t[capacity]());
    // All of it: a memory file being read holds bytes beyond the position too.
    if (m_capacity > 0) {
        std::memcpy(grown.get(), m_buffer.get(), m_capacity);
    }
    m_buffer = std::move(grown);
    m_capacity = capacity;
}

void CFile::Open(const std::wstring& name, uint32_t mode) {
    if (m_open) {
        Close();
    }
    m_fileName = name;
    if (mode > kModeRead) {
        Fail(CFileException::kAccessDenied, m_fileName, L"vek::CFile::Open", __LINE__, L"File cannot be opened.");
    }
    if (m_memoryOnly) {
        m_length = mode == kModeWrite ? 0 : m_capacity;
        m_position = 0;
    } else if (mode == kModeRead) {
        const std::string local = LocateForReading(name);
        m_file = platform::OpenFile(local, "rb");
        if (m_file == nullptr) {
            const int error = errno;
            // Something is there: say why it cannot be read rather than leave "not found" alone.
            const platform::FileKind kind = platform::GetFileKind(local);
            const std::wstring why = kind == platform::FileKind::kMissing ? L""
                                     : kind == platform::FileKind::kRegular
                                         ? L"It cannot be read: " + platform::FromUtf8(platform::SystemErrorText(error))
                                         : NotAFileText(kind);
            Fail(CFileException::kNotFound, m_fileName, L"vek::CFile::Open", 449, why.c_str());
        }
    } else {
        auto file = std::make_unique<CFileReplacement>(name);
        if (const int error = file->Open(false)) {
            const bool readToo = mode == kModeReadWrite;
            FailSystem(error, m_fileName, L"vek::CFile::Open", readToo ? 456 : 463,
                       readToo ? L"File cannot be opened" : L"File cannot be opened for writing");
        }
        m_file = file->GetStream();
        m_replacement = std::move(file);
        m_exceptionsAtOpen = std::uncaught_exceptions();
    }
    if (!m_memoryOnly) {
        // The size of the file just opened, which is the one the name stands for.
        const int64_t size = platform::StreamSize(m_file);
        m_length = size < 0 ? 0 : (size > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<uint32_t>(size));
    }
    m_mode = mode;
    m_open = true;
}

void CFile::OpenMemory(const std::wstring& name, std::unique_ptr<uint8_t[]> data, uint32_t size) {
    if (m_open) {
        Close();
    }
    CloseStream();
    m_fileName = name;
    m_buffer = std::move(data);
    m_capacity = m_buffer ? size : 0;
    m_length = m_capacity;
    m_position = 0;
    m_memoryOnly = true;
    m_mode = kModeRead;
    m_open = true;
}

void CFile::Close() {
    if (m_replacement) {
        m_open = false;
        m_file = nullptr;
        // Destroyed on a throw, which drops the new bytes.
        const std::unique_ptr<CFileReplacement> file = std::move(m_replacement);
        WriteBuffered(*file);
        file->Commit();
        return;
    }
    // A Flush of a disk file that has no stream throws; closing must not.
    try {
        if (m_memoryOnly || m_file != nullptr) {
            Flush();
        }
    } catch (...) {
    }
    CloseStream();
    m_open = false;
}

void CFile::OpenedCheck() const {
    if (!m_open) {
        Fail(CFileException::kAccessDenied, L"", L"vek::CFile::OpenedCheck", 344, L"File is not open.");
    }
}

void CFile::ModeCheck(uint32_t operation) const {
    if (operation == kOperationWrite && m_mode != kModeWrite && m_mode != kModeReadWrite) {
        Fail(CFileException::kAccessDenied, m_fileName, L"vek::CFile::ModeCheck", 335, L"File is read-only");
    }
    if (operation == kOperationRead && m_mode != kModeRead && m_mode != kModeReadWrite) {
        Fail(CFileException::kAccessDenied, m_fileName, L"vek::CFile::ModeCheck", 337, L"File is write-only");
    }
}

uint32_t CFile::Read(void* destination, uint32_t count) {
    OpenedCheck();
    ModeCheck(kOperationRead);
    if (!m_memoryOnly) {
        if (m_file == nullptr) {
            Fail(CFileException::kAccessDenied, m_fileName, L"vek::CFile::Read", 499, L"File not ready.");
        }
        return count == 0 ? 0 : static_cast<uint32_t>(std::fread(destination, 1, count, m_file));
    }
    if (m_capacity == 0) {
        Fail(CFileException::kOther, m_fileName, L"vek::CFile::Read", 488, L"File buffer is empty.");
    }
    // Summed in 64 bits: a 32-bit sum could wrap and pass the test.
    if (uint64_t(m_position) + count > m_capacity) {
        Fail(CFileException::kOther, m_fileName, L"vek::CFile::Read", 491, L"Overflow.");
    }
    if (count > 0) {
        std::memcpy(destination, m_buffer.get() + m_position, count);
    }
    m_position += count;
    return count;
}

uint32_t CFile::Write(const void* source, uint32_t count) {
    OpenedCheck();
    ModeCheck(kOperationWrite);
    if (!m_memoryOnly) {
        if (m_file == nullptr || !m_replacement) {
            Fail(CFileException::kAccessDenied, m_fileName, L"vek::CFile::Write", 671, L"File not ready.");
        }
        try {
            m_replacement->Write(source, count);
        } catch (...) {
            DropReplacement();
            throw;
        }
        m_length = uint64_t(m_length) + count > 0xFFFFFFFFu ? 0xFFFFFFFFu : m_length + count;
        return count;
    }
    const uint64_t end = uint64_t(m_position) + count;
    if (end > 0xFFFFFFFFu) {
        Fail(CFileException::kOther, m_fileName, L"vek::CFile::Write", __LINE__, L"Overflow.");
    }
    if (end > m_capacity) {
        Reserve(static_cast<uint32_t>(end));
    }
    if (count > 0) {
        std::memcpy(m_buffer.get() + m_position, source, count);
    }
    m_position = static_cast<uint32_t>(end);
    // Writing over bytes the file already holds does not make it longer.
    m_length = std::max(m_length, m_position);
    return count;
}

bool CFile::Seek(int64_t offset, uint32_t origin) {
    OpenedCheck();
    if (m_memoryOnly) {
        return false;
    }
    const int whence = origin == kSeekCurrent ? 1 : (origin == kSeekEnd ? 2 : 0);
    return platform::SeekStream(m_file, offset, whence);
}

int64_t CFile::Tell() {
    OpenedCheck();
    if (m_memoryOnly) {
        return 0;
    }
    return platform::TellStream(m_file);
}

uint32_t CFile::GetLength() {
    OpenedCheck();
    return m_length;
}

void CFile::Rewind() {
    OpenedCheck();
    if (m_memoryOnly) {
        return;
    }
    if (m_file == nullptr) {
        Fail(CFileException::kAccessDenied, m_fileName, L"vek::CFile::Rewind", 640, L"File not ready.");
    }
    std::rewind(m_file);
}

void CFile::Flush() {
    if (m_memoryOnly) {
        return;
    }
    if (m_file == nullptr) {
        Fail(CFileException::kAccessDenied, m_fileName, L"vek::CFile::Flush", 655, L"File not ready.");
    }
    if (!m_replacement) {
        std::fflush(m_file); // a file opened for reading has nothing of ours to write
        return;
    }
    try {
        WriteBuffered(*m_replacement);
        m_replacement->Flush();
    } catch (...) {
        DropReplacement();
        throw;
    }
}

void CFile::WriteBuffered(CFileReplacement& file) {
    if (m_position > 0 && m_buffer) {
        file.Write(m_buffer.get(), m_position);
        m_position = 0;
    }
}

void CFile::DropReplacement() noexcept {
    m_replacement.reset();
    m_file = nullptr;
}

uint8_t* CFile::GetBuffer() { return m_buffer.get(); }

// --- Text ----------------------------------------------------------------------------

uint32_t CFile::ReadAvailable(uint8_t* destination, uint32_t count) {
    if (count == 0) {
        return 0;
    }
    if (m_memoryOnly) {
        // Never past the buffer, and an empty buffer simply has nothing.
        count = std::min(count, m_capacity - std::min(m_position, m_capacity));
        if (count == 0) {
            return 0;
        }
    }
    return Read(destination, count);
}

void CFile::CheckEncoding(uint32_t encoding, bool mark) const {
    if (!m_memoryOnly || !mark) {
        CEncodingValidator::Check(m_fileName, encoding, true, mark);
        return;
    }
    // A memory file's size is its own, not that of a disk file of the same
    // name. With a mark the other rules cannot apply; the size rule is the
    // validator's own.
    if (encoding == kEncodingUtf8 && m_length < 3) {
        throw CFileException(CFileException::kInvalidContent, m_fileName, L"vek::CEncodingValidator::Check", L"Strings",
                             363, L"Invalid BOM");
    }
    if (encoding == kEncodingUtf16 && m_length < 2) {
        throw CFileException(CFileException::kInvalidContent, m_fileName, L"vek::CEncodingValidator::Check", L"Strings",
                             365, L"Invalid BOM");
    }
}

// Looks at the first bytes without losing them: a memory file cannot go
// back, and a two-byte file has no third byte to compare.
uint32_t CFile::DetectEncoding(uint32_t length, uint32_t& markSize) {
    markSize = 0;
    if (length < 2) {
        return kEncodingNarrow;
    }
    uint8_t head[3] = {0, 0, 0};
    const uint32_t wanted = std::min<uint32_t>(length, 3);
    uint32_t got = 0;
    int64_t start = 0;
    if (m_memoryOnly) {
        got = std::min(wanted, m_capacity - std::min(m_position, m_capacity));
        if (got > 0) {
            std::memcpy(head, m_buffer.get() + m_position, got);
        }
    } else {
        start = Tell();
        got = Read(head, wanted);
    }
    uint32_t encoding = kEncodingNarrow;
    const bool bigEndian = got >= 2 && head[0] == 0xFE && head[1] == 0xFF;
    if (got >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
        encoding = kEncodingUtf16;
        markSize = 2;
    } else if (got >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
        encoding = kEncodingUtf8;
        markSize = 3;
    }
    if (m_memoryOnly) {
        m_position += bigEndian ? 0 : markSize;
    } else if (got != markSize || bigEndian) {
        if (start < 0 || !Seek(start + (bigEndian ? 0 : markSize), kSeekStart)) {
            Rewind();
        }
    }
    if (bigEndian) {
        Fail(CFileException::kOther, m_fileName, L"vek::CFile::ReadText", 535, L"Big Endian is not supported");
    }
    return encoding;
}

std::string CFile::ReadTextBytes(uint32_t encoding, bool mark, uint32_t& kind) {
    OpenedCheck();
    ModeCheck(kOperationRead);
    CheckEncoding(encoding, mark);
    uint32_t length = GetLength();

    kind = encoding;
    uint32_t markSize = 0;
    if (encoding == kEncodingDetect) {
        kind = DetectEncoding(length, markSize);
    } else if (mark && (encoding == kEncodingUtf8 || encoding == kEncodingUtf16)) {
        // Skipped unseen, as the caller says it is there.
        uint8_t skipped[3];
        markSize = ReadAvailable(skipped, encoding == kEncodingUtf8 ? 3 : 2);
    }
    // The length was taken at opening; the file may have changed since.
    length = length > markSize ? length - markSize : 0;
    if (kind != kEncodingNarrow && kind != kEncodingUtf8 && kind != kEncodingUtf16) {
        return {};
    }
    std::string bytes(length, '\0');
    bytes.resize(ReadAvailable(reinterpret_cast<uint8_t*>(bytes.data()), length));
    m_textFault.clear();
    if (kind != kEncodingUtf16) {
        if (const size_t zero = LosingZero(bytes); zero != std::string::npos) {
            m_textFault = Format(L"Zero byte in the text, line %lu", LineAt(bytes, zero));
        } else if (const size_t bad = kind == kEncodingUtf8 ? Utf8Fault(bytes) : std::string::npos;
                   bad != std::string::npos) {
            m_textFault = Format(L"Byte 0x%02X is not UTF-8, line %lu", static_cast<uint32_t>(uint8_t(bytes[bad])),
                                 LineAt(bytes, bad));
        }
    }
    return bytes;
}

void CFile::DecodeText(const std::string& bytes, uint32_t kind, std::wstring& text) {
    if (kind == kEncodingNarrow) {
        text = NarrowToWide(std::string_view(bytes.c_str()));
    } else if (kind == kEncodingUtf8) {
        // Replaced like the other encodings: a reused string must not grow
        // with each UTF-8 file read into it.
        text.clear();
        Utf8ToWide(bytes.c_str(), text);
    } else if (kind == kEncodingUtf16) {
        // Whole units only: an odd last byte is half a unit.
        std::wstring units;
        units.reserve(bytes.size() / 2);
        for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
            units += static_cast<wchar_t>(uint32_t(uint8_t(bytes[i])) | (uint32_t(uint8_t(bytes[i + 1])) << 8));
        }
        if (const size_t zero = LosingZero(units); zero != std::wstring::npos) {
            m_textFault = Format(L"Zero character in the text, line %lu", LineAt(units, zero));
        }
        units.resize(std::find(units.begin(), units.end(), L'\0') - units.begin());
        text = std::move(units);
    }
}

void CFile::ReadText(std::wstring& text, uint32_t encoding, bool mark) {
    uint32_t kind = 0;
    const std::string bytes = ReadTextBytes(encoding, mark, kind);
    DecodeText(bytes, kind, text);
}

void CFile::ReadWholeText(std::wstring& text, uint32_t encoding, bool mark) {
    m_textFault.clear();
    ReadText(text, encoding, mark);
    ThrowTextFault();
}

bool CFile::ReadWholeText(std::string& ascii, std::wstring& text, uint32_t encoding, bool mark) {
    m_textFault.clear();
    uint32_t kind = 0;
    std::string bytes = ReadTextBytes(encoding, mark, kind);
    ThrowTextFault();
    if (kind != kEncodingUtf16) {
        // Trailing zeros end the text; any other is a fault already thrown.
        bytes.resize(std::min(bytes.find('\0'), bytes.size()));
        if (AsciiRunLength(bytes.data(), bytes.data() + bytes.size()) == bytes.size()) {
            ascii = std::move(bytes);
            return true;
        }
    }
    DecodeText(bytes, kind, text);
    ThrowTextFault();
    return false;
}

void CFile::ThrowTextFault() {
    if (!m_textFault.empty()) {
        Fail(CFileException::kInvalidContent, m_fileName, L"vek::CFile::ReadText", __LINE__, m_textFault.c_str());
    }
}

void CFile::WriteText(const std::wstring& text, uint32_t encoding, bool mark) {
    OpenedCheck();
    ModeCheck(kOperationWrite);
    CEncodingValidator::Check(m_fileName, encoding, false, mark);
    const std::wstring body(text.c_str()); // up to the first zero unit
    std::string bytes;
    if (encoding == kEncodingNarrow) {
        bytes = WideToNarrow(body);
    } else if (encoding == kEncodingUtf8) {
        if (mark) {
            bytes = "\xEF\xBB\xBF";
        }
        WideToUtf8(body.c_str(), bytes);
    } else if (encoding == kEncodingUtf16) {
        bytes.reserve(2 * body.size() + 2);
        if (mark) {
            bytes = "\xFF\xFE";
        }
        for (wchar_t c : body) {
            const uint32_t unit = static_cast<uint16_t>(static_cast<uint32_t>(c));
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
    } else {
        return;
    }
    if (bytes.size() > 0xFFFFFFFFu) {
        Fail(CFileException::kOther, m_fileName, L"vek::CFile::WriteText", __LINE__, L"Overflow.");
    }
    Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

} // namespace vek
