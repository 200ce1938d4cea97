// Which device each of the program's port names stands for. "\\.\COM0" to
// "\\.\COM20" take the USB serial devices in turn, so the first device of
// either kind is found early: an even number n is /dev/ttyACM(n/2), an odd
// one /dev/ttyUSB(n/2): COM0 ttyACM0, COM1 ttyUSB0, COM2 ttyACM1, ...,
// COM20 ttyACM10.
//
// Like CreateFileA on Windows, a name outside the "\\.\" device namespace
// is a path and opens as it is: that is how a port the user names on the
// command line (/dev/ttyUSB3, /dev/serial/by-id/...) is opened.
#pragma once

#include <cstddef>

namespace zcal_posix {

constexpr int last_port_number = 20;

// Room for any path the system can open.
constexpr std::size_t device_path_capacity = 4096;

// Writes the device path for a port name into path (capacity bytes): the
// device of "\\.\COMn", or the name itself when it is a path. False for
// any other name in the device namespace, or an empty one: no such port.
bool device_path_for_port(const char* port_name, char* path, std::size_t capacity);

}  // namespace zcal_posix
