// Who else has a device open. A serial port that another program has open
// is in use whether or not that program locked it, so the /proc of every
// process is looked through, as fuser does. Descriptors are matched by the
// device number they lead to, not by path: a by-id link, another device
// node or a bind mount of the same device is the same port.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace zcal_posix {

// The first process other than this one with a descriptor open on the
// character device rdev; 0 when none is seen. Processes whose descriptors
// this one may not look at (another user's, unless it is root) are not seen.
pid_t find_port_holder(dev_t rdev);

// The command name of process pid (/proc/<pid>/comm, at most 15 characters)
// into name; "" when it cannot be read.
void read_process_name(pid_t pid, char* name, std::size_t capacity);

}  // namespace zcal_posix
