#include "app/calibration.h"

#include <cstdio>
#include <cstring>

#include "link/command_reply.h"
#include "screen/height.h"
#include "screen/indicator.h"

namespace {

struct step_key {
    WORD virtual_key;
    double step;
};

// Keys are matched by the letter the keyboard layout gives them, whatever
// character they type, so case, Shift and Caps Lock make no difference.
constexpr step_key step_table[] = {
    {0x41, 1.0},    // A
    {0x5A, -1.0},   // Z
    {0x45, 0.1},    // E
    {0x52, -0.1},   // R
    {0x54, 0.01},   // T
    {0x59, -0.01},  // Y
};

void pause_after_step() {
    Sleep(idle_pause_ms);
    Sleep(idle_pause_ms);
}

}  // namespace

double step_for_key(WORD virtual_key) {
    for (const step_key& key : step_table) {
        if (key.virtual_key == virtual_key) {
            return key.step;
        }
    }
    return 0.0;
}

float apply_step(float z_height, double step) {
    return static_cast<float>(static_cast<double>(z_height) + step);
}

void format_move_command(char* text, float z_height) {
    std::memset(text, 0, text_cleared_size);
    std::snprintf(text, text_cleared_size, "G1 F600 Z%.3f\n", static_cast<double>(z_height));
}

bool console_input_has_ended(DWORD error) {
    return error == ERROR_INVALID_HANDLE || error == ERROR_HANDLE_EOF;
}

void run_calibration(HANDLE console_in, HANDLE console_out, HANDLE printer_port) {
    float z_height = start_height;
    SHORT indicator_row = start_indicator_row;
    char text[text_buffer_size];
    std::memset(text, 0, sizeof text);

    for (;;) {
        INPUT_RECORD record;
        std::memset(&record, 0, sizeof record);

        DWORD pending = 0;
        if (!GetNumberOfConsoleInputEvents(console_in, &pending)) {
            if (console_input_has_ended(GetLastError())) {
                return;
            }
            Sleep(idle_pause_ms);
            continue;
        }
        if (pending == 0) {
            Sleep(idle_pause_ms);
            continue;
        }

        DWORD read = 0;
        const BOOL read_ok = ReadConsoleInputA(console_in, &record, 1, &read);
        if (!read_ok && console_input_has_ended(GetLastError())) {
            return;
        }
        if (!read_ok || read != 1) {
            Sleep(idle_pause_ms);
            continue;
        }

        if (record.EventType != KEY_EVENT) {
            pause_after_step();
            continue;
        }
        // One step per press: a release is not a second step. Auto-repeat
        // records are key-down records, so a held key keeps stepping.
        const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
        if (!key.bKeyDown) {
            continue;
        }
        if (key.wVirtualKeyCode == VK_SPACE) {
            return;
        }
        const double step = step_for_key(key.wVirtualKeyCode);
        if (step == 0.0) {
            continue;
        }

        z_height = apply_step(z_height, step);
        format_move_command(text, z_height);
        send_command(printer_port, text);
        read_reply(printer_port, text);
        show_height(console_out, z_height, text);
        advance_indicator(console_out, &indicator_row);
        pause_after_step();
    }
}
