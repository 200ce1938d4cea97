// The real zcal when its terminal misbehaves: random bytes and escape
// sequences for keys, a suspend and resume, signals and a hang-up at the
// moments the end-to-end tests leave out. It never crashes, never moves the
// printer unasked, never spins, and always gives the terminal back.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "fault_steps.h"

namespace faults {
namespace {

using e2e::Zcal_session;

// ---- Random input ---------------------------------------------------------

// Bytes that may legitimately move the printer or end the run, and so are
// never sent: the step letters in either case, their Ctrl codes (Ctrl-A is
// the A key with Ctrl, as on the console), Space and Ctrl-Space; and the
// terminal's own signal characters (Ctrl-C, Ctrl-\, Ctrl-Z), which raw mode
// leaves on. Everything else, alone, after ESC (Alt) or inside sequences,
// must come to nothing.
bool may_step_or_end(unsigned char byte) {
    const std::string letters = "azertyAZERTY ";
    return letters.find(static_cast<char>(byte)) != std::string::npos || byte == 0x00 || byte == 0x01 ||
           byte == 0x05 || byte == 0x12 || byte == 0x14 || byte == 0x19 || byte == 0x1A || byte == 0x03 ||
           byte == 0x1C;
}

class Noise {
public:
    explicit Noise(unsigned seed) : random_(seed) {}

    // One block: a few fragments of what a terminal might send, or not.
    std::string block() {
        std::string bytes;
        for (int parts = pick(1, 4); parts > 0; --parts) bytes += fragment();
        return bytes;
    }

    int pause_ms() {
        const int kind = pick(0, 19);
        if (kind == 0) return 150;                // past a lone ESC's time-out
        if (kind == 1 && pick(0, 1)) return 1100; // past an unfinished sequence's
        return pick(0, 15);
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    unsigned char any_byte() {
        for (;;) {
            const auto byte = static_cast<unsigned char>(pick(0, 255));
            if (!may_step_or_end(byte)) return byte;
        }
    }

    unsigned char any_of(const std::string& set) { return static_cast<unsigned char>(set[pick(0, static_cast<int>(set.size()) - 1)]); }

    unsigned char final_byte() {
        for (;;) {
            const auto byte = static_cast<unsigned char>(pick(0x40, 0x7E));
            if (!may_step_or_end(byte)) return byte;
        }
    }

    std::string parameters(int longest) {
        std::string text;
        for (int n = pick(0, longest); n > 0; --n) text += any_of("0123456789;;:<=>?");
        return text;
    }

    std::string fragment() {
        switch (pick(0, 11)) {
        case 0: return std::string(1, static_cast<char>(any_byte()));
        case 1: return "\x1b[" + parameters(6) + static_cast<char>(final_byte());
        case 2: return "\x1bO" + parameters(2) + static_cast<char>(final_byte());
        case 3: return "\x1b[" + parameters(50) + static_cast<char>(final_byte()); // too long to keep
        case 4: return std::string("\x1b[M") + static_cast<char>(any_byte()) + static_cast<char>(any_byte()) +
                       static_cast<char>(any_byte());
        case 5: return std::string("\x1b") + static_cast<char>(any_byte()); // Alt and a key
        case 6: return "\x1b";
        case 7: return "\x1b[" + parameters(4);                             // cut short
        case 8: return pick(0, 1) ? "\x1b[I" : "\x1b[O";                     // focus reports
        case 9: {
            std::string paste = "\x1b[200~";
            for (int n = pick(0, 8); n > 0; --n) paste += static_cast<char>(any_byte());
            return paste + "\x1b[201~";
        }
        case 10: return "\xc3\xa9\xe2\x82\xac"; // é €
        default: {
            std::string bytes;                  // stray UTF-8 pieces and high bytes
            for (int n = pick(1, 3); n > 0; --n) bytes += static_cast<char>(pick(0x80, 0xFF));
            return bytes;
        }
        }
    }

    std::mt19937 random_;
};

unsigned noise_seed() {
    const char* given = std::getenv("ZCAL_FAULT_SEED");
    return given != nullptr ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : std::random_device{}();
}

TEST(TerminalInput, RandomBytesAndEscapeSequencesMoveNothingAndBreakNothing) {
    const unsigned seed = noise_seed();
    SCOPED_TRACE("ZCAL_FAULT_SEED=" + std::to_string(seed) + " repeats this input");
    Launch_with launch;
    Zcal_session session({{}, "C.UTF-8"});
    ASSERT_GE(e2e::wait_for_bed_line(session), 0) << session.dump();

    Noise noise(seed);
    for (int i = 0; i < 200; ++i) {
        const std::string block = noise.block();
        for (char byte : block) ASSERT_FALSE(may_step_or_end(static_cast<unsigned char>(byte)));
        session.type(block);
        // zcal draws nothing for any of it, so short pauses need no reading.
        const int pause = noise.pause_ms();
        if (pause < 100) {
            usleep(static_cast<useconds_t>(pause) * 1000);
        } else {
            session.settle(pause / 1000.0);
        }
    }
    // Whatever is still pending gives up on its time-out.
    session.settle(1.5);

    const pid_t zcal = session.zcal_pid();
    ASSERT_EQ(kill(zcal, 0), 0) << "zcal is gone\n" << session.dump();
    EXPECT_TRUE(session.log_texts().empty()) << "moves nobody asked for:\n" << session.log();
    EXPECT_EQ(session.text_at(30, 6, 10), std::string(10, ' ')) << session.dump();

    // Still listening, and to one key as one key.
    session.type("a");
    ASSERT_TRUE(e2e::wait_for_height(session, "201.000")) << session.dump();
    session.settle(0.2);
    EXPECT_EQ(session.log_texts(), std::vector<std::string>{e2e::move_line("201.000")}) << session.log();
    e2e::end_with_space(session);
}

// ---- Suspend and resume ---------------------------------------------------

char process_state(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t end = text.rfind(')');
    return end == std::string::npos || end + 2 >= text.size() ? '?' : text[end + 2];
}

pid_t only_child_of(pid_t parent) {
    std::ifstream children("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) + "/children");
    pid_t child = -1;
    children >> child;
    return child;
}

// Ctrl-Z in a shell with job control stops zcal: while it is stopped the
// shell needs the terminal as it was, and when "fg" continues it, zcal needs
// its raw mode back and must go on where it was.
TEST(TerminalJobControl, SuspendGivesTheTerminalBackAndFgTakesItAgain) {
    Launch_with launch("", JOB_SHELL_PATH);
    Zcal_session session({{}, "C.UTF-8"});
    ASSERT_GE(e2e::wait_for_bed_line(session), 0) << session.dump();
    const pid_t shell = session.zcal_pid();
    const pid_t zcal = only_child_of(shell);
    ASSERT_GT(zcal, 0);
    ASSERT_TRUE(e2e::raw_mode(session.terminal_mode()));

    session.type("\x1a");
    ASSERT_GE(session.wait_until([&] { return process_state(zcal) == 'T'; }, e2e::deadline_seconds), 0)
        << "Ctrl-Z did not stop zcal";
    EXPECT_TRUE(e2e::same_mode(session.mode_before(), session.terminal_mode()))
        << "while stopped: " << e2e::describe_mode(session.terminal_mode());

    kill(shell, SIGUSR1);  // fg
    ASSERT_GE(session.wait_until([&] { return e2e::raw_mode(session.terminal_mode()); }, e2e::deadline_seconds), 0)
        << "raw mode not taken back: " << e2e::describe_mode(session.terminal_mode());
    session.type("y");
    ASSERT_TRUE(e2e::wait_for_height(session, "199.990")) << session.dump();
    EXPECT_EQ(session.log_texts(), std::vector<std::string>{e2e::move_line("199.990")}) << session.log();
    e2e::end_with_space(session);
}

// Started with no job-control shell above it (as the session's own program,
// e.g. over "ssh -t host zcal" or after "exec zcal"), zcal is in a group that
// the kernel never stops: Ctrl-Z comes to nothing. zcal must then still be
// running in raw mode, its keys working, not on in the user's cooked mode
// (echo, line buffering: step keys waiting for Enter).
TEST(TerminalJobControl, CtrlZWithoutJobControlLeavesZcalWorking) {
    Launch_with launch;
    Zcal_session session({{}, "C.UTF-8"});
    ASSERT_GE(e2e::wait_for_bed_line(session), 0) << session.dump();
    const pid_t zcal = session.zcal_pid();

    session.type("\x1a");
    session.settle(0.5);
    ASSERT_NE(process_state(zcal), 'T') << "stopped in an orphaned process group";
    EXPECT_TRUE(e2e::raw_mode(session.terminal_mode())) << e2e::describe_mode(session.terminal_mode());
    session.type("y");
    ASSERT_TRUE(e2e::wait_for_height(session, "199.990")) << session.dump();
    e2e::end_with_space(session);
}

// ---- Endings at other moments ----------------------------------------------

enum class Moment { printer_wait, no_port_pause, calibrating };
enum class Ending { ctrl_backslash, sigterm, sighup, terminal_closed };

struct Ending_case {
    const char* name;
    Moment moment;
    Ending ending;
};

void PrintTo(const Ending_case& c, std::ostream* out) { *out << c.name; }

class EndingAtAnyMoment : public ::testing::TestWithParam<Ending_case> {};

// Every way out restores the terminal, and none leaves zcal behind: a
// terminal that goes away ends it within the printer wait at most, not
// after a spin or never.
TEST_P(EndingAtAnyMoment, EndsPromptlyAndGivesTheTerminalBack) {
    const Ending_case& c = GetParam();
    // Ctrl-\ ends with a core dump by default; none is wanted here.
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);

    Launch_with launch;
    Zcal_session session({c.moment == Moment::no_port_pause ? std::vector<std::string>{"--no-port"}
                                                             : std::vector<std::string>{},
                          "C.UTF-8"});
    switch (c.moment) {
    case Moment::printer_wait:
        ASSERT_TRUE(session.wait_for_event("#open", e2e::deadline_seconds)) << session.dump();
        ASSERT_FALSE(e2e::bed_line_shown(session)) << "the printer wait is already over";
        break;
    case Moment::no_port_pause:
        ASSERT_GE(session.wait_until([&] { return session.text_at(3, 10, 33) == e2e::error_text; },
                                     e2e::deadline_seconds),
                  0)
            << session.dump();
        break;
    case Moment::calibrating:
        ASSERT_GE(e2e::wait_for_bed_line(session), 0) << session.dump();
        break;
    }
    const pid_t zcal = session.zcal_pid();
    ASSERT_GT(zcal, 0);

    switch (c.ending) {
    case Ending::ctrl_backslash: session.type("\x1c"); break;
    case Ending::sigterm: kill(zcal, SIGTERM); break;
    case Ending::sighup: kill(zcal, SIGHUP); break;
    case Ending::terminal_closed: session.close_terminal(); break;
    }
    int status = -1;
    // The printer wait is one 2.2 s sleep, which a closed terminal does not
    // cut short; nothing else may take long. A loaded machine gets slack.
    ASSERT_TRUE(session.wait_exit(6.0, &status)) << "still running\n" << session.dump();
    EXPECT_EQ(kill(zcal, 0), -1) << "zcal outlived its ending";
    if (c.ending != Ending::terminal_closed) e2e::expect_terminal_restored(session);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, EndingAtAnyMoment,
    ::testing::Values(Ending_case{"ctrl_backslash_while_calibrating", Moment::calibrating, Ending::ctrl_backslash},
                      Ending_case{"sighup_during_the_printer_wait", Moment::printer_wait, Ending::sighup},
                      Ending_case{"sigterm_in_the_no_port_pause", Moment::no_port_pause, Ending::sigterm},
                      Ending_case{"ctrl_backslash_in_the_no_port_pause", Moment::no_port_pause, Ending::ctrl_backslash},
                      Ending_case{"terminal_closed_during_the_printer_wait", Moment::printer_wait,
                                  Ending::terminal_closed},
                      Ending_case{"terminal_closed_in_the_no_port_pause", Moment::no_port_pause,
                                  Ending::terminal_closed}),
    [](const ::testing::TestParamInfo<Ending_case>& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace faults
