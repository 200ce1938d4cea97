// printer_emulator: a pseudo-terminal that behaves like a printer's firmware on
// its serial line, so zcal can be run and tested without a printer.
//
// It opens a pseudo-terminal pair, prints the slave's path on standard output
// (and links it at --link PATH), and then, on the master side:
//   - sends the boot lines ("start", then a few "echo:" lines) once a program
//     has opened the slave, as a board does after the port opens;
//   - answers every received line (ended by \n) with "ok\n";
//   - tracks the Z position from the Z word of each G0/G1 line;
//   - logs every received line to --log FILE with a monotonic time stamp.
//
// Log format, one record per line, written with one write() each so a reader
// never sees half a record:
//   <usec> <line>                    a line received, without its \n
//   <usec> #open                     a program opened the slave
//   <usec> #boot                     the boot lines were sent
//   <usec> #control vstart=<HH> vstop=<HH>   the XON/XOFF characters the
//                                    slave's settings hold, logged before the
//                                    first line received under them
//   <usec> #partial <bytes>          bytes without a \n when the slave closed
//   <usec> #close z=<Z>              the last program closed the slave
//   <usec> #hangup after <N> lines z=<Z>   --hangup-after closed the master
//   <usec> #idle                     --exit-after-idle ran out
//   <usec> #exit z=<Z> lines=<N>     the emulator ends
// <usec> is CLOCK_MONOTONIC in microseconds, the same clock a test reads.
// Bytes outside printable ASCII, a backslash, and a '#' at the start of a line
// are written as \xHH (a backslash as \\), so every received line is one log
// line and cannot be mistaken for an event.
//
// The emulator never spins: it sleeps in ppoll(). The only periodic wake-up is
// every 10 ms while no program has the slave open, because a pseudo-terminal
// master reports POLLHUP for as long as that lasts and cannot wait for an open.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

namespace {

const char* const usage_text =
    "usage: printer_emulator [options]\n"
    "  --link PATH            make PATH a symbolic link to the slave side\n"
    "  --log FILE             log received lines and events to FILE\n"
    "  --boot-delay MS        send the boot lines MS ms after the slave opens (0)\n"
    "  --answer-delay MS      answer each line MS ms after it arrived (0)\n"
    "  --never-answer         receive and log, never answer\n"
    "  --crlf                 answer \"ok\\r\\n\" instead of \"ok\\n\"\n"
    "  --flood N              answer each line with N bytes and no line end\n"
    "  --hangup-after N       close the master after the Nth line, unanswered\n"
    "                         (like a USB cable pulled), then exit\n"
    "  --hold                 keep the slave open and locked (flock), like a\n"
    "                         port that another program has in use\n"
    "  --exit-after-idle MS   exit once no program has had the slave open\n"
    "                         for MS ms\n"
    "Ends on SIGTERM, SIGINT or SIGHUP, and when its parent process ends.\n";

struct emulator_options {
    const char* link_path = nullptr;
    const char* log_path = nullptr;
    long boot_delay_ms = 0;
    long answer_delay_ms = 0;
    bool never_answer = false;
    bool crlf = false;
    bool hold = false;
    long flood_bytes = 0;
    long hangup_after = 0;        // 0: never
    long exit_after_idle_ms = 0;  // 0: never
};

struct emulator_state {
    emulator_options options;
    int master = -1;
    int log_fd = -1;
    bool slave_open = false;
    std::int64_t idle_since_us = 0;    // when the slave was last seen closed
    std::int64_t boot_due_us = -1;     // -1: no boot pending
    std::string line;                  // bytes of the line being received
    std::string output;                // bytes not yet taken by the master
    std::deque<std::int64_t> answers;  // when each owed answer is due
    long lines_received = 0;
    double z = 0.0;
    std::string control_logged;  // the last #control event logged
};

volatile sig_atomic_t stop_requested = 0;

void request_stop(int) { stop_requested = 1; }

std::int64_t now_us() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

bool parse_count(const char* text, long* value) {
    if (text == nullptr || *text == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed < 0)
        return false;
    *value = parsed;
    return true;
}

// Returns false (after saying why) when the command line is not usable.
bool parse_options(int argc, char** argv, emulator_options* options) {
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        long* number = nullptr;
        if (name == "--never-answer") {
            options->never_answer = true;
            continue;
        }
        if (name == "--crlf") {
            options->crlf = true;
            continue;
        }
        if (name == "--hold") {
            options->hold = true;
            continue;
        }
        if (name == "--help" || name == "-h") {
            std::fputs(usage_text, stdout);
            std::exit(0);
        }
        if (name == "--link") {
            options->link_path = value;
        } else if (name == "--log") {
            options->log_path = value;
        } else if (name == "--boot-delay") {
            number = &options->boot_delay_ms;
        } else if (name == "--answer-delay") {
            number = &options->answer_delay_ms;
        } else if (name == "--flood") {
            number = &options->flood_bytes;
        } else if (name == "--hangup-after") {
            number = &options->hangup_after;
        } else if (name == "--exit-after-idle") {
            number = &options->exit_after_idle_ms;
        } else {
            std::fprintf(stderr, "printer_emulator: unknown option %s\n%s", name.c_str(), usage_text);
            return false;
        }
        if (value == nullptr || (number != nullptr && !parse_count(value, number))) {
            std::fprintf(stderr, "printer_emulator: %s needs a %s\n", name.c_str(),
                         number != nullptr ? "number >= 0" : "path");
            return false;
        }
        ++i;
    }
    return true;
}

std::string escaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c < 0x7f && !(i == 0 && c == '#')) {
            out += static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

void log_record(const emulator_state& emulator, const std::string& text) {
    if (emulator.log_fd < 0)
        return;
    std::string record = std::to_string(now_us()) + " " + text + "\n";
    // A regular file takes the whole record in one write.
    if (write(emulator.log_fd, record.data(), record.size()) < 0) {
        std::perror("printer_emulator: log");
    }
}

void log_event(const emulator_state& emulator, const std::string& event) {
    log_record(emulator, "#" + event);
    std::fprintf(stderr, "printer_emulator: %s\n", event.c_str());
}

std::string z_text(double z) {
    char text[64];
    std::snprintf(text, sizeof text, "z=%.3f", z);
    return text;
}

// G0/G1 lines move; their Z word sets the position (absolute coordinates,
// as the firmware starts). Other lines leave it alone.
void track_z(emulator_state* emulator, const std::string& received) {
    bool is_move = received.rfind("G1", 0) == 0 || received.rfind("G0", 0) == 0;
    if (!is_move || (received.size() > 2 && received[2] != ' '))
        return;
    std::size_t at = 0;
    while ((at = received.find(" Z", at)) != std::string::npos) {
        const char* start = received.c_str() + at + 2;
        char* end = nullptr;
        double value = std::strtod(start, &end);
        if (end != start)
            emulator->z = value;
        at += 2;
    }
}

std::string answer_text(const emulator_options& options) {
    if (options.flood_bytes > 0) {
        // A chatty board that never ends its line: nothing here is \r or \n.
        const std::string pattern = "echo:busy processing ";
        std::string flood;
        while (static_cast<long>(flood.size()) < options.flood_bytes)
            flood += pattern;
        flood.resize(static_cast<std::size_t>(options.flood_bytes));
        return flood;
    }
    return options.crlf ? "ok\r\n" : "ok\n";
}

void close_master(emulator_state* emulator) {
    if (emulator->master >= 0)
        close(emulator->master);
    emulator->master = -1;
}

// Returns false once the emulator should end (the master was hung up).
bool take_line(emulator_state* emulator, const std::string& received) {
    log_record(*emulator, escaped(received));
    ++emulator->lines_received;
    track_z(emulator, received);
    if (emulator->options.hangup_after > 0 && emulator->lines_received >= emulator->options.hangup_after) {
        close_master(emulator);
        log_event(*emulator, "hangup after " + std::to_string(emulator->lines_received) + " lines " +
                                 z_text(emulator->z));
        return false;
    }
    if (!emulator->options.never_answer) {
        emulator->answers.push_back(now_us() + emulator->options.answer_delay_ms * 1000);
    }
    return true;
}

void log_partial_line(emulator_state* emulator) {
    if (emulator->line.empty())
        return;
    log_event(*emulator, "partial " + escaped(emulator->line));
    emulator->line.clear();
}

// What the port's user sent goes nowhere once it has closed the port; what
// was still to be sent to it is dropped like bytes sent to a closed port.
void slave_closed(emulator_state* emulator) {
    log_partial_line(emulator);
    emulator->slave_open = false;
    emulator->idle_since_us = now_us();
    emulator->boot_due_us = -1;
    emulator->output.clear();
    emulator->answers.clear();
    log_event(*emulator, "close " + z_text(emulator->z));
}

void slave_opened(emulator_state* emulator) {
    emulator->slave_open = true;
    emulator->boot_due_us = now_us() + emulator->options.boot_delay_ms * 1000;
    log_event(*emulator, "open");
}

// The flow-control characters the program's side set, as the pair holds
// them (termios calls on the master reach the slave's settings). A program
// that configures a port through a serial driver shows here what the driver
// was given.
void log_control_characters(emulator_state* emulator) {
    termios mode{};
    if (tcgetattr(emulator->master, &mode) != 0)
        return;
    char text[48];
    std::snprintf(text, sizeof text, "control vstart=%02x vstop=%02x",
                  static_cast<unsigned>(mode.c_cc[VSTART]), static_cast<unsigned>(mode.c_cc[VSTOP]));
    if (emulator->control_logged == text)
        return;
    emulator->control_logged = text;
    log_event(*emulator, text);
}

// Reads whatever the slave side wrote. Returns false once the emulator
// should end.
bool read_master(emulator_state* emulator) {
    char buffer[4096];
    for (;;) {
        ssize_t count = read(emulator->master, buffer, sizeof buffer);
        if (count > 0) {
            for (ssize_t i = 0; i < count; ++i) {
                if (buffer[i] != '\n') {
                    emulator->line += buffer[i];
                    continue;
                }
                log_control_characters(emulator);
                std::string received;
                received.swap(emulator->line);
                if (!take_line(emulator, received))
                    return false;
            }
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        // EIO (or end of file): the last program with the slave open closed it.
        slave_closed(emulator);
        return true;
    }
}

void write_master(emulator_state* emulator) {
    while (!emulator->output.empty()) {
        ssize_t count = write(emulator->master, emulator->output.data(), emulator->output.size());
        if (count > 0) {
            emulator->output.erase(0, static_cast<std::size_t>(count));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        return;  // full (EAGAIN) or closed; POLLOUT or POLLHUP tells us which
    }
}

void send_due(emulator_state* emulator, std::int64_t now) {
    if (emulator->boot_due_us >= 0 && now >= emulator->boot_due_us) {
        emulator->output +=
            "start\n"
            "echo:printer emulator ready\n"
            "echo:Z axis at 0.000\n"
            "echo:SD card ok\n";
        emulator->boot_due_us = -1;
        log_event(*emulator, "boot");
    }
    while (!emulator->answers.empty() && now >= emulator->answers.front()) {
        emulator->output += answer_text(emulator->options);
        emulator->answers.pop_front();
    }
}

// Milliseconds until the next thing the emulator has to do on its own, or -1.
int next_timeout_ms(const emulator_state& emulator, std::int64_t now) {
    std::int64_t due = -1;
    auto consider = [&due](std::int64_t at) {
        if (at >= 0 && (due < 0 || at < due))
            due = at;
    };
    if (emulator.slave_open) {
        consider(emulator.boot_due_us);
        if (!emulator.answers.empty())
            consider(emulator.answers.front());
    } else {
        consider(now + 10 * 1000);
        if (emulator.options.exit_after_idle_ms > 0) {
            consider(emulator.idle_since_us + emulator.options.exit_after_idle_ms * 1000);
        }
    }
    if (due < 0)
        return -1;
    std::int64_t wait_us = due - now;
    if (wait_us <= 0)
        return 0;
    return static_cast<int>((wait_us + 999) / 1000);
}

// True once a program has opened the slave since we last looked, including
// one that opened it, wrote and closed it again in between: its bytes wait.
bool slave_was_opened(int master) {
    pollfd check{master, POLLIN, 0};
    if (poll(&check, 1, 0) != 1)
        return true;
    return (check.revents & POLLHUP) == 0 || (check.revents & POLLIN) != 0;
}

bool set_raw(int fd) {
    termios mode{};
    if (tcgetattr(fd, &mode) != 0)
        return false;
    cfmakeraw(&mode);
    return tcsetattr(fd, TCSANOW, &mode) == 0;
}

// Opens the master and puts both sides in raw mode. The slave is opened only
// to set its mode, which stays with the pair after it is closed again: a
// program opening it later then never echoes the boot lines back at us.
bool open_pair(emulator_state* emulator, std::string* slave_path) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("printer_emulator: pseudo-terminal");
        return false;
    }
    const char* name = ptsname(master);
    if (name == nullptr) {
        std::perror("printer_emulator: ptsname");
        return false;
    }
    *slave_path = name;
    int slave = open(name, O_RDWR | O_NOCTTY);
    if (slave < 0 || !set_raw(slave) || !set_raw(master)) {
        std::perror("printer_emulator: raw mode");
        return false;
    }
    if (emulator->options.hold) {
        // flock locks the device itself, whatever path it is opened by.
        if (flock(slave, LOCK_EX | LOCK_NB) != 0) {
            std::perror("printer_emulator: lock");
            return false;
        }
    } else {
        close(slave);
    }
    int flags = fcntl(master, F_GETFL);
    if (flags < 0 || fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0) {
        std::perror("printer_emulator: non-blocking master");
        return false;
    }
    emulator->master = master;
    return true;
}

// The link is made under a temporary name and renamed into place, so whoever
// waits for it never finds a link that points nowhere yet.
bool make_link(const char* link_path, const std::string& slave_path) {
    std::string temporary = std::string(link_path) + ".new";
    unlink(temporary.c_str());
    if (symlink(slave_path.c_str(), temporary.c_str()) != 0 || rename(temporary.c_str(), link_path) != 0) {
        std::fprintf(stderr, "printer_emulator: link %s: %s\n", link_path, std::strerror(errno));
        return false;
    }
    return true;
}

void install_stop_handlers(sigset_t* wait_mask) {
    struct sigaction action {};
    action.sa_handler = request_stop;
    sigemptyset(&action.sa_mask);
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal_number, &action, nullptr);
        sigaddset(&blocked, signal_number);
    }
    // The stop signals are let through only inside ppoll(), so one that
    // arrives between two checks of the flag still ends the wait at once.
    sigprocmask(SIG_BLOCK, &blocked, wait_mask);
    sigdelset(wait_mask, SIGTERM);
    sigdelset(wait_mask, SIGINT);
    sigdelset(wait_mask, SIGHUP);
}

void run(emulator_state* emulator, const sigset_t& wait_mask) {
    while (!stop_requested) {
        std::int64_t now = now_us();
        if (!emulator->slave_open) {
            if (slave_was_opened(emulator->master)) {
                slave_opened(emulator);
                continue;
            }
            if (emulator->options.exit_after_idle_ms > 0 &&
                now - emulator->idle_since_us >= emulator->options.exit_after_idle_ms * 1000) {
                log_event(*emulator, "idle");
                return;
            }
        } else {
            send_due(emulator, now);
            write_master(emulator);
        }

        pollfd watched{emulator->master, POLLIN, 0};
        if (!emulator->output.empty())
            watched.events |= POLLOUT;
        int timeout_ms = next_timeout_ms(*emulator, now_us());
        timespec timeout{timeout_ms / 1000, (timeout_ms % 1000) * 1000000L};
        // While the slave is closed the master reports POLLHUP at once, so it
        // is not watched then; the short timeout checks it instead.
        int ready = ppoll(emulator->slave_open ? &watched : nullptr, emulator->slave_open ? 1 : 0,
                          timeout_ms < 0 ? nullptr : &timeout, &wait_mask);
        if (ready < 0 && errno != EINTR) {
            std::perror("printer_emulator: poll");
            return;
        }
        if (ready > 0 && (watched.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            if (!read_master(emulator))
                return;
            // A hang-up that read() did not report must still end the open
            // state, or the next ppoll() would return at once, forever.
            if (emulator->slave_open && (watched.revents & (POLLHUP | POLLERR)) != 0)
                slave_closed(emulator);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    emulator_state emulator;
    if (!parse_options(argc, argv, &emulator.options))
        return 2;

    // Whoever started us (a script, a test) may end without stopping us.
    pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        return 0;

    sigset_t wait_mask;
    install_stop_handlers(&wait_mask);

    if (emulator.options.log_path != nullptr) {
        emulator.log_fd =
            open(emulator.options.log_path, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
        if (emulator.log_fd < 0) {
            std::fprintf(stderr, "printer_emulator: log %s: %s\n", emulator.options.log_path,
                         std::strerror(errno));
            return 1;
        }
    }

    std::string slave_path;
    if (!open_pair(&emulator, &slave_path))
        return 1;
    if (emulator.options.link_path != nullptr && !make_link(emulator.options.link_path, slave_path))
        return 1;
    std::printf("%s\n", slave_path.c_str());
    std::fflush(stdout);

    emulator.idle_since_us = now_us();
    run(&emulator, wait_mask);

    // Bytes that arrived just before the stop were received all the same.
    if (emulator.master >= 0) {
        if (!emulator.slave_open && slave_was_opened(emulator.master))
            slave_opened(&emulator);
        if (emulator.slave_open && read_master(&emulator))
            log_partial_line(&emulator);
    }
    log_event(emulator, "exit " + z_text(emulator.z) + " lines=" + std::to_string(emulator.lines_received));
    close_master(&emulator);
    if (emulator.options.link_path != nullptr)
        unlink(emulator.options.link_path);
    return 0;
}
