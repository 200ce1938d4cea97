// The read and write time-outs turned into waits.
#include <gtest/gtest.h>

#include "platform/posix/serial_timeouts.h"

namespace {

using namespace zcal_posix;

COMMTIMEOUTS timeouts(DWORD interval, DWORD multiplier, DWORD constant, DWORD write_multiplier = 0,
                      DWORD write_constant = 0) {
    return COMMTIMEOUTS{interval, multiplier, constant, write_multiplier, write_constant};
}

TEST(plan_read, the_program_s_time_outs_give_2_ms_for_one_byte) {
    const read_plan plan = plan_read(timeouts(1, 1, 1), 1);
    EXPECT_FALSE(plan.immediate);
    EXPECT_FALSE(plan.any_byte_ends);
    EXPECT_TRUE(plan.has_total);
    EXPECT_EQ(plan.total_ms, 2u);
    EXPECT_TRUE(plan.has_interval);
    EXPECT_EQ(plan.interval_ms, 1u);
}

TEST(plan_read, the_total_grows_with_the_length) {
    EXPECT_EQ(plan_read(timeouts(0, 3, 10), 100).total_ms, 310u);
    EXPECT_EQ(plan_read(timeouts(0, maxdword, 0), 4).total_ms, 4ull * maxdword);
}

TEST(plan_read, all_zero_waits_for_every_byte) {
    const read_plan plan = plan_read(timeouts(0, 0, 0), 10);
    EXPECT_FALSE(plan.immediate);
    EXPECT_FALSE(plan.has_total);
    EXPECT_FALSE(plan.has_interval);
}

TEST(plan_read, the_two_special_forms) {
    EXPECT_TRUE(plan_read(timeouts(maxdword, 0, 0), 10).immediate);
    const read_plan any = plan_read(timeouts(maxdword, maxdword, 50), 10);
    EXPECT_TRUE(any.any_byte_ends);
    EXPECT_EQ(any.total_ms, 50u);
    EXPECT_FALSE(plan_read(timeouts(maxdword, 0, 5), 10).immediate);
}

TEST(write_wait_limit, no_write_time_out_is_bounded_all_the_same) {
    EXPECT_EQ(write_wait_limit_ms(timeouts(1, 1, 1, 0, 0), 17), unbounded_write_limit_ms);
    EXPECT_EQ(write_wait_limit_ms(timeouts(1, 1, 1, 2, 5), 17), 39u);
}

}  // namespace
