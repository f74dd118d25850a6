// Errors and descriptors of the libusb driver port, kept free of libusb's
// own objects so that they can be checked on their own.
#include <libusb.h>

#include <cstdio>

#include "platform/linux/usb_driver.h"
#include "platform/winconst.h"

namespace tessaro {

uint32_t Win32ErrorFromLibusb(int error) {
    switch (error) {
    case LIBUSB_SUCCESS: return win::kErrSuccess;
    case LIBUSB_ERROR_PIPE: return win::kErrGenFailure;  // the hub stalled the request
    case LIBUSB_ERROR_NO_DEVICE: return win::kErrDeviceNotConnected;
    case LIBUSB_ERROR_NOT_FOUND: return win::kErrDeviceNotConnected;
    case LIBUSB_ERROR_ACCESS: return win::kErrAccessDenied;
    case LIBUSB_ERROR_TIMEOUT: return win::kErrSemTimeout;
    case LIBUSB_ERROR_NO_MEM: return win::kErrNotEnoughMemory;
    case LIBUSB_ERROR_INVALID_PARAM: return win::kErrInvalidParameter;
    default: return win::kErrGenFailure;
    }
}

std::string ContainerIdText(const uint8_t u[16]) {
    char text[40];
    std::snprintf(text, sizeof text,
                  "{%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x}", u[3], u[2], u[1], u[0],
                  u[5], u[4], u[7], u[6], u[8], u[9], u[10], u[11], u[12], u[13], u[14], u[15]);
    return text;
}

std::string ContainerIdFromBos(const uint8_t* bos, size_t size) {
    // BOS header: bLength 5, type 15, wTotalLength, bNumDeviceCaps.
    if (!bos || size < 5 || bos[0] < 5 || bos[1] != LIBUSB_DT_BOS) return std::string();
    size_t total = static_cast<size_t>(bos[2] | (bos[3] << 8));
    if (total > size) total = size;
    size_t at = bos[0];
    while (at + 3 <= total) {
        const uint8_t length = bos[at];
        if (length < 3 || at + length > total) break;
        // Device capability 4: Container ID, bReserved, then 16 bytes.
        if (bos[at + 1] == LIBUSB_DT_DEVICE_CAPABILITY && bos[at + 2] == LIBUSB_BT_CONTAINER_ID && length >= 20)
            return ContainerIdText(bos + at + 4);
        at += length;
    }
    return std::string();
}

std::string AccessHint(const std::string& node) {
    return "no access to " + node + ": install the udev rule " + kUdevRuleFile +
           " (see docs/linux.md) or run as root";
}

}  // namespace tessaro
