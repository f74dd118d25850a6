// CHubIsp: construction, the session with the filter driver and hub
// enumeration.
#include <algorithm>
#include <cstring>

#include "hub/CHubIsp.h"
#include "platform/winconst.h"
#include "settings/DebugLog.h"

using tessaro::Sys;

namespace {

// The driver's answers are untrusted: no more devices than this are taken
// from one enumeration answer.
constexpr uint32_t kMaxDriverDevices = 1024;

uint32_t ReadU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void WriteU32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

HubRecord ReadRecord(const uint8_t* p) {
    HubRecord r;
    std::memcpy(&r, p, sizeof r);
    return r;
}

void WriteRecord(uint8_t* p, const HubRecord& r) { std::memcpy(p, &r, sizeof r); }

// A container ID as text: at most its 40 bytes, also without a NUL.
std::string ContainerText(const uint8_t* id) {
    size_t n = 0;
    while (n < kContainerIdSize && id[n]) ++n;
    return std::string(reinterpret_cast<const char*>(id), n);
}

struct Candidate {
    uint8_t id[kContainerIdSize];
    HubRecord record;
    bool taken;
};

}  // namespace

RequestRecord::RequestRecord(int size) : m_bytes(static_cast<size_t>(std::max(size, 16)), 0) {}

void RequestRecord::Set(uint8_t bmRequestType, uint8_t bRequest, uint16_t wValue, uint16_t wIndex,
                        uint16_t wLength) {
    UsbRequestHeader h{};
    h.bmRequestType = bmRequestType;
    h.bRequest = bRequest;
    h.wValue = wValue;
    h.wIndex = wIndex;
    h.wLength = wLength;
    std::memcpy(m_bytes.data(), &h, sizeof h);
}

UsbRequestHeader RequestRecord::Header() const {
    UsbRequestHeader h;
    std::memcpy(&h, m_bytes.data(), sizeof h);
    return h;
}

CHubIsp::CHubIsp() {
    m_lasterror.clear();
    m_uuuisp = 0;
    m_supportuuhub = 0;
    m_enterisp = 2;
    std::string path;
    if (!m_ini.FindIniFile(path)) {
        m_lasterror = "Ini file doesn't exist, using default setting";
        DebugLog("Ini file doesn't exist!, using default setting");
        return;
    }
    m_ini.SetFileName(path);
    m_uuuisp = CIniFile::IsYesOrOne(m_ini.GetString("UUUIsp", "VX7100")) ? 1 : 0;
    m_supportuuhub = CIniFile::IsSwitchOne(m_ini.GetString("SupportUUHub", "VX7100")) ? 1 : 0;
    std::string enterIsp = m_ini.GetString("EnterIsp", "VX7100");
    m_enterisp = enterIsp.empty() ? 2 : static_cast<int>(CIniFile::ToInt(enterIsp));
}

CHubIsp::~CHubIsp() { CloseDevice(); }

void CHubIsp::Box(const std::string& text) {
    if (m_quiet == 0) {
        Sys().box->Show(text, "ISP ERROR", tessaro::win::kMbSystemModal | tessaro::win::kMbIconError);
    }
}

int CHubIsp::Fail(const std::string& error) {
    m_lasterror = error;
    DebugLog("%s", error.c_str());
    return 0;
}

int CHubIsp::Fail(const std::string& error, const char* log) {
    m_lasterror = error;
    DebugLog("%s", log);
    return 0;
}

bool CHubIsp::SessionReady(const char* noHandle, const char* noTable) const {
    if (m_driver == tessaro::kInvalidHandle || m_driver == 0) {
        DebugLog("%s", noHandle);
        return false;
    }
    if (m_devtable.size() < static_cast<size_t>(kDeviceTableHeader)) {
        DebugLog("%s", noTable);
        return false;
    }
    return true;
}

int CHubIsp::OpenDriver() {
    tessaro::Handle h = Sys().driver->Open(kFilterDriverName);
    if (h == tessaro::kInvalidHandle) {
        DebugLog("CreateFile ERROR, %d", static_cast<int>(tessaro::LastError()));
        return 0;
    }
    m_driver = h;
    return 1;
}

int CHubIsp::OpenDevice() {
    CloseDevice();
    if (!OpenDriver()) {
        return Fail("Device or driver is not found!", "OpenDevice ERROR!\n");
    }
    return EnumerateHubs();
}

void CHubIsp::CloseDevice() {
    if (m_driver != tessaro::kInvalidHandle && m_driver != 0) Sys().driver->Close(m_driver);
    m_driver = tessaro::kInvalidHandle;
    m_devtable.clear();
    m_devtable.shrink_to_fit();
    m_devcontainers.clear();
    DebugLog("close handle & free memory.");
}

int CHubIsp::EnumerateHubs() {
    // The container record is reused for every candidate; its size field says
    // how much text the driver may write.
    uint8_t container[kContainerRecordSize] = {};
    WriteU32(container + 8, kContainerIdSize);

    // A fresh, empty table first, so that a failed enumeration lists 0 hubs.
    m_devtable.assign(23, 0);
    m_devcontainers.clear();
    std::vector<uint8_t> answer(23, 0);

    uint32_t returned = 0;
    if (!Sys().driver->IoControl(m_driver, VX_IOCTL_GET_DEVICE_NUM, nullptr, 0, answer.data(), 23, &returned)) {
        uint32_t err = tessaro::LastError();
        m_lasterror = "Send VX_IOCTL_GET_DEVICE_NUM ERROR!";
        DebugLog("Send VX_IOCTL_GET_DEVICE_NUM ERROR!, %d\n", static_cast<int>(err));
        return 0;
    }
    uint32_t devNum = ReadU32(answer.data() + 4);
    if (devNum == 0) {
        return Fail("Device or driver is not found!", "Device or driver is not found!\n");
    }
    if (devNum > kMaxDriverDevices) {
        return Fail("Re-allocate memory ERROR!", "Re-allocate memory ERROR!\n");
    }

    size_t answerSize = kDeviceTableHeader + sizeof(HubRecord) * devNum;
    answer.assign(answerSize, 0);
    returned = 0;
    if (!Sys().driver->IoControl(m_driver, VX_IOCTL_ENUM_DEVICES, nullptr, 0, answer.data(),
                                 static_cast<uint32_t>(answerSize), &returned)) {
        uint32_t err = tessaro::LastError();
        m_lasterror = "Send VX_IOCTL_ENUM_DEVICES ERROR!";
        DebugLog("fail to Send VX_IOCTL_ENUM_DEVICES, %d\n", static_cast<int>(err));
        return 0;
    }
    // Only records the driver really returned are read; a device that left
    // between the two calls makes the second answer shorter.
    if (returned < kDeviceTableHeader || returned > answerSize) {
        m_lasterror = "Send VX_IOCTL_ENUM_DEVICES ERROR!";
        DebugLog("fail to Send VX_IOCTL_ENUM_DEVICES, %d\n", static_cast<int>(tessaro::win::kErrBadLength));
        return 0;
    }
    uint32_t serialNo = ReadU32(answer.data());
    uint32_t count = std::min<uint32_t>(devNum, ReadU32(answer.data() + 4));
    count = std::min<uint32_t>(count, static_cast<uint32_t>((returned - kDeviceTableHeader) / sizeof(HubRecord)));

    DebugLog("#SerialNo %d", static_cast<int>(serialNo));
    DebugLog("#DevNum %d\n", static_cast<int>(count));
    uint32_t makerDevices = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* at = answer.data() + kDeviceTableHeader + sizeof(HubRecord) * i;
        HubRecord r = ReadRecord(at);
        if (r.idVendor == 0x2C7E && r.idProduct == 0x0B40 && r.bcdDevice == 0x0301 && r.devType == 0) {
            // A VX7100 running its mask ROM is reported as a foreign device.
            r.devType = 1;
            WriteRecord(at, r);
            DebugLog("#HUB %d is VX7100 Mask, we need to patch this one.", static_cast<int>(i));
        }
        if (r.devType != 0) ++makerDevices;
        DebugLog("#HUB %d", static_cast<int>(i));
        DebugLog("    VXDevType %d", r.devType);
        DebugLog("    VID %04x", r.idVendor);
        DebugLog("    PID %04x", r.idProduct);
        DebugLog("    bcdDev %04x", r.bcdDevice);
        DebugLog("    bcdUSB %04x", r.bcdUSB);
        DebugLog("    handle %d\n", static_cast<int>(r.handle));
    }
    if (count == 0 || makerDevices == 0) {
        return Fail("Device or driver is not found!", "Device or driver is not found!\n");
    }

    m_devtable.assign(kDeviceTableHeader + sizeof(HubRecord) * devNum, 0);

    std::vector<Candidate> candidates;
    for (uint32_t i = 0; i < count; ++i) {
        HubRecord r = ReadRecord(answer.data() + kDeviceTableHeader + sizeof(HubRecord) * i);
        if (r.devType == 0) {
            DebugLog("Skip HUB %d, VID_%04X&PID_%04X, bcdDevice %04X", static_cast<int>(i), r.idVendor, r.idProduct,
                     r.bcdDevice);
            continue;
        }
        if (r.devType == 2 && !m_supportuuhub) {
            DebugLog("Skip VX HS HUB %d, VID_%04X&PID_%04X, bcdDevice %04X", static_cast<int>(i), r.idVendor,
                     r.idProduct, r.bcdDevice);
            continue;
        }
        if (candidates.size() >= static_cast<size_t>(kMaxCandidates)) {
            DebugLog("Too many hubs, HUB %d is not used.", static_cast<int>(i));
            continue;
        }
        WriteU32(container + 4, r.handle);
        std::memset(container + 12, 0, kContainerIdSize);
        if (!Sys().driver->IoControl(m_driver, VX_IOCTL_GET_CONTAINER_ID, container, kContainerRecordSize,
                                     container, kContainerRecordSize, &returned)) {
            uint32_t err = tessaro::LastError();
            // A hub that left the bus since the list was read (another
            // session's hub pulled out, say) changed the list under this
            // enumeration: it is read once more from the start, twice at
            // most, before the enumeration fails.
            if (err == tessaro::win::kErrDeviceNotConnected && m_enumretries < 2) {
                ++m_enumretries;
                DebugLog("Hub %d left during the enumeration; enumerating again.", static_cast<int>(i));
                const int again = EnumerateHubs();
                m_enumretries = 0;
                return again;
            }
            m_enumretries = 0;
            return Fail(Format("VX_IOCTL_GET_CONTAINER_ID ERROR! %u", err));
        }
        Candidate c;
        std::memcpy(c.id, container + 12, kContainerIdSize);
        c.record = r;
        c.taken = false;
        candidates.push_back(c);
        DebugLog("Hub %d, id = %s", static_cast<int>(candidates.size() - 1), ContainerText(c.id).c_str());
    }
    if (candidates.empty()) {
        return Fail("Device or driver is not found!", "cannot find VX' hub!");
    }

    std::vector<const Candidate*> kept;
    if (!m_uuuisp) {
        for (const Candidate& c : candidates) {
            if (c.record.bcdUSB >= 0x0200 && c.record.bcdUSB <= 0x02FF) kept.push_back(&c);
        }
    } else {
        // One record per physical hub: its SuperSpeed and high-speed functions
        // share a container ID.  A high-speed function without an ID ends the
        // partner search, and an empty ID never makes a partner.
        for (size_t j = 0; j < candidates.size(); ++j) {
            Candidate& cj = candidates[j];
            if (cj.taken) continue;
            bool hasId = cj.id[0] != 0;
            Candidate* partner = nullptr;
            for (size_t k = j; k < candidates.size(); ++k) {
                Candidate& ck = candidates[k];
                if (ck.taken) continue;
                if (ck.id[0] == 0 && ck.record.bcdUSB < 0x0300) break;
                if (k != j && hasId && std::memcmp(ck.id, cj.id, kContainerIdSize) == 0) {
                    partner = &ck;
                    break;
                }
            }
            if (partner) {
                kept.push_back(cj.record.bcdUSB >= 0x0300 ? &cj : partner);
                cj.taken = true;
                partner->taken = true;
                DebugLog("Found 3.0 hub, id = %s", ContainerText(cj.id).c_str());
            } else {
                kept.push_back(&cj);
                cj.taken = true;
                if (hasId) {
                    DebugLog("Found 2.0 hub, SerialNo = %d, id = %s", static_cast<int>(cj.record.handle),
                             ContainerText(cj.id).c_str());
                } else {
                    DebugLog("Found 2.0 hub without container ID.");
                }
            }
        }
    }

    WriteU32(m_devtable.data(), serialNo);
    WriteU32(m_devtable.data() + 4, static_cast<uint32_t>(kept.size()));
    m_devcontainers.assign(kept.size() * kContainerIdSize, 0);
    for (size_t i = 0; i < kept.size(); ++i) {
        WriteRecord(m_devtable.data() + kDeviceTableHeader + sizeof(HubRecord) * i, kept[i]->record);
        std::memcpy(m_devcontainers.data() + i * kContainerIdSize, kept[i]->id, kContainerIdSize);
    }
    return 1;
}

int CHubIsp::GetDeviceNumber(int* count) {
    if (!SessionReady("Invalid driver handle.\n", "driver memory block is null!\n")) return 0;
    int n = static_cast<int>(ReadU32(m_devtable.data() + 4));
    if (count) *count = n;
    DebugLog("Found %d Device(s)", n);
    return 1;
}

int CHubIsp::GetHubNumber(unsigned* count) {
    if (!SessionReady("Invalid driver handle.\n", "driver memory block is null!\n")) return 0;
    int n = 0;
    if (!GetDeviceNumber(&n)) {
        DebugLog("Get device number ERROR!\n");
        return 0;
    }
    if (count) *count = static_cast<unsigned>(n);
    DebugLog("GetHubNumber = %d!\n", n);
    return 1;
}

int CHubIsp::GetHubInfo(HubRecord* out, unsigned index) {
    if (!out) {
        DebugLog("Invalid IN buffer.\n");
        return 0;
    }
    if (!SessionReady("Invalid driver handle.\n", "Invalid device information buffer.\n")) return 0;
    int devices = 0;
    if (!GetDeviceNumber(&devices)) {
        return Fail("Get device number ERROR!");
    }
    unsigned hubs = 0;
    if (!GetHubNumber(&hubs)) {
        DebugLog("Can't get hub number!\n");
        return 0;
    }
    if (index >= hubs) {
        DebugLog("Invalid hub index. iHubIndex %d hub_num %d\n", static_cast<int>(index), static_cast<int>(hubs));
        return 0;
    }
    size_t at = kDeviceTableHeader + sizeof(HubRecord) * index;
    if (at + sizeof(HubRecord) > m_devtable.size()) {
        DebugLog("Invalid device information buffer.\n");
        return 0;
    }
    *out = ReadRecord(m_devtable.data() + at);
    return 1;
}

int CHubIsp::SetHubIndex(int index) {
    if (m_driver == tessaro::kInvalidHandle || m_driver == 0) {
        Box("Device or Driver is not found!");
        m_lasterror = "Device or driver is not found!";
        return 0;
    }
    unsigned hubs = 0;
    if (!GetHubNumber(&hubs)) {
        Box("Get hub number ERROR!");
        m_lasterror = "Get hub number ERROR!";
        return 0;
    }
    if (static_cast<unsigned>(index) < hubs) {
        m_hubindex = index;
        return 1;
    }
    m_lasterror = Format("Invalid hub index! idx %d num %d", index, static_cast<int>(hubs));
    Box(m_lasterror);
    return 0;
}

bool CHubIsp::CurrentIdentity(int hubIndex, HubIdentity& out) const {
    size_t at = kDeviceTableHeader + sizeof(HubRecord) * static_cast<size_t>(hubIndex);
    size_t idAt = static_cast<size_t>(hubIndex) * kContainerIdSize;
    if (hubIndex < 0 || at + sizeof(HubRecord) > m_devtable.size() || idAt + kContainerIdSize > m_devcontainers.size())
        return false;
    out.record = ReadRecord(m_devtable.data() + at);
    std::memcpy(out.containerId, m_devcontainers.data() + idAt, kContainerIdSize);
    return true;
}

void CHubIsp::PinHub(int hubIndex, const HubIdentity& identity) {
    if (m_opdepth == 0 || !HubIndexValid(hubIndex)) return;
    m_pin[hubIndex] = identity;
    m_pinned[hubIndex] = true;
}

namespace {

bool SameIdentity(const CHubIsp::HubIdentity& was, const CHubIsp::HubIdentity& now) {
    const HubRecord& a = was.record;
    const HubRecord& b = now.record;
    return a.handle == b.handle && a.devType == b.devType && a.idVendor == b.idVendor && a.idProduct == b.idProduct &&
           a.bcdDevice == b.bcdDevice && a.bcdUSB == b.bcdUSB &&
           std::memcmp(was.containerId, now.containerId, kContainerIdSize) == 0;
}

}  // namespace

int CHubIsp::SelectHub(int hubIndex) {
    m_wronghub = false;
    if (m_followpin && m_opdepth > 0 && HubIndexValid(hubIndex) && m_pinned[hubIndex] &&
        m_driver != tessaro::kInvalidHandle && m_driver != 0) {
        // The pinned hub wherever the list holds it now.
        HubIdentity at{};
        for (int j = 0; CurrentIdentity(j, at); ++j) {
            if (!SameIdentity(m_pin[hubIndex], at)) continue;
            if (j != hubIndex) DebugLog("hub %d is listed at %d now", hubIndex + 1, j + 1);
            return SetHubIndex(j);
        }
    }
    if (!SetHubIndex(hubIndex)) return 0;
    if (m_opdepth == 0 || !HubIndexValid(hubIndex)) return 1;
    HubIdentity now{};
    bool known = CurrentIdentity(hubIndex, now);
    if (!m_pinned[hubIndex]) {
        if (!known) return 1;
        m_pin[hubIndex] = now;
        m_pinned[hubIndex] = true;
        return 1;
    }
    const HubIdentity& was = m_pin[hubIndex];
    const HubRecord& a = was.record;
    const HubRecord& b = now.record;
    bool same = known && SameIdentity(was, now);
    if (same) return 1;
    m_wronghub = true;
    m_lasterror = Format("Hub %d has changed! It is no longer the hub VID_%04X&PID_%04X (bcdDevice %04X, id %s) "
                         "that was identified; nothing more is written.",
                         hubIndex + 1, a.idVendor, a.idProduct, a.bcdDevice, ContainerText(was.containerId).c_str());
    DebugLog("%s", m_lasterror.c_str());
    if (known) {
        DebugLog("hub %d is now VID_%04X&PID_%04X, bcdDevice %04X, handle %d, id %s", hubIndex + 1, b.idVendor,
                 b.idProduct, b.bcdDevice, static_cast<int>(b.handle), ContainerText(now.containerId).c_str());
    }
    return 0;
}
