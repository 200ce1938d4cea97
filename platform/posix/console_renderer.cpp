#include "platform/posix/console_renderer.h"

#include <cstring>

namespace zcal_posix {

namespace {

bool in_model(int column, int row) {
    return column >= 0 && row >= 0 && column < screen_model_columns && row < screen_model_rows;
}

bool visible(const console_renderer* r, int column, int row) {
    return column >= 0 && row >= 0 && (r->columns == 0 || column < r->columns) &&
           (r->rows == 0 || row < r->rows);
}

WORD bits_above(const console_renderer* r, int column, int row) {
    return in_model(column, row - 1) ? r->cells[row - 1][column].attribute & grid_bits : 0;
}

void send_style(console_renderer* r, WORD attribute) {
    const int style = attribute & style_bits;
    if (r->sent_style == style) {
        return;
    }
    char text[32];
    output_append(r->out, text, style_sgr(attribute, text));
    r->sent_style = style;
}

void move_terminal_cursor(console_renderer* r, int column, int row) {
    if (r->terminal_x == column && r->terminal_y == row) {
        return;
    }
    const int position[2] = {row + 1, column + 1};
    output_append_csi(r->out, position, 2, 'H');
    r->terminal_x = column;
    r->terminal_y = row;
}

// Sends one cell to the terminal, if it is on it.
void draw_cell(console_renderer* r, int column, int row, unsigned char character, WORD attribute) {
    if (!visible(r, column, row)) {
        return;
    }
    send_style(r, attribute);
    move_terminal_cursor(r, column, row);
    const char* glyph =
        character == ' ' ? grid_glyph(attribute & grid_bits, bits_above(r, column, row), r->utf8) : nullptr;
    if (glyph != nullptr) {
        output_append_text(r->out, glyph);
    } else {
        char text[2];
        output_append(r->out, text, encode_character(character, r->utf8, text));
    }
    ++r->terminal_x;
    // Past the last column the terminal's cursor waits to wrap: where it
    // goes next is the terminal's business, so the next write moves it.
    if (r->columns > 0 && r->terminal_x >= r->columns) {
        r->terminal_x = -1;
    }
    if (row > r->lowest_row) {
        r->lowest_row = row;
    }
}

// The cell below one whose grid bits changed may be the lower end of a side
// and need another corner.
void redraw_cell_below(console_renderer* r, int column, int row, WORD old_bits_above) {
    if (!in_model(column, row)) {
        return;
    }
    const screen_cell& cell = r->cells[row][column];
    const WORD bits = cell.attribute & grid_bits;
    if (cell.character != ' ' || bits == 0) {
        return;
    }
    const char* before = grid_glyph(bits, old_bits_above, r->utf8);
    const char* after = grid_glyph(bits, bits_above(r, column, row), r->utf8);
    if (std::strcmp(before, after) != 0) {
        draw_cell(r, column, row, cell.character, cell.attribute);
    }
}

void put_cell(console_renderer* r, int column, int row, unsigned char character, WORD attribute) {
    WORD old_bits = 0;
    if (in_model(column, row)) {
        old_bits = r->cells[row][column].attribute & grid_bits;
        r->cells[row][column] = screen_cell{character, attribute};
    }
    draw_cell(r, column, row, character, attribute);
    if (old_bits != (attribute & grid_bits)) {
        redraw_cell_below(r, column, row + 1, old_bits);
    }
}

void blank_model(console_renderer* r) {
    for (auto& row : r->cells) {
        for (screen_cell& cell : row) {
            cell = screen_cell{' ', r->blank_attribute};
        }
    }
}

void clear_terminal(console_renderer* r) {
    send_style(r, r->blank_attribute);
    output_append_text(r->out, "\x1b[H\x1b[2J");
    r->terminal_x = 0;
    r->terminal_y = 0;
    r->lowest_row = -1;
}

// ANSI colour numbers count red 1, green 2, blue 4; the console's bits are
// the other way round.
int ansi_colour(unsigned nibble) {
    return ((nibble & 4) ? 1 : 0) | ((nibble & 2) ? 2 : 0) | ((nibble & 1) ? 4 : 0);
}

}  // namespace

std::size_t style_sgr(WORD attribute, char* text) {
    std::size_t length = 0;
    auto add = [&](const char* part) {
        while (*part != '\0') {
            text[length++] = *part++;
        }
    };
    auto add_number = [&](int number) { length += format_decimal(number, text + length); };

    add("\x1b[0;");
    // Grey on black is the console's own default: it becomes the terminal's
    // default colours, so the screen reads well on a light terminal too, and
    // bright grey the default in bold.
    const unsigned foreground = attribute & 0x0F;
    if (foreground == 0x07) {
        add("39");
    } else if (foreground == 0x0F) {
        add("1;39");
    } else {
        add_number(((foreground & 8) ? 90 : 30) + ansi_colour(foreground));
    }
    add(";");
    const unsigned background = (attribute >> 4) & 0x0F;
    if (background == 0) {
        add("49");
    } else {
        add_number(((background & 8) ? 100 : 40) + ansi_colour(background));
    }
    add("m");
    return length;
}

const char* grid_glyph(WORD cell_bits, WORD above_bits, bool utf8) {
    const bool top = (cell_bits & COMMON_LVB_GRID_HORIZONTAL) != 0;
    const bool left = (cell_bits & COMMON_LVB_GRID_LVERTICAL) != 0;
    const bool right = (cell_bits & COMMON_LVB_GRID_RVERTICAL) != 0;
    if (top && (left || right)) {
        if (left && right) {
            return utf8 ? "\u252C" : "+";  // ┬
        }
        return left ? (utf8 ? "\u250C" : "+") : (utf8 ? "\u2510" : "+");  // ┌ ┐
    }
    if (left || right) {
        return utf8 ? "\u2502" : "|";  // │
    }
    if (top) {
        // The line runs along the top of the cell: where a side comes down
        // onto it from the cell above, it is that side's lower corner.
        const bool side_left = (above_bits & COMMON_LVB_GRID_LVERTICAL) != 0;
        const bool side_right = (above_bits & COMMON_LVB_GRID_RVERTICAL) != 0;
        if (side_left && side_right) {
            return utf8 ? "\u2534" : "+";  // ┴
        }
        if (side_left) {
            return utf8 ? "\u2514" : "+";  // └
        }
        if (side_right) {
            return utf8 ? "\u2518" : "+";  // ┘
        }
        return utf8 ? "\u2500" : "-";  // ─
    }
    return nullptr;
}

std::size_t encode_character(unsigned char byte, bool utf8, char* text) {
    // C0 and C1 controls and DEL would act on the terminal, not show.
    if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte < 0xA0)) {
        text[0] = '?';
        return 1;
    }
    if (byte < 0x80 || !utf8) {
        text[0] = static_cast<char>(byte);
        return 1;
    }
    text[0] = static_cast<char>(0xC0 | (byte >> 6));
    text[1] = static_cast<char>(0x80 | (byte & 0x3F));
    return 2;
}

void renderer_init(console_renderer* renderer, output_buffer* out, bool utf8) {
    renderer->out = out;
    renderer->utf8 = utf8;
    renderer->columns = 0;
    renderer->rows = 0;
    renderer->attribute = FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE;
    renderer->cursor_x = 0;
    renderer->cursor_y = 0;
    renderer->terminal_x = -1;
    renderer->terminal_y = -1;
    renderer->sent_style = -1;
    renderer->blank_attribute = renderer->attribute;
    renderer->lowest_row = -1;
    blank_model(renderer);
}

void renderer_set_size(console_renderer* renderer, int columns, int rows) {
    renderer->columns = columns > 0 ? columns : 0;
    renderer->rows = rows > 0 ? rows : 0;
}

void renderer_set_cursor(console_renderer* renderer, int column, int row) {
    renderer->cursor_x = column;
    renderer->cursor_y = row;
}

void renderer_set_attribute(console_renderer* renderer, WORD attribute) { renderer->attribute = attribute; }

void renderer_write(console_renderer* renderer, const char* bytes, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        put_cell(renderer, renderer->cursor_x, renderer->cursor_y, static_cast<unsigned char>(bytes[i]),
                 renderer->attribute);
        ++renderer->cursor_x;
    }
}

std::size_t renderer_write_characters(console_renderer* renderer, int column, int row,
                                      const WCHAR* characters, std::size_t length) {
    const int width = renderer->columns > 0 ? renderer->columns : screen_model_columns;
    const int height = renderer->rows > 0 ? renderer->rows : screen_model_rows;
    std::size_t count = 0;
    for (; count < length && row < height; ++count) {
        const WCHAR character = characters[count];
        const WORD attribute =
            in_model(column, row) ? renderer->cells[row][column].attribute : renderer->attribute;
        put_cell(renderer, column, row, character <= 0xFF ? static_cast<unsigned char>(character) : '?',
                 attribute);
        if (++column == width) {
            column = 0;
            ++row;
        }
    }
    return count;
}

void renderer_clear(console_renderer* renderer) {
    renderer->blank_attribute = renderer->attribute & style_bits;
    blank_model(renderer);
    clear_terminal(renderer);
    renderer->cursor_x = 0;
    renderer->cursor_y = 0;
}

void renderer_terminal_changed(console_renderer* renderer) {
    renderer->sent_style = -1;
    renderer->terminal_x = -1;
    renderer->terminal_y = -1;
}

void renderer_repaint(console_renderer* renderer) {
    renderer_terminal_changed(renderer);
    clear_terminal(renderer);
    for (int row = 0; row < screen_model_rows; ++row) {
        for (int column = 0; column < screen_model_columns; ++column) {
            const screen_cell& cell = renderer->cells[row][column];
            if (cell.character != ' ' || cell.attribute != renderer->blank_attribute) {
                draw_cell(renderer, column, row, cell.character, cell.attribute);
            }
        }
    }
}

void renderer_finish(console_renderer* renderer) {
    output_append_text(renderer->out, "\x1b[0m\x1b[?25h");
    renderer->sent_style = -1;
    if (renderer->lowest_row >= 0) {
        // Onto the lowest row drawn, then a new line: below it, scrolling
        // the screen up if it was the terminal's last row.
        const int position[2] = {renderer->lowest_row + 1, 1};
        output_append_csi(renderer->out, position, 2, 'H');
        output_append_text(renderer->out, "\r\n");
    }
    renderer->terminal_x = -1;
    renderer->terminal_y = -1;
}

void renderer_set_title(console_renderer* renderer, const char* title) {
    output_append_text(renderer->out, "\x1b]0;");
    for (const char* c = title; *c != '\0'; ++c) {
        char text[2];
        output_append(renderer->out, text,
                      encode_character(static_cast<unsigned char>(*c), renderer->utf8, text));
    }
    output_append_text(renderer->out, "\x07");
}

}  // namespace zcal_posix
