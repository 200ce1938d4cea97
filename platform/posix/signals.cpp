#include "platform/posix/signals.h"

#include <unistd.h>

#include <cerrno>

#include "platform/posix/output_buffer.h"
#include "platform/posix/port_claim.h"
#include "platform/posix/skip_reasons.h"
#include "platform/posix/terminal_mode.h"

namespace zcal_posix {

namespace {

volatile sig_atomic_t window_changes = 0;
volatile sig_atomic_t repaint_requested = 0;
volatile sig_atomic_t lowest_drawn_row = -1;
bool installed = false;

constexpr int ending_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// CAN first: it ends any escape sequence the interrupted output left open.
void write_reset_sequence() {
    char text[64];
    std::size_t length = 0;
    for (const char* c = "\x18\x1b[0m\x1b[?25h"; *c != '\0'; ++c) {
        text[length++] = *c;
    }
    const int row = lowest_drawn_row;
    if (row >= 0) {
        text[length++] = '\x1b';
        text[length++] = '[';
        length += format_decimal(row + 1, text + length);
        for (const char* c = ";1H\r\n"; *c != '\0'; ++c) {
            text[length++] = *c;
        }
    }
    ssize_t ignored = write(STDOUT_FILENO, text, length);
    (void)ignored;
}

void set_handler(int signal_number, void (*handler)(int)) {
    struct sigaction action;
    sigemptyset(&action.sa_mask);
    for (int blocked : ending_signals) {
        sigaddset(&action.sa_mask, blocked);
    }
    action.sa_flags = 0;
    action.sa_handler = handler;
    sigaction(signal_number, &action, nullptr);
}

// Puts the terminal back and ends the program the way the signal would
// have: the signal, raised again with its default action, takes effect as
// soon as this handler returns and unblocks it.
void on_ending_signal(int signal_number) {
    const int saved_errno = errno;
    terminal_restore();
    write_reset_sequence();
    release_all_port_claims();
    // Ended in the pause after no port was found (Ctrl-C is a likely key
    // there): say why all the same.
    report_port_skips();
    set_handler(signal_number, SIG_DFL);
    raise(signal_number);
    errno = saved_errno;
}

// Gives the terminal back, then stops for real: the signal is raised again
// with its default action and unblocked here, so the process stops inside
// this handler. When it goes on, the kernel either continued it or never
// stopped it (a process group without a job-control shell above it drops
// the stop); either way the terminal must be raw again, or keys would echo
// and wait for Enter.
void on_suspend(int signal_number) {
    const int saved_errno = errno;
    terminal_suspend();
    write_reset_sequence();
    set_handler(signal_number, SIG_DFL);
    raise(signal_number);
    sigset_t stop_signal;
    sigemptyset(&stop_signal);
    sigaddset(&stop_signal, signal_number);
    sigprocmask(SIG_UNBLOCK, &stop_signal, nullptr);
    terminal_resume();
    set_handler(signal_number, on_suspend);
    repaint_requested = 1;
    errno = saved_errno;
}

void on_resume(int) {
    const int saved_errno = errno;
    terminal_resume();
    set_handler(SIGTSTP, on_suspend);
    repaint_requested = 1;
    errno = saved_errno;
}

void on_window_change(int) { window_changes = window_changes + 1; }

bool ignored_at_start(int signal_number) {
    struct sigaction current;
    return sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

}  // namespace

void install_signal_handlers(bool with_job_control) {
    if (installed) {
        return;
    }
    installed = true;
    for (int signal_number : ending_signals) {
        if (!ignored_at_start(signal_number)) {
            set_handler(signal_number, on_ending_signal);
        }
    }
    if (with_job_control && !ignored_at_start(SIGTSTP)) {
        set_handler(SIGTSTP, on_suspend);
        set_handler(SIGCONT, on_resume);
    }
    struct sigaction action;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    action.sa_handler = on_window_change;
    sigaction(SIGWINCH, &action, nullptr);
}

int window_change_count() { return window_changes; }

bool take_repaint_request() {
    if (!repaint_requested) {
        return false;
    }
    repaint_requested = 0;
    return true;
}

void set_lowest_drawn_row(int row) { lowest_drawn_row = row; }

}  // namespace zcal_posix
