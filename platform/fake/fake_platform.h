// The unit tests' platform: an in-memory console, in-memory serial ports and
// a virtual clock, behind the same functions the real program calls. Every
// call is traced in order. Nothing here waits in real time: Sleep and read
// time-outs move the virtual clock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fake {

// ---- Whole platform -----------------------------------------------------

// Forgets everything: blank console, no ports, clock at 0, empty trace.
void reset();

// Virtual time in microseconds since reset.
std::uint64_t now_us();
inline std::uint64_t ms(std::uint64_t milliseconds) { return milliseconds * 1000; }

// Every platform call so far, in order, one line each, e.g. "Sleep 10",
// "CreateFileA \\.\COM3", "CloseHandle console_in", "system cls".
const std::vector<std::string>& trace();
// The lines of the trace that start with prefix.
std::vector<std::string> trace_of(const std::string& prefix);

// Calls that Windows would refuse, that would block it for good, or that
// would crash the program there, one line each. The fake fails such a call
// (or, for one that would block until input comes, behaves as if the input
// had come), so the program goes on, and a test fails when this is not empty.
const std::vector<std::string>& violations();

// A run that would go on for ever in virtual time (a loop that never ends)
// is stopped: past this much virtual time the console input ends, and
// watchdog_fired() tells that it happened.
void set_time_limit_us(std::uint64_t limit);
bool watchdog_fired();

// ---- Console ------------------------------------------------------------

constexpr int console_columns = 120;
constexpr int console_rows = 30;
constexpr WORD blank_attribute = 0x07;

struct cell {
    char character;  // '?' for a UTF-16 character beyond ISO 8859-1
    WCHAR unicode;   // the character as UTF-16, however it was written
    WORD attribute;
    int writes;  // how many writes landed here since reset (a clear is not a write)
};

// One WriteConsoleA: where it started, the attribute in effect, the text.
struct console_write {
    COORD position;
    WORD attribute;
    std::string text;
};

const cell& cell_at(int column, int row);
std::string row_text(int row);  // the row's characters, trailing blanks kept
const std::vector<console_write>& writes();

// One WriteConsoleOutputCharacterW: where it started, the characters.
struct character_write {
    COORD position;
    std::u16string text;
};
const std::vector<character_write>& character_writes();
COORD cursor();
WORD current_attribute();
std::string title();
unsigned code_page();
LONG window_style();
DWORD output_mode();
int frame_changes();  // SetWindowPos calls with SWP_FRAMECHANGED on the window

// The console starts with a window of this style; without a window,
// GetConsoleWindow gives no handle and the style calls fail.
constexpr LONG default_window_style = 0x14CF0000;
void set_console_window(bool present);

// A classic console window draws the grid-line bits (the default); a pseudo
// console does not.
void set_console_draws_grid_lines(bool draws);

// The output modes of a new screen buffer: processed output, wrap at the end
// of a line.
constexpr DWORD default_output_mode = 0x0003;
// The output mode bits SetConsoleMode takes; an older console knows fewer.
void set_known_output_modes(DWORD modes);

// Input records arrive in the queue at a virtual time (now, by default).
void queue_record(const INPUT_RECORD& record, std::uint64_t at_us = 0);
void queue_key(WORD virtual_key, bool key_down, std::uint64_t at_us = 0);
// A press and a release of one key.
void queue_tap(WORD virtual_key, std::uint64_t at_us = 0);
void queue_focus(std::uint64_t at_us = 0);
std::size_t pending_records();  // arrived and not yet read

// Once every queued record has been read, the input is gone: count calls
// fail with ERROR_HANDLE_EOF, as for a console that closed.
void end_input_when_drained();
// The next n count calls fail with the given error.
void fail_count_calls(int n, DWORD error);
// The next n read calls fail with the given error (a record stays queued).
void fail_read_calls(int n, DWORD error);

// ---- Serial ports -------------------------------------------------------

enum class port_kind {
    present,           // opens and takes its settings
    held,              // another program has it open
    refuses_settings,  // opens, but its settings record cannot be built
    refuses_state,     // opens, but its driver refuses any line settings
    refuses_timeouts   // opens and takes its settings, but not its time-outs
};

// Names are the program's own, e.g. "\\\\.\\COM3".
std::string port_name(int number);
void add_port(int number, port_kind kind = port_kind::present);

// Bytes the printer sends, arriving back to back from a virtual time on.
void schedule_bytes(int number, std::uint64_t at_us, const std::string& bytes);
// From this virtual time on, reads and writes on the port fail.
void vanish_at(int number, std::uint64_t at_us);

struct port_write {
    std::uint64_t at_us;
    std::string bytes;
};

std::string sent_bytes(int number);
const std::vector<port_write>& port_writes(int number);
std::size_t unread_bytes(int number);  // arrived or still to come
bool port_open(int number);
int open_attempts(int number);
const DCB& port_settings(int number);
const COMMTIMEOUTS& port_timeouts(int number);
DWORD port_access(int number);
DWORD port_share_mode(int number);
DWORD port_disposition(int number);
DWORD port_flags(int number);

}  // namespace fake
