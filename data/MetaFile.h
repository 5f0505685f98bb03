#pragma once
// The file class of every reader of game data: with the data archive in use
// it reads a whole stored file into memory, otherwise it is a plain vek::CFile
// on the loose file of that name.
#include <cstdint>
#include <string>

#include "VEKLib/Files.h"

class CMetaFile : public vek::CFile {
public:
    explicit CMetaFile(bool memoryOnly = false, uint32_t initialCapacity = 0);

    // Archive in use: the stored file becomes an open memory file for
    // reading (the mode is not used); closing it writes nothing. A file that
    // was open is closed first, also when the new one cannot be read.
    void Open(const std::wstring& name, uint32_t mode) override;

private:
    // Back to a file of the kind it was built as, after an archive read.
    void LeaveArchiveMode();

    bool m_builtMemoryOnly;
    bool m_fromArchive = false;
};
