// The device manager: the device list of a class, hardware IDs, and
// disabling and enabling a hub's functions.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bench/adapters.h"
#include "bench/pc.h"
#include "bench/text.h"
#include "platform/native.h"
#include "platform/winconst.h"

namespace bench {

// --- device manager ------------------------------------------------------------------------

void Pc::SetFunctionEnabled(Device& device, size_t function, bool enabled) {
    FunctionState& f = device.m_functions[function];
    if (f.enabled == enabled) return;
    f.enabled = enabled;
    Changed();
}

uintptr_t Pc::ListOpen(const std::string& className, bool presentOnly) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    uint32_t error = 0;
    if (SystemFaultHits(SystemFault::Kind::DeviceList, std::string(), std::string(), &error)) {
        Event("device list of class " + className + " refused");
        tessaro::SetLastError(error);
        return 0;
    }
    std::vector<ListItem> items;
    for (auto& d : m_devices)
        for (size_t i = 0; i < d->m_functions.size(); ++i) {
            const FunctionState& f = d->m_functions[i];
            if (Lower(f.spec.deviceClass) != Lower(className)) continue;
            if (presentOnly && (!d->m_plugged || !f.spec.present)) continue;
            items.push_back(ListItem{d.get(), i, -1});
        }
    const uintptr_t list = m_nextList++;
    m_lists[list] = items;
    return list;
}

bool Pc::ListEnum(uintptr_t list, uint32_t index) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = m_lists.find(list);
    if (it == m_lists.end()) {
        tessaro::SetLastError(tessaro::win::kErrInvalidHandle);
        return false;
    }
    if (index >= it->second.size()) {
        tessaro::SetLastError(tessaro::win::kErrNoMoreItems);
        return false;
    }
    return true;
}

bool Pc::ListHardwareId(uintptr_t list, uint32_t index, std::string& id, uint32_t maxBytes) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = m_lists.find(list);
    if (it == m_lists.end() || index >= it->second.size()) {
        tessaro::SetLastError(tessaro::win::kErrInvalidParameter);
        return false;
    }
    const FunctionState& f = it->second[index].device->m_functions[it->second[index].function];
    if (f.spec.hardwareIdFails) {
        tessaro::SetLastError(f.spec.hardwareIdError);
        return false;
    }
    if (f.spec.hardwareIds.empty()) {
        tessaro::SetLastError(13);  // ERROR_INVALID_DATA: the property is not there
        return false;
    }
    // The property is a list of strings ending in an empty one; it must fit
    // the caller's buffer as a whole.
    size_t need = 1;
    for (const std::string& h : f.spec.hardwareIds) need += h.size() + 1;
    if (need > maxBytes) {
        tessaro::SetLastError(tessaro::win::kErrInsufficientBuffer);
        return false;
    }
    id = f.spec.hardwareIds.front();
    return true;
}

bool Pc::ListSetParams(uintptr_t list, uint32_t index, bool enable) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = m_lists.find(list);
    if (it == m_lists.end() || index >= it->second.size()) {
        tessaro::SetLastError(tessaro::win::kErrInvalidParameter);
        return false;
    }
    it->second[index].pending = enable ? 1 : 0;
    return true;
}

bool Pc::ListChangeState(uintptr_t list, uint32_t index) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = m_lists.find(list);
    if (it == m_lists.end() || index >= it->second.size() || it->second[index].pending < 0) {
        tessaro::SetLastError(tessaro::win::kErrInvalidParameter);
        return false;
    }
    ListItem& item = it->second[index];
    const bool enable = item.pending == 1;
    SetFunctionEnabled(*item.device, item.function, enable);
    const FunctionState& f = item.device->m_functions[item.function];
    Event(std::string(enable ? "enabled " : "disabled ") + item.device->Name() + " " +
          (f.spec.hardwareIds.empty() ? std::string() : f.spec.hardwareIds.front()));
    return true;
}

void Pc::ListClose(uintptr_t list) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_lists.erase(list);
}

}  // namespace bench
