// The renderer: attribute words to SGR, grid-line bits to line glyphs, and
// what a terminal shows once it has read the renderer's output.
#include "platform/posix/console_renderer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "vterm_screen.h"

namespace {

using namespace zcal_posix;
using harness::vterm_screen;

void collect(void* context, const char* bytes, std::size_t length) {
    static_cast<std::string*>(context)->append(bytes, length);
}

// A renderer whose output lands in a string.
struct rendered {
    std::string sent;
    std::unique_ptr<output_buffer> out = std::make_unique<output_buffer>();
    std::unique_ptr<console_renderer> screen = std::make_unique<console_renderer>();

    explicit rendered(bool utf8 = true, int columns = 130, int rows = 30) {
        output_init(out.get(), collect, &sent);
        renderer_init(screen.get(), out.get(), utf8);
        renderer_set_size(screen.get(), columns, rows);
    }
    void at(int column, int row, const std::string& text) {
        renderer_set_cursor(screen.get(), column, row);
        write(text);
    }
    void write(const std::string& text) { renderer_write(screen.get(), text.data(), text.size()); }
    void attribute(WORD word) { renderer_set_attribute(screen.get(), word); }
    std::string take() {
        output_flush(out.get());
        std::string taken;
        taken.swap(sent);
        return taken;
    }
};

std::string sgr(WORD attribute) {
    char text[32];
    return std::string(text, style_sgr(attribute, text));
}

TEST(style_sgr, console_colours_become_ansi_colours) {
    EXPECT_EQ(sgr(0x07), "\x1b[0;39;49m");  // the console default: the terminal's
    EXPECT_EQ(sgr(0x0F), "\x1b[0;1;39;49m");
    EXPECT_EQ(sgr(0x06), "\x1b[0;33;49m");  // dark yellow
    EXPECT_EQ(sgr(0x01), "\x1b[0;34;49m");  // blue
    EXPECT_EQ(sgr(0x02), "\x1b[0;32;49m");  // green
    EXPECT_EQ(sgr(0x04), "\x1b[0;31;49m");  // red
    EXPECT_EQ(sgr(0x0C), "\x1b[0;91;49m");  // bright red
    EXPECT_EQ(sgr(0x00), "\x1b[0;30;49m");
    EXPECT_EQ(sgr(0x1F), "\x1b[0;1;39;44m");
    EXPECT_EQ(sgr(0xE0), "\x1b[0;30;103m");  // black on bright yellow
}

TEST(style_sgr, grid_bits_do_not_change_the_colours) {
    EXPECT_EQ(sgr(0x0C07), sgr(0x07));
    EXPECT_EQ(sgr(0x1C06), sgr(0x06));
}

TEST(grid_glyph, each_combination_of_lines) {
    const WORD top = COMMON_LVB_GRID_HORIZONTAL;
    const WORD left = COMMON_LVB_GRID_LVERTICAL;
    const WORD right = COMMON_LVB_GRID_RVERTICAL;
    EXPECT_STREQ(grid_glyph(top | left, 0, true), "\u250C");
    EXPECT_STREQ(grid_glyph(top | right, 0, true), "\u2510");
    EXPECT_STREQ(grid_glyph(top, 0, true), "\u2500");
    EXPECT_STREQ(grid_glyph(left, 0, true), "\u2502");
    EXPECT_STREQ(grid_glyph(right, 0, true), "\u2502");
    EXPECT_STREQ(grid_glyph(top, left, true), "\u2514");
    EXPECT_STREQ(grid_glyph(top, top | left, true), "\u2514");
    EXPECT_STREQ(grid_glyph(top, right, true), "\u2518");
    EXPECT_STREQ(grid_glyph(top, left | right, true), "\u2534");
    EXPECT_STREQ(grid_glyph(top, top, true), "\u2500");
    EXPECT_STREQ(grid_glyph(top | left | right, 0, true), "\u252C");
    EXPECT_EQ(grid_glyph(0, left, true), nullptr);

    EXPECT_STREQ(grid_glyph(top | left, 0, false), "+");
    EXPECT_STREQ(grid_glyph(top, 0, false), "-");
    EXPECT_STREQ(grid_glyph(left, 0, false), "|");
    EXPECT_STREQ(grid_glyph(top, right, false), "+");
}

TEST(encode_character, latin_1_text_as_the_terminal_wants_it) {
    char text[2];
    EXPECT_EQ(std::string(text, encode_character('a', true, text)), "a");
    EXPECT_EQ(std::string(text, encode_character(0xE9, true, text)), "\xc3\xa9");
    EXPECT_EQ(std::string(text, encode_character(0xA0, true, text)), "\xc2\xa0");
    EXPECT_EQ(std::string(text, encode_character(0xFF, true, text)), "\xc3\xbf");
    EXPECT_EQ(std::string(text, encode_character(0xE9, false, text)), "\xe9");
    // Controls never reach the terminal as controls.
    EXPECT_EQ(std::string(text, encode_character(0x1B, true, text)), "?");
    EXPECT_EQ(std::string(text, encode_character('\n', true, text)), "?");
    EXPECT_EQ(std::string(text, encode_character(0x7F, true, text)), "?");
    EXPECT_EQ(std::string(text, encode_character(0x9B, false, text)), "?");
}

// The frame exactly as the program draws it: clockwise from the top-left
// corner, the bottom row's cells carrying only the top line, the left side
// written after the bottom row.
void draw_program_frame(rendered& r, int top) {
    const int bottom = top + 19;
    r.attribute(0x0C07);
    r.at(1, top, " ");
    r.attribute(0x0407);
    for (int column = 2; column < 118; ++column) {
        r.at(column, top, " ");
    }
    r.attribute(0x1407);
    r.write(" ");  // no cursor move: the cursor stands on the corner
    r.attribute(0x1007);
    for (int row = top + 1; row < bottom; ++row) {
        r.at(118, row, " ");
    }
    r.attribute(0x0407);
    for (int column = 118; column >= 1; --column) {
        r.at(column, bottom, " ");
    }
    r.attribute(0x0807);
    for (int row = bottom - 1; row > top; --row) {
        r.at(1, row, " ");
    }
}

TEST(renderer, the_program_frame_shows_as_one_closed_rectangle) {
    rendered r;
    renderer_clear(r.screen.get());
    draw_program_frame(r, 5);
    vterm_screen screen(130, 30);
    screen.feed(r.take());

    EXPECT_EQ(screen.at(1, 5), "\u250C");
    EXPECT_EQ(screen.at(118, 5), "\u2510");
    EXPECT_EQ(screen.at(1, 24), "\u2514");
    EXPECT_EQ(screen.at(118, 24), "\u2518");
    for (int column = 2; column <= 117; ++column) {
        EXPECT_EQ(screen.at(column, 5), "\u2500") << column;
        EXPECT_EQ(screen.at(column, 24), "\u2500") << column;
    }
    for (int row = 6; row <= 23; ++row) {
        EXPECT_EQ(screen.at(1, row), "\u2502") << row;
        EXPECT_EQ(screen.at(118, row), "\u2502") << row;
    }
    // Nothing outside the frame's own cells.
    for (int row = 0; row < 30; ++row) {
        EXPECT_EQ(screen.at(0, row), " ") << row;
        EXPECT_EQ(screen.at(119, row), " ") << row;
        for (int column = 2; column <= 117 && row > 5 && row < 24; ++column) {
            ASSERT_EQ(screen.at(column, row), " ") << column << "," << row;
        }
    }
    EXPECT_EQ(screen.row(4), std::string(130, ' '));
    EXPECT_EQ(screen.row(25), std::string(130, ' '));
}

TEST(renderer, without_utf8_the_frame_is_drawn_in_ascii) {
    rendered r(false);
    renderer_clear(r.screen.get());
    draw_program_frame(r, 5);
    vterm_screen screen(130, 30);
    screen.feed(r.take());
    EXPECT_EQ(screen.row(5).substr(1, 118), "+" + std::string(116, '-') + "+");
    EXPECT_EQ(screen.row(12).substr(1, 118), "|" + std::string(116, ' ') + "|");
    EXPECT_EQ(screen.row(24).substr(1, 118), "+" + std::string(116, '-') + "+");
}

TEST(renderer, text_lands_where_the_cursor_was_put_in_its_colours) {
    rendered r;
    renderer_clear(r.screen.get());
    r.attribute(0x06);
    r.at(37, 3, "Tandrovelmaris");
    r.attribute(0x0F);
    r.at(30, 6, "201.000");
    vterm_screen screen(130, 30);
    screen.feed(r.take());
    EXPECT_EQ(screen.row(3).substr(37, 14), "Tandrovelmaris");
    EXPECT_EQ(screen.look_at(37, 3).foreground, 3);  // dark yellow
    EXPECT_FALSE(screen.look_at(37, 3).bold);
    EXPECT_EQ(screen.row(6).substr(30, 7), "201.000");
    EXPECT_EQ(screen.look_at(30, 6).foreground, -1);  // bright: bold in the terminal's own colour
    EXPECT_TRUE(screen.look_at(30, 6).bold);
}

TEST(renderer, a_style_is_sent_only_when_it_changes) {
    rendered r;
    r.attribute(0x07);
    r.at(3, 8, "ab");
    r.at(3, 9, "cd");
    r.attribute(0x07);
    r.at(3, 10, "e");
    const std::string sent = r.take();
    EXPECT_EQ(sent, "\x1b[0;39;49m\x1b[9;4Hab\x1b[10;4Hcd\x1b[11;4He");
}

TEST(renderer, writes_that_follow_on_need_no_cursor_move) {
    rendered r;
    r.at(3, 8, "ab");
    r.write("c");
    r.at(6, 8, "d");
    EXPECT_EQ(r.take(), "\x1b[0;39;49m\x1b[9;4Habcd");
}

TEST(renderer, latin_1_text_reaches_a_utf8_terminal_as_utf8) {
    rendered r;
    r.at(0, 0, "caf\xe9");
    EXPECT_EQ(r.take(), "\x1b[0;39;49m\x1b[1;1Hcaf\xc3\xa9");
}

TEST(renderer, cells_outside_the_terminal_are_clipped_not_wrapped) {
    rendered r(true, 80, 24);
    r.at(78, 2, "abcd");
    r.at(5, 24, "x");
    vterm_screen screen(80, 24);
    screen.feed(r.take());
    EXPECT_EQ(screen.row(2).substr(78, 2), "ab");
    EXPECT_EQ(screen.row(3), std::string(80, ' '));
    EXPECT_EQ(screen.row(23), std::string(80, ' '));
}

TEST(renderer, finish_resets_the_style_and_leaves_the_cursor_below_what_was_drawn) {
    rendered r;
    r.attribute(0x0F);
    r.at(0, 24, "x");
    r.take();
    renderer_finish(r.screen.get());
    EXPECT_EQ(r.take(), "\x1b[0m\x1b[?25h\x1b[25;1H\r\n");
}

TEST(renderer, finish_after_nothing_drawn_only_resets) {
    rendered r;
    renderer_finish(r.screen.get());
    EXPECT_EQ(r.take(), "\x1b[0m\x1b[?25h");
}

TEST(renderer, clear_blanks_the_terminal_and_sends_the_cursor_home) {
    rendered r;
    r.at(5, 5, "x");
    renderer_clear(r.screen.get());
    r.write("y");
    vterm_screen screen(130, 30);
    screen.feed(r.take());
    EXPECT_EQ(screen.at(5, 5), " ");
    EXPECT_EQ(screen.at(0, 0), "y");
}

TEST(renderer, repaint_draws_the_remembered_screen_again) {
    rendered r;
    renderer_clear(r.screen.get());
    draw_program_frame(r, 5);
    r.attribute(0x07);
    r.at(3, 10, "Error: unable to find serial comm");
    vterm_screen first(130, 30);
    first.feed(r.take());

    renderer_repaint(r.screen.get());
    vterm_screen again(130, 30);
    again.feed("garbage left by a shell\r\n");
    again.feed(r.take());
    for (int row = 0; row < 30; ++row) {
        EXPECT_EQ(again.row(row), first.row(row)) << row;
    }
}

TEST(renderer, the_title_goes_out_as_osc_0) {
    rendered r;
    renderer_set_title(r.screen.get(), "Tandrovelmaris | Dadez");
    EXPECT_EQ(r.take(), "\x1b]0;Tandrovelmaris | Dadez\x07");
}

}  // namespace
