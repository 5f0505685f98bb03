#pragma once
// Random generators and the one global generator behind RandomRange/Chance.
#include <array>
#include <cstdint>

namespace vek {

class CRandomGeneratorBase {
public:
    virtual ~CRandomGeneratorBase() = default;
    virtual int32_t Next() = 0;
    virtual void Seed(uint32_t seed) = 0;
    virtual uint32_t GetSeed() const { return m_seed; }

protected:
    uint32_t m_seed = 0;
};

// The run-time library's generator; all instances share its one state.
class CStdRand final : public CRandomGeneratorBase {
public:
    int32_t Next() override;
    void Seed(uint32_t seed) override;
};

// A Mersenne twister whose seeding and tempering shifts run the other way;
// its sequence is its own. Next() may be negative.
class CMersenneTwister final : public CRandomGeneratorBase {
public:
    static constexpr int kStateSize = 624;
    int32_t Next() override;
    void Seed(uint32_t seed) override;
    uint32_t GetSeed() const override { return m_state[0]; }

private:
    void Regenerate();
    std::array<uint32_t, kStateSize> m_state{};
    int32_t m_index = 0;
};

// The installed generator (not owned here; the game owns it). Null: draws give 0.
CRandomGeneratorBase* GetRandomGenerator();
void SetRandomGenerator(CRandomGeneratorBase* generator);

// A value in [lo, hi], both ends included.
int32_t RandomRange(int32_t lo, int32_t hi);
// True with about (p + 1) / (n + 1) probability for 0 <= p <= n.
bool Chance(int32_t p, int32_t n);

} // namespace vek
