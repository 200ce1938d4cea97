// The printer's start-up: it restarts when its port opens, and talks while
// it boots.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// How long the printer is left alone after the port opens: it restarts when
// the port opens and is not listening before then.
constexpr DWORD printer_start_up_ms = 2222;

// The most bytes the start-up drain reads away: some hundred times what a
// printer says when it boots, and about 2.6 s of unbroken chatter at 250000
// baud.
constexpr std::int32_t drain_limit = 65536;

// Sleeps through the printer's start-up, then reads away what it sent, up
// to drain_limit bytes.
void wait_for_printer(HANDLE printer_port);
