#include "app/help_text.h"

#include <cstdio>

#include "platform/platform.h"
#include "zcal_version.h"

namespace {

constexpr const char* usage_line = "usage: zcal [PORT] | zcal --help | zcal --version";

const char* fault_text(usage_fault fault) {
    switch (fault) {
        case usage_fault::unknown_option:
            return "unknown option";
        case usage_fault::second_port:
            return "a second port";
        case usage_fault::not_a_port:
            return "not a port";
        case usage_fault::none:
            break;
    }
    return "bad argument";
}

}  // namespace

void print_help() {
    std::printf("zcal %s: calibrate a 3D printer's Z height by hand.\n\n", zcal_version);
    std::printf("%s\n\n", usage_line);
    std::fputs(
        "zcal opens the printer's serial port (250000 baud, 8N1), waits 2.2 s while\n"
        "the printer starts, and then moves its Z axis from 200.000 with six keys.\n"
        "Each step is sent as one G-code line, such as \"G1 F600 Z201.000\".\n"
        "\n"
        "  a  +1.000    z  -1.000\n"
        "  e  +0.100    r  -0.100\n"
        "  t  +0.010    y  -0.010\n"
        "  Space        ends zcal\n"
        "\n"
        "Keys are matched by their letter, in either case. The console or terminal\n"
        "needs at least 119 columns and 25 rows.\n"
        "\n",
        stdout);
    std::fputs(port_rules_text(), stdout);
    std::fputs(
        "When the port cannot be used, zcal shows \"Error: unable to find serial\n"
        "comm\" and ends at the next key.\n"
        "\n",
        stdout);
    std::printf("  -h, --help%s  show this text\n", slash_question_asks_for_help() ? ", /?" : "    ");
    std::fputs(
        "  --version       show zcal's version\n"
        "\n"
        "Exit status: 0, with or without a printer; 2 for a command line zcal\n"
        "cannot follow.\n",
        stdout);
}

void print_version() { std::printf("zcal %s\n", zcal_version); }

void print_usage_error(const command_line& command) {
    std::fprintf(stderr, "zcal: %s: '%s'; %s\n", fault_text(command.fault),
                 command.offending != nullptr ? command.offending : "", usage_line);
}
