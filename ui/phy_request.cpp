#include "ui/phy_request.h"

namespace ui {

namespace {

constexpr uint8_t kReadRequest = 0x72;
constexpr uint8_t kWriteRequest = 0x73;
constexpr uint8_t kDeviceToHost = 0x80;
constexpr int kRecordSize = 17;  // the 16-byte header and one data byte

}  // namespace

bool PhyRegisterTransfer(CHubIsp& isp, uint8_t readType, bool write, uint16_t wValue, uint16_t wIndex,
                         uint8_t& value) {
    RequestRecord rec(kRecordSize);
    rec.Set(write ? static_cast<uint8_t>(readType & ~kDeviceToHost) : readType, write ? kWriteRequest : kReadRequest,
            wValue, wIndex, 1);
    if (write) rec.Data()[0] = value;
    if (!isp.SendUsbRequest(rec)) return false;
    if (!write) value = rec.Data()[0];
    return true;
}

}  // namespace ui
