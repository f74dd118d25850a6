// An SPI flash part behind the hub controller.  It behaves like the chip:
// an erase sets every byte to 0xFF and keeps the part busy for its erase
// time, a program can only clear bits, and while the part is protected,
// busy, or given an opcode it does not know, it simply does nothing -- the
// controller's request still completes, so only a read-back shows it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/description.h"
#include "platform/ports.h"

namespace bench {

class SpiFlash {
public:
    SpiFlash(const FlashPart& part, tessaro::IClock& clock);

    const FlashPart& Part() const { return m_part; }
    std::vector<uint8_t>& Content() { return m_content; }
    const std::vector<uint8_t>& Content() const { return m_content; }

    // The controller reports every request it handles, in order, so that the
    // part can tell whether its un-protect commands came where it needs them.
    void EnterIsp();
    void OtherRequest();
    void Reset();

    // Each returns a note for the request log; empty when the part acted.
    std::string Ewsr(uint8_t opcode);
    std::string Unprotect(uint8_t opcode);
    std::string Erase(uint8_t opcode);
    std::string Program(uint16_t wValue, uint32_t address, const uint8_t* data, size_t length);
    void Read(uint32_t address, uint8_t* out, size_t length);
    // An identification read: opcode, then (mode 2) three address bytes.
    void ReadId(uint8_t opcode, uint8_t mode, uint8_t* out, size_t length);

    bool Protected() const { return m_protected; }
    bool Busy();
    bool EwsrArmed() const { return m_ewsrArmed; }

private:
    void BreakSequence();

    FlashPart m_part;
    tessaro::IClock& m_clock;
    std::vector<uint8_t> m_content;
    bool m_protected = false;
    bool m_ewsrArmed = false;
    uint64_t m_busyUntil = 0;
    // Un-protect sequence tracking.
    size_t m_progress = 0;        // commands of the sequence received in a row
    bool m_lastWasIsp = false;    // the previous request was an ISP entry
    bool m_waitingForIsp = false; // a complete sequence waits for the ISP entry
};

}  // namespace bench
