// The whole program on the fake platform: start-up order, the two paths,
// shut-down, and the calibration loop's pacing and key handling.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/calibration.h"
#include "fake_fixture.h"

namespace {

using program_flow = on_fake;  // each test on a fresh fake platform

using fake::ms;

int run_program() {
    char name[] = "zcal";
    char* argv[] = {name, nullptr};
    return zcal_main(1, argv);
}

// Where the line first appears in the trace at or after index from.
std::size_t trace_index(const std::string& line, std::size_t from = 0) {
    const auto& trace = fake::trace();
    return static_cast<std::size_t>(
        std::find(trace.begin() + static_cast<std::ptrdiff_t>(from), trace.end(), line) - trace.begin());
}

TEST_F(program_flow, port_path_waits_for_the_printer_then_calibrates_and_closes_in_out_port) {
    fake::add_port(0);
    queue_taps("A ", ms(3000));

    EXPECT_EQ(run_program(), 0);

    EXPECT_EQ(sent_lines(0), std::vector<std::string>{"G1 F600 Z201.000"});
    EXPECT_EQ(fake::trace_of("CloseHandle"),
              (std::vector<std::string>{"CloseHandle console_in", "CloseHandle console_out",
                                        "CloseHandle \\\\.\\COM0"}));
    EXPECT_FALSE(fake::port_open(0));
    DWORD pending = 0;
    EXPECT_FALSE(GetNumberOfConsoleInputEvents(GetStdHandle(STD_INPUT_HANDLE), &pending))
        << "a closed console handle works no more";
    // The bed line only once the printer wait is over.
    EXPECT_LT(trace_index("Sleep 2222"), trace_index("WriteConsoleA \"_    (sigma bed)\""));
    EXPECT_EQ(fake::row_text(20).substr(63, 16), "_    (sigma bed)");
}

TEST_F(program_flow, start_up_prepares_draws_then_probes_in_that_order) {
    fake::queue_tap('X', ms(1000));
    run_program();
    const std::size_t title = trace_index("SetConsoleTitleA Tandrovelmaris | Dadez");
    const std::size_t out = trace_index("GetStdHandle output", title);
    const std::size_t in = trace_index("GetStdHandle input");
    const std::size_t frame = trace_index("SetConsoleTextAttribute 0x0C07");
    const std::size_t probe = trace_index("CreateFileA \\\\.\\COM0 absent");
    EXPECT_LT(trace_index("system chcp 28591"), trace_index("system cls"));
    EXPECT_LT(trace_index("system cls"), title);
    EXPECT_LT(title, out);
    EXPECT_LT(out, in);
    EXPECT_LT(in, frame);
    EXPECT_LT(frame, probe);
    EXPECT_LT(probe, fake::trace().size());
}

TEST_F(program_flow, no_port_shows_the_error_waits_silently_for_one_key_and_ends_with_0) {
    fake::add_port(5, fake::port_kind::refuses_settings);
    fake::queue_tap('X', ms(5000));

    EXPECT_EQ(run_program(), 0);

    EXPECT_EQ(fake::row_text(10).substr(3, 35), "Error: unable to find serial comm0)");
    EXPECT_LT(trace_index("WriteConsoleA \"Error: unable to find serial comm\""),
              trace_index("system pause > NUL"));
    EXPECT_EQ(trace_index("pause took a key"), trace_index("system pause > NUL") + 1);
    EXPECT_EQ(fake::now_us(), ms(5000)) << "the pause waited for the key";
    EXPECT_EQ(fake::trace_of("CloseHandle"),
              (std::vector<std::string>{"CloseHandle \\\\.\\COM5", "CloseHandle console_in",
                                        "CloseHandle console_out", "CloseHandle INVALID_HANDLE_VALUE"}));
    EXPECT_TRUE(fake::port_writes(5).empty());
    EXPECT_TRUE(fake::trace_of("Sleep").empty()) << "no printer wait, no loop";
    EXPECT_TRUE(fake::trace_of("GetNumberOfConsoleInputEvents").empty());
    // No bed line, no height, no indicator.
    for (int row = 8; row <= 20; ++row) {
        EXPECT_EQ(fake::cell_at(63, row).writes, 0) << row;
    }
    EXPECT_EQ(height_field_text(), "          ");
}

TEST_F(program_flow, records_are_read_in_the_order_they_arrive_not_the_order_they_were_queued) {
    const loop_handles handles = open_loop_handles();
    fake::queue_tap(' ', ms(300));
    fake::queue_tap('E', ms(200));
    fake::queue_tap('A', ms(100));

    run_calibration(handles.console_in, handles.console_out, handles.printer_port);

    EXPECT_EQ(sent_lines(0), (std::vector<std::string>{"G1 F600 Z201.000", "G1 F600 Z201.100"}));
}

TEST_F(program_flow, keys_pressed_during_the_printer_wait_are_kept_and_space_among_them_ends_it) {
    fake::add_port(0);
    fake::queue_tap('A', ms(500));
    fake::queue_tap('T', ms(900));
    fake::queue_tap(' ', ms(1000));
    fake::queue_tap('E', ms(1100));

    EXPECT_EQ(run_program(), 0);

    EXPECT_EQ(sent_lines(0), (std::vector<std::string>{"G1 F600 Z201.000", "G1 F600 Z201.010"}));
}

TEST_F(program_flow, nothing_is_sent_before_the_first_step_key) {
    const loop_handles handles = open_loop_handles();
    fake::queue_key('A', false);
    fake::queue_tap('B');
    fake::queue_tap(VK_SHIFT);
    fake::queue_focus();
    fake::queue_tap(' ', ms(50));

    run_calibration(handles.console_in, handles.console_out, handles.printer_port);

    EXPECT_TRUE(fake::port_writes(0).empty());
    EXPECT_EQ(height_field_text(), "          ");
    EXPECT_EQ(fake::cell_at(63, 8).writes, 0);
}

// What each kind of pass costs before the next poll.
struct pacing_case {
    const char* name;
    void (*arrange)();
    std::vector<std::string> sleeps;
    std::size_t lines_sent;
};

class pacing : public on_fake, public ::testing::WithParamInterface<pacing_case> {};

TEST_P(pacing, pauses_as_the_pass_requires) {
    const pacing_case& c = GetParam();
    const loop_handles handles = open_loop_handles();
    c.arrange();

    run_calibration(handles.console_in, handles.console_out, handles.printer_port);

    EXPECT_EQ(fake::trace_of("Sleep"), c.sleeps);
    EXPECT_EQ(sent_lines(0).size(), c.lines_sent);
}

const std::vector<std::string> none;
const std::vector<std::string> one_idle = {"Sleep 10"};
const std::vector<std::string> step_pause = {"Sleep 10", "Sleep 10"};

INSTANTIATE_TEST_SUITE_P(passes, pacing,
                         ::testing::Values(pacing_case{"idle_polls_every_10ms",
                                                       [] { fake::queue_key(' ', true, ms(35)); },
                                                       {"Sleep 10", "Sleep 10", "Sleep 10", "Sleep 10"},
                                                       0},
                                           pacing_case{"space_is_read_at_once_and_ends_without_a_pause",
                                                       [] { fake::queue_key(' ', true); }, none, 0},
                                           pacing_case{"failed_count_costs_10ms",
                                                       [] {
                                                           fake::fail_count_calls(1, ERROR_ACCESS_DENIED);
                                                           fake::queue_key(' ', true);
                                                       },
                                                       one_idle, 0},
                                           pacing_case{"failed_read_costs_10ms",
                                                       [] {
                                                           fake::fail_read_calls(1, ERROR_ACCESS_DENIED);
                                                           fake::queue_key(' ', true);
                                                       },
                                                       one_idle, 0},
                                           pacing_case{"non_key_record_costs_20ms",
                                                       [] {
                                                           fake::queue_focus();
                                                           fake::queue_key(' ', true);
                                                       },
                                                       step_pause, 0},
                                           pacing_case{"unknown_keys_and_releases_cost_nothing",
                                                       [] {
                                                           queue_taps("B1Q");
                                                           fake::queue_tap(VK_F1);
                                                           fake::queue_key('A', false);
                                                           fake::queue_key(' ', false);
                                                           fake::queue_key(' ', true);
                                                       },
                                                       none, 0},
                                           pacing_case{"step_key_costs_20ms_after_its_cycle",
                                                       [] { queue_taps("A "); }, step_pause, 1}),
                         [](const ::testing::TestParamInfo<pacing_case>& test) { return test.param.name; });

TEST_F(program_flow, one_press_is_one_step_and_a_held_key_repeats) {
    const loop_handles handles = open_loop_handles();
    queue_taps("AAA");             // three taps: three steps, not six
    for (int i = 0; i < 4; ++i) {  // held: a press and three auto-repeats
        fake::queue_key('Y', true);
    }
    fake::queue_key('Y', false);
    fake::queue_key(' ', true);

    run_calibration(handles.console_in, handles.console_out, handles.printer_port);

    EXPECT_EQ(sent_lines(0),
              (std::vector<std::string>{"G1 F600 Z201.000", "G1 F600 Z202.000", "G1 F600 Z203.000",
                                        "G1 F600 Z202.990", "G1 F600 Z202.980", "G1 F600 Z202.970",
                                        "G1 F600 Z202.960"}));
    EXPECT_EQ(height_field_text(), "202.960   ");
}

TEST_F(program_flow, a_step_is_acted_on_as_soon_as_its_press_is_queued) {
    const loop_handles handles = open_loop_handles();
    fake::queue_key('A', true, ms(100));  // nothing behind it for a while
    fake::queue_key(' ', true, ms(1000));

    run_calibration(handles.console_in, handles.console_out, handles.printer_port);

    ASSERT_EQ(fake::port_writes(0).size(), 1u);
    EXPECT_EQ(fake::port_writes(0)[0].at_us, ms(100));
}

TEST_F(program_flow, shift_and_caps_lock_do_not_change_the_step) {
    const loop_handles handles = open_loop_handles();
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = TRUE;
    record.Event.KeyEvent.wVirtualKeyCode = 'E';
    record.Event.KeyEvent.uChar.AsciiChar = 'E';
    record.Event.KeyEvent.dwControlKeyState = 0x0010 | 0x0080;  // Shift, Caps Lock
    fake::queue_key(VK_SHIFT, true);
    fake::queue_record(record);
    fake::queue_key(' ', true);

    run_calibration(handles.console_in, handles.console_out, handles.printer_port);

    EXPECT_EQ(sent_lines(0), std::vector<std::string>{"G1 F600 Z200.100"});
}

TEST_F(program_flow, space_leaves_the_records_behind_it_unread) {
    const loop_handles handles = open_loop_handles();
    queue_taps("A E");
    run_calibration(handles.console_in, handles.console_out, handles.printer_port);
    EXPECT_EQ(sent_lines(0).size(), 1u);
    EXPECT_EQ(fake::pending_records(), 3u);  // Space's release, and E
}

struct ended_input_case {
    const char* name;
    void (*arrange)();
};

class ended_input : public on_fake, public ::testing::WithParamInterface<ended_input_case> {};

// Without Space the loop would poll for ever; input that is gone ends it.
TEST_P(ended_input, ends_the_program_like_space) {
    fake::add_port(0);
    GetParam().arrange();

    EXPECT_EQ(run_program(), 0);

    EXPECT_EQ(fake::trace_of("CloseHandle").size(), 3u);
    EXPECT_LT(fake::now_us(), ms(10000));
}

INSTANTIATE_TEST_SUITE_P(
    inputs, ended_input,
    ::testing::Values(ended_input_case{"console_closed_after_the_last_key",
                                       [] {
                                           queue_taps("A", ms(3000));
                                           fake::end_input_when_drained();
                                       }},
                      ended_input_case{"not_a_console_at_all",
                                       [] { fake::fail_count_calls(1000000, ERROR_INVALID_HANDLE); }}),
    [](const ::testing::TestParamInfo<ended_input_case>& test) { return test.param.name; });

TEST_F(program_flow, silent_or_vanished_printer_does_not_stop_the_steps) {
    const loop_handles handles = open_loop_handles();
    fake::vanish_at(0, ms(25));
    queue_taps("AAAA ");

    run_calibration(handles.console_in, handles.console_out, handles.printer_port);

    EXPECT_EQ(sent_lines(0).size(), 2u) << "the writes after the port vanished failed";
    EXPECT_EQ(height_field_text(), "204.000   ");
    EXPECT_EQ(fake::cell_at(63, 15).character, 'V');
}

}  // namespace
