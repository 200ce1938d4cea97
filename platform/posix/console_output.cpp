// The console's output calls, drawn by the renderer. There is no console
// window here: its functions give nothing and do nothing.
#include "platform/posix/console_session.h"
#include "platform/posix/handles.h"

using namespace zcal_posix;

namespace {

bool valid_output(HANDLE handle) {
    if (handle != console_out_handle || console_output_closed()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return true;
}

}  // namespace

BOOL SetConsoleCursorPosition(HANDLE hConsoleOutput, COORD dwCursorPosition) {
    if (!valid_output(hConsoleOutput)) {
        return FALSE;
    }
    if (dwCursorPosition.X < 0 || dwCursorPosition.Y < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    renderer_set_cursor(console_screen(), dwCursorPosition.X, dwCursorPosition.Y);
    return TRUE;
}

BOOL SetConsoleTextAttribute(HANDLE hConsoleOutput, WORD wAttributes) {
    if (!valid_output(hConsoleOutput)) {
        return FALSE;
    }
    renderer_set_attribute(console_screen(), wAttributes);
    return TRUE;
}

BOOL WriteConsoleA(HANDLE hConsoleOutput, const void* lpBuffer, DWORD nNumberOfCharsToWrite,
                   DWORD* lpNumberOfCharsWritten, void* lpReserved) {
    if (!valid_output(hConsoleOutput)) {
        return FALSE;
    }
    if (lpReserved != nullptr || (lpBuffer == nullptr && nNumberOfCharsToWrite > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    renderer_write(console_screen(), static_cast<const char*>(lpBuffer), nNumberOfCharsToWrite);
    if (lpNumberOfCharsWritten != nullptr) {
        *lpNumberOfCharsWritten = nNumberOfCharsToWrite;
    }
    return TRUE;
}

BOOL WriteConsoleOutputCharacterW(HANDLE hConsoleOutput, const WCHAR* lpCharacter, DWORD nLength,
                                  COORD dwWriteCoord, DWORD* lpNumberOfCharsWritten) {
    if (!valid_output(hConsoleOutput)) {
        return FALSE;
    }
    if (lpNumberOfCharsWritten == nullptr || (lpCharacter == nullptr && nLength > 0) || dwWriteCoord.X < 0 ||
        dwWriteCoord.Y < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpNumberOfCharsWritten = static_cast<DWORD>(
        renderer_write_characters(console_screen(), dwWriteCoord.X, dwWriteCoord.Y, lpCharacter, nLength));
    return TRUE;
}

BOOL SetConsoleTitleA(const char* lpConsoleTitle) {
    if (lpConsoleTitle == nullptr || console_output_closed()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    renderer_set_title(console_screen(), lpConsoleTitle);
    return TRUE;
}

HWND GetConsoleWindow() { return nullptr; }

LONG GetWindowLongA(HWND, int) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
}

LONG SetWindowLongA(HWND, int, LONG) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
}

BOOL SetWindowPos(HWND, HWND, int, int, int, int, UINT) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
