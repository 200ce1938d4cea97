#include <cstdio>
#include <cstring>

#include "screen/console_write.h"
#include "screen/height.h"

void show_height(HANDLE console_out, float z_height, char* text) {
    // Blank first: a value whose text got shorter must leave nothing behind.
    write_placed(console_out, height_blank);
    SetConsoleCursorPosition(console_out, height_field);

    std::memset(text, 0, height_text_limit);
    std::snprintf(text, height_text_limit, "%.3f", static_cast<double>(z_height));

    SetConsoleTextAttribute(console_out, height_attribute);
    write_here(console_out, text, static_cast<DWORD>(std::strlen(text)));
    SetConsoleTextAttribute(console_out, resting_attribute);
}
