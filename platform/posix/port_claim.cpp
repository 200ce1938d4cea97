#include "platform/posix/port_claim.h"

#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/posix/error_codes.h"
#include "platform/posix/handles.h"
#include "platform/posix/port_holders.h"
#include "platform/posix/port_lock_file.h"
#include "platform/posix/skip_reasons.h"

namespace zcal_posix {

namespace {

// The descriptors on which we set TIOCEXCL, for the signal handlers; -1 is
// none.
volatile sig_atomic_t exclusive_fds[port_slot_count] = {-1, -1, -1, -1, -1, -1, -1, -1,
                                                        -1, -1, -1, -1, -1, -1, -1, -1};

void note_exclusive(int fd) {
    for (volatile sig_atomic_t& slot : exclusive_fds) {
        if (slot == -1) {
            slot = fd;
            return;
        }
    }
}

bool refuse(const char* path, int fd, const port_skip& skip, DWORD error) {
    record_port_skip(path, skip);
    release_port_claim(fd);
    SetLastError(error);
    return false;
}

}  // namespace

// The order closes the gaps between the checks: flock first, which every
// program that asks for it respects, root included; then whether the line
// is exclusive already (root opens such a line all the same); then
// TIOCEXCL, so that from here on no other user's program can open it; then
// whoever opened it before that moment; and last the lock file, which
// programs that use them make before they open the port.
bool claim_port(const char* path, int fd) {
    struct stat status;
    if (fstat(fd, &status) != 0) {
        const int error = errno;
        return refuse(path, fd, failed_open_skip(path, error), error_from_errno(error));
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            return refuse(path, fd, busy_port_skip(skip_kind::flocked, find_port_holder(status.st_rdev)),
                          ERROR_SHARING_VIOLATION);
        }
        return refuse(path, fd, failed_open_skip(path, error), error_from_errno(error));
    }
    int exclusive = 0;
    if (ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        return refuse(path, fd, busy_port_skip(skip_kind::exclusive, find_port_holder(status.st_rdev)),
                      ERROR_SHARING_VIOLATION);
    }
    if (ioctl(fd, TIOCEXCL) == 0) {
        note_exclusive(fd);
    }
    const pid_t holder = find_port_holder(status.st_rdev);
    if (holder > 0) {
        return refuse(path, fd, busy_port_skip(skip_kind::in_use, holder), ERROR_SHARING_VIOLATION);
    }
    port_lock_holder lock;
    std::memset(&lock, 0, sizeof lock);
    if (!take_port_lock_file(path, fd, &lock)) {
        port_skip skip = busy_port_skip(skip_kind::lock_file, lock.pid);
        std::memcpy(skip.lock_path, lock.path, sizeof skip.lock_path);
        return refuse(path, fd, skip, ERROR_SHARING_VIOLATION);
    }
    return true;
}

void release_port_claim(int fd) {
    // Only what we set: a line another program made exclusive stays so.
    for (volatile sig_atomic_t& slot : exclusive_fds) {
        if (slot == fd) {
            ioctl(fd, TIOCNXCL);
            slot = -1;
        }
    }
    release_port_lock_file(fd);
    // The flock goes with the descriptor.
}

void release_all_port_claims() {
    for (volatile sig_atomic_t& slot : exclusive_fds) {
        const int fd = slot;
        if (fd >= 0) {
            ioctl(fd, TIOCNXCL);
        }
    }
    remove_port_lock_files();
}

}  // namespace zcal_posix
