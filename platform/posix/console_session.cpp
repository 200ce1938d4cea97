#include "platform/posix/console_session.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/posix/locale_charset.h"
#include "platform/posix/signals.h"
#include "platform/posix/skip_reasons.h"
#include "platform/posix/terminal_mode.h"

namespace zcal_posix {

namespace {

struct session_state {
    bool started = false;
    bool input_terminal = false;
    bool output_terminal = false;
    bool input_closed = false;
    bool output_closed = false;
    output_buffer out;
    console_renderer screen;
};

session_state session;

// Everything to standard output, whatever the size of the terminal's
// buffer; a terminal that will not take it within a second loses it rather
// than freezing the program.
void write_to_terminal(void*, const char* bytes, std::size_t length) {
    set_lowest_drawn_row(session.screen.lowest_row);
    while (length > 0) {
        const ssize_t written = write(STDOUT_FILENO, bytes, length);
        if (written > 0) {
            bytes += written;
            length -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            struct pollfd ready = {STDOUT_FILENO, POLLOUT, 0};
            if (poll(&ready, 1, 1000) > 0) {
                continue;
            }
        }
        return;
    }
}

void at_exit() {
    if (!session.started) {
        return;
    }
    if (!session.output_closed) {
        console_close_output();
    }
    terminal_restore();
}

}  // namespace

bool terminal_size(int fd, int* columns, int* rows) {
    struct winsize size;
    if (ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) {
        return false;
    }
    *columns = size.ws_col;
    *rows = size.ws_row;
    return true;
}

void console_start() {
    if (session.started) {
        return;
    }
    session.started = true;
    session.input_terminal = isatty(STDIN_FILENO) == 1;
    session.output_terminal = isatty(STDOUT_FILENO) == 1;
    output_init(&session.out, write_to_terminal, nullptr);
    renderer_init(&session.screen, &session.out, environment_wants_utf8());
    int columns = 0;
    int rows = 0;
    if (session.output_terminal && terminal_size(STDOUT_FILENO, &columns, &rows)) {
        renderer_set_size(&session.screen, columns, rows);
    }
    // Handlers first, so that no signal finds the terminal raw without them.
    install_signal_handlers(session.input_terminal);
    if (session.input_terminal) {
        terminal_enter_raw(STDIN_FILENO);
    }
    std::atexit(at_exit);
}

console_renderer* console_screen() {
    console_start();
    return &session.screen;
}

void console_flush() {
    if (!session.started) {
        return;
    }
    if (take_repaint_request() && !session.output_closed) {
        renderer_repaint(&session.screen);
    }
    output_flush(&session.out);
}

bool console_input_is_terminal() {
    console_start();
    return session.input_terminal;
}

bool console_output_is_terminal() {
    console_start();
    return session.output_terminal;
}

bool console_uses_utf8() { return console_screen()->utf8; }

namespace {

// Once the program has closed both console handles the terminal is the
// user's again, and the layer may say why no port was used.
void session_ended_check() {
    if (session.input_closed && session.output_closed) {
        report_port_skips();
    }
}

}  // namespace

void console_close_input() {
    console_start();
    session.input_closed = true;
    terminal_restore();
    session_ended_check();
}

void console_close_output() {
    console_start();
    if (session.output_closed) {
        return;
    }
    renderer_finish(&session.screen);
    output_flush(&session.out);
    session.output_closed = true;
    // The cursor is below the screen now: a signal has nothing left to move.
    set_lowest_drawn_row(-1);
    session_ended_check();
}

bool console_input_closed() { return session.input_closed; }
bool console_output_closed() { return session.output_closed; }

}  // namespace zcal_posix
