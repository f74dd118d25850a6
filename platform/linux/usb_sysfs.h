// The hubs' power and presence in sysfs, behind the ports the power code
// already uses on Windows: the registry's "EnableSelectiveSuspend" value of
// a hub's "Device Parameters" key is its power/control ("auto" 1, "on" 0),
// and disabling or enabling a device of the "usb" class in the device list
// is its authorized attribute (0 or 1), which unbinds and re-binds the hub
// just as the device manager's disable and enable do.
#pragma once

#include <memory>
#include <string>

#include "platform/ports.h"

namespace tessaro {

// Where the kernel lists the USB devices by name ("1-2.3").
constexpr const char* kSysfsUsbDevices = "/sys/bus/usb/devices";

// The registry with the hubs' selective suspend values in sysfs; every
// other key stays in inner.
std::unique_ptr<IRegistry> MakeSysfsPowerRegistry(IRegistry& inner);

// The "usb" class of the device list: the USB devices in sysfs, their
// hardware IDs made from idVendor, idProduct and bcdDevice.
std::unique_ptr<IDeviceList> MakeSysfsDeviceList();

// The sysfs name of a hub's "Device Parameters" key
// ("SYSTEM\CurrentControlSet\Enum\USB\VID_2C7E&PID_0B40\1-2\Device Parameters"
// gives "1-2"); empty for any other key.
std::string SysfsNameOfKey(const std::string& subKey);

}  // namespace tessaro
