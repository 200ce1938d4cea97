// The part of the Windows console, serial and timing interface that zcal
// calls, declared by us for systems other than Windows. Only what the program
// uses is here; names, record layouts and values are those the program is
// written against, so the same source builds on both sides unchanged.
//
// Implemented by platform/posix (the real program on Linux) and by
// platform/fake (the unit tests' in-memory console, ports and clock).
#pragma once

#include <cstdint>

// ---- Basic types --------------------------------------------------------

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using SHORT = std::int16_t;
using LONG = std::int32_t;  // 32 bits on Windows whatever the data model
using UINT = unsigned int;
using BOOL = int;
using CHAR = char;
using WCHAR = char16_t;
using HANDLE = void*;
using HWND = void*;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

// The all-ones handle value that open calls return on failure.
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

// ---- Standard handles and errors ----------------------------------------

constexpr DWORD STD_INPUT_HANDLE = static_cast<DWORD>(-10);
constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;

// ---- Console records ----------------------------------------------------

struct COORD {
    SHORT X;  // column
    SHORT Y;  // row
};

struct KEY_EVENT_RECORD {
    BOOL bKeyDown;
    WORD wRepeatCount;
    WORD wVirtualKeyCode;
    WORD wVirtualScanCode;
    union {
        WCHAR UnicodeChar;
        CHAR AsciiChar;
    } uChar;
    DWORD dwControlKeyState;
};

struct WINDOW_BUFFER_SIZE_RECORD {
    COORD dwSize;
};

struct FOCUS_EVENT_RECORD {
    BOOL bSetFocus;
};

struct INPUT_RECORD {
    WORD EventType;
    union {
        KEY_EVENT_RECORD KeyEvent;
        WINDOW_BUFFER_SIZE_RECORD WindowBufferSizeEvent;
        FOCUS_EVENT_RECORD FocusEvent;
    } Event;
};

constexpr WORD KEY_EVENT = 0x0001;
constexpr WORD WINDOW_BUFFER_SIZE_EVENT = 0x0004;
constexpr WORD FOCUS_EVENT = 0x0010;

// Virtual-key codes the program and its tests name. Letters and digits are
// their own upper-case ASCII codes and have no names.
constexpr WORD VK_SHIFT = 0x10;
constexpr WORD VK_SPACE = 0x20;
constexpr WORD VK_F1 = 0x70;  // F2..F12 follow in order

// ---- Console attributes -------------------------------------------------

constexpr WORD FOREGROUND_BLUE = 0x0001;
constexpr WORD FOREGROUND_GREEN = 0x0002;
constexpr WORD FOREGROUND_RED = 0x0004;
constexpr WORD FOREGROUND_INTENSITY = 0x0008;
constexpr WORD COMMON_LVB_GRID_HORIZONTAL = 0x0400;
constexpr WORD COMMON_LVB_GRID_LVERTICAL = 0x0800;
constexpr WORD COMMON_LVB_GRID_RVERTICAL = 0x1000;

// Output mode: the grid-line bits are drawn in every code page, not only in
// the East Asian ones.
constexpr DWORD ENABLE_LVB_GRID_WORLDWIDE = 0x0010;

// ---- Window style -------------------------------------------------------

constexpr int GWL_STYLE = -16;
constexpr LONG WS_MAXIMIZEBOX = 0x00010000;
constexpr LONG WS_THICKFRAME = 0x00040000;

constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_FRAMECHANGED = 0x0020;

// ---- Files and serial ports ---------------------------------------------

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD OPEN_EXISTING = 3;

struct SECURITY_ATTRIBUTES;  // never passed: the program always gives none
struct OVERLAPPED;           // never passed: the program does plain blocking I/O

// Line settings. The layout is the platform's: 28 bytes, which the program
// stores in DCBlength.
struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};
static_assert(sizeof(DCB) == 28, "DCB must keep the platform's layout");

constexpr BYTE NOPARITY = 0;
constexpr BYTE ODDPARITY = 1;
constexpr BYTE EVENPARITY = 2;
constexpr BYTE MARKPARITY = 3;
constexpr BYTE SPACEPARITY = 4;
constexpr BYTE ONESTOPBIT = 0;
constexpr BYTE ONE5STOPBITS = 1;
constexpr BYTE TWOSTOPBITS = 2;

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};

// ---- Functions ----------------------------------------------------------

HANDLE GetStdHandle(DWORD nStdHandle);
BOOL CloseHandle(HANDLE hObject);
DWORD GetLastError();
void SetLastError(DWORD dwErrCode);
void Sleep(DWORD dwMilliseconds);

BOOL GetNumberOfConsoleInputEvents(HANDLE hConsoleInput, DWORD* lpNumberOfEvents);
BOOL ReadConsoleInputA(HANDLE hConsoleInput, INPUT_RECORD* lpBuffer, DWORD nLength,
                       DWORD* lpNumberOfEventsRead);
BOOL SetConsoleCursorPosition(HANDLE hConsoleOutput, COORD dwCursorPosition);
BOOL SetConsoleTextAttribute(HANDLE hConsoleOutput, WORD wAttributes);
BOOL WriteConsoleA(HANDLE hConsoleOutput, const void* lpBuffer, DWORD nNumberOfCharsToWrite,
                   DWORD* lpNumberOfCharsWritten, void* lpReserved);
BOOL WriteConsoleOutputCharacterW(HANDLE hConsoleOutput, const WCHAR* lpCharacter, DWORD nLength,
                                  COORD dwWriteCoord, DWORD* lpNumberOfCharsWritten);
BOOL GetConsoleMode(HANDLE hConsoleHandle, DWORD* lpMode);
BOOL SetConsoleMode(HANDLE hConsoleHandle, DWORD dwMode);
BOOL SetConsoleTitleA(const char* lpConsoleTitle);
HWND GetConsoleWindow();
LONG GetWindowLongA(HWND hWnd, int nIndex);
LONG SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong);
BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags);

HANDLE CreateFileA(const char* lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   SECURITY_ATTRIBUTES* lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
BOOL BuildCommDCBA(const char* lpDef, DCB* lpDCB);
BOOL SetCommState(HANDLE hFile, DCB* lpDCB);
BOOL SetCommTimeouts(HANDLE hFile, COMMTIMEOUTS* lpCommTimeouts);
BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
              OVERLAPPED* lpOverlapped);
BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD nNumberOfBytesToWrite, DWORD* lpNumberOfBytesWritten,
               OVERLAPPED* lpOverlapped);
