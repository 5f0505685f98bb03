#include "data/ZipArchive.h"

#include <nettle/aes.h>
#include <nettle/hmac.h>
#include <nettle/memops.h>
#include <nettle/pbkdf2.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "platform/File.h"
#include "platform/Utf8.h"

namespace {

constexpr const wchar_t* kSource = L"ZipArchive";
constexpr const wchar_t* kOpen = L"CZipArchive::Open";
constexpr const wchar_t* kRead = L"CZipArchive::Read";

constexpr uint32_t kEndSignature = 0x06054B50u;
constexpr uint32_t kCentralSignature = 0x02014B50u;
constexpr uint32_t kLocalSignature = 0x04034B50u;
constexpr size_t kEndSize = 22;
constexpr size_t kCentralSize = 46;
constexpr size_t kLocalSize = 30;
constexpr size_t kMaxComment = 0xFFFF;

constexpr uint16_t kFlagEncrypted = 1u << 0;
constexpr uint16_t kFlagStrongEncryption = 1u << 6;
constexpr uint16_t kFlagMaskedDirectory = 1u << 13;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kMethodAes = 99;
constexpr uint16_t kAesExtraId = 0x9901;
constexpr uint16_t kAesExtraSize = 7;

constexpr uint32_t kAesIterations = 1000;
constexpr size_t kAesCheckSize = 2;
constexpr size_t kAesCodeSize = 10;
// Deflate cannot make more than 1032 bytes of one.
constexpr uint64_t kMaxDeflateRatio = 1032;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

size_t KeySize(uint8_t strength) { return 8u + 8u * strength; }  // 16, 24, 32 bytes
size_t SaltSize(uint8_t strength) { return 4u + 4u * strength; } // 8, 12, 16 bytes
size_t AesOverhead(uint8_t strength) { return SaltSize(strength) + kAesCheckSize + kAesCodeSize; }

[[noreturn]] void Fail(const wchar_t* function, int32_t line, const std::wstring& what) {
    throw vek::CException(function, kSource, line, what);
}

std::wstring Entry(const std::string& name) { return L"entry \"" + CZipArchive::DisplayName(name) + L"\""; }

class CFileSource : public IZipSource {
public:
    CFileSource(std::FILE* file, uint64_t size) : m_file(file), m_size(size) {}
    ~CFileSource() override { std::fclose(m_file); }
    uint64_t GetSize() const override { return m_size; }
    bool ReadAt(uint64_t offset, void* out, size_t size) override {
        if (offset > m_size || size > m_size - offset) {
            return false;
        }
        if (size == 0) {
            return true;
        }
        return platform::SeekStream(m_file, static_cast<int64_t>(offset), 0) &&
               std::fread(out, 1, size, m_file) == size;
    }

private:
    std::FILE* m_file;
    uint64_t m_size;
};

class CMemorySource : public IZipSource {
public:
    explicit CMemorySource(std::string bytes) : m_bytes(std::move(bytes)) {}
    uint64_t GetSize() const override { return m_bytes.size(); }
    bool ReadAt(uint64_t offset, void* out, size_t size) override {
        if (offset > m_bytes.size() || size > m_bytes.size() - offset) {
            return false;
        }
        if (size > 0) {
            std::memcpy(out, m_bytes.data() + offset, size);
        }
        return true;
    }

private:
    std::string m_bytes;
};

// One AES block cipher of the three key sizes.
class CAes {
public:
    CAes(size_t keySize, const uint8_t* key) : m_keySize(keySize) {
        if (keySize == AES128_KEY_SIZE) {
            aes128_set_encrypt_key(&m_128, key);
        } else if (keySize == AES192_KEY_SIZE) {
            aes192_set_encrypt_key(&m_192, key);
        } else {
            aes256_set_encrypt_key(&m_256, key);
        }
    }
    void Encrypt(uint8_t* out, const uint8_t* in) const {
        if (m_keySize == AES128_KEY_SIZE) {
            aes128_encrypt(&m_128, AES_BLOCK_SIZE, out, in);
        } else if (m_keySize == AES192_KEY_SIZE) {
            aes192_encrypt(&m_192, AES_BLOCK_SIZE, out, in);
        } else {
            aes256_encrypt(&m_256, AES_BLOCK_SIZE, out, in);
        }
    }

private:
    size_t m_keySize;
    aes128_ctx m_128{};
    aes192_ctx m_192{};
    aes256_ctx m_256{};
};

// Counter mode with a little-endian block counter that starts at 1.
void Decrypt(const CAes& aes, uint8_t* data, size_t size) {
    uint8_t counter[AES_BLOCK_SIZE] = {};
    uint8_t stream[AES_BLOCK_SIZE];
    for (size_t done = 0; done < size; done += AES_BLOCK_SIZE) {
        for (size_t i = 0; i < AES_BLOCK_SIZE && ++counter[i] == 0; ++i) {
        }
        aes.Encrypt(stream, counter);
        const size_t n = std::min<size_t>(AES_BLOCK_SIZE, size - done);
        for (size_t i = 0; i < n; ++i) {
            data[done + i] ^= stream[i];
        }
    }
}

// Raw deflate data to exactly size bytes.
bool Inflate(const uint8_t* in, size_t inSize, uint8_t* out, uint32_t size) {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
        return false;
    }
    uint8_t spare = 0; // zlib wants somewhere to write, even for nothing
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = static_cast<uInt>(inSize);
    z.next_out = size > 0 ? out : &spare;
    z.avail_out = size;
    const int result = inflate(&z, Z_FINISH);
    const bool whole = result == Z_STREAM_END && z.total_out == size;
    inflateEnd(&z);
    return whole;
}

} // namespace

std::unique_ptr<IZipSource> OpenZipFile(const std::string& path) {
    std::FILE* file = platform::OpenFile(path, "rb");
    if (file == nullptr) {
        return nullptr;
    }
    const int64_t size = platform::StreamSize(file);
    if (size < 0) {
        std::fclose(file);
        return nullptr;
    }
    return std::make_unique<CFileSource>(file, static_cast<uint64_t>(size));
}

std::unique_ptr<IZipSource> ZipFromMemory(std::string bytes) {
    return std::make_unique<CMemorySource>(std::move(bytes));
}

std::wstring CZipArchive::DisplayName(const std::string& name) {
    constexpr size_t kMaxShown = 80;
    std::string shown = name.substr(0, kMaxShown);
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return platform::FromUtf8(shown) + (name.size() > kMaxShown ? L"..." : L"");
}

CZipArchive::CZipArchive(std::unique_ptr<IZipSource> source) : m_source(std::move(source)) {
    if (!m_source) {
        Fail(kOpen, __LINE__, L"the file cannot be read");
    }
    ReadDirectory();
    m_keys.resize(m_entries.size());
}

CZipArchive::~CZipArchive() = default;

namespace {

struct TEndRecord {
    uint64_t offset = 0;
    uint16_t count = 0;
    uint32_t directorySize = 0;
    uint32_t directoryOffset = 0;
};

// The end record closes the file, followed only by its own comment.
TEndRecord ReadEndRecord(IZipSource& source) {
    const uint64_t fileSize = source.GetSize();
    if (fileSize < kEndSize) {
        Fail(kOpen, __LINE__, L"too short to be a ZIP archive");
    }
    const size_t tailSize = static_cast<size_t>(std::min<uint64_t>(fileSize, kEndSize + kMaxComment));
    std::vector<uint8_t> tail(tailSize);
    const uint64_t tailStart = fileSize - tailSize;
    if (!source.ReadAt(tailStart, tail.data(), tailSize)) {
        Fail(kOpen, __LINE__, L"the file cannot be read");
    }
    std::optional<size_t> found;
    for (size_t at = tailSize - kEndSize + 1; at-- > 0;) {
        if (U32(&tail[at]) == kEndSignature && at + kEndSize + U16(&tail[at + 20]) == tailSize) {
            found = at;
            break;
        }
    }
    if (!found) {
        Fail(kOpen, __LINE__, L"not a ZIP archive (no end of central directory record)");
    }
    const uint8_t* record = &tail[*found];
    TEndRecord end;
    end.offset = tailStart + *found;
    end.count = U16(record + 10);
    end.directorySize = U32(record + 12);
    end.directoryOffset = U32(record + 16);
    if (U16(record + 4) != 0 || U16(record + 6) != 0 || U16(record + 8) != end.count) {
        Fail(kOpen, __LINE__, L"archives split over several files are not supported");
    }
    if (end.count == 0xFFFF || end.directorySize == 0xFFFFFFFFu || end.directoryOffset == 0xFFFFFFFFu) {
        Fail(kOpen, __LINE__, L"ZIP64 archives are not supported");
    }
    if (uint64_t{end.directoryOffset} + end.directorySize > end.offset) {
        Fail(kOpen, __LINE__, L"the central directory lies outside the file");
    }
    if (uint64_t{end.count} * kCentralSize > end.directorySize) {
        Fail(kOpen, __LINE__,
             vek::Format(L"the central directory is too small for its %lu entries", uint32_t{end.count}));
    }
    return end;
}

// The AES extra field of an encrypted entry: strength, version and the real method.
void ReadAesField(TZipEntry& entry, const uint8_t* extra, size_t extraSize) {
    const std::wstring what = Entry(entry.name);
    for (size_t e = 0; e + 4 <= extraSize;) {
        const size_t blockSize = U16(extra + e + 2);
        if (blockSize > extraSize - e - 4) {
            Fail(kOpen, __LINE__, what + L": damaged extra field");
        }
        if (U16(extra + e) == kAesExtraId) {
            const uint8_t* aes = extra + e + 4;
            const uint16_t version = blockSize == kAesExtraSize ? U16(aes) : 0;
            if ((version != 1 && version != 2) || aes[2] != 'A' || aes[3] != 'E' || aes[4] < 1 || aes[4] > 3) {
                break;
            }
            entry.checkCrc = version == 1;
            entry.aesStrength = aes[4];
            entry.method = U16(aes + 5);
            return;
        }
        e += 4 + blockSize;
    }
    Fail(kOpen, __LINE__, what + L": damaged AES extra field");
}

// What the central directory says of one entry's method and sizes, checked
// against each other.
void CheckMethodAndSizes(const TZipEntry& entry) {
    const std::wstring what = Entry(entry.name);
    if (entry.method != kMethodStored && entry.method != kMethodDeflated) {
        Fail(kOpen, __LINE__, what + vek::Format(L": compression method %hu is not supported", entry.method));
    }
    uint64_t dataSize = entry.storedSize;
    if (entry.aesStrength != 0) {
        const size_t overhead = AesOverhead(entry.aesStrength);
        if (entry.storedSize < overhead) {
            Fail(kOpen, __LINE__,
                 what + vek::Format(L": its stored size %lu is below the AES overhead of %lu bytes", entry.storedSize,
                                    static_cast<uint32_t>(overhead)));
        }
        dataSize -= overhead;
    }
    if (entry.size > CZipArchive::kMaxEntrySize) {
        Fail(kOpen, __LINE__, what + vek::Format(L": its size %lu is too large", entry.size));
    }
    if (entry.method == kMethodStored ? dataSize != entry.size : entry.size > dataSize * kMaxDeflateRatio) {
        Fail(kOpen, __LINE__,
             what + vek::Format(L": its size %lu does not fit its stored size %lu", entry.size, entry.storedSize));
    }
}

} // namespace

void CZipArchive::ReadDirectory() {
    const TEndRecord end = ReadEndRecord(*m_source);
    std::vector<uint8_t> directory(end.directorySize);
    if (!m_source->ReadAt(end.directoryOffset, directory.data(), directory.size())) {
        Fail(kOpen, __LINE__, L"the file cannot be read");
    }
    m_entries.reserve(end.count);
    size_t at = 0;
    for (uint32_t i = 0; i < end.count; ++i) {
        const std::wstring number = vek::Format(L"entry %lu of %lu", i + 1, uint32_t{end.count});
        if (directory.size() - at < kCentralSize || U32(&directory[at]) != kCentralSignature) {
            Fail(kOpen, __LINE__, number + L": damaged central directory record");
        }
        const uint8_t* header = &directory[at];
        const uint16_t flags = U16(header + 8);
        const size_t nameSize = U16(header + 28);
        const size_t extraSize = U16(header + 30);
        const size_t commentSize = U16(header + 32);
        const uint32_t localOffset = U32(header + 42);
        if (directory.size() - at - kCentralSize < nameSize + extraSize + commentSize) {
            Fail(kOpen, __LINE__, number + L": its name, extra field or comment runs past the central directory");
        }
        at += kCentralSize + nameSize + extraSize + commentSize;

        TZipEntry entry;
        entry.method = U16(header + 10);
        entry.crc = U32(header + 16);
        entry.storedSize = U32(header + 20);
        entry.size = U32(header + 24);
        entry.name.assign(reinterpret_cast<const char*>(header + kCentralSize), nameSize);
        if (entry.name.empty() || entry.name.find('\0') != std::string::npos) {
            Fail(kOpen, __LINE__, number + L": its name is empty or holds a zero byte");
        }
        if (U16(header + 34) != 0) {
            Fail(kOpen, __LINE__, L"archives split over several files are not supported");
        }
        if (entry.storedSize == 0xFFFFFFFFu || entry.size == 0xFFFFFFFFu || localOffset == 0xFFFFFFFFu) {
            Fail(kOpen, __LINE__, L"ZIP64 archives are not supported");
        }
        if (entry.name.back() == '/') {
            continue; // a folder
        }
        const std::wstring what = Entry(entry.name);
        if ((flags & (kFlagStrongEncryption | kFlagMaskedDirectory)) != 0) {
            Fail(kOpen, __LINE__, what + L": its encryption is not supported");
        }
        if (entry.method == kMethodAes) {
            if ((flags & kFlagEncrypted) == 0) {
                Fail(kOpen, __LINE__, what + L": damaged AES extra field");
            }
            ReadAesField(entry, header + kCentralSize + nameSize, extraSize);
        } else if ((flags & kFlagEncrypted) != 0) {
            Fail(kOpen, __LINE__, what + L": encrypted otherwise than with AES, which is not supported");
        }
        CheckMethodAndSizes(entry);
        CheckLocalHeader(entry, localOffset, end.directoryOffset);
        if (!m_byName.emplace(entry.name, m_entries.size()).second) {
            Fail(kOpen, __LINE__, what + L" is there twice");
        }
        m_entries.push_back(std::move(entry));
    }
    if (at != directory.size()) {
        Fail(kOpen, __LINE__, L"the central directory holds more than its entries");
    }
}

void CZipArchive::CheckLocalHeader(TZipEntry& entry, uint64_t localOffset, uint64_t directoryOffset) {
    const std::wstring what = Entry(entry.name);
    // Every entry lies before the central directory.
    if (localOffset + kLocalSize + entry.name.size() > directoryOffset) {
        Fail(kOpen, __LINE__, what + L": its local header lies outside the entries");
    }
    std::vector<uint8_t> local(kLocalSize + entry.name.size());
    if (!m_source->ReadAt(localOffset, local.data(), local.size())) {
        Fail(kOpen, __LINE__, L"the file cannot be read");
    }
    const size_t nameSize = U16(&local[26]);
    const size_t extraSize = U16(&local[28]);
    if (U32(local.data()) != kLocalSignature || nameSize != entry.name.size() ||
        std::memcmp(&local[kLocalSize], entry.name.data(), nameSize) != 0) {
        Fail(kOpen, __LINE__, what + L": its local header does not match the central directory");
    }
    entry.dataOffset = localOffset + kLocalSize + nameSize + extraSize;
    if (entry.dataOffset + entry.storedSize > directoryOffset) {
        Fail(kOpen, __LINE__, what + L": its data runs into the central directory");
    }
}

std::optional<size_t> CZipArchive::Find(const std::string& name) const {
    const auto found = m_byName.find(name);
    return found == m_byName.end() ? std::nullopt : std::optional<size_t>(found->second);
}

const CZipArchive::TKeys* CZipArchive::Keys(size_t index, const uint8_t* salt, const uint8_t* check) {
    std::optional<TKeys>& keys = m_keys.at(index);
    const uint8_t strength = m_entries[index].aesStrength;
    const size_t keySize = KeySize(strength);
    if (!keys) {
        TKeys derived{};
        pbkdf2_hmac_sha1(m_password.size(), reinterpret_cast<const uint8_t*>(m_password.data()), kAesIterations,
                         SaltSize(strength), salt, 2 * keySize + kAesCheckSize, derived.data());
        keys = derived;
    }
    if (std::memcmp(keys->data() + 2 * keySize, check, kAesCheckSize) != 0) {
        return nullptr;
    }
    return &*keys;
}

bool CZipArchive::SetPassword(const std::string& password) {
    m_password = password;
    std::fill(m_keys.begin(), m_keys.end(), std::nullopt);
    std::optional<size_t> probe;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].aesStrength != 0 && (!probe || m_entries[i].storedSize < m_entries[*probe].storedSize)) {
            probe = i;
        }
    }
    if (!probe) {
        return true;
    }
    const TZipEntry& entry = m_entries[*probe];
    uint8_t head[16 + kAesCheckSize];
    const size_t saltSize = SaltSize(entry.aesStrength);
    if (!m_source->ReadAt(entry.dataOffset, head, saltSize + kAesCheckSize)) {
        Fail(kOpen, __LINE__, L"the file cannot be read");
    }
    if (Keys(*probe, head, head + saltSize) == nullptr) {
        return false;
    }
    Read(*probe);
    return true;
}

std::unique_ptr<uint8_t[]> CZipArchive::Read(size_t index) {
    const TZipEntry& entry = m_entries.at(index);
    const std::wstring what = Entry(entry.name);
    std::unique_ptr<uint8_t[]> stored(new uint8_t[std::max<uint32_t>(entry.storedSize, 1)]);
    if (!m_source->ReadAt(entry.dataOffset, stored.get(), entry.storedSize)) {
        Fail(kRead, __LINE__, what + L" cannot be read");
    }
    const uint8_t* data = stored.get();
    size_t dataSize = entry.storedSize;
    if (entry.aesStrength != 0) {
        const size_t saltSize = SaltSize(entry.aesStrength);
        const size_t keySize = KeySize(entry.aesStrength);
        uint8_t* cipher = stored.get() + saltSize + kAesCheckSize;
        dataSize -= AesOverhead(entry.aesStrength);
        const TKeys* keys = Keys(index, stored.get(), stored.get() + saltSize);
        if (keys == nullptr) {
            Fail(kRead, __LINE__, what + L": the password does not open it");
        }
        hmac_sha1_ctx mac;
        hmac_sha1_set_key(&mac, keySize, keys->data() + keySize);
        hmac_sha1_update(&mac, dataSize, cipher);
        uint8_t code[SHA1_DIGEST_SIZE];
        hmac_sha1_digest(&mac, sizeof(code), code);
        if (!memeql_sec(code, cipher + dataSize, kAesCodeSize)) {
            Fail(kRead, __LINE__, what + L" is damaged (its authentication code does not match)");
        }
        Decrypt(CAes(keySize, keys->data()), cipher, dataSize);
        data = cipher;
    }

    std::unique_ptr<uint8_t[]> content(entry.size > 0 ? new uint8_t[entry.size] : nullptr);
    if (entry.method == kMethodStored) {
        // The directory check made the sizes equal.
        if (entry.size > 0) {
            std::memcpy(content.get(), data, entry.size);
        }
    } else if (!Inflate(data, dataSize, content.get(), entry.size)) {
        Fail(kRead, __LINE__, what + L" is damaged (its compressed data does not make its size)");
    }
    if (entry.checkCrc) {
        const uLong crc = crc32_z(crc32_z(0L, Z_NULL, 0), content.get(), entry.size);
        if (crc != entry.crc) {
            Fail(kRead, __LINE__, what + L" is damaged (its checksum does not match)");
        }
    }
    return content;
}
