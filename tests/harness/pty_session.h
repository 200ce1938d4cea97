// Runs a real program the way a user does, and reads back what the user
// would see: the program runs in a pseudo-terminal of a given size, as its
// controlling terminal, either under scripts/with_printer (so the printer
// emulator is its /dev/ttyACM0 in a private mount namespace) or on its own.
// Its output goes through libvterm and the screen is read back cell by
// cell; the raw output is kept with the time each piece arrived. Keys are
// bytes written to the terminal; the emulator's log tells what reached the
// printer and when, on the same clock.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "clock.h"
#include "printer_log.h"
#include "terminal_mode.h"
#include "vterm_screen.h"

namespace harness {

constexpr int screen_columns = 120;
constexpr int screen_rows = 30;

struct launch {
    std::string program;
    std::vector<std::string> arguments = {};
    // Under scripts/with_printer with these options for it (emulator
    // options, --no-port, --port NAME, --busy NAME, --lock-dir DIR); false
    // starts the program on its own, with no printer.
    bool with_printer = true;
    std::vector<std::string> printer_options = {};
    // LANG and LC_ALL: "C.UTF-8" makes zcal draw its frame in line-drawing
    // characters, "C" in + - |.
    std::string locale = "C.UTF-8";
    // Standard input from /dev/null instead of the terminal.
    bool stdin_from_null = false;
    // Standard output to this file instead of the terminal.
    std::string stdout_path = {};
    // More of the program's environment, "NAME=VALUE" each.
    std::vector<std::string> environment = {};
    int columns = screen_columns;
    int rows = screen_rows;
};

class pty_session {
public:
    explicit pty_session(const launch& how);
    // Ends whatever the session started that is still running, and removes
    // its files.
    ~pty_session();
    pty_session(const pty_session&) = delete;
    pty_session& operator=(const pty_session&) = delete;

    // When the program was started (before anything of it ran).
    std::int64_t started_us() const { return started_us_; }
    // The session's own scratch folder.
    const std::string& directory() const { return directory_; }

    // ---- Reading the terminal ----
    // Reads the program's output into the screen until the condition holds
    // or the time is up. Returns when the condition was first seen to hold,
    // or -1.
    std::int64_t wait_until(const std::function<bool()>& condition, double seconds);
    // Reads output for this long, or until then, whatever comes.
    void settle(double seconds);
    void settle_until_us(std::int64_t at_us);

    const vterm_screen& screen() const { return screen_; }
    std::string row(int r) const;  // every cell, UTF-8
    std::string text_at(int column, int r, int length) const;
    cell_look look_at(int column, int r) const { return screen_.look_at(column, r); }
    int cursor_row() const { return screen_.cursor_row(); }
    int cursor_column() const { return screen_.cursor_column(); }
    std::string dump() const;  // the screen, for failure messages
    // Blanks the screen reader: what shows after this was drawn again.
    void clear_screen() { screen_.clear(); }

    // Everything the program wrote so far, as bytes.
    const std::string& output() const { return output_; }
    // Waits until text appears in the output from offset from on; gives the
    // time of the read that completed it, or -1 after timeout_us. *found_end
    // (if given) gets the offset just past the text.
    std::int64_t wait_output(const std::string& text, std::size_t from, std::int64_t timeout_us,
                             std::size_t* found_end = nullptr);

    // ---- Acting as the user ----
    // Writes the bytes to the terminal; gives the time just before.
    std::int64_t type(const std::string& bytes);
    // Resizes the terminal, as a user dragging its window does.
    void resize(int columns, int rows);
    // Closes the terminal's master side: the user's terminal is gone.
    void close_terminal();

    // The terminal's mode as the program sees it, now and before it ran.
    termios terminal_mode() const;
    const termios& mode_before() const { return mode_before_; }

    // ---- The program ----
    // Its own process id (under with_printer, the command's, not the
    // script's); -1 while not known.
    pid_t program_pid();
    // The processor time it has used so far, in seconds.
    double program_cpu_seconds();
    // Waits for the session (and so the program) to end. False when it did
    // not in time. The status is the program's exit status, or 128 + N when
    // signal N ended it.
    bool wait_exit(double seconds, int* exit_status);

    // ---- The printer (with_printer only) ----
    std::vector<received_line> received_lines() const;
    std::vector<std::string> log_texts() const;   // received_lines, text only
    std::vector<std::string> log_events() const;  // "#open", "#close ...", ...
    std::string log() const;                      // the log as it is, for messages
    // Waits until the emulator has logged an event starting with prefix.
    bool wait_for_event(const std::string& prefix, double seconds);
    // Waits until the printer has received count lines, looking every
    // poll_us (while still reading the terminal as its output comes).
    bool wait_for_lines(std::size_t count, double seconds, std::int64_t poll_us = 20000);

private:
    void pump(std::int64_t timeout_us);
    void end_everything();
    static void forward_reply(const char* bytes, std::size_t length, void* session);

    std::string directory_;
    bool with_printer_ = true;
    int master_ = -1;
    int slave_ = -1;  // kept open to read the mode; the program's side of the pty
    pid_t child_pid_ = -1;
    pid_t program_pid_ = -1;
    bool exited_ = false;
    std::int64_t started_us_ = 0;
    termios mode_before_{};
    vterm_screen screen_;
    std::string output_;
    std::vector<std::pair<std::int64_t, std::size_t>> reads_;  // (time, output size after it)
    mutable printer_log printer_;
};

}  // namespace harness
