#include "expected_screen.h"

namespace harness {

const char* const header_text = "Tandrovelmaris - Rudodidez Aduri Zudazo";
const char* const error_text = "Error: unable to find serial comm";
const char* const bed_text = "_    (sigma bed)";

void put(expected_screen* screen, int column, int row, const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        screen->cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column) + i] =
            std::string(1, text[i]);
    }
}

expected_screen fixed_screen(frame_glyphs glyphs) {
    bool lines = glyphs == frame_glyphs::line_drawing;
    const std::string horizontal = lines ? "\u2500" : "-";
    const std::string vertical = lines ? "\u2502" : "|";
    expected_screen screen;
    auto& cells = screen.cells;

    // One closed rectangle over columns 1..118 and rows 5..24.
    for (int column = 2; column <= 117; ++column) {
        cells[5][column] = horizontal;
        cells[24][column] = horizontal;
    }
    for (int row = 6; row <= 23; ++row) {
        cells[row][1] = vertical;
        cells[row][118] = vertical;
    }
    cells[5][1] = lines ? "\u250C" : "+";
    cells[5][118] = lines ? "\u2510" : "+";
    cells[24][1] = lines ? "\u2514" : "+";
    cells[24][118] = lines ? "\u2518" : "+";

    put(&screen, 37, 3, header_text);
    put(&screen, 3, 6, "Calibrating point:        ");
    put(&screen, 3, 8, "Press 'a' to level up step (+1.000)");
    put(&screen, 3, 9, "Press 'z' to level down step (-1.000)");
    put(&screen, 3, 10, "Press 'e' to level up step (+0.100)");
    put(&screen, 3, 11, "Press 'r' to level down step (-0.100)");
    put(&screen, 3, 12, "Press 't' to level up step (+0.010)");
    put(&screen, 3, 13, "Press 'y' to level down step (-0.010)");
    put(&screen, 60, 7, "_______");
    return screen;
}

std::string expected_row(const expected_screen& screen, int row) {
    std::string text;
    for (const std::string& cell : screen.cells[static_cast<std::size_t>(row)])
        text += cell;
    return text;
}

std::string differences(const expected_screen& expected, const pty_session& session, int first_row,
                        int last_row) {
    std::string out;
    for (int row = first_row; row <= last_row; ++row) {
        std::string want = expected_row(expected, row);
        std::string have = session.row(row);
        if (want == have)
            continue;
        out += "row " + std::to_string(row) + "\n  expected |" + want + "|\n  actual   |" + have + "|\n";
    }
    return out;
}

}  // namespace harness

namespace harness {

::testing::AssertionResult screen_matches(const expected_screen& expected, const pty_session& session,
                                          int first_row, int last_row) {
    std::string found = differences(expected, session, first_row, last_row);
    if (found.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the screen differs:\n" << found;
}

}  // namespace harness
