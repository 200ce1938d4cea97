// What the fault tests add to the end-to-end harness (tests/e2e): zcal
// started with faults placed in its private /dev or under a wrapper, and
// its CPU time read from /proc.
#pragma once

#include <sys/types.h>

#include <cstdlib>
#include <string>

#include "bench/proc_stats.h"
#include "session_steps.h"
#include "zcal_session.h"

namespace faults {

// For the sessions started while it lives: what launch_zcal does before it
// runs zcal (see that script). Every session of these tests needs one.
// ZCAL_FAULT_BINARY set before the tests start runs them against another
// build of zcal (a sanitizer build, a patched one) instead of this build's.
class Launch_with {
public:
    Launch_with() : Launch_with("", "") {}
    // setup and hold: see ZCAL_FAULT_SETUP and ZCAL_FAULT_HOLD in launch_zcal.
    Launch_with(const std::string& binds, const std::string& prefix, const std::string& setup = "",
                const std::string& hold = "") {
        setenv("ZCAL_FAULT_BINARY", ZCAL_BINARY, 0);
        setenv("ZCAL_PORT_HOLDER", PORT_HOLDER_PATH, 1);
        setenv("ZCAL_FAULT_BINDS", binds.c_str(), 1);
        setenv("ZCAL_FAULT_PREFIX", prefix.c_str(), 1);
        setenv("ZCAL_FAULT_SETUP", setup.c_str(), 1);
        setenv("ZCAL_FAULT_HOLD", hold.c_str(), 1);
    }
    ~Launch_with() {
        unsetenv("ZCAL_FAULT_BINDS");
        unsetenv("ZCAL_FAULT_PREFIX");
        unsetenv("ZCAL_FAULT_SETUP");
        unsetenv("ZCAL_FAULT_HOLD");
    }
    Launch_with(const Launch_with&) = delete;
    Launch_with& operator=(const Launch_with&) = delete;
};

// Percent of one core that pid used over the given time, from utime+stime;
// -1 when it ended meanwhile.
inline double cpu_percent_over(e2e::Zcal_session& session, pid_t pid, double seconds) {
    const long before = bench::cpu_ticks(pid);
    const std::int64_t start = e2e::now_us();
    session.settle(seconds);
    const long after = bench::cpu_ticks(pid);
    const double elapsed = static_cast<double>(e2e::now_us() - start) / 1e6;
    if (before < 0 || after < 0) return -1;
    return 100.0 * static_cast<double>(after - before) / static_cast<double>(bench::ticks_per_second()) / elapsed;
}

}  // namespace faults
