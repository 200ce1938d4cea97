#include "platform/posix/console_size.h"

#include <unistd.h>

#include <cstdio>

#include "platform/posix/console_input.h"
#include "platform/posix/console_session.h"

namespace zcal_posix {

namespace {

// How often the size is looked at again when no resize signal came.
constexpr int size_poll_ms = 300;

}  // namespace

bool size_is_enough(int columns, int rows) { return columns >= needed_columns && rows >= needed_rows; }

std::size_t format_size_message(int columns, int rows, char* text, std::size_t capacity) {
    const int length = std::snprintf(text, capacity,
                                     "zcal needs a terminal of at least %d x %d; this one is %d x %d. "
                                     "Enlarge it or press Ctrl-C.",
                                     needed_columns, needed_rows, columns, rows);
    if (length < 0 || capacity == 0) {
        return 0;
    }
    return static_cast<std::size_t>(length) < capacity ? static_cast<std::size_t>(length) : capacity - 1;
}

void wait_for_large_enough_terminal() {
    int columns = 0;
    int rows = 0;
    if (!console_output_is_terminal() || !terminal_size(STDOUT_FILENO, &columns, &rows) ||
        size_is_enough(columns, rows)) {
        return;
    }
    console_renderer* screen = console_screen();
    // xterm and others grow their window on this request; the rest ignore it.
    const int wanted[3] = {8, rows > needed_rows ? rows : needed_rows,
                           columns > needed_columns ? columns : needed_columns};
    output_append_csi(screen->out, wanted, 3, 't');

    int shown_columns = -1;
    int shown_rows = -1;
    while (terminal_size(STDOUT_FILENO, &columns, &rows) && !size_is_enough(columns, rows)) {
        if (columns != shown_columns || rows != shown_rows) {
            char message[160];
            const std::size_t length = format_size_message(columns, rows, message, sizeof message);
            output_append_text(screen->out, "\x1b[0m\x1b[H\x1b[2J");
            output_append(screen->out, message, length);
            renderer_terminal_changed(screen);
            shown_columns = columns;
            shown_rows = rows;
        }
        console_flush();
        // Keys mean nothing here; a resize signal cuts the wait short. When
        // the input ends, go on: the program then sees it and ends.
        if (!drop_input_for(size_poll_ms)) {
            break;
        }
    }
    renderer_set_size(screen, columns, rows);
}

}  // namespace zcal_posix
