// CreateFileA on a serial device.
#include "platform/posix/serial_open.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/posix/error_codes.h"
#include "platform/posix/handles.h"
#include "platform/posix/own_terminal.h"
#include "platform/posix/port_names.h"

namespace zcal_posix {

namespace {

// The descriptors that hold TIOCEXCL, for the signal handlers; -1 is none.
volatile sig_atomic_t exclusive_fds[port_slot_count] = {-1, -1, -1, -1, -1, -1, -1, -1,
                                                        -1, -1, -1, -1, -1, -1, -1, -1};

void note_exclusive(int fd, bool exclusive) {
    for (volatile sig_atomic_t& slot : exclusive_fds) {
        if (exclusive ? slot == -1 : slot == fd) {
            slot = exclusive ? fd : -1;
            return;
        }
    }
}

HANDLE fail_open(int fd, DWORD error) {
    if (fd >= 0) {
        close(fd);
    }
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

int open_flags(DWORD access) {
    const bool reads = (access & GENERIC_READ) != 0;
    const bool writes = (access & GENERIC_WRITE) != 0;
    return reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
}

}  // namespace

HANDLE open_serial_device(const char* path, DWORD access, DWORD share_mode) {
    // O_NONBLOCK only while opening: a modem line that waits for carrier, or
    // a device that is no serial port, must not hang the search.
    int fd = -1;
    do {
        fd = open(path, open_flags(access) | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return fail_open(-1, error_from_errno(errno));
    }
    if (!isatty(fd)) {
        return fail_open(fd, ERROR_FILE_NOT_FOUND);
    }
    if (is_own_terminal(fd)) {
        return fail_open(fd, ERROR_SHARING_VIOLATION);  // in use, as zcal's console
    }
    if (share_mode == 0) {
        // flock stops every other program that asks for the lock, root
        // included; TIOCEXCL also stops other users' programs that do not.
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            return fail_open(fd, errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : error_from_errno(errno));
        }
        if (ioctl(fd, TIOCEXCL) == 0) {
            note_exclusive(fd, true);
        }
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const DWORD error = error_from_errno(errno);
        release_port_exclusivity_of(fd);
        return fail_open(fd, error);
    }
    const HANDLE port = port_handle_add(fd);
    if (port == INVALID_HANDLE_VALUE) {
        release_port_exclusivity_of(fd);
        return fail_open(fd, error_too_many_open_files);
    }
    return port;
}

void release_port_exclusivity_of(int fd) {
    ioctl(fd, TIOCNXCL);
    note_exclusive(fd, false);
}

void release_port_exclusivity() {
    for (volatile sig_atomic_t& slot : exclusive_fds) {
        const int fd = slot;
        if (fd >= 0) {
            ioctl(fd, TIOCNXCL);
        }
    }
}

}  // namespace zcal_posix

HANDLE CreateFileA(const char* lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   SECURITY_ATTRIBUTES* lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    (void)lpSecurityAttributes;
    (void)dwFlagsAndAttributes;
    (void)hTemplateFile;
    char path[zcal_posix::device_path_capacity];
    if (!zcal_posix::device_path_for_port(lpFileName, path, sizeof path)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // A port exists or not: it is never created.
    if (dwCreationDisposition != OPEN_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return zcal_posix::open_serial_device(path, dwDesiredAccess, dwShareMode);
}
