// How a user names a serial port on the command line, and the name the
// program then opens with CreateFileA. Two ways, one per kind of system; the
// platform layer picks its own (port_name_from_argument in platform.h).
#pragma once

#include <cstddef>

// Windows: "COM5" or "\\.\COM5", any number, in any letter case, becomes
// "\\.\COM5". Only the device namespace reaches ports above COM9, so the
// short form is always widened. False, leaving port_name unspecified, for
// anything else or a name that does not fit in capacity bytes.
bool com_port_name_from_argument(const char* argument, char* port_name, std::size_t capacity);

// Systems with device files: the argument is the device's path, used as it
// is (/dev/ttyUSB3, /dev/serial/by-id/...). False for an empty argument or
// one that does not fit in capacity bytes.
bool device_path_from_argument(const char* argument, char* port_name, std::size_t capacity);
