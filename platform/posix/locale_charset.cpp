#include "platform/posix/locale_charset.h"

#include <cctype>
#include <cstdlib>

namespace zcal_posix {

namespace {

// "UTF-8", "utf8", "UTF8" after a dot or alone, in any case.
bool names_utf8(const char* text) {
    for (const char* start = text; *start != '\0'; ++start) {
        const char* c = start;
        if (std::tolower(static_cast<unsigned char>(c[0])) != 'u' ||
            std::tolower(static_cast<unsigned char>(c[1])) != 't' ||
            std::tolower(static_cast<unsigned char>(c[2])) != 'f') {
            continue;
        }
        c += 3;
        if (*c == '-' || *c == '_') {
            ++c;
        }
        if (*c == '8') {
            return true;
        }
    }
    return false;
}

}  // namespace

bool charset_is_utf8(const char* lc_all, const char* lc_ctype, const char* lang) {
    const char* const variables[] = {lc_all, lc_ctype, lang};
    for (const char* value : variables) {
        if (value != nullptr && *value != '\0') {
            return names_utf8(value);
        }
    }
    return false;
}

bool environment_wants_utf8() {
    return charset_is_utf8(std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG"));
}

}  // namespace zcal_posix
