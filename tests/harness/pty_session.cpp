#include "pty_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "proc_stats.h"
#include "text_file.h"

namespace harness {

namespace {

void write_all(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = write(fd, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN) {
            pollfd writable{fd, POLLOUT, 0};
            poll(&writable, 1, 100);
            continue;
        }
        if (count <= 0)
            return;
        done += static_cast<std::size_t>(count);
    }
}

std::int64_t deadline_after(double seconds) { return now_us() + static_cast<std::int64_t>(seconds * 1e6); }

int status_of(int wait_status) {
    return WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
}

}  // namespace

pty_session::pty_session(const launch& how)
    : with_printer_(how.with_printer), screen_(how.columns, how.rows, &pty_session::forward_reply, this) {
    char directory[] = "/tmp/zcal-pty.XXXXXX";
    if (mkdtemp(directory) == nullptr) {
        ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
        return;
    }
    directory_ = directory;
    printer_ = printer_log(directory_ + "/printer.log");

    winsize size{};
    size.ws_row = static_cast<unsigned short>(how.rows);
    size.ws_col = static_cast<unsigned short>(how.columns);
    if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) {
        ADD_FAILURE() << "openpty: " << std::strerror(errno);
        return;
    }
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    tcgetattr(slave_, &mode_before_);

    // Everything the child needs is made before fork().
    std::vector<std::string> arguments;
    if (how.with_printer) {
        arguments = {WITH_PRINTER_PATH, "--dir", directory_, "--emulator", EMULATOR_PATH};
        arguments.insert(arguments.end(), how.printer_options.begin(), how.printer_options.end());
        arguments.push_back("--");
    }
    arguments.push_back(how.program);
    arguments.insert(arguments.end(), how.arguments.begin(), how.arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment = how.environment;
    environment.push_back("LANG=" + how.locale);
    environment.push_back("LC_ALL=" + how.locale);
    environment.push_back("TERM=xterm");
    const int input = how.stdin_from_null ? open("/dev/null", O_RDONLY | O_CLOEXEC) : slave_;
    const int output = how.stdout_path.empty()
                           ? slave_
                           : open(how.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);

    started_us_ = now_us();
    child_pid_ = fork();
    if (child_pid_ == 0) {
        // A session of its own with the pty as its terminal, like a shell
        // started in a terminal window.
        setsid();
        ioctl(slave_, TIOCSCTTY, 0);
        dup2(input, 0);
        dup2(output, 1);
        dup2(slave_, 2);
        unsetenv("LC_CTYPE");
        for (std::string& setting : environment)
            putenv(setting.data());
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (input != slave_ && input >= 0)
        close(input);
    if (output != slave_ && output >= 0)
        close(output);
    if (child_pid_ < 0)
        ADD_FAILURE() << "fork: " << std::strerror(errno);
    if (!how.with_printer)
        program_pid_ = child_pid_;
}

void pty_session::end_everything() {
    // A test that failed half-way: end everything it started. The session's
    // own processes (the program, a job shell's job, helpers) go at once;
    // with_printer is asked first, so it ends its emulator on the way out.
    for (pid_t member : session_members(child_pid_)) {
        if (member != child_pid_)
            kill(member, SIGKILL);
    }
    kill(child_pid_, with_printer_ ? SIGTERM : SIGKILL);
    int status = 0;
    for (int i = 0; i < 200 && waitpid(child_pid_, &status, WNOHANG) == 0; ++i)
        usleep(10000);
    if (waitpid(child_pid_, &status, WNOHANG) == 0) {
        kill(child_pid_, SIGKILL);
        waitpid(child_pid_, &status, 0);
    }
}

pty_session::~pty_session() {
    if (child_pid_ > 0 && !exited_)
        end_everything();
    if (master_ >= 0)
        close(master_);
    if (slave_ >= 0)
        close(slave_);
    if (directory_.empty())
        return;
    // A failed test gets what the emulator said about the run; nothing of
    // the run is left behind either way.
    if (::testing::Test::HasFailure()) {
        const std::string complaints = read_text(directory_ + "/emulator.err");
        if (!complaints.empty())
            std::printf("printer emulator:\n%s", complaints.c_str());
    }
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

void pty_session::forward_reply(const char* bytes, std::size_t length, void* session) {
    // Answers the terminal gives to the program's queries (cursor position,
    // device attributes) go back to it, as a real terminal's do.
    auto* self = static_cast<pty_session*>(session);
    if (self->master_ >= 0)
        write_all(self->master_, std::string(bytes, length));
}

void pty_session::pump(std::int64_t timeout_us) {
    timeout_us = std::max<std::int64_t>(timeout_us, 0);
    const timespec timeout{static_cast<time_t>(timeout_us / 1000000),
                           static_cast<long>(timeout_us % 1000000) * 1000};
    if (master_ < 0) {
        nanosleep(&timeout, nullptr);
        return;
    }
    pollfd readable{master_, POLLIN, 0};
    if (ppoll(&readable, 1, &timeout, nullptr) <= 0)
        return;
    char buffer[16384];
    for (;;) {
        const ssize_t count = read(master_, buffer, sizeof buffer);
        // Taken right after the read: when the bytes arrived.
        const std::int64_t at = now_us();
        if (count > 0) {
            output_.append(buffer, static_cast<std::size_t>(count));
            reads_.emplace_back(at, output_.size());
            screen_.feed(buffer, static_cast<std::size_t>(count));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno != EAGAIN)
            nanosleep(&timeout, nullptr);
        return;
    }
}

std::int64_t pty_session::wait_until(const std::function<bool()>& condition, double seconds) {
    const std::int64_t deadline = deadline_after(seconds);
    for (;;) {
        pump(0);
        const std::int64_t checked_at = now_us();
        if (condition())
            return checked_at;
        if (checked_at >= deadline)
            return -1;
        pump(20000);
    }
}

void pty_session::settle(double seconds) { settle_until_us(deadline_after(seconds)); }

void pty_session::settle_until_us(std::int64_t at_us) {
    for (std::int64_t now = now_us(); now < at_us; now = now_us())
        pump(at_us - now);
}

std::string pty_session::row(int r) const { return text_at(0, r, screen_.columns()); }

std::string pty_session::text_at(int column, int r, int length) const {
    return screen_.text_at(column, r, std::min(length, screen_.columns() - column));
}

std::string pty_session::dump() const {
    std::string out = "screen:\n";
    for (int r = 0; r < screen_.rows(); ++r) {
        char number[16];
        std::snprintf(number, sizeof number, "%2d|", r);
        out += number + row(r) + "|\n";
    }
    return out;
}

std::int64_t pty_session::wait_output(const std::string& text, std::size_t from, std::int64_t timeout_us,
                                      std::size_t* found_end) {
    const std::int64_t deadline = now_us() + timeout_us;
    for (;;) {
        const std::size_t at = output_.find(text, std::min(from, output_.size()));
        if (at != std::string::npos) {
            const std::size_t end = at + text.size();
            if (found_end != nullptr)
                *found_end = end;
            for (const auto& read : reads_) {
                if (read.second >= end)
                    return read.first;
            }
        }
        const std::int64_t now = now_us();
        if (now >= deadline)
            return -1;
        pump(deadline - now);
    }
}

std::int64_t pty_session::type(const std::string& bytes) {
    const std::int64_t at = now_us();
    if (master_ >= 0)
        write_all(master_, bytes);
    return at;
}

void pty_session::resize(int columns, int rows) {
    pump(0);
    screen_.resize(columns, rows);
    winsize size{};
    size.ws_row = static_cast<unsigned short>(rows);
    size.ws_col = static_cast<unsigned short>(columns);
    // The kernel tells the program with SIGWINCH.
    ioctl(master_, TIOCSWINSZ, &size);
}

void pty_session::close_terminal() {
    if (master_ >= 0)
        close(master_);
    master_ = -1;
}

termios pty_session::terminal_mode() const {
    termios mode{};
    tcgetattr(slave_, &mode);
    return mode;
}

pid_t pty_session::program_pid() {
    if (program_pid_ > 0)
        return program_pid_;
    const std::string text = read_text(directory_ + "/command.pid");
    if (!text.empty())
        program_pid_ = static_cast<pid_t>(std::atol(text.c_str()));
    return program_pid_;
}

double pty_session::program_cpu_seconds() { return cpu_seconds(program_pid()); }

bool pty_session::wait_exit(double seconds, int* exit_status) {
    const std::int64_t deadline = deadline_after(seconds);
    for (;;) {
        int status = 0;
        if (!exited_ && waitpid(child_pid_, &status, WNOHANG) == child_pid_) {
            exited_ = true;
            *exit_status = status_of(status);
            pump(0);
            return true;
        }
        if (exited_ || now_us() >= deadline)
            return false;
        pump(20000);
    }
}

std::vector<received_line> pty_session::received_lines() const {
    printer_.update();
    return printer_.lines();
}

std::vector<std::string> pty_session::log_texts() const {
    printer_.update();
    return printer_.texts();
}

std::vector<std::string> pty_session::log_events() const {
    printer_.update();
    return printer_.events();
}

std::string pty_session::log() const { return printer_.text(); }

bool pty_session::wait_for_event(const std::string& prefix, double seconds) {
    return wait_until(
               [&] {
                   printer_.update();
                   return printer_.has_event(prefix);
               },
               seconds) >= 0;
}

bool pty_session::wait_for_lines(std::size_t count, double seconds, std::int64_t poll_us) {
    const std::int64_t deadline = deadline_after(seconds);
    for (;;) {
        printer_.update();
        if (printer_.lines().size() >= count)
            return true;
        const std::int64_t now = now_us();
        if (now >= deadline)
            return false;
        pump(std::min(poll_us, deadline - now));
    }
}

}  // namespace harness
