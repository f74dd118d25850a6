// A minimal client of the simulated filter driver for the bench's own tests:
// opens the device and sends control codes with hand-built buffers, so the
// tests see exactly the bytes the driver writes.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/pc.h"
#include "platform/ports.h"

namespace benchtest {

constexpr uint32_t kGetDeviceNum = 0x00222000;
constexpr uint32_t kEnumDevices = 0x00222004;
constexpr uint32_t kUsbRequest = 0x00222008;
constexpr uint32_t kGetInstanceId = 0x00222024;
constexpr uint32_t kGetContainerId = 0x0022202C;

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// The bench's files (saved stores, request log) lie in folder.
inline std::unique_ptr<bench::Pc> Bench(const std::string& text, const std::string& folder = ".") {
    std::string error;
    auto pc = bench::Pc::FromText("box quiet\n" + text, folder, &error);
    if (!pc) throw std::runtime_error(error);
    return pc;
}

class Client {
public:
    explicit Client(bench::Pc& pc) : m_pc(pc), m_driver(pc.Ports().driver) {
        m_file = m_driver->Open("\\\\.\\vxusbflt");
    }
    ~Client() {
        if (m_file != tessaro::kInvalidHandle) m_driver->Close(m_file);
    }
    tessaro::Handle File() const { return m_file; }

    // The error of the driver's last call, as the log recorded it.
    uint32_t Error() const {
        auto log = m_pc.Log();
        return log.empty() ? 0 : log.back().error;
    }
    std::string Note() const {
        auto log = m_pc.Log();
        return log.empty() ? std::string() : log.back().note;
    }

    bool Control(uint32_t code, std::vector<uint8_t>& buffer, uint32_t* returned = nullptr) {
        uint32_t r = 0;
        const bool ok = m_driver->IoControl(m_file, code, buffer.data(), static_cast<uint32_t>(buffer.size()),
                                            buffer.data(), static_cast<uint32_t>(buffer.size()), &r);
        if (returned) *returned = r;
        return ok;
    }

    // The 15-byte records of the driver's enumeration.
    std::vector<std::vector<uint8_t>> Records() {
        std::vector<uint8_t> num(23, 0);
        if (!Control(kGetDeviceNum, num)) return {};
        std::vector<uint8_t> all(8 + 15 * Le32(num.data() + 4), 0);
        if (!Control(kEnumDevices, all)) return {};
        std::vector<std::vector<uint8_t>> out;
        for (uint32_t i = 0; i < Le32(all.data() + 4); ++i)
            out.emplace_back(all.begin() + 8 + 15 * i, all.begin() + 8 + 15 * (i + 1));
        return out;
    }

    uint32_t HandleOf(size_t index) {
        auto records = Records();
        return index < records.size() ? Le32(records[index].data()) : 0;
    }

    // One vendor request; data is sent (host-to-device) or filled.
    bool Request(uint32_t handle, uint8_t type, uint8_t request, uint16_t value, uint16_t index,
                 std::vector<uint8_t>& data) {
        std::vector<uint8_t> rec(16 + data.size(), 0);
        rec[4] = static_cast<uint8_t>(handle);
        rec[5] = static_cast<uint8_t>(handle >> 8);
        rec[6] = static_cast<uint8_t>(handle >> 16);
        rec[7] = static_cast<uint8_t>(handle >> 24);
        rec[8] = type;
        rec[9] = request;
        rec[10] = static_cast<uint8_t>(value);
        rec[11] = static_cast<uint8_t>(value >> 8);
        rec[12] = static_cast<uint8_t>(index);
        rec[13] = static_cast<uint8_t>(index >> 8);
        rec[14] = static_cast<uint8_t>(data.size());
        rec[15] = static_cast<uint8_t>(data.size() >> 8);
        if (!(type & 0x80)) std::copy(data.begin(), data.end(), rec.begin() + 16);
        if (!Control(kUsbRequest, rec)) return false;
        if (type & 0x80) std::copy(rec.begin() + 16, rec.end(), data.begin());
        return true;
    }
    bool Command(uint32_t handle, uint8_t request, uint16_t value, uint16_t index = 0) {
        std::vector<uint8_t> none;
        return Request(handle, 0x40, request, value, index, none);
    }
    bool Write(uint32_t handle, uint16_t value, uint16_t index, std::vector<uint8_t> data) {
        return Request(handle, 0x40, 0x83, value, index, data);
    }
    std::vector<uint8_t> Read(uint32_t handle, uint16_t value, uint16_t index, size_t length, bool* ok = nullptr) {
        std::vector<uint8_t> data(length, 0);
        const bool done = Request(handle, 0xC0, 0x82, value, index, data);
        if (ok) *ok = done;
        return done ? data : std::vector<uint8_t>();
    }

private:
    bench::Pc& m_pc;
    tessaro::IDriver* m_driver;
    tessaro::Handle m_file = tessaro::kInvalidHandle;
};

inline std::vector<uint8_t> Text(const char* s) { return std::vector<uint8_t>(s, s + std::strlen(s)); }

}  // namespace benchtest
