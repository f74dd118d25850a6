// Ports to the operating system.
//
// Everything Tessaro asks of Windows goes through the small interfaces below.
// Each has a win32 implementation (platform/win32), a POSIX one where Linux has
// a real equivalent (platform/posix), and the simulated PC of bench/ implements
// the ones that stand for hardware, drivers and system state.  No Windows
// header is included outside platform/win32 and ui/win32: the constants the
// tool needs are mirrored in platform/winconst.h.
//
// The ports in force are reached through Sys(); a test or the bench installs
// its own set with ScopedSystem.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaro {

// ---------------------------------------------------------------------------
// Thread's last-error code, as GetLastError/SetLastError.  Port
// implementations set it where the Windows call they stand for would.
uint32_t LastError();
void SetLastError(uint32_t code);

// ---------------------------------------------------------------------------
// Time.  Every wait of the tool goes through here; tests use a virtual clock
// that records the waits without spending them.
class IClock {
public:
    virtual ~IClock() = default;
    virtual void Sleep(uint32_t ms) = 0;
    virtual uint64_t NowMs() = 0;  // monotonic
};

// Debugger output (OutputDebugStringA).
class IDebugOutput {
public:
    virtual ~IDebugOutput() = default;
    virtual void Output(const char* text) = 0;
};

// Files, in the path form the tool builds ("folder\\name", "c:\\a.out").
// The POSIX implementation turns backslashes into slashes and puts drive C
// in a folder of its own; given a drive C folder (the bench's, a test's),
// every implementation keeps the files of the root of drive C there, so fixed
// places such as "c:\\a.out" stay out of the real system.
class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    // The program's own module file name (GetModuleFileNameA).
    virtual std::string ModuleFileName() = 0;
    // Names (without folder) of the files matching a pattern such as
    // "C:\\tool\\*.ini" (wildcards in the last component only, matched
    // without regard to case); sorted by name so the first is deterministic.
    virtual std::vector<std::string> Find(const std::string& pattern) = 0;
    virtual bool Exists(const std::string& path) = 0;
    // Whole-file read; false with the system error code on any failure,
    // including a short read.
    virtual bool ReadAll(const std::string& path, std::vector<uint8_t>& out, uint32_t& error) = 0;
    // Create or truncate, write everything, close; every step is checked.
    virtual bool WriteAll(const std::string& path, const void* data, size_t size, uint32_t& error) = 0;
    virtual bool Delete(const std::string& path, uint32_t& error) = 0;
    // Moves a file onto another name in the same folder, replacing a file of
    // that name in one step (MoveFileExA with MOVEFILE_REPLACE_EXISTING,
    // rename() on POSIX).
    virtual bool Rename(const std::string& from, const std::string& to, uint32_t& error) = 0;
    // The path in the form the C library of this build opens.
    virtual std::string NativePath(const std::string& path) = 0;
};

// Private profile (INI) functions with the Win32 semantics.
class IIni {
public:
    virtual ~IIni() = default;
    // GetPrivateProfileStringA; key == nullptr lists the section's keys.
    virtual uint32_t GetString(const char* section, const char* key, const char* def, char* buf,
                               uint32_t size, const char* file) = 0;
    // GetPrivateProfileSectionA.
    virtual uint32_t GetSection(const char* section, char* buf, uint32_t size, const char* file) = 0;
};

// The Win32 registry (Reg* functions); results are Win32 error codes.
class IRegistry {
public:
    using Key = uintptr_t;
    virtual ~IRegistry() = default;
    virtual long Open(Key parent, const std::string& subKey, uint32_t access, Key* out) = 0;
    virtual long Create(Key parent, const std::string& subKey, uint32_t access, Key* out,
                        uint32_t* disposition) = 0;
    virtual long QueryValue(Key key, const std::string& name, uint32_t* type, uint8_t* data,
                            uint32_t* size) = 0;
    virtual long SetValue(Key key, const std::string& name, uint32_t type, const uint8_t* data,
                          uint32_t size) = 0;
    virtual long QueryInfo(Key key, uint32_t* subKeys) = 0;
    // RegEnumKeyExA: size in characters, in and out.
    virtual long EnumKey(Key key, uint32_t index, char* name, uint32_t* size) = 0;
    virtual long Close(Key key) = 0;
};

// Message boxes without owner (MessageBoxA); returns the button id.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    virtual int Show(const std::string& text, const std::string& caption, uint32_t style) = 0;
};

// The extended version record (OSVERSIONINFOEXA, 156 bytes).
struct OsVersionInfoEx {
    uint32_t dwOSVersionInfoSize;
    uint32_t dwMajorVersion;
    uint32_t dwMinorVersion;
    uint32_t dwBuildNumber;
    uint32_t dwPlatformId;
    char szCSDVersion[128];
    uint16_t wServicePackMajor;
    uint16_t wServicePackMinor;
    uint16_t wSuiteMask;
    uint8_t wProductType;
    uint8_t wReserved;
};
static_assert(sizeof(OsVersionInfoEx) == 156, "OSVERSIONINFOEXA is 156 bytes");

class IOsVersion {
public:
    virtual ~IOsVersion() = default;
    // GetVersionExA: the caller sets dwOSVersionInfoSize.
    virtual bool GetVersionEx(OsVersionInfoEx* info) = 0;
};

// The filter driver: a device file and its control codes.
using Handle = intptr_t;
constexpr Handle kInvalidHandle = -1;

class IDriver {
public:
    virtual ~IDriver() = default;
    // CreateFileA of a device name such as "\\\\.\\vxusbflt"; kInvalidHandle
    // and LastError() on failure.
    virtual Handle Open(const std::string& name) = 0;
    // DeviceIoControl, completed before it returns (a pending request is
    // waited for); false and LastError() on failure.
    virtual bool IoControl(Handle h, uint32_t code, const void* in, uint32_t inSize, void* out,
                           uint32_t outSize, uint32_t* returned) = 0;
    virtual void Close(Handle h) = 0;
};

// GUIDs (CoCreateGuid).
struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

class IGuid {
public:
    virtual ~IGuid() = default;
    virtual bool Create(Guid* out) = 0;
};

// The device list of a setup class (SetupAPI).
class IDeviceList {
public:
    using List = uintptr_t;
    virtual ~IDeviceList() = default;
    // SetupDiClassGuidsFromNameA + SetupDiGetClassDevsA for every GUID of the
    // class.  presentOnly selects DIGCF_PRESENT, otherwise DIGCF_ALLCLASSES.
    // Returns 0 with LastError() when the list cannot be made.
    virtual List Open(const std::string& className, bool presentOnly) = 0;
    // SetupDiEnumDeviceInfo: false with LastError() (ERROR_NO_MORE_ITEMS at the end).
    virtual bool Enum(List list, uint32_t index) = 0;
    // First string of SPDRP_HARDWAREID of device index, at most maxBytes - 1
    // characters; false with LastError() when it cannot be read.
    virtual bool HardwareId(List list, uint32_t index, std::string& id, uint32_t maxBytes) = 0;
    // DIF_PROPERTYCHANGE with DICS_ENABLE or DICS_DISABLE, config-specific:
    // SetupDiSetClassInstallParamsA, then SetupDiChangeState.
    virtual bool SetInstallParams(List list, uint32_t index, bool enable) = 0;
    virtual bool ChangeState(List list, uint32_t index) = 0;
    virtual void Close(List list) = 0;
};

// Starting programs (ShellExecuteExA / ShellExecuteA).
struct ShellStart {
    std::string verb;        // "open"
    std::string file;        // program
    std::string parameters;
    std::string directory;   // empty: none
    int show = 0;            // SW_HIDE 0, SW_SHOWNORMAL 1
    uint32_t mask = 0;       // SEE_MASK_* flags
};

class IProcess {
public:
    using Proc = uintptr_t;
    virtual ~IProcess() = default;
    // ShellExecuteExA.  instApp receives hInstApp (above 32 on success); proc
    // the process handle when the mask asks for it (0 otherwise).
    virtual bool ShellExecute(const ShellStart& start, intptr_t* instApp, Proc* proc) = 0;
    // Waits for the process to end, dispatching window messages meanwhile
    // when pump is set.  Returns 0 when it ended, 1 on time-out, -1 on failure.
    virtual int Wait(Proc proc, uint32_t timeoutMs, bool pump) = 0;
    virtual bool ExitCode(Proc proc, uint32_t* code) = 0;
    virtual void CloseProcess(Proc proc) = 0;
    // GetSystemDirectoryA, without trailing backslash.
    virtual std::string SystemDirectory() = 0;
    // Readies the calling thread to start programs through the shell (COM in
    // a single-threaded apartment on Windows; nothing elsewhere).  Every
    // thread that may start a program calls it first, and EndThread when it
    // is done, if it returned true.
    virtual bool InitThread() { return true; }
    virtual void EndThread() {}
};

// Restarting the computer.
class IShutdown {
public:
    virtual ~IShutdown() = default;
    // Enable or disable SeShutdownPrivilege in the process token; false when
    // the adjustment reports any error.
    virtual bool AdjustShutdownPrivilege(bool enable) = 0;
    // InitiateSystemShutdownA on the local machine.
    virtual bool InitiateShutdown(const char* message, uint32_t timeoutSeconds, bool forceAppsClosed,
                                  bool reboot) = 0;
};

// The shell's folders (SHGetSpecialFolderPathA).
class IShell {
public:
    virtual ~IShell() = default;
    // CSIDL_DESKTOPDIRECTORY (16), no creation.
    virtual bool DesktopFolder(std::string& path) = 0;
};

// The console of the console mode.
class IConsole {
public:
    virtual ~IConsole() = default;
    // AllocConsole, attach to the parent's console where the system has it,
    // reopen the standard streams on the console, 500-line screen buffer.
    virtual void Open() = 0;
    // Attach to the parent's console and reopen the standard streams.
    virtual void AttachParent() = 0;
    // Write and flush.
    virtual void Write(const std::string& text) = 0;
    // One character of the standard input; skipWhite skips white space first.
    // Returns -1 at the end of the input.
    virtual int ReadChar(bool skipWhite) = 0;
};

// System error texts (FormatMessageA from the system table).
class IErrorText {
public:
    virtual ~IErrorText() = default;
    // The system's message for a Win32 error code; empty when it has none.
    virtual std::string Text(uint32_t code) = 0;
};

// The set of ports in force.
struct System {
    IClock* clock = nullptr;
    IDebugOutput* debug = nullptr;
    IFileSystem* files = nullptr;
    IIni* ini = nullptr;
    IRegistry* registry = nullptr;
    IMessageBox* box = nullptr;
    IOsVersion* os = nullptr;
    IDriver* driver = nullptr;
    IGuid* guid = nullptr;
    IDeviceList* devices = nullptr;
    IProcess* process = nullptr;
    IShutdown* shutdown = nullptr;
    IShell* shell = nullptr;
    IConsole* console = nullptr;
    IErrorText* errors = nullptr;
};

// The ports in force.  Until something is installed, the build's native set
// (win32 or posix) is used.
System& Sys();

// Installs a set of ports for the lifetime of the object (tests, the bench);
// the previous set comes back at destruction.  Null members keep the port in
// force before.
class ScopedSystem {
public:
    explicit ScopedSystem(const System& ports);
    ~ScopedSystem();
    ScopedSystem(const ScopedSystem&) = delete;
    ScopedSystem& operator=(const ScopedSystem&) = delete;

private:
    System previous_;
};

// Ports for the calling thread only, for the lifetime of the object, over
// whatever set is in force (a dialog's worker routes the boxes the engine
// raises to its dialog this way).  Null members keep the port in force.
class ScopedThreadPorts {
public:
    explicit ScopedThreadPorts(const System& ports);
    ~ScopedThreadPorts();
    ScopedThreadPorts(const ScopedThreadPorts&) = delete;
    ScopedThreadPorts& operator=(const ScopedThreadPorts&) = delete;

private:
    const System* previous_;
    System ports_;
};

// The build's native set of ports (created on first use, never destroyed).
System& NativeSystem();

// A count that grows whenever the settings files may have changed behind the
// tool's back: another set of ports installed, or a test rewriting them.
// Readers that keep a setting for a while read it again when it moves.
uint64_t SettingsGeneration();
void SettingsChanged();

// Environment variables (getenv); empty when unset.
std::string GetEnv(const char* name);

}  // namespace tessaro
