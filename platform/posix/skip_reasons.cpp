#include "platform/posix/skip_reasons.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/posix/group_name.h"
#include "platform/posix/handles.h"
#include "platform/posix/port_holders.h"

namespace zcal_posix {

namespace {

struct kept_skip {
    bool used;
    char device[128];
    port_skip skip;
};

// More than the 21 names the program looks at, for devices tried twice.
kept_skip kept[32];

// The report, made ready whenever a reason changes, so that a signal
// handler only has to write it. Its length is 0 while it is being made.
char report[8192];
volatile sig_atomic_t report_length = 0;
volatile sig_atomic_t reported = 0;

void prepare_report() {
    report_length = 0;
    std::size_t length = 0;
    for (const kept_skip& entry : kept) {
        if (!entry.used) {
            continue;
        }
        char line[512];
        const std::size_t line_length = format_port_skip(entry.device, entry.skip, line, sizeof line);
        if (length + line_length > sizeof report) {
            break;
        }
        std::memcpy(report + length, line, line_length);
        length += line_length;
    }
    report_length = static_cast<sig_atomic_t>(length);
}

kept_skip* entry_for(const char* device) {
    for (kept_skip& entry : kept) {
        if (entry.used && std::strcmp(entry.device, device) == 0) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

port_skip busy_port_skip(skip_kind kind, pid_t holder) {
    port_skip skip;
    std::memset(&skip, 0, sizeof skip);
    skip.kind = kind;
    skip.pid = holder;
    if (holder > 0) {
        read_process_name(holder, skip.program, sizeof skip.program);
    }
    return skip;
}

port_skip failed_open_skip(const char* path, int error) {
    struct stat status;
    const bool known = stat(path, &status) == 0;
    if (error == EBUSY) {
        // Another program has the line in exclusive mode.
        return busy_port_skip(skip_kind::exclusive,
                              known && S_ISCHR(status.st_mode) ? find_port_holder(status.st_rdev) : 0);
    }
    port_skip skip = busy_port_skip(skip_kind::open_failed, 0);
    skip.error = error;
    if (error == ENOTTY) {
        skip.kind = skip_kind::not_serial;
    } else if (error == EACCES || error == EPERM) {
        skip.kind = skip_kind::permission;
        if (known) {
            skip.mode = status.st_mode & 07777u;
            skip.group_is_root = status.st_gid == 0;
            group_name(status.st_gid, skip.group, sizeof skip.group);
        }
    }
    return skip;
}

void record_port_skip(const char* device, const port_skip& skip) {
    kept_skip* entry = entry_for(device);
    for (kept_skip& free_entry : kept) {
        if (entry == nullptr && !free_entry.used) {
            entry = &free_entry;
        }
    }
    if (entry == nullptr || std::strlen(device) >= sizeof entry->device) {
        return;
    }
    entry->used = true;
    std::strcpy(entry->device, device);
    entry->skip = skip;
    prepare_report();
}

void forget_port_skip(const char* device) {
    if (kept_skip* entry = entry_for(device)) {
        entry->used = false;
        prepare_report();
    }
}

void report_port_skips() {
    if (reported || any_port_open()) {
        return;
    }
    reported = 1;
    const char* text = report;
    std::size_t length = static_cast<std::size_t>(report_length);
    while (length > 0) {
        const ssize_t written = write(STDERR_FILENO, text, length);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        text += written;
        length -= static_cast<std::size_t>(written);
    }
}

void clear_port_skips() {
    for (kept_skip& entry : kept) {
        entry.used = false;
    }
    report_length = 0;
    reported = 0;
}

}  // namespace zcal_posix
