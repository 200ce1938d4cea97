// What /proc tells about a running process: CPU time and peak memory.
#pragma once

#include <sys/types.h>

#include <cstdint>

namespace bench {

// User plus system CPU time from /proc/<pid>/stat, in clock ticks; -1 when
// the process is gone.
long cpu_ticks(pid_t pid);
long ticks_per_second();

// Time on a CPU from /proc/<pid>/schedstat, in nanoseconds: the scheduler's
// own account, far finer than the ticks; -1 when not available.
std::int64_t cpu_ns(pid_t pid);

// How often the process has gone to sleep of its own accord (voluntary
// context switches, from /proc/<pid>/status): each is one wake-up later.
long voluntary_switches(pid_t pid);

// Peak resident set (VmHWM) from /proc/<pid>/status, in KiB; -1 if unknown.
long peak_rss_kib(pid_t pid);

}  // namespace bench
