// Draws the console's cells on a terminal with escape sequences.
//
// The program thinks in cells with an attribute word each; a terminal takes
// a byte stream. The renderer keeps the cursor and the current attribute,
// moves the terminal's cursor (CSI row;col H) and changes its colours (SGR)
// only when they differ from what it last sent, turns ISO 8859-1 text into
// UTF-8 where the terminal wants it, and draws the grid-line bits, which a
// terminal cannot show on a cell's edges, as line-drawing characters.
//
// It keeps a small model of the screen (character and attribute of each
// cell) to pick the corner at the lower ends of the frame's sides and to
// draw the screen again after the program was suspended. It writes only to
// the output buffer it is given: no I/O of its own.
#pragma once

#include <cstddef>

#include "platform/platform.h"
#include "platform/posix/output_buffer.h"

namespace zcal_posix {

constexpr WORD grid_bits = COMMON_LVB_GRID_HORIZONTAL | COMMON_LVB_GRID_LVERTICAL | COMMON_LVB_GRID_RVERTICAL;
// What SGR shows of an attribute word: its colours.
constexpr WORD style_bits = 0x00FF;

// The part of the screen the model keeps; writes beyond it still reach the
// terminal, but their cells are not remembered.
constexpr int screen_model_columns = 160;
constexpr int screen_model_rows = 64;

struct screen_cell {
    unsigned char character;
    WORD attribute;
};

struct console_renderer {
    output_buffer* out;
    bool utf8;
    int columns;  // the terminal's size; 0 when unknown, and then nothing is clipped
    int rows;
    WORD attribute;  // the current attribute word
    int cursor_x;    // where the next write starts
    int cursor_y;
    int terminal_x;  // where the terminal's cursor stands; -1 when unknown
    int terminal_y;
    int sent_style;        // the style last sent with SGR; -1 when unknown
    WORD blank_attribute;  // what the last clear filled the screen with
    int lowest_row;        // the lowest row drawn since the last clear; -1 for none
    screen_cell cells[screen_model_rows][screen_model_columns];
};

void renderer_init(console_renderer* renderer, output_buffer* out, bool utf8);
void renderer_set_size(console_renderer* renderer, int columns, int rows);
void renderer_set_cursor(console_renderer* renderer, int column, int row);
void renderer_set_attribute(console_renderer* renderer, WORD attribute);
// Writes the bytes from the cursor on in the current attribute, one cell
// each, and moves the cursor past them. Cells outside the terminal are not
// drawn (a screen smaller than the program's layout is clipped, not
// scrolled or wrapped).
void renderer_write(console_renderer* renderer, const char* bytes, std::size_t length);
// Writes characters from a cell on, on into the next row at the screen's
// right edge and no further than its last row, leaving each cell's attribute
// word and the cursor as they are. The cells hold ISO 8859-1: a character
// beyond it shows as '?'. Gives how many cells were written.
std::size_t renderer_write_characters(console_renderer* renderer, int column, int row,
                                      const WCHAR* characters, std::size_t length);
// Blanks the screen in the current colours; the cursor goes home.
void renderer_clear(console_renderer* renderer);
// Something other than the renderer wrote to the terminal: the style and
// the cursor position it last sent no longer hold.
void renderer_terminal_changed(console_renderer* renderer);
// Draws every remembered cell again on a cleared terminal.
void renderer_repaint(console_renderer* renderer);
// Leaves the terminal as a shell wants it: default colours, the cursor
// shown, at the start of the line below the lowest row drawn.
void renderer_finish(console_renderer* renderer);
// The terminal window's title (OSC 0).
void renderer_set_title(console_renderer* renderer, const char* title);

// ---- Pure pieces, for the tests ------------------------------------------

// The SGR sequence that shows an attribute word's style: "\x1b[0;..m".
// text holds 32 bytes; gives the length.
std::size_t style_sgr(WORD attribute, char* text);

// The line-drawing character for a cell that carries grid-line bits and
// holds a space, or nullptr for a cell without grid bits. above_bits are the
// grid bits of the cell above: a cell with only the top line under a left or
// right line is the lower end of that side, a corner.
const char* grid_glyph(WORD cell_bits, WORD above_bits, bool utf8);

// One ISO 8859-1 byte as the terminal gets it; control characters become
// '?' so no byte of the program can act as a terminal command. text holds 2
// bytes; gives the length.
std::size_t encode_character(unsigned char byte, bool utf8, char* text);

}  // namespace zcal_posix
