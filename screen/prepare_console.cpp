#include "screen/prepare_console.h"
#include "screen/screen_map.h"

void prepare_console() {
    // ISO 8859-1, so every byte the program writes is one character.
    run_console_command(code_page_command);
    run_console_command(clear_command);

    // The frame is drawn with grid-line bits, which the console shows in
    // every code page only in this output mode; elsewhere only in the East
    // Asian ones. A console too old to know the mode refuses it, and keeps
    // what it had.
    HANDLE console_out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD output_mode = 0;
    if (GetConsoleMode(console_out, &output_mode)) {
        SetConsoleMode(console_out, output_mode | ENABLE_LVB_GRID_WORLDWIDE);
    }

    // The layout is fixed: take away the sizing border and the maximise
    // button so the window cannot be made to cut it off or stretch it. The
    // window draws its new frame only once told that the style changed.
    HWND window = GetConsoleWindow();
    LONG style = GetWindowLongA(window, GWL_STYLE);
    SetWindowLongA(window, GWL_STYLE, style & ~(WS_MAXIMIZEBOX | WS_THICKFRAME));
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);

    SetConsoleTitleA(console_title);
}
