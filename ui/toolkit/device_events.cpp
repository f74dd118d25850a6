#include "ui/toolkit/device_events.h"

#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace ui {

namespace {

struct Subscription {
    tessaro::Guid cls;
    DeviceEventSink sink;
};

struct Registry {
    std::mutex mutex;
    std::map<int, Subscription> subs;
    int next = 1;
};

Registry& Subs() {
    static Registry r;
    return r;
}

bool SameGuid(const tessaro::Guid& a, const tessaro::Guid& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

int SubscribeDeviceEvents(const tessaro::Guid& interfaceClass, DeviceEventSink sink) {
    if (!sink) return 0;
    Registry& r = Subs();
    std::lock_guard<std::mutex> lock(r.mutex);
    int token = r.next++;
    r.subs.emplace(token, Subscription{interfaceClass, std::move(sink)});
    return token;
}

void UnsubscribeDeviceEvents(int token) {
    Registry& r = Subs();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.subs.erase(token);
}

void RaiseDeviceEvent(const tessaro::Guid& interfaceClass, uint32_t event, int32_t deviceType) {
    std::vector<DeviceEventSink> sinks;
    {
        Registry& r = Subs();
        std::lock_guard<std::mutex> lock(r.mutex);
        for (auto& s : r.subs)
            if (SameGuid(s.second.cls, interfaceClass)) sinks.push_back(s.second.sink);
    }
    // Outside the lock: a sink may post, and the window it posts to may
    // unsubscribe meanwhile (the post is then dropped by the window).
    for (auto& sink : sinks) sink(event, deviceType);
}

}  // namespace ui
