// The printer link: finds the printer's serial port, waits out its start-up
// chatter, and sends move commands and reads the answers. It keeps nothing
// between calls; the port's handle lives with the caller.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// How many bytes of a reply read_reply keeps; the buffer it is given must hold
// at least one more, so the reply always stays zero-terminated.
constexpr int reply_capacity = 254;

// The serial line settings and read time-outs every port is given.
constexpr const char* printer_line_mode = "250000,n,8,1";
constexpr DWORD read_timeout_ms = 1;  // interval, per-byte multiplier and constant alike

// How long the printer is left alone after the port opens: it restarts when
// the port opens and is not listening before then.
constexpr DWORD printer_start_up_ms = 2222;

// The most bytes the start-up drain reads away: some hundred times what a
// printer says when it boots, and about 2.6 s of unbroken chatter at 250000
// baud.
constexpr std::int32_t drain_limit = 65536;

// Tries "\\.\COM0" to "\\.\COM20" in rising order and keeps the first that
// opens and takes its line settings. Gives 1 with the port in *printer_port,
// or -1 when none did (then *printer_port is INVALID_HANDLE_VALUE).
std::int32_t find_serial_port(HANDLE* printer_port);

// Opens and configures one port. *printer_port is written with what the open
// gave before it is tested; on any failure it ends as INVALID_HANDLE_VALUE and
// nothing stays open.
std::int32_t open_serial_port(HANDLE* printer_port, const char* port_name);

// Sleeps through the printer's start-up, then reads away what it sent, up
// to drain_limit bytes.
void wait_for_printer(HANDLE printer_port);

// Writes the zero-terminated text, without its zero, in one write.
void send_command(HANDLE printer_port, const char* text);

// Reads one reply into text (at least 255 bytes): up to and including a
// carriage return, until the line is quiet for one read time-out, or until
// reply_capacity bytes are stored, whichever comes first.
void read_reply(HANDLE printer_port, char* text);
