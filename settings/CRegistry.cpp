#include "settings/CRegistry.h"

#include <cctype>
#include <cstring>

#include "platform/winconst.h"

namespace {

using tessaro::IRegistry;
namespace win = tessaro::win;

struct Root {
    const char* name;
    IRegistry::Key key;
};

const Root kRoots[] = {
    {"HKEY_LOCAL_MACHINE", win::kHkeyLocalMachine},
    {"HKEY_CLASSES_ROOT", win::kHkeyClassesRoot},
    {"HKEY_CURRENT_CONFIG", win::kHkeyCurrentConfig},
    {"HKEY_CURRENT_USER", win::kHkeyCurrentUser},
    {"HKEY_USERS", win::kHkeyUsers},
    {"HKEY_PERFORMANCE_DATA", win::kHkeyPerformanceData},
    {"HKEY_DYN_DATA", win::kHkeyDynData},
};

bool RootByName(const std::string& name, IRegistry::Key& key) {
    for (const Root& r : kRoots) {
        if (name == r.name) {
            key = r.key;
            return true;
        }
    }
    return false;
}

bool IsPredefined(IRegistry::Key key) {
    for (const Root& r : kRoots) {
        if (r.key == key) return true;
    }
    return false;
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

std::string WithoutTrailingSeparator(std::string s) {
    while (!s.empty() && s.back() == '\\') s.pop_back();
    return s;
}

tessaro::IRegistry& Reg() { return *tessaro::Sys().registry; }

}  // namespace

CRegistry::CRegistry(uint32_t access) {
    if (OpenKey(win::kHkeyLocalMachine, "", access) == 0) m_path = "HKEY_LOCAL_MACHINE\\";
}

CRegistry::~CRegistry() {
    if (m_key && !IsPredefined(m_key)) Reg().Close(m_key);
}

long CRegistry::OpenKey(IRegistry::Key parent, const std::string& subKey, uint32_t access) {
    IRegistry::Key opened = 0;
    m_result = Reg().Open(parent, WithoutTrailingSeparator(subKey), access, &opened);
    if (m_result == 0) {
        if (m_key && !IsPredefined(m_key)) Reg().Close(m_key);
        m_key = opened;
    }
    return m_result;
}

bool CRegistry::SetPath(const std::string& rawPath, uint32_t access) {
    std::string path = Trim(rawPath);
    if (!path.empty() && std::isalnum(static_cast<unsigned char>(path.back()))) path += '\\';
    if (path.empty()) return false;

    if (path == ".." || path == "..\\") {
        std::string current = WithoutTrailingSeparator(m_path);
        size_t cut = current.rfind('\\');
        if (cut == std::string::npos) return false;
        std::string parent = current.substr(0, cut);
        size_t first = parent.find('\\');
        std::string rootName = parent.substr(0, first);
        IRegistry::Key root = 0;
        if (!RootByName(rootName, root)) return false;
        std::string below = first == std::string::npos ? std::string() : parent.substr(first + 1);
        if (OpenKey(root, below, access) != 0) return false;
        m_path = parent + "\\";
        return true;
    }
    if (path == "\\") {
        std::string rootName = m_path.substr(0, m_path.find('\\'));
        IRegistry::Key root = 0;
        if (!RootByName(rootName, root)) return false;
        if (OpenKey(root, "", access) != 0) return false;
        m_path = rootName + "\\";
        return true;
    }
    if (path[0] == '\\') {
        std::string absolute = path.substr(1);
        size_t first = absolute.find('\\');
        std::string rootName = absolute.substr(0, first);
        IRegistry::Key root = 0;
        if (!RootByName(rootName, root)) return false;
        std::string below = first == std::string::npos ? std::string() : absolute.substr(first + 1);
        if (OpenKey(root, below, access) != 0) return false;
        m_path = absolute;
        return true;
    }
    if (OpenKey(m_key, path, access) != 0) return false;
    m_path += path;
    return true;
}

bool CRegistry::CreateKey(const std::string& rawName, uint32_t access) {
    std::string name = rawName;
    if (!name.empty() && name[0] == '\\') name.erase(0, 1);
    IRegistry::Key created = 0;
    m_result = Reg().Create(m_key, WithoutTrailingSeparator(name), access, &created, &m_disposition);
    if (m_result == 0) Reg().Close(created);
    return m_result == 0;
}

bool CRegistry::SetValue(const std::string& name, uint32_t type, const void* data) {
    uint32_t size = type == win::kRegSz ? static_cast<uint32_t>(std::strlen(static_cast<const char*>(data))) : 4;
    m_result = Reg().SetValue(m_key, name, type, static_cast<const uint8_t*>(data), size);
    return m_result == 0;
}

bool CRegistry::QueryValue(const std::string& name, uint32_t* type, uint8_t* buffer, uint32_t* size) {
    m_result = Reg().QueryValue(m_key, name, type, buffer, size);
    return m_result == 0;
}

bool CRegistry::GetFirstSubKey(std::string& name) {
    uint32_t count = 0;
    m_result = Reg().QueryInfo(m_key, &count);
    if (m_result != 0 || count == 0) return false;
    char buf[256] = {};
    uint32_t size = 255;
    m_result = Reg().EnumKey(m_key, 0, buf, &size);
    if (m_result != 0) return false;
    name.assign(buf, size);
    return true;
}
