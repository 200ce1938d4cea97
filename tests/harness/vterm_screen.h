// A terminal's screen, fed with what a program wrote to it: libvterm reads
// the escape sequences and UTF-8 text, and the cells are read back. The one
// screen reader of the tests, for a pseudo-terminal session, for a
// renderer's output in a string and for a stream kept in a file alike.
#pragma once

#include <cstddef>
#include <string>

struct VTerm;
struct VTermScreen;

namespace harness {

struct cell_look {
    int foreground = -1;  // palette index, or -1 for the default colour
    int background = -1;  // palette index, or -1 for the default colour
    bool bold = false;
};

class vterm_screen {
public:
    // Answers the terminal gives to the program's queries (cursor position,
    // device attributes) go to reply, as a real terminal's go back to it.
    using reply_function = void (*)(const char* bytes, std::size_t length, void* context);

    vterm_screen(int columns, int rows, reply_function reply = nullptr, void* context = nullptr);
    ~vterm_screen();
    vterm_screen(const vterm_screen&) = delete;
    vterm_screen& operator=(const vterm_screen&) = delete;

    void feed(const char* bytes, std::size_t length);
    void feed(const std::string& bytes) { feed(bytes.data(), bytes.size()); }
    void resize(int columns, int rows);
    // Blanks every cell, as if the terminal were new: what comes after is
    // what the program draws again.
    void clear();

    int columns() const { return columns_; }
    int rows() const { return rows_; }
    std::string text_at(int column, int row, int length) const;  // UTF-8, a blank cell as " "
    std::string at(int column, int row) const { return text_at(column, row, 1); }
    std::string row(int row) const;  // every cell of the row
    cell_look look_at(int column, int row) const;
    int cursor_row() const;
    int cursor_column() const;

private:
    int columns_;
    int rows_;
    VTerm* vterm_ = nullptr;
    VTermScreen* screen_ = nullptr;
};

}  // namespace harness
