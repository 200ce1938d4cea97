// console_dump: prints what the console of a running zcal.exe holds, so the
// wine tests can check the real Windows screen, not only a picture of it.
//
//   console_dump.exe            (zcal.exe must be running in a console)
//
// Attaches to the console of the first process named zcal.exe and writes to
// its own standard output, taken before it leaves its own console:
//   processes <name> ...            the other programs attached to it
//   code-page <n>                   the console's output code page
//   window-style <hex>              the console window's style word, or "none"
//   output-mode <hex>               the screen buffer's output mode
//   size <columns> <rows>           of the screen buffer
//   text <row> <characters>         one line per row, every column
//   attributes <row> <hex> ...      one attribute word per column
// Exits with 1 and a reason on standard error when it cannot attach or read.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

namespace {

// Calls visit(entry) for each running process until it returns true.
template <typename Visit>
void for_each_process(Visit visit) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return;
    }
    PROCESSENTRY32 entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (visit(entry)) {
            break;
        }
    }
    CloseHandle(snapshot);
}

DWORD find_process(const char* name) {
    DWORD found = 0;
    for_each_process([&](const PROCESSENTRY32& entry) {
        if (lstrcmpiA(entry.szExeFile, name) == 0) {
            found = entry.th32ProcessID;
        }
        return found != 0;
    });
    return found;
}

// The names of the processes attached to the current console, but this one.
// Tells the test when the command interpreter is running in zcal's console.
void print_attached_processes(std::FILE* out) {
    DWORD ids[64];
    const DWORD count = GetConsoleProcessList(ids, 64);
    std::fprintf(out, "processes");
    for (DWORD i = 0; i < count && i < 64; ++i) {
        if (ids[i] == GetCurrentProcessId()) {
            continue;
        }
        for_each_process([&](const PROCESSENTRY32& entry) {
            if (entry.th32ProcessID == ids[i]) {
                std::fprintf(out, " %s", entry.szExeFile);
                return true;
            }
            return false;
        });
    }
    std::fprintf(out, "\n");
}

}  // namespace

int main() {
    // Standard output goes to the test; keep it across the console change,
    // byte for byte (no CR added before each LF).
    std::FILE* out = stdout;
    _setmode(_fileno(out), _O_BINARY);

    const DWORD zcal = find_process("zcal.exe");
    if (zcal == 0) {
        std::fprintf(stderr, "console_dump: no zcal.exe is running\n");
        return 1;
    }
    FreeConsole();
    if (!AttachConsole(zcal)) {
        std::fprintf(stderr, "console_dump: cannot attach to the console of process %lu (error %lu)\n",
                     static_cast<unsigned long>(zcal), static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    HANDLE screen = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (screen == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(screen, &info)) {
        std::fprintf(stderr, "console_dump: cannot read the screen buffer (error %lu)\n",
                     static_cast<unsigned long>(GetLastError()));
        return 1;
    }

    print_attached_processes(out);
    std::fprintf(out, "code-page %u\n", GetConsoleOutputCP());
    HWND window = GetConsoleWindow();
    if (window) {
        std::fprintf(out, "window-style %08lx\n",
                     static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)));
    } else {
        std::fprintf(out, "window-style none\n");
    }
    DWORD output_mode = 0;
    if (!GetConsoleMode(screen, &output_mode)) {
        std::fprintf(stderr, "console_dump: cannot read the output mode (error %lu)\n",
                     static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    std::fprintf(out, "output-mode %04lx\n", static_cast<unsigned long>(output_mode));
    const SHORT columns = info.dwSize.X;
    const SHORT rows = info.dwSize.Y;
    std::fprintf(out, "size %d %d\n", columns, rows);

    char text[1024];
    WORD attributes[1024];
    if (columns > 1024) {
        std::fprintf(stderr, "console_dump: %d columns is more than it can read\n", columns);
        return 1;
    }
    for (SHORT row = 0; row < rows; ++row) {
        DWORD characters = 0;
        DWORD words = 0;
        const COORD start = {0, row};
        if (!ReadConsoleOutputCharacterA(screen, text, columns, start, &characters) ||
            !ReadConsoleOutputAttribute(screen, attributes, columns, start, &words)) {
            std::fprintf(stderr, "console_dump: cannot read row %d (error %lu)\n", row,
                         static_cast<unsigned long>(GetLastError()));
            return 1;
        }
        std::fprintf(out, "text %d ", row);
        std::fwrite(text, 1, characters, out);
        std::fprintf(out, "\nattributes %d", row);
        for (DWORD column = 0; column < words; ++column) {
            std::fprintf(out, " %04x", attributes[column]);
        }
        std::fprintf(out, "\n");
    }
    std::fflush(out);
    return 0;
}
