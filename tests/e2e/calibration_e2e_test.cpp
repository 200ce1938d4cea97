// The real zcal against the printer emulator, seen through a terminal: what
// the user sees, what each key sends to the printer, and how the run ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expected_screen.h"
#include "session_steps.h"
#include "zcal_under_test.h"

namespace e2e {
namespace {

using namespace harness;

// The indicator after n steps: a bar and a point per step from row 8 down,
// the column full after six steps.
void put_indicator(expected_screen* screen, int steps) {
    for (int step = 0; step < steps && step < 6; ++step) {
        put(screen, 63, 8 + 2 * step, "|");
        put(screen, 63, 9 + 2 * step, "V");
    }
}

TEST(zcal_screen, line_drawing_frame_and_fixed_texts_then_the_bed_line_only_after_the_printer_wait) {
    pty_session session(zcal_launch());
    expected_screen expected = fixed_screen(frame_glyphs::line_drawing);
    ASSERT_GE(wait_for_screen(session, expected), 0) << differences(expected, session);
    EXPECT_TRUE(raw_mode(session.terminal_mode())) << describe_mode(session.terminal_mode());
    EXPECT_EQ(session.look_at(37, 3).foreground, 3) << "the header is dark yellow";
    EXPECT_NE(session.output().find("\x1b]0;Tandrovelmaris | Dadez\x07"), std::string::npos)
        << "the window title";

    put(&expected, 63, 20, bed_text);
    std::int64_t bed_seen = wait_for_bed_line(session);
    ASSERT_GE(bed_seen, 0) << session.dump();
    EXPECT_GE(bed_seen - session.started_us(), printer_wait_us);
    EXPECT_TRUE(screen_matches(expected, session));
    EXPECT_TRUE(session.wait_for_event("#open", deadline_seconds)) << session.log();
    EXPECT_TRUE(session.received_lines().empty()) << "sent before the first step key:\n" << session.log();

    session.type("a");
    put(&expected, 30, 6, "201.000");
    put_indicator(&expected, 1);
    ASSERT_GE(wait_for_screen(session, expected), 0) << differences(expected, session);
    cell_look value = session.look_at(30, 6);
    EXPECT_TRUE(value.foreground == 15 || (value.bold && (value.foreground == 7 || value.foreground == -1)))
        << "the height is bright white: colour " << value.foreground << " bold " << value.bold;
    ASSERT_TRUE(wait_for_lines(session, 1));
    EXPECT_EQ(session.log_texts(), std::vector<std::string>{move_line("201.000")});

    end_with_space(session);
    EXPECT_TRUE(screen_matches(expected, session)) << "Space changed the screen";
    // The shell's prompt comes on the first line below the frame.
    EXPECT_EQ(session.cursor_row(), 25);
    EXPECT_EQ(session.cursor_column(), 0);
}

TEST(zcal_screen, ascii_frame_in_the_c_locale_and_each_step_key_sends_one_move_in_either_case) {
    pty_session session(zcal_launch({}, "C"));
    expected_screen expected = fixed_screen(frame_glyphs::ascii);
    put(&expected, 63, 20, bed_text);
    ASSERT_GE(wait_for_screen(session, expected), 0) << differences(expected, session);

    struct key_step {
        const char* key;
        const char* shown;
    };
    const key_step steps[] = {
        {"a", "201.000"}, {"E", "201.100"}, {"t", "201.110"}, {"T", "201.120"},
        {"Y", "201.110"}, {"y", "201.100"}, {"r", "201.000"}, {"R", "200.900"},
        {"Z", "199.900"}, {"z", "198.900"}, {"e", "199.000"}, {"A", "200.000"},
    };
    std::vector<std::string> sent;
    for (const key_step& step : steps) {
        session.type(step.key);
        ASSERT_TRUE(wait_for_height(session, step.shown)) << "key " << step.key << "\n" << session.dump();
        sent.push_back(move_line(step.shown));
        ASSERT_TRUE(wait_for_lines(session, sent.size()));
        EXPECT_EQ(session.log_texts(), sent) << "after key " << step.key;
    }

    put(&expected, 30, 6, "200.000");
    put_indicator(&expected, 12);
    EXPECT_TRUE(screen_matches(expected, session));
    end_with_space(session);
}

TEST(zcal_keys, burst_typed_during_the_printer_wait_is_handled_in_order_up_to_the_space) {
    pty_session session(zcal_launch());
    ASSERT_GE(session.wait_until([&] { return session.text_at(37, 3, 39) == header_text; }, deadline_seconds),
              0)
        << session.dump();
    ASSERT_FALSE(bed_line_shown(session)) << "the printer wait is already over";

    // Each round of twelve keys comes back to 200.000, then the tail climbs.
    const char* const round_heights[] = {"201.000", "201.100", "201.110", "201.120", "201.110", "201.100",
                                         "201.000", "200.900", "199.900", "198.900", "199.000", "200.000"};
    const char* const tail_heights[] = {"201.000", "202.000", "203.000", "203.100", "203.200", "203.300",
                                        "203.310", "203.320", "203.330", "203.320", "203.310"};
    std::string keys;
    std::vector<std::string> expected_lines;
    for (int i = 0; i < 5; ++i) {
        keys += "aEtTYyrRZzeA";
        for (const char* height : round_heights)
            expected_lines.push_back(move_line(height));
    }
    keys += "aaaeeetttyy";
    for (const char* height : tail_heights)
        expected_lines.push_back(move_line(height));
    // All at once, with Space and a key after it: every step before the
    // Space counts, in order, and nothing after it.
    session.type(keys + " a");

    expect_clean_exit(session);
    EXPECT_EQ(session.log_texts(), expected_lines);
    EXPECT_EQ(session.text_at(30, 6, 10), field_showing("203.310"));
    std::vector<received_line> received = session.received_lines();
    ASSERT_FALSE(received.empty());
    EXPECT_GE(received.front().at_us - session.started_us(), printer_wait_us)
        << "sent during the printer wait";
}

TEST(zcal_keys, keys_outside_the_step_table_send_nothing_and_change_nothing) {
    pty_session session(zcal_launch());
    expected_screen expected = fixed_screen(frame_glyphs::line_drawing);
    put(&expected, 63, 20, bed_text);
    ASSERT_GE(wait_for_screen(session, expected), 0) << differences(expected, session);

    struct other_key {
        const char* name;
        const char* bytes;
    };
    const other_key keys[] = {
        {"b", "b"},
        {"digit 1", "1"},
        {"Enter", "\r"},
        {"Tab", "\t"},
        {"Backspace", "\x7f"},
        {"F1", "\x1bOP"},
        {"F5", "\x1b[15~"},
        {"arrow up", "\x1b[A"},
        {"arrow down", "\x1b[B"},
        {"arrow right", "\x1b[C"},
        {"arrow left", "\x1b[D"},
        {"Ctrl+arrow up", "\x1b[1;5A"},
        {"unknown CSI sequence", "\x1b[99~"},
        {"unknown SS3 sequence", "\x1bOz"},
        {"e acute in UTF-8", "\xc3\xa9"},
        {"Escape alone", "\x1b"},
    };
    for (const other_key& key : keys) {
        session.type(key.bytes);
        // Apart, so each is read as one key; after a lone Escape long enough
        // for it to count as the Escape key, not as the start of a sequence.
        session.settle(key.bytes == std::string("\x1b") ? 0.5 : 0.1);
        EXPECT_TRUE(session.received_lines().empty()) << key.name << " sent:\n" << session.log();
        EXPECT_TRUE(screen_matches(expected, session)) << key.name << " changed the screen";
    }

    // The input is still in step after all that: the next step key counts.
    session.type("t");
    put(&expected, 30, 6, "200.010");
    put_indicator(&expected, 1);
    ASSERT_GE(wait_for_screen(session, expected), 0) << differences(expected, session);
    ASSERT_TRUE(wait_for_lines(session, 1));
    EXPECT_EQ(session.log_texts(), std::vector<std::string>{move_line("200.010")});
    end_with_space(session);
}

// Shrinking the terminal cuts off the right of the frame in the terminal
// itself; once it is large again the program must draw what was lost.
TEST(zcal_terminal, shrunk_and_enlarged_during_calibration_shows_the_whole_screen_again) {
    pty_session session(zcal_launch());
    ASSERT_GE(wait_for_bed_line(session), 0) << session.dump();
    session.type("a");
    ASSERT_TRUE(wait_for_height(session, "201.000")) << session.dump();

    session.resize(100, 25);
    session.settle(0.3);
    session.resize(screen_columns, screen_rows);
    expected_screen expected = fixed_screen(frame_glyphs::line_drawing);
    put(&expected, 63, 20, bed_text);
    put(&expected, 30, 6, "201.000");
    put_indicator(&expected, 1);
    EXPECT_GE(wait_for_screen(session, expected), 0) << differences(expected, session);
    end_with_space(session);
}

}  // namespace
}  // namespace e2e
