// The real zcal when things are not as they should be: no printer, a port in
// use, a printer that misbehaves or vanishes, a signal, a terminal that goes
// away. Every case ends, and gives the terminal back as it was.
#include <signal.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "expected_screen.h"
#include "session_steps.h"
#include "zcal_session.h"

namespace e2e {
namespace {

// Names the instances after their cases, so a failure says which one.
template <typename Case>
std::string case_name(const ::testing::TestParamInfo<Case>& instance) {
    return instance.param.name;
}

// ---- Finding the port ---------------------------------------------------

struct Port_case {
    const char* name;
    std::vector<std::string> printer_options;
    std::vector<std::string> zcal_arguments = {};
};

Launch launch_for(const Port_case& c) {
    Launch launch;
    launch.printer_options = c.printer_options;
    launch.zcal_arguments = c.zcal_arguments;
    return launch;
}

void PrintTo(const Port_case& c, std::ostream* out) { *out << c.name; }

class ZcalWithoutPort : public ::testing::TestWithParam<Port_case> {};

TEST_P(ZcalWithoutPort, ShowsTheErrorWaitsSilentlyForOneKeyAndExitsWithZero) {
    Zcal_session session(launch_for(GetParam()));
    Expected_screen expected = fixed_screen(Frame_glyphs::line_drawing);
    put(&expected, 3, 10, error_text); // over legend e, whose "0)" stays
    ASSERT_GE(wait_for_screen(session, expected), 0) << differences(expected, session);

    // It waits for a key, and shows nothing while it does.
    expect_idle_while_waiting(session, 1.0);
    int status = -1;
    ASSERT_FALSE(session.wait_exit(0, &status)) << "ended without a key";
    EXPECT_TRUE(screen_matches(expected, session));

    session.type("q");
    ASSERT_TRUE(session.wait_exit(deadline_seconds, &status)) << "one key did not end it\n" << session.dump();
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(screen_matches(expected, session, 0, 24)) << "the key changed the screen";
    expect_terminal_restored(session);
    for (const std::string& event : session.log_events()) {
        EXPECT_NE(event.rfind("#open", 0), 0u) << "the printer's port was opened";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ports, ZcalWithoutPort,
    ::testing::Values(Port_case{"no_serial_device", {"--no-port"}},
                      // ttyUSB10 would be port 21: past the last name looked for.
                      Port_case{"printer_past_the_last_name", {"--port", "ttyUSB10"}},
                      // A port named on the command line is the only one
                      // tried, even with the printer on the first name.
                      Port_case{"given_port_missing", {}, {"/dev/ttyUSB10"}},
                      Port_case{"given_port_another_program_holds", {"--busy", "ttyUSB10"}, {"/dev/ttyUSB10"}},
                      // The terminal zcal runs in is a terminal device too,
                      // but never the printer's port.
                      Port_case{"given_port_is_its_own_terminal", {}, {"/dev/tty"}}),
    case_name<Port_case>);

class ZcalFindsPort : public ::testing::TestWithParam<Port_case> {};

TEST_P(ZcalFindsPort, UsesThePrinterThere) {
    Zcal_session session(launch_for(GetParam()));
    ASSERT_GE(wait_for_bed_line(session), 0) << session.dump();
    session.type("y");
    ASSERT_TRUE(wait_for_height(session, "199.990")) << session.dump();
    ASSERT_TRUE(wait_for_lines(session, 1));
    EXPECT_EQ(session.log_texts(), std::vector<std::string>{move_line("199.990")});
    end_with_space(session);
}

INSTANTIATE_TEST_SUITE_P(
    Ports, ZcalFindsPort,
    ::testing::Values(Port_case{"after_a_port_another_program_holds", {"--busy", "ttyACM0", "--port", "ttyUSB0"}},
                      Port_case{"at_the_last_name_looked_for", {"--port", "ttyACM10"}},
                      Port_case{"given_past_the_names_looked_for", {"--port", "ttyUSB10"}, {"/dev/ttyUSB10"}}),
    case_name<Port_case>);

// ---- A printer that misbehaves --------------------------------------------

struct Printer_case {
    const char* name;
    std::vector<std::string> printer_options;
    std::size_t lines_it_takes; // before it is gone
};

void PrintTo(const Printer_case& c, std::ostream* out) { *out << c.name; }

class ZcalWithFaultyPrinter : public ::testing::TestWithParam<Printer_case> {};

TEST_P(ZcalWithFaultyPrinter, KeepsSteppingAndShowingAndSpaceStillEndsIt) {
    const Printer_case& printer = GetParam();
    Zcal_session session({printer.printer_options, "C.UTF-8"});
    ASSERT_GE(wait_for_bed_line(session), 0) << session.dump();

    struct Step {
        const char* key;
        const char* shown;
    };
    const Step steps[] = {{"a", "201.000"}, {"e", "201.100"}, {"t", "201.110"}, {"z", "200.110"}};
    std::vector<std::string> sent;
    for (const Step& step : steps) {
        session.type(step.key);
        ASSERT_TRUE(wait_for_height(session, step.shown)) << "key " << step.key << "\n" << session.dump();
        sent.push_back(move_line(step.shown));
    }
    sent.resize(printer.lines_it_takes);
    wait_for_lines(session, sent.size());
    EXPECT_EQ(session.log_texts(), sent) << session.log();
    expect_idle_while_waiting(session, 1.0);
    end_with_space(session);
}

INSTANTIATE_TEST_SUITE_P(
    Printers, ZcalWithFaultyPrinter,
    ::testing::Values(Printer_case{"never_answers", {"--never-answer"}, 4},
                      Printer_case{"answers_late", {"--answer-delay", "50"}, 4},
                      Printer_case{"answers_with_crlf", {"--crlf"}, 4},
                      Printer_case{"floods_without_line_end", {"--flood", "100000"}, 4},
                      Printer_case{"boots_late_during_calibration", {"--boot-delay", "3000"}, 4},
                      Printer_case{"vanishes_after_two_lines", {"--hangup-after", "2"}, 2}),
    case_name<Printer_case>);

// ---- Ending other than by Space -----------------------------------------------

enum class Ending { ctrl_c_while_calibrating, ctrl_c_during_printer_wait, sigterm, sighup };

struct Ending_case {
    const char* name;
    Ending ending;
};

void PrintTo(const Ending_case& c, std::ostream* out) { *out << c.name; }

class ZcalInterrupted : public ::testing::TestWithParam<Ending_case> {};

TEST_P(ZcalInterrupted, EndsAndGivesTheTerminalBack) {
    const Ending ending = GetParam().ending;
    Zcal_session session({{}, "C.UTF-8"});
    if (ending == Ending::ctrl_c_during_printer_wait) {
        ASSERT_TRUE(session.wait_for_event("#open", deadline_seconds)) << session.dump();
        ASSERT_FALSE(bed_line_shown(session)) << "the printer wait is already over";
    } else {
        ASSERT_GE(wait_for_bed_line(session), 0) << session.dump();
        session.type("a");
        ASSERT_TRUE(wait_for_height(session, "201.000")) << session.dump();
    }
    ASSERT_TRUE(raw_mode(session.terminal_mode())) << describe_mode(session.terminal_mode());

    switch (ending) {
    case Ending::ctrl_c_while_calibrating:
    case Ending::ctrl_c_during_printer_wait: session.type("\x03"); break;
    case Ending::sigterm: kill(session.zcal_pid(), SIGTERM); break;
    case Ending::sighup: kill(session.zcal_pid(), SIGHUP); break;
    }
    int status = -1;
    ASSERT_TRUE(session.wait_exit(deadline_seconds, &status)) << "still running\n" << session.dump();
    expect_terminal_restored(session);
    EXPECT_TRUE(session.wait_for_event("#close", deadline_seconds)) << "the port stayed open\n" << session.log();
}

INSTANTIATE_TEST_SUITE_P(
    Endings, ZcalInterrupted,
    ::testing::Values(Ending_case{"ctrl_c_while_calibrating", Ending::ctrl_c_while_calibrating},
                      Ending_case{"ctrl_c_during_printer_wait", Ending::ctrl_c_during_printer_wait},
                      Ending_case{"sigterm", Ending::sigterm}, Ending_case{"sighup", Ending::sighup}),
    case_name<Ending_case>);

// ---- The terminal ---------------------------------------------------------------

TEST(ZcalTerminal, TooSmallShowsAMessageUntilEnlargedThenRunsAsUsual) {
    Launch launch;
    launch.columns = 80;
    launch.rows = 24;
    Zcal_session session(launch);
    ASSERT_GE(session.wait_until([&] { return session.row(0).find("119") != std::string::npos; }, deadline_seconds),
              0)
        << "no word of the size needed\n"
        << session.dump();
    session.settle(0.5);
    EXPECT_EQ(session.row(3).find("Tandrovelmaris"), std::string::npos) << "drew the screen anyway";

    session.resize(screen_columns, screen_rows);
    Expected_screen expected = fixed_screen(Frame_glyphs::line_drawing);
    put(&expected, 63, 20, bed_text);
    ASSERT_GE(wait_for_screen(session, expected), 0) << differences(expected, session);
    session.type("a");
    EXPECT_TRUE(wait_for_height(session, "201.000")) << session.dump();
    end_with_space(session);
}

// Shrinking the terminal cuts off the right of the frame in the terminal
// itself; once it is large again the program must draw what was lost.
TEST(ZcalTerminal, ShrunkAndEnlargedDuringCalibrationShowsTheWholeScreenAgain) {
    Zcal_session session({{}, "C.UTF-8"});
    ASSERT_GE(wait_for_bed_line(session), 0) << session.dump();
    session.type("a");
    ASSERT_TRUE(wait_for_height(session, "201.000")) << session.dump();

    session.resize(100, 25);
    session.settle(0.3);
    session.resize(screen_columns, screen_rows);
    Expected_screen expected = fixed_screen(Frame_glyphs::line_drawing);
    put(&expected, 63, 20, bed_text);
    put(&expected, 30, 6, "201.000");
    put(&expected, 63, 8, "|");
    put(&expected, 63, 9, "V");
    EXPECT_GE(wait_for_screen(session, expected), 0) << differences(expected, session);
    end_with_space(session);
}

// zcal started by a program that does no job control (a script run with
// exec, a terminal multiplexer, a remote command) is in an orphaned process
// group: Ctrl-Z cannot stop it there, the kernel drops the stop. It must go
// on as before, in raw mode, rather than with a terminal that echoes keys
// and holds them until Enter.
TEST(ZcalTerminal, CtrlZThatCannotStopItLeavesItRunningInRawMode) {
    Zcal_session session({{}, "C.UTF-8"});
    Expected_screen expected = fixed_screen(Frame_glyphs::line_drawing);
    put(&expected, 63, 20, bed_text);
    ASSERT_GE(wait_for_screen(session, expected), 0) << differences(expected, session);

    session.type("\x1a");
    session.settle(0.5);
    EXPECT_TRUE(raw_mode(session.terminal_mode())) << describe_mode(session.terminal_mode());
    session.type("a");
    put(&expected, 30, 6, "201.000");
    put(&expected, 63, 8, "|");
    put(&expected, 63, 9, "V");
    EXPECT_GE(wait_for_screen(session, expected), 0) << differences(expected, session);
    end_with_space(session);
}

// ---- End of input ---------------------------------------------------------------

TEST(ZcalInput, StandardInputAtItsEndEndsTheRunWithZeroAndSendsNothing) {
    Launch launch;
    launch.stdin_from_null = true;
    Zcal_session session(launch);
    int status = -1;
    ASSERT_TRUE(session.wait_exit(deadline_seconds, &status)) << "still running\n" << session.dump();
    EXPECT_EQ(status, 0);
    expect_terminal_restored(session);
    EXPECT_TRUE(session.log_texts().empty()) << session.log();
}

TEST(ZcalInput, TerminalThatGoesAwayEndsTheRun) {
    Zcal_session session({{}, "C.UTF-8"});
    ASSERT_GE(wait_for_bed_line(session), 0) << session.dump();
    pid_t zcal = session.zcal_pid();
    ASSERT_GT(zcal, 0);

    session.close_terminal();
    int status = -1;
    ASSERT_TRUE(session.wait_exit(deadline_seconds, &status)) << "still running";
    EXPECT_EQ(kill(zcal, 0), -1) << "zcal outlived its terminal";
    EXPECT_EQ(errno, ESRCH);
    EXPECT_TRUE(session.wait_for_event("#close", deadline_seconds)) << session.log();
}

} // namespace
} // namespace e2e
