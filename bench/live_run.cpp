#include "bench/live_run.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace bench {

namespace {

constexpr int screen_columns = 120;
constexpr int screen_rows = 30;

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// Reads the terminal for as long as anyone has its other side open. The
// time is taken right after each read, so it is when the bytes arrived.
void read_output(live_run* run) {
    char buffer[16384];
    for (;;) {
        pollfd readable{run->master, POLLIN, 0};
        const int ready = poll(&readable, 1, 100);
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) {
            std::lock_guard<std::mutex> hold(run->output_lock);
            if (!run->reader_running) return;
            continue;
        }
        const ssize_t count = read(run->master, buffer, sizeof buffer);
        const std::int64_t at = now_us();
        if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (count <= 0) return;  // EIO: nobody has the terminal open any more
        std::lock_guard<std::mutex> hold(run->output_lock);
        run->output.append(buffer, static_cast<std::size_t>(count));
        run->output_reads.emplace_back(at, run->output.size());
    }
}

}  // namespace

std::int64_t now_us() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void sleep_until_us(std::int64_t at_us) {
    timespec until{static_cast<time_t>(at_us / 1000000), static_cast<long>(at_us % 1000000) * 1000};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

int exec_with_stamp(const char* stamp_path, char** command) {
    const std::string stamp = std::to_string(now_us()) + "\n";
    const int fd = open(stamp_path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        ssize_t ignored = write(fd, stamp.data(), stamp.size());
        (void)ignored;
        close(fd);
    }
    execv(command[0], command);
    std::perror("zcal_bench: exec");
    return 127;
}

bool live_start(live_run* run, const paths& where, const std::vector<std::string>& printer_options) {
    char directory[] = "/tmp/zcal-bench.XXXXXX";
    if (mkdtemp(directory) == nullptr) {
        std::perror("zcal_bench: mkdtemp");
        return false;
    }
    run->directory = directory;

    winsize size{};
    size.ws_row = screen_rows;
    size.ws_col = screen_columns;
    int slave = -1;
    if (openpty(&run->master, &slave, nullptr, nullptr, &size) != 0) {
        std::perror("zcal_bench: openpty");
        return false;
    }
    fcntl(run->master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);

    std::vector<std::string> arguments = {where.with_printer, "--dir", run->directory, "--emulator",
                                          where.emulator};
    for (const std::string& option : printer_options) arguments.push_back(option);
    arguments.insert(arguments.end(),
                     {"--", where.self, "--exec-stamp", run->directory + "/exec.stamp", where.zcal});
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    run->script_pid = fork();
    if (run->script_pid == 0) {
        // A session of its own with the pty as its terminal, like a shell
        // started in a terminal window.
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        dup2(slave, 0);
        dup2(slave, 1);
        dup2(slave, 2);
        setenv("LANG", "C.UTF-8", 1);
        setenv("LC_ALL", "C.UTF-8", 1);
        setenv("TERM", "xterm", 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(slave);
    if (run->script_pid < 0) {
        std::perror("zcal_bench: fork");
        return false;
    }
    run->reader_running = true;
    run->reader = std::thread(read_output, run);
    return true;
}

std::int64_t live_exec_time_us(const live_run& run) {
    return std::atoll(read_file(run.directory + "/exec.stamp").c_str());
}

pid_t live_zcal_pid(live_run* run) {
    if (run->zcal_pid <= 0) {
        run->zcal_pid = static_cast<pid_t>(std::atol(read_file(run->directory + "/command.pid").c_str()));
    }
    return run->zcal_pid;
}

std::int64_t live_type(live_run* run, const std::string& bytes) {
    const std::int64_t at = now_us();
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = write(run->master, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        done += static_cast<std::size_t>(count);
    }
    return at;
}

std::size_t live_output_size(live_run* run) {
    std::lock_guard<std::mutex> hold(run->output_lock);
    return run->output.size();
}

std::int64_t live_wait_output(live_run* run, const std::string& text, std::size_t from,
                              std::int64_t timeout_us, std::size_t* found_at) {
    const std::int64_t deadline = now_us() + timeout_us;
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(run->output_lock);
            const std::size_t at = run->output.find(text, from);
            if (at != std::string::npos) {
                const std::size_t end = at + text.size();
                if (found_at != nullptr) *found_at = end;
                for (const auto& read : run->output_reads) {
                    if (read.second >= end) return read.first;
                }
            }
        }
        if (now_us() >= deadline) return -1;
        usleep(200);
    }
}

void live_read_log(live_run* run) {
    const std::string log = read_file(run->directory + "/printer.log");
    if (log.size() <= run->log_offset) return;
    run->log_tail += log.substr(run->log_offset);
    run->log_offset = log.size();
    std::size_t start = 0;
    for (std::size_t end; (end = run->log_tail.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string record = run->log_tail.substr(start, end - start);
        const std::size_t space = record.find(' ');
        if (space == std::string::npos || record.compare(space + 1, 1, "#") == 0) continue;
        run->lines.push_back({std::atoll(record.c_str()), record.substr(space + 1)});
    }
    run->log_tail.erase(0, start);
}

bool live_wait_lines(live_run* run, std::size_t count, std::int64_t timeout_us) {
    const std::int64_t deadline = now_us() + timeout_us;
    for (;;) {
        live_read_log(run);
        if (run->lines.size() >= count) return true;
        if (now_us() >= deadline) return false;
        usleep(300);
    }
}

bool live_wait_exit(live_run* run, std::int64_t timeout_us) {
    const std::int64_t deadline = now_us() + timeout_us;
    for (;;) {
        int status = 0;
        if (waitpid(run->script_pid, &status, WNOHANG) == run->script_pid) {
            run->exited = true;
            run->exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        }
        if (now_us() >= deadline) return false;
        usleep(2000);
    }
}

void live_finish(live_run* run) {
    if (run->script_pid > 0 && !run->exited) {
        const pid_t zcal = live_zcal_pid(run);
        if (zcal > 0) kill(zcal, SIGKILL);
        kill(run->script_pid, SIGTERM);
        if (!live_wait_exit(run, 2000000)) {
            kill(run->script_pid, SIGKILL);
            live_wait_exit(run, 2000000);
        }
    }
    if (run->reader.joinable()) {
        {
            std::lock_guard<std::mutex> hold(run->output_lock);
            run->reader_running = false;
        }
        run->reader.join();
    }
    if (run->master >= 0) close(run->master);
    run->master = -1;
    if (!run->directory.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(run->directory, ignored);
    }
}

}  // namespace bench
