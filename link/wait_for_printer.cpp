#include "link/serial_link.h"

void wait_for_printer(HANDLE printer_port) {
    // Whatever the printer says while it boots waits in the port's queue.
    Sleep(printer_start_up_ms);

    // Then read it all away, one byte at a time, until the line has been
    // quiet for one read time-out. No limit on the count: a printer that
    // never pauses keeps us here, which is what it would do to any reply too.
    unsigned char drained = 0;
    DWORD count = 0;
    while (ReadFile(printer_port, &drained, 1, &count, nullptr) && count == 1) {
        count = 0;
    }
}
