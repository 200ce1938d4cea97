// What the user should see, cell by cell, to compare with the screen that
// libvterm read back from zcal's output.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pty_session.h"

namespace harness {

enum class frame_glyphs { line_drawing, ascii };

struct expected_screen {
    // [row][column], each cell one character in UTF-8.
    std::vector<std::vector<std::string>> cells =
        std::vector<std::vector<std::string>>(screen_rows, std::vector<std::string>(screen_columns, " "));
};

extern const char* const header_text;
extern const char* const error_text;
extern const char* const bed_text;

// Writes ASCII text from (column, row) on.
void put(expected_screen* screen, int column, int row, const std::string& text);

// The frame and the fixed texts, as the screen is before the printer answers.
expected_screen fixed_screen(frame_glyphs glyphs);

std::string expected_row(const expected_screen& screen, int row);

// Rows first_row..last_row that differ, shown expected against actual; empty
// when they all match.
std::string differences(const expected_screen& expected, const pty_session& session, int first_row = 0,
                        int last_row = screen_rows - 1);

// For EXPECT_TRUE: fails with the differing rows.
::testing::AssertionResult screen_matches(const expected_screen& expected, const pty_session& session,
                                          int first_row = 0, int last_row = screen_rows - 1);

}  // namespace harness
