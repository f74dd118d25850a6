// An in-memory registry with the Reg* semantics the tool relies on: the
// registry of the native Linux build and of the bench.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ports.h"

namespace tessaro {

class MemoryRegistry : public IRegistry {
public:
    MemoryRegistry();
    ~MemoryRegistry() override;

    long Open(Key parent, const std::string& subKey, uint32_t access, Key* out) override;
    long Create(Key parent, const std::string& subKey, uint32_t access, Key* out,
                uint32_t* disposition) override;
    long QueryValue(Key key, const std::string& name, uint32_t* type, uint8_t* data, uint32_t* size) override;
    long SetValue(Key key, const std::string& name, uint32_t type, const uint8_t* data, uint32_t size) override;
    long QueryInfo(Key key, uint32_t* subKeys) override;
    long EnumKey(Key key, uint32_t index, char* name, uint32_t* size) override;
    long Close(Key key) override;

    // Seeding and inspection by full path such as
    // "HKEY_LOCAL_MACHINE\\SOFTWARE\\Varnellogic\\VX7100".
    void CreatePath(const std::string& path);
    void SetDword(const std::string& path, const std::string& name, uint32_t value);
    void SetString(const std::string& path, const std::string& name, const std::string& value);
    void DeletePath(const std::string& path);  // the key and everything below it
    bool KeyExists(const std::string& path) const;
    // False when the key or the value is missing.
    bool GetDword(const std::string& path, const std::string& name, uint32_t& value) const;
    bool GetString(const std::string& path, const std::string& name, std::string& value) const;
    // Fails every call whose key path (below its root) contains the text, with
    // the given error code (fault injection).
    void FailAccess(const std::string& pathPart, long error);

    struct Node;

private:
    Node* Resolve(Key key) const;
    Node* Walk(const std::string& path, bool create);

    mutable std::recursive_mutex m_mutex;
    std::unique_ptr<Node> m_roots;
    std::map<Key, Node*> m_open;
    Key m_next = 0x1000;
    std::vector<std::pair<std::string, long>> m_failures;
    std::vector<std::unique_ptr<Node>> m_graveyard;
};

}  // namespace tessaro
