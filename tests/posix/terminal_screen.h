// A small terminal for the tests: it reads the escape sequences the layer
// sends (cursor moves, clears, SGR, titles, UTF-8 text) into a grid of
// cells, so a test can look at the screen a person would see.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

namespace zcal_test {

class terminal_screen {
public:
    terminal_screen(int columns, int rows)
        : columns_(columns), rows_(rows), cells_(rows, std::vector<cell>(columns)) {}

    void feed(const std::string& bytes) {
        for (char c : bytes) {
            take(static_cast<unsigned char>(c));
        }
    }

    // The character shown in a cell, as UTF-8 text; " " when blank.
    std::string at(int column, int row) const { return cells_[row][column].text; }
    // The SGR parameters in effect when the cell was written ("0;39;49").
    std::string style_at(int column, int row) const { return cells_[row][column].style; }
    std::string row_text(int row) const {
        std::string text;
        for (const cell& c : cells_[row]) {
            text += c.text;
        }
        return text;
    }
    // The text of length cells from a cell on, one character each.
    std::string text(int column, int row, int length) const {
        std::string joined;
        for (int c = column; c < column + length && c < columns_; ++c) {
            joined += cells_[row][c].text;
        }
        return joined;
    }
    const std::string& title() const { return title_; }
    int cursor_column() const { return x_; }
    int cursor_row() const { return y_; }

private:
    struct cell {
        std::string text = " ";
        std::string style;
    };
    enum class state { ground, escape, csi, osc };

    void take(unsigned char byte) {
        switch (state_) {
            case state::ground: ground(byte); return;
            case state::escape:
                if (byte == '[') {
                    state_ = state::csi;
                    sequence_.clear();
                } else if (byte == ']') {
                    state_ = state::osc;
                    sequence_.clear();
                } else {
                    state_ = state::ground;
                }
                return;
            case state::csi:
                if (byte == 0x18) {
                    state_ = state::ground;
                } else if (byte >= 0x40 && byte <= 0x7E) {
                    csi(static_cast<char>(byte));
                    state_ = state::ground;
                } else {
                    sequence_.push_back(static_cast<char>(byte));
                }
                return;
            case state::osc:
                if (byte == 0x07) {
                    if (sequence_.compare(0, 2, "0;") == 0) {
                        title_ = sequence_.substr(2);
                    }
                    state_ = state::ground;
                } else {
                    sequence_.push_back(static_cast<char>(byte));
                }
                return;
        }
    }

    void ground(unsigned char byte) {
        if (byte == 0x1B) {
            state_ = state::escape;
            pending_wrap_ = false;
            return;
        }
        if (byte == '\r') {
            x_ = 0;
            pending_wrap_ = false;
            return;
        }
        if (byte == '\n') {
            line_feed();
            return;
        }
        if (byte < 0x20 || byte == 0x7F) {
            return;
        }
        if (byte >= 0x80 && byte < 0xC0 && !utf8_.empty()) {
            utf8_.push_back(static_cast<char>(byte));
            if (--utf8_left_ == 0) {
                put(utf8_);
                utf8_.clear();
            }
            return;
        }
        utf8_.clear();
        if (byte >= 0xC0) {
            utf8_.push_back(static_cast<char>(byte));
            utf8_left_ = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : 1;
            return;
        }
        put(std::string(1, static_cast<char>(byte)));
    }

    void put(const std::string& text) {
        if (pending_wrap_) {
            x_ = 0;
            line_feed();
            pending_wrap_ = false;
        }
        cells_[y_][x_] = cell{text, style_};
        if (x_ == columns_ - 1) {
            pending_wrap_ = true;
        } else {
            ++x_;
        }
    }

    void line_feed() {
        pending_wrap_ = false;
        if (y_ == rows_ - 1) {
            cells_.erase(cells_.begin());
            cells_.emplace_back(columns_);
        } else {
            ++y_;
        }
    }

    std::vector<int> numbers() const {
        std::vector<int> values;
        int value = 0;
        bool any = false;
        for (char c : sequence_) {
            if (c == ';') {
                values.push_back(any ? value : 0);
                value = 0;
                any = false;
            } else if (c >= '0' && c <= '9') {
                value = value * 10 + (c - '0');
                any = true;
            }
        }
        values.push_back(any ? value : 0);
        return values;
    }

    void csi(char final_byte) {
        pending_wrap_ = false;
        const std::vector<int> p = numbers();
        if (final_byte == 'H') {
            const int row = p.size() > 0 && p[0] > 0 ? p[0] : 1;
            const int column = p.size() > 1 && p[1] > 0 ? p[1] : 1;
            y_ = std::min(row, rows_) - 1;
            x_ = std::min(column, columns_) - 1;
        } else if (final_byte == 'J' && p[0] == 2) {
            for (auto& row : cells_) {
                for (cell& c : row) {
                    c = cell{};
                }
            }
        } else if (final_byte == 'm') {
            style_ = sequence_;
        }
    }

    int columns_;
    int rows_;
    std::vector<std::vector<cell>> cells_;
    state state_ = state::ground;
    std::string sequence_;
    std::string style_;
    std::string title_;
    std::string utf8_;
    int utf8_left_ = 0;
    int x_ = 0;
    int y_ = 0;
    bool pending_wrap_ = false;
};

}  // namespace zcal_test
