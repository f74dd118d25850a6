// The filter driver of the simulated PC: opening \\.\vxusbflt, the
// enumeration, the identity texts and the request log.  Vendor requests are
// in usb_request.cpp, devices leaving and coming back in bus.cpp.
#include "bench/pc.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "bench/adapters.h"
#include "bench/text.h"
#include "bench/wire.h"
#include "platform/winconst.h"

namespace bench {

using namespace wire;


// --- the filter driver -------------------------------------------------------------------

void Pc::Record(LogEntry& entry) {
    entry.seq = ++m_seq;
    m_log.push_back(entry);
    if (m_logPath.empty()) return;
    // The file is recreated by the first line and stays open; each line is
    // flushed so that a reader sees the requests made so far.
    if (!m_logFile) m_logFile = std::fopen(m_logPath.c_str(), "w");
    if (!m_logFile) return;
    std::fprintf(m_logFile, "%s\n", FormatLogEntry(entry).c_str());
    std::fflush(m_logFile);
}

bool Pc::Fail(LogEntry& entry, uint32_t error, const std::string& note) {
    entry.ok = false;
    entry.error = error;
    if (!note.empty()) entry.note = entry.note.empty() ? note : entry.note + "; " + note;
    Record(entry);
    tessaro::SetLastError(error);
    return false;
}

tessaro::Handle Pc::DriverOpen(const std::string& name) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    LogEntry entry;
    entry.kind = LogEntry::Kind::Open;
    entry.timeMs = Clock().NowMs();
    entry.note = name;
    Tick();
    const Fault* hit = nullptr;
    for (auto& f : m_faults)
        if (f.first.kind == FaultKind::FailOpen && FaultHits(f.first, f.second) && !hit) hit = &f.first;
    if (hit) {
        Fail(entry, hit->error, "fault");
        return tessaro::kInvalidHandle;
    }
    if (!m_installed || Lower(name) != "\\\\.\\vxusbflt") {
        Fail(entry, tessaro::win::kErrFileNotFound);
        return tessaro::kInvalidHandle;
    }
    const tessaro::Handle h = m_nextFile++;
    m_open.push_back(h);
    entry.ok = true;
    entry.returned = static_cast<uint32_t>(h);
    Record(entry);
    return h;
}

void Pc::DriverClose(tessaro::Handle h) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    LogEntry entry;
    entry.kind = LogEntry::Kind::Close;
    entry.timeMs = Clock().NowMs();
    auto it = std::find(m_open.begin(), m_open.end(), h);
    entry.ok = it != m_open.end();
    if (!entry.ok) entry.error = tessaro::win::kErrInvalidHandle;
    if (it != m_open.end()) m_open.erase(it);
    Record(entry);
}

std::vector<const FunctionState*> Pc::Listed() const {
    std::vector<const FunctionState*> out;
    for (const auto& d : m_devices) {
        if (!d->m_plugged) continue;
        for (const FunctionState& f : d->m_functions)
            if (f.spec.present && f.enabled) out.push_back(&f);
    }
    return out;
}

bool Pc::FindFunction(uint32_t handle, Device** device, FunctionState** function) {
    for (auto& d : m_devices)
        for (FunctionState& f : d->m_functions)
            if (f.handle == handle) {
                *device = d.get();
                *function = &f;
                return true;
            }
    return false;
}

namespace {

// Bus time a request of this thread still owes: spent once the driver's lock
// is released, so that requests to different hubs from different threads
// overlap on the bus as control transfers to different devices do, instead
// of queueing behind one another's bus time.
thread_local uint64_t t_owedUs = 0;

}  // namespace

void Pc::SpendLatency() {
    if (!m_latencyUs) return;
    // The PC's own real clock waits in microseconds, after the lock.
    if (&Clock() == &m_real) {
        t_owedUs += m_latencyUs;
        return;
    }
    // Other clocks count milliseconds: the bus time is summed and whole
    // milliseconds are spent as they fill up.  On a virtual clock it moves
    // the clock without counting as a wait of the tool.
    m_latencyCarryUs += m_latencyUs;
    const uint64_t ms = m_latencyCarryUs / 1000;
    m_latencyCarryUs %= 1000;
    if (!ms) return;
    if (tessaro::VirtualClock* v = Virtual())
        v->Advance(ms);
    else
        Clock().Sleep(static_cast<uint32_t>(ms));
}

bool Pc::DriverControl(tessaro::Handle h, uint32_t code, const void* inVoid, uint32_t inSize, void* outVoid,
                       uint32_t outSize, uint32_t* returned) {
    // Declared before the lock: its destructor runs once the lock is released.
    struct SpendOwed {
        RealClock& clock;
        ~SpendOwed() {
            if (!t_owedUs) return;
            const uint64_t us = t_owedUs;
            t_owedUs = 0;
            clock.SleepUs(us);
        }
    } spendOwed{m_real};
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const uint8_t* in = static_cast<const uint8_t*>(inVoid);
    uint8_t* out = static_cast<uint8_t*>(outVoid);
    LogEntry entry;
    entry.kind = LogEntry::Kind::Control;
    entry.timeMs = Clock().NowMs();
    entry.code = code;
    entry.inSize = inSize;
    entry.outSize = outSize;
    if (returned) *returned = 0;
    Tick();

    if (std::find(m_open.begin(), m_open.end(), h) == m_open.end())
        return Fail(entry, tessaro::win::kErrInvalidHandle, "driver not open");
    const Fault* hit = nullptr;
    for (auto& f : m_faults)
        if (f.first.kind == FaultKind::FailIoctl && f.first.ioctl == code && FaultHits(f.first, f.second) && !hit)
            hit = &f.first;
    if (hit) return Fail(entry, hit->error, "fault");

    bool ok = false;
    switch (code) {
    case kGetDeviceNum: {
        if (!out || outSize < kDeviceNumAnswer) return Fail(entry, tessaro::win::kErrInsufficientBuffer);
        Put32(out, m_serial);
        Put32(out + 4, static_cast<uint32_t>(Listed().size()));
        entry.returned = 8;
        ok = true;
        break;
    }
    case kEnumDevices: {
        const std::vector<const FunctionState*> listed = Listed();
        const uint32_t need = 8 + kRecordSize * static_cast<uint32_t>(listed.size());
        if (!out || outSize < need) return Fail(entry, tessaro::win::kErrInsufficientBuffer);
        Put32(out, m_serial);
        Put32(out + 4, static_cast<uint32_t>(listed.size()));
        uint8_t* r = out + 8;
        for (const FunctionState* f : listed) {
            Device* device = nullptr;
            FunctionState* function = nullptr;
            FindFunction(f->handle, &device, &function);
            const size_t index = static_cast<size_t>(function - device->m_functions.data());
            Put32(r, f->handle);
            Put16(r + 4, f->spec.devType);
            Put16(r + 6, f->spec.vid);
            Put16(r + 8, f->spec.pid);
            Put16(r + 10, device->BcdDevice(index));
            Put16(r + 12, f->spec.bcdUsb);
            r[14] = f->spec.reserved;
            r += kRecordSize;
        }
        entry.returned = need;
        ok = true;
        break;
    }
    case kUsbRequest:
        ok = UsbRequest(entry, in, inSize, out, outSize);
        if (!ok) {  // already recorded
            RestartLeaves();
            return false;
        }
        break;
    case kGetInstanceId:
    case kGetContainerId:
        ok = Identity(entry, in, inSize, out, outSize, code == kGetContainerId);
        if (!ok) return false;
        break;
    default:
        return Fail(entry, tessaro::win::kErrInvalidFunction, "unknown control code");
    }
    entry.ok = ok;
    if (returned) *returned = entry.returned;
    Record(entry);
    RestartLeaves();
    return true;
}

// A hub that was told to restart answered first and leaves the bus now.
void Pc::RestartLeaves() {
    if (!m_restarting) return;
    Device* restarting = m_restarting;
    m_restarting = nullptr;
    Leave(*restarting, m_restartMs, "software reset");
}

bool Pc::Identity(LogEntry& entry, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                  bool container) {
    if (!in || inSize < kIdentityHeader) return Fail(entry, tessaro::win::kErrInvalidParameter, "record too short");
    entry.handle = Get32(in + 4);
    const uint32_t room = Get32(in + 8);
    Device* device = nullptr;
    FunctionState* function = nullptr;
    if (!FindFunction(entry.handle, &device, &function)) return UnknownHandle(entry);
    entry.device = device->Name();
    if (!device->m_plugged || !function->spec.present || !function->enabled)
        return Fail(entry, tessaro::win::kErrDeviceNotConnected);
    if (room == 0 || inSize < kIdentityHeader + room)
        return Fail(entry, tessaro::win::kErrInvalidParameter, "text size field does not fit the record");
    const std::string& text = container ? function->spec.containerId : function->spec.instanceId;
    if (text.size() + 1 > room) return Fail(entry, tessaro::win::kErrInsufficientBuffer, "text longer than its field");
    if (!out || outSize < kIdentityHeader + room) return Fail(entry, tessaro::win::kErrInsufficientBuffer);
    if (out != in) std::memmove(out, in, kIdentityHeader);
    std::memset(out + kIdentityHeader, 0, room);
    std::memcpy(out + kIdentityHeader, text.data(), text.size());
    entry.returned = kIdentityHeader + room;
    entry.note = text.empty() ? "(none)" : text;
    return true;
}

}  // namespace bench
