// Signals: the ones that end the program put the terminal back first, a
// suspension (Ctrl-Z) leaves the terminal cooked and a resumption makes it
// raw again and asks for the screen to be drawn again, and a resize is
// counted. Handlers only restore, write with write() and re-raise, or set
// a flag.
#pragma once

#include <csignal>

namespace zcal_posix {

// Installs the handlers, once. Signals the program was started with ignored
// (nohup) stay ignored. with_job_control: also Ctrl-Z and fg (stdin is a
// terminal whose mode the program changes).
void install_signal_handlers(bool with_job_control);

// How many SIGWINCH have come so far.
int window_change_count();

// True once after the program was resumed from a suspension.
bool take_repaint_request();

// What a handler writes to the terminal before the program stops: reset
// colours, show the cursor, and, once something was drawn, go to the line
// below the lowest row drawn (-1: nothing drawn).
void set_lowest_drawn_row(int row);

}  // namespace zcal_posix
