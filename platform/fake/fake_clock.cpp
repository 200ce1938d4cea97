// The virtual clock, the trace and the pieces every part of the fake shares.
#include <cstdio>

#include "platform/fake/fake_state.h"

namespace fake {

platform_state& state() {
    static platform_state* the_state = new platform_state();
    return *the_state;
}

void note(const std::string& line) { state().trace.push_back(line); }

void violation(const std::string& line) {
    note("violation: " + line);
    state().violations.push_back(line);
}

const std::vector<std::string>& violations() { return state().violations; }

void advance_to(std::uint64_t at_us) {
    platform_state& s = state();
    if (at_us > s.now_us) {
        s.now_us = at_us;
    }
    if (s.now_us > s.time_limit_us) {
        s.watchdog_fired = true;
    }
}

void reset() {
    platform_state& s = state();
    s = platform_state();
    clear_console();
}

std::uint64_t now_us() { return state().now_us; }

const std::vector<std::string>& trace() { return state().trace; }

std::vector<std::string> trace_of(const std::string& prefix) {
    std::vector<std::string> lines;
    for (const std::string& line : state().trace) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

void set_time_limit_us(std::uint64_t limit) { state().time_limit_us = limit; }
bool watchdog_fired() { return state().watchdog_fired; }

}  // namespace fake

void Sleep(DWORD dwMilliseconds) {
    fake::note("Sleep " + std::to_string(dwMilliseconds));
    fake::advance_to(fake::now_us() + fake::ms(dwMilliseconds));
}

DWORD GetLastError() { return fake::state().last_error; }
void SetLastError(DWORD dwErrCode) { fake::state().last_error = dwErrCode; }

HANDLE GetStdHandle(DWORD nStdHandle) {
    if (nStdHandle == STD_OUTPUT_HANDLE) {
        fake::note("GetStdHandle output");
        return fake::console_out_handle;
    }
    if (nStdHandle == STD_INPUT_HANDLE) {
        fake::note("GetStdHandle input");
        return fake::console_in_handle;
    }
    fake::note("GetStdHandle other");
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
}

BOOL CloseHandle(HANDLE hObject) {
    fake::platform_state& s = fake::state();
    if (hObject == fake::console_in_handle || hObject == fake::console_out_handle) {
        const bool input = hObject == fake::console_in_handle;
        fake::note(input ? "CloseHandle console_in" : "CloseHandle console_out");
        bool& closed = input ? s.console_in_closed : s.console_out_closed;
        if (closed) {
            // Windows may have given the number to another object by now.
            fake::violation(input ? "console_in closed twice" : "console_out closed twice");
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        closed = true;
        return TRUE;
    }
    int number = -1;
    if (fake::port_state* port = fake::port_of(hObject, &number)) {
        fake::note("CloseHandle " + fake::port_name(number));
        port->open = false;
        return TRUE;
    }
    if (hObject == INVALID_HANDLE_VALUE) {
        // The same value as the process's own pseudo handle, which closing
        // leaves alone.
        fake::note("CloseHandle INVALID_HANDLE_VALUE");
        return TRUE;
    }
    fake::note("CloseHandle unknown");
    fake::violation("CloseHandle of a handle that is not open");
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
