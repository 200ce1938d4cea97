// Opening a serial device the way the program opens a port: read and write,
// no controlling terminal, exclusive while open.
#pragma once

#include "platform/platform.h"

namespace zcal_posix {

// Opens path as a serial port. Share mode 0 makes it exclusive: a device
// another program holds (flock, or TIOCEXCL for other users) refuses with
// ERROR_SHARING_VIOLATION or ERROR_ACCESS_DENIED. A path that is no
// terminal device is no serial port: ERROR_FILE_NOT_FOUND. CreateFileA
// calls this once it has the port name's device path; tests call it with a
// pseudo-terminal's.
HANDLE open_serial_device(const char* path, DWORD access, DWORD share_mode);

// Takes back the exclusive use of one port, before it is closed.
void release_port_exclusivity_of(int fd);

// Takes back the exclusive use of every open port. A pseudo-terminal keeps
// TIOCEXCL after its last close while its other side is open, so a port
// must give it up before it is closed. Async-signal-safe.
void release_port_exclusivity();

}  // namespace zcal_posix
