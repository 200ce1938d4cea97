#include "platform/posix/own_terminal.h"

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace zcal_posix {

namespace {

bool same_device(const struct stat& device, int other_fd) {
    struct stat other;
    return fstat(other_fd, &other) == 0 && S_ISCHR(other.st_mode) && other.st_rdev == device.st_rdev;
}

}  // namespace

bool is_own_terminal(int fd) {
    // A terminal answers with its session only to the processes it is the
    // controlling terminal of: this catches /dev/tty, whose device number is
    // not the terminal's own.
    if (tcgetsid(fd) != -1) {
        return true;
    }
    struct stat device;
    if (fstat(fd, &device) != 0 || !S_ISCHR(device.st_mode)) {
        return false;
    }
    return same_device(device, STDIN_FILENO) || same_device(device, STDOUT_FILENO);
}

}  // namespace zcal_posix
