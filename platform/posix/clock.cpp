#include "platform/posix/clock.h"

namespace zcal_posix {

std::uint64_t monotonic_ns() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u + static_cast<std::uint64_t>(now.tv_nsec);
}

struct timespec time_left(std::uint64_t deadline_ns) {
    const std::uint64_t now = monotonic_ns();
    const std::uint64_t left = deadline_ns > now ? deadline_ns - now : 0;
    struct timespec wait;
    wait.tv_sec = static_cast<time_t>(left / 1000000000u);
    wait.tv_nsec = static_cast<long>(left % 1000000000u);
    return wait;
}

}  // namespace zcal_posix
