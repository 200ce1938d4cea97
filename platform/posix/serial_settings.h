// The line-settings record read into the settings a serial line is given.
#pragma once

#include "platform/platform.h"
#include "platform/posix/serial_termios2.h"

namespace zcal_posix {

// Reads the record. False, naming nothing, when it asks for what no line
// can do (no baud rate, 9 data bits, an unknown parity).
bool serial_line_from_dcb(const DCB& settings, serial_line* line);

}  // namespace zcal_posix
