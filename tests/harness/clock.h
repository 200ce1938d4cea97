// The tests' one clock: CLOCK_MONOTONIC in microseconds, the clock the
// printer emulator stamps its log with, so times taken here and times in
// the log can be subtracted.
#pragma once

#include <cstdint>

namespace harness {

std::int64_t now_us();
void sleep_until_us(std::int64_t at_us);

}  // namespace harness
