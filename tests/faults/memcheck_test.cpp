// One whole run of the real zcal under valgrind's memcheck: start, printer
// wait, a few steps, Space. Any invalid access, use of an undefined value or
// leak makes valgrind end it with status 1 instead of 0.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "fault_steps.h"

namespace faults {
namespace {

using e2e::Zcal_session;

TEST(Memcheck, WholeRunWithStepsIsClean) {
    if (access("/usr/bin/valgrind", X_OK) != 0) GTEST_SKIP() << "valgrind is not installed";
    const std::string report = "/tmp/zcal-memcheck." + std::to_string(getpid()) + ".log";
    int status = -1;
    {
        Launch_with launch("", "/usr/bin/valgrind --quiet --error-exitcode=1 --leak-check=full "
                               "--errors-for-leak-kinds=definite,possible --track-origins=yes --log-file=" +
                                   report);
        Zcal_session session({{}, "C.UTF-8"});
        // Under valgrind everything is many times slower.
        ASSERT_GE(session.wait_until([&] { return e2e::bed_line_shown(session); }, 60.0), 0) << session.dump();
        char tool[256] = {};
        const std::string exe = "/proc/" + std::to_string(session.zcal_pid()) + "/exe";
        ASSERT_GT(readlink(exe.c_str(), tool, sizeof tool - 1), 0);
        ASSERT_NE(std::string(tool).find("memcheck"), std::string::npos) << "not under valgrind: " << tool;
        session.type("a");
        ASSERT_GE(session.wait_until([&] { return session.text_at(30, 6, 10) == e2e::field_showing("201.000"); }, 30.0), 0)
            << session.dump();
        session.type("ry");
        ASSERT_GE(session.wait_until([&] { return session.text_at(30, 6, 10) == e2e::field_showing("200.890"); }, 30.0), 0)
            << session.dump();
        session.type(" ");
        ASSERT_TRUE(session.wait_exit(60.0, &status)) << "Space did not end zcal under valgrind";
        e2e::expect_terminal_restored(session);
    }
    std::ifstream in(report);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(status, 0) << "valgrind found errors:\n" << text.str();
    unlink(report.c_str());
}

}  // namespace
}  // namespace faults
