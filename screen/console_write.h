// Every text goes to the screen the same way: its own cursor move, then one
// write of exactly its length.
#pragma once

#include "platform/platform.h"
#include "screen/screen_map.h"

// Writes at the cursor, in the current attribute; the count written is not
// looked at.
inline void write_here(HANDLE console_out, const char* text, DWORD length) {
    DWORD written = 0;
    WriteConsoleA(console_out, text, length, &written, nullptr);
}

inline void write_at(HANDLE console_out, COORD position, const char* text, DWORD length) {
    SetConsoleCursorPosition(console_out, position);
    write_here(console_out, text, length);
}

inline void write_placed(HANDLE console_out, const placed_text& placed) {
    write_at(console_out, placed.position, placed.text, placed.length);
}
