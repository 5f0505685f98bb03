#include "data/MetaFile.h"

#include <memory>

#include "data/DataArchive.h"

CMetaFile::CMetaFile(bool memoryOnly, uint32_t initialCapacity)
    : vek::CFile(memoryOnly, initialCapacity), m_builtMemoryOnly(memoryOnly) {}

void CMetaFile::LeaveArchiveMode() {
    if (IsOpen()) {
        Close();
    }
    // The stored file's bytes must not be flushed into a disk file opened next.
    m_buffer.reset();
    m_position = m_capacity = m_length = 0;
    m_memoryOnly = m_builtMemoryOnly;
    m_mode = 0;
    m_fromArchive = false;
}

void CMetaFile::Open(const std::wstring& name, uint32_t mode) {
    if (!IsArchiveInUse()) {
        if (m_fromArchive) {
            LeaveArchiveMode();
        }
        vek::CFile::Open(name, mode);
        return;
    }
    if (IsOpen()) {
        Close();
    }
    m_fileName = name;
    std::unique_ptr<uint8_t[]> data;
    const uint32_t size = DataArchive().ReadWholeFile(name, data);
    // A memory file: reading, seeking and closing never reach for a disk stream.
    OpenMemory(name, std::move(data), size);
    m_fromArchive = true;
}
