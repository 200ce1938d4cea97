// The command line, read by the program's parser under either system's
// rules, and the whole program started with each kind of command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "fake_fixture.h"
#include "platform/common/port_argument.h"
#include "platform/fake/fake_command_line.h"

namespace {

using fake::command_line_style;
using fake::ms;
using program_with_arguments = on_fake;  // each test on a fresh fake platform

struct parse_case {
    std::vector<const char*> arguments;  // after the program's name
    command_action action;
    usage_fault fault;
    const char* port_name;  // when a port is given; the offending argument for a fault
};

std::string describe(const std::vector<const char*>& arguments) {
    std::string text = "zcal";
    for (const char* argument : arguments) {
        text += std::string(" [") + argument + "]";
    }
    return text;
}

void expect_parses(command_line_style style, const std::vector<parse_case>& cases) {
    fake::set_command_line_style(style);
    for (const parse_case& c : cases) {
        std::vector<const char*> argv = {"zcal"};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        argv.push_back(nullptr);
        char port_name[port_name_capacity] = "untouched";
        const command_line command =
            parse_command_line(static_cast<int>(argv.size() - 1), argv.data(), port_name, sizeof port_name);
        SCOPED_TRACE(describe(c.arguments));
        EXPECT_EQ(command.action, c.action);
        EXPECT_EQ(command.fault, c.fault);
        const bool port = c.action == command_action::calibrate && c.port_name != nullptr;
        EXPECT_EQ(command.port_given, port);
        if (port) {
            EXPECT_STREQ(port_name, c.port_name);
        }
        if (c.action == command_action::usage_error) {
            EXPECT_STREQ(command.offending, c.port_name);
        } else {
            EXPECT_EQ(command.offending, nullptr);
        }
    }
    fake::set_command_line_style(command_line_style::windows);
}

const command_action calibrate = command_action::calibrate;
const command_action help = command_action::show_help;
const command_action version = command_action::show_version;
const command_action error = command_action::usage_error;
const usage_fault none = usage_fault::none;

TEST(command_line, on_windows_a_port_is_a_com_port_and_slash_question_is_help) {
    expect_parses(command_line_style::windows,
                  {
                      {{}, calibrate, none, nullptr},
                      {{"COM5"}, calibrate, none, "\\\\.\\COM5"},
                      {{"com12"}, calibrate, none, "\\\\.\\COM12"},
                      {{"\\\\.\\COM5"}, calibrate, none, "\\\\.\\COM5"},
                      {{"\\\\.\\cOm256"}, calibrate, none, "\\\\.\\COM256"},
                      {{"--help"}, help, none, nullptr},
                      {{"-h"}, help, none, nullptr},
                      {{"/?"}, help, none, nullptr},
                      {{"--version"}, version, none, nullptr},
                      {{"COM3", "--help"}, help, none, nullptr},
                      {{"--version", "--help"}, help, none, nullptr},
                      {{"--version", "COM3"}, version, none, nullptr},
                      {{"COM"}, error, usage_fault::not_a_port, "COM"},
                      {{"COM5:"}, error, usage_fault::not_a_port, "COM5:"},
                      {{"COM 5"}, error, usage_fault::not_a_port, "COM 5"},
                      {{"LPT1"}, error, usage_fault::not_a_port, "LPT1"},
                      {{"/dev/ttyUSB0"}, error, usage_fault::not_a_port, "/dev/ttyUSB0"},
                      {{""}, error, usage_fault::not_a_port, ""},
                      {{"COM3", "COM4"}, error, usage_fault::second_port, "COM4"},
                      {{"COM3", "COM3"}, error, usage_fault::second_port, "COM3"},
                      {{"--port", "COM3"}, error, usage_fault::unknown_option, "--port"},
                      {{"-"}, error, usage_fault::unknown_option, "-"},
                      {{"--help", "-v"}, error, usage_fault::unknown_option, "-v"},
                      {{"--HELP"}, error, usage_fault::unknown_option, "--HELP"},
                  });
}

TEST(command_line, on_linux_a_port_is_a_device_path_and_slash_question_is_a_path) {
    const std::string long_path = "/dev/serial/by-id/" + std::string(port_name_capacity - 19, 'x');
    const std::string too_long = long_path + "x";
    expect_parses(command_line_style::posix,
                  {
                      {{}, calibrate, none, nullptr},
                      {{"/dev/ttyUSB3"}, calibrate, none, "/dev/ttyUSB3"},
                      {{"/dev/serial/by-id/usb-Zudazo_Dadez_8543-if00"},
                       calibrate,
                       none,
                       "/dev/serial/by-id/usb-Zudazo_Dadez_8543-if00"},
                      {{"ttyUSB0"}, calibrate, none, "ttyUSB0"},
                      {{"/?"}, calibrate, none, "/?"},
                      {{long_path.c_str()}, calibrate, none, long_path.c_str()},
                      {{"--help", "/dev/ttyACM0"}, help, none, nullptr},
                      {{"--version"}, version, none, nullptr},
                      {{too_long.c_str()}, error, usage_fault::not_a_port, too_long.c_str()},
                      {{""}, error, usage_fault::not_a_port, ""},
                      {{"/dev/ttyUSB0", "/dev/ttyUSB1"}, error, usage_fault::second_port, "/dev/ttyUSB1"},
                      {{"-b", "250000"}, error, usage_fault::unknown_option, "-b"},
                      {{"/dev/ttyACM0", "--bogus", "--help"}, error, usage_fault::unknown_option, "--bogus"},
                  });
}

TEST(command_line, com_port_name_that_does_not_fit_is_refused) {
    char name[9];  // "\\.\COM12" and its zero need 10
    EXPECT_TRUE(com_port_name_from_argument("COM1", name, sizeof name));
    EXPECT_STREQ(name, "\\\\.\\COM1");
    EXPECT_FALSE(com_port_name_from_argument("COM12", name, sizeof name));
    EXPECT_FALSE(com_port_name_from_argument(nullptr, name, sizeof name));
    EXPECT_FALSE(device_path_from_argument(nullptr, name, sizeof name));
}

// ---- The whole program with a command line ----------------------------

int run_with(std::vector<const char*> arguments) {
    std::vector<char*> argv;
    std::vector<std::string> storage = {"zcal"};
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    for (std::string& argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    return zcal_main(static_cast<int>(storage.size()), argv.data());
}

TEST_F(program_with_arguments, a_given_port_is_the_only_one_opened_and_is_used_like_a_found_one) {
    fake::add_port(0);
    fake::add_port(7);
    queue_taps("A ", ms(3000));

    EXPECT_EQ(run_with({"COM7"}), 0);

    EXPECT_EQ(fake::open_attempts(0), 0);
    EXPECT_EQ(sent_lines(7), std::vector<std::string>{"G1 F600 Z201.000"});
    EXPECT_EQ(fake::port_settings(7).BaudRate, 250000u);
    EXPECT_EQ(fake::port_timeouts(7).ReadTotalTimeoutConstant, read_timeout_ms);
    EXPECT_EQ(fake::trace_of("Sleep 2222").size(), 1u) << "the same start-up wait";
    EXPECT_EQ(fake::row_text(20).substr(63, 16), "_    (sigma bed)");
    EXPECT_EQ(fake::trace_of("CloseHandle").back(), "CloseHandle \\\\.\\COM7");
}

TEST_F(program_with_arguments,
       a_given_port_that_is_missing_held_or_refuses_settings_gives_the_no_port_screen) {
    const struct {
        const char* name;
        void (*set_up)();
    } cases[] = {
        {"missing", [] {}},
        {"held", [] { fake::add_port(7, fake::port_kind::held); }},
        {"refuses settings", [] { fake::add_port(7, fake::port_kind::refuses_settings); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake::reset();
        fake::add_port(0);
        c.set_up();
        fake::queue_tap('X', ms(5000));

        EXPECT_EQ(run_with({"\\\\.\\COM7"}), 0);

        EXPECT_EQ(fake::row_text(10).substr(3, 33), "Error: unable to find serial comm");
        EXPECT_EQ(fake::trace_of("CreateFileA").size(), 1u) << "no search after a given port failed";
        EXPECT_EQ(fake::open_attempts(0), 0);
        EXPECT_TRUE(fake::trace_of("WriteFile").empty());
        EXPECT_EQ(fake::trace_of("system pause > NUL").size(), 1u);
        EXPECT_EQ(fake::trace_of("CloseHandle").back(), "CloseHandle INVALID_HANDLE_VALUE");
    }
}

TEST_F(program_with_arguments, help_version_and_usage_errors_print_and_leave_console_and_ports_alone) {
    fake::add_port(0);
    const struct {
        std::vector<const char*> arguments;
        int status;
        const char* out_starts;  // standard output begins with this
        const char* error;       // standard error is exactly this
    } cases[] = {
        {{"--help"}, 0, "zcal ", ""},
        {{"/?"}, 0, "zcal ", ""},
        {{"--version"}, 0, "zcal " ZCAL_PROJECT_VERSION "\n", ""},
        {{"--bogus"},
         2,
         "",
         "zcal: unknown option: '--bogus'; usage: zcal [PORT] | zcal --help | zcal --version\n"},
        {{"COM1", "COM2"},
         2,
         "",
         "zcal: a second port: 'COM2'; usage: zcal [PORT] | zcal --help | zcal --version\n"},
        {{"ttyS0"}, 2, "", "zcal: not a port: 'ttyS0'; usage: zcal [PORT] | zcal --help | zcal --version\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(describe(c.arguments));
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int status = run_with(c.arguments);
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(out.rfind(c.out_starts, 0), 0u) << out;
        EXPECT_EQ(out.empty(), c.status != 0);
        if (c.arguments.front() == std::string("--version")) {
            EXPECT_EQ(out, c.out_starts);
        }
        EXPECT_EQ(err, c.error);
        EXPECT_TRUE(fake::trace().empty()) << "touched the platform: " << fake::trace().front();
    }
}

TEST_F(program_with_arguments, help_names_the_keys_the_port_rules_and_the_exit_status) {
    testing::internal::CaptureStdout();
    run_with({"--help"});
    const std::string text = testing::internal::GetCapturedStdout();
    for (const char* part : {"a  +1.000", "z  -1.000", "e  +0.100", "r  -0.100", "t  +0.010", "y  -0.010",
                             "Space", "PORT rules of the fake\n", "--version", "/?", "Exit status"}) {
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    }
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        EXPECT_LE(end - start, 79u) << "too wide for a console: " << text.substr(start, end - start);
    }
}

}  // namespace
