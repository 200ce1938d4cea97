// The console layer in a real terminal: zcal itself, and a small key
// reading program, each run on a pseudo-terminal the test holds, reading
// what they draw and checking the terminal's mode before, during and after.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "terminal_screen.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using zcal_test::terminal_screen;

// A program running on a new pseudo-terminal as its controlling terminal.
class on_terminal {
public:
    on_terminal(const std::vector<std::string>& arguments, int columns, int rows, const char* lang)
        : screen_(columns, rows) {
        struct winsize size = {};
        size.ws_col = static_cast<unsigned short>(columns);
        size.ws_row = static_cast<unsigned short>(rows);
        pid_ = forkpty(&master_, nullptr, nullptr, &size);
        if (pid_ == 0) {
            unsetenv("LC_ALL");
            unsetenv("LC_CTYPE");
            setenv("LANG", lang, 1);
            setenv("TERM", "xterm", 1);
            std::vector<char*> argv;
            for (const std::string& argument : arguments) {
                argv.push_back(const_cast<char*>(argument.c_str()));
            }
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        // What the terminal was before the program touched it.
        tcgetattr(master_, &before_);
    }

    ~on_terminal() {
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) {
            close(master_);
        }
    }

    bool started() const { return pid_ > 0 && master_ >= 0; }

    // Reads the program's output until the screen shows text, or the time
    // is up.
    bool wait_for(const std::string& text, int timeout_ms = 5000) {
        const auto deadline = steady_clock::now() + milliseconds(timeout_ms);
        while (steady_clock::now() < deadline) {
            if (shows(text)) {
                return true;
            }
            read_some(50);
        }
        return shows(text);
    }

    bool shows(const std::string& text) const {
        for (int row = 0; row < rows(); ++row) {
            if (screen_.row_text(row).find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    void type(const std::string& bytes) {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    void resize(int columns, int rows) {
        struct winsize size = {};
        size.ws_col = static_cast<unsigned short>(columns);
        size.ws_row = static_cast<unsigned short>(rows);
        ioctl(master_, TIOCSWINSZ, &size);
        screen_ = terminal_screen(columns, rows);
        rows_ = rows;
    }

    // The program's end: the wait status, or -1 if it did not end in time.
    int wait_for_end(int timeout_ms = 5000, int options = 0) {
        const auto deadline = steady_clock::now() + milliseconds(timeout_ms);
        while (steady_clock::now() < deadline) {
            int status = 0;
            const pid_t done = waitpid(pid_, &status, WNOHANG | options);
            if (done == pid_) {
                if (!(options & WUNTRACED) || !WIFSTOPPED(status)) {
                    ended_ = true;
                }
                read_some(100);
                return status;
            }
            read_some(20);
        }
        return -1;
    }

    struct termios mode() const {
        struct termios now;
        tcgetattr(master_, &now);
        return now;
    }
    const struct termios& mode_before() const { return before_; }
    const terminal_screen& screen() const { return screen_; }
    const std::string& output() const { return output_; }
    pid_t pid() const { return pid_; }
    int rows() const { return rows_ > 0 ? rows_ : 0; }
    void set_rows(int rows) { rows_ = rows; }

    void read_some(int timeout_ms) {
        struct pollfd ready = {master_, POLLIN, 0};
        if (poll(&ready, 1, timeout_ms) > 0 && (ready.revents & POLLIN)) {
            char chunk[4096];
            const ssize_t got = read(master_, chunk, sizeof chunk);
            if (got > 0) {
                const std::string bytes(chunk, static_cast<std::size_t>(got));
                output_ += bytes;
                screen_.feed(bytes);
            }
        }
    }

private:
    int master_ = -1;
    pid_t pid_ = -1;
    bool ended_ = false;
    int rows_ = 0;
    struct termios before_ = {};
    std::string output_;
    terminal_screen screen_;
};

bool cooked(const struct termios& mode) { return (mode.c_lflag & ICANON) && (mode.c_lflag & ECHO); }
bool raw_with_signals(const struct termios& mode) {
    return !(mode.c_lflag & ICANON) && !(mode.c_lflag & ECHO) && (mode.c_lflag & ISIG);
}

std::string file_text(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A temporary file's path; the file is removed when the test ends.
struct temporary_file {
    std::string path;
    temporary_file() {
        char name[] = "/tmp/zcal-test-XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0) {
            close(fd);
            path = name;
        }
    }
    ~temporary_file() {
        if (!path.empty()) {
            unlink(path.c_str());
        }
    }
};

// Runs a program with standard input and output on fds of the test's
// choosing, and gives its wait status, or -1 (and kills it) when it has not
// ended in time.
int run_without_terminal(const std::vector<std::string>& arguments, int input, int output,
                         int timeout_ms = 10000) {
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(input, STDIN_FILENO);
        dup2(output, STDOUT_FILENO);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = -1;
    const auto deadline = steady_clock::now() + milliseconds(timeout_ms);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        usleep(10000);
    }
    return status;
}

// zcal probes the machine's real USB serial devices: on a machine with one,
// the run would open it. These tests need a machine without.
bool machine_has_a_port() {
    for (int n = 0; n <= 10; ++n) {
        for (const char* kind : {"ACM", "USB"}) {
            const std::string path = "/dev/tty" + std::string(kind) + std::to_string(n);
            if (access(path.c_str(), F_OK) == 0) {
                return true;
            }
        }
    }
    return false;
}

class zcal_on_terminal : public ::testing::Test {
protected:
    void SetUp() override {
        if (machine_has_a_port()) {
            GTEST_SKIP() << "this machine has a USB serial device that zcal would open";
        }
    }
    std::unique_ptr<on_terminal> start(int columns = 130, int rows = 30, const char* lang = "C.UTF-8") {
        auto run = std::make_unique<on_terminal>(std::vector<std::string>{ZCAL_BINARY}, columns, rows, lang);
        run->set_rows(rows);
        return run;
    }
};

TEST_F(zcal_on_terminal, draws_its_screen_waits_for_a_key_and_gives_the_terminal_back) {
    auto run = start();
    ASSERT_TRUE(run->started());
    ASSERT_TRUE(run->wait_for("Error: unable to find serial comm0)")) << run->output();
    const terminal_screen& screen = run->screen();
    EXPECT_EQ(screen.at(1, 5), "\u250C");
    EXPECT_EQ(screen.at(118, 5), "\u2510");
    EXPECT_EQ(screen.at(1, 24), "\u2514");
    EXPECT_EQ(screen.at(118, 24), "\u2518");
    EXPECT_EQ(screen.at(60, 5), "\u2500");
    EXPECT_EQ(screen.at(60, 24), "\u2500");
    EXPECT_EQ(screen.at(1, 15), "\u2502");
    EXPECT_EQ(screen.at(118, 15), "\u2502");
    EXPECT_EQ(screen.text(37, 3, 39), "Tandrovelmaris - Rudodidez Aduri Zudazo");
    EXPECT_EQ(screen.style_at(37, 3), "0;33;49");
    EXPECT_EQ(screen.text(3, 8, 35), "Press 'a' to level up step (+1.000)");
    EXPECT_EQ(screen.title(), "Tandrovelmaris | Dadez");
    EXPECT_TRUE(raw_with_signals(run->mode()));

    run->type("x");
    const int status = run->wait_for_end();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(cooked(run->mode()));
    EXPECT_EQ(run->mode().c_lflag, run->mode_before().c_lflag);
    EXPECT_EQ(run->mode().c_iflag, run->mode_before().c_iflag);
    // The shell's prompt comes below the frame, not inside it.
    EXPECT_EQ(run->screen().cursor_row(), 25);
    EXPECT_EQ(run->screen().cursor_column(), 0);
}

TEST_F(zcal_on_terminal, without_utf8_the_frame_is_ascii) {
    auto run = start(130, 30, "C");
    ASSERT_TRUE(run->wait_for("Error: unable to find serial comm")) << run->output();
    EXPECT_EQ(run->screen().row_text(5).substr(1, 118), "+" + std::string(116, '-') + "+");
    EXPECT_EQ(run->screen().row_text(24).substr(1, 118), "+" + std::string(116, '-') + "+");
    run->type(" ");
    EXPECT_EQ(run->wait_for_end(), 0);
}

TEST_F(zcal_on_terminal, sigterm_ends_it_with_the_terminal_given_back) {
    auto run = start();
    ASSERT_TRUE(run->wait_for("Error: unable to find serial comm")) << run->output();
    ASSERT_TRUE(raw_with_signals(run->mode()));
    kill(run->pid(), SIGTERM);
    const int status = run->wait_for_end();
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_TRUE(cooked(run->mode()));
    EXPECT_EQ(run->screen().cursor_row(), 25);
}

TEST_F(zcal_on_terminal, ctrl_c_ends_it_with_the_terminal_given_back) {
    auto run = start();
    ASSERT_TRUE(run->wait_for("Error: unable to find serial comm")) << run->output();
    run->type("\x03");
    const int status = run->wait_for_end();
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGINT);
    EXPECT_TRUE(cooked(run->mode()));
}

TEST_F(zcal_on_terminal, ctrl_z_suspends_it_cooked_and_fg_brings_it_back_raw_and_redrawn) {
    temporary_file job_file;
    const std::string& log_path = job_file.path;
    auto job_log = [&] { return file_text(log_path); };
    // zcal as the foreground job of a shell, as a person runs it.
    on_terminal run({ZCAL_CONSOLE_DRIVER, "--job", log_path, ZCAL_BINARY}, 130, 30, "C.UTF-8");
    run.set_rows(30);
    ASSERT_TRUE(run.wait_for("Error: unable to find serial comm")) << run.output();
    ASSERT_TRUE(raw_with_signals(run.mode()));

    run.type("\x1a");
    auto deadline = steady_clock::now() + milliseconds(5000);
    while (job_log().find("stopped") == std::string::npos && steady_clock::now() < deadline) {
        run.read_some(20);
    }
    ASSERT_NE(job_log().find("stopped"), std::string::npos);
    EXPECT_TRUE(cooked(run.mode()));

    run.resize(130, 30);  // a fresh screen: what comes now is the redraw
    kill(run.pid(), SIGUSR1);
    deadline = steady_clock::now() + milliseconds(5000);
    while (!raw_with_signals(run.mode()) && steady_clock::now() < deadline) {
        run.read_some(20);
    }
    EXPECT_TRUE(raw_with_signals(run.mode()));
    // Drawn again at its next wait: the key that ends it wakes it.
    run.type("q");
    ASSERT_TRUE(run.wait_for("Error: unable to find serial comm0)")) << run.output();
    EXPECT_EQ(run.screen().at(1, 5), "\u250C");
    const int status = run.wait_for_end();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(job_log().find("exited 0"), std::string::npos) << job_log();
    EXPECT_TRUE(cooked(run.mode()));
}

TEST_F(zcal_on_terminal, a_small_terminal_is_asked_to_grow_and_waited_for) {
    auto run = start(80, 24);
    ASSERT_TRUE(run->wait_for("zcal needs a terminal of at least 119 x 25; this one is 80 x 24.")) << run->output();
    EXPECT_NE(run->output().find("\x1b[8;25;119t"), std::string::npos);
    // Keys typed at the message are not for the program.
    run->type("a");
    run->read_some(100);
    EXPECT_FALSE(run->shows("Tandrovelmaris"));

    run->resize(130, 30);
    ASSERT_TRUE(run->wait_for("Error: unable to find serial comm0)")) << run->output();
    EXPECT_FALSE(run->shows("zcal needs"));
    EXPECT_EQ(run->screen().at(1, 5), "\u250C");
    run->type(" ");
    EXPECT_EQ(run->wait_for_end(), 0);
}

TEST_F(zcal_on_terminal, a_terminal_still_too_small_says_its_new_size) {
    auto run = start(80, 24);
    ASSERT_TRUE(run->wait_for("this one is 80 x 24")) << run->output();
    run->resize(100, 26);
    ASSERT_TRUE(run->wait_for("this one is 100 x 26")) << run->output();
    kill(run->pid(), SIGTERM);
    const int status = run->wait_for_end();
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(cooked(run->mode()));
}

TEST(zcal_without_terminal, input_that_is_no_terminal_ends_the_run_at_once) {
    if (machine_has_a_port()) {
        GTEST_SKIP() << "this machine has a USB serial device that zcal would open";
    }
    temporary_file output;
    const int nothing = open("/dev/null", O_RDONLY);
    const int written = open(output.path.c_str(), O_WRONLY);
    const int status = run_without_terminal({ZCAL_BINARY}, nothing, written);
    close(nothing);
    close(written);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(file_text(output.path).find("Error: unable to find serial comm"), std::string::npos);
}

// The key reading program: what a person types arrives as key records.
class keys_on_terminal : public ::testing::Test {
protected:
    std::string log() const { return file_text(log_file.path); }
    bool wait_for_log(const std::string& text, on_terminal& run) {
        const auto deadline = steady_clock::now() + milliseconds(5000);
        while (log().find(text) == std::string::npos && steady_clock::now() < deadline) {
            run.read_some(20);
        }
        return log().find(text) != std::string::npos;
    }
    temporary_file log_file;
    const std::string& log_path = log_file.path;
};

TEST_F(keys_on_terminal, typed_keys_become_records_in_order) {
    on_terminal run({ZCAL_CONSOLE_DRIVER, log_path}, 130, 30, "C.UTF-8");
    ASSERT_TRUE(wait_for_log("ready\n", run));
    run.type("aZ");
    run.type("\x1b[A");
    run.type("\x1b[<0;5;5M");
    run.type("\x1b[200~");
    run.type("\xc3\xa9");
    run.type("e ");
    ASSERT_TRUE(wait_for_log("key 20\n", run)) << log();
    EXPECT_EQ(log(), "ready\nkey 41\nkey 5A\nkey 00\nkey 00\nkey 00\nkey 00\nkey 45\nkey 20\n");
    EXPECT_EQ(run.wait_for_end(), 0);
    EXPECT_TRUE(cooked(run.mode()));
}

TEST_F(keys_on_terminal, a_lone_escape_arrives_after_its_time_out) {
    on_terminal run({ZCAL_CONSOLE_DRIVER, log_path}, 130, 30, "C.UTF-8");
    ASSERT_TRUE(wait_for_log("ready\n", run));
    run.type("\x1b");
    ASSERT_TRUE(wait_for_log("key 00\n", run)) << log();
    run.type(" ");
    EXPECT_EQ(run.wait_for_end(), 0);
}

TEST_F(keys_on_terminal, a_resize_becomes_a_window_size_record) {
    on_terminal run({ZCAL_CONSOLE_DRIVER, log_path}, 130, 30, "C.UTF-8");
    ASSERT_TRUE(wait_for_log("ready\n", run));
    run.resize(140, 40);
    ASSERT_TRUE(wait_for_log("size 140 40\n", run)) << log();
    run.type(" ");
    EXPECT_EQ(run.wait_for_end(), 0);
}

TEST_F(keys_on_terminal, input_that_ends_ends_the_reading) {
    const int nothing = open("/dev/null", O_RDWR);
    const int status = run_without_terminal({ZCAL_CONSOLE_DRIVER, log_path}, nothing, nothing, 5000);
    close(nothing);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(log(), "ready\nended 38\n");
}

}  // namespace
