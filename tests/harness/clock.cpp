#include "clock.h"

#include <time.h>

#include <cerrno>

namespace harness {

std::int64_t now_us() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void sleep_until_us(std::int64_t at_us) {
    const timespec until{static_cast<time_t>(at_us / 1000000), static_cast<long>(at_us % 1000000) * 1000};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

}  // namespace harness
