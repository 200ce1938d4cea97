// Sleep: the program is about to wait, so what it drew goes out first.
#include <cerrno>
#include <ctime>

#include "platform/posix/clock.h"
#include "platform/posix/console_session.h"

void Sleep(DWORD dwMilliseconds) {
    zcal_posix::console_flush();
    const std::uint64_t deadline = zcal_posix::monotonic_ns() + std::uint64_t{dwMilliseconds} * 1000000u;
    struct timespec until;
    until.tv_sec = static_cast<time_t>(deadline / 1000000000u);
    until.tv_nsec = static_cast<long>(deadline % 1000000000u);
    // An absolute deadline: a signal that cuts the sleep short costs nothing.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}
