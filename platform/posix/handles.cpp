// GetStdHandle, CloseHandle and the table of open ports.
#include "platform/posix/handles.h"

#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstring>

#include "platform/posix/console_session.h"
#include "platform/posix/port_claim.h"

namespace zcal_posix {

namespace {

constexpr std::uintptr_t first_port_handle = 0x1000;
port_slot ports[port_slot_count];
// How many slots are used, for the signal handlers.
volatile sig_atomic_t open_ports = 0;

}  // namespace

HANDLE port_handle_add(int fd) {
    for (int i = 0; i < port_slot_count; ++i) {
        if (!ports[i].used) {
            std::memset(&ports[i], 0, sizeof ports[i]);
            ports[i].used = true;
            ports[i].fd = fd;
            open_ports = open_ports + 1;
            return reinterpret_cast<HANDLE>(first_port_handle + static_cast<std::uintptr_t>(i));
        }
    }
    return INVALID_HANDLE_VALUE;
}

port_slot* port_slot_of(HANDLE handle) {
    const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(handle);
    if (value < first_port_handle || value >= first_port_handle + port_slot_count) {
        return nullptr;
    }
    port_slot* slot = &ports[value - first_port_handle];
    return slot->used ? slot : nullptr;
}

void port_slot_release(port_slot* slot) {
    if (slot->used) {
        slot->used = false;
        open_ports = open_ports - 1;
    }
}

bool any_port_open() { return open_ports > 0; }

}  // namespace zcal_posix

using namespace zcal_posix;

HANDLE GetStdHandle(DWORD nStdHandle) {
    if (nStdHandle == STD_OUTPUT_HANDLE) {
        console_start();
        return console_out_handle;
    }
    if (nStdHandle == STD_INPUT_HANDLE) {
        console_start();
        return console_in_handle;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
}

BOOL CloseHandle(HANDLE hObject) {
    if (hObject == console_in_handle && !console_input_closed()) {
        console_close_input();
        return TRUE;
    }
    if (hObject == console_out_handle && !console_output_closed()) {
        console_close_output();
        return TRUE;
    }
    if (port_slot* slot = port_slot_of(hObject)) {
        // Closing the descriptor also lets go of its lock.
        release_port_claim(slot->fd);
        close(slot->fd);
        port_slot_release(slot);
        return TRUE;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
