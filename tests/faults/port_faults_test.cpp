// The port search when the printer is not where it should be: no serial
// device at all, the printer past the last name looked for, a port named on
// the command line that is missing, taken or zcal's own terminal: zcal shows
// its error, waits silently for one key and ends with 0, the printer's port
// untouched. And when the first name is taken by something that is no
// serial port, or by a port another program holds: the search must not
// hang on it, must not take it for the printer, and must go on to the
// printer behind it (here ttyUSB0, the second name looked for).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fault_launch.h"
#include "session_steps.h"

namespace faults {
namespace {

using namespace harness;

// ---- No port ------------------------------------------------------------------

struct missing_case {
    const char* name;
    std::vector<std::string> printer_options;
    std::vector<std::string> zcal_arguments = {};
};

void PrintTo(const missing_case& c, std::ostream* out) { *out << c.name; }

class without_port : public ::testing::TestWithParam<missing_case> {};

TEST_P(without_port, shows_the_error_waits_silently_for_one_key_and_exits_with_zero) {
    launch how = fault_launch(GetParam().printer_options);
    how.arguments = GetParam().zcal_arguments;
    pty_session session(how);
    expected_screen expected = fixed_screen(frame_glyphs::line_drawing);
    put(&expected, 3, 10, error_text);  // over legend e, whose "0)" stays
    ASSERT_GE(wait_for_screen(session, expected), 0) << differences(expected, session);
    EXPECT_TRUE(raw_mode(session.terminal_mode())) << describe_mode(session.terminal_mode());

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
    ports, without_port,
    ::testing::Values(missing_case{"no_serial_device", {"--no-port"}},
                      // ttyUSB10 would be port 21: past the last name looked for.
                      missing_case{"printer_past_the_last_name", {"--port", "ttyUSB10"}},
                      // A port named on the command line is the only one
                      // tried, even with the printer on the first name.
                      missing_case{"given_port_missing", {}, {"/dev/ttyUSB10"}},
                      missing_case{
                          "given_port_another_program_holds", {"--busy", "ttyUSB10"}, {"/dev/ttyUSB10"}},
                      // The terminal zcal runs in is a terminal device too,
                      // but never the printer's port.
                      missing_case{"given_port_is_its_own_terminal", {}, {"/dev/tty"}}),
    [](const ::testing::TestParamInfo<missing_case>& instance) { return std::string(instance.param.name); });

// ---- Something else at the first name -------------------------------------

struct first_name_case {
    const char* name;
    // Bound over /dev/ttyACM0; "file" makes a regular file; "busy" puts a
    // port there that another program holds.
    std::string source;
};

void PrintTo(const first_name_case& c, std::ostream* out) { *out << c.name; }

class first_name_taken : public ::testing::TestWithParam<first_name_case> {};

// A regular file that reads like a printer's boot chatter, to tempt the
// drain; removed when the test ends, however it ends.
struct chatter_file {
    std::string path;
    chatter_file() {
        char name[] = "/tmp/zcal-fault-file.XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0)
            return;
        const std::string chatter = "start\necho:not a printer\nok\n";
        const bool written =
            write(fd, chatter.data(), chatter.size()) == static_cast<ssize_t>(chatter.size());
        close(fd);
        path = name;
        if (!written)
            ADD_FAILURE() << "could not write " << path;
    }
    ~chatter_file() {
        if (!path.empty())
            unlink(path.c_str());
    }
};

TEST_P(first_name_taken, is_skipped_and_the_printer_behind_it_is_used) {
    const std::string& source = GetParam().source;
    std::vector<std::string> printer_options = {"--port", "ttyUSB0"};
    fault_setup faults;
    chatter_file file;
    if (source == "busy") {
        printer_options.insert(printer_options.end(), {"--busy", "ttyACM0"});
    } else {
        ASSERT_FALSE(file.path.empty());
        faults.binds = "ttyACM0=" + (source == "file" ? file.path : source);
    }
    pty_session session(fault_launch(printer_options, faults));
    // The printer wait is 2.2 s; a search that hung, or a drain that never
    // ended (/dev/zero), would miss this by far.
    ASSERT_GE(wait_for_bed_line(session), 0) << "no bed line\n" << session.dump();
    session.type("t");
    ASSERT_TRUE(wait_for_height(session, "200.010")) << session.dump();
    ASSERT_TRUE(wait_for_lines(session, 1)) << "the printer on ttyUSB0 got nothing\n" << session.log();
    EXPECT_EQ(session.log_texts(), std::vector<std::string>{move_line("200.010")});
    end_with_space(session);
}

INSTANTIATE_TEST_SUITE_P(devices, first_name_taken,
                         ::testing::Values(first_name_case{"null_device", "/dev/null"},
                                           // Endless bytes: taken for a port, its drain would never end.
                                           first_name_case{"zero_device", "/dev/zero"},
                                           first_name_case{"regular_file", "file"},
                                           first_name_case{"port_another_program_holds", "busy"}),
                         [](const ::testing::TestParamInfo<first_name_case>& instance) {
                             return std::string(instance.param.name);
                         });

}  // namespace
}  // namespace faults
