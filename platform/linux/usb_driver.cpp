// IDriver on libusb-1.0: "\\.\vxusbflt" opens a libusb context, the device
// table comes from libusb's device list and descriptors, and each request
// record goes to its hub as one control transfer.
//
// A device keeps its handle number for the whole session, keyed by where it
// sits (bus and port path), so a hub that restarts after an update and comes
// back at the same port is the same hub to the engine.
#include <libusb.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "platform/linux/usb_driver.h"
#include "platform/winconst.h"

namespace tessaro {
namespace {

constexpr uint32_t kGetDeviceNum = 0x00222000;
constexpr uint32_t kEnumDevices = 0x00222004;
constexpr uint32_t kUsbRequest = 0x00222008;
constexpr uint32_t kGetInstanceId = 0x00222024;
constexpr uint32_t kGetContainerId = 0x0022202C;
constexpr uint32_t kRecordSize = 15;
constexpr uint32_t kRequestHeader = 16;
constexpr uint32_t kTextHeader = 12;
constexpr uint16_t kMakerVendor = 0x2C7E;
constexpr unsigned kTransferTimeoutMs = 5000;
constexpr Handle kSessionHandle = 0x5B;

void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

bool Failed(uint32_t error) {
    SetLastError(error);
    return false;
}

// One device of the latest listing.
struct Entry {
    libusb_device* device = nullptr;  // referenced while listed
    uint32_t handle = 0;
    std::string path;  // "1-2.3"
    std::string node;  // "/dev/bus/usb/001/004"
    std::vector<uint8_t> order;  // port path, then bus
    libusb_device_descriptor desc{};
    uint16_t devType = 0;
};

class LibusbDriver : public IDriver {
public:
    ~LibusbDriver() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        CloseAll();
        Unlist();
        if (m_context) libusb_exit(m_context);
    }

    Handle Open(const std::string& name) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (Lower(name) != "\\\\.\\vxusbflt") {
            SetLastError(win::kErrFileNotFound);
            return kInvalidHandle;
        }
        if (!m_context) {
            int rc = libusb_init(&m_context);
            if (rc != LIBUSB_SUCCESS) {
                m_context = nullptr;
                SetLastError(win::kErrFileNotFound);
                return kInvalidHandle;
            }
        }
        ++m_opened;
        return kSessionHandle;
    }

    void Close(Handle h) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (h != kSessionHandle || m_opened == 0) return;
        if (--m_opened == 0) {
            CloseAll();
            Unlist();
        }
    }

    bool IoControl(Handle h, uint32_t code, const void* inVoid, uint32_t inSize, void* outVoid, uint32_t outSize,
                   uint32_t* returned) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (returned) *returned = 0;
        if (h != kSessionHandle || m_opened == 0 || !m_context) return Failed(win::kErrInvalidHandle);
        const uint8_t* in = static_cast<const uint8_t*>(inVoid);
        uint8_t* out = static_cast<uint8_t*>(outVoid);
        uint32_t done = 0;
        bool ok = false;
        switch (code) {
        case kGetDeviceNum: ok = DeviceNumber(out, outSize, done); break;
        case kEnumDevices: ok = EnumDevices(out, outSize, done); break;
        case kUsbRequest: ok = Request(in, inSize, out, outSize, done); break;
        case kGetContainerId:
        case kGetInstanceId: ok = IdentityText(in, inSize, out, outSize, done, code == kGetContainerId); break;
        default: return Failed(win::kErrInvalidFunction);
        }
        if (ok && returned) *returned = done;
        return ok;
    }

private:
    static std::string Lower(std::string text) {
        for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        return text;
    }

    void Unlist() {
        for (Entry& e : m_entries) libusb_unref_device(e.device);
        m_entries.clear();
    }

    void CloseAll() {
        for (auto& open : m_handles) {
            libusb_close(open.second.handle);
            libusb_unref_device(open.second.device);
        }
        m_handles.clear();
    }

    uint32_t HandleFor(const std::string& path) {
        auto it = m_numbers.find(path);
        if (it != m_numbers.end()) return it->second;
        const uint32_t n = static_cast<uint32_t>(m_numbers.size()) + 1;
        m_numbers[path] = n;
        return n;
    }

    // Lists the bus again; a device handle opened for a device that left (or
    // came back as a new device at the same port) is closed.
    bool Refresh() {
        libusb_device** list = nullptr;
        ssize_t n = libusb_get_device_list(m_context, &list);
        if (n < 0) return Failed(Win32ErrorFromLibusb(static_cast<int>(n)));
        Unlist();
        for (ssize_t i = 0; i < n; ++i) {
            Entry e;
            e.device = libusb_ref_device(list[i]);
            libusb_get_device_descriptor(e.device, &e.desc);
            uint8_t ports[8];
            int depth = libusb_get_port_numbers(e.device, ports, sizeof ports);
            const int bus = libusb_get_bus_number(e.device);
            // The kernel's name of the device: "1-2.3", or "usb1" for a root hub.
            e.path = depth > 0 ? std::to_string(bus) : "usb" + std::to_string(bus);
            for (int p = 0; p < depth; ++p) e.path += (p ? "." : "-") + std::to_string(ports[p]);
            // Root hubs first (port 0), then by port path and bus.
            e.order.assign(ports, ports + (depth > 0 ? depth : 0));
            if (depth <= 0) e.order.push_back(0);
            e.order.push_back(static_cast<uint8_t>(bus));
            char node[32];
            std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", bus, libusb_get_device_address(e.device));
            e.node = node;
            m_entries.push_back(e);
        }
        libusb_free_device_list(list, 1);
        // Hubs in the order of the ports they sit at, whatever order libusb
        // found them in; the two halves of a 3.0 hub (one on each bus)
        // side by side.
        std::stable_sort(m_entries.begin(), m_entries.end(),
                         [](const Entry& a, const Entry& b) { return a.order < b.order; });
        for (Entry& e : m_entries) e.handle = HandleFor(e.path);
        for (auto it = m_handles.begin(); it != m_handles.end();) {
            const Entry* e = Find(it->first);
            if (e && e->device == it->second.device) {
                ++it;
                continue;
            }
            libusb_close(it->second.handle);
            libusb_unref_device(it->second.device);
            it = m_handles.erase(it);
        }
        Classify();
        return true;
    }

    // The maker's hubs are type 1, except the high-speed function of a 3.0
    // hub (one that shares its container ID with a SuperSpeed function),
    // which is type 2 as the Windows driver reports it.
    void Classify() {
        std::set<std::string> superSpeed;
        for (Entry& e : m_entries) {
            e.devType = (e.desc.idVendor == kMakerVendor && e.desc.bDeviceClass == LIBUSB_CLASS_HUB) ? 1 : 0;
            if (e.devType && e.desc.bcdUSB >= 0x0300) {
                std::string id;
                if (Container(e, id, false) && !id.empty()) superSpeed.insert(id);
            }
        }
        for (Entry& e : m_entries) {
            if (!e.devType || e.desc.bcdUSB >= 0x0300) continue;
            std::string id;
            if (Container(e, id, false) && superSpeed.count(id)) e.devType = 2;
        }
    }

    Entry* Find(uint32_t handle) {
        for (Entry& e : m_entries)
            if (e.handle == handle) return &e;
        return nullptr;
    }

    // The open device handle of a listed device, opened on first use.
    libusb_device_handle* OpenEntry(const Entry& e, bool hint) {
        auto it = m_handles.find(e.handle);
        if (it != m_handles.end()) return it->second.handle;
        libusb_device_handle* dh = nullptr;
        int rc = libusb_open(e.device, &dh);
        if (rc != LIBUSB_SUCCESS) {
            if (rc == LIBUSB_ERROR_ACCESS && hint && m_hinted.insert(e.node).second) {
                std::fprintf(stderr, "tessaro: %s\n", AccessHint(e.node).c_str());
                std::fflush(stderr);
            }
            SetLastError(Win32ErrorFromLibusb(rc));
            return nullptr;
        }
        m_handles[e.handle] = OpenDevice{libusb_ref_device(e.device), dh};
        return dh;
    }

    // The container ID from the BOS descriptor (USB 2.01 and later); read
    // once per device (port path and bus address).
    bool Container(const Entry& e, std::string& id, bool hint) {
        const std::string key = e.path + " " + e.node;
        auto known = m_containers.find(key);
        if (known != m_containers.end()) {
            id = known->second;
            return true;
        }
        id.clear();
        if (e.desc.bcdUSB < 0x0201) {
            m_containers[key] = id;
            return true;
        }
        libusb_device_handle* dh = OpenEntry(e, hint);
        if (!dh) return false;
        uint8_t bos[256];
        int rc = libusb_get_descriptor(dh, LIBUSB_DT_BOS, 0, bos, 5);
        if (rc == 5) {
            int total = bos[2] | (bos[3] << 8);
            if (total > static_cast<int>(sizeof bos)) total = static_cast<int>(sizeof bos);
            rc = libusb_get_descriptor(dh, LIBUSB_DT_BOS, 0, bos, total);
            if (rc > 0) id = ContainerIdFromBos(bos, static_cast<size_t>(rc));
        } else if (rc < 0 && rc != LIBUSB_ERROR_PIPE) {
            // A device without a BOS descriptor stalls; anything else is a failure.
            SetLastError(Win32ErrorFromLibusb(rc));
            return false;
        }
        m_containers[key] = id;
        return true;
    }

    bool DeviceNumber(uint8_t* out, uint32_t outSize, uint32_t& done) {
        if (!out || outSize < 8) return Failed(win::kErrInsufficientBuffer);
        if (!Refresh()) return false;
        Put32(out, m_serial);
        Put32(out + 4, static_cast<uint32_t>(m_entries.size()));
        done = 8;
        return true;
    }

    bool EnumDevices(uint8_t* out, uint32_t outSize, uint32_t& done) {
        if (!Refresh()) return false;
        const uint32_t need = 8 + kRecordSize * static_cast<uint32_t>(m_entries.size());
        if (!out || outSize < need) return Failed(win::kErrInsufficientBuffer);
        Put32(out, m_serial);
        Put32(out + 4, static_cast<uint32_t>(m_entries.size()));
        uint8_t* r = out + 8;
        for (const Entry& e : m_entries) {
            Put32(r, e.handle);
            Put16(r + 4, e.devType);
            Put16(r + 6, e.desc.idVendor);
            Put16(r + 8, e.desc.idProduct);
            Put16(r + 10, e.desc.bcdDevice);
            Put16(r + 12, e.desc.bcdUSB);
            r[14] = 0;
            r += kRecordSize;
        }
        done = need;
        return true;
    }

    bool IdentityText(const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize, uint32_t& done,
                      bool container) {
        if (!in || inSize < kTextHeader) return Failed(win::kErrInvalidParameter);
        const uint32_t handle = Get32(in + 4);
        const uint32_t room = Get32(in + 8);
        if (room == 0 || inSize - kTextHeader < room) return Failed(win::kErrInvalidParameter);
        if (!out || outSize < kTextHeader || outSize - kTextHeader < room) return Failed(win::kErrInsufficientBuffer);
        const Entry* e = Find(handle);
        if (!e) return Failed(win::kErrDeviceNotConnected);
        std::string text;
        if (container) {
            if (!Container(*e, text, true)) return false;
        } else {
            // The instance part of the device's ID: where it sits, which is
            // also its name in sysfs (/sys/bus/usb/devices/1-2.3).
            text = e->path;
        }
        if (text.size() + 1 > room) return Failed(win::kErrInsufficientBuffer);
        if (out != in) std::memmove(out, in, kTextHeader);
        std::memset(out + kTextHeader, 0, room);
        std::memcpy(out + kTextHeader, text.data(), text.size());
        done = kTextHeader + room;
        return true;
    }

    bool Request(const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize, uint32_t& done) {
        if (!in || inSize < kRequestHeader) return Failed(win::kErrInvalidParameter);
        const uint32_t handle = Get32(in + 4);
        const uint8_t type = in[8];
        const uint8_t request = in[9];
        const uint16_t value = Get16(in + 10);
        const uint16_t index = Get16(in + 12);
        const uint16_t length = Get16(in + 14);
        const bool toHost = (type & 0x80) != 0;
        if (!toHost && inSize - kRequestHeader < length) return Failed(win::kErrInvalidParameter);
        if (!out || outSize < kRequestHeader || (toHost && outSize - kRequestHeader < length))
            return Failed(win::kErrInsufficientBuffer);
        const Entry* e = Find(handle);
        if (!e) return Failed(win::kErrDeviceNotConnected);
        libusb_device_handle* dh = OpenEntry(*e, true);
        if (!dh) return false;
        std::vector<uint8_t> data(length, 0);
        if (!toHost && length) std::memcpy(data.data(), in + kRequestHeader, length);
        int rc = libusb_control_transfer(dh, type, request, value, index, data.data(), length, kTransferTimeoutMs);
        if (rc < 0) {
            if (rc == LIBUSB_ERROR_NO_DEVICE) {
                // The hub left: its handle is of no more use.
                auto it = m_handles.find(handle);
                libusb_close(it->second.handle);
                libusb_unref_device(it->second.device);
                m_handles.erase(it);
            }
            return Failed(Win32ErrorFromLibusb(rc));
        }
        if (out != in) std::memmove(out, in, kRequestHeader);
        if (toHost) {
            // Only what came back is written; a short read leaves the rest
            // of the record as it was.
            std::memcpy(out + kRequestHeader, data.data(), static_cast<size_t>(rc));
            done = kRequestHeader + static_cast<uint32_t>(rc);
        } else {
            done = kRequestHeader + length;
        }
        return true;
    }

    struct OpenDevice {
        libusb_device* device;
        libusb_device_handle* handle;
    };

    std::mutex m_mutex;
    libusb_context* m_context = nullptr;
    int m_opened = 0;
    uint32_t m_serial = 1;
    std::vector<Entry> m_entries;
    std::map<std::string, uint32_t> m_numbers;        // port path -> handle
    std::map<std::string, std::string> m_containers;  // device -> container ID
    std::map<uint32_t, OpenDevice> m_handles;
    std::set<std::string> m_hinted;
};

}  // namespace

std::unique_ptr<IDriver> MakeLibusbDriver() { return std::make_unique<LibusbDriver>(); }

}  // namespace tessaro
