#include "data/DataArchive.h"

#include <irrlicht.h>

#include <algorithm>
#include <limits>

#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
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

// 'ZIP' as the engine spells archive types.
constexpr irr::io::E_FILE_ARCHIVE_TYPE kZipArchive = irr::io::EFAT_ZIP;
static_assert(static_cast<uint32_t>(irr::io::EFAT_ZIP) == 0x0050495Au);

// Loose files until set-up registers the archive.
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

[[noreturn]] void CannotAccess(int32_t line) {
    throw vek::CException(L"CDataArchive::Init", kSource, line, L"Cannot access data archive file!");
}

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

} // namespace

CDataArchive& DataArchive() {
    static CDataArchive archive;
    return archive;
}

bool IsArchiveInUse() { return g_archiveInUse; }

void SetArchiveInUse(bool inUse) { g_archiveInUse = inUse; }

CDataArchive::~CDataArchive() {
    // The device may be gone by now, so the file system is not touched.
    if (m_archive != nullptr) {
        m_archive->drop();
        m_archive = nullptr;
    }
}

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

void CDataArchive::ForgetArchive() {
    if (m_archive == nullptr) {
        return;
    }
    if (m_device != nullptr) {
        m_device->getFileSystem()->removeFileArchive(m_archive);
    }
    m_archive->drop();
    m_archive = nullptr;
    m_entries.clear();
}

void CDataArchive::Reset() {
    ForgetArchive();
    m_device = nullptr;
    m_ready = false;
}

void CDataArchive::Init(const std::wstring& archiveName) {
    if (m_device == nullptr) {
        CannotAccess(__LINE__);
    }
    ForgetArchive();
    m_ready = false;
    irr::io::IFileSystem* fileSystem = m_device->getFileSystem();
    const std::string password = GetPassword();
    irr::io::IFileArchive* archive = nullptr;
    if (!fileSystem->addFileArchive(platform::ToUtf8(archiveName).c_str(), false, false, kZipArchive, password.c_str(),
                                    &archive) ||
        archive == nullptr) {
        CannotAccess(__LINE__);
    }
    archive->grab();
    m_archive = archive;

    // The engine takes any password here; a wrong one shows only when a
    // stored file is opened. The smallest non-empty file is read to prove it.
    const irr::io::IFileList* list = archive->getFileList();
    bool haveProbe = false;
    irr::u32 probe = 0;
    for (irr::u32 i = 0; i < list->getFileCount(); ++i) {
        if (list->isDirectory(i)) {
            continue;
        }
        m_entries.emplace(list->getFullFileName(i).c_str(), i);
        const irr::u32 size = list->getFileSize(i);
        if (size > 0 && (!haveProbe || size < list->getFileSize(probe))) {
            probe = i;
            haveProbe = true;
        }
    }
    bool readable = haveProbe;
    if (readable) {
        irr::io::IReadFile* file = archive->createAndOpenFile(probe);
        readable = file != nullptr;
        if (file != nullptr) {
            const std::wstring name = platform::FromUtf8(list->getFullFileName(probe).c_str());
            try {
                const uint32_t size = CheckedSize(file->getSize(), name, L"CDataArchive::Init");
                std::unique_ptr<uint8_t[]> bytes(new uint8_t[size]);
                ReadAll(file, bytes.get(), size, name, L"CDataArchive::Init");
            } catch (const vek::CFileException&) {
                readable = false;
            }
            file->drop();
        }
    }
    if (!readable) {
        // Nothing of it stays registered, or its names would still be found.
        ForgetArchive();
        CannotAccess(__LINE__);
    }
    m_ready = true;
}

irr::io::IReadFile* CDataArchive::OpenStored(const std::wstring& name, const wchar_t* function) {
    const std::string path = StoredName(name);
    irr::io::IReadFile* file = nullptr;
    if (m_archive != nullptr) {
        // Only the archive: the engine would also take loose files for names
        // it lacks, and would match names in any case.
        const auto entry = m_entries.find(path);
        if (entry == m_entries.end()) {
            throw vek::CFileException(vek::CFileException::kNotFound, name, function, kSource, __LINE__, L"");
        }
        file = m_archive->createAndOpenFile(entry->second);
        if (file == nullptr) {
            throw vek::CFileException(vek::CFileException::kOther, name, function, kSource, __LINE__,
                                      L"File cannot be read.");
        }
        return file;
    }
    if (m_device == nullptr) {
        throw vek::CException(function, kSource, __LINE__, L"Data archive not ready.");
    }
    // Loose files are found whatever the case of their names, as every other
    // reader of game data finds them.
    const std::string local = vek::LocateForReading(name);
    irr::io::IFileSystem* fileSystem = m_device->getFileSystem();
    if (!fileSystem->existFile(local.c_str()) || (file = fileSystem->createAndOpenFile(local.c_str())) == nullptr) {
        throw vek::CFileException(vek::CFileException::kNotFound, name, function, kSource, __LINE__, L"");
    }
    return file;
}

uint32_t CDataArchive::GetFileSize(const std::wstring& name) {
    const CFileRef file(OpenStored(name, L"CDataArchive::GetFileSize"));
    return CheckedSize(file->getSize(), name, L"CDataArchive::GetFileSize");
}

void CDataArchive::GetFileData(const std::wstring& name, void* buffer, uint32_t bufferSize) {
    const CFileRef file(OpenStored(name, L"CDataArchive::GetFileData"));
    const uint32_t size = CheckedSize(file->getSize(), name, L"CDataArchive::GetFileData");
    // The file may have grown since its size was asked for.
    if (size > bufferSize) {
        throw vek::CFileException(vek::CFileException::kOther, name, L"CDataArchive::GetFileData", kSource, __LINE__,
                                  L"Overflow.");
    }
    ReadAll(file.Get(), buffer, size, name, L"CDataArchive::GetFileData");
}

irr::io::IReadFile* CDataArchive::GetIrrFile(const std::wstring& name) {
    return OpenStored(name, L"CDataArchive::GetIrrFile");
}

uint32_t CDataArchive::ReadWholeFile(const std::wstring& name, std::unique_ptr<uint8_t[]>& data) {
    // Reported as the size query that a reader's open starts with.
    const CFileRef file(OpenStored(name, L"CDataArchive::GetFileSize"));
    const uint32_t size = CheckedSize(file->getSize(), name, L"CDataArchive::GetFileSize");
    std::unique_ptr<uint8_t[]> bytes(size > 0 ? new uint8_t[size] : nullptr);
    ReadAll(file.Get(), bytes.get(), size, name, L"CDataArchive::GetFileData");
    data = std::move(bytes);
    return size;
}
