#include "platform/posix/port_lock_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix/handles.h"

namespace zcal_posix {

namespace {

// The kernel's largest possible PID (PID_MAX_LIMIT on 64-bit systems).
constexpr long largest_pid = 4194304;

const char* const default_folders[] = {"/run/lock", "/var/lock"};
const char* const* lock_folders = default_folders;
int lock_folder_count = 2;

// The lock files zcal made, by the port's descriptor, for the signal
// handlers: a slot is marked used only once its path and descriptor are set.
struct made_lock {
    volatile sig_atomic_t used;
    int fd;
    char path[sizeof port_lock_holder::path];
};
made_lock made_locks[port_slot_count];
bool removal_at_exit = false;

// A process that is alive and is not this one (kill says EPERM for another
// user's live process).
bool someone_else_alive(pid_t pid) { return pid != getpid() && (kill(pid, 0) == 0 || errno == EPERM); }

enum class lock_found { none, live, unreadable };

// Looks at the lock file at path. A name that is no lock of a live process
// (a link, not a regular file, no valid PID, a PID that is gone) is removed
// when zcal may remove it; what zcal may not remove stays, and is no lock.
lock_found inspect_lock_file(const char* path, pid_t* pid) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ELOOP) {
                unlink(path);
                continue;
            }
            // Unreadable: it may well name a live process, so the port is
            // left alone.
            return errno == EACCES ? lock_found::unreadable : lock_found::none;
        }
        struct stat status;
        char content[64];
        ssize_t length = 0;
        const bool regular = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
        if (regular) {
            length = read(fd, content, sizeof content);
        }
        close(fd);
        const pid_t named = length > 0 ? lock_file_pid(content, static_cast<std::size_t>(length)) : 0;
        if (named > 0 && someone_else_alive(named)) {
            *pid = named;
            return lock_found::live;
        }
        if (unlink(path) != 0) {
            return lock_found::none;
        }
    }
    return lock_found::none;
}

enum class lock_made { ours, someone_elses, not_here };

lock_made make_lock_file(const char* path, port_lock_holder* holder) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0644);
        if (fd >= 0) {
            // Whatever the umask: other programs must be able to read it.
            fchmod(fd, 0644);
            char content[16];
            const int length = std::snprintf(content, sizeof content, "%10d\n", static_cast<int>(getpid()));
            const bool written = write(fd, content, static_cast<std::size_t>(length)) == length;
            close(fd);
            if (!written) {
                unlink(path);
                return lock_made::not_here;
            }
            return lock_made::ours;
        }
        if (errno != EEXIST) {
            return lock_made::not_here;
        }
        // Someone made one since we looked.
        switch (inspect_lock_file(path, &holder->pid)) {
            case lock_found::live:
                return lock_made::someone_elses;
            case lock_found::unreadable:
                holder->pid = 0;
                return lock_made::someone_elses;
            case lock_found::none:
                break;
        }
    }
    return lock_made::not_here;
}

bool lock_path(const char* folder, const char* name, char* path) {
    const int length = std::snprintf(path, sizeof port_lock_holder::path, "%s/%s", folder, name);
    return length > 0 && static_cast<std::size_t>(length) < sizeof port_lock_holder::path;
}

void remember(int fd, const char* path) {
    for (made_lock& lock : made_locks) {
        if (!lock.used) {
            std::strcpy(lock.path, path);
            lock.fd = fd;
            lock.used = 1;
            if (!removal_at_exit) {
                removal_at_exit = true;
                std::atexit(remove_port_lock_files);
            }
            return;
        }
    }
    // More ports than slots: a lock file nobody would remove is worse than none.
    unlink(path);
}

}  // namespace

pid_t lock_file_pid(const char* content, std::size_t length) {
    std::size_t at = 0;
    while (at < length && (content[at] == ' ' || content[at] == '\t')) {
        ++at;
    }
    const std::size_t digits = at;
    long pid = 0;
    for (; at < length && content[at] >= '0' && content[at] <= '9'; ++at) {
        pid = pid * 10 + (content[at] - '0');
        if (pid > largest_pid) {
            return 0;
        }
    }
    if (at == digits) {
        return 0;
    }
    const bool ends_well = at == length || content[at] == '\n' || content[at] == ' ' || content[at] == '\t' ||
                           content[at] == '\r' || content[at] == '\0';
    return ends_well ? static_cast<pid_t>(pid) : 0;
}

bool lock_file_name(const char* device_path, char* name, std::size_t capacity) {
    char resolved[PATH_MAX];
    const char* path = realpath(device_path, resolved) != nullptr ? resolved : device_path;
    const char* device = nullptr;
    if (std::strncmp(path, "/dev/", 5) == 0) {
        device = path + 5;
    } else {
        const char* slash = std::strrchr(path, '/');
        device = slash != nullptr ? slash + 1 : path;
    }
    const int length = std::snprintf(name, capacity, "LCK..%s", device);
    if (*device == '\0' || length <= 0 || static_cast<std::size_t>(length) >= capacity) {
        return false;
    }
    for (char* c = name; *c != '\0'; ++c) {
        if (*c == '/') {
            *c = '_';
        }
    }
    return true;
}

bool take_port_lock_file(const char* device_path, int fd, port_lock_holder* holder) {
    char name[64];
    if (!lock_file_name(device_path, name, sizeof name)) {
        return true;
    }
    char path[sizeof holder->path];
    // Every folder first: a lock in the second must not go unseen because
    // ours would fit in the first.
    for (int i = 0; i < lock_folder_count; ++i) {
        if (!lock_path(lock_folders[i], name, path)) {
            continue;
        }
        pid_t pid = 0;
        const lock_found found = inspect_lock_file(path, &pid);
        if (found != lock_found::none) {
            holder->pid = pid;
            std::strcpy(holder->path, path);
            return false;
        }
    }
    for (int i = 0; i < lock_folder_count; ++i) {
        if (!lock_path(lock_folders[i], name, path)) {
            continue;
        }
        switch (make_lock_file(path, holder)) {
            case lock_made::ours:
                remember(fd, path);
                return true;
            case lock_made::someone_elses:
                std::strcpy(holder->path, path);
                return false;
            case lock_made::not_here:
                break;
        }
    }
    return true;
}

void release_port_lock_file(int fd) {
    for (made_lock& lock : made_locks) {
        if (lock.used && lock.fd == fd) {
            unlink(lock.path);
            lock.used = 0;
        }
    }
}

void remove_port_lock_files() {
    for (made_lock& lock : made_locks) {
        if (lock.used) {
            unlink(lock.path);
        }
    }
}

void use_lock_folders(const char* const* folders, int count) {
    lock_folders = folders;
    lock_folder_count = count;
}

}  // namespace zcal_posix
