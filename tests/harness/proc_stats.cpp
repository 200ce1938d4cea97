#include "proc_stats.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace harness {

namespace {

std::string read_proc(pid_t pid, const std::string& name) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + name);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// The fields of /proc/<pid>/stat from the third (the state) on. The command
// name before them is in parentheses and may hold spaces: they start after
// the last ')'.
std::string stat_fields(pid_t pid) {
    const std::string stat = read_proc(pid, "stat");
    const std::size_t end = stat.rfind(')');
    return end == std::string::npos || end + 2 >= stat.size() ? std::string() : stat.substr(end + 2);
}

long status_field(pid_t pid, const std::string& name) {
    std::istringstream status(read_proc(pid, "status"));
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, name.size(), name) == 0)
            return std::atol(line.c_str() + name.size());
    }
    return -1;
}

}  // namespace

char process_state(pid_t pid) {
    const std::string fields = stat_fields(pid);
    return fields.empty() ? '?' : fields[0];
}

pid_t only_child_of(pid_t parent) {
    std::istringstream children(read_proc(parent, "task/" + std::to_string(parent) + "/children"));
    pid_t child = -1;
    children >> child;
    return child;
}

std::vector<pid_t> session_members(pid_t sid) {
    std::vector<pid_t> members;
    // Processes come and go while the folder is read: no error may throw.
    std::error_code error;
    std::filesystem::directory_iterator entry("/proc", error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t pid = static_cast<pid_t>(std::atol(name.c_str()));
        // Fields 3 to 6: state, parent, process group, session.
        std::istringstream fields(stat_fields(pid));
        std::string state;
        long parent = 0, group = 0, session = 0;
        if (fields >> state >> parent >> group >> session && session == sid)
            members.push_back(pid);
    }
    return members;
}

long cpu_ticks(pid_t pid) {
    // utime and stime are fields 14 and 15.
    std::istringstream fields(stat_fields(pid));
    std::string field;
    long utime = -1;
    long stime = -1;
    for (int number = 3; fields >> field; ++number) {
        if (number == 14)
            utime = std::atol(field.c_str());
        if (number == 15) {
            stime = std::atol(field.c_str());
            break;
        }
    }
    return utime < 0 || stime < 0 ? -1 : utime + stime;
}

long ticks_per_second() { return sysconf(_SC_CLK_TCK); }

double cpu_seconds(pid_t pid) {
    const long ticks = cpu_ticks(pid);
    return ticks < 0 ? -1 : static_cast<double>(ticks) / static_cast<double>(ticks_per_second());
}

std::int64_t cpu_ns(pid_t pid) {
    const std::string schedstat = read_proc(pid, "schedstat");
    if (schedstat.empty())
        return -1;
    return std::atoll(schedstat.c_str());
}

long voluntary_switches(pid_t pid) { return status_field(pid, "voluntary_ctxt_switches:"); }

long peak_rss_kib(pid_t pid) { return status_field(pid, "VmHWM:"); }

}  // namespace harness
