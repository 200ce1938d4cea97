// Line settings through termios2. 250000 baud is no standard termios rate
// (no B250000): Linux takes any rate with BOTHER and the speed fields of
// struct termios2, set with TCSETS2.
//
// <asm/termbits.h> defines its own struct termios and flag macros, which
// clash with glibc's <termios.h>; this file is the only one to include it
// and must never include <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "platform/posix/serial_termios2.h"

namespace zcal_posix {

namespace {

tcflag_t size_flag(unsigned data_bits) {
    switch (data_bits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

}  // namespace

int apply_serial_line(int fd, const serial_line& line) {
    struct termios2 mode;
    if (ioctl(fd, TCGETS2, &mode) != 0) {
        return errno;
    }
    // Raw: no translation, no echo, no signals, no special characters.
    mode.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                           IXOFF | IXANY | INPCK | IUCLC | IMAXBEL);
    mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    mode.c_lflag &=
        ~static_cast<tcflag_t>(ECHO | ECHONL | ECHOE | ECHOK | ECHOCTL | ECHOKE | ICANON | ISIG | IEXTEN);

    // CLOCAL: no modem control lines are waited for; CREAD: receive. HUPCL is
    // left as the device has it.
    mode.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD |
                                           (CBAUD << IBSHIFT));
    mode.c_cflag |= size_flag(line.data_bits) | CLOCAL | CREAD;
    switch (line.parity) {
        case 'o':
            mode.c_cflag |= PARENB | PARODD;
            break;
        case 'e':
            mode.c_cflag |= PARENB;
            break;
        case 'm':
            mode.c_cflag |= PARENB | PARODD | CMSPAR;
            break;
        case 's':
            mode.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
    }
    if (line.parity != 'n') {
        mode.c_iflag |= INPCK;
    }
    if (line.stop_bits == 2) {
        mode.c_cflag |= CSTOPB;
    }
    if (line.rts_cts) {
        mode.c_cflag |= CRTSCTS;
    }
    if (line.xon_xoff_out) {
        mode.c_iflag |= IXON;
    }
    if (line.xon_xoff_in) {
        mode.c_iflag |= IXOFF;
    }
    mode.c_cc[VSTART] = static_cast<cc_t>(line.xon);
    mode.c_cc[VSTOP] = static_cast<cc_t>(line.xoff);

    // A read gives what is there at once; the layer waits with poll().
    mode.c_cc[VMIN] = 0;
    mode.c_cc[VTIME] = 0;

    // Any rate: BOTHER with the rate in the speed fields. The input rate
    // field is left 0 (CIBAUD cleared), so input runs at the output rate.
    mode.c_cflag |= BOTHER;
    mode.c_ospeed = line.baud;
    mode.c_ispeed = line.baud;

    if (ioctl(fd, TCSETS2, &mode) != 0) {
        return errno;
    }
    return 0;
}

int read_serial_speed(int fd, unsigned* baud) {
    struct termios2 mode;
    if (ioctl(fd, TCGETS2, &mode) != 0) {
        return errno;
    }
    *baud = mode.c_ospeed;
    return 0;
}

}  // namespace zcal_posix
