// port_holder: another program that has a serial port, the ways programs
// do: opened and nothing more (a terminal program, a print host), opened in
// exclusive mode (TIOCEXCL), or opened and locked (flock).
//
//   port_holder open|exclusive|flock DEVICE PID_FILE
//
// Once it holds DEVICE it writes its PID to PID_FILE (whole, by a rename),
// then holds it until a signal ends it or its parent ends.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: port_holder open|exclusive|flock DEVICE PID_FILE\n");
        return 2;
    }
    const std::string mode = argv[1];
    // Whoever started it may end without ending it; and never for long.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    alarm(300);
    const int fd = open(argv[2], O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "port_holder: %s: %s\n", argv[2], std::strerror(errno));
        return 1;
    }
    if ((mode == "exclusive" && ioctl(fd, TIOCEXCL) != 0) ||
        (mode == "flock" && flock(fd, LOCK_EX | LOCK_NB) != 0) ||
        (mode != "open" && mode != "exclusive" && mode != "flock")) {
        std::fprintf(stderr, "port_holder: %s %s: %s\n", argv[1], argv[2], std::strerror(errno));
        return 1;
    }
    const std::string temporary = std::string(argv[3]) + ".new";
    FILE* pid_file = std::fopen(temporary.c_str(), "w");
    if (pid_file == nullptr || std::fprintf(pid_file, "%d\n", static_cast<int>(getpid())) < 0 ||
        std::fclose(pid_file) != 0 || std::rename(temporary.c_str(), argv[3]) != 0) {
        std::fprintf(stderr, "port_holder: %s: %s\n", argv[3], std::strerror(errno));
        return 1;
    }
    sigset_t ending;
    sigemptyset(&ending);
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP, SIGALRM})
        sigaddset(&ending, signal_number);
    sigprocmask(SIG_BLOCK, &ending, nullptr);
    int received = 0;
    sigwait(&ending, &received);
    // A pseudo-terminal would keep the exclusive mode after the close.
    if (mode == "exclusive")
        ioctl(fd, TIOCNXCL);
    close(fd);
    return 0;
}
