// The fake console: a grid of cells with character and attribute word, a
// cursor, the current attribute, a window with a style word, and an input
// queue of records that arrive at virtual times.
#include <cstdio>
#include <cstring>
#include <iterator>

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

// A console handle that is still open; a closed one fails like any handle
// that is no longer there.
bool open_console_handle(HANDLE handle, HANDLE expected) {
    platform_state& s = state();
    const bool closed = expected == console_in_handle ? s.console_in_closed : s.console_out_closed;
    if (handle != expected || closed) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return true;
}

// An [out] pointer Windows writes through without looking: null crashes the
// program there.
bool has_out_pointer(const void* pointer, const char* call) {
    if (pointer == nullptr) {
        violation(std::string(call) + " given no place for its count");
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

// Puts one character in the cell under the cursor, in the current
// attribute, and moves the cursor on. At the last cell of the buffer a
// console scrolls the whole screen up a line, which would tear a fixed
// layout apart; the fake does not scroll, and calls it a fault instead.
void put_at_cursor(char character) {
    platform_state& s = state();
    cell& target = s.grid[s.cursor.Y][s.cursor.X];
    target.character = character;
    target.unicode = static_cast<unsigned char>(character);
    target.attribute = s.attribute;
    ++target.writes;
    if (++s.cursor.X < console_columns) {
        return;
    }
    s.cursor.X = 0;
    if (++s.cursor.Y == console_rows) {
        violation("WriteConsoleA reached the end of the buffer: the screen would scroll");
        s.cursor = COORD{console_columns - 1, console_rows - 1};
    }
}

}  // namespace

void clear_console() {
    platform_state& s = state();
    for (auto& row : s.grid) {
        for (cell& c : row) {
            c.character = ' ';
            c.unicode = u' ';
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
const std::vector<character_write>& character_writes() { return state().character_writes; }
COORD cursor() { return state().cursor; }
WORD current_attribute() { return state().attribute; }
std::string title() { return state().title; }
unsigned code_page() { return state().code_page; }
LONG window_style() { return state().window_style; }
void set_console_window(bool present) { state().window_present = present; }
DWORD output_mode() { return state().output_mode; }
int frame_changes() { return state().frame_changes; }
void set_console_draws_grid_lines(bool draws) { state().draws_grid_lines = draws; }
void set_known_output_modes(DWORD modes) { state().known_output_modes = modes; }

// The queue is kept in the order the records arrive, whatever the order
// they were queued in; records of the same moment keep theirs.
void queue_record(const INPUT_RECORD& record, std::uint64_t at_us) {
    std::deque<timed_record>& input = state().input;
    auto later = input.end();
    while (later != input.begin() && std::prev(later)->at_us > at_us) {
        --later;
    }
    input.insert(later, timed_record{at_us, record});
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

void fail_count_calls(int n, DWORD error) { state().count_failures = injected_failures{n, error}; }

void fail_read_calls(int n, DWORD error) { state().read_failures = injected_failures{n, error}; }

}  // namespace fake

using fake::note;
using fake::state;

BOOL GetNumberOfConsoleInputEvents(HANDLE hConsoleInput, DWORD* lpNumberOfEvents) {
    note("GetNumberOfConsoleInputEvents");
    fake::platform_state& s = state();
    if (!fake::open_console_handle(hConsoleInput, fake::console_in_handle) ||
        !fake::has_out_pointer(lpNumberOfEvents, "GetNumberOfConsoleInputEvents")) {
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
    if (!fake::open_console_handle(hConsoleInput, fake::console_in_handle) ||
        !fake::has_out_pointer(lpNumberOfEventsRead, "ReadConsoleInputA")) {
        return FALSE;
    }
    if (fake::take_injected_failure(&s.read_failures)) {
        return FALSE;
    }
    if (nLength == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The real call blocks until a record comes: with none pending the
    // program would hang there, deaf to everything but the next key. That
    // is the program's fault; the fake then waits for the next record as
    // Windows would.
    if (fake::arrived_records() == 0) {
        fake::violation("ReadConsoleInputA with no record pending would block");
        if (s.input.empty()) {
            SetLastError(ERROR_HANDLE_EOF);
            return FALSE;
        }
        fake::advance_to(s.input.front().at_us);
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
    if (!fake::open_console_handle(hConsoleOutput, fake::console_out_handle)) {
        return FALSE;
    }
    if (dwCursorPosition.X < 0 || dwCursorPosition.Y < 0 || dwCursorPosition.X >= fake::console_columns ||
        dwCursorPosition.Y >= fake::console_rows) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    state().cursor = dwCursorPosition;
    return TRUE;
}

BOOL SetConsoleTextAttribute(HANDLE hConsoleOutput, WORD wAttributes) {
    note("SetConsoleTextAttribute " + fake::hex_word(wAttributes));
    if (!fake::open_console_handle(hConsoleOutput, fake::console_out_handle)) {
        return FALSE;
    }
    state().attribute = wAttributes;
    return TRUE;
}

BOOL WriteConsoleA(HANDLE hConsoleOutput, const void* lpBuffer, DWORD nNumberOfCharsToWrite,
                   DWORD* lpNumberOfCharsWritten, void* lpReserved) {
    fake::platform_state& s = state();
    if (lpBuffer == nullptr && nNumberOfCharsToWrite > 0) {
        note("WriteConsoleA nullptr");
        fake::violation("WriteConsoleA given no text");
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const char* text = static_cast<const char*>(lpBuffer);
    std::string written(text, nNumberOfCharsToWrite);
    note("WriteConsoleA \"" + written + "\"");
    if (!fake::open_console_handle(hConsoleOutput, fake::console_out_handle)) {
        return FALSE;
    }
    if (lpReserved != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    s.writes.push_back(fake::console_write{s.cursor, s.attribute, written});
    for (char character : written) {
        fake::put_at_cursor(character);
    }
    if (lpNumberOfCharsWritten != nullptr) {
        *lpNumberOfCharsWritten = nNumberOfCharsToWrite;
    }
    return TRUE;
}

BOOL WriteConsoleOutputCharacterW(HANDLE hConsoleOutput, const WCHAR* lpCharacter, DWORD nLength,
                                  COORD dwWriteCoord, DWORD* lpNumberOfCharsWritten) {
    fake::platform_state& s = state();
    note("WriteConsoleOutputCharacterW " + std::to_string(dwWriteCoord.X) + "," +
         std::to_string(dwWriteCoord.Y) + " " + std::to_string(nLength));
    if (!fake::open_console_handle(hConsoleOutput, fake::console_out_handle) ||
        !fake::has_out_pointer(lpNumberOfCharsWritten, "WriteConsoleOutputCharacterW")) {
        return FALSE;
    }
    if (dwWriteCoord.X < 0 || dwWriteCoord.Y < 0 || dwWriteCoord.X >= fake::console_columns ||
        dwWriteCoord.Y >= fake::console_rows) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    s.character_writes.push_back(fake::character_write{dwWriteCoord, std::u16string(lpCharacter, nLength)});
    // Characters only, from cell to cell and on into the next row; the
    // attribute words and the cursor stay, and the buffer's end ends it.
    int column = dwWriteCoord.X;
    int row = dwWriteCoord.Y;
    DWORD count = 0;
    for (; count < nLength && row < fake::console_rows; ++count) {
        fake::cell& target = s.grid[row][column];
        target.unicode = lpCharacter[count];
        target.character = lpCharacter[count] <= 0xFF ? static_cast<char>(lpCharacter[count]) : '?';
        ++target.writes;
        if (++column == fake::console_columns) {
            column = 0;
            ++row;
        }
    }
    *lpNumberOfCharsWritten = count;
    return TRUE;
}

BOOL GetConsoleMode(HANDLE hConsoleHandle, DWORD* lpMode) {
    note("GetConsoleMode");
    if (!fake::open_console_handle(hConsoleHandle, fake::console_out_handle) ||
        !fake::has_out_pointer(lpMode, "GetConsoleMode")) {
        return FALSE;
    }
    *lpMode = state().output_mode;
    return TRUE;
}

BOOL SetConsoleMode(HANDLE hConsoleHandle, DWORD dwMode) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(dwMode));
    note(std::string("SetConsoleMode ") + text);
    if (!fake::open_console_handle(hConsoleHandle, fake::console_out_handle)) {
        return FALSE;
    }
    // A mode bit the console does not know makes it refuse the whole mode.
    if ((dwMode & ~state().known_output_modes) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    state().output_mode = dwMode;
    return TRUE;
}

bool console_draws_grid_lines() {
    note("console_draws_grid_lines");
    return state().draws_grid_lines;
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

BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", uFlags);
    note(std::string("SetWindowPos ") + text);
    (void)hWndInsertAfter;
    (void)X;
    (void)Y;
    (void)cx;
    (void)cy;
    if (hWnd != fake::console_window) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (uFlags & SWP_FRAMECHANGED) {
        ++state().frame_changes;
    }
    return TRUE;
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
        if (!s.end_input_when_drained) {
            fake::violation("pause > NUL would wait for ever for a key");
        }
    } else {
        fake::violation("a command the program does not run: " + line);
    }
    return 0;
}
