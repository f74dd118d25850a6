#include "bench/pc.h"

#include "bench/adapters.h"
#include "bench/wire.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/winconst.h"

namespace bench {

namespace {

using namespace wire;

const struct {
    const char* name;
    uint32_t code;
} kCodes[] = {{"GET_DEVICE_NUM", kGetDeviceNum},
              {"ENUM_DEVICES", kEnumDevices},
              {"USB_REQUEST", kUsbRequest},
              {"GET_INSTANCE_ID", kGetInstanceId},
              {"GET_CONTAINER_ID", kGetContainerId}};

std::string Format(const char* format, unsigned a, unsigned b, unsigned c) {
    char text[128];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& out) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    out.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}


}  // namespace

// --- names and the log line ------------------------------------------------------

std::string ControlCodeName(uint32_t code) {
    for (const auto& c : kCodes)
        if (c.code == code) return c.name;
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", code);
    return text;
}

uint32_t ControlCodeByName(const std::string& name) {
    std::string upper;
    for (char c : name) upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (upper.rfind("VX_IOCTL_", 0) == 0) upper = upper.substr(9);
    for (const auto& c : kCodes)
        if (upper == c.name) return c.code;
    char* end = nullptr;
    const unsigned long value = std::strtoul(name.c_str(), &end, 0);
    return (!name.empty() && *end == '\0') ? static_cast<uint32_t>(value) : 0;
}

std::string FormatLogEntry(const LogEntry& e) {
    std::string line = "#" + std::to_string(e.seq) + " t=" + std::to_string(e.timeMs) + " ";
    char text[160];
    switch (e.kind) {
    case LogEntry::Kind::Open: line += "OPEN"; break;
    case LogEntry::Kind::Close: line += "CLOSE"; break;
    case LogEntry::Kind::Event: return line + "EVENT " + e.note;
    case LogEntry::Kind::Control:
        line += ControlCodeName(e.code);
        std::snprintf(text, sizeof text, " in=%u out=%u", e.inSize, e.outSize);
        line += text;
        break;
    }
    if (e.handle || !e.device.empty()) {
        line += " handle=" + std::to_string(e.handle);
        if (!e.device.empty()) line += " (" + e.device + ")";
    }
    if (e.vendor) {
        std::snprintf(text, sizeof text, " %02X %02X %04X %04X %04X", e.setup.bmRequestType, e.setup.bRequest,
                      e.setup.wValue, e.setup.wIndex, e.setup.wLength);
        line += text;
    }
    if (e.ok) {
        line += " -> ok";
        if (e.kind == LogEntry::Kind::Control) line += " returned=" + std::to_string(e.returned);
    } else {
        line += " -> error " + std::to_string(e.error);
    }
    if (!e.data.empty()) {
        line += " data";
        for (uint8_t b : e.data) {
            std::snprintf(text, sizeof text, " %02X", b);
            line += text;
        }
    }
    if (!e.note.empty()) line += " ; " + e.note;
    return line;
}

// --- devices ----------------------------------------------------------------------

std::vector<uint8_t>& Device::Store() { return m_controller ? m_controller->Store() : m_noStore; }

uint16_t Device::BcdDevice(size_t function) const {
    if (function < m_functions.size() && m_functions[function].spec.bcdDevice >= 0 && !m_restarted)
        return static_cast<uint16_t>(m_functions[function].spec.bcdDevice);
    return m_bcd;
}

// --- the PC ---------------------------------------------------------------------------

Pc::Pc()
    : m_deviceList(std::make_unique<DeviceList>(*this)),
      m_process(std::make_unique<Process>(*this)),
      m_shutdown(std::make_unique<Shutdown>(*this)),
      m_shell(std::make_unique<Shell>(*this)),
      m_driver(std::make_unique<Driver>(*this)) {}

Pc::~Pc() {
    std::string error;
    if (m_saveAtExit && !SaveStores(&error)) std::fprintf(stderr, "[bench] %s\n", error.c_str());
    if (m_logFile) std::fclose(m_logFile);
}

tessaro::System Pc::Ports() {
    tessaro::System s;
    s.clock = &Clock();
    s.driver = m_driver.get();
    s.guid = &m_guid;
    s.os = &m_os;
    s.box = &m_box;
    s.registry = &Registry();
    s.files = &Files();
    s.devices = m_deviceList.get();
    s.process = m_process.get();
    s.shutdown = m_shutdown.get();
    s.shell = m_shell.get();
    return s;
}

std::string Pc::ResolvePath(const std::string& path) const {
    std::string p = path;
#ifndef _WIN32
    std::replace(p.begin(), p.end(), '\\', '/');
#endif
    const bool absolute = (!p.empty() && (p[0] == '/' || p[0] == '\\')) ||
                          (p.size() > 1 && p[1] == ':');
    if (absolute || m_base.empty()) return p;
    const char last = m_base.back();
#ifdef _WIN32
    const char* separator = "\\";
#else
    const char* separator = "/";
#endif
    return (last == '/' || last == '\\') ? m_base + p : m_base + separator + p;
}

void Pc::SetDriverInstalled(bool installed) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_installed = installed;
}

void Pc::SetSerialNo(uint32_t serial) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_serial = serial;
}

void Pc::SetLatencyUs(uint32_t us) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_latencyUs = us;
    m_latencyCarryUs = 0;
}

void Pc::UseRealClock() { m_realClock = true; }

void Pc::UseClock(tessaro::IClock* clock) { m_external = clock; }

void Pc::SetLogFile(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_logPath = path.empty() ? std::string() : ResolvePath(path);
    if (m_logFile) std::fclose(m_logFile);
    m_logFile = nullptr;
}

tessaro::IClock& Pc::Clock() {
    if (m_external) return *m_external;
    if (m_realClock) return m_real;
    return m_virtual;
}

tessaro::VirtualClock* Pc::Virtual() { return dynamic_cast<tessaro::VirtualClock*>(&Clock()); }

bool Pc::DriverInstalled() const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_installed;
}

uint32_t Pc::SerialNo() const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_serial;
}

bool Pc::AddFlashPart(const FlashPart& part, std::string* error) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (part.name.empty()) {
        if (error) *error = "a flash part needs a name";
        return false;
    }
    if (FindFlashPart(part.name)) {
        if (error) *error = "flash part " + part.name + " is described twice";
        return false;
    }
    if (part.size == 0) {
        if (error) *error = "flash part " + part.name + " has no size";
        return false;
    }
    m_parts.push_back(part);
    return true;
}

const FlashPart* Pc::FindFlashPart(const std::string& name) const {
    for (const FlashPart& p : m_parts)
        if (p.name == name) return &p;
    return nullptr;
}

bool Pc::AddDevice(const DeviceSpec& spec, std::string* error) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto fail = [&](const std::string& text) {
        if (error) *error = text;
        return false;
    };
    if (spec.name.empty()) return fail("a device needs a name");
    if (FindDevice(spec.name)) return fail("device " + spec.name + " is described twice");
    if (spec.functions.empty()) return fail("device " + spec.name + " has no USB function");

    auto device = std::make_unique<Device>();
    device->m_spec = spec;
    device->m_bcd = spec.bcdDevice;
    device->m_plugged = spec.plugged;
    if (spec.hub) {
        FlashPart part;
        if (spec.store == StoreKind::Spi) {
            const FlashPart* found = FindFlashPart(spec.flashPart);
            if (!found)
                return fail(spec.flashPart.empty() ? "hub " + spec.name + " has an SPI store but no flash part"
                                                   : "flash part " + spec.flashPart + " is not described");
            part = *found;
        } else if (spec.eeprom.size == 0 || (spec.eeprom.addressBytes != 1 && spec.eeprom.addressBytes != 2)) {
            return fail("hub " + spec.name + " has an EEPROM without size or with a wrong address length");
        } else if (spec.eeprom.addressBytes == 1 && spec.eeprom.size > 2048) {
            return fail("hub " + spec.name + ": a one-address-byte EEPROM holds at most 2048 bytes");
        }
        device->m_controller = std::make_unique<Controller>(spec, part, m_proxy);
        std::vector<uint8_t>& store = device->m_controller->Store();
        std::fill(store.begin(), store.end(), spec.fill);
        if (!spec.contentFile.empty()) {
            std::vector<uint8_t> content;
            const std::string path = ResolvePath(spec.contentFile);
            if (!ReadFile(path, content)) return fail("cannot read the content file " + path);
            if (content.size() > store.size())
                return fail("content file " + path + " holds " + std::to_string(content.size()) +
                            " bytes, more than the store's " + std::to_string(store.size()));
            std::copy(content.begin(), content.end(), store.begin());
        }
        for (const auto& put : spec.puts) {
            if (put.first > store.size() || put.second.size() > store.size() - put.first)
                return fail(Format("put at 0x%X of %u bytes lies outside the store of %u bytes", put.first,
                                   static_cast<unsigned>(put.second.size()), static_cast<unsigned>(store.size())));
            std::copy(put.second.begin(), put.second.end(), store.begin() + put.first);
        }
    } else if (!spec.puts.empty() || !spec.contentFile.empty() || !spec.saveFile.empty()) {
        return fail("device " + spec.name + " has no store");
    }

    for (const FunctionSpec& f : spec.functions) {
        FunctionState state;
        state.spec = f;
        state.enabled = f.enabled;
        if (f.handle) {
            for (const auto& d : m_devices)
                for (const FunctionState& other : d->m_functions)
                    if (other.handle == f.handle) return fail("handle " + std::to_string(f.handle) + " is used twice");
            for (const FunctionState& other : device->m_functions)
                if (other.handle == f.handle) return fail("handle " + std::to_string(f.handle) + " is used twice");
            state.handle = f.handle;
        }
        device->m_functions.push_back(state);
    }
    // Free handles for the functions that name none.
    for (FunctionState& state : device->m_functions) {
        if (state.handle) continue;
        for (;;) {
            const uint32_t candidate = m_nextHandle++;
            bool used = false;
            for (const auto& d : m_devices)
                for (const FunctionState& other : d->m_functions) used = used || other.handle == candidate;
            for (const FunctionState& other : device->m_functions) used = used || other.handle == candidate;
            if (!used) {
                state.handle = candidate;
                break;
            }
        }
    }
    for (size_t i = 0; i < device->m_functions.size(); ++i) {
        FunctionState& state = device->m_functions[i];
        const uint16_t bcd = device->BcdDevice(i);
        if (state.spec.instanceId.empty())
            state.spec.instanceId = Format("6&%X&0&%u", 0x1A2B3C40u + state.handle, state.handle, 0);
        if (state.spec.hardwareIds.empty()) {
            state.spec.hardwareIds.push_back(
                Format("USB\\VID_%04X&PID_%04X&REV_%04X", state.spec.vid, state.spec.pid, bcd));
            state.spec.hardwareIds.push_back(Format("USB\\VID_%04X&PID_%04X", state.spec.vid, state.spec.pid, 0));
        }
    }
    if (m_seeded) SeedDevice(*device);
    m_devices.push_back(std::move(device));
    return true;
}

bool Pc::AddFault(const Fault& fault, std::string* error) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!fault.device.empty() && !FindDevice(fault.device)) {
        if (error) *error = "fault names the unknown device " + fault.device;
        return false;
    }
    if (fault.kind == FaultKind::Unplug && !fault.onDevice.empty() && !FindDevice(fault.onDevice)) {
        if (error) *error = "fault names the unknown device " + fault.onDevice;
        return false;
    }
    if (fault.kind == FaultKind::Unplug && fault.device.empty()) {
        if (error) *error = "an unplug fault needs a device";
        return false;
    }
    if (fault.kind == FaultKind::FlipBit && fault.bit > 7) {
        if (error) *error = "a bit number runs from 0 to 7";
        return false;
    }
    if (fault.kind == FaultKind::FailGuid)
        m_guid.AddFault(fault);
    else
        m_faults.push_back({fault, 0});
    return true;
}

Device* Pc::FindDevice(const std::string& name) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    for (auto& d : m_devices)
        if (d->Name() == name) return d.get();
    return nullptr;
}

std::vector<std::string> Pc::DeviceNames() const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::vector<std::string> names;
    for (const auto& d : m_devices) names.push_back(d->Name());
    return names;
}

std::vector<LogEntry> Pc::Log() const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_log;
}

void Pc::ClearLog() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_log.clear();
}

std::vector<LogEntry> Pc::Requests() const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::vector<LogEntry> out;
    for (const LogEntry& e : m_log)
        if (e.vendor) out.push_back(e);
    return out;
}

bool Pc::SaveStores(std::string* error) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    bool ok = true;
    for (auto& d : m_devices) {
        if (!d->IsHub() || d->m_spec.saveFile.empty()) continue;
        const std::string path = ResolvePath(d->m_spec.saveFile);
        const std::vector<uint8_t>& store = d->Store();
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(store.data()), static_cast<std::streamsize>(store.size()));
        file.close();
        if (!file) {
            ok = false;
            if (error) *error = "cannot write the store of " + d->Name() + " to " + path;
        }
    }
    return ok;
}

}  // namespace bench
