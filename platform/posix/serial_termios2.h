// A serial line's settings, and giving them to a device through termios2
// (serial_termios2.cpp); serial_settings.h reads them from the record.
#pragma once

#include "platform/platform.h"

namespace zcal_posix {

struct serial_line {
    unsigned baud;
    unsigned data_bits;  // 5 to 8
    char parity;         // 'n', 'o', 'e', 'm' (mark) or 's' (space)
    unsigned stop_bits;  // 1 or 2 (one and a half is two, as Linux has it)
    bool rts_cts;        // hardware handshaking
    bool xon_xoff_out;   // the device may pause what we send
    bool xon_xoff_in;    // we may pause what the device sends
    char xon;
    char xoff;
};

// Gives the line to the device on fd: raw bytes in and out, the record's
// framing, flow control only when asked for, reads that never wait (the
// layer times them itself), and any baud rate, 250000 included. Gives 0 or
// an errno value.
int apply_serial_line(int fd, const serial_line& line);

// The output baud rate the device runs at; 0 or an errno value.
int read_serial_speed(int fd, unsigned* baud);

}  // namespace zcal_posix
