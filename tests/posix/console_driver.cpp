// console_driver: a small program on the POSIX layer for the console
// tests. It reads input records until Space or the end of input and writes
// each into the log file, one line per record.
//
//   console_driver LOG
#include <cstdio>

#include "platform/platform.h"

namespace {

int read_keys(const char* log_path) {
    std::FILE* log = std::fopen(log_path, "w");
    if (log == nullptr) {
        return 2;
    }
    std::setvbuf(log, nullptr, _IONBF, 0);
    run_console_command("cls");
    HANDLE console_out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE console_in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD written = 0;
    SetConsoleCursorPosition(console_out, COORD{0, 0});
    WriteConsoleA(console_out, "ready", 5, &written, nullptr);
    std::fprintf(log, "ready\n");
    for (;;) {
        DWORD pending = 0;
        if (!GetNumberOfConsoleInputEvents(console_in, &pending)) {
            std::fprintf(log, "ended %u\n", static_cast<unsigned>(GetLastError()));
            break;
        }
        if (pending == 0) {
            Sleep(10);
            continue;
        }
        INPUT_RECORD record;
        DWORD read = 0;
        if (!ReadConsoleInputA(console_in, &record, 1, &read) || read != 1) {
            std::fprintf(log, "read failed %u\n", static_cast<unsigned>(GetLastError()));
            break;
        }
        if (record.EventType == KEY_EVENT) {
            std::fprintf(log, "key %02X\n", static_cast<unsigned>(record.Event.KeyEvent.wVirtualKeyCode));
            if (record.Event.KeyEvent.wVirtualKeyCode == VK_SPACE) {
                break;
            }
        } else if (record.EventType == WINDOW_BUFFER_SIZE_EVENT) {
            std::fprintf(log, "size %d %d\n", record.Event.WindowBufferSizeEvent.dwSize.X,
                         record.Event.WindowBufferSizeEvent.dwSize.Y);
        } else {
            std::fprintf(log, "event %u\n", static_cast<unsigned>(record.EventType));
        }
    }
    CloseHandle(console_in);
    CloseHandle(console_out);
    std::fclose(log);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2) {
        return read_keys(argv[1]);
    }
    return 2;
}
