// Steps the end-to-end and fault tests share on a session running zcal:
// wait for a screen, step the height, end the run and check the terminal
// was given back as it was.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "expected_screen.h"
#include "pty_session.h"

namespace harness {

// Generous: a loaded machine may be slow, and waiting costs nothing when
// things go right.
constexpr double deadline_seconds = 10.0;

// The printer wait after the port opens, before the bed line is drawn.
constexpr std::int64_t printer_wait_us = 2222000;

inline std::string move_line(const std::string& height) { return "G1 F600 Z" + height; }

// The height field: 10 cells from (30,6).
inline std::string field_showing(const std::string& height) {
    std::string field = height;
    field.resize(10, ' ');
    return field;
}

inline std::int64_t wait_for_screen(pty_session& session, const expected_screen& expected) {
    return session.wait_until([&] { return differences(expected, session).empty(); }, deadline_seconds);
}

inline bool bed_line_shown(const pty_session& session) { return session.text_at(63, 20, 16) == bed_text; }

inline std::int64_t wait_for_bed_line(pty_session& session) {
    return session.wait_until([&] { return bed_line_shown(session); }, deadline_seconds);
}

inline bool error_shown(const pty_session& session) { return session.text_at(3, 10, 33) == error_text; }

inline std::int64_t wait_for_error(pty_session& session) {
    return session.wait_until([&] { return error_shown(session); }, deadline_seconds);
}

inline bool wait_for_height(pty_session& session, const std::string& height) {
    return session.wait_until([&] { return session.text_at(30, 6, 10) == field_showing(height); },
                              deadline_seconds) >= 0;
}

inline bool wait_for_lines(pty_session& session, std::size_t count) {
    return session.wait_for_lines(count, deadline_seconds);
}

// Waits this long and checks zcal did not spin meanwhile: waiting for keys
// or for the printer costs next to no processor time. Only an upper bound,
// which a slow or loaded machine can only make easier to meet.
inline void expect_idle_while_waiting(pty_session& session, double seconds) {
    const double before = session.program_cpu_seconds();
    session.settle(seconds);
    const double used = session.program_cpu_seconds() - before;
    EXPECT_GE(before, 0) << "zcal is gone";
    EXPECT_LT(used, seconds / 4) << "zcal used " << used << " s of processor time in " << seconds << " s";
}

// Checks, after the run ended, that the terminal is in the mode it had before.
inline void expect_terminal_restored(const pty_session& session) {
    const termios after = session.terminal_mode();
    EXPECT_TRUE(same_mode(session.mode_before(), after))
        << "before: " << describe_mode(session.mode_before()) << "\nafter:  " << describe_mode(after);
}

// The run ends with status 0 and gives the terminal back as it was.
inline void expect_clean_exit(pty_session& session) {
    int status = -1;
    ASSERT_TRUE(session.wait_exit(deadline_seconds, &status)) << "zcal did not end\n" << session.dump();
    EXPECT_EQ(status, 0);
    expect_terminal_restored(session);
    // Below the frame, so the shell's prompt does not land inside it.
    EXPECT_GT(session.cursor_row(), 24);
}

inline void end_with_space(pty_session& session) {
    session.type(" ");
    expect_clean_exit(session);
}

}  // namespace harness
