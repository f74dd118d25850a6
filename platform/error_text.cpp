#include "platform/error_text.h"

#include <cerrno>

#include "platform/winconst.h"

namespace tessaro {

std::string WindowsErrorText(uint32_t code) {
    switch (code) {
        case 0: return "The operation completed successfully.\r\n";
        case 1: return "Incorrect function.\r\n";
        case 2: return "The system cannot find the file specified.\r\n";
        case 3: return "The system cannot find the path specified.\r\n";
        case 4: return "The system cannot open the file.\r\n";
        case 5: return "Access is denied.\r\n";
        case 6: return "The handle is invalid.\r\n";
        case 8: return "Not enough memory resources are available to process this command.\r\n";
        case 24: return "The program issued a command but the command length is incorrect.\r\n";
        case 29: return "The system cannot write to the specified device.\r\n";
        case 30: return "The system cannot read from the specified device.\r\n";
        case 31: return "A device attached to the system is not functioning.\r\n";
        case 32: return "The process cannot access the file because it is being used by another process.\r\n";
        case 38: return "Reached the end of the file.\r\n";
        case 50: return "The request is not supported.\r\n";
        case 80: return "The file exists.\r\n";
        case 87: return "The parameter is incorrect.\r\n";
        case 112: return "There is not enough space on the disk.\r\n";
        case 121: return "The semaphore timeout period has expired.\r\n";
        case 122: return "The data area passed to a system call is too small.\r\n";
        case 183: return "Cannot create a file when that file already exists.\r\n";
        case 234: return "More data is available.\r\n";
        case 259: return "No more data is available.\r\n";
        case 433: return "A device which does not exist was specified.\r\n";
        case 996: return "Overlapped I/O event is not in a signaled state.\r\n";
        case 997: return "Overlapped I/O operation is in progress.\r\n";
        case 1167: return "The device is not connected.\r\n";
        case 1168: return "Element not found.\r\n";
        case 1300: return "Not all privileges or groups referenced are assigned to the caller.\r\n";
        case 1314: return "A required privilege is not held by the client.\r\n";
        case 1460: return "This operation returned because the timeout period expired.\r\n";
        default: return std::string();
    }
}

uint32_t Win32ErrorFromErrno(int err) {
    switch (err) {
        case 0: return win::kErrSuccess;
        case ENOENT: return win::kErrFileNotFound;
        case ENOTDIR: return win::kErrPathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return win::kErrAccessDenied;
        case EBADF: return win::kErrInvalidHandle;
        case ENOMEM: return win::kErrNotEnoughMemory;
        case ENOSPC: return win::kErrDiskFull;
        case EEXIST: return win::kErrFileExists;
        case EINVAL: return win::kErrInvalidParameter;
        case EBUSY: return win::kErrSharingViolation;
        case ETIMEDOUT: return win::kErrTimeout;
        case EIO: return win::kErrGenFailure;
        default: return win::kErrGenFailure;
    }
}

}  // namespace tessaro
