#include "screen/prepare_console.h"
#include "screen/screen_map.h"

void prepare_console() {
    // ISO 8859-1, so every byte the program writes is one character.
    run_console_command(code_page_command);
    run_console_command(clear_command);

    // The layout is fixed: take away the sizing border and the maximise
    // button so the window cannot be made to cut it off or stretch it.
    HWND window = GetConsoleWindow();
    LONG style = GetWindowLongA(window, GWL_STYLE);
    SetWindowLongA(window, GWL_STYLE, style & ~(WS_MAXIMIZEBOX | WS_THICKFRAME));

    SetConsoleTitleA(console_title);
}
