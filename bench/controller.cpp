#include "bench/controller.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace bench {

namespace {

constexpr uint8_t kVendorOut = 0x40;
constexpr uint8_t kVendorIn = 0xC0;

Outcome Stall(const std::string& why) { return Outcome{false, "STALL: " + why}; }
Outcome Done(const std::string& note = std::string()) { return Outcome{true, note}; }

std::string Hex4(unsigned v) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", v & 0xFFFFu);
    return text;
}

}  // namespace

Controller::Controller(const DeviceSpec& spec, const FlashPart& part, tessaro::IClock& clock)
    : m_kind(spec.store), m_spiStoreType(spec.spiStoreTypeByte), m_isp(spec.startsInIsp),
      m_phyDefault(spec.phyDefault), m_maxTransfer(spec.maxTransfer) {
    if (m_kind == StoreKind::Spi)
        m_flash = std::make_unique<SpiFlash>(part, clock);
    else
        m_eeprom = std::make_unique<I2cEeprom>(spec.eeprom, clock);
    for (const PhyRegister& r : spec.phy) m_phy[{r.wValue, r.wIndex}] = {r.value, r.readOnly};
}

std::vector<uint8_t>& Controller::Store() { return m_flash ? m_flash->Content() : m_eeprom->Content(); }

uint8_t Controller::Phy(uint16_t wValue, uint16_t wIndex) const {
    auto it = m_phy.find({wValue, wIndex});
    return it == m_phy.end() ? m_phyDefault : it->second.first;
}

void Controller::SetPhy(uint16_t wValue, uint16_t wIndex, uint8_t value) {
    auto it = m_phy.find({wValue, wIndex});
    if (it == m_phy.end())
        m_phy[{wValue, wIndex}] = {value, false};
    else
        it->second.first = value;
}

Outcome Controller::Handle(const Setup& s, uint8_t* data) {
    // Everything except ISP entry and un-protect commands breaks a flash
    // part's un-protect sequence.
    const bool ispEntry = s.bRequest == 0x81 && s.wValue == 0x0001;
    const bool unprotect = s.bRequest == 0x83 && s.wLength == 0 && (s.wValue & 0xFF) == 0x06;
    if (m_flash && !ispEntry && !unprotect) m_flash->OtherRequest();
    // The controller stages a store read or write in its page buffer; a
    // longer data stage does not fit.
    if ((s.bRequest == 0x82 || s.bRequest == 0x83) && s.wLength > m_maxTransfer)
        return Stall("data stage of " + std::to_string(s.wLength) + " bytes, the controller takes at most " +
                     std::to_string(m_maxTransfer));

    switch (s.bRequest) {
    case 0x81:
        return Command(s);
    case 0x82:
        return Read(s, data);
    case 0x83:
        return Write(s, data);
    case 0x72:
    case 0x73:
        return PhyAccess(s, data);
    default:
        return Stall("unknown request");
    }
}

Outcome Controller::Command(const Setup& s) {
    if (s.bmRequestType != kVendorOut) return Stall("command with the wrong request type");
    if (s.wLength != 0) return Stall("command with a data stage");
    if (s.wValue == 0x0001) {
        const uint16_t wanted = m_kind == StoreKind::Spi ? 0 : 1;
        if (s.wIndex != wanted) return Stall("ISP entry for the other kind of store");
        m_isp = true;
        ++m_ispEntries;
        if (m_flash) m_flash->EnterIsp();
        return Done();
    }
    if (s.wValue == 0x0003) {
        if (s.wIndex != 0) return Stall("software reset with a non-zero wIndex");
        ++m_resets;
        m_isp = false;
        if (m_flash) m_flash->Reset();
        return Done("hub restarted");
    }
    if ((s.wValue & 0xFF) == 0x01 && (s.wValue >> 8) != 0) {
        if (!m_flash) return Stall("status-register enable on an EEPROM hub");
        if (!m_isp) return Stall("status-register enable outside ISP mode");
        return Done(m_flash->Ewsr(static_cast<uint8_t>(s.wValue >> 8)));
    }
    return Stall("unknown command " + Hex4(s.wValue));
}

Outcome Controller::Read(const Setup& s, uint8_t* data) {
    if (s.bmRequestType != kVendorIn) return Stall("read with the wrong request type");
    if (s.wValue == 0x0004) {
        // The store type is one status byte of the controller; it answers
        // nothing else at this wValue.
        if (s.wIndex != 0) return Stall("store-type read with wIndex " + Hex4(s.wIndex) + ", not 0");
        if (s.wLength != 1) return Stall("store-type read of " + std::to_string(s.wLength) + " bytes, not 1");
        data[0] = m_kind == StoreKind::Eeprom ? 1 : m_spiStoreType;
        return Done();
    }
    if (s.wValue == 0x0100 || s.wValue == 0x0200) {
        if (!m_eeprom) return Stall("EEPROM read on an SPI hub");
        return EepromTransfer(s, data, false);
    }
    if (s.wValue == 0x0000) {
        if (!m_flash) return Stall("SPI flash read on an EEPROM hub");
        m_flash->Read(s.wIndex, data, s.wLength);
        return Done(m_flash->Busy() ? "part busy" : "");
    }
    const uint8_t mode = s.wValue & 0xFF;
    if ((mode == 1 || mode == 2) && (s.wValue >> 8) != 0) {
        if (!m_flash) return Stall("flash identification on an EEPROM hub");
        m_flash->ReadId(static_cast<uint8_t>(s.wValue >> 8), mode, data, s.wLength);
        return Done();
    }
    return Stall("unknown read " + Hex4(s.wValue));
}

Outcome Controller::Write(const Setup& s, uint8_t* data) {
    if (s.bmRequestType != kVendorOut) return Stall("write with the wrong request type");
    if (s.wValue == 0x0100 || s.wValue == 0x0200) {
        if (!m_eeprom) return Stall("EEPROM write on an SPI hub");
        if (!m_isp) return Stall("EEPROM write outside ISP mode");
        return EepromTransfer(s, data, true);
    }
    if (!m_flash) return Stall("flash command " + Hex4(s.wValue) + " on an EEPROM hub");
    if (!m_isp) return Stall("flash write or command outside ISP mode");
    const uint8_t op = static_cast<uint8_t>(s.wValue >> 8);
    if (s.wLength == 0) {
        if ((s.wValue & 0xFF) == 0x06) return Done(m_flash->Unprotect(op));
        if ((s.wValue & 0xFF) == 0x01) return Done(m_flash->Erase(op));
        return Stall("unknown flash command " + Hex4(s.wValue));
    }
    return Done(m_flash->Program(s.wValue, s.wIndex, data, s.wLength));
}

Outcome Controller::EepromTransfer(const Setup& s, uint8_t* data, bool write) {
    std::vector<uint8_t> address;
    uint8_t block = 0;
    if (s.wValue == 0x0100) {
        address = {static_cast<uint8_t>(s.wIndex >> 8), static_cast<uint8_t>(s.wIndex)};
    } else {
        address = {static_cast<uint8_t>(s.wIndex)};
        block = static_cast<uint8_t>((s.wIndex >> 8) & 0x07);
    }
    std::string note;
    const bool acked = write ? m_eeprom->Write(block, address, data, s.wLength, &note)
                             : m_eeprom->Read(block, address, data, s.wLength);
    if (!acked) return Stall("no EEPROM acknowledges the device address");
    return Done(note);
}

Outcome Controller::PhyAccess(const Setup& s, uint8_t* data) {
    const bool read = s.bRequest == 0x72;
    const bool typeOk = read ? (s.bmRequestType == 0xC3 || s.bmRequestType == kVendorIn)
                             : (s.bmRequestType == 0x43 || s.bmRequestType == kVendorOut);
    if (!typeOk) return Stall("PHY access with the wrong request type");
    if (s.wValue != 0x0101 && s.wValue != 0x0201) return Stall("unknown PHY register space " + Hex4(s.wValue));
    if (s.wLength != 1) return Stall("PHY access of other than one byte");
    auto it = m_phy.find({s.wValue, s.wIndex});
    if (read) {
        data[0] = it == m_phy.end() ? m_phyDefault : it->second.first;
        return Done();
    }
    if (it != m_phy.end() && it->second.second) return Done("read-only register kept its value");
    m_phy[{s.wValue, s.wIndex}] = {data[0], false};
    return Done();
}

}  // namespace bench
