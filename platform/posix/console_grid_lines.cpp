// A terminal cannot draw lines on the edges of its cells, so the renderer
// draws each cell that carries grid-line bits as a line-drawing character
// of its own (console_renderer.h): seen from the program, this console draws
// grid lines, in every output mode. The output mode is kept only to be read
// back.
#include "platform/posix/console_session.h"
#include "platform/posix/handles.h"

using namespace zcal_posix;

namespace {

// Processed output and wrapping at the end of a line, as a new console has.
DWORD output_mode = 0x0003;
// The output mode bits a console knows; any other makes it refuse the mode.
constexpr DWORD known_output_modes = 0x001F;

}  // namespace

bool console_draws_grid_lines() { return true; }

BOOL GetConsoleMode(HANDLE hConsoleHandle, DWORD* lpMode) {
    if (hConsoleHandle != console_out_handle || console_output_closed()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpMode == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpMode = output_mode;
    return TRUE;
}

BOOL SetConsoleMode(HANDLE hConsoleHandle, DWORD dwMode) {
    if (hConsoleHandle != console_out_handle || console_output_closed()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if ((dwMode & ~known_output_modes) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    output_mode = dwMode;
    return TRUE;
}
