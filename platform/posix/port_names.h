// Which device each of the program's port names stands for. "\\.\COM0" to
// "\\.\COM20" take the USB serial devices in turn, so the first device of
// either kind is found early: an even number n is /dev/ttyACM(n/2), an odd
// one /dev/ttyUSB(n/2): COM0 ttyACM0, COM1 ttyUSB0, COM2 ttyACM1, ...,
// COM20 ttyACM10.
#pragma once

#include <cstddef>

namespace zcal_posix {

constexpr int last_port_number = 20;

// Writes the device path for a port name into path (capacity bytes, 32 are
// enough). False for any other name: no such port.
bool device_path_for_port(const char* port_name, char* path, std::size_t capacity);

}  // namespace zcal_posix
