// Everything zcal shows: the prepared console, the fixed screen with its
// frame, the error and bed lines, the height field and the indicator.
#pragma once

#include "platform/platform.h"

// Code page, blank screen, a window that cannot be resized, the title.
void prepare_console();

// The frame and every fixed text; leaves the height field blank and the
// resting attribute in effect.
void draw_screen(HANDLE console_out);

// The frame's 272 cells for top row origin.Y; the column of origin is not
// used. Every cell is a space; the lines come from grid-line attribute bits,
// or, where the console does not draw those, from draw_frame_lines.
void draw_frame(HANDLE console_out, COORD origin);

// Puts line characters into the frame's 272 cells for top row top, leaving
// their attribute words and the cursor as they are.
void draw_frame_lines(HANDLE console_out, SHORT top);

void show_port_error(HANDLE console_out);
void draw_bed(HANDLE console_out);

// Blanks the height field and writes z_height with three decimals into it,
// using text (at least 255 bytes) to format.
void show_height(HANDLE console_out, float z_height, char* text);

// Draws the next bar and point of the indicator and moves indicator_row on.
void advance_indicator(HANDLE console_out, SHORT* indicator_row);
