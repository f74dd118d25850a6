// CHubIsp: one vendor control transfer to the selected hub, through the
// filter driver, with the wait after writes and the request trace.
#include <cstring>

#include "hub/CHubIsp.h"
#include "settings/DebugLog.h"

using tessaro::Sys;

namespace {

void Trace(const uint8_t* rec, int size) {
    if (!DebugLogOn()) return;  // eight lines and a dump per request: only when they are written
    UsbRequestHeader h;
    std::memcpy(&h, rec, sizeof h);
    DebugLog("\t\t#handle   %04x", h.handle);
    DebugLog("\t\t#SerialNo %04x", h.serialNo);
    DebugLog("\t\t#Type     %04x", h.bmRequestType);
    DebugLog("\t\t#Request  %04x", h.bRequest);
    DebugLog("\t\t#Value    %04x", h.wValue);
    DebugLog("\t\t#Index    %04x", h.wIndex);
    DebugLog("\t\t#Length   %04x", h.wLength);
    // The data dump never reads past the record, whatever wLength says.
    int length = h.wLength;
    int room = size - static_cast<int>(sizeof h);
    if (length > room) length = room < 0 ? 0 : room;
    std::string dump = "\t\t";
    char item[8];
    for (int i = 0; i < length; ++i) {
        std::snprintf(item, sizeof item, (i && i % 8 == 0) ? "\n\t\t%02x " : "%02x ", rec[sizeof h + i]);
        dump += item;
    }
    dump += "\n";
    DebugLog("%s", dump.c_str());
}

}  // namespace

int CHubIsp::SendUsbRequest(uint8_t* rec, int size) {
    if (!SessionReady("driver handle is invalid!", "driver memory block is null!")) return 0;
    int devices = 0;
    if (!GetDeviceNumber(&devices)) {
        return Fail("Get device number ERROR!");
    }
    int index = m_hubindex;
    if (index > 7) {
        return Fail(Format("Exceed the maximum hub number! %d", index));
    }
    // The kept index must also name a hub of the current table: a table that
    // shrank since the hub was selected never sends to a stale record.
    if (static_cast<unsigned>(index) >= static_cast<unsigned>(devices)) {
        return Fail(Format("Invalid hub index! idx %d num %d", index, devices));
    }
    UsbRequestHeader h;
    if (!rec || size < static_cast<int>(sizeof h)) {
        return Fail(Format("Invalid request record! size %d", size));
    }
    std::memcpy(&h, rec, sizeof h);
    if (size < static_cast<int>(sizeof h) + h.wLength) {
        return Fail(Format("Invalid request record! size %d", size));
    }

    size_t at = kDeviceTableHeader + sizeof(HubRecord) * static_cast<size_t>(index);
    HubRecord record;
    std::memcpy(&record, m_devtable.data() + at, sizeof record);
    std::memcpy(rec + 4, &record.handle, 4);

    uint32_t returned = 0;
    int result = 0;
    if (!Sys().driver->IoControl(m_driver, VX_IOCTL_USB_REQUEST, rec, static_cast<uint32_t>(size), rec,
                                 static_cast<uint32_t>(size), &returned)) {
        m_lasterror = Format("Send VX_IOCTL_USB_REQUEST ERROR! %u", tessaro::LastError());
        DebugLog("%s", m_lasterror.c_str());
    } else {
        if (m_writedelay != 0 && h.bRequest == 0x83) {
            DebugLog("delay %d ms after write command.\n", m_writedelay);
            Sys().clock->Sleep(static_cast<uint32_t>(m_writedelay));
        }
        result = 1;
        // A read the driver completed short left the rest of the record as
        // it was: those bytes were never read from the hub and must not be
        // taken for data.
        uint32_t wanted = static_cast<uint32_t>(sizeof h) + h.wLength;
        if ((h.bmRequestType & 0x80) != 0 && returned < wanted) {
            uint32_t got = returned > sizeof h ? returned - static_cast<uint32_t>(sizeof h) : 0;
            m_lasterror = Format("Send VX_IOCTL_USB_REQUEST ERROR! short read, %u of %u bytes", got,
                                 static_cast<unsigned>(h.wLength));
            DebugLog("%s", m_lasterror.c_str());
            result = 0;
        }
    }
    Trace(rec, size);
    return result;
}

int CHubIsp::SendWithRetry(RequestRecord& rec) {
    if (SendUsbRequest(rec)) return 1;
    Sys().clock->Sleep(20);
    return SendUsbRequest(rec);
}
