#include "link/wait_for_printer.h"

void wait_for_printer(HANDLE printer_port) {
    // Whatever the printer says while it boots waits in the port's queue.
    Sleep(printer_start_up_ms);

    // Then read it all away, one byte at a time, until the line has been
    // quiet for one read time-out. A printer that never pauses would keep us
    // here for good, before Space could be read; past the limit its chatter
    // is left to the replies, which read it away a piece at a time.
    unsigned char drained = 0;
    DWORD count = 0;
    for (std::int32_t total = 0; total < drain_limit; ++total) {
        count = 0;
        if (!ReadFile(printer_port, &drained, 1, &count, nullptr) || count != 1) {
            return;
        }
    }
}
