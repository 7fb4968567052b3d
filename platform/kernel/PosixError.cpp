#include "platform/kernel/PosixError.h"

#include <errno.h>
#include <sys/stat.h>

namespace qv::kernel {

DWORD Win32Error(int err, const std::string& hostPath) {
  switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: {
      if (hostPath.empty()) return ERROR_FILE_NOT_FOUND;
      const size_t slash = hostPath.find_last_of('/');
      struct stat st{};
      if (slash != std::string::npos && slash > 0 &&
          (::stat(hostPath.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
        return ERROR_PATH_NOT_FOUND;
      }
      return ERROR_FILE_NOT_FOUND;
    }
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES: case EPERM: case EROFS: case EISDIR: return ERROR_ACCESS_DENIED;
    case ENOSPC: case EDQUOT: case EFBIG: return ERROR_DISK_FULL;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EMFILE: case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBUSY: case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ELOOP: return ERROR_INVALID_NAME;
    case EPIPE: return ERROR_BROKEN_PIPE;
    case ENOSYS: case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
    default: return ERROR_WRITE_FAULT;
  }
}

BOOL FailErrno(const std::string& hostPath) {
  SetLastError(Win32Error(errno, hostPath));
  return FALSE;
}

}  // namespace qv::kernel
