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

void skip_spaces(const char*& cursor) {
    while (*cursor == ' ' || *cursor == '\t') {
        ++cursor;
    }
}

// The old two-digit forms of the common rates ("96" for 9600).
DWORD expand_short_baud(DWORD baud) {
    switch (baud) {
        case 11: return 110;
        case 15: return 150;
        case 30: return 300;
        case 60: return 600;
        case 12: return 1200;
        case 24: return 2400;
        case 48: return 4800;
        case 96: return 9600;
        case 19: return 19200;
        default: return baud;
    }
}

bool parity_from_letter(char letter, BYTE* parity) {
    switch (std::tolower(static_cast<unsigned char>(letter))) {
        case 'n': *parity = NOPARITY; return true;
        case 'o': *parity = ODDPARITY; return true;
        case 'e': *parity = EVENPARITY; return true;
        case 'm': *parity = MARKPARITY; return true;
        case 's': *parity = SPACEPARITY; return true;
        default: return false;
    }
}

bool stop_bits_from_text(const char*& cursor, BYTE* stop_bits) {
    if (std::strncmp(cursor, "1.5", 3) == 0) {
        *stop_bits = ONE5STOPBITS;
        cursor += 3;
        return true;
    }
    if (*cursor == '1' || *cursor == '2') {
        *stop_bits = *cursor == '1' ? ONESTOPBIT : TWOSTOPBITS;
        ++cursor;
        return !std::isdigit(static_cast<unsigned char>(*cursor));
    }
    return false;
}

bool data_bits_valid(DWORD bits) { return bits >= 5 && bits <= 8; }

// Moves past the comma that starts the next field. Gives false at the end
// of the string; *malformed tells when something other than a comma stood
// there.
bool next_field(const char*& cursor, bool* malformed) {
    skip_spaces(cursor);
    if (*cursor == '\0') {
        return false;
    }
    if (*cursor != ',') {
        *malformed = true;
        return false;
    }
    ++cursor;
    skip_spaces(cursor);
    return true;
}

// "baud[,parity[,data[,stop[,flow]]]]", flow being x (XON/XOFF) or p
// (hardware handshaking).
bool parse_positional(const char* cursor, DCB* settings) {
    DWORD baud = 0;
    if (!read_number(cursor, &baud) || baud == 0) {
        return false;
    }
    settings->BaudRate = expand_short_baud(baud);

    bool malformed = false;
    if (!next_field(cursor, &malformed)) {
        return !malformed;
    }
    BYTE parity = NOPARITY;
    if (!parity_from_letter(*cursor++, &parity)) {
        return false;
    }
    settings->Parity = parity;
    settings->fParity = parity != NOPARITY;

    if (!next_field(cursor, &malformed)) {
        return !malformed;
    }
    DWORD data_bits = 0;
    if (!read_number(cursor, &data_bits) || !data_bits_valid(data_bits)) {
        return false;
    }
    settings->ByteSize = static_cast<BYTE>(data_bits);

    if (!next_field(cursor, &malformed)) {
        return !malformed;
    }
    BYTE stop_bits = ONESTOPBIT;
    if (!stop_bits_from_text(cursor, &stop_bits)) {
        return false;
    }
    settings->StopBits = stop_bits;

    if (!next_field(cursor, &malformed)) {
        return !malformed;
    }
    const char flow = static_cast<char>(std::tolower(static_cast<unsigned char>(*cursor++)));
    if (flow == 'x') {
        settings->fOutX = 1;
        settings->fInX = 1;
    } else if (flow == 'p') {
        settings->fOutxCtsFlow = 1;
        settings->fOutxDsrFlow = 1;
    } else {
        return false;
    }
    skip_spaces(cursor);
    return *cursor == '\0';
}

// "baud=250000 parity=n data=8 stop=1"
bool parse_keywords(const char* cursor, DCB* settings) {
    bool any = false;
    while (true) {
        skip_spaces(cursor);
        if (*cursor == '\0') {
            return any;
        }
        const char* equals = std::strchr(cursor, '=');
        if (equals == nullptr) {
            return false;
        }
        const std::size_t key_length = static_cast<std::size_t>(equals - cursor);
        const char* value = equals + 1;
        if (key_length == 4 && std::strncmp(cursor, "baud", 4) == 0) {
            DWORD baud = 0;
            if (!read_number(value, &baud) || baud == 0) {
                return false;
            }
            settings->BaudRate = expand_short_baud(baud);
        } else if (key_length == 6 && std::strncmp(cursor, "parity", 6) == 0) {
            BYTE parity = NOPARITY;
            if (!parity_from_letter(*value++, &parity)) {
                return false;
            }
            settings->Parity = parity;
            settings->fParity = parity != NOPARITY;
        } else if (key_length == 4 && std::strncmp(cursor, "data", 4) == 0) {
            DWORD data_bits = 0;
            if (!read_number(value, &data_bits) || !data_bits_valid(data_bits)) {
                return false;
            }
            settings->ByteSize = static_cast<BYTE>(data_bits);
        } else if (key_length == 4 && std::strncmp(cursor, "stop", 4) == 0) {
            BYTE stop_bits = ONESTOPBIT;
            if (!stop_bits_from_text(value, &stop_bits)) {
                return false;
            }
            settings->StopBits = stop_bits;
        } else {
            return false;
        }
        if (*value != '\0' && *value != ' ' && *value != '\t') {
            return false;
        }
        cursor = value;
        any = true;
    }
}

}  // namespace

BOOL parse_mode_string(const char* mode, DCB* settings) {
    if (mode == nullptr || settings == nullptr) {
        return FALSE;
    }
    const char* cursor = mode;
    skip_spaces(cursor);
    // An optional device prefix such as "COM1:" names nothing we set.
    if (std::strncmp(cursor, "COM", 3) == 0 || std::strncmp(cursor, "com", 3) == 0) {
        const char* colon = std::strchr(cursor, ':');
        if (colon == nullptr) {
            return FALSE;
        }
        cursor = colon + 1;
        skip_spaces(cursor);
    }

    DCB parsed = *settings;
    parsed.fBinary = 1;  // the only mode there is
    const bool ok = std::strchr(cursor, '=') != nullptr ? parse_keywords(cursor, &parsed)
                                                        : parse_positional(cursor, &parsed);
    if (!ok) {
        return FALSE;
    }
    *settings = parsed;
    return TRUE;
}
