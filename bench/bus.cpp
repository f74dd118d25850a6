// Devices leaving the bus and coming back: hot-plugging, the unplug faults
// and the re-enumeration that follows a hub's software reset.  A device that
// comes back by itself is a new device to the driver: it is appended to the
// list and its functions get new handles, so indices and handles taken
// before it left name something else (or nothing) afterwards.
#include "bench/pc.h"

#include <algorithm>

#include "platform/winconst.h"

namespace bench {

void Pc::SetReEnumerateDelay(uint32_t ms) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_reEnumerateMs = ms;
}

void Pc::Unplug(const std::string& name) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Device* d = FindDevice(name);
    if (d && d->m_plugged) {
        d->m_plugged = false;
        d->m_returning = false;
        Changed();
        HubChanged(*d, false);
    }
}

void Pc::Plug(const std::string& name) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Device* d = FindDevice(name);
    if (d && !d->m_plugged) {
        d->m_plugged = true;
        d->m_returning = false;
        Changed();
        HubChanged(*d, true);
    }
}

void Pc::Tick() {
    const uint64_t now = Clock().NowMs();
    std::vector<Device*> due;
    for (auto& d : m_devices)
        if (d->m_returning && now >= d->m_returnAtMs) due.push_back(d.get());
    // Those that left first come back first.
    std::stable_sort(due.begin(), due.end(),
                     [](const Device* a, const Device* b) { return a->m_returnAtMs < b->m_returnAtMs; });
    for (Device* d : due) Return(*d);
}

void Pc::Leave(Device& device, int backMs, const std::string& why) {
    if (!device.m_plugged) return;
    device.m_plugged = false;
    device.m_returning = backMs >= 0;
    device.m_returnAtMs = Clock().NowMs() + static_cast<uint64_t>(backMs < 0 ? 0 : backMs);
    Changed();
    HubChanged(device, false);
    std::string text = device.Name() + " left the bus (" + why + ")";
    if (backMs >= 0) text += ", back in " + std::to_string(backMs) + " ms";
    Event(text);
}

void Pc::Return(Device& device) {
    device.m_returning = false;
    device.m_plugged = true;
    std::string handles;
    for (FunctionState& f : device.m_functions) {
        m_retired[f.handle] = device.Name();
        uint32_t candidate = 0;
        for (;;) {
            candidate = m_nextHandle++;
            if (!candidate || m_retired.count(candidate)) continue;
            bool used = false;
            for (const auto& d : m_devices)
                for (const FunctionState& other : d->m_functions) used = used || other.handle == candidate;
            if (!used) break;
        }
        f.handle = candidate;
        handles += (handles.empty() ? "" : ", ") + std::to_string(candidate);
    }
    // Appended to the driver's list, as any newly arrived device.
    auto it = std::find_if(m_devices.begin(), m_devices.end(),
                           [&](const std::unique_ptr<Device>& d) { return d.get() == &device; });
    if (it != m_devices.end()) std::rotate(it, it + 1, m_devices.end());
    Changed();
    Event(device.Name() + " is back on the bus with handle" + (device.m_functions.size() > 1 ? "s " : " ") +
          handles);
    HubChanged(device, true);
}

bool Pc::UnknownHandle(LogEntry& entry) {
    auto it = m_retired.find(entry.handle);
    if (it == m_retired.end()) return Fail(entry, tessaro::win::kErrInvalidParameter, "unknown handle");
    entry.device = it->second;
    return Fail(entry, tessaro::win::kErrDeviceNotConnected,
                "stale handle: " + it->second + " was enumerated again since");
}

}  // namespace bench
