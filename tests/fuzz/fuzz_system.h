// The small system the fuzz targets run in: a virtual clock, debugger output
// that is thrown away, message boxes answered OK at once, files held in
// memory, and an INI reader over a fixed table.  Nothing of the machine the
// fuzzer runs on is touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ports.h"
#include "platform/virtual_clock.h"

namespace fuzz {

// Files by their full path in the tool's form ("C:\\tool\\a.bin"); Find
// matches "folder\\*.ext" patterns against them.
class MemoryFiles : public tessaro::IFileSystem {
public:
    std::string ModuleFileName() override { return "C:\\tool\\Tessaro.exe"; }
    std::vector<std::string> Find(const std::string& pattern) override;
    bool Exists(const std::string& path) override { return m_files.count(path) != 0; }
    bool ReadAll(const std::string& path, std::vector<uint8_t>& out, uint32_t& error) override;
    bool WriteAll(const std::string& path, const void* data, size_t size, uint32_t& error) override;
    bool Delete(const std::string& path, uint32_t& error) override;
    bool Rename(const std::string& from, const std::string& to, uint32_t& error) override;
    std::string NativePath(const std::string& path) override { return path; }

    void Put(const std::string& path, const uint8_t* data, size_t size) { m_files[path].assign(data, data + size); }

private:
    std::map<std::string, std::vector<uint8_t>> m_files;
};

// Keys and section lines given by the target; every other read is empty.
class TableIni : public tessaro::IIni {
public:
    uint32_t GetString(const char* section, const char* key, const char* def, char* buf, uint32_t size,
                       const char* file) override;
    uint32_t GetSection(const char* section, char* buf, uint32_t size, const char* file) override;

    void Set(const std::string& section, const std::string& key, const std::string& value);
    void AddLine(const std::string& section, const std::string& line);

private:
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> m_keys;
    std::map<std::string, std::vector<std::string>> m_lines;
};

// The ports above installed for the lifetime of the object, with the INI
// file "C:\\tool\\tessaro.ini" present so that the readers use the table.
class FuzzSystem {
public:
    FuzzSystem();
    ~FuzzSystem();
    FuzzSystem(const FuzzSystem&) = delete;
    FuzzSystem& operator=(const FuzzSystem&) = delete;

    // Installs extra ports (a driver, ...) over the base set.
    void Install(const tessaro::System& extra);

    tessaro::VirtualClock clock;
    MemoryFiles files;
    TableIni ini;

private:
    class Sink;
    class OkBox;
    std::unique_ptr<Sink> m_debug;
    std::unique_ptr<OkBox> m_box;
    std::unique_ptr<tessaro::ScopedSystem> m_scope;
};

// Reads the fuzzer's bytes front to back; past the end every read is zero.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint8_t U8() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint16_t U16() { return static_cast<uint16_t>(U8() | U8() << 8); }
    uint32_t U32() { return static_cast<uint32_t>(U16()) | static_cast<uint32_t>(U16()) << 16; }
    // Up to n bytes (fewer at the end).
    std::vector<uint8_t> Take(size_t n);
    std::vector<uint8_t> Rest() { return Take(m_size - m_pos); }
    bool Empty() const { return m_pos >= m_size; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

}  // namespace fuzz
