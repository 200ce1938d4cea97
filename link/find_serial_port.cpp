#include <cstdio>
#include <cstring>

#include "link/find_serial_port.h"

namespace {

constexpr const char* port_name_prefix = "\\\\.\\COM";
constexpr unsigned short port_count = 21;  // COM0 to COM20
constexpr int port_name_size = 20;

// DC1 and DC3, the characters XON/XOFF flow control would use.
constexpr char xon_character = 0x11;
constexpr char xoff_character = 0x13;

// A port that will not take its settings would drive the printer at
// whatever speed it had before, garbling every move: let it go now rather
// than hold it, unreferenced, until the process ends, and try the next.
std::int32_t give_up_port(HANDLE* printer_port) {
    CloseHandle(*printer_port);
    *printer_port = INVALID_HANDLE_VALUE;
    return -1;
}

}  // namespace

std::int32_t find_serial_port(HANDLE* printer_port) {
    unsigned short port_number = 0;
    for (; port_number < port_count; ++port_number) {
        char port_name[port_name_size];
        std::memset(port_name, 0, sizeof port_name);
        std::snprintf(port_name, sizeof port_name, "%s%hu", port_name_prefix, port_number);
        if (open_serial_port(printer_port, port_name) > 0) {
            break;
        }
    }
    return port_number == port_count ? -1 : 1;
}

std::int32_t open_serial_port(HANDLE* printer_port, const char* port_name) {
    // Share mode 0: the port is ours alone while it is open, so a port that
    // another program holds fails here and the search moves on.
    *printer_port =
        CreateFileA(port_name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (*printer_port == INVALID_HANDLE_VALUE) {
        return -1;
    }

    DCB line_settings;
    std::memset(&line_settings, 0, sizeof line_settings);
    line_settings.DCBlength = sizeof line_settings;
    if (!BuildCommDCBA(printer_line_mode, &line_settings)) {
        return give_up_port(printer_port);
    }
    // The builder sets only what the mode string names. Serial drivers refuse
    // a record whose XON and XOFF characters are equal, and Windows moves
    // bytes in binary mode only, so the zeros of the cleared record would
    // have the settings refused. Flow control stays off: these characters
    // are never sent.
    line_settings.XonChar = xon_character;
    line_settings.XoffChar = xoff_character;
    line_settings.fBinary = TRUE;
    if (!SetCommState(*printer_port, &line_settings)) {
        return give_up_port(printer_port);
    }

    COMMTIMEOUTS timeouts;
    std::memset(&timeouts, 0, sizeof timeouts);
    timeouts.ReadIntervalTimeout = read_timeout_ms;
    timeouts.ReadTotalTimeoutMultiplier = read_timeout_ms;
    timeouts.ReadTotalTimeoutConstant = read_timeout_ms;
    if (!SetCommTimeouts(*printer_port, &timeouts)) {
        return give_up_port(printer_port);
    }
    return 1;
}
