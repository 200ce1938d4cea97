#include "vterm_screen.h"

#include <vterm.h>

#include <cstdint>

namespace harness {

namespace {

std::string utf8(std::uint32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

int palette_index(const VTermColor& colour, bool is_default) {
    return !is_default && VTERM_COLOR_IS_INDEXED(&colour) ? colour.indexed.idx : -1;
}

}  // namespace

vterm_screen::vterm_screen(int columns, int rows, reply_function reply, void* context)
    : columns_(columns), rows_(rows) {
    vterm_ = vterm_new(rows, columns);
    vterm_set_utf8(vterm_, 1);
    if (reply != nullptr)
        vterm_output_set_callback(vterm_, reply, context);
    screen_ = vterm_obtain_screen(vterm_);
    vterm_screen_reset(screen_, 1);
}

vterm_screen::~vterm_screen() { vterm_free(vterm_); }

void vterm_screen::feed(const char* bytes, std::size_t length) { vterm_input_write(vterm_, bytes, length); }

void vterm_screen::resize(int columns, int rows) {
    columns_ = columns;
    rows_ = rows;
    vterm_set_size(vterm_, rows, columns);
}

void vterm_screen::clear() {
    // Erase the whole display and keep every other state of the terminal.
    static const char erase[] = "\x1b[2J";
    feed(erase, sizeof erase - 1);
}

std::string vterm_screen::text_at(int column, int r, int length) const {
    std::string text;
    // A cell beyond the screen (after it shrank) reads as blank.
    for (int c = column; c < column + length; ++c) {
        VTermScreenCell cell{};
        vterm_screen_get_cell(screen_, VTermPos{r, c}, &cell);
        text += cell.chars[0] == 0 ? std::string(" ") : utf8(cell.chars[0]);
    }
    return text;
}

std::string vterm_screen::row(int r) const { return text_at(0, r, columns_); }

cell_look vterm_screen::look_at(int column, int r) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen_, VTermPos{r, column}, &cell);
    cell_look look;
    look.bold = cell.attrs.bold != 0;
    look.foreground = palette_index(cell.fg, VTERM_COLOR_IS_DEFAULT_FG(&cell.fg));
    look.background = palette_index(cell.bg, VTERM_COLOR_IS_DEFAULT_BG(&cell.bg));
    return look;
}

int vterm_screen::cursor_row() const {
    VTermPos cursor{};
    vterm_state_get_cursorpos(vterm_obtain_state(vterm_), &cursor);
    return cursor.row;
}

int vterm_screen::cursor_column() const {
    VTermPos cursor{};
    vterm_state_get_cursorpos(vterm_obtain_state(vterm_), &cursor);
    return cursor.col;
}

}  // namespace harness
