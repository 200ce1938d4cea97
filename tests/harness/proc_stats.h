// What /proc tells about a running process: its state, its child, its CPU
// time and its peak memory. The one reader of /proc for the tests and the
// benchmarks.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <vector>

namespace harness {

// The state letter of /proc/<pid>/stat ('S' sleeping, 'T' stopped, ...);
// '?' when the process is gone.
char process_state(pid_t pid);

// The first child of a process, or -1 when it has none.
pid_t only_child_of(pid_t parent);

// Every process of a session (the processes whose session id is sid),
// found in /proc.
std::vector<pid_t> session_members(pid_t sid);

// User plus system CPU time from /proc/<pid>/stat, in clock ticks; -1 when
// the process is gone.
long cpu_ticks(pid_t pid);
long ticks_per_second();
// The same in seconds; -1 when the process is gone.
double cpu_seconds(pid_t pid);

// Time on a CPU from /proc/<pid>/schedstat, in nanoseconds: the scheduler's
// own account, far finer than the ticks; -1 when not available.
std::int64_t cpu_ns(pid_t pid);

// How often the process has gone to sleep of its own accord (voluntary
// context switches, from /proc/<pid>/status): each is one wake-up later.
long voluntary_switches(pid_t pid);

// Peak resident set (VmHWM) from /proc/<pid>/status, in KiB; -1 if unknown.
long peak_rss_kib(pid_t pid);

}  // namespace harness
