// Runs the real zcal binary the way a user does, and reads back what the user
// would see: zcal runs in a pseudo-terminal of 120x30 under
// scripts/with_printer (so the printer emulator is its /dev/ttyACM0), its
// output goes through libvterm, and the screen is read back cell by cell.
// Keys are bytes written to the terminal; the emulator's log tells what
// reached the printer and when.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "vterm_screen.h"

namespace e2e {

constexpr int screen_columns = 120;
constexpr int screen_rows = 30;

// What a session runs as zcal. Each test program that links the harness
// defines it: the end-to-end tests run the real binary, the fault tests a
// wrapper that puts their faults in place first.
const char* zcal_program_path();

// CLOCK_MONOTONIC in microseconds: the clock of the emulator's log.
std::int64_t now_us();

struct Launch {
    // Options for scripts/with_printer: emulator options, --no-port, --port...
    std::vector<std::string> printer_options;
    // LANG and LC_ALL for zcal: "C.UTF-8" draws the frame in line-drawing
    // characters, "C" in + - |.
    std::string locale = "C.UTF-8";
    // zcal's standard input is /dev/null instead of the terminal.
    bool stdin_from_null = false;
    // Arguments given to zcal itself.
    std::vector<std::string> zcal_arguments = {};
    int columns = screen_columns;
    int rows = screen_rows;
};

// One line the printer received, from the emulator's log.
struct Received {
    std::int64_t at_us;
    std::string text;
};

class Zcal_session {
public:
    explicit Zcal_session(const Launch& launch);
    ~Zcal_session();
    Zcal_session(const Zcal_session&) = delete;
    Zcal_session& operator=(const Zcal_session&) = delete;

    // When zcal was started (before anything of it ran).
    std::int64_t started_us() const { return started_us_; }

    // Reads zcal's output into the screen until the condition holds or the
    // time is up. Returns when the condition was first seen to hold, or -1.
    std::int64_t wait_until(const std::function<bool()>& condition, double seconds);
    // Reads output for this long, whatever comes.
    void settle(double seconds);

    std::string row(int r) const;                       // all 120 cells, UTF-8
    std::string text_at(int column, int r, int length) const;
    Cell_look look_at(int column, int r) const;
    std::string dump() const;                           // the screen, for failure messages
    int cursor_row() const;

    void type(const std::string& bytes);
    // Resizes the terminal, as a user dragging its window does.
    void resize(int columns, int rows);
    void close_terminal(); // closes the pty master: the user's terminal is gone

    // Terminal mode of the pty as the program's side sees it.
    termios terminal_mode() const;
    const termios& mode_before() const { return mode_before_; }

    // zcal's own process id (it runs under the namespace script).
    pid_t zcal_pid();
    // The processor time zcal has used so far, in seconds.
    double zcal_cpu_seconds();
    // Waits for the script, and so zcal, to end. False when it did not in
    // time. The status is the script's: zcal's own exit status, or 128 + N
    // when signal N ended zcal.
    bool wait_exit(double seconds, int* exit_status);

    std::vector<Received> received_lines() const; // lines the printer received
    std::vector<std::string> log_events() const;  // "#open", "#close ...", ...
    std::vector<std::string> log_texts() const;   // received_lines, text only
    std::string log() const;                      // the log as it is, for messages
    // Waits until the emulator has logged an event starting with prefix.
    bool wait_for_event(const std::string& prefix, double seconds);

private:
    void pump(int timeout_ms);
    static void forward_output(const char* bytes, std::size_t length, void* session);

    std::string directory_;
    int master_ = -1;
    int slave_ = -1; // kept open to read the mode; the program's side of the pty
    pid_t script_pid_ = -1;
    pid_t zcal_pid_ = -1;
    bool exited_ = false;
    std::int64_t started_us_ = 0;
    termios mode_before_{};
    Vterm_screen screen_;
};

// True when the two modes agree on everything a program may change.
bool same_mode(const termios& a, const termios& b);
std::string describe_mode(const termios& mode);

} // namespace e2e
