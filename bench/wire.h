// The filter driver's control codes and the little-endian fields of its
// buffers, shared by the parts of the simulated driver.
#pragma once

#include <cstdint>

namespace bench {
namespace wire {

constexpr uint32_t kGetDeviceNum = 0x00222000;
constexpr uint32_t kEnumDevices = 0x00222004;
constexpr uint32_t kUsbRequest = 0x00222008;
constexpr uint32_t kGetInstanceId = 0x00222024;
constexpr uint32_t kGetContainerId = 0x0022202C;
constexpr uint32_t kDeviceNumAnswer = 23;  // SerialNo, DevNum and room for one record
constexpr uint32_t kRecordSize = 15;
constexpr uint32_t kHeaderSize = 16;       // the request record before its data
constexpr uint32_t kIdentityHeader = 12;

inline void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace wire
}  // namespace bench
