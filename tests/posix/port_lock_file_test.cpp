// UUCP lock files: reading the PID one names, the name for a device, and
// taking a port's lock among whatever other programs (or someone hostile)
// left in the lock folder. The folders are temporary ones, never the
// machine's.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/port_lock_file.h"
#include "text_file.h"

namespace {

using harness::lock_file_content;
using harness::read_text;
using harness::write_text;

using namespace zcal_posix;

struct pid_case {
    std::string content;
    pid_t pid;
};

TEST(lock_file_pid, reads_the_ascii_forms_and_nothing_else) {
    const pid_case cases[] = {
        {"      1234\n", 1234},       // what UUCP programs write: %10d and a newline
        {"1234", 1234},               // no padding, no newline
        {"  77 minicom root\n", 77},  // a name after the number
        {"\t42\r\n", 42},
        {"4194304\n", 4194304},         // the largest PID there can be
        {"4194305\n", 0},               // past it
        {"99999999999999999999\n", 0},  // past any integer
        {"", 0},
        {"\n", 0},
        {"          \n", 0},
        {"0000000000\n", 0},
        {"-5\n", 0},
        {"12abc\n", 0},
        {"abc\n", 0},
        {std::string("\xd2\x04\x00\x00", 4), 0},  // a binary PID: not this format
    };
    for (const pid_case& c : cases) {
        EXPECT_EQ(lock_file_pid(c.content.data(), c.content.size()), c.pid) << '"' << c.content << '"';
    }
}

std::string name_for(const char* path) {
    char name[64];
    return lock_file_name(path, name, sizeof name) ? name : "none";
}

TEST(lock_file_name, is_the_device_s_own_name_under_dev) {
    EXPECT_EQ(name_for("/dev/ttyACM0"), "LCK..ttyACM0");
    EXPECT_EQ(name_for("/dev/ttyUSB10"), "LCK..ttyUSB10");
    EXPECT_EQ(name_for("/dev/pts/3"), "LCK..pts_3");
    // A link is followed to the device it names.
    char folder[] = "/tmp/zcal-lock-name.XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string link = std::string(folder) + "/usb-Printer-if00";
    ASSERT_EQ(symlink("/dev/null", link.c_str()), 0);
    EXPECT_EQ(name_for(link.c_str()), "LCK..null");
    unlink(link.c_str());
    rmdir(folder);
}

// A PID that was alive a moment ago and is gone now.
pid_t dead_pid() {
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

bool is_link(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

// Two lock folders of our own, as /run/lock and /var/lock would be.
class lock_folders : public ::testing::Test {
protected:
    void SetUp() override {
        for (std::string* folder : {&first, &second, &elsewhere}) {
            char name[] = "/tmp/zcal-locks.XXXXXX";
            ASSERT_NE(mkdtemp(name), nullptr);
            *folder = name;
        }
        folders[0] = first.c_str();
        folders[1] = second.c_str();
        use_lock_folders(folders, 2);
        victim = elsewhere + "/victim";
        write_text(victim, "precious\n");
    }
    void TearDown() override {
        release_port_lock_file(port_fd);
        static const char* const machine[] = {"/run/lock", "/var/lock"};
        use_lock_folders(machine, 2);
        for (const std::string& folder : {first, second, elsewhere}) {
            std::system(("rm -rf '" + folder + "'").c_str());
        }
    }
    std::string lock_in(const std::string& folder) { return folder + "/LCK..ttyACM0"; }
    bool take(port_lock_holder* holder) { return take_port_lock_file("/dev/ttyACM0", port_fd, holder); }

    std::string first, second, elsewhere, victim;
    const char* folders[2] = {};
    int port_fd = 7;  // any descriptor number: the lock is only tied to it
};

TEST_F(lock_folders, a_free_port_gets_our_lock_until_it_is_released) {
    port_lock_holder holder{};
    ASSERT_TRUE(take(&holder));
    EXPECT_EQ(read_text(lock_in(first)), lock_file_content(getpid()));
    struct stat status;
    ASSERT_EQ(stat(lock_in(first).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);
    EXPECT_NE(access(lock_in(second).c_str(), F_OK), 0) << "one lock file is enough";
    release_port_lock_file(port_fd);
    EXPECT_NE(access(lock_in(first).c_str(), F_OK), 0);
}

TEST_F(lock_folders, remove_port_lock_files_removes_what_is_held) {
    port_lock_holder holder{};
    ASSERT_TRUE(take(&holder));
    remove_port_lock_files();
    EXPECT_NE(access(lock_in(first).c_str(), F_OK), 0);
}

TEST_F(lock_folders, a_live_process_s_lock_in_either_folder_refuses_the_port) {
    const pid_t alive = getppid();
    for (const std::string* folder : {&first, &second}) {
        write_text(lock_in(*folder), lock_file_content(alive));
        port_lock_holder holder{};
        EXPECT_FALSE(take(&holder));
        EXPECT_EQ(holder.pid, alive);
        EXPECT_EQ(std::string(holder.path), lock_in(*folder));
        EXPECT_EQ(read_text(lock_in(*folder)), lock_file_content(alive))
            << "another program's lock was touched";
        unlink(lock_in(*folder).c_str());
    }
    EXPECT_NE(access(lock_in(first).c_str(), F_OK), 0) << "no lock of ours is left behind";
}

// A name in the lock folder that is no lock of a live process is replaced
// by ours, and whatever a link there points at is never written.
enum class planted { content, stale_pid, own_pid, link_to_victim };

struct planted_case {
    const char* name;
    planted kind;
    const char* content;
};

class planted_lock : public lock_folders, public ::testing::WithParamInterface<planted_case> {};

TEST_P(planted_lock, is_replaced_by_ours) {
    const planted_case& c = GetParam();
    const std::string lock = lock_in(first);
    switch (c.kind) {
        case planted::content:
            write_text(lock, c.content);
            break;
        case planted::stale_pid:
            write_text(lock, lock_file_content(dead_pid()));
            break;
        case planted::own_pid:
            write_text(lock, lock_file_content(getpid()));
            break;
        case planted::link_to_victim:
            ASSERT_EQ(symlink(victim.c_str(), lock.c_str()), 0);
            break;
    }
    port_lock_holder holder{};
    ASSERT_TRUE(take(&holder));
    EXPECT_FALSE(is_link(lock));
    EXPECT_EQ(read_text(lock), lock_file_content(getpid()));
    EXPECT_EQ(read_text(victim), "precious\n");
}

INSTANTIATE_TEST_SUITE_P(lock_files, planted_lock,
                         ::testing::Values(planted_case{"stale", planted::stale_pid, ""},
                                           planted_case{"ours_from_before", planted::own_pid, ""},
                                           planted_case{"empty", planted::content, ""},
                                           planted_case{"garbage", planted::content, "not a pid\n"},
                                           planted_case{"link_to_another_file", planted::link_to_victim, ""}),
                         [](const ::testing::TestParamInfo<planted_case>& instance) {
                             return std::string(instance.param.name);
                         });

TEST_F(lock_folders, a_link_named_like_a_live_lock_is_no_lock) {
    // The link points at a file that names a live process: the link is
    // still no lock file.
    write_text(victim, lock_file_content(getppid()));
    ASSERT_EQ(symlink(victim.c_str(), lock_in(first).c_str()), 0);
    port_lock_holder holder{};
    ASSERT_TRUE(take(&holder));
    EXPECT_EQ(read_text(victim), lock_file_content(getppid()));
    EXPECT_EQ(read_text(lock_in(first)), lock_file_content(getpid()));
}

TEST_F(lock_folders, folders_we_cannot_write_in_do_not_refuse_the_port) {
    const std::string missing = first + "/no-such-folder";
    const char* unusable[] = {missing.c_str()};
    use_lock_folders(unusable, 1);
    port_lock_holder holder{};
    EXPECT_TRUE(take(&holder));
}

}  // namespace
