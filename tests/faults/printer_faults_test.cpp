// The real zcal with a printer that misbehaves: it vanishes, floods, answers
// late or oddly, never answers, or chatters mid-run. Whatever it does, every
// step key applies once and in order, the screen keeps up, zcal does not
// spin, and Space ends it with 0 and the terminal given back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fault_launch.h"
#include "session_steps.h"

namespace faults {
namespace {

using namespace harness;

// The printer goes away (a cable pulled) after the second line. zcal then
// has a port that fails every read and write at once: it must not turn that
// into a busy loop, and the keys must still work on screen.
TEST(printer_vanishes, zcal_stays_idle_and_keeps_showing_steps) {
    pty_session session(fault_launch({"--hangup-after", "2"}));
    ASSERT_GE(wait_for_bed_line(session), 0) << session.dump();
    session.type("a");
    ASSERT_TRUE(wait_for_height(session, "201.000")) << session.dump();
    session.type("a");
    ASSERT_TRUE(wait_for_height(session, "202.000")) << session.dump();
    ASSERT_TRUE(session.wait_for_event("#hangup", deadline_seconds)) << session.log();

    // Idle with a dead port: about the cost of the 10 ms poll, far below a
    // spinning loop's 100 %.
    const double idle = cpu_percent_over(session, session.program_pid(), 2.0);
    EXPECT_GE(idle, 0.0) << "zcal ended";
    EXPECT_LT(idle, 5.0) << "percent of a core after the printer vanished";

    // Steps against the dead port: each costs a failed write and read.
    session.type("e");
    ASSERT_TRUE(wait_for_height(session, "202.100")) << session.dump();
    session.type("y");
    ASSERT_TRUE(wait_for_height(session, "202.090")) << session.dump();
    const double stepping = cpu_percent_over(session, session.program_pid(), 1.0);
    EXPECT_LT(stepping, 5.0) << "percent of a core after steps on a dead port";

    EXPECT_EQ(session.log_texts(), (std::vector<std::string>{move_line("201.000"), move_line("202.000")}));
    end_with_space(session);
}

struct printer_case {
    const char* name;
    std::vector<std::string> printer_options;
};

void PrintTo(const printer_case& c, std::ostream* out) { *out << c.name; }

class faulty_printer : public ::testing::TestWithParam<printer_case> {};

// A burst of step keys typed faster than the loop takes them, so stale,
// late and oversized replies meet the next steps: the printer must receive
// exactly one line per key, in order, the screen show the last height, and
// zcal then wait for keys without spinning, whatever is left on the line.
TEST_P(faulty_printer, burst_of_steps_arrives_whole_and_in_order_and_zcal_then_idles) {
    pty_session session(fault_launch(GetParam().printer_options));
    ASSERT_GE(wait_for_bed_line(session), 0) << session.dump();

    const std::string keys = "aeztyrAEZTYRttyyeerrazaz";
    std::vector<std::string> expected;
    for (const char* height :
         {"201.000", "201.100", "200.100", "200.110", "200.100", "200.000", "201.000", "201.100",
          "200.100", "200.110", "200.100", "200.000", "200.010", "200.020", "200.010", "200.000",
          "200.100", "200.200", "200.100", "200.000", "201.000", "200.000", "201.000", "200.000"}) {
        expected.push_back(move_line(height));
    }
    session.type(keys);
    ASSERT_TRUE(wait_for_lines(session, expected.size())) << session.log();
    ASSERT_TRUE(wait_for_height(session, "200.000")) << session.dump();
    session.settle(0.3);  // a line too many would show by now
    EXPECT_EQ(session.log_texts(), expected) << session.log();
    expect_idle_while_waiting(session, 1.0);
    end_with_space(session);
}

INSTANTIATE_TEST_SUITE_P(printers, faulty_printer,
                         ::testing::Values(printer_case{"answers_at_once", {}},
                                           printer_case{"never_answers", {"--never-answer"}},
                                           printer_case{"answers_after_50ms", {"--answer-delay", "50"}},
                                           printer_case{"answers_after_400ms", {"--answer-delay", "400"}},
                                           printer_case{"answers_with_crlf", {"--crlf"}},
                                           // Just over what one reply holds, and far over what
                                           // the terminal line buffers.
                                           printer_case{"floods_300_bytes_per_line", {"--flood", "300"}},
                                           printer_case{"floods_20000_bytes_per_line", {"--flood", "20000"}},
                                           // Its boot chatter comes after the printer wait, in
                                           // the middle of the steps.
                                           printer_case{"boots_during_the_burst", {"--boot-delay", "2300"}}),
                         [](const ::testing::TestParamInfo<printer_case>& instance) {
                             return std::string(instance.param.name);
                         });

}  // namespace
}  // namespace faults
