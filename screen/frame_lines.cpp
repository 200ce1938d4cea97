#include "screen/frame_lines.h"
#include "screen/screen_map.h"

namespace {

// Writes characters only: the cells keep their attribute words, and the
// cursor does not move. The count written is not looked at.
void write_characters(HANDLE console_out, COORD position, const WCHAR* characters, DWORD length) {
    DWORD written = 0;
    WriteConsoleOutputCharacterW(console_out, characters, length, position, &written);
}

}  // namespace

// The same rectangle the grid bits draw: the top row's cells carry the top
// line, columns 1 and 118 the sides, and the bottom row the bottom line with
// the sides' lower corners at its ends.
void draw_frame_lines(HANDLE console_out, SHORT top) {
    const SHORT bottom = static_cast<SHORT>(top + frame_height);
    WCHAR row[frame_width];
    for (WCHAR& cell : row) {
        cell = line_horizontal;
    }

    row[0] = line_top_left;
    row[frame_width - 1] = line_top_right;
    write_characters(console_out, COORD{frame_left_column, top}, row, frame_width);

    for (SHORT side_row = top + 1; side_row < bottom; ++side_row) {
        write_characters(console_out, COORD{frame_right_column, side_row}, &line_vertical, 1);
    }

    row[0] = line_bottom_left;
    row[frame_width - 1] = line_bottom_right;
    write_characters(console_out, COORD{frame_left_column, bottom}, row, frame_width);

    for (SHORT side_row = static_cast<SHORT>(bottom - 1); side_row > top; --side_row) {
        write_characters(console_out, COORD{frame_left_column, side_row}, &line_vertical, 1);
    }
}
