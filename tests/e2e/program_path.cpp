// The end-to-end tests run the very binary a user runs.
#include "zcal_session.h"

const char* e2e::zcal_program_path() { return ZCAL_PATH; }
