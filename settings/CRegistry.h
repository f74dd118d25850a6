// A walker over the registry that keeps one open current key and the path
// that leads to it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ports.h"

class CRegistry {
public:
    explicit CRegistry(uint32_t access);
    ~CRegistry();
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    long OpenKey(tessaro::IRegistry::Key parent, const std::string& subKey, uint32_t access);
    bool SetPath(const std::string& path, uint32_t access);
    bool CreateKey(const std::string& name, uint32_t access);
    bool SetValue(const std::string& name, uint32_t type, const void* data);
    bool QueryValue(const std::string& name, uint32_t* type, uint8_t* buffer, uint32_t* size);
    bool GetFirstSubKey(std::string& name);

    const std::string& CurrentPath() const { return m_path; }
    uint32_t Disposition() const { return m_disposition; }
    long LastResult() const { return m_result; }
    tessaro::IRegistry::Key CurrentKey() const { return m_key; }

private:
    std::string m_path;
    uint32_t m_disposition = 0;
    long m_result = 0;
    tessaro::IRegistry::Key m_key = 0;
};
