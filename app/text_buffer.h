// The calibration loop's one text buffer, lent in turn to the move command,
// the printer's reply (link/command_reply.h) and the height text
// (screen/height.h).
#pragma once

constexpr int text_buffer_size = 256;

// Each use clears the first text_buffer_size - 1 bytes and writes only
// within them; the reply even keeps one more zero at their end. So the last
// byte is never written: it stays the zero the loop put there, and whatever
// a use leaves behind reads as a zero-terminated text, even one cut short.
constexpr int text_cleared_size = text_buffer_size - 1;
