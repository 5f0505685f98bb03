#include "data/DataArchive.h"

#include <irrlicht.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>

#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
#include "data/ZipArchive.h"
#include "platform/File.h"
#include "platform/Utf8.h"

namespace {

// The password is cut from these. MakeArchive.cmake reads the same three
// lines from this file to build the archive, so each stays on one line and
// uses only letters, digits and spaces: no escapes to parse, the same bytes
// in every code page, and nothing that a command line would split.
constexpr wchar_t kKeyText[] = L"Nine cold lanterns burn on Kessa Fjords";
constexpr uint32_t kKeyStart = 10;
constexpr uint32_t kKeyNumber = 80417;

constexpr uint32_t kKeyTextLength = 39;
constexpr uint32_t kKeyPieceLength = 21;

constexpr bool IsKeyCharacter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L' ';
}

constexpr bool IsPlainKeyText() {
    for (uint32_t i = 0; i < kKeyTextLength; ++i) {
        if (!IsKeyCharacter(kKeyText[i])) {
            return false;
        }
    }
    return true;
}

static_assert(sizeof(kKeyText) / sizeof(kKeyText[0]) == kKeyTextLength + 1, "the key text has 39 characters");
static_assert(kKeyStart + kKeyPieceLength <= kKeyTextLength, "the password piece lies inside the key text");
// A character outside ASCII could turn into '?' or into different bytes
// depending on the code page, and the archive would no longer open.
static_assert(IsPlainKeyText(), "the key text is plain ASCII letters, digits and spaces");

constexpr const wchar_t* kSource = L"IrrWrap";

// Loose files until set-up opens the archive.
bool g_archiveInUse = false;

// Drops an engine file on every way out.
class CFileRef {
public:
    explicit CFileRef(irr::io::IReadFile* file) : m_file(file) {}
    CFileRef(const CFileRef&) = delete;
    CFileRef& operator=(const CFileRef&) = delete;
    ~CFileRef() {
        if (m_file != nullptr) {
            m_file->drop();
        }
    }
    irr::io::IReadFile* Get() const { return m_file; }
    irr::io::IReadFile* operator->() const { return m_file; }

private:
    irr::io::IReadFile* m_file;
};

// Names in the archive and to the engine are UTF-8 with '/' between folders.
std::string StoredName(const std::wstring& name) {
    std::string path = platform::ToUtf8(name);
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    return path;
}

// A stored file's size as the game keeps it: 32 bits.
uint32_t CheckedSize(long size, const std::wstring& name, const wchar_t* function) {
    if (size < 0 || static_cast<unsigned long>(size) > std::numeric_limits<uint32_t>::max()) {
        throw vek::CFileException(vek::CFileException::kOther, name, function, kSource, __LINE__,
                                  L"File is too large.");
    }
    return static_cast<uint32_t>(size);
}

void ReadAll(irr::io::IReadFile* file, void* buffer, uint32_t size, const std::wstring& name, const wchar_t* function) {
    // The engine reads at most a signed 32-bit count at a time.
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < size) {
        const uint32_t chunk = std::min<uint32_t>(size - done, 0x40000000u);
        const irr::s32 got = file->read(out + done, chunk);
        if (got <= 0) {
            throw vek::CFileException(vek::CFileException::kOther, name, function, kSource, __LINE__,
                                      L"Unexpected end of file.");
        }
        done += static_cast<uint32_t>(got);
    }
}

// The engine's loaders seek and read as they please; a short file must not
// let them past its end (the engine's own memory file lets a seek before
// its start through).
class CBoundedReadFile : public irr::io::IReadFile {
public:
    CBoundedReadFile(std::unique_ptr<uint8_t[]> data, uint32_t size, const std::string& name)
        : m_data(std::move(data)), m_size(size), m_name(name.c_str()) {}

    irr::s32 read(void* buffer, irr::u32 sizeToRead) override {
        const uint64_t left = m_size - m_position;
        const uint32_t count = static_cast<uint32_t>(
            std::min<uint64_t>({sizeToRead, left, uint64_t{std::numeric_limits<irr::s32>::max()}}));
        if (count > 0) {
            std::memcpy(buffer, m_data.get() + m_position, count);
            m_position += count;
        }
        // Loaders read a header without looking at the count: what a short
        // file lacks reads as zeros rather than as whatever the buffer held.
        if (count < sizeToRead) {
            std::memset(static_cast<uint8_t*>(buffer) + count, 0, sizeToRead - count);
        }
        return static_cast<irr::s32>(count);
    }
    bool seek(long finalPos, bool relativeMovement) override {
        long target = finalPos;
        if (relativeMovement && __builtin_add_overflow(static_cast<long>(m_position), finalPos, &target)) {
            return false;
        }
        if (target < 0 || static_cast<unsigned long>(target) > m_size) {
            return false;
        }
        m_position = static_cast<uint32_t>(target);
        return true;
    }
    long getSize() const override { return static_cast<long>(m_size); }
    long getPos() const override { return static_cast<long>(m_position); }
    const irr::io::path& getFileName() const override { return m_name; }

private:
    std::unique_ptr<uint8_t[]> m_data;
    uint32_t m_size;
    uint32_t m_position = 0;
    irr::io::path m_name;
};

} // namespace

irr::io::IReadFile* CreateBoundedReadFile(std::unique_ptr<uint8_t[]> data, uint32_t size, const std::string& name) {
    return new CBoundedReadFile(std::move(data), size, name);
}

CDataArchive& DataArchive() {
    static CDataArchive archive;
    return archive;
}

bool IsArchiveInUse() { return g_archiveInUse; }

void SetArchiveInUse(bool inUse) { g_archiveInUse = inUse; }

CDataArchive::~CDataArchive() = default;

std::wstring CDataArchive::GetString() { return std::wstring(kKeyText, kKeyTextLength); }

std::string CDataArchive::GetPassword() {
    const std::wstring key = GetString().substr(kKeyStart, kKeyPieceLength) + vek::Format(L"%lu", kKeyNumber);
    return vek::WideToNarrow(key);
}

void CDataArchive::SetUp(irr::IrrlichtDevice* device, bool forceFiles) {
    SetDevice(device);
    SetArchiveInUse(!forceFiles);
    if (forceFiles) {
        m_ready = true;
        return;
    }
    Init(kDataArchiveFile);
}

void CDataArchive::Reset() {
    m_archive.reset();
    m_device = nullptr;
    m_ready = false;
}

void CDataArchive::Init(const std::wstring& archiveName) {
    const std::string local = vek::LocateForReading(archiveName);
    std::unique_ptr<IZipSource> source = OpenZipFile(local);
    const int error = errno;
    // Why it cannot be opened, when that is not that it is missing.
    const platform::FileKind kind = platform::GetFileKind(local);
    if (!source && kind != platform::FileKind::kMissing) {
        throw vek::CException(
            L"CDataArchive::Init", kSource, __LINE__,
            L"Cannot access data archive file! (" + archiveName + L": " +
                (kind == platform::FileKind::kRegular ? platform::FromUtf8(platform::SystemErrorText(error))
                                                      : vek::NotAFileText(kind)) +
                L")");
    }
    Init(archiveName, std::move(source));
}

void CDataArchive::Init(const std::wstring& archiveName, std::unique_ptr<IZipSource> source) {
    m_archive.reset();
    m_ready = false;
    const auto refuse = [&](int32_t line, const std::wstring& what) {
        throw vek::CException(L"CDataArchive::Init", kSource, line,
                              L"Cannot access data archive file! (" + archiveName + L": " + what + L")");
    };
    if (!source) {
        refuse(__LINE__, L"the file cannot be opened");
    }
    std::unique_ptr<CZipArchive> archive;
    try {
        archive = std::make_unique<CZipArchive>(std::move(source));
        if (!archive->SetPassword(GetPassword())) {
            refuse(__LINE__, L"the password does not open it");
        }
    } catch (const vek::CException& e) {
        if (e.GetFunction() == L"CDataArchive::Init") {
            throw;
        }
        refuse(__LINE__, e.GetDetails());
    }
    m_archive = std::move(archive);
    m_archiveName = archiveName;
    m_ready = true;
}

size_t CDataArchive::FindStored(const std::wstring& name, const wchar_t* function) const {
    const std::optional<size_t> index = m_archive->Find(StoredName(name));
    if (!index) {
        throw vek::CFileException(vek::CFileException::kNotFound, name, function, kSource, __LINE__, L"");
    }
    return *index;
}

std::unique_ptr<uint8_t[]> CDataArchive::ReadStored(size_t index, const std::wstring& name, const wchar_t* function) {
    try {
        return m_archive->Read(index);
    } catch (const vek::CFileException&) {
        throw;
    } catch (const vek::CException& e) {
        // The stored file alone is no place a player can find.
        throw vek::CFileException(vek::CFileException::kInvalidContent, name, function, kSource, __LINE__,
                                  L"in the data archive " + m_archiveName + L", " + e.GetDetails());
    }
}

irr::io::IReadFile* CDataArchive::OpenLoose(const std::wstring& name, const wchar_t* function) {
    if (m_device == nullptr) {
        throw vek::CException(function, kSource, __LINE__, L"Data archive not ready.");
    }
    // Loose files are found whatever the case of their names, as every other
    // reader of game data finds them.
    const std::string local = vek::LocateForReading(name);
    // The engine's open would wait for a pipe's writer.
    if (const platform::FileKind kind = platform::GetFileKind(local);
        kind != platform::FileKind::kMissing && kind != platform::FileKind::kRegular) {
        throw vek::CFileException(vek::CFileException::kNotFound, name, function, kSource, __LINE__,
                                  vek::NotAFileText(kind));
    }
    irr::io::IFileSystem* fileSystem = m_device->getFileSystem();
    irr::io::IReadFile* file = nullptr;
    if (!fileSystem->existFile(local.c_str()) || (file = fileSystem->createAndOpenFile(local.c_str())) == nullptr) {
        throw vek::CFileException(vek::CFileException::kNotFound, name, function, kSource, __LINE__, L"");
    }
    return file;
}

uint32_t CDataArchive::GetFileSize(const std::wstring& name) {
    if (m_archive) {
        return m_archive->GetEntry(FindStored(name, L"CDataArchive::GetFileSize")).size;
    }
    const CFileRef file(OpenLoose(name, L"CDataArchive::GetFileSize"));
    return CheckedSize(file->getSize(), name, L"CDataArchive::GetFileSize");
}

void CDataArchive::GetFileData(const std::wstring& name, void* buffer, uint32_t bufferSize) {
    static const wchar_t* const kFunction = L"CDataArchive::GetFileData";
    if (m_archive) {
        const size_t index = FindStored(name, kFunction);
        const uint32_t size = m_archive->GetEntry(index).size;
        if (size > bufferSize) {
            throw vek::CFileException(vek::CFileException::kOther, name, kFunction, kSource, __LINE__, L"Overflow.");
        }
        const std::unique_ptr<uint8_t[]> data = ReadStored(index, name, kFunction);
        if (size > 0) {
            std::memcpy(buffer, data.get(), size);
        }
        return;
    }
    const CFileRef file(OpenLoose(name, kFunction));
    const uint32_t size = CheckedSize(file->getSize(), name, kFunction);
    // The file may have grown since its size was asked for.
    if (size > bufferSize) {
        throw vek::CFileException(vek::CFileException::kOther, name, kFunction, kSource, __LINE__, L"Overflow.");
    }
    ReadAll(file.Get(), buffer, size, name, kFunction);
}

irr::io::IReadFile* CDataArchive::GetIrrFile(const std::wstring& name) {
    static const wchar_t* const kFunction = L"CDataArchive::GetIrrFile";
    if (!m_archive) {
        return OpenLoose(name, kFunction);
    }
    const size_t index = FindStored(name, kFunction);
    const TZipEntry& entry = m_archive->GetEntry(index);
    return CreateBoundedReadFile(ReadStored(index, name, kFunction), entry.size, entry.name);
}

uint32_t CDataArchive::ReadWholeFile(const std::wstring& name, std::unique_ptr<uint8_t[]>& data) {
    // Reported as the size query that a reader's open starts with.
    if (m_archive) {
        const size_t index = FindStored(name, L"CDataArchive::GetFileSize");
        data = ReadStored(index, name, L"CDataArchive::GetFileData");
        return m_archive->GetEntry(index).size;
    }
    const CFileRef file(OpenLoose(name, L"CDataArchive::GetFileSize"));
    const uint32_t size = CheckedSize(file->getSize(), name, L"CDataArchive::GetFileSize");
    std::unique_ptr<uint8_t[]> bytes(size > 0 ? new uint8_t[size] : nullptr);
    ReadAll(file.Get(), bytes.get(), size, name, L"CDataArchive::GetFileData");
    data = std::move(bytes);
    return size;
}

std::vector<std::wstring> CDataArchive::ListFiles(const std::wstring& folder, const std::wstring& extension) const {
    std::vector<std::wstring> names;
    if (!m_archive) {
        vek::ListFiles(folder.c_str(), (L"*" + extension).c_str(), names);
        return names;
    }
    const std::string prefix = StoredName(vek::EnsureTrailingSlash(folder));
    for (size_t i = 0; i < m_archive->GetCount(); ++i) {
        const std::string& stored = m_archive->GetEntry(i).name;
        if (stored.size() <= prefix.size() || stored.compare(0, prefix.size(), prefix) != 0 ||
            stored.find('/', prefix.size()) != std::string::npos) {
            continue;
        }
        const std::wstring name = platform::FromUtf8(stored.substr(prefix.size()));
        if (vek::EndsWithNoCase(extension.c_str(), name)) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end(),
              [](const std::wstring& a, const std::wstring& b) { return vek::CompareNoCase(a, b) < 0; });
    return names;
}
