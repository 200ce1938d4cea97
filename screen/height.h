// The height field.
#pragma once

#include "app/text_buffer.h"
#include "platform/platform.h"

// How much of the loop's text buffer the height text may use: all that each
// use clears (app/text_buffer.h). Any float with three decimals is far
// shorter, so the text is never cut.
constexpr int height_text_limit = text_cleared_size;

// Blanks the height field and writes z_height with three decimals into it,
// using text (the loop's text buffer) to format.
void show_height(HANDLE console_out, float z_height, char* text);
