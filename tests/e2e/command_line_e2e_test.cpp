// The real zcal asked for its help, its version, or given a command line it
// cannot follow: it prints, ends with the right status, and leaves the
// terminal and the printer's port alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session_steps.h"
#include "zcal_under_test.h"

namespace e2e {
namespace {

using namespace harness;

struct printing_case {
    const char* name;
    std::vector<std::string> zcal_arguments;
    int status;
    std::vector<std::string> first_rows;  // the screen's top rows, trailing blanks dropped
};

void PrintTo(const printing_case& c, std::ostream* out) { *out << c.name; }

std::string trimmed(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

class zcal_prints_and_ends : public ::testing::TestWithParam<printing_case> {};

TEST_P(zcal_prints_and_ends, with_its_status_and_the_terminal_and_port_untouched) {
    launch how = zcal_launch();
    how.arguments = GetParam().zcal_arguments;
    how.rows = 50;  // the whole help, unscrolled
    pty_session session(how);
    int status = -1;
    ASSERT_TRUE(session.wait_exit(deadline_seconds, &status)) << session.dump();
    EXPECT_EQ(status, GetParam().status);
    const std::vector<std::string>& rows = GetParam().first_rows;
    session.wait_until([&] { return trimmed(session.row(0)) == rows.front(); }, deadline_seconds);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        EXPECT_EQ(trimmed(session.row(static_cast<int>(r))), rows[r]) << session.dump();
    }
    // No screen was drawn: the text starts where the cursor was, at the top.
    EXPECT_EQ(session.row(static_cast<int>(rows.size()) + 3).find("Tandrovelmaris"), std::string::npos);
    expect_terminal_restored(session);
    for (const std::string& event : session.log_events()) {
        EXPECT_NE(event.rfind("#open", 0), 0u) << "the printer's port was opened";
    }
}

INSTANTIATE_TEST_SUITE_P(
    command_line, zcal_prints_and_ends,
    ::testing::Values(
        printing_case{"help",
                      {"--help"},
                      0,
                      {"zcal " ZCAL_PROJECT_VERSION ": calibrate a 3D printer's Z height by hand.", "",
                       "usage: zcal [PORT] | zcal --help | zcal --version"}},
        printing_case{"version", {"--version"}, 0, {"zcal " ZCAL_PROJECT_VERSION, ""}},
        printing_case{
            "unknown_option",
            {"--port", "/dev/ttyACM0"},
            2,
            {"zcal: unknown option: '--port'; usage: zcal [PORT] | zcal --help | zcal --version", ""}},
        printing_case{
            "two_ports",
            {"/dev/ttyACM0", "/dev/ttyUSB0"},
            2,
            {"zcal: a second port: '/dev/ttyUSB0'; usage: zcal [PORT] | zcal --help | zcal --version", ""}}),
    [](const ::testing::TestParamInfo<printing_case>& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace e2e
