// The serial layer on real pseudo-terminal pairs: the test holds the master
// side (the printer's end), the layer opens the slave side as its port.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/error_codes.h"
#include "platform/posix/handles.h"
#include "platform/posix/port_lock_file.h"
#include "platform/posix/serial_open.h"
#include "platform/posix/serial_termios2.h"
#include "platform/posix/skip_reasons.h"
#include "text_file.h"

namespace {

using harness::lock_file_content;
using harness::read_text;

using namespace zcal_posix;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

struct pty_pair {
    int master = -1;
    std::string slave;

    pty_pair() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) {
            slave = ptsname(master);
        }
    }
    ~pty_pair() { close_master(); }
    void close_master() {
        if (master >= 0) {
            close(master);
            master = -1;
        }
    }
    // What the printer's end has received within timeout_ms.
    std::string receive(std::size_t wanted, int timeout_ms = 2000) {
        std::string bytes;
        const auto deadline = steady_clock::now() + milliseconds(timeout_ms);
        while (bytes.size() < wanted && steady_clock::now() < deadline) {
            struct pollfd ready = {master, POLLIN, 0};
            if (poll(&ready, 1, 50) > 0) {
                char chunk[256];
                const ssize_t got = read(master, chunk, sizeof chunk);
                if (got <= 0) {
                    break;
                }
                bytes.append(chunk, static_cast<std::size_t>(got));
            }
        }
        return bytes;
    }
    void send(const std::string& bytes) {
        ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
};

// A watchdog: a call that should return but blocks ends the test binary
// with SIGALRM instead of hanging the run.
struct watchdog {
    explicit watchdog(unsigned seconds) { alarm(seconds); }
    ~watchdog() { alarm(0); }
};

class serial_on_pty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(pty.slave.empty()) << "no pseudo-terminal: " << std::strerror(errno);
        // The port's lock file goes to a folder of the test's own.
        char folder[] = "/tmp/zcal-serial-locks.XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        lock_folder = folder;
        lock_folders[0] = lock_folder.c_str();
        use_lock_folders(lock_folders, 1);
        clear_port_skips();
    }
    void TearDown() override {
        if (port != INVALID_HANDLE_VALUE) {
            CloseHandle(port);
        }
        static const char* const machine[] = {"/run/lock", "/var/lock"};
        use_lock_folders(machine, 2);
        std::system(("rm -rf '" + lock_folder + "'").c_str());
    }
    std::string lock_file() const {
        return lock_folder + "/LCK.." + pty.slave.substr(5, 3) + "_" + pty.slave.substr(9);
    }
    HANDLE open_port() { return open_serial_device(pty.slave.c_str(), GENERIC_READ | GENERIC_WRITE, 0); }
    // Opens and sets up the port the way the program does.
    void open_like_the_program() {
        port = open_port();
        ASSERT_NE(port, INVALID_HANDLE_VALUE) << "error " << GetLastError();
        DCB settings{};
        settings.DCBlength = sizeof settings;
        ASSERT_TRUE(BuildCommDCBA("250000,n,8,1", &settings));
        ASSERT_TRUE(SetCommState(port, &settings)) << "error " << GetLastError();
        COMMTIMEOUTS timeouts{1, 1, 1, 0, 0};
        ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    }
    int port_fd() { return port_slot_of(port)->fd; }

    pty_pair pty;
    HANDLE port = INVALID_HANDLE_VALUE;
    std::string lock_folder;
    const char* lock_folders[1] = {};
};

TEST_F(serial_on_pty, the_line_runs_at_250000_baud) {
    open_like_the_program();
    unsigned baud = 0;
    ASSERT_EQ(read_serial_speed(port_fd(), &baud), 0);
    EXPECT_EQ(baud, 250000u);
}

TEST_F(serial_on_pty, a_read_with_nothing_to_read_returns_with_no_byte) {
    open_like_the_program();
    watchdog guard(10);
    char byte = 'x';
    DWORD count = 99;
    const auto start = steady_clock::now();
    EXPECT_TRUE(ReadFile(port, &byte, 1, &count, nullptr));
    EXPECT_EQ(count, 0u);
    EXPECT_LT(steady_clock::now() - start, milliseconds(1000));
}

TEST_F(serial_on_pty, bytes_come_in_order_one_read_at_a_time) {
    open_like_the_program();
    watchdog guard(10);
    pty.send("ok\r\n");
    std::string received;
    for (int i = 0; i < 4; ++i) {
        char byte = 0;
        DWORD count = 0;
        // The bytes are on their way through the pty: allow a few empty reads.
        for (int tries = 0; tries < 200 && count == 0; ++tries) {
            ASSERT_TRUE(ReadFile(port, &byte, 1, &count, nullptr));
        }
        ASSERT_EQ(count, 1u);
        received.push_back(byte);
    }
    EXPECT_EQ(received, "ok\r\n");
    char byte = 0;
    DWORD count = 99;
    EXPECT_TRUE(ReadFile(port, &byte, 1, &count, nullptr));
    EXPECT_EQ(count, 0u);
}

TEST_F(serial_on_pty, a_longer_read_takes_what_comes_within_its_time_out) {
    open_like_the_program();
    watchdog guard(10);
    COMMTIMEOUTS timeouts{0, 0, 500, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    pty.send("abc");
    char bytes[8] = {};
    DWORD count = 0;
    EXPECT_TRUE(ReadFile(port, bytes, sizeof bytes, &count, nullptr));
    EXPECT_EQ(std::string(bytes, count), "abc");
}

TEST_F(serial_on_pty, a_command_goes_out_byte_for_byte) {
    open_like_the_program();
    watchdog guard(10);
    const std::string command = "G1 F600 Z201.000\n";
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(port, command.data(), static_cast<DWORD>(command.size()), &written, nullptr));
    EXPECT_EQ(written, 17u);
    // Raw: the line feed is not turned into a carriage return and line feed.
    EXPECT_EQ(pty.receive(17), command);
    EXPECT_EQ(pty.receive(1, 100), "");
}

TEST_F(serial_on_pty, a_hung_up_device_fails_reads_at_once_instead_of_blocking) {
    open_like_the_program();
    // Reads that would wait for ever on a live device.
    COMMTIMEOUTS forever{0, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &forever));
    pty.close_master();
    watchdog guard(10);
    for (int i = 0; i < 3; ++i) {
        char byte = 0;
        DWORD count = 99;
        const auto start = steady_clock::now();
        EXPECT_FALSE(ReadFile(port, &byte, 1, &count, nullptr));
        EXPECT_EQ(count, 0u);
        EXPECT_NE(GetLastError(), ERROR_SUCCESS);
        EXPECT_LT(steady_clock::now() - start, milliseconds(1000));
    }
    DWORD written = 99;
    EXPECT_FALSE(WriteFile(port, "x", 1, &written, nullptr));
}

TEST_F(serial_on_pty, a_hung_up_device_fails_the_program_s_reads_too) {
    open_like_the_program();
    pty.close_master();
    watchdog guard(10);
    char byte = 0;
    DWORD count = 99;
    EXPECT_FALSE(ReadFile(port, &byte, 1, &count, nullptr));
    EXPECT_EQ(count, 0u);
}

TEST_F(serial_on_pty, a_device_that_stops_taking_bytes_fails_the_write_instead_of_freezing) {
    open_like_the_program();
    watchdog guard(20);
    // The printer's end never reads: the pty's buffers fill, then the
    // write must give up after its bound.
    const std::vector<char> lots(4 << 20, 'x');
    DWORD written = 0;
    const auto start = steady_clock::now();
    EXPECT_FALSE(WriteFile(port, lots.data(), static_cast<DWORD>(lots.size()), &written, nullptr));
    EXPECT_EQ(GetLastError(), error_sem_timeout);
    EXPECT_LT(written, lots.size());
    EXPECT_GE(steady_clock::now() - start, milliseconds(500));
    EXPECT_LT(steady_clock::now() - start, milliseconds(10000));
}

TEST_F(serial_on_pty, the_port_is_exclusive_while_open) {
    open_like_the_program();
    const HANDLE second = open_port();
    EXPECT_EQ(second, INVALID_HANDLE_VALUE);
    // flock refuses even root; TIOCEXCL refuses other users first.
    EXPECT_TRUE(GetLastError() == ERROR_SHARING_VIOLATION || GetLastError() == ERROR_ACCESS_DENIED)
        << GetLastError();
}

TEST_F(serial_on_pty, a_port_another_program_has_locked_is_refused) {
    const int other = open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(open_port(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    close(other);
    port = open_port();
    EXPECT_NE(port, INVALID_HANDLE_VALUE);
}

TEST_F(serial_on_pty, a_port_another_process_has_open_is_refused) {
    // Opened, not locked: a terminal program or a print host that does not
    // lock still owns the port.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t other = fork();
    if (other == 0) {
        const int fd = open(pty.slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 || write(ready[1], "y", 1) != 1)
            _exit(1);
        pause();
        _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    EXPECT_EQ(open_port(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    kill(other, SIGKILL);
    waitpid(other, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    port = open_port();
    EXPECT_NE(port, INVALID_HANDLE_VALUE);
}

TEST_F(serial_on_pty, a_line_another_program_made_exclusive_is_refused_and_stays_exclusive) {
    // Root opens an exclusive line all the same; a user is refused by open.
    const int other = open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(ioctl(other, TIOCEXCL), 0);
    EXPECT_EQ(open_port(), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(GetLastError() == ERROR_SHARING_VIOLATION || GetLastError() == ERROR_ACCESS_DENIED);
    int exclusive = 0;
    ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1) << "zcal took back another program's exclusive mode";
    ioctl(other, TIOCNXCL);
    close(other);
}

TEST_F(serial_on_pty, a_lock_file_with_our_pid_stands_while_the_port_is_open) {
    open_like_the_program();
    EXPECT_EQ(read_text(lock_file()), lock_file_content(getpid()));
    ASSERT_TRUE(CloseHandle(port));
    port = INVALID_HANDLE_VALUE;
    EXPECT_NE(access(lock_file().c_str(), F_OK), 0) << "the lock file outlived the port";
}

TEST_F(serial_on_pty, a_port_whose_lock_file_names_a_live_process_is_refused) {
    const std::string content = lock_file_content(getppid());
    const int fd = open(lock_file().c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(fd);
    EXPECT_EQ(open_port(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(read_text(lock_file()), content);
    // Nothing of the attempt stays: no exclusive mode, no flock.
    const int other = open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    int exclusive = 1;
    ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    close(other);
}

TEST_F(serial_on_pty, closing_the_port_lets_it_be_opened_again) {
    open_like_the_program();
    ASSERT_TRUE(CloseHandle(port));
    // A pseudo-terminal would keep TIOCEXCL after the close: it is given up.
    const int other = open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    int exclusive = 1;
    ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    close(other);
    port = open_port();
    EXPECT_NE(port, INVALID_HANDLE_VALUE);
}

TEST_F(serial_on_pty, a_closed_port_handle_is_no_handle) {
    open_like_the_program();
    const HANDLE closed = port;
    ASSERT_TRUE(CloseHandle(port));
    port = INVALID_HANDLE_VALUE;
    EXPECT_FALSE(CloseHandle(closed));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    char byte = 0;
    DWORD count = 0;
    EXPECT_FALSE(ReadFile(closed, &byte, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(WriteFile(closed, "x", 1, &count, nullptr));
    DCB settings{};
    EXPECT_FALSE(SetCommState(closed, &settings));
    COMMTIMEOUTS timeouts{};
    EXPECT_FALSE(SetCommTimeouts(closed, &timeouts));
}

TEST(serial_open, a_path_that_is_no_terminal_is_no_serial_port) {
    EXPECT_EQ(open_serial_device("/dev/null", GENERIC_READ | GENERIC_WRITE, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(serial_open, a_missing_device_is_not_found) {
    EXPECT_EQ(open_serial_device("/dev/zcal-no-such-device", GENERIC_READ | GENERIC_WRITE, 0),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(create_file, names_that_are_no_port_are_not_found) {
    for (const char* name : {"\\\\.\\COM21", "COM1", "/dev/null", "\\\\.\\COM03"}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE)
            << name;
        EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND) << name;
    }
}

TEST(create_file, a_port_is_never_created) {
    EXPECT_EQ(CreateFileA("\\\\.\\COM0", GENERIC_READ | GENERIC_WRITE, 0, nullptr, 2, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(handles, unknown_handles_fail_with_invalid_handle) {
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(0x1234567)));
    EXPECT_EQ(GetStdHandle(static_cast<DWORD>(-12)), INVALID_HANDLE_VALUE);
}

TEST(build_comm_dcb, a_malformed_mode_string_is_refused) {
    DCB settings{};
    settings.DCBlength = sizeof settings;
    EXPECT_FALSE(BuildCommDCBA("250000,q,8,1", &settings));
    EXPECT_FALSE(BuildCommDCBA("fast", &settings));
    EXPECT_TRUE(BuildCommDCBA("250000,n,8,1", &settings));
    EXPECT_EQ(settings.BaudRate, 250000u);
}

TEST(sleep, sleeps_at_least_as_long_as_asked) {
    const auto start = steady_clock::now();
    Sleep(20);
    EXPECT_GE(steady_clock::now() - start, milliseconds(20));
}

TEST(last_error, keeps_what_was_set) {
    SetLastError(1234);
    EXPECT_EQ(GetLastError(), 1234u);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
}

}  // namespace
