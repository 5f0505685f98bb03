#include "world/LocRecords.h"

#include <array>

namespace {

uint16_t U16At(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)); }

uint32_t U32At(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

} // namespace

// --- Special objects -----------------------------------------------------------------------

TSpecialObject::~TSpecialObject() = default;

void TSpecialObject::Save() const {
    vek::StreamWrite(active);
    vek::StreamWrite(uint8_t{0});
    vek::StreamWrite(kind);
    vek::StreamWrite(appearance);
    vek::StreamWrite(uint16_t{0});
    vek::StreamWrite(value);
    SaveBuffer();
    CountObject();
}

void TSpecialObject::Load() {
    std::array<uint8_t, kFixedSize> fixed{};
    if (vek::StreamReadBytes(fixed.size(), fixed.data())) {
        active = fixed[0];
        kind = U16At(&fixed[2]);
        appearance = U16At(&fixed[4]);
        value = U32At(&fixed[8]);
    }
    LoadBuffer();
    m_position = 0;
    CountObject();
}

// --- Rules ----------------------------------------------------------------------------------

void TLocRule::WriteFields() const {
    vek::StreamWrite(startX);
    vek::StreamWrite(startY);
    vek::StreamWrite(endX);
    vek::StreamWrite(endY);
}

void TLocRule::ReadFields() {
    vek::StreamRead(startX);
    vek::StreamRead(startY);
    vek::StreamRead(endX);
    vek::StreamRead(endY);
}

// --- Effects --------------------------------------------------------------------------------

TLocEffect::~TLocEffect() = default;

void TLocEffect::Save() const {
    vek::StreamWrite(key);
    vek::StreamWrite(value);
    const std::array<uint8_t, kReservedSize> reserved{};
    vek::StreamWriteBytes(reserved.data(), reserved.size());
    CountObject();
}

void TLocEffect::Load() {
    std::array<uint8_t, kStoredSize> stored{};
    if (vek::StreamReadBytes(stored.size(), stored.data())) {
        key = U32At(&stored[0]);
        value = U32At(&stored[4]);
    }
    CountObject();
}

void SaveEffectVector(const std::vector<TLocEffect>& effects) { vek::SaveObjectVector(effects, vek::kEffectReserve); }

void LoadEffectVector(std::vector<TLocEffect>& effects) { vek::LoadObjectVector(effects); }
