// One PHY register over the vendor transport, as both PHY dialogs send it:
// a 17-byte record (the 16-byte header and one data byte), read with
// bRequest 0x72 and written with 0x73.
#pragma once

#include <cstdint>

#include "hub/CHubIsp.h"

namespace ui {

// readType is the bmRequestType of the read (0xC3 for the settings window,
// 0xC0 for the tuning dialogs); the write's is the same without the
// device-to-host bit.  A read puts the register's byte into value.
bool PhyRegisterTransfer(CHubIsp& isp, uint8_t readType, bool write, uint16_t wValue, uint16_t wIndex,
                         uint8_t& value);

}  // namespace ui
