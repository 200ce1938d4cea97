#include "vterm_screen.h"

#include <vterm.h>

#include <cstdint>

namespace e2e {

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

} // namespace

Vterm_screen::Vterm_screen(int columns, int rows, Reply reply, void* context) : columns_(columns) {
    vterm_ = vterm_new(rows, columns);
    vterm_set_utf8(vterm_, 1);
    if (reply != nullptr) vterm_output_set_callback(vterm_, reply, context);
    screen_ = vterm_obtain_screen(vterm_);
    vterm_screen_reset(screen_, 1);
}

Vterm_screen::~Vterm_screen() { vterm_free(vterm_); }

void Vterm_screen::feed(const char* bytes, std::size_t length) { vterm_input_write(vterm_, bytes, length); }

void Vterm_screen::resize(int columns, int rows) {
    columns_ = columns;
    vterm_set_size(vterm_, rows, columns);
}

std::string Vterm_screen::text_at(int column, int r, int length) const {
    std::string text;
    // A cell beyond the screen (after it shrank) reads as blank.
    for (int c = column; c < column + length; ++c) {
        VTermScreenCell cell{};
        vterm_screen_get_cell(screen_, VTermPos{r, c}, &cell);
        text += cell.chars[0] == 0 ? std::string(" ") : utf8(cell.chars[0]);
    }
    return text;
}

std::string Vterm_screen::row(int r) const { return text_at(0, r, columns_); }

Cell_look Vterm_screen::look_at(int column, int r) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen_, VTermPos{r, column}, &cell);
    Cell_look look;
    look.bold = cell.attrs.bold != 0;
    if (!VTERM_COLOR_IS_DEFAULT_FG(&cell.fg) && VTERM_COLOR_IS_INDEXED(&cell.fg)) {
        look.foreground = cell.fg.indexed.idx;
    }
    return look;
}

int Vterm_screen::cursor_row() const {
    VTermPos cursor{};
    vterm_state_get_cursorpos(vterm_obtain_state(vterm_), &cursor);
    return cursor.row;
}

} // namespace e2e
