// How long a write on a serial port may wait. (The read time-outs follow the
// common rule, tested in tests/unit/read_timeouts_test.cpp.)
#include <gtest/gtest.h>

#include "platform/posix/serial_timeouts.h"

namespace {

using namespace zcal_posix;

COMMTIMEOUTS timeouts(DWORD write_multiplier, DWORD write_constant) {
    return COMMTIMEOUTS{1, 1, 1, write_multiplier, write_constant};
}

TEST(write_wait_limit, no_write_time_out_is_bounded_all_the_same) {
    EXPECT_EQ(write_wait_limit_ms(timeouts(0, 0), 17), unbounded_write_limit_ms);
    EXPECT_EQ(write_wait_limit_ms(timeouts(2, 5), 17), 39u);
}

}  // namespace
