// What the end-to-end tests run: the very binary a user runs, the one this
// build made or the one ZCAL_E2E_BINARY names (the release check runs them
// on the static binary it is about to ship), under the printer emulator.
#pragma once

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "pty_session.h"

namespace e2e {

inline harness::launch zcal_launch(std::vector<std::string> printer_options = {},
                                   std::string locale = "C.UTF-8") {
    const char* given = std::getenv("ZCAL_E2E_BINARY");
    harness::launch how;
    how.program = given != nullptr && *given != '\0' ? given : ZCAL_PATH;
    how.printer_options = std::move(printer_options);
    how.locale = std::move(locale);
    return how;
}

}  // namespace e2e
