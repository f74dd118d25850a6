// Win32 values the tool uses, mirrored so that no code outside platform/win32
// and ui/win32 needs a Windows header.  The win32 implementation checks them
// against the real definitions at compile time.
#pragma once

#include <cstdint>

namespace tessaro {
namespace win {

// Error codes.
constexpr uint32_t kErrSuccess = 0;
constexpr uint32_t kErrInvalidFunction = 1;
constexpr uint32_t kErrFileNotFound = 2;
constexpr uint32_t kErrPathNotFound = 3;
constexpr uint32_t kErrAccessDenied = 5;
constexpr uint32_t kErrInvalidHandle = 6;
constexpr uint32_t kErrNotEnoughMemory = 8;
constexpr uint32_t kErrBadLength = 24;
constexpr uint32_t kErrWriteFault = 29;
constexpr uint32_t kErrReadFault = 30;
constexpr uint32_t kErrGenFailure = 31;
constexpr uint32_t kErrSharingViolation = 32;
constexpr uint32_t kErrHandleEof = 38;
constexpr uint32_t kErrNotSupported = 50;
constexpr uint32_t kErrFileExists = 80;
constexpr uint32_t kErrInvalidParameter = 87;
constexpr uint32_t kErrDiskFull = 112;
constexpr uint32_t kErrInsufficientBuffer = 122;
constexpr uint32_t kErrSemTimeout = 121;
constexpr uint32_t kErrAlreadyExists = 183;
constexpr uint32_t kErrMoreData = 234;
constexpr uint32_t kErrNoMoreItems = 259;
constexpr uint32_t kErrIoIncomplete = 996;
constexpr uint32_t kErrIoPending = 997;
constexpr uint32_t kErrNoSuchDevice = 433;
constexpr uint32_t kErrDeviceNotConnected = 1167;
constexpr uint32_t kErrNotFound = 1168;
constexpr uint32_t kErrNotAllAssigned = 1300;
constexpr uint32_t kErrPrivilegeNotHeld = 1314;
constexpr uint32_t kErrTimeout = 1460;

// Message box styles and answers.
constexpr uint32_t kMbOk = 0x00000000;
constexpr uint32_t kMbOkCancel = 0x00000001;
constexpr uint32_t kMbYesNo = 0x00000004;
constexpr uint32_t kMbIconError = 0x00000010;
constexpr uint32_t kMbIconQuestion = 0x00000020;
constexpr uint32_t kMbIconWarning = 0x00000030;  // also the exclamation icon
constexpr uint32_t kMbIconInformation = 0x00000040;
constexpr uint32_t kMbSystemModal = 0x00001000;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Registry.
constexpr uintptr_t kHkeyClassesRoot = 0x80000000u;
constexpr uintptr_t kHkeyCurrentUser = 0x80000001u;
constexpr uintptr_t kHkeyLocalMachine = 0x80000002u;
constexpr uintptr_t kHkeyUsers = 0x80000003u;
constexpr uintptr_t kHkeyPerformanceData = 0x80000004u;
constexpr uintptr_t kHkeyCurrentConfig = 0x80000005u;
constexpr uintptr_t kHkeyDynData = 0x80000006u;
constexpr uint32_t kKeyAllAccess = 0xF003F;
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegCreatedNewKey = 1;
constexpr uint32_t kRegOpenedExistingKey = 2;

// Shell execution.
constexpr uint32_t kSeeMaskNoCloseProcess = 0x00000040;
constexpr uint32_t kSeeMaskFlagDdeWait = 0x00000100;
constexpr int kSwHide = 0;
constexpr int kSwShowNormal = 1;

// Shell folders.
constexpr int kCsidlDesktopDirectory = 16;

}  // namespace win
}  // namespace tessaro
