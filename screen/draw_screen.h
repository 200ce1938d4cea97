// The fixed screen, and the two lines that tell how the search for the
// printer went.
#pragma once

#include "platform/platform.h"

// The frame and every fixed text; leaves the height field blank and the
// resting attribute in effect.
void draw_screen(HANDLE console_out);

void show_port_error(HANDLE console_out);
void draw_bed(HANDLE console_out);
