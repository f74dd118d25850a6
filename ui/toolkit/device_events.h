// Device notifications raised inside the process.  A window that registers
// for an interface class (DialogHost::RegisterDeviceNotification) gets, on
// its own thread, the system's notifications and also every event raised
// here for that class: the bench's hot plug reaches the dialogs this way in
// both backends, exactly as Windows' WM_DEVICECHANGE would.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/ports.h"
#include "ui/toolkit/uiconst.h"

namespace ui {

// GUID_DEVINTERFACE_USB_HUB: the class a hub's arrival and removal are
// reported for.
constexpr tessaro::Guid kUsbHubInterface = {0xF18A0E88, 0xC30C, 0x11D0,
                                            {0x88, 0x15, 0x00, 0xA0, 0xC9, 0x06, 0xBE, 0xD8}};

// Called on the raising thread; the sink posts to its window.
using DeviceEventSink = std::function<void(uint32_t event, int32_t deviceType)>;

// A token for Unsubscribe; 0 when nothing was subscribed.
int SubscribeDeviceEvents(const tessaro::Guid& interfaceClass, DeviceEventSink sink);
void UnsubscribeDeviceEvents(int token);

// Any thread: every subscriber of the class gets (event, deviceType).
void RaiseDeviceEvent(const tessaro::Guid& interfaceClass, uint32_t event,
                      int32_t deviceType = kDbtDevtypDeviceInterface);

}  // namespace ui
