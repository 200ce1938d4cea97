// zcal's command line: nothing (search for the printer's port), one port,
// or a request for the help text or the version.
#pragma once

#include <cstddef>

enum class command_action {
    calibrate,  // run; port_given says whether a port was named
    show_help,
    show_version,
    usage_error  // print the one-line usage error and exit with 2
};

enum class usage_fault {
    none,
    unknown_option,  // starts with "-" and is no option zcal knows
    second_port,     // a port was named already
    not_a_port       // names no port on this system (or too long a name)
};

struct command_line {
    command_action action;
    bool port_given;  // port_name holds the port to open
    usage_fault fault;
    const char* offending;  // the argument at fault, else nullptr
};

// The exit status of a command line zcal cannot follow.
constexpr int usage_exit_status = 2;

// Room for the longest port name (a Linux device path).
constexpr std::size_t port_name_capacity = 4096;

// Reads argv[1..argc-1]. A port is turned into the name CreateFileA opens,
// in port_name (capacity bytes), by the platform's rules. Help and version
// win over a port; any fault wins over both, and the first fault found is
// the one reported.
command_line parse_command_line(int argc, const char* const* argv, char* port_name, std::size_t capacity);
