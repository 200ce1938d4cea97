// UUCP lock files: the old convention by which serial programs tell each
// other that a port is theirs. A file LCK..<device name> in /run/lock (or
// /var/lock) holds the PID of the process that uses the port, as ten ASCII
// characters and a newline. A port whose lock file names a live process is
// someone else's; zcal writes its own lock file while it holds a port, so
// that programs which look for lock files leave the printer alone too.
//
// The lock folder is writable by everyone and zcal is often run as root, so
// nothing is ever written through a name someone else placed there: a lock
// file is only ever created new (O_CREAT | O_EXCL | O_NOFOLLOW), and a name
// that is a link, or holds no PID of a live process, is removed (the name,
// never what it points to) before zcal makes its own.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace zcal_posix {

// The PID a lock file's contents name, or 0 when they name none: empty, not
// a decimal number, zero, or too large. Spaces may lead ("%10d\n"), and
// whitespace may end the number (some programs add their name after it).
pid_t lock_file_pid(const char* content, std::size_t length);

// The lock file's name for a device: "LCK..ttyACM0" for /dev/ttyACM0. The
// device's real path is used, so a link such as /dev/serial/by-id/... names
// the same lock as the device itself; below /dev, a '/' becomes '_'
// ("LCK..pts_3"). False when it does not fit.
bool lock_file_name(const char* device_path, char* name, std::size_t capacity);

// What took_port_lock_file found.
struct port_lock_holder {
    pid_t pid;      // the live process the lock names; 0 for one that cannot be read
    char path[96];  // the lock file
};

// Looks in the lock folders for a lock file on device_path. A live process's
// lock (or one zcal may not read) fills holder and gives false. Otherwise
// zcal's own lock file is made in the first folder that takes it, tied to
// the port's descriptor fd, and true is given; a folder zcal may not write
// in is no reason to refuse the port.
bool take_port_lock_file(const char* device_path, int fd, port_lock_holder* holder);

// Removes the lock file tied to fd, if any.
void release_port_lock_file(int fd);

// Removes every lock file zcal made. Async-signal-safe.
void remove_port_lock_files();

// The folders looked in, in order (default /run/lock, /var/lock); for tests,
// which must not use the machine's own. The strings must outlive their use.
void use_lock_folders(const char* const* folders, int count);

}  // namespace zcal_posix
