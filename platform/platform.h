// The one header the program includes for everything below it.
//
// The program is written against the Windows console, serial and timing
// functions by their own names. On Windows this header is the real API; on
// every other system it declares our own subset of it (platform/win_subset.h),
// implemented by the POSIX layer or, in the unit tests, by the fake.
//
// The command interpreter's three commands ("chcp 28591", "cls",
// "pause > NUL") all go through run_console_command, so that no shell is ever
// started where there is no command interpreter to honour them.
#pragma once

#include <cstddef>

#if defined(_WIN32)
#include "platform/windows/win_api.h"
#else
#include "platform/win_subset.h"
#endif

// Whether the console shows the grid-line bits of attribute words as lines
// on the cells' edges. A classic console window does; a pseudo console, as a
// terminal window hosts console programs through, carries colours only, so
// there the lines must be drawn as characters.
bool console_draws_grid_lines();

// Hands one command line to the system's command interpreter and waits until
// it has ended. The result is not meant to be examined.
int run_console_command(const char* command);

// ---- The command line, as this system writes it -------------------------

// True where "/?" asks a program for its help, as on Windows.
bool slash_question_asks_for_help();

// Turns a serial port as a user names it here (COM5 on Windows, a device
// path on Linux) into the name CreateFileA opens, in port_name (capacity
// bytes). False when the text names no port on this system, or its name
// does not fit.
bool port_name_from_argument(const char* argument, char* port_name, std::size_t capacity);

// Lines for the help text: how to name a port here, and which ports zcal
// tries when it is given none. Ends with a line feed.
const char* port_rules_text();
