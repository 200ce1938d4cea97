// Finding the printer: the first of the serial ports "\\.\COM0" to
// "\\.\COM20" that opens and takes its line settings.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The serial line settings and read time-outs every port is given.
constexpr const char* printer_line_mode = "250000,n,8,1";
constexpr DWORD read_timeout_ms = 1;  // interval, per-byte multiplier and constant alike

// Tries "\\.\COM0" to "\\.\COM20" in rising order and keeps the first that
// opens and takes its line settings. Gives 1 with the port in *printer_port,
// or -1 when none did (then *printer_port is INVALID_HANDLE_VALUE).
std::int32_t find_serial_port(HANDLE* printer_port);

// Opens and configures one port. *printer_port is written with what the open
// gave before it is tested; on any failure it ends as INVALID_HANDLE_VALUE and
// nothing stays open.
std::int32_t open_serial_port(HANDLE* printer_port, const char* port_name);
