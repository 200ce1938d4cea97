// The calling thread's last error: the program has one thread.
#include "platform/platform.h"

namespace {

DWORD last_error = ERROR_SUCCESS;

}  // namespace

DWORD GetLastError() { return last_error; }
void SetLastError(DWORD dwErrCode) { last_error = dwErrCode; }
