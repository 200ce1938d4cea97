// The real zcal with a printer that misbehaves: it vanishes, floods, answers
// late or oddly, never answers, or chatters mid-run. Whatever it does, every
// step key applies once and in order, the screen keeps up, zcal does not
// spin, and Space ends it with 0 and the terminal given back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fault_steps.h"

namespace faults {
namespace {

using e2e::Zcal_session;

// The printer goes away (a cable pulled) after the second line. zcal then
// has a port that fails every read and write at once: it must not turn that
// into a busy loop, and the keys must still work on screen.
TEST(PrinterVanishes, ZcalStaysIdleAndKeepsShowingSteps) {
    Launch_with launch;
    Zcal_session session({{"--hangup-after", "2"}, "C.UTF-8"});
    ASSERT_GE(e2e::wait_for_bed_line(session), 0) << session.dump();
    session.type("a");
    ASSERT_TRUE(e2e::wait_for_height(session, "201.000")) << session.dump();
    session.type("a");
    ASSERT_TRUE(e2e::wait_for_height(session, "202.000")) << session.dump();
    ASSERT_TRUE(session.wait_for_event("#hangup", e2e::deadline_seconds)) << session.log();

    // Idle with a dead port: about the cost of the 10 ms poll, far below a
    // spinning loop's 100 %.
    const double idle = cpu_percent_over(session, session.zcal_pid(), 2.0);
    EXPECT_GE(idle, 0.0) << "zcal ended";
    EXPECT_LT(idle, 5.0) << "percent of a core after the printer vanished";

    // Steps against the dead port: each costs a failed write and read.
    session.type("e");
    ASSERT_TRUE(e2e::wait_for_height(session, "202.100")) << session.dump();
    session.type("y");
    ASSERT_TRUE(e2e::wait_for_height(session, "202.090")) << session.dump();
    const double stepping = cpu_percent_over(session, session.zcal_pid(), 1.0);
    EXPECT_LT(stepping, 5.0) << "percent of a core after steps on a dead port";

    EXPECT_EQ(session.log_texts(),
              (std::vector<std::string>{e2e::move_line("201.000"), e2e::move_line("202.000")}));
    e2e::end_with_space(session);
}

struct Printer_case {
    const char* name;
    std::vector<std::string> printer_options;
};

void PrintTo(const Printer_case& c, std::ostream* out) { *out << c.name; }

class FaultyPrinter : public ::testing::TestWithParam<Printer_case> {};

// A burst of step keys typed faster than the loop takes them, so stale,
// late and oversized replies meet the next steps: the printer must receive
// exactly one line per key, in order, and the screen show the last height.
TEST_P(FaultyPrinter, BurstOfStepsArrivesWholeAndInOrder) {
    Launch_with launch;
    Zcal_session session({GetParam().printer_options, "C.UTF-8"});
    ASSERT_GE(e2e::wait_for_bed_line(session), 0) << session.dump();

    const std::string keys = "aeztyrAEZTYRttyyeerrazaz";
    std::vector<std::string> expected;
    for (const char* height : {"201.000", "201.100", "200.100", "200.110", "200.100", "200.000",
                               "201.000", "201.100", "200.100", "200.110", "200.100", "200.000",
                               "200.010", "200.020", "200.010", "200.000", "200.100", "200.200",
                               "200.100", "200.000", "201.000", "200.000", "201.000", "200.000"}) {
        expected.push_back(e2e::move_line(height));
    }
    session.type(keys);
    ASSERT_TRUE(e2e::wait_for_lines(session, expected.size())) << session.log();
    ASSERT_TRUE(e2e::wait_for_height(session, "200.000")) << session.dump();
    session.settle(0.3);  // a line too many would show by now
    EXPECT_EQ(session.log_texts(), expected) << session.log();
    e2e::end_with_space(session);
}

INSTANTIATE_TEST_SUITE_P(
    Printers, FaultyPrinter,
    ::testing::Values(Printer_case{"answers_at_once", {}},
                      Printer_case{"never_answers", {"--never-answer"}},
                      Printer_case{"answers_after_50ms", {"--answer-delay", "50"}},
                      Printer_case{"answers_after_400ms", {"--answer-delay", "400"}},
                      Printer_case{"answers_with_crlf", {"--crlf"}},
                      // Just over what one reply holds, and far over it.
                      Printer_case{"floods_300_bytes_per_line", {"--flood", "300"}},
                      Printer_case{"floods_20000_bytes_per_line", {"--flood", "20000"}},
                      Printer_case{"boots_during_the_burst", {"--boot-delay", "2300"}}),
    [](const ::testing::TestParamInfo<Printer_case>& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace faults
