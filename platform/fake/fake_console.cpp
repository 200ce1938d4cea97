// The fake console: a grid of cells with character and attribute word, a
// cursor, the current attribute, a window with a style word, and an input
// queue of records that arrive at virtual times.
#include <cstdio>
#include <cstring>

#include "platform/fake/fake_state.h"

namespace fake {

namespace {

std::string hex_word(WORD word) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(word));
    return text;
}

// Records that have arrived by now.
std::size_t arrived_records() {
    std::size_t count = 0;
    for (const timed_record& queued : state().input) {
        if (queued.at_us <= state().now_us) {
            ++count;
        }
    }
    return count;
}

// Fails this call, with its error, if the test asked for it.
bool take_injected_failure(injected_failures* failures) {
    if (failures->remaining == 0) {
        return false;
    }
    --failures->remaining;
    SetLastError(failures->error);
    return true;
}

bool input_gone() {
    platform_state& s = state();
    return s.watchdog_fired || (s.end_input_when_drained && s.input.empty());
}

}  // namespace

void clear_console() {
    platform_state& s = state();
    for (auto& row : s.grid) {
        for (cell& c : row) {
            c.character = ' ';
            c.attribute = s.attribute;
        }
    }
    s.cursor = COORD{0, 0};
}

const cell& cell_at(int column, int row) { return state().grid[row][column]; }

std::string row_text(int row) {
    std::string text;
    for (const cell& c : state().grid[row]) {
        text.push_back(c.character);
    }
    return text;
}

const std::vector<console_write>& writes() { return state().writes; }
COORD cursor() { return state().cursor; }
WORD current_attribute() { return state().attribute; }
std::string title() { return state().title; }
unsigned code_page() { return state().code_page; }
LONG window_style() { return state().window_style; }
void set_console_window(bool present) { state().window_present = present; }

void queue_record(const INPUT_RECORD& record, std::uint64_t at_us) {
    state().input.push_back(timed_record{at_us, record});
}

void queue_key(WORD virtual_key, bool key_down, std::uint64_t at_us) {
    INPUT_RECORD record;
    std::memset(&record, 0, sizeof record);
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = key_down ? TRUE : FALSE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = virtual_key;
    queue_record(record, at_us);
}

void queue_tap(WORD virtual_key, std::uint64_t at_us) {
    queue_key(virtual_key, true, at_us);
    queue_key(virtual_key, false, at_us);
}

void queue_focus(std::uint64_t at_us) {
    INPUT_RECORD record;
    std::memset(&record, 0, sizeof record);
    record.EventType = FOCUS_EVENT;
    record.Event.FocusEvent.bSetFocus = TRUE;
    queue_record(record, at_us);
}

std::size_t pending_records() { return arrived_records(); }

void end_input_when_drained() { state().end_input_when_drained = true; }

void fail_count_calls(int n, DWORD error) {
    state().count_failures = injected_failures{n, error};
}

void fail_read_calls(int n, DWORD error) {
    state().read_failures = injected_failures{n, error};
}

}  // namespace fake

using fake::note;
using fake::state;

BOOL GetNumberOfConsoleInputEvents(HANDLE hConsoleInput, DWORD* lpNumberOfEvents) {
    note("GetNumberOfConsoleInputEvents");
    fake::platform_state& s = state();
    if (hConsoleInput != fake::console_in_handle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (fake::take_injected_failure(&s.count_failures)) {
        return FALSE;
    }
    if (fake::input_gone()) {
        SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    *lpNumberOfEvents = static_cast<DWORD>(fake::arrived_records());
    return TRUE;
}

BOOL ReadConsoleInputA(HANDLE hConsoleInput, INPUT_RECORD* lpBuffer, DWORD nLength,
                       DWORD* lpNumberOfEventsRead) {
    note("ReadConsoleInputA " + std::to_string(nLength));
    fake::platform_state& s = state();
    if (hConsoleInput != fake::console_in_handle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (fake::take_injected_failure(&s.read_failures)) {
        return FALSE;
    }
    // Like the real call, it blocks until a record is there; the program
    // only calls it when one is, so an empty queue here is the program's
    // fault and is made visible as a failure.
    if (fake::arrived_records() == 0 || nLength == 0) {
        note("ReadConsoleInputA would block");
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD count = 0;
    while (count < nLength && fake::arrived_records() > 0) {
        lpBuffer[count++] = s.input.front().record;
        s.input.pop_front();
    }
    *lpNumberOfEventsRead = count;
    return TRUE;
}

BOOL SetConsoleCursorPosition(HANDLE hConsoleOutput, COORD dwCursorPosition) {
    note("SetConsoleCursorPosition " + std::to_string(dwCursorPosition.X) + "," +
         std::to_string(dwCursorPosition.Y));
    if (hConsoleOutput != fake::console_out_handle || dwCursorPosition.X < 0 ||
        dwCursorPosition.Y < 0 || dwCursorPosition.X >= fake::console_columns ||
        dwCursorPosition.Y >= fake::console_rows) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    state().cursor = dwCursorPosition;
    return TRUE;
}

BOOL SetConsoleTextAttribute(HANDLE hConsoleOutput, WORD wAttributes) {
    note("SetConsoleTextAttribute " + fake::hex_word(wAttributes));
    if (hConsoleOutput != fake::console_out_handle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    state().attribute = wAttributes;
    return TRUE;
}

BOOL WriteConsoleA(HANDLE hConsoleOutput, const void* lpBuffer, DWORD nNumberOfCharsToWrite,
                   DWORD* lpNumberOfCharsWritten, void* lpReserved) {
    fake::platform_state& s = state();
    const char* text = static_cast<const char*>(lpBuffer);
    std::string written(text, nNumberOfCharsToWrite);
    note("WriteConsoleA \"" + written + "\"");
    if (hConsoleOutput != fake::console_out_handle || lpReserved != nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    s.writes.push_back(fake::console_write{s.cursor, s.attribute, written});
    // Text runs on into the next row at the right edge; past the last row it
    // is dropped (the fake does not scroll).
    DWORD count = 0;
    for (char character : written) {
        if (s.cursor.Y >= fake::console_rows) {
            break;
        }
        fake::cell& target = s.grid[s.cursor.Y][s.cursor.X];
        target.character = character;
        target.attribute = s.attribute;
        ++target.writes;
        ++count;
        if (++s.cursor.X == fake::console_columns) {
            s.cursor.X = 0;
            ++s.cursor.Y;
        }
    }
    if (s.cursor.Y >= fake::console_rows) {
        s.cursor = COORD{fake::console_columns - 1, fake::console_rows - 1};
    }
    if (lpNumberOfCharsWritten != nullptr) {
        *lpNumberOfCharsWritten = count;
    }
    return TRUE;
}

BOOL SetConsoleTitleA(const char* lpConsoleTitle) {
    note(std::string("SetConsoleTitleA ") + lpConsoleTitle);
    state().title = lpConsoleTitle;
    return TRUE;
}

HWND GetConsoleWindow() {
    note("GetConsoleWindow");
    return state().window_present ? fake::console_window : nullptr;
}

LONG GetWindowLongA(HWND hWnd, int nIndex) {
    note("GetWindowLongA " + std::to_string(nIndex));
    if (hWnd != fake::console_window || nIndex != GWL_STYLE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return state().window_style;
}

LONG SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(dwNewLong));
    note("SetWindowLongA " + std::to_string(nIndex) + " " + text);
    if (hWnd != fake::console_window || nIndex != GWL_STYLE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const LONG previous = state().window_style;
    state().window_style = dwNewLong;
    return previous;
}

int run_console_command(const char* command) {
    note(std::string("system ") + command);
    fake::platform_state& s = state();
    const std::string line = command;
    if (line == "chcp 28591") {
        s.code_page = 28591;
    } else if (line == "cls") {
        fake::clear_console();
    } else if (line == "pause > NUL") {
        // Waits for the next key press and takes it; the records before it
        // go with it, as the interpreter reads them too.
        while (!s.input.empty()) {
            fake::timed_record next = s.input.front();
            fake::advance_to(next.at_us);
            s.input.pop_front();
            if (next.record.EventType == KEY_EVENT && next.record.Event.KeyEvent.bKeyDown) {
                note("pause took a key");
                return 0;
            }
        }
        note("pause found no key");
    }
    return 0;
}
