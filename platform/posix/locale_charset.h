// Whether the terminal wants UTF-8, as the locale variables say. Read from
// the environment rather than with setlocale, so the program's own locale
// (and with it the decimal point of its numbers) stays "C".
#pragma once

namespace zcal_posix {

// The first set and non-empty of LC_ALL, LC_CTYPE and LANG names the
// character set; true when it is UTF-8. Any may be null.
bool charset_is_utf8(const char* lc_all, const char* lc_ctype, const char* lang);

// The same for this process's environment.
bool environment_wants_utf8();

}  // namespace zcal_posix
