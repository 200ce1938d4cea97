// pseudo_console_host: runs a console program in a pseudo console, the way a
// terminal window such as Windows Terminal hosts it, and passes the streams
// through: what the console renders (text and escape sequences, UTF-8) goes
// to standard output, and what comes on standard input goes to the console as
// typed keys.
//
//   pseudo_console_host.exe COLUMNS ROWS COMMAND-LINE
//
// Ends with the program's exit status once it has ended and everything it
// drew has been passed on; 2 when the console or the program cannot start.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct pipe_copy {
    HANDLE from;
    HANDLE to;
};

// Copies bytes until the source ends or the destination fails.
DWORD WINAPI copy_bytes(void* parameter) {
    const pipe_copy* copy = static_cast<const pipe_copy*>(parameter);
    char buffer[4096];
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(copy->from, buffer, sizeof buffer, &count, nullptr) || count == 0) {
            return 0;
        }
        DWORD written = 0;
        if (!WriteFile(copy->to, buffer, count, &written, nullptr)) {
            return 0;
        }
    }
}

int fail(const char* what) {
    std::fprintf(stderr, "pseudo_console_host: %s (error %lu)\n", what,
                 static_cast<unsigned long>(GetLastError()));
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: pseudo_console_host COLUMNS ROWS COMMAND-LINE\n");
        return 2;
    }
    const COORD size = {static_cast<SHORT>(std::atoi(argv[1])), static_cast<SHORT>(std::atoi(argv[2]))};
    std::string command_line;
    for (int i = 3; i < argc; ++i) {
        command_line += (i > 3 ? " " : "") + std::string(argv[i]);
    }

    // The console reads keys from one pipe and renders into the other.
    HANDLE keys_read = nullptr, keys_write = nullptr, screen_read = nullptr, screen_write = nullptr;
    if (!CreatePipe(&keys_read, &keys_write, nullptr, 0) ||
        !CreatePipe(&screen_read, &screen_write, nullptr, 0)) {
        return fail("cannot make the pipes");
    }
    HPCON console = nullptr;
    if (FAILED(CreatePseudoConsole(size, keys_read, screen_write, 0, &console))) {
        return fail("cannot create the pseudo console");
    }
    // The console holds its own ends now.
    CloseHandle(keys_read);
    CloseHandle(screen_write);

    SIZE_T list_size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &list_size);
    std::string list_storage(list_size, '\0');
    STARTUPINFOEXA startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(&list_storage[0]);
    if (!InitializeProcThreadAttributeList(startup.lpAttributeList, 1, 0, &list_size) ||
        !UpdateProcThreadAttribute(startup.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_PSEUDOCONSOLE, console,
                                   sizeof console, nullptr, nullptr)) {
        return fail("cannot attach the pseudo console");
    }

    pipe_copy screen = {screen_read, GetStdHandle(STD_OUTPUT_HANDLE)};
    pipe_copy typed = {GetStdHandle(STD_INPUT_HANDLE), keys_write};
    HANDLE screen_thread = CreateThread(nullptr, 0, copy_bytes, &screen, 0, nullptr);
    CreateThread(nullptr, 0, copy_bytes, &typed, 0, nullptr);

    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &command_line[0], nullptr, nullptr, FALSE, EXTENDED_STARTUPINFO_PRESENT,
                        nullptr, nullptr, &startup.StartupInfo, &process)) {
        return fail("cannot start the program");
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 2;
    GetExitCodeProcess(process.hProcess, &status);

    // Closing the console sends what it still holds and ends the screen pipe.
    ClosePseudoConsole(console);
    WaitForSingleObject(screen_thread, 5000);
    DeleteProcThreadAttributeList(startup.lpAttributeList);
    return static_cast<int>(status);
}
