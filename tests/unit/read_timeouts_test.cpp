// The read time-out rule both the POSIX layer and the fake follow: what a
// COMMTIMEOUTS record means for one read of a given length.
#include <gtest/gtest.h>

#include <string>

#include "platform/common/read_timeouts.h"

namespace {

constexpr DWORD maxdword = read_timeout_maxdword;

struct plan_case {
    const char* name;
    COMMTIMEOUTS timeouts;
    DWORD length;
    read_plan expected;
};

TEST(plan_read, follows_the_time_out_rules) {
    const plan_case cases[] = {
        // The program's own: one byte waits at most 1 x 1 + 1 ms.
        {"program", {1, 1, 1, 0, 0}, 1, {false, false, true, 2, true, 1}},
        {"total grows with the length", {0, 3, 10, 0, 0}, 100, {false, false, true, 310, false, 0}},
        {"multiplier of MAXDWORD without an interval",
         {0, maxdword, 0, 0, 0},
         4,
         {false, false, true, 4ull * maxdword, false, 0}},
        {"interval only", {5, 0, 0, 0, 0}, 10, {false, false, false, 0, true, 5}},
        {"all zero waits for every byte", {0, 0, 0, 0, 0}, 10, {false, false, false, 0, false, 0}},
        {"MAXDWORD interval alone: at once", {maxdword, 0, 0, 0, 0}, 10, {true, false, false, 0, false, 0}},
        {"any byte ends it, within the constant",
         {maxdword, maxdword, 50, 0, 0},
         10,
         {false, true, true, 50, false, 0}},
        {"MAXDWORD interval with a constant is a plain total",
         {maxdword, 0, 5, 0, 0},
         10,
         {false, false, true, 5, false, 0}},
        {"write fields play no part", {1, 1, 1, 7, 9}, 1, {false, false, true, 2, true, 1}},
    };
    for (const plan_case& c : cases) {
        const read_plan plan = plan_read(c.timeouts, c.length);
        EXPECT_EQ(plan.immediate, c.expected.immediate) << c.name;
        EXPECT_EQ(plan.any_byte_ends, c.expected.any_byte_ends) << c.name;
        EXPECT_EQ(plan.has_total, c.expected.has_total) << c.name;
        EXPECT_EQ(plan.total_ms, c.expected.total_ms) << c.name;
        EXPECT_EQ(plan.has_interval, c.expected.has_interval) << c.name;
        EXPECT_EQ(plan.interval_ms, c.expected.interval_ms) << c.name;
        EXPECT_EQ(read_waits_for_every_byte(plan), std::string(c.name) == "all zero waits for every byte")
            << c.name;
    }
}

}  // namespace
