// The hub controller: answers the vendor requests of the hub's default pipe
// the way the chip does.  A request it does not know, one for the other kind
// of store, or one with the wrong direction or length is STALLed; requests
// that change the store need ISP mode.  A store read or write longer than
// the controller's page buffer is STALLed.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/eeprom.h"
#include "bench/description.h"
#include "bench/spi_flash.h"
#include "platform/ports.h"

namespace bench {

struct Setup {
    uint8_t bmRequestType = 0;
    uint8_t bRequest = 0;
    uint16_t wValue = 0;
    uint16_t wIndex = 0;
    uint16_t wLength = 0;
};

struct Outcome {
    bool ok = true;    // false: the controller STALLed the request
    std::string note;  // what happened, for the request log
};

class Controller {
public:
    // part: the flash part of an SPI store (ignored for EEPROM).
    Controller(const DeviceSpec& spec, const FlashPart& part, tessaro::IClock& clock);

    // data holds wLength bytes: sent for a host-to-device request, filled
    // for a device-to-host one.
    Outcome Handle(const Setup& setup, uint8_t* data);

    StoreKind Kind() const { return m_kind; }
    std::vector<uint8_t>& Store();
    SpiFlash* Flash() { return m_flash.get(); }
    I2cEeprom* Eeprom() { return m_eeprom.get(); }

    bool InIsp() const { return m_isp; }
    int IspEntries() const { return m_ispEntries; }
    int Resets() const { return m_resets; }
    uint8_t Phy(uint16_t wValue, uint16_t wIndex) const;
    void SetPhy(uint16_t wValue, uint16_t wIndex, uint8_t value);

private:
    Outcome Command(const Setup& s);
    Outcome Read(const Setup& s, uint8_t* data);
    Outcome Write(const Setup& s, uint8_t* data);
    Outcome PhyAccess(const Setup& s, uint8_t* data);
    Outcome EepromTransfer(const Setup& s, uint8_t* data, bool write);

    StoreKind m_kind;
    std::unique_ptr<SpiFlash> m_flash;
    std::unique_ptr<I2cEeprom> m_eeprom;
    uint8_t m_spiStoreType;
    bool m_isp;
    int m_ispEntries = 0;
    int m_resets = 0;
    uint8_t m_phyDefault;
    uint32_t m_maxTransfer;
    std::map<std::pair<uint16_t, uint16_t>, std::pair<uint8_t, bool>> m_phy;  // value, read-only
};

}  // namespace bench
