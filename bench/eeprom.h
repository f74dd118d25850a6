// An I2C EEPROM as the hub controller sees it on its two-wire bus.
//
// The controller turns a request into bus transactions: a write is
// START, device address, the address bytes it was told to send, the data,
// STOP; a read is the same address phase followed by a repeated START and
// the reads.  The part does not know how many address bytes the controller
// meant to send: it takes the first one (or two) bytes after the device
// address as its word address and everything after that as data.  This is
// what lets the tool's addressing probe tell a one-address-byte part from a
// two-address-byte part.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/description.h"
#include "platform/ports.h"

namespace bench {

class I2cEeprom {
public:
    I2cEeprom(const EepromPart& part, tessaro::IClock& clock);

    const EepromPart& Part() const { return m_part; }
    std::vector<uint8_t>& Content() { return m_content; }
    const std::vector<uint8_t>& Content() const { return m_content; }

    // block: bits 8-10 of a one-address-byte access, sent in the device
    // address.  false when no part acknowledges the device address (also
    // during a write cycle).
    bool Write(uint8_t block, const std::vector<uint8_t>& addressBytes, const uint8_t* data, size_t length,
               std::string* note);
    bool Read(uint8_t block, const std::vector<uint8_t>& addressBytes, uint8_t* out, size_t length);

    uint32_t AddressCounter() const { return m_counter; }

private:
    bool Acknowledges(uint8_t block);
    uint32_t Wrap(uint32_t address) const { return address % static_cast<uint32_t>(m_content.size()); }

    EepromPart m_part;
    tessaro::IClock& m_clock;
    std::vector<uint8_t> m_content;
    uint64_t m_busyUntil = 0;  // end of the write cycle
    uint32_t m_counter = 0;  // the part's address counter
};

}  // namespace bench
