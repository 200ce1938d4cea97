// ReadFile and WriteFile on a serial port: poll() for the time-outs, then
// read() or write(), all timed on the monotonic clock.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "platform/common/read_timeouts.h"
#include "platform/posix/clock.h"
#include "platform/posix/console_session.h"
#include "platform/posix/error_codes.h"
#include "platform/posix/handles.h"
#include "platform/posix/serial_timeouts.h"

namespace zcal_posix {

std::uint64_t write_wait_limit_ms(const COMMTIMEOUTS& t, DWORD length) {
    if (t.WriteTotalTimeoutMultiplier == 0 && t.WriteTotalTimeoutConstant == 0) {
        return unbounded_write_limit_ms;
    }
    return std::uint64_t{t.WriteTotalTimeoutMultiplier} * length + t.WriteTotalTimeoutConstant;
}

namespace {

constexpr std::uint64_t ns_per_ms = 1000000;

// Waits for fd to be ready for events until deadline_ns (UINT64_MAX: no
// deadline). Gives the revents, 0 on time-out, -1 with errno on failure.
int wait_ready(int fd, short events, std::uint64_t deadline_ns) {
    for (;;) {
        struct pollfd ready = {fd, events, 0};
        struct timespec left;
        const struct timespec* timeout = nullptr;
        if (deadline_ns != UINT64_MAX) {
            left = time_left(deadline_ns);
            timeout = &left;
        }
        const int polled = ppoll(&ready, 1, timeout, nullptr);
        if (polled > 0) {
            return ready.revents;
        }
        if (polled == 0) {
            return 0;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace

}  // namespace zcal_posix

using namespace zcal_posix;

BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
              OVERLAPPED* lpOverlapped) {
    if (lpNumberOfBytesRead != nullptr) {
        *lpNumberOfBytesRead = 0;
    }
    port_slot* port = port_slot_of(hFile);
    if (port == nullptr) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (lpOverlapped != nullptr || lpNumberOfBytesRead == nullptr ||
        (lpBuffer == nullptr && nNumberOfBytesToRead > 0)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    // The program is about to wait for the printer: show what it drew.
    console_flush();

    const read_plan plan = plan_read(port->timeouts, nNumberOfBytesToRead);
    const std::uint64_t start = monotonic_ns();
    const std::uint64_t total_deadline = plan.immediate   ? start
                                         : plan.has_total ? start + plan.total_ms * ns_per_ms
                                                          : UINT64_MAX;
    std::uint64_t last_byte_at = 0;
    unsigned char* destination = static_cast<unsigned char*>(lpBuffer);
    DWORD count = 0;
    while (count < nNumberOfBytesToRead) {
        std::uint64_t deadline = total_deadline;
        if (count > 0 && plan.has_interval) {
            const std::uint64_t interval_deadline = last_byte_at + plan.interval_ms * ns_per_ms;
            deadline = interval_deadline < deadline ? interval_deadline : deadline;
        }
        const int ready = wait_ready(port->fd, POLLIN, deadline);
        if (ready == 0) {
            break;  // a time-out: success with what came
        }
        if (ready < 0 || (ready & POLLNVAL)) {
            *lpNumberOfBytesRead = count;
            return fail(ready < 0 ? error_from_errno(errno) : ERROR_INVALID_HANDLE);
        }
        if (!(ready & POLLIN)) {
            // Hung up or in error, with nothing left to read: fail at once,
            // so a caller that reads again does not spin on it.
            *lpNumberOfBytesRead = count;
            return fail(error_gen_failure);
        }
        const ssize_t got = read(port->fd, destination + count, nNumberOfBytesToRead - count);
        if (got > 0) {
            count += static_cast<DWORD>(got);
            last_byte_at = monotonic_ns();
            if (plan.any_byte_ends) {
                break;
            }
            continue;
        }
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        // Readable yet nothing to read (0), or EIO: the device hung up.
        *lpNumberOfBytesRead = count;
        return fail(got == 0 ? error_gen_failure : error_from_errno(errno));
    }
    *lpNumberOfBytesRead = count;
    return TRUE;
}

BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD nNumberOfBytesToWrite, DWORD* lpNumberOfBytesWritten,
               OVERLAPPED* lpOverlapped) {
    if (lpNumberOfBytesWritten != nullptr) {
        *lpNumberOfBytesWritten = 0;
    }
    port_slot* port = port_slot_of(hFile);
    if (port == nullptr) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (lpOverlapped != nullptr || lpNumberOfBytesWritten == nullptr ||
        (lpBuffer == nullptr && nNumberOfBytesToWrite > 0)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    console_flush();

    const std::uint64_t deadline =
        monotonic_ns() + write_wait_limit_ms(port->timeouts, nNumberOfBytesToWrite) * ns_per_ms;
    // Non-blocking for this write only: a blocking write() waits until the
    // device has taken every byte, however long that is.
    const int flags = fcntl(port->fd, F_GETFL);
    if (flags >= 0) {
        fcntl(port->fd, F_SETFL, flags | O_NONBLOCK);
    }
    const unsigned char* source = static_cast<const unsigned char*>(lpBuffer);
    DWORD count = 0;
    DWORD error = ERROR_SUCCESS;
    while (count < nNumberOfBytesToWrite) {
        const ssize_t written = write(port->fd, source + count, nNumberOfBytesToWrite - count);
        if (written > 0) {
            count += static_cast<DWORD>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno != EAGAIN) {
            error = error_from_errno(errno);
            break;
        }
        const int ready = wait_ready(port->fd, POLLOUT, deadline);
        if (ready == 0) {
            error = error_sem_timeout;
            break;
        }
        if (ready < 0 || (ready & (POLLHUP | POLLERR | POLLNVAL))) {
            error = ready < 0 ? error_from_errno(errno) : error_gen_failure;
            break;
        }
    }
    if (flags >= 0) {
        fcntl(port->fd, F_SETFL, flags);
    }
    *lpNumberOfBytesWritten = count;
    if (error != ERROR_SUCCESS) {
        return fail(error);
    }
    return TRUE;
}
