// Making an open serial port ours alone, the way share mode 0 does on
// Windows, where a port another program has open cannot be opened at all.
// On Linux an open succeeds whoever else has the device, so the layer looks
// for every sign of another user (flock, exclusive mode, an open descriptor
// in any process, a lock file) and keeps the same signs up itself while it
// holds the port.
#pragma once

namespace zcal_posix {

// Claims the port open on fd (at path): flock, TIOCEXCL and a lock file.
// False when another program has it: the reason is recorded
// (skip_reasons.h), the last error is ERROR_SHARING_VIOLATION, nothing of
// the claim is left, and the caller closes fd.
bool claim_port(const char* path, int fd);

// Gives up the claim on one port, before it is closed.
void release_port_claim(int fd);

// Gives up the claims on every port. A pseudo-terminal keeps TIOCEXCL after
// its last close while its other side is open, and a lock file outlives
// its process, so both are undone before the program ends, on any path.
// Async-signal-safe.
void release_all_port_claims();

}  // namespace zcal_posix
