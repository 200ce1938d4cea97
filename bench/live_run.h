// Runs the real zcal the way a user does, for measuring: in a pseudo-terminal
// of its own (120x30, as its controlling terminal) under scripts/with_printer,
// so the printer emulator is its /dev/ttyACM0. Every byte zcal writes to the
// terminal is read at once by a thread and kept with the CLOCK_MONOTONIC time
// it arrived; the emulator's log gives the time each move line reached the
// printer on the same clock.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bench {

// CLOCK_MONOTONIC in microseconds, the clock of the emulator's log.
std::int64_t now_us();
void sleep_until_us(std::int64_t at_us);

struct paths {
    std::string zcal;
    std::string emulator;
    std::string with_printer;
    std::string self;  // this program, for --exec-stamp
};

// A line the printer received, with the time it arrived.
struct received_line {
    std::int64_t at_us;
    std::string text;
};

struct live_run {
    std::string directory;
    int master = -1;
    pid_t script_pid = -1;
    pid_t zcal_pid = -1;
    bool exited = false;
    int exit_status = -1;

    // Output, with the time each read from the terminal ended.
    std::mutex output_lock;
    std::string output;
    std::vector<std::pair<std::int64_t, std::size_t>> output_reads;  // (time, end offset)
    std::thread reader;
    bool reader_running = false;

    std::size_t log_offset = 0;  // how much of the emulator's log was parsed
    std::string log_tail;        // an unfinished line at the end of the log
    std::vector<received_line> lines;
};

// Starts zcal; printer_options go to with_printer (and so to the emulator).
// False when it could not be started (says why on stderr).
bool live_start(live_run* run, const paths& where, const std::vector<std::string>& printer_options);

// When zcal itself was exec'd, from the stamp it left just before (0 when
// the stamp is not there yet).
std::int64_t live_exec_time_us(const live_run& run);
pid_t live_zcal_pid(live_run* run);

// Writes bytes to zcal's terminal; gives the time just before the write.
std::int64_t live_type(live_run* run, const std::string& bytes);

// Output from offset on: waits until text has appeared in it and gives the
// time of the read that completed it, or -1 after timeout_us. *found_at
// (if given) gets the offset just past the text.
std::int64_t live_wait_output(live_run* run, const std::string& text, std::size_t from,
                              std::int64_t timeout_us, std::size_t* found_at = nullptr);
std::size_t live_output_size(live_run* run);

// Reads what the emulator logged since the last call into run->lines
// (received lines only, events skipped).
void live_read_log(live_run* run);
// Waits until run->lines has at least count lines; false after timeout_us.
bool live_wait_lines(live_run* run, std::size_t count, std::int64_t timeout_us);

// Waits for the with_printer script (and so zcal) to end; false on time-out.
bool live_wait_exit(live_run* run, std::int64_t timeout_us);
// Ends whatever is left of the run and removes its files.
void live_finish(live_run* run);

// The --exec-stamp mode of the benchmark program: notes the time in a file,
// then becomes zcal. Does not return unless the exec failed.
int exec_with_stamp(const char* stamp_path, char** command);

}  // namespace bench
