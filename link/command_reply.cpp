#include <cstring>

#include "link/command_reply.h"

void send_command(HANDLE printer_port, const char* text) {
    DWORD written = 0;
    WriteFile(printer_port, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

void read_reply(HANDLE printer_port, char* text) {
    std::memset(text, 0, text_cleared_size);
    for (int stored = 0; stored < reply_capacity;) {
        DWORD count = 0;
        ReadFile(printer_port, text + stored, 1, &count, nullptr);
        // The carriage return ends a reply; a line feed after it is left for
        // the next reply to begin with.
        if (text[stored] == '\r' || count == 0) {
            return;
        }
        ++stored;
    }
}
