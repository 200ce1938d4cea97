// The console as one session over the process's standard input and output:
// started by the first console call, it sets up the renderer, the signal
// handlers and raw mode (each undone on the way out), and ended by the
// program closing its two console handles, or at exit.
#pragma once

#include "platform/platform.h"
#include "platform/posix/console_renderer.h"

namespace zcal_posix {

// Starts the session, once: later calls do nothing.
void console_start();

// The screen the console calls draw on (starts the session).
console_renderer* console_screen();

// Sends what was drawn to the terminal; the program is about to wait. Does
// nothing before the session has started.
void console_flush();

bool console_input_is_terminal();
bool console_output_is_terminal();
bool console_uses_utf8();

// The size of the terminal on fd; false when fd is no terminal or does not
// know its size.
bool terminal_size(int fd, int* columns, int* rows);

// Closing console_in puts the terminal's mode back; closing console_out
// sends the rest of the output and leaves the terminal ready for a shell.
void console_close_input();
void console_close_output();
bool console_input_closed();
bool console_output_closed();

}  // namespace zcal_posix
