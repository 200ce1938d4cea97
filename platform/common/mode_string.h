// The serial mode string ("250000,n,8,1"), read into line settings the way
// the platform's builder reads it: only what the string names is set, and a
// string it cannot read in full is refused.
#pragma once

#include "platform/platform.h"

// Reads "baud,parity,data bits,stop bits" (parity one of n o e m s, 5 to 8
// data bits, 1, 1.5 or 2 stop bits) into baud rate, parity, data bits and
// stop bits, and nothing else. Gives FALSE, leaving *settings as it was, for
// anything else.
BOOL parse_mode_string(const char* mode, DCB* settings);
