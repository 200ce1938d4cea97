// The calibration loop: six keys step the height, each step goes to the
// printer as one move command and onto the screen; Space ends it.
#pragma once

#include "app/text_buffer.h"
#include "platform/platform.h"

constexpr float start_height = 200.0f;
constexpr SHORT start_indicator_row = 7;

// Pauses of the loop: when there is nothing to read, and after a step or a
// record that is not a key.
constexpr DWORD idle_pause_ms = 10;

// The step a virtual-key code asks for, in double precision; 0 when the key
// is not a step key.
double step_for_key(WORD virtual_key);

// Applies a step in double precision and keeps the result in single
// precision, rounded to nearest.
float apply_step(float z_height, double step);

// "G1 F600 Z<height>\n" with three decimals, into text (the text buffer).
void format_move_command(char* text, float z_height);

// True when a failed console input call says that the input is gone for good
// (closed, or never a console): polling it again would never end.
bool console_input_has_ended(DWORD error);

void run_calibration(HANDLE console_in, HANDLE console_out, HANDLE printer_port);
