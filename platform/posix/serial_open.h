// Opening a serial device the way the program opens a port: read and write,
// no controlling terminal, exclusive while open.
#pragma once

#include "platform/platform.h"

namespace zcal_posix {

// Opens path as a serial port. Share mode 0 makes it exclusive: a device
// another program has (port_claim.h) is refused with
// ERROR_SHARING_VIOLATION (or ERROR_ACCESS_DENIED, when its exclusive mode
// refuses the open itself). A path that is no terminal device is no serial
// port: ERROR_FILE_NOT_FOUND. A device that exists and is refused leaves
// the reason behind (skip_reasons.h). CreateFileA
// calls this once it has the port name's device path; tests call it with a
// pseudo-terminal's.
HANDLE open_serial_device(const char* path, DWORD access, DWORD share_mode);

}  // namespace zcal_posix
