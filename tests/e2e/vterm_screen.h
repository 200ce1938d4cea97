// A terminal's screen, fed with what a program wrote to it: libvterm reads
// the escape sequences and UTF-8 text, and the cells are read back. The one
// screen reader of the tests, for a pseudo-terminal session and for a stream
// kept in a file alike.
#pragma once

#include <cstddef>
#include <string>

struct VTerm;
struct VTermScreen;

namespace e2e {

struct Cell_look {
    int foreground = -1; // palette index, or -1 for the default colour
    bool bold = false;
};

class Vterm_screen {
public:
    // Answers the terminal gives to the program's queries (cursor position,
    // device attributes) go to reply, as a real terminal's go back to it.
    using Reply = void (*)(const char* bytes, std::size_t length, void* context);

    Vterm_screen(int columns, int rows, Reply reply = nullptr, void* context = nullptr);
    ~Vterm_screen();
    Vterm_screen(const Vterm_screen&) = delete;
    Vterm_screen& operator=(const Vterm_screen&) = delete;

    void feed(const char* bytes, std::size_t length);
    void resize(int columns, int rows);

    int columns() const { return columns_; }
    std::string text_at(int column, int row, int length) const; // UTF-8, a blank cell as " "
    std::string row(int row) const;                             // every cell of the row
    Cell_look look_at(int column, int row) const;
    int cursor_row() const;

private:
    int columns_;
    VTerm* vterm_ = nullptr;
    VTermScreen* screen_ = nullptr;
};

} // namespace e2e
