// The platform's error codes for what goes wrong underneath, and how errno
// values map onto them.
#pragma once

#include "platform/platform.h"

namespace zcal_posix {

// Codes the program does not name but the layer reports.
constexpr DWORD error_too_many_open_files = 4;
constexpr DWORD error_not_enough_memory = 8;
constexpr DWORD error_gen_failure = 31;   // a device that stopped working (hung up, unplugged)
constexpr DWORD error_sem_timeout = 121;  // a serial write that timed out

// The nearest code for an errno value.
DWORD error_from_errno(int error_number);

}  // namespace zcal_posix
