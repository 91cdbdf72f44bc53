#include "util/Deadline.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

using namespace std::chrono_literals;

// A wait in whole milliseconds never ends before its deadline: a part of a millisecond left
// counts as one, or the waiter would poll with no timeout until the deadline.
TEST(DeadlineTest, MillisecondsLeftRoundUpAndNeverGoBelowZero) {
    const auto now = std::chrono::steady_clock::now();
    EXPECT_EQ(MillisecondsLeft(std::chrono::steady_clock::now() + 900us), 1);
    EXPECT_EQ(MillisecondsLeft(now + 1h), 3600 * 1000);
    EXPECT_EQ(MillisecondsLeft(now - 5ms), 0);
    EXPECT_EQ(MillisecondsLeft(std::chrono::steady_clock::time_point::max()), -1);
}

} // namespace
} // namespace brivox
