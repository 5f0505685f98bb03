#pragma once
// The reader of the data archive, a ZIP file. Its whole structure is checked
// when it is opened, before anything of it is used: the end record, the
// central directory and every entry's sizes, name lengths, local header and
// data lie inside the file and agree. Entries are stored or deflated, plain
// or encrypted with AES (the WinZip scheme: 128, 192 or 256-bit keys, AE-1
// or AE-2). Every fault is a vek::CException whose message says what is
// wrong; a damaged archive costs no more memory than its sizes allow and
// nothing is ever read outside it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// Where the archive's bytes come from.
class IZipSource {
public:
    virtual ~IZipSource() = default;
    virtual uint64_t GetSize() const = 0;
    // Exactly size bytes from offset; false when they cannot all be read.
    virtual bool ReadAt(uint64_t offset, void* out, size_t size) = 0;
};

// A file on the disk (local UTF-8 path); null when it cannot be opened.
std::unique_ptr<IZipSource> OpenZipFile(const std::string& path);
// Bytes in memory.
std::unique_ptr<IZipSource> ZipFromMemory(std::string bytes);

struct TZipEntry {
    std::string name;        // as stored: '/' between folders
    uint32_t size = 0;       // of the content
    uint32_t storedSize = 0; // in the archive, the encryption's salt, check and code included
    uint32_t crc = 0;        // of the content
    uint64_t dataOffset = 0; // of the stored bytes
    uint16_t method = 0;     // of the content: 0 stored, 8 deflated
    uint8_t aesStrength = 0; // 0 plain; 1, 2, 3: AES with 128, 192, 256-bit keys
    bool checkCrc = true;    // AE-2 entries carry no checksum
};

class CZipArchive {
public:
    // The largest content the reader makes room for.
    static constexpr uint32_t kMaxEntrySize = 256u << 20;

    // Reads and checks the directory: CException "CZipArchive::Open" with
    // what is wrong. Folder entries are left out.
    explicit CZipArchive(std::unique_ptr<IZipSource> source);
    ~CZipArchive();
    CZipArchive(const CZipArchive&) = delete;
    CZipArchive& operator=(const CZipArchive&) = delete;

    size_t GetCount() const { return m_entries.size(); }
    const TZipEntry& GetEntry(size_t index) const { return m_entries.at(index); }
    // The entry of exactly this name (case and folders count).
    std::optional<size_t> Find(const std::string& name) const;

    // The password of the encrypted entries. False when it does not open the
    // smallest of them; that entry is read whole, so a damaged one throws
    // as Read does. True when nothing is encrypted.
    bool SetPassword(const std::string& password);

    // The whole content of an entry (null for an empty one), decrypted,
    // authenticated, inflated and checked against its size and checksum.
    // CException "CZipArchive::Read" with what is wrong.
    std::unique_ptr<uint8_t[]> Read(size_t index);

    // An entry's name fit for a message: control characters replaced, long names cut.
    static std::wstring DisplayName(const std::string& name);

private:
    using TKeys = std::array<uint8_t, 66>; // encryption key, authentication key, password check

    void ReadDirectory();
    void CheckLocalHeader(TZipEntry& entry, uint64_t localOffset, uint64_t directoryOffset);
    // The keys of an entry from its salt, made once; null when the password does not fit.
    const TKeys* Keys(size_t index, const uint8_t* salt, const uint8_t* check);

    std::unique_ptr<IZipSource> m_source;
    std::vector<TZipEntry> m_entries;
    std::unordered_map<std::string, size_t> m_byName;
    std::string m_password;
    std::vector<std::optional<TKeys>> m_keys; // per entry; deriving them is the costly part
};
