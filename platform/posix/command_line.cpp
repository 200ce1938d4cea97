// The command line on Linux: a port is a device path, and "/?" is a path
// like any other, not a request for help.
#include "platform/common/port_argument.h"
#include "platform/platform.h"

bool slash_question_asks_for_help() { return false; }

bool port_name_from_argument(const char* argument, char* port_name, std::size_t capacity) {
    // CreateFileA opens a name outside the "\\.\" device namespace as the
    // path it is.
    return device_path_from_argument(argument, port_name, capacity);
}

const char* port_rules_text() {
    return "PORT is the printer's serial device, such as /dev/ttyUSB0 or a name\n"
           "under /dev/serial/by-id/. Without PORT, zcal tries /dev/ttyACM0,\n"
           "/dev/ttyUSB0, /dev/ttyACM1, /dev/ttyUSB1, ... up to /dev/ttyACM10 in\n"
           "turn and uses the first one that it can open for itself alone; a port\n"
           "another program holds is skipped. Using a serial device needs read and\n"
           "write access to it: on most systems, membership of the dialout group.\n";
}
