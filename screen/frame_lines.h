// The frame's lines as characters, for consoles that draw no grid lines.
#pragma once

#include "platform/platform.h"

// Puts line characters into the frame's 272 cells for top row top, leaving
// their attribute words and the cursor as they are.
void draw_frame_lines(HANDLE console_out, SHORT top);
