#include "platform/posix/group_name.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace zcal_posix {

namespace {

// Whether a line's third field is gid (decimal, nothing else).
bool line_has_gid(const char* field, const char* end, gid_t gid) {
    unsigned long value = 0;
    const char* digit = field;
    for (; digit < end && *digit >= '0' && *digit <= '9'; ++digit) {
        value = value * 10 + static_cast<unsigned long>(*digit - '0');
        if (value > 0xFFFFFFFFul) {
            return false;
        }
    }
    return digit != field && (digit == end || *digit == ':') && value == gid;
}

}  // namespace

bool group_name_in(const char* text, std::size_t length, gid_t gid, char* name, std::size_t capacity) {
    const char* end = text + length;
    for (const char* line = text; line < end;) {
        const char* line_end =
            static_cast<const char*>(std::memchr(line, '\n', static_cast<std::size_t>(end - line)));
        if (line_end == nullptr) {
            line_end = end;
        }
        const char* name_end =
            static_cast<const char*>(std::memchr(line, ':', static_cast<std::size_t>(line_end - line)));
        const char* password_end =
            name_end == nullptr ? nullptr
                                : static_cast<const char*>(std::memchr(
                                      name_end + 1, ':', static_cast<std::size_t>(line_end - name_end - 1)));
        if (password_end != nullptr && name_end != line && line_has_gid(password_end + 1, line_end, gid)) {
            const std::size_t name_length = static_cast<std::size_t>(name_end - line);
            if (name_length >= capacity) {
                return false;
            }
            std::memcpy(name, line, name_length);
            name[name_length] = '\0';
            return true;
        }
        line = line_end + 1;
    }
    return false;
}

void group_name(gid_t gid, char* name, std::size_t capacity) {
    // Group files are small; one longer than this is read in part, and a
    // group past that part is shown by its number.
    static char text[65536];
    std::size_t length = 0;
    const int fd = open("/etc/group", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        for (ssize_t got = 1; got > 0 && length < sizeof text;) {
            got = read(fd, text + length, sizeof text - length);
            length += got > 0 ? static_cast<std::size_t>(got) : 0;
        }
        close(fd);
    }
    if (!group_name_in(text, length, gid, name, capacity)) {
        std::snprintf(name, capacity, "%u", static_cast<unsigned>(gid));
    }
}

}  // namespace zcal_posix
