#include "platform/linux/usb_sysfs.h"

#include <dirent.h>
#include <errno.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "platform/error_text.h"
#include "platform/winconst.h"

namespace tessaro {
namespace {

std::string Attribute(const std::string& device, const std::string& name) {
    return std::string(kSysfsUsbDevices) + "/" + device + "/" + name;
}

bool ReadText(const std::string& path, std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (!f) {
        SetLastError(Win32ErrorFromErrno(errno));
        return false;
    }
    char buf[64] = {};
    size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    text.assign(buf, n);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return true;
}

bool WriteText(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) {
        SetLastError(Win32ErrorFromErrno(errno));
        return false;
    }
    bool ok = std::fputs(text.c_str(), f) >= 0;
    // A sysfs attribute refuses a value when the buffer is written out.
    ok = std::fclose(f) == 0 && ok;
    if (!ok) SetLastError(Win32ErrorFromErrno(errno ? errno : EIO));
    return ok;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

class SysfsPowerRegistry : public IRegistry {
public:
    explicit SysfsPowerRegistry(IRegistry& inner) : m_inner(inner) {}

    long Open(Key parent, const std::string& subKey, uint32_t access, Key* out) override {
        if (Key k = Hub(parent, subKey, out)) return k == kMissing ? win::kErrFileNotFound : 0;
        return m_inner.Open(parent, subKey, access, out);
    }
    long Create(Key parent, const std::string& subKey, uint32_t access, Key* out, uint32_t* disposition) override {
        if (Key k = Hub(parent, subKey, out)) {
            if (k == kMissing) return win::kErrFileNotFound;
            if (disposition) *disposition = win::kRegOpenedExistingKey;
            return 0;
        }
        return m_inner.Create(parent, subKey, access, out, disposition);
    }
    long QueryValue(Key key, const std::string& name, uint32_t* type, uint8_t* data, uint32_t* size) override {
        std::string device;
        if (!Device(key, device)) return m_inner.QueryValue(key, name, type, data, size);
        if (!IsSuspendValue(name)) return win::kErrFileNotFound;
        std::string control;
        if (!ReadText(Attribute(device, "power/control"), control)) return static_cast<long>(LastError());
        const uint32_t value = control == "on" ? 0 : 1;
        if (type) *type = win::kRegDword;
        if (!size) return data ? win::kErrInvalidParameter : 0;
        if (data && *size < 4) {
            *size = 4;
            return win::kErrMoreData;
        }
        *size = 4;
        if (data) std::memcpy(data, &value, 4);
        return 0;
    }
    long SetValue(Key key, const std::string& name, uint32_t type, const uint8_t* data, uint32_t size) override {
        std::string device;
        if (!Device(key, device)) return m_inner.SetValue(key, name, type, data, size);
        if (!IsSuspendValue(name) || type != win::kRegDword || size != 4 || !data) return win::kErrAccessDenied;
        uint32_t value = 0;
        std::memcpy(&value, data, 4);
        if (!WriteText(Attribute(device, "power/control"), value ? "auto" : "on"))
            return static_cast<long>(LastError());
        return 0;
    }
    long QueryInfo(Key key, uint32_t* subKeys) override {
        std::string device;
        if (!Device(key, device)) return m_inner.QueryInfo(key, subKeys);
        if (subKeys) *subKeys = 0;
        return 0;
    }
    long EnumKey(Key key, uint32_t index, char* name, uint32_t* size) override {
        std::string device;
        if (!Device(key, device)) return m_inner.EnumKey(key, index, name, size);
        return win::kErrNoMoreItems;
    }
    long Close(Key key) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_keys.erase(key)) return 0;
        return m_inner.Close(key);
    }

private:
    static constexpr Key kMissing = ~static_cast<Key>(0);
    static constexpr Key kFirstKey = static_cast<Key>(0x7E000000);

    static bool IsSuspendValue(const std::string& name) {
        return name.size() == 22 && StartsWithNoCase(name, "EnableSelectiveSuspend");
    }

    // A key of ours for a hub's "Device Parameters"; 0 when the key is not
    // such a key, kMissing when it names a device sysfs does not have.
    Key Hub(Key parent, const std::string& subKey, Key* out) {
        if (parent != win::kHkeyLocalMachine) return 0;
        const std::string device = SysfsNameOfKey(subKey);
        if (device.empty()) return 0;
        std::string control;
        if (!ReadText(Attribute(device, "power/control"), control)) return kMissing;
        std::lock_guard<std::mutex> lock(m_mutex);
        const Key key = kFirstKey + m_next++;
        m_keys[key] = device;
        if (out) *out = key;
        return key;
    }

    bool Device(Key key, std::string& device) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_keys.find(key);
        if (it == m_keys.end()) return false;
        device = it->second;
        return true;
    }

    IRegistry& m_inner;
    std::mutex m_mutex;
    std::map<Key, std::string> m_keys;
    Key m_next = 0;
};

class SysfsDeviceList : public IDeviceList {
public:
    List Open(const std::string& className, bool) override {
        std::vector<std::string> names;
        if (StartsWithNoCase(className, "usb") && className.size() == 3) {
            if (DIR* dir = opendir(kSysfsUsbDevices)) {
                while (dirent* e = readdir(dir)) {
                    const std::string name = e->d_name;
                    // Devices only: interfaces ("1-2:1.0") and dot entries are no devices.
                    if (name.empty() || name[0] == '.' || name.find(':') != std::string::npos) continue;
                    std::string vendor;
                    if (ReadText(Attribute(name, "idVendor"), vendor)) names.push_back(name);
                }
                closedir(dir);
            }
            std::sort(names.begin(), names.end());
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        const List list = ++m_next;
        m_lists[list] = Listed{names, {}};
        return list;
    }
    bool Enum(List list, uint32_t index) override {
        std::string name;
        if (!Name(list, index, name)) {
            SetLastError(win::kErrNoMoreItems);
            return false;
        }
        return true;
    }
    bool HardwareId(List list, uint32_t index, std::string& id, uint32_t maxBytes) override {
        std::string name, vendor, product, revision;
        if (!Name(list, index, name)) {
            SetLastError(win::kErrNoMoreItems);
            return false;
        }
        if (!ReadText(Attribute(name, "idVendor"), vendor) || !ReadText(Attribute(name, "idProduct"), product) ||
            !ReadText(Attribute(name, "bcdDevice"), revision))
            return false;
        for (std::string* s : {&vendor, &product, &revision})
            for (char& c : *s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        id = "USB\\VID_" + vendor + "&PID_" + product + "&REV_" + revision;
        if (maxBytes && id.size() > maxBytes - 1) id.resize(maxBytes - 1);
        return true;
    }
    bool SetInstallParams(List list, uint32_t index, bool enable) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_lists.find(list);
        if (it == m_lists.end() || index >= it->second.names.size()) {
            SetLastError(win::kErrInvalidParameter);
            return false;
        }
        it->second.pending[index] = enable;
        return true;
    }
    bool ChangeState(List list, uint32_t index) override {
        std::string name;
        bool enable = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            auto it = m_lists.find(list);
            if (it == m_lists.end() || !it->second.pending.count(index)) {
                SetLastError(win::kErrInvalidParameter);
                return false;
            }
            auto pending = it->second.pending.find(index);
            name = it->second.names[index];
            enable = pending->second;
        }
        return WriteText(Attribute(name, "authorized"), enable ? "1" : "0");
    }
    void Close(List list) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lists.erase(list);
    }

private:
    struct Listed {
        std::vector<std::string> names;
        std::map<uint32_t, bool> pending;  // index -> enable
    };
    bool Name(List list, uint32_t index, std::string& name) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_lists.find(list);
        if (it == m_lists.end() || index >= it->second.names.size()) return false;
        name = it->second.names[index];
        return true;
    }
    std::mutex m_mutex;
    std::map<List, Listed> m_lists;
    List m_next = 0;
};

}  // namespace

std::string SysfsNameOfKey(const std::string& subKey) {
    // SYSTEM\CurrentControlSet\Enum\USB\VID_xxxx&PID_xxxx\NAME\Device Parameters
    const std::string head = "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_";
    const std::string tail = "\\Device Parameters";
    if (!StartsWithNoCase(subKey, head) || subKey.size() < head.size() + 13 + tail.size()) return std::string();
    const std::string ids = subKey.substr(head.size(), 13);  // xxxx&PID_xxxx
    if (!StartsWithNoCase(ids.substr(4), "&PID_")) return std::string();
    for (size_t i : {0, 1, 2, 3, 9, 10, 11, 12})
        if (!std::isxdigit(static_cast<unsigned char>(ids[i]))) return std::string();
    if (subKey[head.size() + 13] != '\\') return std::string();
    const size_t nameAt = head.size() + 14;
    if (subKey.size() <= nameAt + tail.size() || !StartsWithNoCase(subKey.substr(subKey.size() - tail.size()), tail))
        return std::string();
    const std::string name = subKey.substr(nameAt, subKey.size() - tail.size() - nameAt);
    // Only a bus-port name reaches a sysfs path: digits, '-' and '.'.
    if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0]))) return std::string();
    for (char c : name)
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '-' && c != '.') return std::string();
    return name;
}

std::unique_ptr<IRegistry> MakeSysfsPowerRegistry(IRegistry& inner) {
    return std::make_unique<SysfsPowerRegistry>(inner);
}

std::unique_ptr<IDeviceList> MakeSysfsDeviceList() { return std::make_unique<SysfsDeviceList>(); }

}  // namespace tessaro
