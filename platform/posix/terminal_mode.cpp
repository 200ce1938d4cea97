#include "platform/posix/terminal_mode.h"

#include <csignal>

namespace zcal_posix {

namespace {

// Written before raw mode is set and read by signal handlers.
struct termios saved_mode;
struct termios raw_mode;
int terminal_fd = -1;
volatile sig_atomic_t raw_active = 0;
volatile sig_atomic_t raw_when_suspended = 0;

}  // namespace

void make_raw(struct termios* mode) {
    mode->c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP);
    mode->c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
    mode->c_lflag |= ISIG;
    mode->c_cc[VMIN] = 1;
    mode->c_cc[VTIME] = 0;
}

bool terminal_enter_raw(int fd) {
    if (raw_active) {
        return true;
    }
    struct termios mode;
    if (tcgetattr(fd, &mode) != 0) {
        return false;
    }
    saved_mode = mode;
    raw_mode = mode;
    make_raw(&raw_mode);
    terminal_fd = fd;
    // The undo is armed before the change: a signal in between restores a
    // mode that is still the saved one, which does no harm.
    raw_active = 1;
    if (tcsetattr(fd, TCSANOW, &raw_mode) != 0) {
        raw_active = 0;
        return false;
    }
    return true;
}

void terminal_restore() {
    if (raw_active) {
        raw_active = 0;
        tcsetattr(terminal_fd, TCSANOW, &saved_mode);
    }
}

void terminal_suspend() {
    raw_when_suspended = raw_active;
    terminal_restore();
}

void terminal_resume() {
    if (raw_when_suspended) {
        raw_when_suspended = 0;
        raw_active = 1;
        tcsetattr(terminal_fd, TCSANOW, &raw_mode);
    }
}

}  // namespace zcal_posix
