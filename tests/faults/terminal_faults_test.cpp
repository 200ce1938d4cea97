// The real zcal when its terminal misbehaves or goes: random bytes and
// escape sequences for keys, a suspend and resume, a terminal too small,
// input that ends, and every ending (signals, signal keys, a hang-up) at
// every moment of a run. It never crashes, never moves the printer unasked,
// never spins, and always gives the terminal back.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "fault_launch.h"
#include "session_steps.h"

namespace faults {
namespace {

using namespace harness;

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

class noise_source {
public:
    explicit noise_source(unsigned seed) : random_(seed) {}

    // One block: a few fragments of what a terminal might send, or not.
    std::string block() {
        std::string bytes;
        for (int parts = pick(1, 4); parts > 0; --parts)
            bytes += fragment();
        return bytes;
    }

    int pause_ms() {
        const int kind = pick(0, 19);
        if (kind == 0)
            return 150;  // past a lone ESC's time-out
        if (kind == 1 && pick(0, 1))
            return 1100;  // past an unfinished sequence's
        return pick(0, 15);
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    unsigned char any_byte() {
        for (;;) {
            const auto byte = static_cast<unsigned char>(pick(0, 255));
            if (!may_step_or_end(byte))
                return byte;
        }
    }

    unsigned char any_of(const std::string& set) {
        return static_cast<unsigned char>(set[pick(0, static_cast<int>(set.size()) - 1)]);
    }

    unsigned char final_byte() {
        for (;;) {
            const auto byte = static_cast<unsigned char>(pick(0x40, 0x7E));
            if (!may_step_or_end(byte))
                return byte;
        }
    }

    std::string parameters(int longest) {
        std::string text;
        for (int n = pick(0, longest); n > 0; --n)
            text += any_of("0123456789;;:<=>?");
        return text;
    }

    std::string fragment() {
        switch (pick(0, 11)) {
            case 0:
                return std::string(1, static_cast<char>(any_byte()));
            case 1:
                return "\x1b[" + parameters(6) + static_cast<char>(final_byte());
            case 2:
                return "\x1bO" + parameters(2) + static_cast<char>(final_byte());
            case 3:
                return "\x1b[" + parameters(50) + static_cast<char>(final_byte());  // too long to keep
            case 4:
                return std::string("\x1b[M") + static_cast<char>(any_byte()) + static_cast<char>(any_byte()) +
                       static_cast<char>(any_byte());
            case 5:
                return std::string("\x1b") + static_cast<char>(any_byte());  // Alt and a key
            case 6:
                return "\x1b";
            case 7:
                return "\x1b[" + parameters(4);  // cut short
            case 8:
                return pick(0, 1) ? "\x1b[I" : "\x1b[O";  // focus reports
            case 9: {
                std::string paste = "\x1b[200~";
                for (int n = pick(0, 8); n > 0; --n)
                    paste += static_cast<char>(any_byte());
                return paste + "\x1b[201~";
            }
            case 10:
                return "\xc3\xa9\xe2\x82\xac";  // é €
            default: {
                std::string bytes;  // stray UTF-8 pieces and high bytes
                for (int n = pick(1, 3); n > 0; --n)
                    bytes += static_cast<char>(pick(0x80, 0xFF));
                return bytes;
            }
        }
    }

    std::mt19937 random_;
};

unsigned noise_seed() {
    const char* given = std::getenv("ZCAL_FAULT_SEED");
    return given != nullptr ? static_cast<unsigned>(std::strtoul(given, nullptr, 10))
                            : std::random_device{}();
}

TEST(terminal_input, random_bytes_and_escape_sequences_move_nothing_and_break_nothing) {
    const unsigned seed = noise_seed();
    SCOPED_TRACE("ZCAL_FAULT_SEED=" + std::to_string(seed) + " repeats this input");
    pty_session session(fault_launch());
    ASSERT_GE(wait_for_bed_line(session), 0) << session.dump();

    noise_source noise(seed);
    for (int i = 0; i < 200; ++i) {
        const std::string block = noise.block();
        for (char byte : block)
            ASSERT_FALSE(may_step_or_end(static_cast<unsigned char>(byte)));
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

    const pid_t zcal = session.program_pid();
    ASSERT_EQ(kill(zcal, 0), 0) << "zcal is gone\n" << session.dump();
    EXPECT_TRUE(session.log_texts().empty()) << "moves nobody asked for:\n" << session.log();
    EXPECT_EQ(session.text_at(30, 6, 10), std::string(10, ' ')) << session.dump();

    // Still listening, and to one key as one key.
    session.type("a");
    ASSERT_TRUE(wait_for_height(session, "201.000")) << session.dump();
    session.settle(0.2);
    EXPECT_EQ(session.log_texts(), std::vector<std::string>{move_line("201.000")}) << session.log();
    end_with_space(session);
}

// ---- Suspend and resume ---------------------------------------------------

enum class moment { printer_wait, no_port_pause, calibrating, too_small_wait };

// Starts zcal for a moment of its run and waits until it is there.
launch launch_for(moment at, const fault_setup& faults = {}) {
    launch how = fault_launch(
        at == moment::no_port_pause ? std::vector<std::string>{"--no-port"} : std::vector<std::string>{},
        faults);
    if (at == moment::too_small_wait) {
        how.columns = 80;
        how.rows = 24;
    }
    return how;
}

::testing::AssertionResult reach(pty_session& session, moment at) {
    bool there = false;
    switch (at) {
        case moment::printer_wait:
            there = session.wait_for_event("#open", deadline_seconds) && !bed_line_shown(session);
            break;
        case moment::no_port_pause:
            there = wait_for_error(session) >= 0;
            break;
        case moment::calibrating:
            there = wait_for_bed_line(session) >= 0;
            break;
        case moment::too_small_wait:
            there = session.wait_until([&] { return session.row(0).find("119 x 25") != std::string::npos; },
                                       deadline_seconds) >= 0;
            break;
    }
    if (there && raw_mode(session.terminal_mode()))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "not at the moment (or not in raw mode: " << describe_mode(session.terminal_mode()) << ")\n"
           << session.dump();
}

std::string moment_name(moment at) {
    switch (at) {
        case moment::printer_wait:
            return "during_the_printer_wait";
        case moment::no_port_pause:
            return "in_the_no_port_pause";
        case moment::calibrating:
            return "while_calibrating";
        case moment::too_small_wait:
            return "while_the_terminal_is_too_small";
    }
    return "";
}

class job_control : public ::testing::TestWithParam<moment> {};

// Ctrl-Z in a shell with job control stops zcal: while it is stopped the
// shell needs the terminal as it was, and when "fg" continues it, zcal needs
// its raw mode back, must draw its whole screen again (the shell wrote over
// it) and go on where it was.
TEST_P(job_control, suspend_gives_the_terminal_back_and_fg_takes_it_again_and_redraws) {
    fault_setup under_a_shell;
    under_a_shell.prefix = JOB_SHELL_PATH;
    pty_session session(launch_for(GetParam(), under_a_shell));
    ASSERT_TRUE(reach(session, GetParam()));
    const pid_t shell = session.program_pid();
    const pid_t zcal = only_child_of(shell);
    ASSERT_GT(zcal, 0);

    session.type("\x1a");
    ASSERT_GE(session.wait_until([&] { return process_state(zcal) == 'T'; }, deadline_seconds), 0)
        << "Ctrl-Z did not stop zcal";
    EXPECT_TRUE(same_mode(session.mode_before(), session.terminal_mode()))
        << "while stopped: " << describe_mode(session.terminal_mode());

    session.settle(0.2);
    session.clear_screen();  // what shows from now on was drawn again
    kill(shell, SIGUSR1);    // fg
    ASSERT_GE(session.wait_until([&] { return raw_mode(session.terminal_mode()); }, deadline_seconds), 0)
        << "raw mode not taken back: " << describe_mode(session.terminal_mode());

    // The whole screen comes back at once, before any key.
    expected_screen expected = fixed_screen(frame_glyphs::line_drawing);
    const bool paused = GetParam() == moment::no_port_pause;
    if (paused) {
        put(&expected, 3, 10, error_text);
    } else {
        put(&expected, 63, 20, bed_text);
    }
    ASSERT_GE(wait_for_screen(session, expected), 0) << differences(expected, session);

    if (paused) {
        session.type("q");
        expect_clean_exit(session);
        return;
    }
    session.type("y");
    put(&expected, 30, 6, "199.990");
    put(&expected, 63, 8, "|");
    put(&expected, 63, 9, "V");
    ASSERT_GE(wait_for_screen(session, expected), 0) << differences(expected, session);
    EXPECT_EQ(session.log_texts(), std::vector<std::string>{move_line("199.990")}) << session.log();
    end_with_space(session);
}

INSTANTIATE_TEST_SUITE_P(moments, job_control, ::testing::Values(moment::no_port_pause, moment::calibrating),
                         [](const ::testing::TestParamInfo<moment>& instance) {
                             return moment_name(instance.param);
                         });

// Started with no job-control shell above it (as the session's own program,
// e.g. over "ssh -t host zcal", after "exec zcal", in a terminal
// multiplexer), zcal is in an orphaned process group, which the kernel never
// stops: Ctrl-Z comes to nothing. zcal must then still be running in raw
// mode, its keys working, not on in the user's cooked mode (echo, line
// buffering: step keys waiting for Enter).
TEST(job_control, ctrl_z_without_job_control_leaves_zcal_working_in_raw_mode) {
    pty_session session(fault_launch());
    expected_screen expected = fixed_screen(frame_glyphs::line_drawing);
    put(&expected, 63, 20, bed_text);
    ASSERT_GE(wait_for_screen(session, expected), 0) << differences(expected, session);
    const pid_t zcal = session.program_pid();

    session.type("\x1a");
    session.settle(0.5);
    ASSERT_NE(process_state(zcal), 'T') << "stopped in an orphaned process group";
    EXPECT_TRUE(raw_mode(session.terminal_mode())) << describe_mode(session.terminal_mode());
    session.type("y");
    put(&expected, 30, 6, "199.990");
    put(&expected, 63, 8, "|");
    put(&expected, 63, 9, "V");
    ASSERT_GE(wait_for_screen(session, expected), 0) << differences(expected, session);
    EXPECT_EQ(session.log_texts(), std::vector<std::string>{move_line("199.990")}) << session.log();
    end_with_space(session);
}

// ---- A terminal too small ----------------------------------------------------

// zcal asks for a bigger terminal and says how big this one is, takes no
// key meanwhile, and once it is big enough runs as usual.
TEST(terminal_too_small, is_asked_to_grow_and_waited_for_then_zcal_runs_as_usual) {
    pty_session session(launch_for(moment::too_small_wait));
    ASSERT_GE(session.wait_until(
                  [&] {
                      return session.row(0).rfind(
                                 "zcal needs a terminal of at least 119 x 25; this one is 80 x 24.", 0) == 0;
                  },
                  deadline_seconds),
              0)
        << session.dump();
    EXPECT_NE(session.output().find("\x1b[8;25;119t"), std::string::npos)
        << "the terminal was not asked to grow";
    // A key typed at the message is not for the program.
    session.type("a");
    session.settle(0.5);
    EXPECT_EQ(session.row(3).find("Tandrovelmaris"), std::string::npos) << "drew the screen anyway";

    session.resize(100, 26);
    ASSERT_GE(
        session.wait_until([&] { return session.row(0).find("this one is 100 x 26") != std::string::npos; },
                           deadline_seconds),
        0)
        << "still too small, and the new size not said\n"
        << session.dump();

    session.resize(screen_columns, screen_rows);
    expected_screen expected = fixed_screen(frame_glyphs::line_drawing);
    put(&expected, 63, 20, bed_text);
    ASSERT_GE(wait_for_screen(session, expected), 0) << differences(expected, session);
    EXPECT_TRUE(session.log_texts().empty()) << "the key typed at the message moved the printer";
    session.type("a");
    EXPECT_TRUE(wait_for_height(session, "201.000")) << session.dump();
    ASSERT_TRUE(wait_for_lines(session, 1));
    EXPECT_EQ(session.log_texts(), std::vector<std::string>{move_line("201.000")});
    end_with_space(session);
}

// ---- Input that ends ---------------------------------------------------------

struct input_case {
    const char* name;
    std::vector<std::string> printer_options;
    bool output_to_file;
    const char* shown;  // a text of the screen, wherever it went
};

void PrintTo(const input_case& c, std::ostream* out) { *out << c.name; }

class input_ends : public ::testing::TestWithParam<input_case> {};

// Standard input at its end (here /dev/null, no terminal at all): zcal ends
// with 0 as if Space had been pressed, instead of waiting forever, and
// moves nothing.
TEST_P(input_ends, the_run_ends_with_zero_and_sends_nothing) {
    const input_case& c = GetParam();
    launch how = fault_launch(c.printer_options);
    how.stdin_from_null = true;
    char output_file[] = "/tmp/zcal-output.XXXXXX";
    if (c.output_to_file) {
        const int fd = mkstemp(output_file);
        ASSERT_GE(fd, 0);
        close(fd);
        how.stdout_path = output_file;
    }
    std::string written;
    {
        pty_session session(how);
        int status = -1;
        const bool ended = session.wait_exit(deadline_seconds, &status);
        written = c.output_to_file ? std::string() : session.dump();
        EXPECT_TRUE(ended) << "still running\n" << session.dump();
        EXPECT_EQ(status, 0);
        expect_terminal_restored(session);
        EXPECT_TRUE(session.log_texts().empty()) << session.log();
    }
    if (c.output_to_file) {
        std::ifstream in(output_file);
        written.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        unlink(output_file);
    }
    EXPECT_NE(written.find(c.shown), std::string::npos) << written;
}

INSTANTIATE_TEST_SUITE_P(
    inputs, input_ends,
    ::testing::Values(
        input_case{"output_to_the_terminal", {}, false, "Tandrovelmaris"},
        input_case{"output_to_a_file_and_no_port", {"--no-port"}, true, "Error: unable to find serial comm"}),
    [](const ::testing::TestParamInfo<input_case>& instance) { return std::string(instance.param.name); });

// ---- Endings at every moment -------------------------------------------------

enum class ending { ctrl_c, ctrl_backslash, sigterm, sighup, terminal_closed };

std::string ending_name(ending how) {
    switch (how) {
        case ending::ctrl_c:
            return "ctrl_c";
        case ending::ctrl_backslash:
            return "ctrl_backslash";
        case ending::sigterm:
            return "sigterm";
        case ending::sighup:
            return "sighup";
        case ending::terminal_closed:
            return "terminal_closed";
    }
    return "";
}

class ending_at_any_moment : public ::testing::TestWithParam<std::tuple<moment, ending>> {};

// Every way out at every moment ends zcal promptly, by the signal it was
// given, with the terminal back as it was and the cursor below the frame,
// and the printer's port closed; none leaves zcal behind: a terminal that
// goes away ends it within the printer wait at most, not after a spin or
// never.
TEST_P(ending_at_any_moment, ends_promptly_and_gives_the_terminal_back) {
    const moment at = std::get<0>(GetParam());
    const ending how = std::get<1>(GetParam());
    // Ctrl-\ ends with a core dump by default; none is wanted here.
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);

    pty_session session(launch_for(at));
    ASSERT_TRUE(reach(session, at));
    const pid_t zcal = session.program_pid();
    ASSERT_GT(zcal, 0);

    int signal_number = 0;
    switch (how) {
        case ending::ctrl_c:
            session.type("\x03");
            signal_number = SIGINT;
            break;
        case ending::ctrl_backslash:
            session.type("\x1c");
            signal_number = SIGQUIT;
            break;
        case ending::sigterm:
            kill(zcal, SIGTERM);
            signal_number = SIGTERM;
            break;
        case ending::sighup:
            kill(zcal, SIGHUP);
            signal_number = SIGHUP;
            break;
        case ending::terminal_closed:
            session.close_terminal();
            break;
    }
    int status = -1;
    // The printer wait is one 2.2 s sleep, which a closed terminal does not
    // cut short; nothing else may take long. A loaded machine gets slack.
    ASSERT_TRUE(session.wait_exit(6.0, &status)) << "still running\n" << session.dump();
    EXPECT_EQ(kill(zcal, 0), -1) << "zcal outlived its ending";
    EXPECT_EQ(errno, ESRCH);
    if (how != ending::terminal_closed) {
        EXPECT_EQ(status, 128 + signal_number);
        expect_terminal_restored(session);
        if (at != moment::too_small_wait) {
            EXPECT_GT(session.cursor_row(), 24) << "the cursor is left in the frame";
        }
    }
    if (at == moment::printer_wait || at == moment::calibrating) {
        EXPECT_TRUE(session.wait_for_event("#close", deadline_seconds)) << "the port stayed open\n"
                                                                        << session.log();
    }
}

INSTANTIATE_TEST_SUITE_P(endings, ending_at_any_moment,
                         ::testing::Combine(::testing::Values(moment::printer_wait, moment::no_port_pause,
                                                              moment::calibrating, moment::too_small_wait),
                                            ::testing::Values(ending::ctrl_c, ending::ctrl_backslash,
                                                              ending::sigterm, ending::sighup,
                                                              ending::terminal_closed)),
                         [](const ::testing::TestParamInfo<std::tuple<moment, ending>>& instance) {
                             return ending_name(std::get<1>(instance.param)) + "_" +
                                    moment_name(std::get<0>(instance.param));
                         });

}  // namespace
}  // namespace faults
