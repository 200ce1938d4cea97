#include "app/command_line.h"

#include <cstring>

#include "platform/platform.h"

namespace {

bool is_one_of(const char* argument, const char* first, const char* second) {
    return std::strcmp(argument, first) == 0 || std::strcmp(argument, second) == 0;
}

command_line fault(usage_fault kind, const char* argument) {
    return command_line{command_action::usage_error, false, kind, argument};
}

}  // namespace

command_line parse_command_line(int argc, const char* const* argv, char* port_name, std::size_t capacity) {
    bool help = false;
    bool version = false;
    bool port_given = false;
    for (int index = 1; index < argc; ++index) {
        const char* argument = argv[index];
        if (is_one_of(argument, "--help", "-h") ||
            (slash_question_asks_for_help() && std::strcmp(argument, "/?") == 0)) {
            help = true;
        } else if (std::strcmp(argument, "--version") == 0) {
            version = true;
        } else if (argument[0] == '-') {
            // "-" alone too: zcal reads no standard input in its place.
            return fault(usage_fault::unknown_option, argument);
        } else if (port_given) {
            return fault(usage_fault::second_port, argument);
        } else if (!port_name_from_argument(argument, port_name, capacity)) {
            return fault(usage_fault::not_a_port, argument);
        } else {
            port_given = true;
        }
    }
    if (help) {
        return command_line{command_action::show_help, false, usage_fault::none, nullptr};
    }
    if (version) {
        return command_line{command_action::show_version, false, usage_fault::none, nullptr};
    }
    return command_line{command_action::calibrate, port_given, usage_fault::none, nullptr};
}
