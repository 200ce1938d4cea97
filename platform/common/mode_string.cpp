#include "platform/common/mode_string.h"

#include <cctype>
#include <cstring>

namespace {

// Reads a decimal number; gives false if there is none or it overflows.
bool read_number(const char*& cursor, DWORD* value) {
    if (!std::isdigit(static_cast<unsigned char>(*cursor))) {
        return false;
    }
    unsigned long long number = 0;
    while (std::isdigit(static_cast<unsigned char>(*cursor))) {
        number = number * 10 + static_cast<unsigned>(*cursor - '0');
        if (number > 0xFFFFFFFFull) {
            return false;
        }
        ++cursor;
    }
    *value = static_cast<DWORD>(number);
    return true;
}

bool read_comma(const char*& cursor) {
    if (*cursor != ',') {
        return false;
    }
    ++cursor;
    return true;
}

bool read_parity(const char*& cursor, BYTE* parity) {
    switch (std::tolower(static_cast<unsigned char>(*cursor))) {
        case 'n':
            *parity = NOPARITY;
            break;
        case 'o':
            *parity = ODDPARITY;
            break;
        case 'e':
            *parity = EVENPARITY;
            break;
        case 'm':
            *parity = MARKPARITY;
            break;
        case 's':
            *parity = SPACEPARITY;
            break;
        default:
            return false;
    }
    ++cursor;
    return true;
}

// The last field: the whole rest of the string.
bool read_stop_bits(const char* rest, BYTE* stop_bits) {
    if (std::strcmp(rest, "1") == 0) {
        *stop_bits = ONESTOPBIT;
    } else if (std::strcmp(rest, "1.5") == 0) {
        *stop_bits = ONE5STOPBITS;
    } else if (std::strcmp(rest, "2") == 0) {
        *stop_bits = TWOSTOPBITS;
    } else {
        return false;
    }
    return true;
}

}  // namespace

BOOL parse_mode_string(const char* mode, DCB* settings) {
    if (mode == nullptr || settings == nullptr) {
        return FALSE;
    }
    const char* cursor = mode;
    DWORD baud = 0;
    BYTE parity = NOPARITY;
    DWORD data_bits = 0;
    BYTE stop_bits = ONESTOPBIT;
    if (!read_number(cursor, &baud) || baud == 0 || !read_comma(cursor) || !read_parity(cursor, &parity) ||
        !read_comma(cursor) || !read_number(cursor, &data_bits) || data_bits < 5 || data_bits > 8 ||
        !read_comma(cursor) || !read_stop_bits(cursor, &stop_bits)) {
        return FALSE;
    }
    settings->BaudRate = baud;
    settings->Parity = parity;
    settings->fParity = parity != NOPARITY;
    settings->ByteSize = static_cast<BYTE>(data_bits);
    settings->StopBits = stop_bits;
    return TRUE;
}
