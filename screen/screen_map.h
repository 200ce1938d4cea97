// Where everything on the screen goes, and in which attribute. The layout
// needs a console of at least 119 columns and 25 rows.
#pragma once

#include "platform/platform.h"

// A text with its exact length, known at compile time, and where it goes.
struct placed_text {
    COORD position;
    const char* text;
    DWORD length;
};

template <DWORD size>
constexpr placed_text place(SHORT column, SHORT row, const char (&text)[size]) {
    return placed_text{COORD{column, row}, text, size - 1};
}

// Attribute words.
constexpr WORD resting_attribute = FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE;  // 0x07
constexpr WORD header_attribute = FOREGROUND_RED | FOREGROUND_GREEN;                     // 0x06
constexpr WORD height_attribute = resting_attribute | FOREGROUND_INTENSITY;              // 0x0F

constexpr WORD frame_top_left = COMMON_LVB_GRID_HORIZONTAL | COMMON_LVB_GRID_LVERTICAL | resting_attribute;
constexpr WORD frame_top = COMMON_LVB_GRID_HORIZONTAL | resting_attribute;
constexpr WORD frame_top_right = COMMON_LVB_GRID_HORIZONTAL | COMMON_LVB_GRID_RVERTICAL | resting_attribute;
constexpr WORD frame_right = COMMON_LVB_GRID_RVERTICAL | resting_attribute;
constexpr WORD frame_bottom = COMMON_LVB_GRID_HORIZONTAL | resting_attribute;
constexpr WORD frame_left = COMMON_LVB_GRID_LVERTICAL | resting_attribute;

// The frame: columns 1 and 118, top row given by the caller, bottom 19 below.
constexpr SHORT frame_left_column = 1;
constexpr SHORT frame_right_column = frame_left_column + 117;
constexpr SHORT frame_height = 19;
constexpr int frame_width = frame_right_column - frame_left_column + 1;

// The frame's lines as characters, for a console that does not draw grid
// lines: box-drawing characters in UTF-16, so no code page stands between
// them and the screen.
constexpr WCHAR line_horizontal = 0x2500;    // ─
constexpr WCHAR line_vertical = 0x2502;      // │
constexpr WCHAR line_top_left = 0x250C;      // ┌
constexpr WCHAR line_top_right = 0x2510;     // ┐
constexpr WCHAR line_bottom_left = 0x2514;   // └
constexpr WCHAR line_bottom_right = 0x2518;  // ┘
constexpr COORD frame_origin = {2, 5};

constexpr const char* console_title = "Tandrovelmaris | Dadez";
constexpr const char* code_page_command = "chcp 28591";
constexpr const char* clear_command = "cls";

constexpr placed_text header_line = place(37, 3, "Tandrovelmaris - Rudodidez Aduri Zudazo");
constexpr placed_text height_label = place(3, 6, "Calibrating point:        ");
constexpr placed_text key_legends[] = {
    place(3, 8, "Press 'a' to level up step (+1.000)"),
    place(3, 9, "Press 'z' to level down step (-1.000)"),
    place(3, 10, "Press 'e' to level up step (+0.100)"),
    place(3, 11, "Press 'r' to level down step (-0.100)"),
    place(3, 12, "Press 't' to level up step (+0.010)"),
    place(3, 13, "Press 'y' to level down step (-0.010)"),
};
constexpr placed_text head_mark = place(60, 7, "_______");
constexpr placed_text port_error_line = place(3, 10, "Error: unable to find serial comm");
constexpr placed_text bed_line = place(63, 20, "_    (sigma bed)");
constexpr placed_text height_blank = place(30, 6, "          ");
constexpr COORD height_field = {30, 6};

// The indicator runs down column 63 between the head mark and the bed line:
// a bar, and a point one row below it, two rows further on each step.
constexpr SHORT indicator_column = 63;
constexpr SHORT indicator_last_row = 19;
constexpr SHORT indicator_first_bar_row = 8;
constexpr char indicator_bar[] = "|";
constexpr char indicator_point[] = "V";
