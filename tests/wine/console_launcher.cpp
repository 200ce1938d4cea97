// console_launcher: starts a program with the console it runs in as its
// standard input and output, and ends with the program's exit status.
//
//   console_launcher.exe PROGRAM [ARGUMENT ...]
//
// Windows gives a console program started in a pseudo console the console's
// input and screen buffer as its standard handles. Wine gives it none; this
// launcher, started in the pseudo console itself, opens CONIN$ and CONOUT$
// and passes them on, so the program meets the console as on Windows.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: console_launcher PROGRAM [ARGUMENT ...]\n");
        return 2;
    }
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               &inherited, OPEN_EXISTING, 0, nullptr);
    HANDLE output = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &inherited, OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE || output == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "console_launcher: no console to pass on (error %lu)\n",
                     static_cast<unsigned long>(GetLastError()));
        return 2;
    }

    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        command_line += (i > 1 ? " \"" : "\"") + std::string(argv[i]) + "\"";
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &command_line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "console_launcher: cannot start %s (error %lu)\n", argv[1],
                     static_cast<unsigned long>(GetLastError()));
        return 2;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 2;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}
