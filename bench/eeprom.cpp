#include "bench/eeprom.h"

namespace bench {

EepromPart DefaultEeprom(uint32_t size) {
    EepromPart part;
    part.size = size;
    if (size <= 2048) {
        part.addressBytes = 1;
        part.pageSize = size <= 256 ? 8 : 16;
    } else {
        part.addressBytes = 2;
        part.pageSize = 64;
    }
    return part;
}

I2cEeprom::I2cEeprom(const EepromPart& part, tessaro::IClock& clock)
    : m_part(part), m_clock(clock), m_content(part.size ? part.size : 1, 0xFF) {}

bool I2cEeprom::Acknowledges(uint8_t block) {
    if (m_clock.NowMs() < m_busyUntil) return false;
    // A two-address-byte part and a 256-byte part have their address pins
    // tied low and answer block 0 only; the 512 to 2048-byte parts use the
    // block bits as the high bits of their word address.
    if (m_part.addressBytes == 2) return block == 0;
    const uint32_t blocks = m_part.size > 256 ? (m_part.size + 255) / 256 : 1;
    return block < blocks;
}

bool I2cEeprom::Write(uint8_t block, const std::vector<uint8_t>& addressBytes, const uint8_t* data, size_t length,
                      std::string* note) {
    if (!Acknowledges(block)) return false;
    std::vector<uint8_t> stream(addressBytes);
    stream.insert(stream.end(), data, data + length);
    const size_t need = static_cast<size_t>(m_part.addressBytes);
    if (stream.size() < need) {
        // Only the high address byte arrived before STOP: it is latched, the
        // low half of the counter stays, nothing is written.
        if (!stream.empty()) m_counter = Wrap((static_cast<uint32_t>(stream[0]) << 8) | (m_counter & 0xFF));
        return true;
    }
    uint32_t address = need == 2 ? (static_cast<uint32_t>(stream[0]) << 8) | stream[1]
                                 : static_cast<uint32_t>(block) * 256 + stream[0];
    address = Wrap(address);
    const uint32_t page = m_part.pageSize ? m_part.pageSize : 1;
    const uint32_t base = address - address % page;
    uint32_t offset = address % page;
    // The page buffer wraps: more bytes than a page overwrite its start.
    for (size_t i = need; i < stream.size(); ++i) {
        if (!m_part.writeProtected) m_content[Wrap(base + offset)] = stream[i];
        offset = (offset + 1) % page;
    }
    m_counter = Wrap(base + offset);
    if (stream.size() > need) {
        if (m_part.writeProtected && note) *note = "write dropped: EEPROM write-protected";
        m_busyUntil = m_clock.NowMs() + m_part.writeTimeMs;
    }
    return true;
}

bool I2cEeprom::Read(uint8_t block, const std::vector<uint8_t>& addressBytes, uint8_t* out, size_t length) {
    if (!Acknowledges(block)) return false;
    const size_t need = static_cast<size_t>(m_part.addressBytes);
    if (addressBytes.size() < need) {
        if (!addressBytes.empty())
            m_counter = Wrap((static_cast<uint32_t>(addressBytes[0]) << 8) | (m_counter & 0xFF));
    } else {
        uint32_t address = need == 2 ? (static_cast<uint32_t>(addressBytes[0]) << 8) | addressBytes[1]
                                     : static_cast<uint32_t>(block) * 256 + addressBytes[0];
        address = Wrap(address);
        // Bytes beyond the word address were taken as data into the page
        // buffer; the repeated START drops them without a write, but the
        // counter has moved on inside the page.
        const uint32_t page = m_part.pageSize ? m_part.pageSize : 1;
        const uint32_t extra = static_cast<uint32_t>(addressBytes.size() - need);
        m_counter = Wrap(address - address % page + (address % page + extra) % page);
    }
    for (size_t i = 0; i < length; ++i) {
        out[i] = m_content[m_counter];
        m_counter = Wrap(m_counter + 1);
    }
    return true;
}

}  // namespace bench
