#pragma once
// A request that waits for the player's next direction (or target, or yes or
// no). The location that asked owns it and deletes it once answered.
#include <cstdint>

class CDirection {
public:
    // answer: where the answer goes (the location's direction answer); it
    // must outlive the request. kind: what is asked, as its maker numbers it.
    CDirection(int32_t& answer, uint32_t kind) : m_answer(answer), m_kind(kind) {}
    CDirection(const CDirection&) = delete;
    CDirection& operator=(const CDirection&) = delete;
    virtual ~CDirection() = default;

    uint32_t GetKind() const { return m_kind; }

    // The player answered: 0 to 7 for a direction, other values by kind.
    // Writes it where the request was told to; the request has then ended.
    virtual void Answer(int32_t value) { m_answer = value; }

private:
    int32_t& m_answer;
    uint32_t m_kind;
};
