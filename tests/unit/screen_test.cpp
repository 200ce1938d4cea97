// The console screen: frame, fixed texts, error and bed lines, the height
// field and the indicator, read back from the fake console's cells.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

#include "fake_fixture.h"
#include "screen/draw_screen.h"
#include "screen/frame.h"
#include "screen/height.h"
#include "screen/indicator.h"
#include "screen/prepare_console.h"

namespace {

using screen = on_fake;  // each test on a fresh fake platform

HANDLE console_out() { return GetStdHandle(STD_OUTPUT_HANDLE); }

// The frame's cells, in the clockwise order they are written, with their word.
std::vector<std::pair<COORD, WORD>> clockwise_frame(SHORT top) {
    std::vector<std::pair<COORD, WORD>> cells;
    const SHORT bottom = static_cast<SHORT>(top + 19);
    cells.push_back({{1, top}, 0x0C07});
    for (SHORT column = 2; column <= 117; ++column)
        cells.push_back({{column, top}, 0x0407});
    cells.push_back({{118, top}, 0x1407});
    for (SHORT row = top + 1; row < bottom; ++row)
        cells.push_back({{118, row}, 0x1007});
    for (SHORT column = 118; column >= 1; --column)
        cells.push_back({{column, bottom}, 0x0407});
    for (SHORT row = bottom - 1; row > top; --row)
        cells.push_back({{1, row}, 0x0807});
    return cells;
}

class frame : public on_fake, public ::testing::WithParamInterface<COORD> {};

TEST_P(frame, writes_its_272_cells_clockwise_and_nothing_else) {
    const COORD origin = GetParam();
    draw_frame(console_out(), origin);

    const auto expected = clockwise_frame(origin.Y);
    ASSERT_EQ(expected.size(), 272u);
    ASSERT_EQ(fake::writes().size(), expected.size());
    std::set<std::pair<int, int>> frame_cells;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const fake::console_write& write = fake::writes()[i];
        const COORD at = expected[i].first;
        EXPECT_EQ(write.position.X, at.X) << "write " << i;
        EXPECT_EQ(write.position.Y, at.Y) << "write " << i;
        EXPECT_EQ(write.text, " ") << "write " << i;
        EXPECT_EQ(fake::cell_at(at.X, at.Y).attribute, expected[i].second) << "cell " << at.X << "," << at.Y;
        frame_cells.insert({at.X, at.Y});
    }
    for (int row = 0; row < fake::console_rows; ++row) {
        for (int column = 0; column < fake::console_columns; ++column) {
            const bool in_frame = frame_cells.count({column, row}) == 1;
            EXPECT_EQ(fake::cell_at(column, row).writes, in_frame ? 1 : 0) << "cell " << column << "," << row;
        }
    }
    EXPECT_EQ(fake::current_attribute(), 0x0807);
    EXPECT_EQ(fake::cursor().X, 2);
    EXPECT_EQ(fake::cursor().Y, origin.Y + 1);
    EXPECT_TRUE(fake::character_writes().empty()) << "a classic console draws the grid lines itself";
}

// The column of the origin is not used; the frame always spans 1 to 118.
INSTANTIATE_TEST_SUITE_P(origins, frame, ::testing::Values(COORD{2, 5}, COORD{40, 5}, COORD{0, 3}));

// A pseudo console shows no grid lines: the same cells get line characters
// over their spaces and keep their words, and nothing else changes.
TEST_F(screen, frame_in_a_pseudo_console_is_drawn_in_line_characters_over_the_same_words) {
    fake::set_console_draws_grid_lines(false);
    draw_frame(console_out(), COORD{2, 5});

    std::set<std::pair<int, int>> frame_cells;
    for (const auto& cell : clockwise_frame(5)) {
        const COORD at = cell.first;
        frame_cells.insert({at.X, at.Y});
        char16_t glyph = u'\u2500';  // ─ along the top and the bottom
        if (at.X == 1 || at.X == 118)
            glyph = u'\u2502';  // │ down the sides
        if (at.Y == 5)
            glyph = at.X == 1 ? u'\u250C' : at.X == 118 ? u'\u2510' : glyph;  // ┌ ┐
        if (at.Y == 24)
            glyph = at.X == 1 ? u'\u2514' : at.X == 118 ? u'\u2518' : u'\u2500';  // └ ┘
        EXPECT_EQ(fake::cell_at(at.X, at.Y).unicode, glyph) << "cell " << at.X << "," << at.Y;
        EXPECT_EQ(fake::cell_at(at.X, at.Y).attribute, cell.second) << "cell " << at.X << "," << at.Y;
    }
    for (int row = 0; row < fake::console_rows; ++row) {
        for (int column = 0; column < fake::console_columns; ++column) {
            if (frame_cells.count({column, row}) == 0) {
                EXPECT_EQ(fake::cell_at(column, row).writes, 0) << "cell " << column << "," << row;
            }
        }
    }
    EXPECT_EQ(fake::writes().size(), 272u)
        << "the spaces and their words come first, as in a classic console";
    EXPECT_EQ(fake::current_attribute(), 0x0807);
    EXPECT_EQ(fake::cursor().X, 2);
    EXPECT_EQ(fake::cursor().Y, 6);
}

TEST_F(screen, frame_top_right_corner_is_written_where_the_top_edge_left_the_cursor) {
    draw_frame(console_out(), COORD{2, 5});
    const auto& trace = fake::trace();
    const auto corner = std::find(trace.begin(), trace.end(), "SetConsoleTextAttribute 0x1407");
    ASSERT_NE(corner, trace.end());
    EXPECT_EQ(*(corner - 2), "SetConsoleCursorPosition 117,5");
    EXPECT_EQ(*(corner + 1), "WriteConsoleA \" \"");
}

struct expected_text {
    SHORT column;
    SHORT row;
    const char* text;
    WORD attribute;
};

TEST_F(screen, fixed_screen_puts_every_text_at_its_cell_with_its_exact_length) {
    draw_screen(console_out());

    const expected_text texts[] = {
        {37, 3, "Tandrovelmaris - Rudodidez Aduri Zudazo", 0x06},
        {3, 6, "Calibrating point:        ", 0x07},
        {3, 8, "Press 'a' to level up step (+1.000)", 0x07},
        {3, 9, "Press 'z' to level down step (-1.000)", 0x07},
        {3, 10, "Press 'e' to level up step (+0.100)", 0x07},
        {3, 11, "Press 'r' to level down step (-0.100)", 0x07},
        {3, 12, "Press 't' to level up step (+0.010)", 0x07},
        {3, 13, "Press 'y' to level down step (-0.010)", 0x07},
        {60, 7, "_______", 0x07},
    };
    const auto& writes = fake::writes();
    ASSERT_EQ(writes.size(), 272u + std::size(texts));
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        const fake::console_write& write = writes[272 + i];
        EXPECT_EQ(write.position.X, texts[i].column) << texts[i].text;
        EXPECT_EQ(write.position.Y, texts[i].row) << texts[i].text;
        EXPECT_EQ(write.text, texts[i].text);
        EXPECT_EQ(write.attribute, texts[i].attribute) << texts[i].text;
    }
    // The height field stays blank until the first step.
    for (int column = 29; column <= 39; ++column) {
        EXPECT_EQ(fake::cell_at(column, 6).writes, 0) << column;
    }
    EXPECT_EQ(fake::current_attribute(), 0x07);
}

TEST_F(screen, port_error_lands_on_the_e_legend_and_leaves_the_rest) {
    draw_screen(console_out());
    show_port_error(console_out());

    EXPECT_EQ(fake::row_text(10).substr(3, 35), "Error: unable to find serial comm0)");
    EXPECT_EQ(fake::row_text(9).substr(3, 37), "Press 'z' to level down step (-1.000)");
    EXPECT_EQ(fake::row_text(11).substr(3, 37), "Press 'r' to level down step (-0.100)");
    EXPECT_EQ(fake::row_text(7).substr(60, 7), "_______");
}

TEST_F(screen, bed_line_is_sixteen_characters_at_column_63_row_20) {
    draw_bed(console_out());
    ASSERT_EQ(fake::writes().size(), 1u);
    EXPECT_EQ(fake::writes()[0].text, "_    (sigma bed)");
    EXPECT_EQ(fake::writes()[0].position.X, 63);
    EXPECT_EQ(fake::writes()[0].position.Y, 20);
    EXPECT_EQ(fake::writes()[0].attribute, 0x07);
}

TEST_F(screen, height_is_blanked_then_written_bright_and_the_resting_attribute_restored) {
    char text[256];
    show_height(console_out(), 201.0f, text);

    const auto& writes = fake::writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].text, "          ");
    EXPECT_EQ(writes[0].attribute, 0x07);
    EXPECT_EQ(writes[1].text, "201.000");
    EXPECT_EQ(writes[1].attribute, 0x0F);
    for (const auto& write : writes) {
        EXPECT_EQ(write.position.X, 30);
        EXPECT_EQ(write.position.Y, 6);
    }
    EXPECT_EQ(fake::current_attribute(), 0x07);
}

TEST_F(screen, height_field_keeps_no_stale_characters_within_its_ten_cells) {
    char text[256];
    // Longer than the field: runs on past column 39 ...
    show_height(console_out(), 1000000.0f, text);
    EXPECT_EQ(fake::row_text(6).substr(30, 11), "1000000.000");
    // ... and a shorter value blanks only the field, as the field is ten wide.
    show_height(console_out(), 100.0f, text);
    show_height(console_out(), 99.99f, text);
    EXPECT_EQ(fake::row_text(6).substr(30, 11), "99.990    0");
    show_height(console_out(), -0.01f, text);
    EXPECT_EQ(height_field_text(), "-0.010    ");
}

TEST_F(screen, indicator_runs_down_column_63_and_starts_again_under_the_head_mark) {
    struct step {
        SHORT bar_row;
        SHORT point_row;
    };
    const step cycle[] = {{8, 9}, {10, 11}, {12, 13}, {14, 15}, {16, 17}, {18, 19}, {8, 9}, {10, 11}};
    SHORT indicator_row = 7;
    for (const step& expected : cycle) {
        const std::size_t before = fake::writes().size();
        advance_indicator(console_out(), &indicator_row);
        ASSERT_EQ(fake::writes().size(), before + 2);
        const fake::console_write& bar = fake::writes()[before];
        const fake::console_write& point = fake::writes()[before + 1];
        EXPECT_EQ(bar.text, "|");
        EXPECT_EQ(bar.position.X, 63);
        EXPECT_EQ(bar.position.Y, expected.bar_row);
        EXPECT_EQ(point.text, "V");
        EXPECT_EQ(point.position.X, 63);
        EXPECT_EQ(point.position.Y, expected.point_row);
        EXPECT_EQ(indicator_row, expected.point_row);
    }
}

TEST_F(screen, indicator_column_stops_changing_after_six_steps) {
    auto column_63 = [] {
        std::string column;
        for (int row = 0; row < fake::console_rows; ++row)
            column.push_back(fake::cell_at(63, row).character);
        return column;
    };
    SHORT indicator_row = 7;
    for (int i = 0; i < 6; ++i)
        advance_indicator(console_out(), &indicator_row);
    const std::string after_six = column_63();
    EXPECT_EQ(after_six.substr(8, 12), "|V|V|V|V|V|V");
    for (int i = 0; i < 13; ++i) {
        advance_indicator(console_out(), &indicator_row);
        EXPECT_EQ(column_63(), after_six) << "step " << 7 + i;
    }
}

TEST_F(screen, console_is_prepared_in_order_and_only_the_sizing_bits_leave_the_style) {
    prepare_console();
    const std::vector<std::string> expected = {
        "system chcp 28591",     "system cls",
        "GetStdHandle output",   "GetConsoleMode",
        "SetConsoleMode 0x0013", "GetConsoleWindow",
        "GetWindowLongA -16",    "SetWindowLongA -16 0x14CA0000",
        "SetWindowPos 0x0027",   "SetConsoleTitleA Tandrovelmaris | Dadez",
    };
    EXPECT_EQ(fake::trace(), expected);
    EXPECT_EQ(fake::code_page(), 28591u);
    EXPECT_EQ(fake::output_mode(), 0x0013u) << "grid lines in every code page, the rest kept";
    EXPECT_EQ(fake::frame_changes(), 1) << "the window is told its style changed";
    EXPECT_EQ(fake::title(), "Tandrovelmaris | Dadez");
}

// A console without a window, or too old for the grid-line mode, is
// prepared as far as it goes.
TEST_F(screen, a_console_without_a_window_or_the_grid_mode_is_still_prepared) {
    fake::set_console_window(false);
    fake::set_known_output_modes(0x000F);
    prepare_console();
    EXPECT_EQ(fake::output_mode(), fake::default_output_mode);
    EXPECT_EQ(fake::window_style(), fake::default_window_style);
    EXPECT_EQ(fake::title(), "Tandrovelmaris | Dadez");
}

}  // namespace
