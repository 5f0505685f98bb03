#include "world/gen/Canvas.h"

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"

namespace gen {

CTileCanvas::CTileCanvas(vek::CMap<uint16_t>& terrain, vek::CMap<uint16_t>& objects)
    : m_terrain(terrain), m_objects(objects) {
    if (terrain.GetWidth() != objects.GetWidth() || terrain.GetHeight() != objects.GetHeight()) {
        throw vek::CException(
            L"gen::CTileCanvas::CTileCanvas", L"Canvas", __LINE__,
            vek::Format(L"Terrain layer %ux%u and object layer %ux%u differ in size",
                        static_cast<uint32_t>(terrain.GetWidth()), static_cast<uint32_t>(terrain.GetHeight()),
                        static_cast<uint32_t>(objects.GetWidth()), static_cast<uint32_t>(objects.GetHeight())));
    }
}

} // namespace gen
