// Shared fixture of the file tests: a private test system with the
// diagnostic log switched on, and a file port that can hold files in memory
// and make chosen reads or writes fail the way a full disk or a vanishing
// file does.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/ports.h"
#include "platform/winconst.h"
#include "support/test_system.h"

namespace filetest {

// Files in memory take precedence over the real ones of the test system;
// failures are injected per path.
class FaultyFiles : public tessaro::IFileSystem {
public:
    explicit FaultyFiles(tessaro::IFileSystem* real) : m_real(real) {}

    std::string ModuleFileName() override { return m_real->ModuleFileName(); }
    std::vector<std::string> Find(const std::string& pattern) override {
        if (findNothing) return {};
        return m_real->Find(pattern);
    }
    bool Exists(const std::string& path) override { return m_memory.count(path) || m_real->Exists(path); }
    bool ReadAll(const std::string& path, std::vector<uint8_t>& out, uint32_t& error) override {
        ++reads;
        auto fail = m_readFailures.find(path);
        if (fail != m_readFailures.end()) {
            out.clear();
            error = fail->second;
            return false;
        }
        auto it = m_memory.find(path);
        if (it != m_memory.end()) {
            out = it->second;
            error = 0;
            return true;
        }
        return m_real->ReadAll(path, out, error);
    }
    bool WriteAll(const std::string& path, const void* data, size_t size, uint32_t& error) override {
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        auto fail = m_writeFailures.find(path);
        if (fail != m_writeFailures.end()) {
            // What reached the disk before the failure stays, as the system leaves it.
            if (fail->second.keep >= 0)
                m_memory[path].assign(bytes, bytes + std::min(size, static_cast<size_t>(fail->second.keep)));
            error = fail->second.error;
            return false;
        }
        m_memory[path].assign(bytes, bytes + size);
        error = 0;
        return true;
    }
    bool Delete(const std::string& path, uint32_t& error) override {
        if (m_memory.erase(path)) return true;
        return m_real->Delete(path, error);
    }
    bool Rename(const std::string& from, const std::string& to, uint32_t& error) override {
        auto fail = m_renameFailures.find(to);
        if (fail != m_renameFailures.end()) {
            error = fail->second;
            return false;
        }
        auto it = m_memory.find(from);
        if (it == m_memory.end()) return m_real->Rename(from, to, error);
        std::vector<uint8_t> bytes = std::move(it->second);
        m_memory.erase(it);
        m_memory[to] = std::move(bytes);
        error = 0;
        return true;
    }
    std::string NativePath(const std::string& path) override { return m_real->NativePath(path); }

    void Put(const std::string& path, std::vector<uint8_t> bytes) { m_memory[path] = std::move(bytes); }
    const std::vector<uint8_t>* Get(const std::string& path) const {
        auto it = m_memory.find(path);
        return it == m_memory.end() ? nullptr : &it->second;
    }
    void FailRead(const std::string& path, uint32_t error) { m_readFailures[path] = error; }
    // Writes of path fail with error.  keep -1: the file cannot even be
    // created; otherwise the first keep bytes reach it before the failure (a
    // disk filling up mid-write; all of them: a failing close).
    void FailWrite(const std::string& path, uint32_t error, long keep = -1) { m_writeFailures[path] = {error, keep}; }
    // Renames onto path fail with error.
    void FailRename(const std::string& path, uint32_t error) { m_renameFailures[path] = error; }

    int reads = 0;
    bool findNothing = false;  // no directory search finds anything (not even the INI file)

private:
    tessaro::IFileSystem* m_real;
    std::map<std::string, std::vector<uint8_t>> m_memory;
    std::map<std::string, uint32_t> m_readFailures;
    struct WriteFault {
        uint32_t error;
        long keep;
    };
    std::map<std::string, WriteFault> m_writeFailures;
    std::map<std::string, uint32_t> m_renameFailures;
};

class FixedErrorText : public tessaro::IErrorText {
public:
    std::string Text(uint32_t code) override {
        if (code == tessaro::win::kErrDiskFull) return "There is not enough space on the disk.\r\n";
        if (code == tessaro::win::kErrHandleEof) return "Reached the end of the file.\r\n";
        if (code == tessaro::win::kErrFileNotFound) return "The system cannot find the file specified.\r\n";
        return std::string();
    }
};

class FilesTest : public ::testing::Test {
protected:
    FilesTest() : faulty(sys.files.get()) {
        sys.WriteIni("[VX7100]\nDbgMode=1\n");
        tessaro::System extra;
        extra.files = &faulty;
        extra.errors = &errors;
        sys.Install(extra);
    }

    // A path in the program folder, in the form the tool builds.
    std::string Program(const std::string& name) const { return sys.ProgramFolder() + name; }
    void WriteProgramFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        sys.WriteFile("program/" + name, bytes);
    }
    bool Logged(const std::string& text) const { return sys.debug.Contains(text); }

    tessaro::test::TestSystem sys;
    FaultyFiles faulty;
    FixedErrorText errors;
};

// Image helpers.
inline std::vector<uint8_t> Filled(size_t size, uint8_t value = 0xFF) { return std::vector<uint8_t>(size, value); }
inline void PutText(std::vector<uint8_t>& image, size_t offset, const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) image.at(offset + i) = static_cast<uint8_t>(text[i]);
}

}  // namespace filetest
