#include "platform/virtual_clock.h"

namespace tessaro {

void VirtualClock::Sleep(uint32_t ms) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_now += ms;
    m_waits.push_back(ms);
}

uint64_t VirtualClock::NowMs() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_now;
}

void VirtualClock::Advance(uint64_t ms) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_now += ms;
}

std::vector<uint32_t> VirtualClock::Waits() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_waits;
}

uint64_t VirtualClock::TotalWaited() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    uint64_t total = 0;
    for (uint32_t w : m_waits) total += w;
    return total;
}

void VirtualClock::ClearWaits() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_waits.clear();
}

}  // namespace tessaro
