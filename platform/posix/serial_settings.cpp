// BuildCommDCBA, SetCommState and SetCommTimeouts.
#include <cstring>

#include "platform/common/mode_string.h"
#include "platform/posix/error_codes.h"
#include "platform/posix/handles.h"
#include "platform/posix/serial_settings.h"

namespace zcal_posix {

namespace {

constexpr BYTE rts_control_handshake = 2;
constexpr char default_xon = 0x11;
constexpr char default_xoff = 0x13;

}  // namespace

bool serial_line_from_dcb(const DCB& settings, serial_line* line) {
    if (settings.BaudRate == 0 || settings.ByteSize < 5 || settings.ByteSize > 8) {
        return false;
    }
    static const char parities[] = {'n', 'o', 'e', 'm', 's'};
    if (settings.Parity > SPACEPARITY || settings.StopBits > TWOSTOPBITS) {
        return false;
    }
    line->baud = settings.BaudRate;
    line->data_bits = settings.ByteSize;
    line->parity = parities[settings.Parity];
    line->stop_bits = settings.StopBits == ONESTOPBIT ? 1 : 2;
    line->rts_cts = settings.fOutxCtsFlow != 0 || settings.fRtsControl == rts_control_handshake;
    line->xon_xoff_out = settings.fOutX != 0;
    line->xon_xoff_in = settings.fInX != 0;
    line->xon = settings.XonChar != 0 ? settings.XonChar : default_xon;
    line->xoff = settings.XoffChar != 0 ? settings.XoffChar : default_xoff;
    return true;
}

}  // namespace zcal_posix

using namespace zcal_posix;

BOOL BuildCommDCBA(const char* lpDef, DCB* lpDCB) {
    if (lpDCB == nullptr || !parse_mode_string(lpDef, lpDCB)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

// The modem lines (DTR, RTS) are left as opening the device set them:
// raised. A cleared record's DTR and RTS fields read "disable", but a
// printer that resets on DTR, or only talks while it is up, needs it raised.
BOOL SetCommState(HANDLE hFile, DCB* lpDCB) {
    port_slot* port = port_slot_of(hFile);
    if (port == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    serial_line line;
    if (lpDCB == nullptr || !serial_line_from_dcb(*lpDCB, &line)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const int error = apply_serial_line(port->fd, line);
    if (error != 0) {
        SetLastError(error_from_errno(error));
        return FALSE;
    }
    return TRUE;
}

BOOL SetCommTimeouts(HANDLE hFile, COMMTIMEOUTS* lpCommTimeouts) {
    port_slot* port = port_slot_of(hFile);
    if (port == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpCommTimeouts == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    port->timeouts = *lpCommTimeouts;
    return TRUE;
}
