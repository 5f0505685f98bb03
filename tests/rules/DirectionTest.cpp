#include "rules/Direction.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A request of a kind of its own, as the commands that ask will make them.
class CCountingRequest : public CDirection {
public:
    CCountingRequest(int32_t& answer, int& answers) : CDirection(answer, 3), m_answers(answers) {}
    void Answer(int32_t value) override {
        ++m_answers;
        CDirection::Answer(value);
    }

private:
    int& m_answers;
};

TEST(DirectionTest, TheAnswerGoesWhereTheRequestWasTold) {
    const int32_t answers[] = {0, 7, -1, 1000};
    for (int32_t value : answers) {
        int32_t slot = -1;
        int count = 0;
        std::unique_ptr<CDirection> request = std::make_unique<CCountingRequest>(slot, count);
        EXPECT_EQ(request->GetKind(), 3u);
        request->Answer(value);
        EXPECT_EQ(slot, value);
        EXPECT_EQ(count, 1);
    }
    int32_t slot = -1;
    CDirection plain(slot, 0);
    plain.Answer(4);
    EXPECT_EQ(slot, 4);
}

} // namespace
