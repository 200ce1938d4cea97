#include "platform/posix/port_names.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace zcal_posix {

bool device_path_for_port(const char* port_name, char* path, std::size_t capacity) {
    if (port_name == nullptr || *port_name == '\0') {
        return false;
    }
    if (std::strncmp(port_name, "\\\\.\\", 4) != 0) {
        const int written = std::snprintf(path, capacity, "%s", port_name);
        return written > 0 && static_cast<std::size_t>(written) < capacity;
    }
    const char* name = port_name + 4;
    // Device names are not case-sensitive: "com3" is COM3.
    if (std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(name[2])) != 'M') {
        return false;
    }
    const char* digits = name + 3;
    // Decimal, with no sign, space or leading zero: "COM03" is no port.
    if (!std::isdigit(static_cast<unsigned char>(digits[0])) || (digits[0] == '0' && digits[1] != '\0')) {
        return false;
    }
    int number = 0;
    for (const char* c = digits; *c != '\0'; ++c) {
        if (!std::isdigit(static_cast<unsigned char>(*c))) {
            return false;
        }
        number = number * 10 + (*c - '0');
        if (number > last_port_number) {
            return false;
        }
    }
    const int written =
        std::snprintf(path, capacity, "/dev/tty%s%d", number % 2 == 0 ? "ACM" : "USB", number / 2);
    return written > 0 && static_cast<std::size_t>(written) < capacity;
}

}  // namespace zcal_posix
