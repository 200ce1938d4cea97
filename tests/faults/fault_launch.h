// How the fault tests start zcal: through launch_zcal, which puts the
// test's faults in place inside scripts/with_printer's private /dev (or runs
// zcal under a prefix) and then runs the real binary. ZCAL_FAULT_BINARY set
// before the tests start runs them against another build of zcal (a
// sanitizer build, a patched one) instead of this build's.
#pragma once

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "clock.h"
#include "proc_stats.h"
#include "pty_session.h"

namespace faults {

// What launch_zcal does before it runs zcal (see that script).
struct fault_setup {
    std::string binds;   // ZCAL_FAULT_BINDS: "NAME=PATH ..." bound over /dev/NAME
    std::string prefix;  // ZCAL_FAULT_PREFIX: a command zcal runs under
    std::string setup;   // ZCAL_FAULT_SETUP: shell commands in the private /dev
    std::string hold;    // ZCAL_FAULT_HOLD: "MODE NAME PID_FILE" for port_holder
};

inline harness::launch fault_launch(std::vector<std::string> printer_options = {},
                                    const fault_setup& faults = {}) {
    const char* given = std::getenv("ZCAL_FAULT_BINARY");
    harness::launch how;
    how.program = LAUNCH_ZCAL_PATH;
    how.printer_options = std::move(printer_options);
    how.environment = {
        std::string("ZCAL_FAULT_BINARY=") + (given != nullptr && *given != '\0' ? given : ZCAL_BINARY),
        std::string("ZCAL_PORT_HOLDER=") + PORT_HOLDER_PATH,
        "ZCAL_FAULT_BINDS=" + faults.binds,
        "ZCAL_FAULT_PREFIX=" + faults.prefix,
        "ZCAL_FAULT_SETUP=" + faults.setup,
        "ZCAL_FAULT_HOLD=" + faults.hold,
    };
    return how;
}

// Percent of one core that pid used over the given time, from utime+stime;
// -1 when it ended meanwhile.
inline double cpu_percent_over(harness::pty_session& session, pid_t pid, double seconds) {
    const long before = harness::cpu_ticks(pid);
    const std::int64_t start = harness::now_us();
    session.settle(seconds);
    const long after = harness::cpu_ticks(pid);
    const double elapsed = static_cast<double>(harness::now_us() - start) / 1e6;
    if (before < 0 || after < 0)
        return -1;
    return 100.0 * static_cast<double>(after - before) / static_cast<double>(harness::ticks_per_second()) /
           elapsed;
}

}  // namespace faults
