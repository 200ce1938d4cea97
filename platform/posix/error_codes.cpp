#include "platform/posix/error_codes.h"

#include <cerrno>

namespace zcal_posix {

DWORD error_from_errno(int error_number) {
    switch (error_number) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
        case ENOTDIR:
        case ENXIO:
        case ENODEV:
            return ERROR_FILE_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EBUSY:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case EWOULDBLOCK:
            return ERROR_SHARING_VIOLATION;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case EMFILE:
        case ENFILE:
            return error_too_many_open_files;
        case ENOMEM:
            return error_not_enough_memory;
        case ETIMEDOUT:
            return error_sem_timeout;
        case EINVAL:
        case ENOTTY:
            return ERROR_INVALID_PARAMETER;
        default:
            return error_gen_failure;
    }
}

}  // namespace zcal_posix
