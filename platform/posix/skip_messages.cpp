// What zcal says about a port it did not use: one line each, for the user
// who wonders why the printer was not found.
#include <cstdio>
#include <cstring>

#include "platform/posix/skip_reasons.h"

namespace zcal_posix {

namespace {

void holder_text(const port_skip& skip, char* text, std::size_t capacity) {
    if (skip.program[0] != '\0') {
        std::snprintf(text, capacity, "PID %d (%s)", static_cast<int>(skip.pid), skip.program);
    } else {
        std::snprintf(text, capacity, "PID %d", static_cast<int>(skip.pid));
    }
}

}  // namespace

std::size_t format_port_skip(const char* device, const port_skip& skip, char* text, std::size_t capacity) {
    if (capacity < 2) {
        return 0;
    }
    char holder[48];
    holder_text(skip, holder, sizeof holder);
    int length = 0;
    switch (skip.kind) {
        case skip_kind::in_use:
        case skip_kind::exclusive:
        case skip_kind::flocked:
            if (skip.pid > 0) {
                length = std::snprintf(text, capacity, "zcal: %s: in use by %s\n", device, holder);
            } else {
                length = std::snprintf(text, capacity, "zcal: %s: in use by another program (%s)\n", device,
                                       skip.kind == skip_kind::flocked ? "it holds the port's lock"
                                                                       : "it has the line in exclusive mode");
            }
            break;
        case skip_kind::lock_file:
            if (skip.pid > 0) {
                length = std::snprintf(text, capacity, "zcal: %s: locked by %s in %s\n", device, holder,
                                       skip.lock_path);
            } else {
                length = std::snprintf(text, capacity, "zcal: %s: locked: %s cannot be read\n", device,
                                       skip.lock_path);
            }
            break;
        case skip_kind::permission:
            // Joining the group only helps when the group may read and write.
            if (!skip.group_is_root && (skip.mode & 060u) == 060u) {
                length =
                    std::snprintf(text, capacity,
                                  "zcal: %s: permission denied: you must be in the group %s, which owns it "
                                  "(sudo usermod -aG %s $USER, then log in again)\n",
                                  device, skip.group, skip.group);
            } else {
                length = std::snprintf(text, capacity, "zcal: %s: permission denied (mode %04o, group %s)\n",
                                       device, skip.mode & 07777u, skip.group);
            }
            break;
        case skip_kind::not_serial:
            length = std::snprintf(text, capacity, "zcal: %s: not a serial device\n", device);
            break;
        case skip_kind::open_failed:
            length = std::snprintf(text, capacity, "zcal: %s: cannot be opened: %s\n", device,
                                   std::strerror(skip.error));
            break;
    }
    if (length <= 0) {
        return 0;
    }
    if (static_cast<std::size_t>(length) >= capacity) {
        // Cut short, but still one whole line.
        text[capacity - 2] = '\n';
        text[capacity - 1] = '\0';
        return capacity - 1;
    }
    return static_cast<std::size_t>(length);
}

}  // namespace zcal_posix
