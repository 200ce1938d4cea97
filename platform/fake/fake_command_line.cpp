// The command-line rules of either system, on the fake, with the same port
// name rules the real layers use.
#include "platform/fake/fake_command_line.h"

#include "platform/common/port_argument.h"
#include "platform/platform.h"

namespace fake {
namespace {

command_line_style current_style = command_line_style::windows;

}  // namespace

void set_command_line_style(command_line_style style) { current_style = style; }

}  // namespace fake

bool slash_question_asks_for_help() { return fake::current_style == fake::command_line_style::windows; }

bool port_name_from_argument(const char* argument, char* port_name, std::size_t capacity) {
    return fake::current_style == fake::command_line_style::windows
               ? com_port_name_from_argument(argument, port_name, capacity)
               : device_path_from_argument(argument, port_name, capacity);
}

const char* port_rules_text() { return "PORT rules of the fake\n"; }
