// A terminal's mode as a test reads it: the one the user had, the raw mode
// a program takes, and a text of it for failure messages.
#pragma once

#include <termios.h>

#include <string>

namespace harness {

// True when the two modes agree on everything a program may change.
bool same_mode(const termios& a, const termios& b);
std::string describe_mode(const termios& mode);

// No echo, no line editing, and the signal keys (Ctrl-C, Ctrl-\, Ctrl-Z)
// still on: the mode zcal runs in.
bool raw_mode(const termios& mode);
// Echo and line editing on: the mode a shell gives its commands.
bool cooked_mode(const termios& mode);

}  // namespace harness
