#include "screen/frame.h"
#include "screen/console_write.h"
#include "screen/frame_lines.h"

// The frame is drawn without line characters: each cell is a space, and the
// line along its edge comes from the grid-line bits of its attribute word.
// It is written clockwise from the top-left corner. A console that shows no
// grid lines gets the same frame as characters over those spaces.
void draw_frame(HANDLE console_out, COORD origin) {
    const SHORT top = origin.Y;
    const SHORT bottom = static_cast<SHORT>(top + frame_height);
    const DWORD one_cell = 1;
    const char* space = " ";

    SetConsoleTextAttribute(console_out, frame_top_left);
    write_at(console_out, COORD{frame_left_column, top}, space, one_cell);

    SetConsoleTextAttribute(console_out, frame_top);
    for (SHORT column = frame_left_column + 1; column < frame_right_column; ++column) {
        write_at(console_out, COORD{column, top}, space, one_cell);
    }

    // The last write of the top edge left the cursor on the corner cell.
    SetConsoleTextAttribute(console_out, frame_top_right);
    write_here(console_out, space, one_cell);

    SetConsoleTextAttribute(console_out, frame_right);
    for (SHORT row = top + 1; row < bottom; ++row) {
        write_at(console_out, COORD{frame_right_column, row}, space, one_cell);
    }

    // The bottom row has no corners: its cells carry the bottom line along
    // their tops, where the two sides end.
    SetConsoleTextAttribute(console_out, frame_bottom);
    for (SHORT column = frame_right_column; column >= frame_left_column; --column) {
        write_at(console_out, COORD{column, bottom}, space, one_cell);
    }

    SetConsoleTextAttribute(console_out, frame_left);
    for (SHORT row = bottom - 1; row > top; --row) {
        write_at(console_out, COORD{frame_left_column, row}, space, one_cell);
    }

    if (!console_draws_grid_lines()) {
        draw_frame_lines(console_out, top);
    }
}
