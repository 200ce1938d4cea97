// Whether a terminal device is the one zcal runs in. /dev/tty, or the
// terminal's own /dev/pts/N, is a terminal device like a printer's port, but
// opening it as the port would set the user's terminal to 250000 baud raw
// mode and send the move lines to the screen.
#pragma once

namespace zcal_posix {

// True when fd is the calling process's controlling terminal, or the same
// device as its standard input or output.
bool is_own_terminal(int fd);

}  // namespace zcal_posix
