// The fault tests run launch_zcal as zcal: it puts the test's faults in place
// inside the private /dev and then runs the real binary.
#include "zcal_session.h"

const char* e2e::zcal_program_path() { return ZCAL_PATH; }
