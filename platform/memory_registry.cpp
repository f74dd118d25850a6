#include "platform/memory_registry.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/winconst.h"

namespace tessaro {

namespace {

std::string Lower(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

constexpr long kErrBadPathname = 161;
constexpr long kErrKeyDeleted = 1018;

struct RootName {
    uintptr_t key;
    const char* name;
};
const RootName kRoots[] = {
    {win::kHkeyLocalMachine, "HKEY_LOCAL_MACHINE"}, {win::kHkeyClassesRoot, "HKEY_CLASSES_ROOT"},
    {win::kHkeyCurrentConfig, "HKEY_CURRENT_CONFIG"}, {win::kHkeyCurrentUser, "HKEY_CURRENT_USER"},
    {win::kHkeyUsers, "HKEY_USERS"},
};

}  // namespace

struct MemoryRegistry::Node {
    std::string name;
    std::string path;  // full path from the root name
    bool deleted = false;
    // Subkeys sorted by lower-cased name, as the registry enumerates them.
    std::map<std::string, std::unique_ptr<Node>> children;
    struct Value {
        uint32_t type = 0;
        std::vector<uint8_t> data;
    };
    std::map<std::string, std::pair<std::string, Value>> values;  // lower-cased name -> (name, value)
};

MemoryRegistry::MemoryRegistry() : m_roots(std::make_unique<Node>()) {
    for (const RootName& r : kRoots) {
        auto node = std::make_unique<Node>();
        node->name = r.name;
        node->path = r.name;
        m_open[r.key] = node.get();
        m_roots->children[Lower(r.name)] = std::move(node);
    }
}

MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::Node* MemoryRegistry::Resolve(Key key) const {
    auto it = m_open.find(key);
    if (it == m_open.end() || it->second->deleted) return nullptr;
    return it->second;
}

MemoryRegistry::Node* MemoryRegistry::Walk(const std::string& path, bool create) {
    std::vector<std::string> parts = SplitPath(path);
    if (parts.empty()) return nullptr;
    auto rootIt = m_roots->children.find(Lower(parts[0]));
    if (rootIt == m_roots->children.end()) return nullptr;
    Node* node = rootIt->second.get();
    for (size_t i = 1; i < parts.size(); ++i) {
        auto it = node->children.find(Lower(parts[i]));
        if (it == node->children.end()) {
            if (!create) return nullptr;
            auto child = std::make_unique<Node>();
            child->name = parts[i];
            child->path = node->path + "\\" + parts[i];
            Node* raw = child.get();
            node->children[Lower(parts[i])] = std::move(child);
            node = raw;
        } else {
            node = it->second.get();
        }
    }
    return node;
}

long MemoryRegistry::Open(Key parent, const std::string& subKey, uint32_t, Key* out) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Node* base = Resolve(parent);
    if (!base) return parent ? kErrKeyDeleted : win::kErrInvalidHandle;
    if (!subKey.empty() && subKey[0] == '\\') return kErrBadPathname;
    Node* node = subKey.empty() ? base : Walk(base->path + "\\" + subKey, false);
    if (!node) return win::kErrFileNotFound;
    for (const auto& f : m_failures) {
        if (Lower(node->path).find(Lower(f.first)) != std::string::npos) return f.second;
    }
    Key key = m_next++;
    m_open[key] = node;
    if (out) *out = key;
    return win::kErrSuccess;
}

long MemoryRegistry::Create(Key parent, const std::string& subKey, uint32_t, Key* out, uint32_t* disposition) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Node* base = Resolve(parent);
    if (!base) return win::kErrInvalidHandle;
    if (!subKey.empty() && subKey[0] == '\\') return kErrBadPathname;
    for (const auto& f : m_failures) {
        if (Lower(base->path + "\\" + subKey).find(Lower(f.first)) != std::string::npos) return f.second;
    }
    Node* existing = subKey.empty() ? base : Walk(base->path + "\\" + subKey, false);
    Node* node = existing ? existing : Walk(base->path + "\\" + subKey, true);
    if (disposition) *disposition = existing ? win::kRegOpenedExistingKey : win::kRegCreatedNewKey;
    Key key = m_next++;
    m_open[key] = node;
    if (out) *out = key;
    return win::kErrSuccess;
}

long MemoryRegistry::QueryValue(Key key, const std::string& name, uint32_t* type, uint8_t* data,
                                uint32_t* size) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Node* node = Resolve(key);
    if (!node) return win::kErrInvalidHandle;
    auto it = node->values.find(Lower(name));
    if (it == node->values.end()) return win::kErrFileNotFound;
    const Node::Value& v = it->second.second;
    if (type) *type = v.type;
    uint32_t needed = static_cast<uint32_t>(v.data.size());
    if (!data) {
        if (size) *size = needed;
        return win::kErrSuccess;
    }
    if (!size) return win::kErrInvalidParameter;
    if (*size < needed) {
        *size = needed;
        return win::kErrMoreData;
    }
    if (needed) std::memcpy(data, v.data.data(), needed);
    *size = needed;
    return win::kErrSuccess;
}

long MemoryRegistry::SetValue(Key key, const std::string& name, uint32_t type, const uint8_t* data,
                              uint32_t size) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Node* node = Resolve(key);
    if (!node) return win::kErrInvalidHandle;
    for (const auto& f : m_failures) {
        if (Lower(node->path).find(Lower(f.first)) != std::string::npos) return f.second;
    }
    Node::Value v;
    v.type = type;
    if (data && size) v.data.assign(data, data + size);
    node->values[Lower(name)] = {name, v};
    return win::kErrSuccess;
}

long MemoryRegistry::QueryInfo(Key key, uint32_t* subKeys) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Node* node = Resolve(key);
    if (!node) return win::kErrInvalidHandle;
    if (subKeys) *subKeys = static_cast<uint32_t>(node->children.size());
    return win::kErrSuccess;
}

long MemoryRegistry::EnumKey(Key key, uint32_t index, char* name, uint32_t* size) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Node* node = Resolve(key);
    if (!node) return win::kErrInvalidHandle;
    if (index >= node->children.size()) return win::kErrNoMoreItems;
    auto it = node->children.begin();
    std::advance(it, index);
    const std::string& child = it->second->name;
    if (!name || !size) return win::kErrInvalidParameter;
    if (*size <= child.size()) return win::kErrMoreData;
    std::memcpy(name, child.c_str(), child.size() + 1);
    *size = static_cast<uint32_t>(child.size());
    return win::kErrSuccess;
}

long MemoryRegistry::Close(Key key) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    for (const RootName& r : kRoots) {
        if (r.key == key) return win::kErrSuccess;
    }
    auto it = m_open.find(key);
    if (it == m_open.end()) return win::kErrInvalidHandle;
    m_open.erase(it);
    return win::kErrSuccess;
}

void MemoryRegistry::CreatePath(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Walk(path, true);
}

void MemoryRegistry::SetDword(const std::string& path, const std::string& name, uint32_t value) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Node* node = Walk(path, true);
    if (!node) return;
    Node::Value v;
    v.type = win::kRegDword;
    v.data.resize(4);
    std::memcpy(v.data.data(), &value, 4);
    node->values[Lower(name)] = {name, v};
}

void MemoryRegistry::SetString(const std::string& path, const std::string& name, const std::string& value) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Node* node = Walk(path, true);
    if (!node) return;
    Node::Value v;
    v.type = win::kRegSz;
    v.data.assign(value.begin(), value.end());
    v.data.push_back(0);
    node->values[Lower(name)] = {name, v};
}

void MemoryRegistry::DeletePath(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::vector<std::string> parts = SplitPath(path);
    if (parts.size() < 2) return;
    std::string parentPath;
    for (size_t i = 0; i + 1 < parts.size(); ++i) parentPath += (i ? "\\" : "") + parts[i];
    Node* parent = Walk(parentPath, false);
    if (!parent) return;
    auto it = parent->children.find(Lower(parts.back()));
    if (it == parent->children.end()) return;
    // Handles that still point into the deleted branch see it as deleted;
    // the nodes are kept until the registry goes so those handles stay safe.
    std::vector<Node*> stack{it->second.get()};
    while (!stack.empty()) {
        Node* n = stack.back();
        stack.pop_back();
        n->deleted = true;
        for (auto& c : n->children) stack.push_back(c.second.get());
    }
    m_graveyard.push_back(std::move(it->second));
    parent->children.erase(it);
}

bool MemoryRegistry::KeyExists(const std::string& path) const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return const_cast<MemoryRegistry*>(this)->Walk(path, false) != nullptr;
}

bool MemoryRegistry::GetDword(const std::string& path, const std::string& name, uint32_t& value) const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Node* node = const_cast<MemoryRegistry*>(this)->Walk(path, false);
    if (!node) return false;
    auto it = node->values.find(Lower(name));
    if (it == node->values.end() || it->second.second.data.size() < 4) return false;
    std::memcpy(&value, it->second.second.data.data(), 4);
    return true;
}

bool MemoryRegistry::GetString(const std::string& path, const std::string& name, std::string& value) const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Node* node = const_cast<MemoryRegistry*>(this)->Walk(path, false);
    if (!node) return false;
    auto it = node->values.find(Lower(name));
    if (it == node->values.end()) return false;
    const std::vector<uint8_t>& d = it->second.second.data;
    value.assign(d.begin(), d.end());
    while (!value.empty() && value.back() == '\0') value.pop_back();
    return true;
}

void MemoryRegistry::FailAccess(const std::string& pathPart, long error) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_failures.emplace_back(pathPart, error);
}

}  // namespace tessaro
