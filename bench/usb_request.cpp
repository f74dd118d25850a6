// VX_IOCTL_USB_REQUEST: one vendor control transfer on a device's default
// pipe.  The driver checks the record, the injected faults pick their calls,
// the hub's controller answers, and the answer goes back in place.  A read
// may complete short: the driver then returns fewer bytes and leaves the
// rest of the caller's record as it was.
#include "bench/pc.h"

#include <algorithm>
#include <cstring>

#include "bench/wire.h"
#include "platform/winconst.h"

namespace bench {

using namespace wire;

namespace {

bool Matches(const Fault& f, const std::string& device, const Setup& s) {
    return (f.device.empty() || f.device == device) && (f.bmRequestType < 0 || f.bmRequestType == s.bmRequestType) &&
           (f.bRequest < 0 || f.bRequest == s.bRequest) && (f.wValue < 0 || f.wValue == s.wValue) &&
           (f.wIndex < 0 || f.wIndex == s.wIndex);
}

void AddNote(LogEntry& entry, const std::string& note) {
    entry.note += entry.note.empty() ? note : "; " + note;
}

}  // namespace

// Unplug faults that watch the whole bus: a device leaves at the N-th vendor
// request the driver receives, or at a request that matches.
void Pc::BusUnplugFaults(const Device& device, const Setup& s) {
    for (auto& f : m_faults) {
        if (f.first.kind != FaultKind::Unplug) continue;
        bool strikes = false;
        std::string why;
        if (f.first.at) {
            strikes = m_busRequests == f.first.at;
            why = "unplugged at request " + std::to_string(f.first.at) + " of the bus";
        } else if (f.first.on) {
            Fault match = f.first;
            match.device = f.first.onDevice;
            strikes = Matches(match, device.Name(), s) && FaultHits(f.first, f.second);
            why = "unplugged at a request to " + device.Name();
        }
        Device* target = strikes ? FindDevice(f.first.device) : nullptr;
        if (target) Leave(*target, f.first.replugMs, why);
    }
}

// Counts the device's request and lets the unplug faults that count the
// device's own requests act; false (already recorded) when it left.
bool Pc::DeviceUnplugFaults(LogEntry& entry, Device& device) {
    ++device.m_requests;
    for (auto& f : m_faults) {
        if (f.first.kind != FaultKind::Unplug || f.first.at || f.first.on || f.first.device != device.Name()) continue;
        if (++f.second == f.first.after + 1) Leave(device, f.first.replugMs, "unplugged");
    }
    if (device.m_plugged) return true;
    return Fail(entry, tessaro::win::kErrDeviceNotConnected, "device unplugged");
}

bool Pc::UsbRequest(LogEntry& entry, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize) {
    if (!in || inSize < kHeaderSize) return Fail(entry, tessaro::win::kErrInvalidParameter, "record too short");
    entry.vendor = true;
    entry.handle = Get32(in + 4);
    Setup& s = entry.setup;
    s.bmRequestType = in[8];
    s.bRequest = in[9];
    s.wValue = Get16(in + 10);
    s.wIndex = Get16(in + 12);
    s.wLength = Get16(in + 14);
    ++m_busRequests;
    const bool toHost = (s.bmRequestType & 0x80) != 0;
    std::vector<uint8_t> data(s.wLength, 0);
    if (!toHost) {
        if (inSize < kHeaderSize + s.wLength)
            return Fail(entry, tessaro::win::kErrInvalidParameter, "record shorter than its data");
        std::copy(in + kHeaderSize, in + kHeaderSize + s.wLength, data.begin());
        entry.data = data;
    }
    if (!out || outSize < kHeaderSize + (toHost ? s.wLength : 0u))
        return Fail(entry, tessaro::win::kErrInsufficientBuffer);

    Device* device = nullptr;
    FunctionState* function = nullptr;
    if (!FindFunction(entry.handle, &device, &function)) return UnknownHandle(entry);
    entry.device = device->Name();
    BusUnplugFaults(*device, s);
    if (!device->m_plugged || !function->spec.present || !function->enabled)
        return Fail(entry, tessaro::win::kErrDeviceNotConnected, device->m_plugged ? "" : "device unplugged");
    if (!DeviceUnplugFaults(entry, *device)) return false;

    // Every fault counts its matches, whichever of them strikes.
    const Fault* early = nullptr;
    const Fault* late = nullptr;
    for (auto& f : m_faults) {
        if (f.first.kind != FaultKind::FailRequest || !Matches(f.first, device->Name(), s)) continue;
        if (!FaultHits(f.first, f.second)) continue;
        const Fault*& slot = f.first.applied ? late : early;
        if (!slot) slot = &f.first;
    }
    if (early) return Fail(entry, early->error, "fault");

    SpendLatency();
    Outcome outcome;
    if (!device->m_controller) {
        outcome = Outcome{false, "STALL: not a hub of the family"};
    } else {
        const int resetsBefore = device->m_controller->Resets();
        outcome = device->m_controller->Handle(s, data.data());
        if (device->m_controller->Resets() != resetsBefore) {
            if (device->m_spec.resetBcdDevice >= 0) {
                device->m_bcd = static_cast<uint16_t>(device->m_spec.resetBcdDevice);
                device->m_restarted = true;
            }
            const int delay =
                device->m_spec.reEnumerateMs >= 0 ? device->m_spec.reEnumerateMs : static_cast<int>(m_reEnumerateMs);
            if (delay > 0) {
                m_restarting = device;
                m_restartMs = delay;
            }
        }
    }
    entry.note = outcome.note;
    if (!outcome.ok) return Fail(entry, tessaro::win::kErrGenFailure);

    uint32_t delivered = s.wLength;
    if (toHost) {
        for (auto& f : m_faults) {
            if (f.first.kind != FaultKind::FlipBit || !Matches(f.first, device->Name(), s)) continue;
            if (!FaultHits(f.first, f.second)) continue;
            if (f.first.byteIndex < data.size()) {
                data[f.first.byteIndex] ^= static_cast<uint8_t>(1u << f.first.bit);
                AddNote(entry, "bit flipped");
            }
        }
        const Fault* shortRead = nullptr;
        for (auto& f : m_faults) {
            if (f.first.kind != FaultKind::ShortRead || !Matches(f.first, device->Name(), s)) continue;
            if (FaultHits(f.first, f.second) && !shortRead) shortRead = &f.first;
        }
        if (shortRead && shortRead->deliver < delivered) {
            AddNote(entry, "short read: delivered " + std::to_string(shortRead->deliver) + " of " +
                               std::to_string(delivered) + " bytes");
            delivered = shortRead->deliver;
        }
        entry.data.assign(data.begin(), data.begin() + delivered);
    }
    if (late) return Fail(entry, late->error, "fault after the device acted");

    if (out != in) std::memmove(out, in, kHeaderSize);
    if (toHost) std::copy(data.begin(), data.begin() + delivered, out + kHeaderSize);
    entry.returned = kHeaderSize + (toHost ? delivered : s.wLength);
    return true;
}

}  // namespace bench
