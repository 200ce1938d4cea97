#include "zcal_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace e2e {

namespace {

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void write_all(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t count = write(fd, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0 && errno == EAGAIN) {
            pollfd writable{fd, POLLOUT, 0};
            poll(&writable, 1, 100);
            continue;
        }
        if (count <= 0) return;
        done += static_cast<std::size_t>(count);
    }
}

} // namespace

std::int64_t now_us() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

Zcal_session::Zcal_session(const Launch& launch)
    : screen_(launch.columns, launch.rows, &Zcal_session::forward_output, this) {
    char directory[] = "/tmp/zcal-e2e.XXXXXX";
    if (mkdtemp(directory) == nullptr) {
        ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
        return;
    }
    directory_ = directory;

    winsize size{};
    size.ws_row = static_cast<unsigned short>(launch.rows);
    size.ws_col = static_cast<unsigned short>(launch.columns);
    if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) {
        ADD_FAILURE() << "openpty: " << std::strerror(errno);
        return;
    }
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    tcgetattr(slave_, &mode_before_);

    // Everything the child needs is made before fork().
    std::vector<std::string> arguments = {WITH_PRINTER_PATH, "--dir", directory_, "--emulator", EMULATOR_PATH};
    for (const std::string& option : launch.printer_options) arguments.push_back(option);
    arguments.push_back("--");
    arguments.push_back(zcal_program_path());
    for (const std::string& argument : launch.zcal_arguments) arguments.push_back(argument);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::string locale = launch.locale;

    started_us_ = now_us();
    script_pid_ = fork();
    if (script_pid_ == 0) {
        setsid();
        ioctl(slave_, TIOCSCTTY, 0);
        int input = launch.stdin_from_null ? open("/dev/null", O_RDONLY | O_CLOEXEC) : slave_;
        dup2(input, 0);
        dup2(slave_, 1);
        dup2(slave_, 2);
        setenv("LANG", locale.c_str(), 1);
        setenv("LC_ALL", locale.c_str(), 1);
        setenv("TERM", "xterm", 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (script_pid_ < 0) ADD_FAILURE() << "fork: " << std::strerror(errno);
}

Zcal_session::~Zcal_session() {
    if (script_pid_ > 0 && !exited_) {
        // A test that failed half-way: end everything it started.
        pid_t zcal = zcal_pid_ > 0 ? zcal_pid_ : zcal_pid();
        if (zcal > 0) kill(zcal, SIGKILL);
        kill(script_pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 200 && waitpid(script_pid_, &status, WNOHANG) == 0; ++i) usleep(10000);
        if (waitpid(script_pid_, &status, WNOHANG) == 0) {
            kill(script_pid_, SIGKILL);
            waitpid(script_pid_, &status, 0);
        }
    }
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
    if (directory_.empty()) return;
    if (::testing::Test::HasFailure()) {
        std::printf("zcal e2e: the run's files are kept in %s\n", directory_.c_str());
    } else {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
}

void Zcal_session::forward_output(const char* bytes, std::size_t length, void* session) {
    // Answers the terminal gives to the program's queries (cursor position,
    // device attributes) go back to it, as a real terminal's do.
    auto* self = static_cast<Zcal_session*>(session);
    if (self->master_ >= 0) write_all(self->master_, std::string(bytes, length));
}

void Zcal_session::pump(int timeout_ms) {
    if (master_ < 0) {
        usleep(static_cast<useconds_t>(timeout_ms) * 1000);
        return;
    }
    pollfd readable{master_, POLLIN, 0};
    if (poll(&readable, 1, timeout_ms) <= 0) return;
    char buffer[8192];
    for (;;) {
        ssize_t count = read(master_, buffer, sizeof buffer);
        if (count > 0) {
            screen_.feed(buffer, static_cast<std::size_t>(count));
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        if (count < 0 && errno != EAGAIN) usleep(static_cast<useconds_t>(timeout_ms) * 1000);
        return;
    }
}

std::int64_t Zcal_session::wait_until(const std::function<bool()>& condition, double seconds) {
    std::int64_t deadline = now_us() + static_cast<std::int64_t>(seconds * 1e6);
    for (;;) {
        pump(0);
        std::int64_t checked_at = now_us();
        if (condition()) return checked_at;
        if (checked_at >= deadline) return -1;
        pump(20);
    }
}

void Zcal_session::settle(double seconds) {
    std::int64_t deadline = now_us() + static_cast<std::int64_t>(seconds * 1e6);
    while (now_us() < deadline) pump(20);
}

std::string Zcal_session::row(int r) const { return text_at(0, r, screen_columns); }

std::string Zcal_session::text_at(int column, int r, int length) const {
    return screen_.text_at(column, r, std::min(length, screen_columns - column));
}

Cell_look Zcal_session::look_at(int column, int r) const { return screen_.look_at(column, r); }

int Zcal_session::cursor_row() const { return screen_.cursor_row(); }

std::string Zcal_session::dump() const {
    std::string out = "screen:\n";
    for (int r = 0; r < screen_rows; ++r) {
        char number[8];
        std::snprintf(number, sizeof number, "%2d|", r);
        out += number + row(r) + "|\n";
    }
    return out;
}

void Zcal_session::type(const std::string& bytes) {
    if (master_ >= 0) write_all(master_, bytes);
}

void Zcal_session::resize(int columns, int rows) {
    pump(0);
    screen_.resize(columns, rows);
    winsize size{};
    size.ws_row = static_cast<unsigned short>(rows);
    size.ws_col = static_cast<unsigned short>(columns);
    // The kernel tells the program with SIGWINCH.
    ioctl(master_, TIOCSWINSZ, &size);
}

void Zcal_session::close_terminal() {
    if (master_ >= 0) close(master_);
    master_ = -1;
}

termios Zcal_session::terminal_mode() const {
    termios mode{};
    tcgetattr(slave_, &mode);
    return mode;
}

pid_t Zcal_session::zcal_pid() {
    if (zcal_pid_ > 0) return zcal_pid_;
    std::string text = read_file(directory_ + "/command.pid");
    if (!text.empty()) zcal_pid_ = static_cast<pid_t>(std::atol(text.c_str()));
    return zcal_pid_;
}

double Zcal_session::zcal_cpu_seconds() {
    std::string stat = read_file("/proc/" + std::to_string(zcal_pid()) + "/stat");
    // After the command name, which may hold spaces, in parentheses:
    // state is field 3, utime field 14 and stime field 15.
    std::size_t name_end = stat.rfind(')');
    if (name_end == std::string::npos) return -1;
    std::istringstream fields(stat.substr(name_end + 2));
    std::string field;
    double ticks = 0;
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number >= 14) ticks += std::atof(field.c_str());
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

bool Zcal_session::wait_exit(double seconds, int* exit_status) {
    std::int64_t deadline = now_us() + static_cast<std::int64_t>(seconds * 1e6);
    for (;;) {
        int status = 0;
        pid_t done = waitpid(script_pid_, &status, WNOHANG);
        if (done == script_pid_) {
            exited_ = true;
            pump(0);
            *exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        }
        if (now_us() >= deadline) return false;
        pump(20);
    }
}

std::string Zcal_session::log() const { return read_file(directory_ + "/printer.log"); }

std::vector<Received> Zcal_session::received_lines() const {
    std::vector<Received> lines;
    std::istringstream in(log());
    std::string record;
    while (std::getline(in, record)) {
        std::size_t space = record.find(' ');
        if (space == std::string::npos) continue;
        std::string text = record.substr(space + 1);
        if (!text.empty() && text[0] == '#') continue;
        lines.push_back({std::atoll(record.c_str()), text});
    }
    return lines;
}

std::vector<std::string> Zcal_session::log_texts() const {
    std::vector<std::string> texts;
    for (const Received& line : received_lines()) texts.push_back(line.text);
    return texts;
}

std::vector<std::string> Zcal_session::log_events() const {
    std::vector<std::string> events;
    std::istringstream in(log());
    std::string record;
    while (std::getline(in, record)) {
        std::size_t space = record.find(' ');
        if (space != std::string::npos && record.compare(space + 1, 1, "#") == 0) {
            events.push_back(record.substr(space + 1));
        }
    }
    return events;
}

bool Zcal_session::wait_for_event(const std::string& prefix, double seconds) {
    return wait_until(
               [&] {
                   for (const std::string& event : log_events()) {
                       if (event.rfind(prefix, 0) == 0) return true;
                   }
                   return false;
               },
               seconds) >= 0;
}

bool same_mode(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

std::string describe_mode(const termios& mode) {
    char text[160];
    std::snprintf(text, sizeof text, "iflag=%#o oflag=%#o cflag=%#o lflag=%#o VMIN=%d VTIME=%d",
                  mode.c_iflag, mode.c_oflag, mode.c_cflag, mode.c_lflag, mode.c_cc[VMIN], mode.c_cc[VTIME]);
    return text;
}

} // namespace e2e
