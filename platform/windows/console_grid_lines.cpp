// A console program cannot ask whether its console draws grid lines; its
// window tells. A classic console has a visible window of its own. A pseudo
// console (a terminal window hosting the program) has none, or a hidden
// stand-in of class "PseudoConsoleWindow", and its renderer sends colours
// but no grid lines.
#include <cstring>

#include "platform/platform.h"

bool console_draws_grid_lines() {
    HWND window = GetConsoleWindow();
    if (window == nullptr || !IsWindowVisible(window)) {
        return false;
    }
    char window_class[32];
    std::memset(window_class, 0, sizeof window_class);
    GetClassNameA(window, window_class, sizeof window_class);
    return std::strcmp(window_class, "PseudoConsoleWindow") != 0;
}
