// job_shell: runs a command the way an interactive shell runs a job in the
// foreground: in a process group of its own that has the terminal, with
// this process as its parent in the same session. Only then does Ctrl-Z
// stop the command (the kernel drops stop signals to a group whose parents
// are all outside the session, as nobody there could continue it).
//
//   job_shell COMMAND [ARG...]
//
// Like a shell, it takes the terminal back while the job is stopped, and on
// SIGUSR1 does what "fg" does: gives the terminal to the job and continues
// it. Unlike a shell, it leaves the terminal's mode alone, so a test sees
// the mode the job itself left. Exits with the job's status.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: job_shell COMMAND [ARG...]\n");
        return 2;
    }
    // A background process that changes the terminal's group is stopped
    // with SIGTTOU unless it ignores it, as shells do.
    signal(SIGTTOU, SIG_IGN);
    // The job's changes and the request for fg are taken in turn, in order,
    // by sigwait: neither can slip in between a check and a wait.
    sigset_t events;
    sigemptyset(&events);
    sigaddset(&events, SIGCHLD);
    sigaddset(&events, SIGUSR1);
    sigprocmask(SIG_BLOCK, &events, nullptr);

    const pid_t job = fork();
    if (job == 0) {
        setpgid(0, 0);
        tcsetpgrp(STDIN_FILENO, getpid());
        signal(SIGTTOU, SIG_DFL);
        sigprocmask(SIG_UNBLOCK, &events, nullptr);
        execv(argv[1], argv + 1);
        std::perror("job_shell: exec");
        _exit(127);
    }
    if (job < 0) {
        std::perror("job_shell: fork");
        return 2;
    }
    // Both sides set the group, so neither depends on who runs first.
    setpgid(job, job);
    tcsetpgrp(STDIN_FILENO, job);

    for (;;) {
        int event = 0;
        if (sigwait(&events, &event) != 0)
            return 2;
        if (event == SIGUSR1) {
            tcsetpgrp(STDIN_FILENO, job);
            kill(-job, SIGCONT);
            continue;
        }
        int status = 0;
        const pid_t changed = waitpid(job, &status, WNOHANG | WUNTRACED);
        if (changed <= 0)
            continue;
        if (WIFSTOPPED(status)) {
            tcsetpgrp(STDIN_FILENO, getpgrp());
            continue;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
}
