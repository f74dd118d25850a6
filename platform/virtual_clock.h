// A clock whose time moves only when someone waits: tests and the bench assert
// the waits of the tool without spending them.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/ports.h"

namespace tessaro {

class VirtualClock : public IClock {
public:
    void Sleep(uint32_t ms) override;
    uint64_t NowMs() override;

    // Moves time without recording a wait (time spent by simulated devices).
    void Advance(uint64_t ms);
    // Every Sleep in call order.
    std::vector<uint32_t> Waits() const;
    uint64_t TotalWaited() const;
    void ClearWaits();

private:
    mutable std::mutex m_mutex;
    uint64_t m_now = 0;
    std::vector<uint32_t> m_waits;
};

}  // namespace tessaro
