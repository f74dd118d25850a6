#include "linux_usb/emulated_bus.h"

#include <errno.h>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace usbtest {
namespace {

constexpr uint32_t kUsbRequest = 0x00222008;
constexpr uint32_t kErrGenFailure = 31;
constexpr uint32_t kErrSemTimeout = 121;
constexpr uint32_t kErrDeviceNotConnected = 1167;

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    char item[4];
    for (uint8_t b : bytes) {
        std::snprintf(item, sizeof item, "%02x", b);
        out += item;
    }
    return out;
}

void Put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}

// Device descriptor, one configuration with the hub interface and its
// status change endpoint, as the kernel keeps them in sysfs.
std::vector<uint8_t> Descriptors(const bench::FunctionSpec& spec, uint16_t bcdDevice, bool hub) {
    const bool superSpeed = spec.bcdUsb >= 0x0300;
    std::vector<uint8_t> d = {18, 1};
    Put16(d, spec.bcdUsb);
    d.push_back(hub ? 9 : 0);  // class
    d.push_back(0);
    d.push_back(hub ? (superSpeed ? 3 : 1) : 0);
    d.push_back(superSpeed ? 9 : 64);
    Put16(d, spec.vid);
    Put16(d, spec.pid);
    Put16(d, bcdDevice);
    d.insert(d.end(), {0, 0, 0, 1});
    const std::vector<uint8_t> rest = {9, 2, 25, 0, 1, 1, 0, 0xE0, 0,                   // configuration
                                       9, 4, 0, 0, 1, static_cast<uint8_t>(hub ? 9 : 0xFF), 0, 0, 0,  // interface
                                       7, 5, 0x81, 3, 2, 0, 12};                                     // endpoint
    d.insert(d.end(), rest.begin(), rest.end());
    return d;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::vector<uint8_t> BosFor(const std::string& containerId) {
    // "{" 8 "-" 4 "-" 4 "-" 4 "-" 12 "}"
    if (containerId.size() != 38 || containerId.front() != '{' || containerId.back() != '}') return {};
    std::vector<uint8_t> text;
    for (size_t i = 1; i + 1 < containerId.size(); ++i) {
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (containerId[i] != '-') return {};
            continue;
        }
        if (HexDigit(containerId[i]) < 0) return {};
    }
    for (size_t i = 1; i + 1 < containerId.size(); ++i) {
        if (containerId[i] == '-') continue;
        const int hi = HexDigit(containerId[i]);
        const int lo = HexDigit(containerId[++i]);
        text.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    // The first three fields are stored little-endian.
    const uint8_t uuid[16] = {text[3], text[2],  text[1],  text[0],  text[5],  text[4],  text[7],  text[6],
                              text[8], text[9], text[10], text[11], text[12], text[13], text[14], text[15]};
    std::vector<uint8_t> bos = {5, 15, 25, 0, 1, 20, 16, 4, 0};
    bos.insert(bos.end(), uuid, uuid + 16);
    return bos;
}

EmulatedBus::EmulatedBus(bench::Pc& pc, tessaro::IDriver& benchDriver) : m_pc(pc), m_driver(benchDriver) {
    const char* preload = std::getenv("LD_PRELOAD");
    if (!preload || !std::strstr(preload, "umockdev-preload")) {
        m_error = "not under umockdev-wrapper";
        return;
    }
    m_session = m_driver.Open("\\\\.\\vxusbflt");
    m_testbed = umockdev_testbed_new();
    m_handler = umockdev_ioctl_base_new();
    g_signal_connect_after(m_handler, "handle-ioctl", G_CALLBACK(&EmulatedBus::OnIoctl), this);

    int devnum[3] = {0, 1, 1};  // the root hubs have address 1
    for (int bus = 1; bus <= 2; ++bus) {
        bench::FunctionSpec root;
        root.vid = 0x1D6B;
        root.pid = static_cast<uint16_t>(bus == 1 ? 2 : 3);
        root.bcdUsb = static_cast<uint16_t>(bus == 1 ? 0x0200 : 0x0300);
        char text[512];
        std::snprintf(text, sizeof text,
                      "P: /devices/pci0000:00/usb%d\nN: bus/usb/%03d/001\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
                      "E: DRIVER=usb\nE: BUSNUM=%03d\nE: DEVNUM=001\nE: DEVNAME=/dev/bus/usb/%03d/001\n"
                      "A: busnum=%d\\n\nA: devnum=1\\n\nA: bConfigurationValue=1\\n\nA: speed=%s\\n\nH: descriptors=",
                      bus, bus, bus, bus, bus, bus == 1 ? "480" : "5000");
        std::string record = text + Hex(Descriptors(root, 0x0601, true)) + "\n";
        umockdev_testbed_add_from_string(m_testbed, record.c_str(), nullptr);
    }

    std::vector<std::string> names = m_pc.DeviceNames();
    for (size_t k = 0; k < names.size(); ++k) {
        bench::Device* device = m_pc.FindDevice(names[k]);
        if (!device || !device->Plugged()) continue;
        const std::vector<bench::FunctionState>& functions = device->Functions();
        for (size_t i = 0; i < functions.size(); ++i) {
            const bench::FunctionState& fs = functions[i];
            if (!fs.spec.present || !fs.enabled) continue;
            const int bus = fs.spec.bcdUsb >= 0x0300 ? 2 : 1;
            const int address = ++devnum[bus];
            const int port = static_cast<int>(k) + 1;
            char node[40];
            std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", bus, address);
            Function f{names[k], i, node, fs.spec.containerId, std::to_string(bus) + "-" + std::to_string(port)};
            m_functions.push_back(f);
            // The handler is attached before the node appears, so that an
            // open never finds it unanswered.
            umockdev_testbed_attach_ioctl(m_testbed, node, m_handler, nullptr);
            char text[800];
            std::snprintf(text, sizeof text,
                          "P: /devices/pci0000:00/usb%d/%d-%d\nN: bus/usb/%03d/%03d\nE: SUBSYSTEM=usb\n"
                          "E: DEVTYPE=usb_device\nE: DRIVER=usb\nE: BUSNUM=%03d\nE: DEVNUM=%03d\nE: DEVNAME=%s\n"
                          "A: busnum=%d\\n\nA: devnum=%d\\n\nA: bConfigurationValue=1\\n\nA: speed=%s\\n\n"
                          "A: idVendor=%04x\\n\nA: idProduct=%04x\\n\nA: bcdDevice=%04x\\n\n"
                          "A: authorized=1\\n\nA: power/control=auto\\n\nH: descriptors=",
                          bus, bus, port, bus, address, bus, address, node, bus, address, bus == 2 ? "5000" : "480",
                          fs.spec.vid, fs.spec.pid, device->BcdDevice(i));
            std::string record = text + Hex(Descriptors(fs.spec, device->BcdDevice(i), device->IsHub())) + "\n";
            umockdev_testbed_add_from_string(m_testbed, record.c_str(), nullptr);
        }
    }
    m_ok = true;
}

EmulatedBus::~EmulatedBus() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& queue : m_flying)
            for (Flying& f : queue.second) umockdev_ioctl_data_unref(f.urb);
        m_flying.clear();
    }
    for (const Function& f : m_functions) umockdev_testbed_detach_ioctl(m_testbed, f.node.c_str(), nullptr);
    if (m_handler) g_object_unref(m_handler);
    if (m_testbed) g_object_unref(m_testbed);
    if (m_session != tessaro::kInvalidHandle) m_driver.Close(m_session);
}

std::string EmulatedBus::Node(const std::string& device, size_t function) const {
    for (const Function& f : m_functions)
        if (f.device == device && f.index == function) return f.node;
    return std::string();
}

void EmulatedBus::Detach(const std::string& node) {
    umockdev_testbed_detach_ioctl(m_testbed, node.c_str(), nullptr);
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_functions.begin(); it != m_functions.end(); ++it)
        if (it->node == node) {
            m_functions.erase(it);
            break;
        }
}

std::string EmulatedBus::RootDir() const {
    if (!m_testbed) return std::string();
    gchar* root = umockdev_testbed_get_root_dir(m_testbed);
    std::string dir = root ? root : "";
    g_free(root);
    return dir;
}

std::vector<std::string> EmulatedBus::PowerControlSeen(const std::string& device) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_controlSeen.find(device);
    return it == m_controlSeen.end() ? std::vector<std::string>() : it->second;
}

int EmulatedBus::StandardRequests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_standard;
}

int EmulatedBus::OnIoctl(_UMockdevIoctlBase*, _UMockdevIoctlClient* client, void* self) {
    return static_cast<EmulatedBus*>(self)->Ioctl(client) ? TRUE : FALSE;
}

bool EmulatedBus::Ioctl(_UMockdevIoctlClient* client) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string node = umockdev_ioctl_client_get_devnode(client);
    const Function* function = nullptr;
    for (const Function& f : m_functions)
        if (f.node == node) function = &f;
    if (!function) return false;
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    switch (umockdev_ioctl_client_get_request(client)) {
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(uint32_t), nullptr);
        const uint32_t value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                               USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
        std::memcpy(caps->data, &value, sizeof value);
        umockdev_ioctl_data_unref(caps);
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_SUBMITURB: return Submit(client, *function);
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: return Reap(client, node);
    case USBDEVFS_DISCARDURB: umockdev_ioctl_client_complete(client, -1, EINVAL); return true;
    default: umockdev_ioctl_client_complete(client, 0, 0); return true;
    }
}

bool EmulatedBus::Submit(_UMockdevIoctlClient* client, const Function& f) {
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    if (urb->type != USBDEVFS_URB_TYPE_CONTROL || urb->buffer_length < 8) {
        umockdev_ioctl_data_unref(urbData);
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return true;
    }
    UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer),
                                                            static_cast<size_t>(urb->buffer_length), nullptr);
    Flying result;
    const bool present = Transfer(f, buffer->data, buffer->data + 8, result);
    umockdev_ioctl_data_unref(buffer);
    if (!present) {
        umockdev_ioctl_data_unref(urbData);
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return true;
    }
    result.urb = urbData;
    m_flying[f.node].push_back(std::move(result));
    umockdev_ioctl_client_complete(client, 0, 0);
    return true;
}

bool EmulatedBus::Reap(_UMockdevIoctlClient* client, const std::string& node) {
    std::deque<Flying>& queue = m_flying[node];
    if (queue.empty()) {
        umockdev_ioctl_client_complete(client, -1, EAGAIN);
        return true;
    }
    Flying f = std::move(queue.front());
    queue.pop_front();
    auto* urb = reinterpret_cast<usbdevfs_urb*>(f.urb->data);
    urb->status = f.status;
    urb->actual_length = f.actual;
    if (!f.data.empty()) std::memcpy(static_cast<uint8_t*>(urb->buffer) + 8, f.data.data(), f.data.size());
    UMockdevIoctlData* pointer =
        umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(void*), nullptr);
    umockdev_ioctl_data_set_ptr(pointer, 0, f.urb);
    umockdev_ioctl_client_complete(client, 0, 0);
    umockdev_ioctl_data_unref(pointer);
    umockdev_ioctl_data_unref(f.urb);
    return true;
}

bool EmulatedBus::Transfer(const Function& f, const uint8_t* setup, uint8_t* data, Flying& result) {
    const uint8_t type = setup[0];
    const uint8_t request = setup[1];
    const uint16_t value = static_cast<uint16_t>(setup[2] | setup[3] << 8);
    const uint16_t length = static_cast<uint16_t>(setup[6] | setup[7] << 8);
    const bool toHost = (type & 0x80) != 0;
    if ((type & 0x60) == 0) {
        // Standard requests: the BOS descriptor, when the function has a
        // container ID; everything else stalls.
        ++m_standard;
        const std::vector<uint8_t> bos = BosFor(f.containerId);
        if (type == 0x80 && request == 6 && value == 0x0F00 && !bos.empty()) {
            result.actual = static_cast<int>(std::min<size_t>(length, bos.size()));
            result.data.assign(bos.begin(), bos.begin() + result.actual);
        } else {
            result.status = -EPIPE;
        }
        return true;
    }
    bench::Device* device = m_pc.FindDevice(f.device);
    if (!device || f.index >= device->Functions().size()) return false;
    // The hub's selective suspend setting while it works (this thread sees
    // the test bed's sysfs too).
    if (std::FILE* control = std::fopen(("/sys/bus/usb/devices/" + f.sysName + "/power/control").c_str(), "r")) {
        char text[16] = {};
        std::string value(text, std::fread(text, 1, sizeof text - 1, control));
        std::fclose(control);
        while (!value.empty() && value.back() == '\n') value.pop_back();
        std::vector<std::string>& seen = m_controlSeen[f.device];
        if (std::find(seen.begin(), seen.end(), value) == seen.end()) seen.push_back(value);
    }
    std::vector<uint8_t> record(16 + length, 0);
    const uint32_t handle = device->Functions()[f.index].handle;
    std::memcpy(record.data() + 4, &handle, 4);
    std::memcpy(record.data() + 8, setup, 8);
    if (!toHost) std::memcpy(record.data() + 16, data, length);
    uint32_t returned = 0;
    if (!m_driver.IoControl(m_session, kUsbRequest, record.data(), static_cast<uint32_t>(record.size()),
                            record.data(), static_cast<uint32_t>(record.size()), &returned)) {
        const uint32_t error = tessaro::LastError();
        if (error == kErrDeviceNotConnected) return false;
        result.status = error == kErrGenFailure ? -EPIPE : error == kErrSemTimeout ? -ETIMEDOUT : -EPROTO;
        return true;
    }
    if (toHost) {
        result.actual = returned > 16 ? static_cast<int>(returned - 16) : 0;
        result.data.assign(record.begin() + 16, record.begin() + 16 + result.actual);
    } else {
        result.actual = length;
    }
    return true;
}

}  // namespace usbtest
