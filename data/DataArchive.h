#pragma once
// The game's data archive: one password-protected ZIP file, "Morvheld.dat",
// from which every reader of game data takes its files by their stored path
// ("Data/...", "Graphics/..."). With "force_files" the game reads loose files
// instead (development), through the engine's file system.
//
// The archive is read by our own checked reader (CZipArchive), never by the
// engine's: a damaged or hostile archive is refused whole when it is opened,
// and the engine gets a stored file only as a read-file over its checked
// bytes, which never reads or seeks outside them.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace irr {
class IrrlichtDevice;
namespace io {
class IReadFile;
} // namespace io
} // namespace irr

class CZipArchive;
class IZipSource;

// The archive that the game opens from its working directory.
inline constexpr wchar_t kDataArchiveFile[] = L"Morvheld.dat";

class CDataArchive {
public:
    CDataArchive() = default;
    CDataArchive(const CDataArchive&) = delete;
    CDataArchive& operator=(const CDataArchive&) = delete;
    ~CDataArchive();

    // The device whose file system reads the archive (or the loose files).
    // Not owned: the game drops it at exit.
    void SetDevice(irr::IrrlichtDevice* device) { m_device = device; }
    irr::IrrlichtDevice* GetDevice() const { return m_device; }

    // The game's set-up step: stores the device and the archive-in-use flag
    // (the inverse of forceFiles); with forceFiles only marks the archive
    // ready, otherwise calls Init with kDataArchiveFile.
    void SetUp(irr::IrrlichtDevice* device, bool forceFiles);

    // Opens the archive (names kept case-sensitive, with their folders),
    // checks its structure and proves the password by reading one stored
    // file. Throws CException "Cannot access data archive file!" followed by
    // the archive's name and what is wrong when the archive is missing, not a
    // ZIP file, damaged, empty, or the password does not open it.
    void Init(const std::wstring& archiveName);
    // The same for an archive's bytes from elsewhere; name is for messages.
    void Init(const std::wstring& archiveName, std::unique_ptr<IZipSource> source);

    // Usable: the archive is registered, or loose files are in use.
    bool IsReady() const { return m_ready; }
    void SetReady(bool ready) { m_ready = ready; }

    // Forgets the archive and the device; not ready.
    void Reset();

    // The fixed text that the password is cut from.
    static std::wstring GetString();
    // The password: a piece of GetString and the digits of a fixed number,
    // in narrow characters.
    static std::string GetPassword();

    // Stored files by name. With an archive open only its entries count,
    // matched exactly (case and folders); otherwise loose files. A missing
    // file throws CFileException code 1 with the name; a damaged stored file
    // code 5 with the name, and the archive's name and what is wrong in the
    // details.
    uint32_t GetFileSize(const std::wstring& name);
    // Fills buffer with the whole file; throws when the file is larger than
    // bufferSize or cannot be read whole.
    void GetFileData(const std::wstring& name, void* buffer, uint32_t bufferSize);
    // The engine's read-file of a stored file; the caller drops it.
    irr::io::IReadFile* GetIrrFile(const std::wstring& name);
    // The whole file, read once; returns its size. data is null for an empty file.
    uint32_t ReadWholeFile(const std::wstring& name, std::unique_ptr<uint8_t[]>& data);
    // The names (without the folder) of the files right in the folder, not
    // in folders below it, whose names end in the extension (case ignored),
    // sorted ignoring case: with an archive open its entries (the folder
    // matched exactly), otherwise the loose files. None when there are none.
    std::vector<std::wstring> ListFiles(const std::wstring& folder, const std::wstring& extension) const;

private:
    // The index of a stored file; throws code 1 as the named function would.
    size_t FindStored(const std::wstring& name, const wchar_t* function) const;
    // A stored file's whole content; throws code 5 as the named function would.
    std::unique_ptr<uint8_t[]> ReadStored(size_t index, const std::wstring& name, const wchar_t* function);
    // A loose file through the engine; throws code 1 as the named function would.
    irr::io::IReadFile* OpenLoose(const std::wstring& name, const wchar_t* function);

    bool m_ready = false;
    irr::IrrlichtDevice* m_device = nullptr;
    std::unique_ptr<CZipArchive> m_archive;
    std::wstring m_archiveName; // of the open archive, for messages
};

// An engine read-file over bytes in memory (it takes them): reads and seeks
// stay inside them. The caller drops it.
irr::io::IReadFile* CreateBoundedReadFile(std::unique_ptr<uint8_t[]> data, uint32_t size, const std::string& name);

// The one data archive of the program.
CDataArchive& DataArchive();

// True when game data comes from the archive, false with "force_files".
bool IsArchiveInUse();
void SetArchiveInUse(bool inUse);
