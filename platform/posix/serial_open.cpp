// CreateFileA on a serial device.
#include "platform/posix/serial_open.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/console_session.h"
#include "platform/posix/error_codes.h"
#include "platform/posix/handles.h"
#include "platform/posix/own_terminal.h"
#include "platform/posix/port_claim.h"
#include "platform/posix/port_names.h"
#include "platform/posix/skip_reasons.h"

namespace zcal_posix {

namespace {

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
        const int error = errno;
        // A device that is not there needs no word: most of the names
        // looked at are absent on any machine.
        if (error != ENOENT && error != ENOTDIR) {
            record_port_skip(path, failed_open_skip(path, error));
        }
        return fail_open(-1, error_from_errno(error));
    }
    if (!isatty(fd)) {
        record_port_skip(path, failed_open_skip(path, ENOTTY));
        return fail_open(fd, ERROR_FILE_NOT_FOUND);
    }
    if (is_own_terminal(fd)) {
        // In use, as zcal's own console.
        record_port_skip(path, busy_port_skip(skip_kind::in_use, getpid()));
        return fail_open(fd, ERROR_SHARING_VIOLATION);
    }
    if (share_mode == 0 && !claim_port(path, fd)) {
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int error = errno;
        release_port_claim(fd);
        return fail_open(fd, error_from_errno(error));
    }
    const HANDLE port = port_handle_add(fd);
    if (port == INVALID_HANDLE_VALUE) {
        release_port_claim(fd);
        return fail_open(fd, error_too_many_open_files);
    }
    forget_port_skip(path);
    return port;
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
    // What was drawn is shown before the port is looked at: finding out
    // whether another program has it means looking through every
    // process's descriptors, which on a busy machine takes a moment.
    zcal_posix::console_flush();
    return zcal_posix::open_serial_device(path, dwDesiredAccess, dwShareMode);
}
