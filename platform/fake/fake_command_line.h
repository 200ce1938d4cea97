// The fake's command-line rules: the tests choose which system's they are.
#pragma once

namespace fake {

enum class command_line_style {
    windows,  // "/?" is help; a port is COM5 or \\.\COM5 (the default)
    posix     // a port is a device path
};

// Stays until changed; fake::reset() leaves it alone.
void set_command_line_style(command_line_style style);

}  // namespace fake
