// What zcal says about the ports it did not use, and when it says it.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/posix/group_name.h"
#include "platform/posix/handles.h"
#include "platform/posix/skip_reasons.h"

namespace {

using namespace zcal_posix;

port_skip skip_with(skip_kind kind, pid_t pid = 0, const char* program = "") {
    port_skip skip;
    std::memset(&skip, 0, sizeof skip);
    skip.kind = kind;
    skip.pid = pid;
    std::strcpy(skip.program, program);
    return skip;
}

port_skip lock_skip(pid_t pid, const char* program) {
    port_skip skip = skip_with(skip_kind::lock_file, pid, program);
    std::strcpy(skip.lock_path, "/run/lock/LCK..ttyACM0");
    return skip;
}

port_skip permission_skip(const char* group, unsigned mode, bool root) {
    port_skip skip = skip_with(skip_kind::permission);
    std::strcpy(skip.group, group);
    skip.mode = mode;
    skip.group_is_root = root;
    return skip;
}

port_skip failed_skip(int error) {
    port_skip skip = skip_with(skip_kind::open_failed);
    skip.error = error;
    return skip;
}

std::string line_for(const port_skip& skip) {
    char text[512];
    const std::size_t length = format_port_skip("/dev/ttyACM0", skip, text, sizeof text);
    return std::string(text, length);
}

struct message_case {
    const char* name;
    port_skip skip;
    const char* line;
};

TEST(skip_messages, say_who_has_the_port_or_what_is_wrong_with_it) {
    const message_case cases[] = {
        {"opened by another program", skip_with(skip_kind::in_use, 4242, "python3"),
         "zcal: /dev/ttyACM0: in use by PID 4242 (python3)\n"},
        {"holder's name unknown", skip_with(skip_kind::in_use, 4242),
         "zcal: /dev/ttyACM0: in use by PID 4242\n"},
        {"flock, holder found", skip_with(skip_kind::flocked, 17, "screen"),
         "zcal: /dev/ttyACM0: in use by PID 17 (screen)\n"},
        {"flock, holder not seen", skip_with(skip_kind::flocked),
         "zcal: /dev/ttyACM0: in use by another program (it holds the port's lock)\n"},
        {"exclusive, holder not seen", skip_with(skip_kind::exclusive),
         "zcal: /dev/ttyACM0: in use by another program (it has the line in exclusive mode)\n"},
        {"lock file", lock_skip(99, "minicom"),
         "zcal: /dev/ttyACM0: locked by PID 99 (minicom) in /run/lock/LCK..ttyACM0\n"},
        {"unreadable lock file", lock_skip(0, ""),
         "zcal: /dev/ttyACM0: locked: /run/lock/LCK..ttyACM0 cannot be read\n"},
        {"group may use it", permission_skip("dialout", 0660, false),
         "zcal: /dev/ttyACM0: permission denied: you must be in the group dialout, which owns it "
         "(sudo usermod -aG dialout $USER, then log in again)\n"},
        {"group may not use it", permission_skip("dialout", 0600, false),
         "zcal: /dev/ttyACM0: permission denied (mode 0600, group dialout)\n"},
        {"group is root", permission_skip("root", 0660, true),
         "zcal: /dev/ttyACM0: permission denied (mode 0660, group root)\n"},
        {"no terminal", skip_with(skip_kind::not_serial), "zcal: /dev/ttyACM0: not a serial device\n"},
        {"other error", failed_skip(EIO), "zcal: /dev/ttyACM0: cannot be opened: Input/output error\n"},
    };
    for (const message_case& c : cases) {
        EXPECT_EQ(line_for(c.skip), c.line) << c.name;
    }
}

TEST(skip_messages, a_line_cut_short_is_still_one_line) {
    char text[24];
    const std::size_t length =
        format_port_skip("/dev/ttyACM0", skip_with(skip_kind::not_serial), text, sizeof text);
    ASSERT_EQ(length, sizeof text - 1);
    EXPECT_EQ(std::string(text, length), "zcal: /dev/ttyACM0: no\n");
}

struct group_case {
    const char* text;
    gid_t gid;
    const char* name;  // nullptr: not found
};

TEST(group_name, is_found_by_number_in_a_group_file) {
    const group_case cases[] = {
        {"root:x:0:\ndialout:x:20:pi,ann\n", 20, "dialout"},
        {"root:x:0:\ndialout:x:20:\n", 0, "root"},
        {"dialout:x:20:", 20, "dialout"},               // no newline at the end
        {"uucp:x:10:\ndialout:x:200:\n", 20, nullptr},  // 200 is not 20
        {"dialout:x:2x:\n", 2, nullptr},
        {"broken line\n:x:20:\ndialout:x:20:\n", 20, "dialout"},
        {"", 20, nullptr},
    };
    for (const group_case& c : cases) {
        char name[32] = "";
        const bool found = group_name_in(c.text, std::strlen(c.text), c.gid, name, sizeof name);
        EXPECT_EQ(found, c.name != nullptr) << c.text;
        if (c.name != nullptr) {
            EXPECT_STREQ(name, c.name) << c.text;
        }
    }
}

TEST(group_name, a_group_no_file_names_is_shown_by_its_number) {
    char name[32];
    group_name(4000000000u, name, sizeof name);
    EXPECT_STREQ(name, "4000000000");
}

// What report_port_skips writes to standard error.
std::string reported() {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0)
        return "no pipe";
    const int saved = dup(STDERR_FILENO);
    dup2(pipe_ends[1], STDERR_FILENO);
    report_port_skips();
    dup2(saved, STDERR_FILENO);
    close(saved);
    close(pipe_ends[1]);
    std::string text;
    char chunk[1024];
    for (ssize_t got; (got = read(pipe_ends[0], chunk, sizeof chunk)) > 0;)
        text.append(chunk, static_cast<std::size_t>(got));
    close(pipe_ends[0]);
    return text;
}

TEST(skip_report, one_line_per_device_in_order_once) {
    clear_port_skips();
    record_port_skip("/dev/ttyACM0", skip_with(skip_kind::in_use, 5, "cat"));
    record_port_skip("/dev/ttyUSB0", skip_with(skip_kind::not_serial));
    record_port_skip("/dev/ttyACM1", skip_with(skip_kind::not_serial));
    // A later reason for the same device takes the earlier one's place; a
    // device that opened after all has none.
    record_port_skip("/dev/ttyACM0", skip_with(skip_kind::in_use, 6, "screen"));
    forget_port_skip("/dev/ttyACM1");
    EXPECT_EQ(reported(),
              "zcal: /dev/ttyACM0: in use by PID 6 (screen)\n"
              "zcal: /dev/ttyUSB0: not a serial device\n");
    EXPECT_EQ(reported(), "");
    clear_port_skips();
}

TEST(skip_report, nothing_is_said_while_a_port_is_open) {
    clear_port_skips();
    record_port_skip("/dev/ttyUSB0", skip_with(skip_kind::not_serial));
    const HANDLE port = port_handle_add(99);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(reported(), "");
    port_slot_release(port_slot_of(port));
    EXPECT_EQ(reported(), "zcal: /dev/ttyUSB0: not a serial device\n");
    clear_port_skips();
}

}  // namespace
