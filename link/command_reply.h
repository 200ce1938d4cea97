// One move command to the printer, and its answer read and dropped.
#pragma once

#include "app/text_buffer.h"
#include "platform/platform.h"

// How many bytes of a reply read_reply keeps: one less than it clears, so the
// reply always stays zero-terminated (app/text_buffer.h).
constexpr int reply_capacity = text_cleared_size - 1;
static_assert(reply_capacity == 254, "a reply keeps at most 254 bytes");

// Writes the zero-terminated text, without its zero, in one write.
void send_command(HANDLE printer_port, const char* text);

// Reads one reply into text (the loop's text buffer): up to and including a
// carriage return, until the line is quiet for one read time-out, or until
// reply_capacity bytes are stored, whichever comes first.
void read_reply(HANDLE printer_port, char* text);
