// A private little PC for one test: its own program, desktop and drive C
// folders under a temporary root, a virtual clock, recorded message boxes and
// debugger output, an in-memory registry and a configured Windows version,
// installed as the ports in force for the test's lifetime.  Nothing of the
// developer's machine (desktop, registry, drive C) is touched.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/memory_registry.h"
#include "platform/native.h"
#include "platform/ports.h"
#include "platform/virtual_clock.h"

namespace tessaro {
namespace test {

// Message boxes as a user would see them, answered from a queue (OK, or the
// default answer when the queue is empty).
class RecordingBox : public IMessageBox {
public:
    struct Shown {
        std::string text;
        std::string caption;
        uint32_t style;
    };
    int Show(const std::string& text, const std::string& caption, uint32_t style) override;
    void Answer(int id);          // next answer
    void DefaultAnswer(int id);   // once the queue is empty (OK at start)
    std::vector<Shown> Boxes() const;
    std::vector<std::string> Texts() const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::vector<Shown> m_shown;
    std::deque<int> m_answers;
    int m_default = 1;
};

// Debugger output, kept for assertions.
class CapturedDebug : public IDebugOutput {
public:
    void Output(const char* text) override;
    std::string All() const;
    // The lines without their CR LF.
    std::vector<std::string> Lines() const;
    bool Contains(const std::string& text) const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::string m_all;
};

class FixedOsVersion : public IOsVersion {
public:
    bool GetVersionEx(OsVersionInfoEx* info) override;
    void Set(uint32_t major, uint32_t minor, uint16_t servicePack = 0, uint32_t build = 0);
    void Fail(bool fail) { m_fail = fail; }

private:
    uint32_t m_major = 6, m_minor = 2, m_build = 9200;
    uint16_t m_sp = 0;
    bool m_fail = false;
};

class FixedDesktop : public IShell {
public:
    explicit FixedDesktop(std::string folder) : m_folder(std::move(folder)) {}
    bool DesktopFolder(std::string& path) override;
    void Fail(bool fail) { m_fail = fail; }

private:
    std::string m_folder;
    bool m_fail = false;
};

// The console of the console mode: output kept, input from a script.
class ScriptedConsole : public IConsole {
public:
    void Open() override { m_opened++; }
    void AttachParent() override { m_attached++; }
    void Write(const std::string& text) override;
    int ReadChar(bool skipWhite) override;
    void Input(const std::string& text);
    std::string Output() const;
    // A fresh console: no output, no input left, nothing opened.
    void Reset();
    int Opened() const { return m_opened; }
    int Attached() const { return m_attached; }

private:
    mutable std::mutex m_mutex;
    std::string m_output;
    std::string m_input;
    size_t m_read = 0;
    int m_opened = 0;
    int m_attached = 0;
};

class TestSystem {
public:
    // moduleName: the program's file name inside the program folder.
    explicit TestSystem(const std::string& moduleName = "Tessaro.exe");
    ~TestSystem();
    TestSystem(const TestSystem&) = delete;
    TestSystem& operator=(const TestSystem&) = delete;

    // Folders in the tool's form, with a trailing separator.
    std::string Root() const { return m_root; }
    std::string ProgramFolder() const;  // where the program and its INI lie
    std::string DesktopFolder() const;
    std::string DriveC() const;
    // Writes a file below the root (relative path with '/').
    void WriteFile(const std::string& relative, const std::string& content);
    void WriteFile(const std::string& relative, const std::vector<uint8_t>& content);
    bool ReadFile(const std::string& relative, std::vector<uint8_t>& content) const;
    std::string ReadText(const std::string& relative) const;
    bool Exists(const std::string& relative) const;
    void Remove(const std::string& relative);
    // The INI file beside the program ("program/tessaro.ini").
    void WriteIni(const std::string& text);
    // Native path of a relative path below the root.
    std::string Native(const std::string& relative) const;

    VirtualClock clock;
    RecordingBox box;
    CapturedDebug debug;
    MemoryRegistry registry;
    FixedOsVersion os;
    ScriptedConsole console;
    std::unique_ptr<FixedDesktop> desktop;
    std::unique_ptr<IFileSystem> files;
    std::unique_ptr<IIni> ini;

    // The ports of this system; extra ones (a bench's driver, ...) can be
    // put in with Install.
    System Ports();
    void Install(const System& extra);

private:
    std::string m_root;
    std::unique_ptr<ScopedSystem> m_scope;
};

// A fresh empty temporary folder (native path, no trailing separator).
std::string MakeTempFolder(const std::string& prefix);
void RemoveTree(const std::string& native);

}  // namespace test
}  // namespace tessaro
