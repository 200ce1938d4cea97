#include "platform/posix/port_holders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace zcal_posix {

namespace {

// Calls entry(name) for every entry of the directory open on fd; stops
// early when it returns true. getdents64 with a buffer of our own: opendir
// would allocate one.
template <typename Entry>
bool any_entry(int fd, Entry entry) {
    alignas(8) char buffer[4096];
    for (;;) {
        const ssize_t length = getdents64(fd, buffer, sizeof buffer);
        if (length <= 0) {
            return false;
        }
        for (ssize_t at = 0; at < length;) {
            const dirent64* record = reinterpret_cast<const dirent64*>(buffer + at);
            at += record->d_reclen;
            if (record->d_name[0] != '.' && entry(record->d_name)) {
                return true;
            }
        }
    }
}

bool all_digits(const char* text) {
    if (*text == '\0') {
        return false;
    }
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') {
            return false;
        }
    }
    return true;
}

// Whether descriptor name in the fd directory open on fd_directory leads to
// the device. AT_STATX_DONT_SYNC: the type and device number are known
// locally, so a descriptor on a hung network or FUSE file cannot stall the
// search by asking its server.
bool leads_to(int fd_directory, const char* name, dev_t rdev) {
    struct statx status;
    if (statx(fd_directory, name, AT_STATX_DONT_SYNC, STATX_TYPE, &status) != 0) {
        return false;
    }
    return S_ISCHR(status.stx_mode) && makedev(status.stx_rdev_major, status.stx_rdev_minor) == rdev;
}

bool has_open(const char* pid_text, dev_t rdev) {
    char path[16 + sizeof dirent64::d_name];
    std::snprintf(path, sizeof path, "/proc/%s/fd", pid_text);
    const int fd_directory = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_directory < 0) {
        return false;
    }
    const bool found =
        any_entry(fd_directory, [&](const char* name) { return leads_to(fd_directory, name, rdev); });
    close(fd_directory);
    return found;
}

}  // namespace

pid_t find_port_holder(dev_t rdev) {
    const int proc = open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (proc < 0) {
        return 0;
    }
    char own[16];
    std::snprintf(own, sizeof own, "%d", static_cast<int>(getpid()));
    pid_t holder = 0;
    any_entry(proc, [&](const char* name) {
        if (!all_digits(name) || std::strcmp(name, own) == 0 || !has_open(name, rdev)) {
            return false;
        }
        pid_t pid = 0;
        for (const char* digit = name; *digit != '\0'; ++digit) {
            pid = pid * 10 + (*digit - '0');
        }
        holder = pid;
        return true;
    });
    close(proc);
    return holder;
}

void read_process_name(pid_t pid, char* name, std::size_t capacity) {
    if (capacity == 0) {
        return;
    }
    name[0] = '\0';
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%d/comm", static_cast<int>(pid));
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    const ssize_t length = read(fd, name, capacity - 1);
    close(fd);
    std::size_t end = length > 0 ? static_cast<std::size_t>(length) : 0;
    while (end > 0 && name[end - 1] == '\n') {
        --end;
    }
    name[end] = '\0';
}

}  // namespace zcal_posix
