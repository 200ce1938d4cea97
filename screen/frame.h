// The frame around the screen, drawn from grid-line attributes.
#pragma once

#include "platform/platform.h"

// The frame's 272 cells for top row origin.Y; the column of origin is not
// used. Every cell is a space; the lines come from grid-line attribute bits,
// or, where the console does not draw those, from draw_frame_lines.
void draw_frame(HANDLE console_out, COORD origin);
