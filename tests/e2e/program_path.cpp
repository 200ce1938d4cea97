// The end-to-end tests run the very binary a user runs: the one this build
// made, or the one ZCAL_E2E_BINARY names (the release check runs them on the
// static binary it is about to ship).
#include <cstdlib>

#include "zcal_session.h"

const char* e2e::zcal_program_path() {
    const char* given = std::getenv("ZCAL_E2E_BINARY");
    return given != nullptr && *given != '\0' ? given : ZCAL_PATH;
}
