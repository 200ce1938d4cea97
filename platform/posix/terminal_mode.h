// The terminal's input mode: raw while the program runs, the saved mode back
// on every way out. What was changed is recorded when it is changed, so the
// undo knows exactly what to put back, and the undo is safe in a signal
// handler (tcsetattr is async-signal-safe).
#pragma once

#include <termios.h>

namespace zcal_posix {

// No echo, no line editing, every byte as it comes; signals left on so
// Ctrl-C still ends the program, and flow control off so Ctrl-S cannot
// freeze the screen.
void make_raw(struct termios* mode);

// Saves the mode of fd and makes it raw. False when fd is no terminal or
// the mode cannot be set; then nothing was changed.
bool terminal_enter_raw(int fd);

// Puts the saved mode back, once; later calls do nothing.
// Async-signal-safe.
void terminal_restore();

// After a suspension: raw again, if it was raw when suspended.
// Async-signal-safe.
void terminal_suspend();
void terminal_resume();

}  // namespace zcal_posix
