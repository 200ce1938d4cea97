// The fake platform's state, shared by its console, serial and clock parts.
// Like an operating system's, it lives outside the program.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"

namespace fake {

struct timed_record {
    std::uint64_t at_us;
    INPUT_RECORD record;
};

struct timed_byte {
    std::uint64_t at_us;
    char byte;
};

// Calls a test has asked to fail: how many more, and with which error.
struct injected_failures {
    int remaining = 0;
    DWORD error = 0;
};

struct port_state {
    port_kind kind = port_kind::present;
    bool open = false;
    int open_attempts = 0;
    DWORD access = 0;
    DWORD share_mode = 0;
    DWORD disposition = 0;
    DWORD flags = 0;
    DCB settings{};
    COMMTIMEOUTS timeouts{};
    std::deque<timed_byte> incoming;
    std::vector<port_write> writes;
    std::uint64_t vanish_at_us = UINT64_MAX;
};

struct platform_state {
    std::uint64_t now_us = 0;
    std::uint64_t time_limit_us = 3600ull * 1000 * 1000;
    bool watchdog_fired = false;
    DWORD last_error = 0;
    std::vector<std::string> trace;
    std::vector<std::string> violations;

    cell grid[console_rows][console_columns];
    std::vector<console_write> writes;
    std::vector<character_write> character_writes;
    bool console_in_closed = false;
    bool console_out_closed = false;
    COORD cursor{0, 0};
    WORD attribute = blank_attribute;
    std::string title;
    unsigned code_page = 437;
    bool window_present = true;
    LONG window_style = default_window_style;
    int frame_changes = 0;
    bool draws_grid_lines = true;
    DWORD output_mode = default_output_mode;
    DWORD known_output_modes = 0x001F;

    std::deque<timed_record> input;
    bool end_input_when_drained = false;
    injected_failures count_failures;
    injected_failures read_failures;

    std::map<int, port_state> ports;
    int last_opened_port = -1;
};

platform_state& state();
void note(const std::string& line);
// Notes a call Windows would refuse, block on or crash in (see violations()).
void violation(const std::string& line);
void advance_to(std::uint64_t at_us);
void clear_console();
// The port a handle stands for, or nullptr when it is not an open port.
port_state* port_of(HANDLE handle, int* number = nullptr);

// Handles the fake gives out.
HANDLE const console_in_handle = reinterpret_cast<HANDLE>(0x100);
HANDLE const console_out_handle = reinterpret_cast<HANDLE>(0x101);
HANDLE const console_window = reinterpret_cast<HANDLE>(0x200);
constexpr std::intptr_t first_port_handle = 0x1000;

}  // namespace fake
