// The printer's port when another program has it: zcal must not touch it,
// and once the terminal is back it says why it found no port. A free port,
// or one whose lock file is stale or was planted, is used under zcal's own
// lock file, which goes on every way out. The lock folder is the test's
// own (with_printer --lock-dir), never the machine's.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fault_launch.h"
#include "session_steps.h"
#include "text_file.h"

namespace faults {
namespace {

using namespace harness;

// A scratch folder: the lock folder zcal sees as /run/lock, a file outside
// it that a planted link points at, and where port_holder puts its PID.
struct scratch_folder {
    std::string dir;
    std::string locks;
    std::string victim;
    std::string holder_pid;
    scratch_folder() {
        char name[] = "/tmp/zcal-port-in-use.XXXXXX";
        if (mkdtemp(name) == nullptr)
            ADD_FAILURE() << "mkdtemp";
        dir = name;
        locks = dir + "/locks";
        victim = dir + "/victim";
        holder_pid = dir + "/holder.pid";
        mkdir(locks.c_str(), 0755);
        chmod(locks.c_str(), 01777);  // as /run/lock is
        chmod(dir.c_str(), 0755);
        write_text(victim, "precious\n");
    }
    ~scratch_folder() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string lock() const { return locks + "/LCK..ttyACM0"; }
    std::vector<std::string> printer_options() const { return {"--lock-dir", locks}; }
};

// What was written below the frame once zcal had ended, one line each: a
// row that does not start a line of zcal's continues the one above, which
// the terminal wrapped.
std::string text_below_frame(const pty_session& session) {
    std::vector<std::string> lines;
    for (int r = 25; r < screen_rows; ++r) {
        const std::string row = session.row(r);
        if (row.rfind("zcal: ", 0) == 0 || lines.empty()) {
            lines.push_back(row);
        } else {
            lines.back() += row;
        }
    }
    std::string text;
    for (const std::string& line : lines) {
        const std::size_t end = line.find_last_not_of(' ');
        if (end != std::string::npos)
            text += line.substr(0, end + 1) + "\n";
    }
    return text;
}

std::string own_name() {
    std::string name = read_text("/proc/self/comm");
    if (!name.empty() && name.back() == '\n')
        name.pop_back();
    return name;
}

// ---- A port another program has --------------------------------------------

enum class holder_kind { opened_under_another_name, exclusive, flock, live_lock_file, not_permitted };

struct held_case {
    const char* name;
    holder_kind holder;
    // What ends the pause after the error: any key, or Ctrl-C, which a user
    // may well press there (zcal then ends by the signal, 128 + SIGINT).
    bool ctrl_c = false;
};

void PrintTo(const held_case& c, std::ostream* out) { *out << c.name; }

class port_in_use : public ::testing::TestWithParam<held_case> {};

TEST_P(port_in_use, is_left_alone_and_the_reason_is_said_after_the_terminal_is_back) {
    scratch_folder scratch;
    const std::string by_id = "serial/by-id/usb-Zudazo_Dadez-if00";
    std::string binds, prefix, setup, hold;
    switch (GetParam().holder) {
        case holder_kind::opened_under_another_name:
            // Opened through a name of its own, as print hosts do with by-id
            // names: no path in /proc says ttyACM0.
            binds = by_id + "=/dev/ttyACM0";
            hold = "open " + by_id + " " + scratch.holder_pid;
            break;
        case holder_kind::exclusive:
            hold = "exclusive ttyACM0 " + scratch.holder_pid;
            break;
        case holder_kind::flock:
            hold = "flock ttyACM0 " + scratch.holder_pid;
            break;
        case holder_kind::live_lock_file:
            write_text(scratch.lock(), lock_file_content(getpid()));
            break;
        case holder_kind::not_permitted:
            // A serial device as udev makes it, and zcal run by a user outside
            // its group.
            setup = "chgrp dialout /dev/ttyACM0 && chmod 0660 /dev/ttyACM0";
            prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups";
            break;
    }
    pty_session session(fault_launch(scratch.printer_options(), {binds, prefix, setup, hold}));
    ASSERT_GE(wait_for_error(session), 0) << session.dump();
    EXPECT_EQ(text_below_frame(session), "") << "something was said before the terminal was given back";
    if (GetParam().ctrl_c) {
        session.type("\x03");
        int status = -1;
        ASSERT_TRUE(session.wait_exit(deadline_seconds, &status)) << session.dump();
        EXPECT_EQ(status, 128 + SIGINT);
        expect_terminal_restored(session);
    } else {
        session.type("q");
        expect_clean_exit(session);
    }

    std::string expected;
    switch (GetParam().holder) {
        case holder_kind::opened_under_another_name:
        case holder_kind::exclusive:
        case holder_kind::flock:
            expected = "zcal: /dev/ttyACM0: in use by PID " +
                       std::to_string(std::atoi(read_text(scratch.holder_pid).c_str())) + " (port_holder)\n";
            break;
        case holder_kind::live_lock_file:
            expected = "zcal: /dev/ttyACM0: locked by PID " + std::to_string(getpid()) + " (" + own_name() +
                       ") in /run/lock/LCK..ttyACM0\n";
            EXPECT_EQ(read_text(scratch.lock()), lock_file_content(getpid()))
                << "the other program's lock file was touched";
            break;
        case holder_kind::not_permitted:
            expected =
                "zcal: /dev/ttyACM0: permission denied: you must be in the group dialout, which owns it "
                "(sudo usermod -aG dialout $USER, then log in again)\n";
            break;
    }
    EXPECT_EQ(text_below_frame(session), expected) << session.dump();
    EXPECT_EQ(session.log_texts(), std::vector<std::string>{}) << "the printer was sent something";
}

INSTANTIATE_TEST_SUITE_P(
    holders, port_in_use,
    ::testing::Values(held_case{"opened_under_another_name", holder_kind::opened_under_another_name},
                      held_case{"exclusive_mode", holder_kind::exclusive},
                      held_case{"flock", holder_kind::flock},
                      held_case{"flock_pause_ended_by_ctrl_c", holder_kind::flock, true},
                      held_case{"live_lock_file", holder_kind::live_lock_file},
                      held_case{"user_not_in_the_group", holder_kind::not_permitted}),
    [](const ::testing::TestParamInfo<held_case>& instance) { return std::string(instance.param.name); });

// ---- A port that is free ---------------------------------------------------

enum class planted_kind { nothing, stale_lock_file, link_to_another_file, garbage };
enum class ending_kind { space, sigterm, terminal_closed };

struct free_case {
    const char* name;
    planted_kind planted;
    ending_kind ending;
};

void PrintTo(const free_case& c, std::ostream* out) { *out << c.name; }

class free_port : public ::testing::TestWithParam<free_case> {};

// A PID that was alive a moment ago and is gone now.
pid_t dead_pid() {
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

TEST_P(free_port, is_used_under_zcals_own_lock_file_that_goes_on_the_way_out) {
    const free_case& c = GetParam();
    scratch_folder scratch;
    switch (c.planted) {
        case planted_kind::nothing:
            break;
        case planted_kind::stale_lock_file:
            write_text(scratch.lock(), lock_file_content(dead_pid()));
            break;
        case planted_kind::link_to_another_file:
            ASSERT_EQ(symlink(scratch.victim.c_str(), scratch.lock().c_str()), 0);
            break;
        case planted_kind::garbage:
            write_text(scratch.lock(), "printer\n");
            break;
    }
    pty_session session(fault_launch(scratch.printer_options()));
    ASSERT_GE(wait_for_bed_line(session), 0) << session.dump();
    const pid_t zcal = session.program_pid();
    ASSERT_GT(zcal, 0);
    struct stat status {};
    ASSERT_EQ(lstat(scratch.lock().c_str(), &status), 0) << "no lock file while zcal has the port";
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(read_text(scratch.lock()), lock_file_content(zcal));

    session.type("t");
    ASSERT_TRUE(wait_for_height(session, "200.010")) << session.dump();
    ASSERT_TRUE(wait_for_lines(session, 1)) << session.log();
    EXPECT_EQ(session.log_texts(), std::vector<std::string>{move_line("200.010")});

    int exit_status = -1;
    switch (c.ending) {
        case ending_kind::space:
            end_with_space(session);
            EXPECT_EQ(text_below_frame(session), "") << "a port was used: nothing to explain";
            break;
        case ending_kind::sigterm:
            kill(zcal, SIGTERM);
            ASSERT_TRUE(session.wait_exit(deadline_seconds, &exit_status)) << session.dump();
            break;
        case ending_kind::terminal_closed:
            session.close_terminal();
            ASSERT_TRUE(session.wait_exit(deadline_seconds, &exit_status));
            break;
    }
    EXPECT_NE(access(scratch.lock().c_str(), F_OK), 0) << "zcal's lock file outlived it";
    EXPECT_EQ(read_text(scratch.victim), "precious\n") << "written through a planted link";
}

INSTANTIATE_TEST_SUITE_P(
    lock_files, free_port,
    ::testing::Values(
        free_case{"no_lock_file_ended_with_space", planted_kind::nothing, ending_kind::space},
        free_case{"stale_lock_file_ended_by_sigterm", planted_kind::stale_lock_file, ending_kind::sigterm},
        free_case{"link_to_another_file_terminal_closed", planted_kind::link_to_another_file,
                  ending_kind::terminal_closed},
        free_case{"garbage_lock_file_ended_with_space", planted_kind::garbage, ending_kind::space}),
    [](const ::testing::TestParamInfo<free_case>& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace faults
