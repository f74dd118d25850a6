// CHubIsp: the hub's device instance ID, the registry paths of its "Device
// Parameters" key, its selective suspend value and its restart.
#include <cctype>
#include <cstring>

#include "hub/CHubIsp.h"
#include "platform/winconst.h"
#include "settings/DebugLog.h"

using tessaro::Sys;
namespace win = tessaro::win;

namespace {

// A device list that cannot be made now is often there a moment later: an
// enable after a selective suspend change is tried this often, this far
// apart, before the hub counts as left disabled.
constexpr int kEnableAttempts = 4;
constexpr uint32_t kEnableRetryMs = 1000;

bool SameHub(const HubRecord& a, const HubRecord& b) {
    return a.idVendor == b.idVendor && a.idProduct == b.idProduct && a.bcdDevice == b.bcdDevice;
}

// Disables or enables every device of the "usb" class whose first hardware
// ID holds one of the hub's patterns; 1 when at least one was switched.
int SwitchHubDevices(const HubRecord& r, int enable) {
    if (r.idVendor == 0 || r.idProduct == 0) return 0;
    const char* formats[] = {
        "USB\\VID_%04X&PID_%04X&REV_%04X",  "USB\\ASMEDIAUSBD_HUB&VID_%04X&PID_%04X&REV_%04X",
        "USB\\TIUSBD_HUB&VID_%04X&PID_%04X&REV_%04X", "VUSB\\VID_%04X&PID_%04X&REV_%04X",
        "ENUSB3\\VID_%04X&PID_%04X&REV_%04X", "FLUSB\\VID_%04X&PID_%04X&REV_%04X",
    };
    std::vector<std::string> patterns;
    for (const char* f : formats) patterns.push_back(Format(f, r.idVendor, r.idProduct, r.bcdDevice));

    tessaro::IDeviceList& devices = *Sys().devices;
    tessaro::IDeviceList::List list = devices.Open("usb", false);
    if (!list) return 0;
    int matched = 0;
    uint32_t lastError = 0;
    for (uint32_t i = 0; devices.Enum(list, i); ++i) {
        // A fresh buffer for every device: a device whose ID cannot be read is
        // skipped, never switched by the previous device's ID.
        std::string id;
        if (!devices.HardwareId(list, i, id, 256)) continue;
        for (char& c : id) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (const std::string& p : patterns) {
            if (id.find(p) == std::string::npos) continue;
            DebugLog("Hub ID: %s\n", id.c_str());
            bool changed = devices.SetInstallParams(list, i, enable != 0) && devices.ChangeState(list, i);
            if (changed) {
                ++matched;
            } else {
                lastError = tessaro::LastError();
            }
            break;
        }
    }
    devices.Close(list);
    if (!matched && lastError) tessaro::SetLastError(lastError);
    return matched ? 1 : 0;
}

// Enables a hub that was disabled for a change, with the retries above; the
// last attempt's error stays in LastError().
int EnableWithRetries(const HubRecord& r) {
    for (int attempt = 1;; ++attempt) {
        if (SwitchHubDevices(r, 1)) return 1;
        if (attempt == kEnableAttempts) return 0;
        const uint32_t error = tessaro::LastError();
        DebugLog("Enable Hub ERROR! %u, re-try (%d)\n", error, attempt);
        Sys().clock->Sleep(kEnableRetryMs);
    }
}

void RememberLeftDisabled(std::vector<HubRecord>& left, const HubRecord& r) {
    DebugLog("Hub VID_%04X&PID_%04X&REV_%04X is left disabled\n", r.idVendor, r.idProduct, r.bcdDevice);
    for (const HubRecord& known : left)
        if (SameHub(known, r)) return;
    left.push_back(r);
}

void Forget(std::vector<HubRecord>& left, const HubRecord& r) {
    for (size_t i = 0; i < left.size();) {
        if (SameHub(left[i], r)) {
            left.erase(left.begin() + static_cast<long>(i));
        } else {
            ++i;
        }
    }
}

}  // namespace

int CHubIsp::GetHubRegistryPaths(int hubIndex, std::vector<std::string>* paths) {
    if (!HubIndexValid(hubIndex) || !paths) {
        Box("Hub index ERROR!");
        return Fail("Hub index ERROR!");
    }
    uint8_t identity[kIdentityRecordSize] = {};
    uint32_t textSize = kInstanceIdSize;
    std::memcpy(identity + 8, &textSize, 4);

    int result = 0;
    HubRecord record{};
    if (!OpenDevice()) {
        Box("Open Device ERROR!");
        m_lasterror = "Open Device ERROR!";
        DebugLog("Open Device ERROR!");
    } else if (!SetHubIndex(hubIndex)) {
        Box("Hub index ERROR!");
        m_lasterror = "Hub index ERROR!";
        DebugLog("Hub index ERROR!");
    } else if (!GetHubInfo(&record, static_cast<unsigned>(hubIndex))) {
        Box("Get hub info ERROR! unknown chip type.");
        m_lasterror = "Get hub info ERROR! unknown chip type.";
    } else {
        m_hubrecord[hubIndex] = record;
        std::memcpy(identity + 4, &record.handle, 4);
        uint32_t returned = 0;
        if (!Sys().driver->IoControl(m_driver, VX_IOCTL_GET_INSTANCE_ID, identity, kIdentityRecordSize, identity,
                                     kIdentityRecordSize, &returned)) {
            m_lasterror = Format("Send VX_IOCTL_GET_INSTANCE_ID ERROR! %u", tessaro::LastError());
            DebugLog("%s", m_lasterror.c_str());
        } else {
            // The text is bounded to its field, with or without a NUL.
            size_t n = 0;
            while (n < kInstanceIdSize && identity[12 + n]) ++n;
            std::string instance(reinterpret_cast<const char*>(identity + 12), n);
            paths->clear();
            DebugLog("Get Instance ID: %s", instance.c_str());
            const char* formats[] = {
                "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_%04X&PID_%04X\\%s\\Device Parameters",
                "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_%04X&PID_%04X&ASMEDIAUSBD_Hub\\%s\\Device Parameters",
                "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_%04X&PID_%04X&TIUSBD_Hub\\%s\\Device Parameters",
                "SYSTEM\\CurrentControlSet\\Enum\\VUSB\\VID_%04X&PID_%04X\\%s\\Device Parameters",
                "SYSTEM\\CurrentControlSet\\Enum\\ENUSB3\\Vid_%04X&Pid_%04X\\%s\\Device Parameters",
                "SYSTEM\\CurrentControlSet\\Enum\\FLUSB\\Vid_%04X&Pid_%04X\\%s\\Device Parameters",
            };
            for (const char* f : formats) paths->push_back(Format(f, record.idVendor, record.idProduct, instance.c_str()));
            result = 1;
        }
    }
    CloseDevice();
    return result;
}

int CHubIsp::SetSelectiveSuspend(int hubIndex, std::vector<std::string>* paths, uint32_t value) {
    if (!HubIndexValid(hubIndex)) {
        return Fail("Hub index ERROR!");
    }
    tessaro::IRegistry& reg = *Sys().registry;
    if (!paths || paths->empty()) {
        m_lasterror = Format("RegOpenKeyEx ERROR! %u\n", tessaro::LastError());
        return 0;
    }
    tessaro::IRegistry::Key key = 0;
    long rc = 0;
    const std::string* opened = nullptr;
    for (const std::string& path : *paths) {
        rc = reg.Open(win::kHkeyLocalMachine, path, win::kKeyAllAccess, &key);
        if (rc == 0) {
            opened = &path;
            break;
        }
        DebugLog("RegOpenKeyEx ERROR! %u!\n%s", static_cast<unsigned>(rc), path.c_str());
    }
    if (!opened) {
        m_lasterror = Format("RegOpenKeyEx ERROR! %u\n", static_cast<unsigned>(rc));
        return 0;
    }
    DebugLog("RegOpenKeyEx OK!\n%s", opened->c_str());

    int result = 0;
    uint32_t stored = 0, type = 0, size = 4;
    long read = reg.QueryValue(key, "EnableSelectiveSuspend", &type, reinterpret_cast<uint8_t*>(&stored), &size);
    if (read != 0 || size != 4) {
        DebugLog("RegGetValue fail for EnableSelectiveSuspend");
    } else if (stored == 0 && value == 0) {
        DebugLog("already disable SS, exit\n");
        reg.Close(key);
        return 1;
    }
    if (!EnableHub(hubIndex, 0)) {
        uint32_t err = tessaro::LastError();
        m_lasterror = Format("Disable Hub ERROR! %u\n", err);
        DebugLog("Disable Hub ERROR! %u", err);
    } else {
        long written = reg.SetValue(key, "EnableSelectiveSuspend", win::kRegDword,
                                    reinterpret_cast<const uint8_t*>(&value), 4);
        // The hub was switched off for the change: it must come back, also
        // when the value could not be written.  A disable is kept per
        // configuration and survives a restart, so a hub that still refuses
        // is remembered for the enable at the end of the run.
        if (written != 0) {
            if (!EnableWithRetries(m_hubrecord[hubIndex])) RememberLeftDisabled(m_leftDisabled, m_hubrecord[hubIndex]);
            m_lasterror = Format("Set EnableSelectiveSuspend ERROR! %u", static_cast<unsigned>(written));
            DebugLog("Set Capabilities ERROR! %u\n", static_cast<unsigned>(written));
        } else {
            Sys().clock->Sleep(3000);
            if (!EnableWithRetries(m_hubrecord[hubIndex])) {
                uint32_t err = tessaro::LastError();
                RememberLeftDisabled(m_leftDisabled, m_hubrecord[hubIndex]);
                m_lasterror = Format("Enable Hub ERROR! %u\n", err);
                DebugLog("Enable Hub ERROR! %u", err);
            } else {
                result = 1;
            }
        }
    }
    reg.Close(key);
    return result;
}

int CHubIsp::EnableHub(int hubIndex, int enable) {
    if (!HubIndexValid(hubIndex)) return 0;
    if (!SwitchHubDevices(m_hubrecord[hubIndex], enable)) return 0;
    if (enable) Forget(m_leftDisabled, m_hubrecord[hubIndex]);
    return 1;
}

int CHubIsp::EnableLeftDisabled(std::vector<std::string>* report) {
    std::vector<HubRecord> still;
    for (const HubRecord& r : m_leftDisabled) {
        const bool back = EnableWithRetries(r) != 0;
        const std::string line =
            Format(back ? "Hub VID_%04X&PID_%04X&REV_%04X was left disabled and is enabled again."
                        : "Hub VID_%04X&PID_%04X&REV_%04X is still disabled! Please enable it in the Device Manager.",
                   r.idVendor, r.idProduct, r.bcdDevice);
        DebugLog("%s\n", line.c_str());
        if (report) report->push_back(line);
        if (!back) still.push_back(r);
    }
    m_leftDisabled.swap(still);
    return m_leftDisabled.empty() ? 1 : 0;
}
