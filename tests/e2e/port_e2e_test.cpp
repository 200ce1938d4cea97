// Where zcal finds the printer: at any of the names it looks for, up to the
// last, or at a port named on the command line, even one past those names.
// Ports that are missing, in use or no serial port are in tests/faults.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session_steps.h"
#include "zcal_under_test.h"

namespace e2e {
namespace {

using namespace harness;

struct port_case {
    const char* name;
    std::vector<std::string> printer_options;
    std::vector<std::string> zcal_arguments = {};
};

void PrintTo(const port_case& c, std::ostream* out) { *out << c.name; }

class zcal_finds_port : public ::testing::TestWithParam<port_case> {};

TEST_P(zcal_finds_port, and_uses_the_printer_there) {
    launch how = zcal_launch(GetParam().printer_options);
    how.arguments = GetParam().zcal_arguments;
    pty_session session(how);
    ASSERT_GE(wait_for_bed_line(session), 0) << session.dump();
    session.type("y");
    ASSERT_TRUE(wait_for_height(session, "199.990")) << session.dump();
    ASSERT_TRUE(wait_for_lines(session, 1));
    EXPECT_EQ(session.log_texts(), std::vector<std::string>{move_line("199.990")});
    end_with_space(session);
}

INSTANTIATE_TEST_SUITE_P(
    ports, zcal_finds_port,
    ::testing::Values(port_case{"at_the_last_name_looked_for", {"--port", "ttyACM10"}},
                      port_case{
                          "given_past_the_names_looked_for", {"--port", "ttyUSB10"}, {"/dev/ttyUSB10"}}),
    [](const ::testing::TestParamInfo<port_case>& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace e2e
