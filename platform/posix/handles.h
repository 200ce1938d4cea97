// The handles the layer gives out: two console tokens, and one per open
// serial port, standing for its file descriptor. No handle is ever null or
// INVALID_HANDLE_VALUE.
#pragma once

#include "platform/platform.h"

namespace zcal_posix {

HANDLE const console_in_handle = reinterpret_cast<HANDLE>(0x100);
HANDLE const console_out_handle = reinterpret_cast<HANDLE>(0x101);

// An open port: its descriptor and the time-outs its reads and writes keep.
struct port_slot {
    bool used;
    int fd;
    COMMTIMEOUTS timeouts;
};

constexpr int port_slot_count = 16;

// A handle for a newly opened port's descriptor; INVALID_HANDLE_VALUE when
// every slot is taken.
HANDLE port_handle_add(int fd);

// The open port a handle stands for, or nullptr.
port_slot* port_slot_of(HANDLE handle);

// Forgets the port (its descriptor is the caller's to close).
void port_slot_release(port_slot* slot);

// Whether any port is open. Async-signal-safe.
bool any_port_open();

}  // namespace zcal_posix
