#pragma once
// The game's data archive: one password-protected ZIP file, "Morvheld.dat",
// registered with the engine's file system, from which every reader of game
// data takes its files by their stored path ("Data/...", "Graphics/...").
// With "force_files" the game reads loose files instead (development).
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

namespace irr {
class IrrlichtDevice;
namespace io {
class IFileArchive;
class IReadFile;
} // namespace io
} // namespace irr

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

    // Registers the archive (names kept case-sensitive, with their folders)
    // and proves the password by reading one stored file. Throws CException
    // "Cannot access data archive file!" when the archive is missing, not a
    // ZIP file, empty, or the password does not open it.
    void Init(const std::wstring& archiveName);

    // Usable: the archive is registered, or loose files are in use.
    bool IsReady() const { return m_ready; }
    void SetReady(bool ready) { m_ready = ready; }

    // Unregisters the archive and forgets it and the device; not ready.
    void Reset();

    // The fixed text that the password is cut from.
    static std::wstring GetString();
    // The password: a piece of GetString and the digits of a fixed number,
    // in narrow characters.
    static std::string GetPassword();

    // Stored files by name. With an archive registered only its entries
    // count, matched exactly (case and folders); otherwise loose files.
    // A missing file throws CFileException code 1 with the name.
    uint32_t GetFileSize(const std::wstring& name);
    // Fills buffer with the whole file; throws when the file is larger than
    // bufferSize or cannot be read whole.
    void GetFileData(const std::wstring& name, void* buffer, uint32_t bufferSize);
    // The engine's read-file of a stored file; the caller drops it.
    irr::io::IReadFile* GetIrrFile(const std::wstring& name);
    // The whole file, read once; returns its size. data is null for an empty file.
    uint32_t ReadWholeFile(const std::wstring& name, std::unique_ptr<uint8_t[]>& data);

private:
    // Opens a stored file; throws as the named function would.
    irr::io::IReadFile* OpenStored(const std::wstring& name, const wchar_t* function);
    void ForgetArchive();

    bool m_ready = false;
    irr::IrrlichtDevice* m_device = nullptr;
    irr::io::IFileArchive* m_archive = nullptr; // grabbed while registered
    // Exact stored path -> index in the archive's file list. The engine's own
    // lookup ignores case whatever it is told, so names are matched here.
    std::unordered_map<std::string, uint32_t> m_entries;
};

// The one data archive of the program.
CDataArchive& DataArchive();

// True when game data comes from the archive, false with "force_files".
bool IsArchiveInUse();
void SetArchiveInUse(bool inUse);
