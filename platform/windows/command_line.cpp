// The Windows command line: "/?" asks for help, and a port is a COM port.
#include "platform/common/port_argument.h"
#include "platform/platform.h"

bool slash_question_asks_for_help() { return true; }

bool port_name_from_argument(const char* argument, char* port_name, std::size_t capacity) {
    return com_port_name_from_argument(argument, port_name, capacity);
}

const char* port_rules_text() {
    return "PORT is the printer's COM port: COM5 or \\\\.\\COM5, any number. Without\n"
           "PORT, zcal tries COM0 to COM20 in turn and uses the first one that it\n"
           "can open for itself alone; a port another program holds is skipped.\n";
}
