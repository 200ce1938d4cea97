// The serial mode string ("250000,n,8,1"), read into line settings the way
// the platform's builder does: only what the string names is set, and a
// string it cannot read in full is refused.
#pragma once

#include "platform/platform.h"

// Fills baud rate, parity, data bits, stop bits and the flow-control flags
// the string names, and sets fBinary. Gives FALSE, leaving *settings as it
// was, when the string is malformed.
BOOL parse_mode_string(const char* mode, DCB* settings);
