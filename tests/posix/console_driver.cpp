// Small programs for the console tests, on the POSIX layer.
//
//   console_driver LOG
//     reads key records until Space or the end of input and writes each into
//     the log file, one line per record.
//   console_driver --job LOG PROGRAM [ARGUMENTS]
//     runs the program as a shell runs a foreground job, so that Ctrl-Z can
//     stop it (a terminal's stop signals are discarded for a process group
//     whose parent is outside its session, like the test's own child). The
//     log says "stopped" when the job stops; SIGUSR1 then brings it back to
//     the foreground ("continued"). Ends with the job's exit status.
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

volatile sig_atomic_t bring_back = 0;

void on_usr1(int) { bring_back = 1; }

int run_job(const char* log_path, char** job_argv) {
    std::FILE* log = std::fopen(log_path, "w");
    if (log == nullptr) {
        return 2;
    }
    std::setvbuf(log, nullptr, _IONBF, 0);
    signal(SIGTTOU, SIG_IGN);
    signal(SIGUSR1, on_usr1);
    const pid_t job = fork();
    if (job == 0) {
        signal(SIGTTOU, SIG_DFL);
        signal(SIGUSR1, SIG_DFL);
        setpgid(0, 0);
        // Only once in the foreground: a background job that sets the
        // terminal's mode is stopped for it.
        while (tcgetpgrp(STDIN_FILENO) != getpid()) {
            usleep(1000);
        }
        execv(job_argv[0], job_argv);
        _exit(127);
    }
    setpgid(job, job);
    tcsetpgrp(STDIN_FILENO, job);
    for (;;) {
        int status = 0;
        if (waitpid(job, &status, WUNTRACED) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return 2;
        }
        if (WIFSTOPPED(status)) {
            std::fprintf(log, "stopped\n");
            while (!bring_back) {
                pause();
            }
            bring_back = 0;
            tcsetpgrp(STDIN_FILENO, job);
            kill(-job, SIGCONT);
            std::fprintf(log, "continued\n");
            continue;
        }
        if (WIFEXITED(status)) {
            std::fprintf(log, "exited %d\n", WEXITSTATUS(status));
            return WEXITSTATUS(status);
        }
        std::fprintf(log, "signaled %d\n", WTERMSIG(status));
        return 128 + WTERMSIG(status);
    }
}

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
    if (argc >= 4 && std::strcmp(argv[1], "--job") == 0) {
        return run_job(argv[2], argv + 3);
    }
    if (argc == 2) {
        return read_keys(argv[1]);
    }
    return 2;
}
