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
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fault_steps.h"

namespace faults {
namespace {

using e2e::Zcal_session;

std::string read_text(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_text(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

std::string lock_content(pid_t pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
    return text;
}

// A scratch folder: the lock folder zcal sees as /run/lock, a file outside
// it that a planted link points at, and where port_holder puts its PID.
struct Scratch {
    std::string dir;
    std::string locks;
    std::string victim;
    std::string holder_pid;
    Scratch() {
        char name[] = "/tmp/zcal-port-in-use.XXXXXX";
        if (mkdtemp(name) == nullptr) ADD_FAILURE() << "mkdtemp";
        dir = name;
        locks = dir + "/locks";
        victim = dir + "/victim";
        holder_pid = dir + "/holder.pid";
        mkdir(locks.c_str(), 0755);
        chmod(locks.c_str(), 01777);  // as /run/lock is
        chmod(dir.c_str(), 0755);
        write_text(victim, "precious\n");
    }
    ~Scratch() {
        if (!::testing::Test::HasFailure()) std::system(("rm -rf '" + dir + "'").c_str());
    }
    std::string lock() const { return locks + "/LCK..ttyACM0"; }
    Zcal_session start() const { return Zcal_session({{"--lock-dir", locks}, "C.UTF-8"}); }
};

// What was written below the frame once zcal had ended, one line each: a
// row that does not start a line of zcal's continues the one above, which
// the terminal wrapped.
std::string text_below_frame(const Zcal_session& session) {
    std::vector<std::string> lines;
    for (int r = 25; r < e2e::screen_rows; ++r) {
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
        if (end != std::string::npos) text += line.substr(0, end + 1) + "\n";
    }
    return text;
}

std::string own_name() {
    std::string name = read_text("/proc/self/comm");
    if (!name.empty() && name.back() == '\n') name.pop_back();
    return name;
}

// ---- A port another program has --------------------------------------------

enum class Holder { opened_under_another_name, exclusive, flock, live_lock_file, not_permitted };

struct Held_case {
    const char* name;
    Holder holder;
    // What ends the pause after the error: any key, or Ctrl-C, which a user
    // may well press there (zcal then ends by the signal, 128 + SIGINT).
    bool ctrl_c = false;
};

void PrintTo(const Held_case& c, std::ostream* out) { *out << c.name; }

class PortInUse : public ::testing::TestWithParam<Held_case> {};

TEST_P(PortInUse, IsLeftAloneAndTheReasonIsSaidAfterTheTerminalIsBack) {
    Scratch scratch;
    const std::string by_id = "serial/by-id/usb-Zudazo_Dadez-if00";
    std::string binds, prefix, setup, hold;
    switch (GetParam().holder) {
    case Holder::opened_under_another_name:
        // Opened through a name of its own, as print hosts do with by-id
        // names: no path in /proc says ttyACM0.
        binds = by_id + "=/dev/ttyACM0";
        hold = "open " + by_id + " " + scratch.holder_pid;
        break;
    case Holder::exclusive: hold = "exclusive ttyACM0 " + scratch.holder_pid; break;
    case Holder::flock: hold = "flock ttyACM0 " + scratch.holder_pid; break;
    case Holder::live_lock_file: write_text(scratch.lock(), lock_content(getpid())); break;
    case Holder::not_permitted:
        // A serial device as udev makes it, and zcal run by a user outside
        // its group.
        setup = "chgrp dialout /dev/ttyACM0 && chmod 0660 /dev/ttyACM0";
        prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups";
        break;
    }
    Launch_with launch(binds, prefix, setup, hold);
    Zcal_session session = scratch.start();
    ASSERT_GE(session.wait_until([&] { return session.text_at(3, 10, 33) == e2e::error_text; },
                                 e2e::deadline_seconds),
              0)
        << session.dump();
    EXPECT_EQ(text_below_frame(session), "") << "something was said before the terminal was given back";
    if (GetParam().ctrl_c) {
        session.type("\x03");
        int status = -1;
        ASSERT_TRUE(session.wait_exit(e2e::deadline_seconds, &status)) << session.dump();
        EXPECT_EQ(status, 128 + SIGINT);
        e2e::expect_terminal_restored(session);
    } else {
        session.type("q");
        e2e::expect_clean_exit(session);
    }

    std::string expected;
    switch (GetParam().holder) {
    case Holder::opened_under_another_name:
    case Holder::exclusive:
    case Holder::flock:
        expected = "zcal: /dev/ttyACM0: in use by PID " + std::to_string(std::atoi(read_text(scratch.holder_pid).c_str())) +
                   " (port_holder)\n";
        break;
    case Holder::live_lock_file:
        expected = "zcal: /dev/ttyACM0: locked by PID " + std::to_string(getpid()) + " (" + own_name() +
                   ") in /run/lock/LCK..ttyACM0\n";
        EXPECT_EQ(read_text(scratch.lock()), lock_content(getpid())) << "the other program's lock file was touched";
        break;
    case Holder::not_permitted:
        expected = "zcal: /dev/ttyACM0: permission denied: you must be in the group dialout, which owns it "
                   "(sudo usermod -aG dialout $USER, then log in again)\n";
        break;
    }
    EXPECT_EQ(text_below_frame(session), expected) << session.dump();
    EXPECT_EQ(session.log_texts(), std::vector<std::string>{}) << "the printer was sent something";
}

INSTANTIATE_TEST_SUITE_P(
    Holders, PortInUse,
    ::testing::Values(Held_case{"opened_under_another_name", Holder::opened_under_another_name},
                      Held_case{"exclusive_mode", Holder::exclusive},
                      Held_case{"flock", Holder::flock},
                      Held_case{"flock_pause_ended_by_ctrl_c", Holder::flock, true},
                      Held_case{"live_lock_file", Holder::live_lock_file},
                      Held_case{"user_not_in_the_group", Holder::not_permitted}),
    [](const ::testing::TestParamInfo<Held_case>& instance) { return std::string(instance.param.name); });

// ---- A port that is free ---------------------------------------------------

enum class Planted { nothing, stale_lock_file, link_to_another_file, garbage };
enum class Ending { space, sigterm, terminal_closed };

struct Free_case {
    const char* name;
    Planted planted;
    Ending ending;
};

void PrintTo(const Free_case& c, std::ostream* out) { *out << c.name; }

class FreePort : public ::testing::TestWithParam<Free_case> {};

// A PID that was alive a moment ago and is gone now.
pid_t dead_pid() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

TEST_P(FreePort, IsUsedUnderZcalsOwnLockFileThatGoesOnTheWayOut) {
    const Free_case& c = GetParam();
    Scratch scratch;
    switch (c.planted) {
    case Planted::nothing: break;
    case Planted::stale_lock_file: write_text(scratch.lock(), lock_content(dead_pid())); break;
    case Planted::link_to_another_file: ASSERT_EQ(symlink(scratch.victim.c_str(), scratch.lock().c_str()), 0); break;
    case Planted::garbage: write_text(scratch.lock(), "printer\n"); break;
    }
    Launch_with launch;
    Zcal_session session = scratch.start();
    ASSERT_GE(e2e::wait_for_bed_line(session), 0) << session.dump();
    const pid_t zcal = session.zcal_pid();
    ASSERT_GT(zcal, 0);
    struct stat status {};
    ASSERT_EQ(lstat(scratch.lock().c_str(), &status), 0) << "no lock file while zcal has the port";
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(read_text(scratch.lock()), lock_content(zcal));

    session.type("t");
    ASSERT_TRUE(e2e::wait_for_height(session, "200.010")) << session.dump();
    ASSERT_TRUE(e2e::wait_for_lines(session, 1)) << session.log();
    EXPECT_EQ(session.log_texts(), std::vector<std::string>{e2e::move_line("200.010")});

    int exit_status = -1;
    switch (c.ending) {
    case Ending::space:
        e2e::end_with_space(session);
        EXPECT_EQ(text_below_frame(session), "") << "a port was used: nothing to explain";
        break;
    case Ending::sigterm:
        kill(zcal, SIGTERM);
        ASSERT_TRUE(session.wait_exit(e2e::deadline_seconds, &exit_status)) << session.dump();
        break;
    case Ending::terminal_closed:
        session.close_terminal();
        ASSERT_TRUE(session.wait_exit(e2e::deadline_seconds, &exit_status));
        break;
    }
    EXPECT_NE(access(scratch.lock().c_str(), F_OK), 0) << "zcal's lock file outlived it";
    EXPECT_EQ(read_text(scratch.victim), "precious\n") << "written through a planted link";
}

INSTANTIATE_TEST_SUITE_P(
    LockFiles, FreePort,
    ::testing::Values(Free_case{"no_lock_file_ended_with_space", Planted::nothing, Ending::space},
                      Free_case{"stale_lock_file_ended_by_sigterm", Planted::stale_lock_file, Ending::sigterm},
                      Free_case{"link_to_another_file_terminal_closed", Planted::link_to_another_file,
                                Ending::terminal_closed},
                      Free_case{"garbage_lock_file_ended_with_space", Planted::garbage, Ending::space}),
    [](const ::testing::TestParamInfo<Free_case>& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace faults
