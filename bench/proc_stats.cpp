#include "bench/proc_stats.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace bench {

namespace {

std::string read_proc(pid_t pid, const char* name) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + name);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace

long cpu_ticks(pid_t pid) {
    const std::string stat = read_proc(pid, "stat");
    // The command name is in parentheses and may hold spaces: count the
    // fields from the last ')'. utime and stime are fields 14 and 15.
    const std::size_t end = stat.rfind(')');
    if (end == std::string::npos) return -1;
    std::istringstream fields(stat.substr(end + 2));
    std::string field;
    long utime = -1;
    long stime = -1;
    for (int number = 3; fields >> field; ++number) {
        if (number == 14) utime = std::atol(field.c_str());
        if (number == 15) {
            stime = std::atol(field.c_str());
            break;
        }
    }
    return utime < 0 || stime < 0 ? -1 : utime + stime;
}

long ticks_per_second() { return sysconf(_SC_CLK_TCK); }

std::int64_t cpu_ns(pid_t pid) {
    const std::string schedstat = read_proc(pid, "schedstat");
    if (schedstat.empty()) return -1;
    return std::atoll(schedstat.c_str());
}

namespace {

long status_field(pid_t pid, const std::string& name) {
    std::istringstream status(read_proc(pid, "status"));
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, name.size(), name) == 0) return std::atol(line.c_str() + name.size());
    }
    return -1;
}

}  // namespace

long voluntary_switches(pid_t pid) { return status_field(pid, "voluntary_ctxt_switches:"); }

long peak_rss_kib(pid_t pid) { return status_field(pid, "VmHWM:"); }

}  // namespace bench
