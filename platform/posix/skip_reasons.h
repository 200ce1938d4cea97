// Why a port was not used. On Windows a port that fails to open is just
// skipped; on Linux the layer keeps the reason for each device that exists
// and could not be used, and, when the program ends without a port, says
// them on standard error once the terminal has been given back: one line per
// device. The program itself never learns of them.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace zcal_posix {

enum class skip_kind {
    in_use,       // another process has the device open
    exclusive,    // the line is in exclusive mode (TIOCEXCL)
    flocked,      // another process holds its flock
    lock_file,    // a lock file names a live process
    permission,   // this user may not open it
    not_serial,   // no terminal device
    open_failed,  // any other error on opening
};

struct port_skip {
    skip_kind kind;
    pid_t pid;           // the holder, when known; 0 otherwise
    char program[16];    // the holder's command name, "" when unknown
    char lock_path[96];  // lock_file: the lock file
    char group[40];      // permission: the name of the device's group
    unsigned mode;       // permission: the device's permission bits
    bool group_is_root;  // permission: the group is gid 0
    int error;           // open_failed: errno
};

// The reason for a port another program has: kind, and the holder (0 when
// not known) with its name.
port_skip busy_port_skip(skip_kind kind, pid_t holder);

// The reason for a device at path that exists and failed to open (or to be
// claimed) with errno error.
port_skip failed_open_skip(const char* path, int error);

// The line that says why device was skipped, with its newline, into text;
// its length (cut short to fit capacity). In skip_messages.cpp.
std::size_t format_port_skip(const char* device, const port_skip& skip, char* text, std::size_t capacity);

// Keeps the reason device was skipped, in place of any earlier one.
void record_port_skip(const char* device, const port_skip& skip);

// A device that opened after all has no reason any more.
void forget_port_skip(const char* device);

// Writes the reasons kept to standard error, once, unless a port is open
// (the program found one). Async-signal-safe.
void report_port_skips();

// Forgets every reason and lets them be reported again; for tests.
void clear_port_skips();

}  // namespace zcal_posix
