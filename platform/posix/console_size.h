// The screen needs a terminal of at least 119 columns and 25 rows. On a
// smaller one the program waits, saying so on one line, until it has been
// made large enough, rather than draw a garbled screen.
#pragma once

#include <cstddef>

namespace zcal_posix {

constexpr int needed_columns = 119;
constexpr int needed_rows = 25;

bool size_is_enough(int columns, int rows);

// "zcal needs a terminal of at least 119 x 25; this one is 80 x 24. ..."
// Gives the length (at most capacity - 1; the text is zero-terminated).
std::size_t format_size_message(int columns, int rows, char* text, std::size_t capacity);

// Returns at once when standard output is no terminal, does not know its
// size or is large enough. Otherwise asks the terminal to grow and waits
// until it is large enough, the input ends, or a signal ends the program.
void wait_for_large_enough_terminal();

}  // namespace zcal_posix
