// The bench's hubs as the Linux kernel shows them to libusb: a umockdev test
// bed with a sysfs device (descriptors, bus number, address) and a usbfs
// device node per USB function, whose control transfers are answered by the
// bench.  Vendor requests go through the bench's driver, so its faults,
// unplugs and short reads act as on the bench; the BOS descriptor is made
// from the function's container ID.
//
// Functions below 3.0 sit on bus 1, SuperSpeed functions on bus 2, at port
// N + 1 for the N-th device of the bench, as a 3.0 hub's two halves do on a
// real root hub.  The program must run under umockdev-wrapper.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "bench/pc.h"

struct _UMockdevTestbed;
struct _UMockdevIoctlBase;
struct _UMockdevIoctlClient;
struct _UMockdevIoctlData;

namespace usbtest {

// The BOS descriptor of a container ID text "{xxxxxxxx-...}"; empty when the
// text is no GUID.
std::vector<uint8_t> BosFor(const std::string& containerId);

class EmulatedBus {
public:
    // Builds the test bed from the bench's listed functions; the bench's
    // driver (opened here) answers the vendor requests.
    EmulatedBus(bench::Pc& pc, tessaro::IDriver& benchDriver);
    ~EmulatedBus();
    EmulatedBus(const EmulatedBus&) = delete;
    EmulatedBus& operator=(const EmulatedBus&) = delete;

    bool Ok() const { return m_ok; }
    const std::string& Error() const { return m_error; }
    // The device node of a bench device's function ("/dev/bus/usb/001/002").
    std::string Node(const std::string& device, size_t function) const;
    // The node no longer answers: it stays a plain file (whose permissions
    // then decide whether it opens).
    void Detach(const std::string& node);
    // The test bed's folder, which stands for "/" ("/dev/...", "/sys/...").
    std::string RootDir() const;
    // The values of power/control a bench device's functions had while it
    // received vendor requests.
    std::vector<std::string> PowerControlSeen(const std::string& device) const;
    // Standard requests the bus answered (the BOS reads).
    int StandardRequests() const;

private:
    struct Function {
        std::string device;
        size_t index = 0;
        std::string node;
        std::string containerId;
        std::string sysName;  // "1-2"
    };
    struct Flying {
        _UMockdevIoctlData* urb = nullptr;
        int status = 0;
        int actual = 0;
        std::vector<uint8_t> data;  // device-to-host bytes
    };

    static int OnIoctl(_UMockdevIoctlBase* handler, _UMockdevIoctlClient* client, void* self);
    bool Ioctl(_UMockdevIoctlClient* client);
    bool Submit(_UMockdevIoctlClient* client, const Function& f);
    bool Reap(_UMockdevIoctlClient* client, const std::string& node);
    // Runs one control transfer; false when the device is gone (ENODEV).
    bool Transfer(const Function& f, const uint8_t* setup, uint8_t* data, Flying& result);

    bench::Pc& m_pc;
    tessaro::IDriver& m_driver;
    tessaro::Handle m_session = tessaro::kInvalidHandle;
    _UMockdevTestbed* m_testbed = nullptr;
    _UMockdevIoctlBase* m_handler = nullptr;
    std::vector<Function> m_functions;
    mutable std::mutex m_mutex;
    std::map<std::string, std::deque<Flying>> m_flying;
    int m_standard = 0;
    std::map<std::string, std::vector<std::string>> m_controlSeen;
    bool m_ok = false;
    std::string m_error;
};

}  // namespace usbtest
