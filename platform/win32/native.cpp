// The ports of the Windows build: the real system calls.
#include <windows.h>
#include <objbase.h>
#include <setupapi.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstddef>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/debug_file.h"
#include "platform/native.h"
#include "platform/stdio_console.h"
#include "platform/win32/clock.h"
#include "platform/winconst.h"

namespace tessaro {

// The mirrored constants must agree with the system's.
static_assert(win::kErrNoMoreItems == ERROR_NO_MORE_ITEMS, "error code");
static_assert(win::kErrInsufficientBuffer == ERROR_INSUFFICIENT_BUFFER, "error code");
static_assert(win::kErrDeviceNotConnected == ERROR_DEVICE_NOT_CONNECTED, "error code");
static_assert(win::kErrMoreData == ERROR_MORE_DATA, "error code");
static_assert(win::kMbSystemModal == MB_SYSTEMMODAL, "style");
static_assert(win::kMbIconError == MB_ICONERROR, "style");
static_assert(win::kMbIconInformation == MB_ICONINFORMATION, "style");
static_assert(win::kMbIconWarning == MB_ICONWARNING, "style");
static_assert(win::kMbYesNo == MB_YESNO, "style");
static_assert(win::kIdYes == IDYES && win::kIdNo == IDNO && win::kIdOk == IDOK, "answers");
static_assert(win::kKeyAllAccess == KEY_ALL_ACCESS, "access");
static_assert(win::kRegDword == REG_DWORD && win::kRegSz == REG_SZ, "types");
static_assert(win::kSeeMaskNoCloseProcess == SEE_MASK_NOCLOSEPROCESS, "mask");
static_assert(win::kSeeMaskFlagDdeWait == SEE_MASK_FLAG_DDEWAIT, "mask");
static_assert(win::kCsidlDesktopDirectory == CSIDL_DESKTOPDIRECTORY, "folder");
static_assert(sizeof(OsVersionInfoEx) == sizeof(OSVERSIONINFOEXA), "version record");
static_assert(offsetof(OsVersionInfoEx, wServicePackMajor) == offsetof(OSVERSIONINFOEXA, wServicePackMajor),
              "version record");
static_assert(sizeof(Guid) == sizeof(GUID), "GUID");

namespace {

// The folder of this program's own file, with its trailing backslash.
std::string RealProgramFolder() {
    char buf[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    std::string path(buf, n);
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The debug log file is named by an environment variable that any program of
// the user can set, while the tool runs as administrator: it is only a bare
// name, kept in the real program folder (not the bench's).
class Win32DebugOutput : public IDebugOutput {
public:
    void Output(const char* text) override {
        OutputDebugStringA(text);
        static const std::string folder = RealProgramFolder();
        if (folder.empty()) return;
        const std::string refusal = AppendDebugLogFile(text, DebugLogNames::BareNameInFolder, folder);
        if (!refusal.empty()) {
            OutputDebugStringA(refusal.c_str());
            std::fputs(refusal.c_str(), stderr);
            std::fflush(stderr);
        }
    }
};

class Win32Ini : public IIni {
public:
    uint32_t GetString(const char* section, const char* key, const char* def, char* buf, uint32_t size,
                       const char* file) override {
        std::string path = Sys().files ? Sys().files->NativePath(file) : std::string(file);
        return GetPrivateProfileStringA(section, key, def, buf, size, path.c_str());
    }
    uint32_t GetSection(const char* section, char* buf, uint32_t size, const char* file) override {
        std::string path = Sys().files ? Sys().files->NativePath(file) : std::string(file);
        return GetPrivateProfileSectionA(section, buf, size, path.c_str());
    }
};

HKEY ToHkey(IRegistry::Key key) {
    switch (key) {
        case win::kHkeyClassesRoot: return HKEY_CLASSES_ROOT;
        case win::kHkeyCurrentUser: return HKEY_CURRENT_USER;
        case win::kHkeyLocalMachine: return HKEY_LOCAL_MACHINE;
        case win::kHkeyUsers: return HKEY_USERS;
        case win::kHkeyPerformanceData: return HKEY_PERFORMANCE_DATA;
        case win::kHkeyCurrentConfig: return HKEY_CURRENT_CONFIG;
        case win::kHkeyDynData: return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000006)));
        default: return reinterpret_cast<HKEY>(key);
    }
}

class Win32Registry : public IRegistry {
public:
    long Open(Key parent, const std::string& subKey, uint32_t access, Key* out) override {
        HKEY h = nullptr;
        LONG rc = RegOpenKeyExA(ToHkey(parent), subKey.c_str(), 0, access, &h);
        if (rc == ERROR_SUCCESS && out) *out = reinterpret_cast<Key>(h);
        return rc;
    }
    long Create(Key parent, const std::string& subKey, uint32_t access, Key* out, uint32_t* disposition) override {
        HKEY h = nullptr;
        DWORD disp = 0;
        LONG rc = RegCreateKeyExA(ToHkey(parent), subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                  nullptr, &h, &disp);
        if (rc == ERROR_SUCCESS) {
            if (out) *out = reinterpret_cast<Key>(h);
            if (disposition) *disposition = disp;
        }
        return rc;
    }
    long QueryValue(Key key, const std::string& name, uint32_t* type, uint8_t* data, uint32_t* size) override {
        DWORD t = 0, s = size ? *size : 0;
        LONG rc = RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &t, data, size ? &s : nullptr);
        if (type) *type = t;
        if (size) *size = s;
        return rc;
    }
    long SetValue(Key key, const std::string& name, uint32_t type, const uint8_t* data, uint32_t size) override {
        return RegSetValueExA(ToHkey(key), name.c_str(), 0, type, data, size);
    }
    long QueryInfo(Key key, uint32_t* subKeys) override {
        DWORD n = 0;
        LONG rc = RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr);
        if (subKeys) *subKeys = n;
        return rc;
    }
    long EnumKey(Key key, uint32_t index, char* name, uint32_t* size) override {
        DWORD s = size ? *size : 0;
        LONG rc = RegEnumKeyExA(ToHkey(key), index, name, &s, nullptr, nullptr, nullptr, nullptr);
        if (size) *size = s;
        return rc;
    }
    long Close(Key key) override { return RegCloseKey(ToHkey(key)); }
};

class Win32MessageBox : public IMessageBox {
public:
    int Show(const std::string& text, const std::string& caption, uint32_t style) override {
        return MessageBoxA(nullptr, text.c_str(), caption.c_str(), style);
    }
};

class Win32OsVersion : public IOsVersion {
public:
    bool GetVersionEx(OsVersionInfoEx* info) override {
        return ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(info)) != FALSE;
    }
};

// The filter driver's device is opened for overlapped I/O, so a request it
// leaves pending is waited for here: the caller always sees a completed
// request.
class Win32Driver : public IDriver {
public:
    Handle Open(const std::string& name) override {
        HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (h == INVALID_HANDLE_VALUE) return kInvalidHandle;
        return reinterpret_cast<Handle>(h);
    }
    bool IoControl(Handle h, uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                   uint32_t* returned) override {
        OVERLAPPED ov = {};
        ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!ov.hEvent) return false;
        DWORD got = 0;
        HANDLE device = reinterpret_cast<HANDLE>(h);
        BOOL ok = DeviceIoControl(device, code, const_cast<void*>(in), inSize, out, outSize, &got, &ov);
        DWORD err = ok ? ERROR_SUCCESS : GetLastError();
        if (!ok && err == ERROR_IO_PENDING) {
            ok = GetOverlappedResult(device, &ov, &got, TRUE);
            err = ok ? ERROR_SUCCESS : GetLastError();
        }
        CloseHandle(ov.hEvent);
        if (returned) *returned = got;
        ::SetLastError(err);
        return ok != FALSE;
    }
    void Close(Handle h) override { CloseHandle(reinterpret_cast<HANDLE>(h)); }
};

class Win32Guid : public IGuid {
public:
    bool Create(Guid* out) override { return SUCCEEDED(CoCreateGuid(reinterpret_cast<GUID*>(out))); }
};

// The devices of a setup class, gathered from every class GUID of its name.
class Win32DeviceList : public IDeviceList {
public:
    List Open(const std::string& className, bool presentOnly) override {
        GUID guids[8];
        DWORD required = 0;
        if (!SetupDiClassGuidsFromNameA(className.c_str(), guids, 8, &required)) return 0;
        auto list = std::make_unique<Lists>();
        for (DWORD g = 0; g < required && g < 8; ++g) {
            HDEVINFO set = SetupDiGetClassDevsA(&guids[g], nullptr, nullptr,
                                                presentOnly ? DIGCF_PRESENT : DIGCF_ALLCLASSES);
            if (set == INVALID_HANDLE_VALUE) continue;
            list->sets.push_back(set);
            for (DWORD i = 0;; ++i) {
                SP_DEVINFO_DATA data;
                data.cbSize = sizeof data;
                if (!SetupDiEnumDeviceInfo(set, i, &data)) break;
                list->devices.push_back({set, data});
            }
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        List id = ++m_next;
        m_lists[id] = std::move(list);
        return id;
    }
    bool Enum(List list, uint32_t index) override {
        Lists* l = Find(list);
        if (!l || index >= l->devices.size()) {
            ::SetLastError(ERROR_NO_MORE_ITEMS);
            return false;
        }
        return true;
    }
    bool HardwareId(List list, uint32_t index, std::string& id, uint32_t maxBytes) override {
        Lists* l = Find(list);
        if (!l || index >= l->devices.size()) {
            ::SetLastError(ERROR_NO_MORE_ITEMS);
            return false;
        }
        std::vector<char> buf(maxBytes + 2, 0);
        if (!SetupDiGetDeviceRegistryPropertyA(l->devices[index].set, &l->devices[index].data, SPDRP_HARDWAREID,
                                               nullptr, reinterpret_cast<PBYTE>(buf.data()), maxBytes, nullptr))
            return false;
        buf[maxBytes - 1] = '\0';
        id = buf.data();
        return true;
    }
    bool SetInstallParams(List list, uint32_t index, bool enable) override {
        Lists* l = Find(list);
        if (!l || index >= l->devices.size()) return false;
        SP_PROPCHANGE_PARAMS params = {};
        params.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
        params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
        params.StateChange = enable ? DICS_ENABLE : DICS_DISABLE;
        params.Scope = DICS_FLAG_CONFIGSPECIFIC;
        params.HwProfile = 0;
        return SetupDiSetClassInstallParamsA(l->devices[index].set, &l->devices[index].data,
                                             &params.ClassInstallHeader, sizeof params) != FALSE;
    }
    bool ChangeState(List list, uint32_t index) override {
        Lists* l = Find(list);
        if (!l || index >= l->devices.size()) return false;
        return SetupDiChangeState(l->devices[index].set, &l->devices[index].data) != FALSE;
    }
    void Close(List list) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_lists.find(list);
        if (it == m_lists.end()) return;
        for (HDEVINFO set : it->second->sets) SetupDiDestroyDeviceInfoList(set);
        m_lists.erase(it);
    }

private:
    struct Device {
        HDEVINFO set;
        SP_DEVINFO_DATA data;
    };
    struct Lists {
        std::vector<HDEVINFO> sets;
        std::vector<Device> devices;
    };
    Lists* Find(List list) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_lists.find(list);
        return it == m_lists.end() ? nullptr : it->second.get();
    }
    std::mutex m_mutex;
    std::map<List, std::unique_ptr<Lists>> m_lists;
    List m_next = 0;
};

class Win32Process : public IProcess {
public:
    bool ShellExecute(const ShellStart& start, intptr_t* instApp, Proc* proc) override {
        SHELLEXECUTEINFOA sei = {};
        sei.cbSize = sizeof sei;
        sei.fMask = start.mask;
        sei.lpVerb = start.verb.empty() ? nullptr : start.verb.c_str();
        sei.lpFile = start.file.c_str();
        sei.lpParameters = start.parameters.empty() ? nullptr : start.parameters.c_str();
        sei.lpDirectory = start.directory.empty() ? nullptr : start.directory.c_str();
        sei.nShow = start.show;
        BOOL ok = ShellExecuteExA(&sei);
        if (instApp) *instApp = reinterpret_cast<intptr_t>(sei.hInstApp);
        if (proc) *proc = reinterpret_cast<Proc>(sei.hProcess);
        return ok != FALSE;
    }
    int Wait(Proc proc, uint32_t timeoutMs, bool pump) override {
        HANDLE h = reinterpret_cast<HANDLE>(proc);
        if (!h) {
            ::SetLastError(ERROR_INVALID_HANDLE);
            return -1;
        }
        DWORD startTick = GetTickCount();
        for (;;) {
            DWORD remaining = INFINITE;
            if (timeoutMs != INFINITE) {
                DWORD spent = GetTickCount() - startTick;
                remaining = spent >= timeoutMs ? 0 : timeoutMs - spent;
            }
            DWORD r = pump ? MsgWaitForMultipleObjects(1, &h, FALSE, remaining, QS_ALLINPUT)
                           : WaitForSingleObject(h, remaining);
            if (r == WAIT_OBJECT_0) return 0;
            if (r == WAIT_TIMEOUT) return 1;
            if (pump && r == WAIT_OBJECT_0 + 1) {
                MSG msg;
                if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    TranslateMessage(&msg);
                    DispatchMessageA(&msg);
                }
                continue;
            }
            return -1;
        }
    }
    bool ExitCode(Proc proc, uint32_t* code) override {
        DWORD c = 0;
        if (!GetExitCodeProcess(reinterpret_cast<HANDLE>(proc), &c)) return false;
        *code = c;
        return true;
    }
    void CloseProcess(Proc proc) override {
        if (proc) CloseHandle(reinterpret_cast<HANDLE>(proc));
    }
    std::string SystemDirectory() override {
        char buf[MAX_PATH + 1] = {};
        UINT n = GetSystemDirectoryA(buf, MAX_PATH);
        return std::string(buf, n);
    }
    // ShellExecuteEx may hand the start to shell extensions, which need COM
    // on the calling thread.
    bool InitThread() override { return SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
    void EndThread() override { CoUninitialize(); }
};

class Win32Shutdown : public IShutdown {
public:
    bool AdjustShutdownPrivilege(bool enable) override {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
        TOKEN_PRIVILEGES tp = {};
        if (!LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &tp.Privileges[0].Luid)) {
            CloseHandle(token);
            return false;
        }
        tp.PrivilegeCount = 1;
        tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
        AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
        DWORD err = GetLastError();
        CloseHandle(token);
        ::SetLastError(err);
        return err == ERROR_SUCCESS;
    }
    bool InitiateShutdown(const char* message, uint32_t timeoutSeconds, bool forceAppsClosed, bool reboot) override {
        return InitiateSystemShutdownA(nullptr, const_cast<char*>(message), timeoutSeconds, forceAppsClosed,
                                       reboot) != FALSE;
    }
};

class Win32Shell : public IShell {
public:
    bool DesktopFolder(std::string& path) override {
        char buf[MAX_PATH + 1] = {};
        if (!SHGetSpecialFolderPathA(nullptr, buf, CSIDL_DESKTOPDIRECTORY, FALSE)) return false;
        path = buf;
        return true;
    }
};

class Win32Console : public IConsole {
public:
    void Open() override {
        AllocConsole();
        Attach();
        Reopen();
        HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (GetConsoleScreenBufferInfo(out, &info)) {
            COORD size = {info.dwSize.X, 500};
            SetConsoleScreenBufferSize(out, size);
        }
        std::setvbuf(stdin, nullptr, _IONBF, 0);
        std::setvbuf(stdout, nullptr, _IONBF, 0);
        std::setvbuf(stderr, nullptr, _IONBF, 0);
        std::ios::sync_with_stdio(true);
    }
    void AttachParent() override {
        Attach();
        Reopen();
    }
    void Write(const std::string& text) override { StdoutWrite(text); }
    int ReadChar(bool skipWhite) override { return StdinReadChar(skipWhite); }

private:
    // AttachConsole is looked up at run time: Windows before XP lacks it.
    static void Attach() {
        using AttachFn = BOOL(WINAPI*)(DWORD);
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        if (!kernel) return;
        auto attach = reinterpret_cast<AttachFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "AttachConsole")));
        if (attach) attach(static_cast<DWORD>(-1));  // ATTACH_PARENT_PROCESS
    }
    static void Reopen() {
        // Output that already goes somewhere (a pipe, a file) stays there.
        if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_UNKNOWN) {
            if (!std::freopen("conout$", "w+t", stdout)) return;
            if (!std::freopen("conout$", "w+t", stderr)) return;
        }
        if (GetFileType(GetStdHandle(STD_INPUT_HANDLE)) == FILE_TYPE_UNKNOWN) {
            if (!std::freopen("conin$", "r+t", stdin)) return;
        }
    }
};

class Win32ErrorText : public IErrorText {
public:
    std::string Text(uint32_t code) override {
        char* text = nullptr;
        DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                 reinterpret_cast<LPSTR>(&text), 0, nullptr);
        std::string result = n && text ? std::string(text, n) : std::string();
        if (text) LocalFree(text);
        return result;
    }
};

}  // namespace

std::unique_ptr<IDebugOutput> MakeDebugOutput() { return std::make_unique<Win32DebugOutput>(); }

std::unique_ptr<IIni> MakeIniReader() { return std::make_unique<Win32Ini>(); }

System& NativeSystem() {
    static std::unique_ptr<IClock> clock = MakeWin32Clock();
    static std::unique_ptr<IDebugOutput> debug = MakeDebugOutput();
    static std::unique_ptr<IFileSystem> files = MakeFileSystem(FileSystemOptions{});
    static std::unique_ptr<IIni> ini = MakeIniReader();
    static Win32Registry registry;
    static Win32MessageBox box;
    static Win32OsVersion os;
    static Win32Driver driver;
    static Win32Guid guid;
    static Win32DeviceList devices;
    static Win32Process process;
    static Win32Shutdown shutdown;
    static Win32Shell shell;
    static Win32Console console;
    static Win32ErrorText errors;
    static System system{clock.get(), debug.get(), files.get(), ini.get(), &registry, &box,   &os,
                         &driver, &guid,       &devices,    &process,  &shutdown, &shell, &console,
                         &errors};
    return system;
}

}  // namespace tessaro
