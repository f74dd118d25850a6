// The ports of the native Linux build.  Where Linux has a real equivalent
// (files, processes, clock, standard streams, the hubs through libusb) it is
// used; the Windows-only parts stand still: there is no device list and no
// restart, and the registry lives in memory.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <thread>

#include "platform/debug_file.h"
#include "platform/error_text.h"
#include "platform/memory_registry.h"
#include "platform/native.h"
#include "platform/stdio_console.h"
#include "platform/os_version_text.h"
#include "platform/winconst.h"
#ifdef TESSARO_LIBUSB
#include "platform/linux/usb_driver.h"
#include "platform/linux/usb_sysfs.h"
#endif

extern char** environ;

namespace tessaro {
namespace {

class SteadyClock : public IClock {
public:
    void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    uint64_t NowMs() override {
        return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now().time_since_epoch())
                                         .count());
    }
};

class StderrDebugOutput : public IDebugOutput {
public:
    void Output(const char* text) override {
        std::fputs(text, stderr);
        std::fflush(stderr);
        AppendDebugLogFile(text);
    }
};

// Without a desktop to show boxes on, the caption and text go to standard
// error.  Questions are answered "No" so that nothing destructive happens
// unasked; everything else is acknowledged.
class StderrMessageBox : public IMessageBox {
public:
    int Show(const std::string& text, const std::string& caption, uint32_t style) override {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
        std::fflush(stderr);
        if ((style & 0xF) == win::kMbYesNo) return win::kIdNo;
        return win::kIdOk;
    }
};

class ConfiguredOsVersion : public IOsVersion {
public:
    bool GetVersionEx(OsVersionInfoEx* info) override {
        if (!info || info->dwOSVersionInfoSize < sizeof(OsVersionInfoEx)) {
            SetLastError(win::kErrInsufficientBuffer);
            return false;
        }
        std::string text = GetEnv("TESSARO_OS_VERSION");
        if (text.empty() || !ParseOsVersion(text, *info)) ParseOsVersion("6.2.9200", *info);
        return true;
    }
};

class NoDriver : public IDriver {
public:
    Handle Open(const std::string&) override {
        SetLastError(win::kErrFileNotFound);
        return kInvalidHandle;
    }
    bool IoControl(Handle, uint32_t, const void*, uint32_t, void*, uint32_t, uint32_t*) override {
        SetLastError(win::kErrInvalidHandle);
        return false;
    }
    void Close(Handle) override {}
};

class RandomGuid : public IGuid {
public:
    bool Create(Guid* out) override {
        uint8_t bytes[16];
        bool ok = false;
        if (std::FILE* f = std::fopen("/dev/urandom", "rb")) {
            ok = std::fread(bytes, 1, sizeof bytes, f) == sizeof bytes;
            std::fclose(f);
        }
        if (!ok) {
            std::random_device rd;
            for (uint8_t& b : bytes) b = static_cast<uint8_t>(rd());
        }
        // Version 4, variant 1, as the system's generator makes them.
        bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);
        bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);
        out->data1 = static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
                     static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
        out->data2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
        out->data3 = static_cast<uint16_t>(bytes[6] << 8 | bytes[7]);
        std::memcpy(out->data4, bytes + 8, 8);
        return true;
    }
};

class EmptyDeviceList : public IDeviceList {
public:
    List Open(const std::string&, bool) override { return 1; }
    bool Enum(List, uint32_t) override {
        SetLastError(win::kErrNoMoreItems);
        return false;
    }
    bool HardwareId(List, uint32_t, std::string&, uint32_t) override {
        SetLastError(win::kErrNoMoreItems);
        return false;
    }
    bool SetInstallParams(List, uint32_t, bool) override {
        SetLastError(win::kErrInvalidParameter);
        return false;
    }
    bool ChangeState(List, uint32_t) override {
        SetLastError(win::kErrInvalidParameter);
        return false;
    }
    void Close(List) override {}
};

// Splits a Windows command-line parameter text into words: blanks separate,
// double quotes group (and are removed).
std::vector<std::string> SplitParameters(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (any) words.push_back(word);
            word.clear();
            any = false;
        } else {
            word.push_back(c);
            any = true;
        }
    }
    if (any) words.push_back(word);
    return words;
}

class PosixProcess : public IProcess {
public:
    bool ShellExecute(const ShellStart& start, intptr_t* instApp, Proc* proc) override {
        if (proc) *proc = 0;
        IFileSystem* files = Sys().files;
        std::string file = files ? files->NativePath(start.file) : start.file;
        std::vector<std::string> words = SplitParameters(start.parameters);
        if (files) {
            for (std::string& w : words) {
                if (w.find('\\') != std::string::npos) w = files->NativePath(w);
            }
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(file.c_str()));
        for (std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (start.show == win::kSwHide) {
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        }
        std::string dir = start.directory.empty() || !files ? start.directory : files->NativePath(start.directory);
        // The child starts in its working folder; the tool's own stays.
        if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
        pid_t pid = 0;
        int rc = posix_spawnp(&pid, file.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            SetLastError(Win32ErrorFromErrno(rc));
            if (instApp) *instApp = 2;  // SE_ERR_FNF
            return false;
        }
        if (instApp) *instApp = 42;
        if (proc && (start.mask & win::kSeeMaskNoCloseProcess)) {
            *proc = static_cast<Proc>(pid);
        }
        return true;
    }

    int Wait(Proc proc, uint32_t timeoutMs, bool) override {
        pid_t pid = static_cast<pid_t>(proc);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            auto it = m_exit.find(pid);
            if (it != m_exit.end()) return 0;
            int status = 0;
            pid_t r = waitpid(pid, &status, WNOHANG);
            if (r == pid) {
                m_exit[pid] = WIFEXITED(status) ? static_cast<uint32_t>(WEXITSTATUS(status)) : 1u;
                return 0;
            }
            if (r < 0) {
                SetLastError(Win32ErrorFromErrno(errno));
                return -1;
            }
            if (timeoutMs != 0xFFFFFFFFu && std::chrono::steady_clock::now() >= deadline) return 1;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    bool ExitCode(Proc proc, uint32_t* code) override {
        auto it = m_exit.find(static_cast<pid_t>(proc));
        if (it == m_exit.end()) return false;
        *code = it->second;
        return true;
    }

    void CloseProcess(Proc proc) override { m_exit.erase(static_cast<pid_t>(proc)); }

    std::string SystemDirectory() override { return "/usr/bin"; }

private:
    std::map<pid_t, uint32_t> m_exit;
};

class NoShutdown : public IShutdown {
public:
    bool AdjustShutdownPrivilege(bool) override {
        SetLastError(win::kErrPrivilegeNotHeld);
        return false;
    }
    bool InitiateShutdown(const char*, uint32_t, bool, bool) override {
        SetLastError(win::kErrPrivilegeNotHeld);
        return false;
    }
};

class XdgShell : public IShell {
public:
    bool DesktopFolder(std::string& path) override {
        std::string desktop = GetEnv("XDG_DESKTOP_DIR");
        if (desktop.empty()) {
            std::string home = GetEnv("HOME");
            if (home.empty()) {
                SetLastError(win::kErrPathNotFound);
                return false;
            }
            desktop = home + "/Desktop";
        }
        path = desktop;
        return true;
    }
};

class StdioConsole : public IConsole {
public:
    void Open() override {}
    void AttachParent() override {}
    void Write(const std::string& text) override { StdoutWrite(text); }
    int ReadChar(bool skipWhite) override { return StdinReadChar(skipWhite); }
};

class TableErrorText : public IErrorText {
public:
    std::string Text(uint32_t code) override { return WindowsErrorText(code); }
};

}  // namespace

std::unique_ptr<IDebugOutput> MakeDebugOutput() { return std::make_unique<StderrDebugOutput>(); }

std::unique_ptr<IIni> MakeIniReader() { return MakePortableIniReader(); }

System& NativeSystem() {
    static SteadyClock clock;
    static std::unique_ptr<IDebugOutput> debug = MakeDebugOutput();
    static std::unique_ptr<IFileSystem> files = MakeFileSystem(FileSystemOptions{});
    static std::unique_ptr<IIni> ini = MakeIniReader();
#ifdef TESSARO_LIBUSB
    // The hubs' selective suspend values and their disable and enable reach
    // sysfs; everything else of the registry stays in memory.
    static MemoryRegistry memoryRegistry;
    static std::unique_ptr<IRegistry> sysfsRegistry = MakeSysfsPowerRegistry(memoryRegistry);
    static IRegistry& registry = *sysfsRegistry;
    static std::unique_ptr<IDeviceList> sysfsDevices = MakeSysfsDeviceList();
    static IDeviceList& devices = *sysfsDevices;
#else
    static MemoryRegistry registry;
    static EmptyDeviceList emptyDevices;
    static IDeviceList& devices = emptyDevices;
#endif
    static StderrMessageBox box;
    static ConfiguredOsVersion os;
#ifdef TESSARO_LIBUSB
    static std::unique_ptr<IDriver> usb = MakeLibusbDriver();
    static IDriver& driver = *usb;
#else
    static NoDriver noDriver;
    static IDriver& driver = noDriver;
#endif
    static RandomGuid guid;
    static PosixProcess process;
    static NoShutdown shutdown;
    static XdgShell shell;
    static StdioConsole console;
    static TableErrorText errors;
    static System system{&clock,   debug.get(), files.get(), ini.get(), &registry, &box,      &os,
                         &driver,  &guid,       &devices,    &process,  &shutdown, &shell,    &console,
                         &errors};
    return system;
}

}  // namespace tessaro
