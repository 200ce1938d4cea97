// One whole run of the real zcal under valgrind's memcheck: start, printer
// wait, a few steps, Space. Any invalid access, use of an undefined value or
// leak makes valgrind end it with status 1 instead of 0.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "fault_launch.h"
#include "session_steps.h"

namespace faults {
namespace {

using namespace harness;

// valgrind's report, removed when the test ends, however it ends.
struct report_file {
    const std::string path = "/tmp/zcal-memcheck." + std::to_string(getpid()) + ".log";
    ~report_file() { unlink(path.c_str()); }
    std::string text() const {
        std::ifstream in(path);
        std::stringstream content;
        content << in.rdbuf();
        return content.str();
    }
};

TEST(memcheck, whole_run_with_steps_is_clean) {
    if (access("/usr/bin/valgrind", X_OK) != 0)
        GTEST_SKIP() << "valgrind is not installed";
    const report_file report;
    int status = -1;
    {
        fault_setup under_valgrind;
        under_valgrind.prefix =
            "/usr/bin/valgrind --quiet --error-exitcode=1 --leak-check=full "
            "--errors-for-leak-kinds=definite,possible --track-origins=yes --log-file=" +
            report.path;
        pty_session session(fault_launch({}, under_valgrind));
        // Under valgrind everything is many times slower.
        ASSERT_GE(session.wait_until([&] { return bed_line_shown(session); }, 60.0), 0) << session.dump();
        char tool[256] = {};
        const std::string exe = "/proc/" + std::to_string(session.program_pid()) + "/exe";
        ASSERT_GT(readlink(exe.c_str(), tool, sizeof tool - 1), 0);
        ASSERT_NE(std::string(tool).find("memcheck"), std::string::npos) << "not under valgrind: " << tool;
        session.type("a");
        ASSERT_GE(
            session.wait_until([&] { return session.text_at(30, 6, 10) == field_showing("201.000"); }, 30.0),
            0)
            << session.dump();
        session.type("ry");
        ASSERT_GE(
            session.wait_until([&] { return session.text_at(30, 6, 10) == field_showing("200.890"); }, 30.0),
            0)
            << session.dump();
        session.type(" ");
        ASSERT_TRUE(session.wait_exit(60.0, &status)) << "Space did not end zcal under valgrind";
        expect_terminal_restored(session);
    }
    EXPECT_EQ(status, 0) << "valgrind found errors:\n" << report.text();
}

}  // namespace
}  // namespace faults
