// Opens arbitrary bytes as the data archive and reads every stored file,
// also through the engine's read-file with the seeks a picture loader makes.
// A damaged archive must come out as vek::CException, never as a crash, a
// hang or a huge allocation.
#include <cstddef>
#include <cstdint>
#include <string>

#include <irrlicht.h>

#include "VEKLib/Exception.h"
#include "data/DataArchive.h"
#include "data/ZipArchive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string password = CDataArchive::GetPassword();
    try {
        CZipArchive archive(ZipFromMemory(std::string(reinterpret_cast<const char*>(data), size)));
        if (!archive.SetPassword(password)) {
            return 0;
        }
        for (size_t i = 0; i < archive.GetCount(); ++i) {
            try {
                const TZipEntry& entry = archive.GetEntry(i);
                irr::io::IReadFile* file = CreateBoundedReadFile(archive.Read(i), entry.size, entry.name);
                char buffer[64];
                file->seek(file->getSize() - 26);
                file->read(buffer, sizeof(buffer));
                file->seek(-3, true);
                file->read(buffer, sizeof(buffer));
                file->drop();
            } catch (const vek::CException&) {
            }
        }
    } catch (const vek::CException&) {
    }
    return 0;
}
