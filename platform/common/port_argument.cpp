#include "platform/common/port_argument.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* device_namespace = "\\\\.\\";

// "COM" in any case, followed by one or more decimal digits and nothing else.
bool is_com_name(const char* name) {
    if (std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(name[2])) != 'M') {
        return false;
    }
    const char* digits = name + 3;
    if (*digits == '\0') {
        return false;
    }
    for (const char* c = digits; *c != '\0'; ++c) {
        if (!std::isdigit(static_cast<unsigned char>(*c))) {
            return false;
        }
    }
    return true;
}

bool copy_if_it_fits(const char* text, char* destination, std::size_t capacity) {
    const std::size_t length = std::strlen(text);
    if (length >= capacity) {
        return false;
    }
    std::memcpy(destination, text, length + 1);
    return true;
}

}  // namespace

bool com_port_name_from_argument(const char* argument, char* port_name, std::size_t capacity) {
    if (argument == nullptr) {
        return false;
    }
    const std::size_t prefix_length = std::strlen(device_namespace);
    const char* name =
        std::strncmp(argument, device_namespace, prefix_length) == 0 ? argument + prefix_length : argument;
    if (!is_com_name(name)) {
        return false;
    }
    // Written the way the search writes its names: upper case "COM".
    const int written = std::snprintf(port_name, capacity, "%sCOM%s", device_namespace, name + 3);
    return written > 0 && static_cast<std::size_t>(written) < capacity;
}

bool device_path_from_argument(const char* argument, char* port_name, std::size_t capacity) {
    if (argument == nullptr || *argument == '\0') {
        return false;
    }
    return copy_if_it_fits(argument, port_name, capacity);
}
