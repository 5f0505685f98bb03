// Feeds arbitrary bytes to the save stream's readers. Input: byte 0 picks how
// many selector bytes follow (1..8); the selectors choose, in turn, which
// reader runs next; the rest is the stream. Whatever was read is then saved
// and read back, and must come back the same.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Map2D.h"
#include "VEKLib/Stream.h"

namespace {

struct TRecord12 {
    static constexpr uint32_t kStoredSize = 12;
    uint16_t a = 0, b = 0;
    uint32_t c = 0, d = 0;
    void WriteFields() const {
        vek::StreamWrite(a);
        vek::StreamWrite(b);
        vek::StreamWrite(c);
        vek::StreamWrite(d);
    }
    void ReadFields() {
        vek::StreamRead(a);
        vek::StreamRead(b);
        vek::StreamRead(c);
        vek::StreamRead(d);
    }
    bool operator==(const TRecord12&) const = default;
};

struct TObject : vek::ISerializable {
    uint32_t number = 0;
    std::wstring text;
    void Load() override {
        vek::StreamRead(number);
        vek::StreamReadString(text);
        CountObject();
    }
    void Save() const {
        vek::StreamWrite(number);
        vek::StreamWriteString(text);
        CountObject();
    }
    bool operator==(const TObject& other) const { return number == other.number && text == other.text; }
};

struct TState {
    std::wstring text;
    std::vector<uint16_t> words;
    std::vector<uint32_t> dwords;
    std::vector<TRecord12> records;
    std::vector<TObject> objects;
    std::vector<TObject*> owned;
    vek::IByteStream buffer;
    vek::CMap<uint16_t> tiles;
    vek::CMap<uint8_t> bytes;

    TState() = default;
    TState(const TState&) = delete;
    ~TState() {
        for (TObject* object : owned) {
            delete object;
        }
    }

    void Run(uint8_t selector) {
        try {
            switch (selector % 9) {
            case 0:
                vek::StreamReadString(text);
                break;
            case 1:
                vek::ReadWordVector(words);
                break;
            case 2:
                vek::ReadDwordVector(dwords);
                break;
            case 3:
                vek::ReadRecordVector12(records);
                break;
            case 4:
                vek::LoadObjectVector(objects);
                break;
            case 5:
                vek::LoadObjectPtrVector(owned);
                break;
            case 6:
                buffer.Load();
                break;
            case 7:
                tiles.Load();
                break;
            default:
                bytes.Load();
                break;
            }
        } catch (const vek::CException&) {
            // Invalid map headers are reported this way; the maps stay valid.
        }
    }

    void Save() const {
        vek::StreamWriteString(text);
        vek::WriteWordVector(words);
        vek::WriteDwordVector(dwords);
        vek::WriteRecordVector12(records);
        vek::SaveObjectVector(objects, vek::kEffectReserve);
        vek::SaveObjectPtrVector(owned, vek::kGroupReserve);
        buffer.Save();
        tiles.Save();
        bytes.Save();
    }

    void Load() {
        for (uint8_t selector = 0; selector < 9; ++selector) {
            Run(selector);
        }
    }
};

template <class T>
bool SameCells(const vek::CMap<T>& a, const vek::CMap<T>& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) {
        return false;
    }
    for (uint16_t y = 0; y < a.GetHeight(); ++y) {
        for (uint16_t x = 0; x < a.GetWidth(); ++x) {
            if (a.At(x, y) != b.At(x, y)) {
                return false;
            }
        }
    }
    return true;
}

bool Same(const TState& a, const TState& b) {
    if (a.owned.size() != b.owned.size()) {
        return false;
    }
    for (size_t i = 0; i < a.owned.size(); ++i) {
        if (!(*a.owned[i] == *b.owned[i])) {
            return false;
        }
    }
    return a.text == b.text && a.words == b.words && a.dwords == b.dwords && a.records == b.records &&
           a.objects == b.objects && a.buffer.GetBuffer() == b.buffer.GetBuffer() && SameCells(a.tiles, b.tiles) &&
           SameCells(a.bytes, b.bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const size_t selectorCount = std::min<size_t>(size - 1, data[0] % 8 + 1);
    const uint8_t* selectors = data + 1;
    const uint32_t live = vek::GetLiveObjectCount();
    {
        TState state;
        vek::StreamAssign(selectors + selectorCount, size - 1 - selectorCount);
        // Stop when the stream is used up, or when a whole round of selectors
        // made no progress.
        size_t idle = 0;
        for (size_t i = 0; vek::GetStream().remaining() > 0 && idle < selectorCount; ++i) {
            const uint32_t before = vek::GetStream().position();
            state.Run(selectors[i % selectorCount]);
            idle = vek::GetStream().position() == before ? idle + 1 : 0;
        }

        vek::StreamReset();
        state.Save();
        TState back;
        back.Load();
        if (vek::GetStream().remaining() != 0 || !Same(state, back)) {
            __builtin_trap();
        }
    }
    vek::StreamReset();
    if (vek::GetLiveObjectCount() != live) {
        __builtin_trap();
    }
    return 0;
}
