#include "bench/spi_flash.h"

#include <algorithm>
#include <cstdio>

namespace bench {

namespace {
std::string Hex2(unsigned v) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", v & 0xFFu);
    return text;
}
}  // namespace

SpiFlash::SpiFlash(const FlashPart& part, tessaro::IClock& clock)
    : m_part(part), m_clock(clock), m_content(part.size ? part.size : 1, 0xFF) {
    Reset();
}

bool SpiFlash::Busy() { return m_clock.NowMs() < m_busyUntil; }

void SpiFlash::Reset() {
    // The hub's boot code leaves the part protected the way it found it.
    m_protected = m_part.startsProtected && !m_part.unprotect.empty();
    m_ewsrArmed = false;
    m_progress = 0;
    m_lastWasIsp = false;
    m_waitingForIsp = false;
}

void SpiFlash::BreakSequence() {
    m_progress = 0;
    m_lastWasIsp = false;
    m_waitingForIsp = false;
}

void SpiFlash::EnterIsp() {
    if (m_waitingForIsp) m_protected = false;
    BreakSequence();
    m_ewsrArmed = false;
    m_lastWasIsp = true;
}

void SpiFlash::OtherRequest() { BreakSequence(); }

std::string SpiFlash::Ewsr(uint8_t opcode) {
    BreakSequence();
    if (Busy()) return "EWSR ignored: part busy";
    if (m_part.ewsrOpcode < 0 || opcode != m_part.ewsrOpcode)
        return "EWSR opcode " + Hex2(opcode) + " unknown to the part";
    m_ewsrArmed = true;
    return "";
}

std::string SpiFlash::Unprotect(uint8_t opcode) {
    const bool afterIsp = m_lastWasIsp;
    m_lastWasIsp = false;
    m_waitingForIsp = false;
    if (Busy()) {
        m_progress = 0;
        return "un-protect ignored: part busy";
    }
    const std::vector<uint8_t>& seq = m_part.unprotect;
    if (seq.empty()) return "un-protect command " + Hex2(opcode) + " unknown to the part";
    const bool mayStart = m_part.unprotectAt != UnprotectAt::AfterIsp || afterIsp;
    if (m_progress > 0 && m_progress < seq.size() && opcode == seq[m_progress]) {
        ++m_progress;
    } else if (opcode == seq[0] && mayStart) {
        m_progress = 1;
    } else {
        m_progress = 0;
        if (opcode == seq[0]) return "un-protect sequence not started right after an ISP entry";
        return "un-protect command " + Hex2(opcode) + " out of sequence";
    }
    if (m_progress < seq.size()) return "";
    m_progress = 0;
    if (m_part.unprotectAt == UnprotectAt::BeforeIsp) {
        m_waitingForIsp = true;
        return "un-protect sequence complete, waiting for an ISP entry";
    }
    m_protected = false;
    return "";
}

std::string SpiFlash::Erase(uint8_t opcode) {
    BreakSequence();
    if (Busy()) return "erase ignored: part busy";
    if (std::find(m_part.eraseOpcodes.begin(), m_part.eraseOpcodes.end(), opcode) == m_part.eraseOpcodes.end())
        return "erase opcode " + Hex2(opcode) + " unknown to the part";
    if (m_protected) return "erase ignored: part protected";
    if (m_part.ewsrOpcode >= 0 && !m_ewsrArmed) return "erase ignored: no status-register enable";
    std::fill(m_content.begin(), m_content.end(), 0xFF);
    m_ewsrArmed = false;
    m_busyUntil = m_clock.NowMs() + m_part.eraseTimeMs;
    return "";
}

std::string SpiFlash::Program(uint16_t wValue, uint32_t address, const uint8_t* data, size_t length) {
    BreakSequence();
    if (Busy()) return "program ignored: part busy";
    if (std::find(m_part.programValues.begin(), m_part.programValues.end(), wValue) == m_part.programValues.end()) {
        char text[64];
        std::snprintf(text, sizeof text, "program wValue %04X unknown to the part", wValue);
        return text;
    }
    if (m_protected) return "program ignored: part protected";
    const size_t size = m_content.size();
    const uint32_t page = m_part.pageSize;
    // Page program: the address counter wraps inside the page, and bits can
    // only go from 1 to 0.
    const uint32_t base = page ? address - address % page : 0;
    uint32_t offset = page ? address % page : address;
    for (size_t i = 0; i < length; ++i) {
        m_content[(base + offset) % size] &= data[i];
        offset = page ? (offset + 1) % page : offset + 1;
    }
    if (m_part.reprotectAfterProgram && !m_part.unprotect.empty()) m_protected = true;
    m_busyUntil = m_clock.NowMs() + m_part.programTimeMs;
    return "";
}

void SpiFlash::Read(uint32_t address, uint8_t* out, size_t length) {
    BreakSequence();
    if (Busy()) {
        std::fill(out, out + length, m_part.busyByte);
        return;
    }
    const size_t size = m_content.size();
    for (size_t i = 0; i < length; ++i) out[i] = m_content[(address + i) % size];
}

void SpiFlash::ReadId(uint8_t opcode, uint8_t mode, uint8_t* out, size_t length) {
    BreakSequence();
    std::fill(out, out + length, m_part.busyByte);  // nothing drives the data line
    if (Busy()) return;
    for (const FlashIdCommand& id : m_part.ids) {
        if (id.opcode != opcode || id.bytes.empty()) continue;
        const size_t n = id.bytes.size();
        for (size_t i = 0; i < length; ++i) {
            if (id.mode == mode) {
                out[i] = id.bytes[i % n];
            } else if (id.mode == 2) {
                // The part still takes the next three bytes as its address.
                if (i >= 3) out[i] = id.bytes[(i - 3) % n];
            } else {
                // The part answered while the controller was sending the address.
                out[i] = id.bytes[(i + 3) % n];
            }
        }
        return;
    }
}

}  // namespace bench
