// Finding who else has a device open: another process, by whatever name it
// opened the device; never this process itself.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/posix/port_holders.h"

namespace {

using namespace zcal_posix;

// A pseudo-terminal whose slave stands for a serial port.
struct pty_device {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    std::string slave = master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0 ? ptsname(master) : "";
    ~pty_device() {
        if (master >= 0)
            close(master);
    }
    dev_t number() const {
        struct stat status {};
        stat(slave.c_str(), &status);
        return status.st_rdev;
    }
};

// A process named port-user that holds path open until it is ended. With
// bind_over, it opens path through a bind mount over that file, in a mount
// namespace of its own: a name only it can see.
struct port_user {
    pid_t pid = -1;
    explicit port_user(const std::string& path, const std::string& bind_over = "") {
        int ready[2];
        if (pipe(ready) != 0)
            return;
        pid = fork();
        if (pid == 0) {
            prctl(PR_SET_NAME, "port-user");
            std::string name = path;
            if (!bind_over.empty()) {
                const bool bound = unshare(CLONE_NEWNS) == 0 &&
                                   mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                                   mount(path.c_str(), bind_over.c_str(), nullptr, MS_BIND, nullptr) == 0;
                name = bound ? bind_over : "";
            }
            const int fd = open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const char answer = fd >= 0 ? 'y' : 'n';
            if (write(ready[1], &answer, 1) != 1)
                _exit(1);
            pause();
            _exit(0);
        }
        close(ready[1]);
        char answer = 'n';
        if (pid < 0 || read(ready[0], &answer, 1) != 1 || answer != 'y')
            ADD_FAILURE() << "the user did not open " << path;
        close(ready[0]);
    }
    ~port_user() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

TEST(port_holders, another_process_with_the_device_open_is_found_with_its_name) {
    pty_device device;
    ASSERT_FALSE(device.slave.empty());
    EXPECT_EQ(find_port_holder(device.number()), 0);
    port_user user(device.slave);
    EXPECT_EQ(find_port_holder(device.number()), user.pid);
    char name[16];
    read_process_name(user.pid, name, sizeof name);
    EXPECT_STREQ(name, "port-user");
}

TEST(port_holders, a_device_open_under_another_name_is_the_same_device) {
    pty_device device;
    ASSERT_FALSE(device.slave.empty());
    if (geteuid() != 0)
        GTEST_SKIP() << "a bind mount needs root";
    char other_name[] = "/tmp/zcal-holder-printer.XXXXXX";
    const int file = mkstemp(other_name);
    ASSERT_GE(file, 0);
    close(file);
    {
        port_user user(device.slave, other_name);
        EXPECT_EQ(find_port_holder(device.number()), user.pid);
    }
    unlink(other_name);
}

TEST(port_holders, this_process_is_no_other_holder) {
    pty_device device;
    ASSERT_FALSE(device.slave.empty());
    const int own = open(device.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(own, 0);
    EXPECT_EQ(find_port_holder(device.number()), 0);
    close(own);
}

TEST(port_holders, a_process_that_is_gone_has_no_name) {
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    char name[16] = "x";
    read_process_name(child, name, sizeof name);
    EXPECT_STREQ(name, "");
}

}  // namespace
