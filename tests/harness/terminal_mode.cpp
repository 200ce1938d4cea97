#include "terminal_mode.h"

#include <cstdio>
#include <cstring>

namespace harness {

bool same_mode(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

std::string describe_mode(const termios& mode) {
    char text[160];
    std::snprintf(text, sizeof text, "iflag=%#o oflag=%#o cflag=%#o lflag=%#o VMIN=%d VTIME=%d", mode.c_iflag,
                  mode.c_oflag, mode.c_cflag, mode.c_lflag, mode.c_cc[VMIN], mode.c_cc[VTIME]);
    return text;
}

bool raw_mode(const termios& mode) {
    return (mode.c_lflag & (ICANON | ECHO)) == 0 && (mode.c_lflag & ISIG) != 0;
}

bool cooked_mode(const termios& mode) { return (mode.c_lflag & ICANON) != 0 && (mode.c_lflag & ECHO) != 0; }

}  // namespace harness
