// bench::Pc: the simulated PC that tests, the demo and training use instead
// of real hardware.  It is described by a bench file (docs/bench.md) or built
// with the small API below, and hands out the ports of platform/ports.h that
// stand for hardware, drivers and system state.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <map>

#include "bench/controller.h"
#include "bench/description.h"
#include "bench/system_ports.h"
#include "platform/memory_registry.h"
#include "platform/ports.h"
#include "platform/virtual_clock.h"

namespace bench {

// One call the driver saw, or (Kind::Event) one thing the rest of the
// simulated system did: a program started, a device disabled, a restart.
struct LogEntry {
    enum class Kind { Open, Control, Close, Event };
    uint64_t seq = 0;     // from 1
    uint64_t timeMs = 0;  // the clock when the call came in
    Kind kind = Kind::Control;
    uint32_t code = 0;    // control code
    uint32_t inSize = 0;
    uint32_t outSize = 0;
    uint32_t returned = 0;
    std::string device;   // name of the physical device addressed, if any
    uint32_t handle = 0;  // device handle named in the record
    bool vendor = false;  // a vendor request: setup and data are valid
    Setup setup;
    std::vector<uint8_t> data;  // sent (host-to-device) or returned (device-to-host)
    bool ok = false;
    uint32_t error = 0;
    std::string note;     // for an event: what happened
};

// A program started through the shell.
struct ProcessStart {
    tessaro::ShellStart start;
    uint64_t timeMs = 0;
    bool ok = false;
    intptr_t instApp = 0;
    uint32_t exitCode = 0;
    std::string note;  // what the program did
};

// The setup program's answer for one direction.
struct SetupOutcome {
    bool succeeds = true;
    bool writesLog = true;
    std::string logText;  // empty: "VXI-SUCCESS" on success, a failure text otherwise
    uint32_t exitCode = 0;
};

// Faults of the system around the driver.
struct SystemFault {
    enum class Kind { Start, Powercfg, Privilege, Shutdown, DeviceList } kind = Kind::Start;
    std::string program;   // Start: last path component, may hold * and ?
    std::string contains;  // Start: text the parameters must contain; Powercfg: the option
    uint32_t nth = 0;
    uint32_t first = 0;
    uint32_t error = 2;
};

// The USB selective suspend setting of the power schemes.
constexpr const char* kUsbSubgroup = "2a737441-1930-4402-8d77-b2bebba308a3";
constexpr const char* kUsbSelectiveSuspend = "48e6b7a6-50f5-4782-a5d4-53bb8f07e226";
constexpr const char* kBalancedScheme = "381b4222-f694-41f0-9685-ff5bb260df2e";

// "GET_DEVICE_NUM", ... or the code in hexadecimal.
std::string ControlCodeName(uint32_t code);
// Parses a control code name or a number; 0 when unknown.
uint32_t ControlCodeByName(const std::string& name);
// One line of the request log file (without line end).
std::string FormatLogEntry(const LogEntry& entry);

class Pc;

// A USB function of a device, as it stands now.
struct FunctionState {
    FunctionSpec spec;
    uint32_t handle = 0;
    bool enabled = true;
};

// A physical device on the simulated PC.
class Device {
public:
    const std::string& Name() const { return m_spec.name; }
    const DeviceSpec& Spec() const { return m_spec; }
    bool IsHub() const { return m_controller != nullptr; }
    Controller* Hub() { return m_controller.get(); }
    std::vector<uint8_t>& Store();  // empty for a device that is no hub
    bool Plugged() const { return m_plugged; }
    uint32_t Requests() const { return m_requests; }
    uint16_t BcdDevice(size_t function) const;
    const std::vector<FunctionState>& Functions() const { return m_functions; }
    bool Enabled(size_t function) const {
        return function < m_functions.size() && m_functions[function].enabled;
    }

private:
    friend class Pc;
    DeviceSpec m_spec;
    std::unique_ptr<Controller> m_controller;
    std::vector<FunctionState> m_functions;
    std::vector<uint8_t> m_noStore;
    bool m_plugged = true;
    bool m_restarted = false;  // a software reset applied the after-reset bcdDevice
    bool m_returning = false;  // off the bus, listed again at m_returnAtMs
    uint64_t m_returnAtMs = 0;
    uint16_t m_bcd = 0;
    uint32_t m_requests = 0;
};

class Pc {
public:
    // An empty PC: filter driver installed, no device, virtual clock, random
    // GUIDs, Windows 7 SP1.
    Pc();
    ~Pc();  // writes the stores (SaveStores)
    Pc(const Pc&) = delete;
    Pc& operator=(const Pc&) = delete;

    // From a bench file; null with "file:line: reason" in error.
    static std::unique_ptr<Pc> Load(const std::string& benchFile, std::string* error);
    // From bench text; relative file names are taken from baseFolder.
    static std::unique_ptr<Pc> FromText(const std::string& text, const std::string& baseFolder,
                                        std::string* error, const std::string& fileName = "<text>");

    // The ports this PC stands for; members it does not simulate are null.
    tessaro::System Ports();

    // --- building --------------------------------------------------------------
    void SetBaseFolder(const std::string& folder) { m_base = folder; }
    const std::string& BaseFolder() const { return m_base; }
    std::string ResolvePath(const std::string& path) const;
    void SetDriverInstalled(bool installed);
    void SetSerialNo(uint32_t serial);
    // Bus time of every vendor request, in microseconds.
    void SetLatencyUs(uint32_t us);
    // How long a hub stays off the bus after a software reset before it is
    // listed again with new handles; 0: it stays listed with its handles.
    // A hub's own setting (DeviceSpec::reEnumerateMs) wins.
    void SetReEnumerateDelay(uint32_t ms);
    void UseRealClock();
    // Device time follows this clock (a test's own virtual clock, say); null
    // goes back to the PC's own.  Ports() hands it out as the clock port.
    void UseClock(tessaro::IClock* clock);
    void SetLogFile(const std::string& path);  // relative to the base folder
    bool AddFlashPart(const FlashPart& part, std::string* error);
    const FlashPart* FindFlashPart(const std::string& name) const;
    // Builds the device: store content from its file, puts, handles.
    bool AddDevice(const DeviceSpec& spec, std::string* error);
    bool AddFault(const Fault& fault, std::string* error);

    // --- the system around the driver -------------------------------------------
    void SetMachine64(bool is64);
    // The driver key's version subkey; keyMode: 0 absent, 1 key without
    // subkey, 2 key with the version subkey.
    void SetDriverKey(const std::string& version, int keyMode);
    void SetProgram(const std::string& moduleFileName);  // relative to the base folder
    void SetDriveC(const std::string& folder);
    void SetDesktop(const std::string& folder, bool fails);
    void SetActiveScheme(const std::string& guid, const std::string& name);
    void SetPowerValue(const std::string& scheme, const std::string& subgroup, const std::string& setting,
                       uint32_t ac, uint32_t dc);
    void SetSetup(bool install, const SetupOutcome& outcome);
    void SetSetupTime(uint32_t ms);
    // How long one POWERCFG command runs (cmd.exe /c POWERCFG, and each of
    // the four of the suspend helper).
    void SetPowercfgTime(uint32_t ms);
    // Creates the setup program and its two response files in the program folder.
    bool SetSetupPackage(const std::string& fileName, std::string* error);
    void AddSystemFault(const SystemFault& fault);

    tessaro::MemoryRegistry& Registry();
    tessaro::IFileSystem& Files();
    // The bench's programs (POWERCFG's redirect, the setup program and its
    // log) then work through this file port, and Ports() hands it out; null
    // goes back to the bench's own.
    void UseFiles(tessaro::IFileSystem* files);
    std::string DriverKeyPath() const;
    std::string ActiveScheme() const;
    // False when the scheme has no such value.
    bool PowerValue(const std::string& scheme, const std::string& subgroup, const std::string& setting,
                    uint32_t* ac, uint32_t* dc) const;
    int SchemeActivations() const;  // SETACTIVE commands that took effect
    int Restarts() const;           // restart requests that were accepted
    std::vector<ProcessStart> Starts() const;
    std::vector<std::string> Events() const;
    std::string DesktopFolder() const;
    std::string DriveC() const;

    GuidSource& Guids() { return m_guid; }
    OsVersion& Os() { return m_os; }
    ScriptedMessageBox& Boxes() { return m_box; }

    // --- running -----------------------------------------------------------------
    tessaro::IClock& Clock();
    tessaro::VirtualClock* Virtual();  // null unless the clock in use is a virtual one
    Device* FindDevice(const std::string& name);
    std::vector<std::string> DeviceNames() const;
    void Unplug(const std::string& name);
    void Plug(const std::string& name);  // back at its old place in the list, with its handles
    // Hot plug as Windows reports it: called (under the PC's lock, on the
    // thread that made the change) whenever a hub arrives or leaves — by
    // Plug and Unplug, by an unplug fault and by the re-enumeration after a
    // reset.  The listener must not call back into the PC.
    using HubChangeListener = std::function<void(const std::string& name, bool arrival)>;
    void OnHubChange(HubChangeListener listener);
    // One line of a bench control file: "plug NAME" or "unplug NAME"; false
    // with the reason in error for anything else.
    bool Control(const std::string& line, std::string* error);
    bool DriverInstalled() const;
    uint32_t SerialNo() const;

    std::vector<LogEntry> Log() const;
    void ClearLog();
    // Vendor requests of the log only.
    std::vector<LogEntry> Requests() const;

    // Writes every hub's store to the file its description names.
    bool SaveStores(std::string* error);
    // Whether the destructor writes the stores (on by default).
    void SaveAtExit(bool on) { m_saveAtExit = on; }

private:
    class Driver;
    class DeviceList;
    class Process;
    class Shutdown;
    class Shell;
    friend class Driver;
    friend class DeviceList;
    friend class Process;
    friend class Shutdown;
    friend class Shell;

    struct PowerSetting {
        uint32_t ac = 0;
        uint32_t dc = 0;
    };
    struct RunningProcess {
        uint32_t exitCode = 0;
        uint64_t endMs = 0;
    };

    void Event(const std::string& text);
    void Seed();
    void SeedDevice(const Device& device);
    void SeedDriverKey();
    void SetFunctionEnabled(Device& device, size_t function, bool enabled);
    bool SystemFaultHits(SystemFault::Kind kind, const std::string& program, const std::string& text,
                         uint32_t* error);
    // POWERCFG with its arguments; output text and exit code as Windows gives them.
    uint32_t Powercfg(const std::vector<std::string>& args, std::string& output);
    uint32_t RunCmd(const std::string& parameters, std::string& note);
    uint32_t RunPwrsusp(const std::string& parameters, std::string& note);
    uint32_t RunSetup(const tessaro::ShellStart& start, std::string& note);

    // What the port adapters forward to.
    uintptr_t ListOpen(const std::string& className, bool presentOnly);
    bool ListEnum(uintptr_t list, uint32_t index);
    bool ListHardwareId(uintptr_t list, uint32_t index, std::string& id, uint32_t maxBytes);
    bool ListSetParams(uintptr_t list, uint32_t index, bool enable);
    bool ListChangeState(uintptr_t list, uint32_t index);
    void ListClose(uintptr_t list);
    bool Start(const tessaro::ShellStart& start, intptr_t* instApp, uintptr_t* proc);
    int Wait(uintptr_t proc, uint32_t timeoutMs);
    bool ExitCode(uintptr_t proc, uint32_t* code);
    void CloseProcess(uintptr_t proc);
    bool AdjustPrivilege(bool enable);
    bool InitiateShutdown(const char* message, uint32_t timeoutSeconds, bool force, bool reboot);
    bool Desktop(std::string& path);

    tessaro::Handle DriverOpen(const std::string& name);
    bool DriverControl(tessaro::Handle h, uint32_t code, const void* in, uint32_t inSize, void* out,
                       uint32_t outSize, uint32_t* returned);
    void DriverClose(tessaro::Handle h);

    bool Fail(LogEntry& entry, uint32_t error, const std::string& note = std::string());
    void Record(LogEntry& entry);
    std::vector<const FunctionState*> Listed() const;
    bool FindFunction(uint32_t handle, Device** device, FunctionState** function);
    bool Identity(LogEntry& entry, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                  bool container);
    bool UsbRequest(LogEntry& entry, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize);
    void SpendLatency();
    // Devices whose time off the bus is over are listed again.
    void Tick();
    // The device leaves the bus; with backMs >= 0 it is listed again that
    // much later, at the end of the list and with new handles.
    void Leave(Device& device, int backMs, const std::string& why);
    void Return(Device& device);
    void RestartLeaves();
    bool UnknownHandle(LogEntry& entry);
    void BusUnplugFaults(const Device& device, const Setup& setup);
    bool DeviceUnplugFaults(LogEntry& entry, Device& device);
    void Changed() { ++m_serial; }
    void HubChanged(const Device& device, bool arrival);

    // The devices keep this one; it forwards to the clock in use.
    class ClockProxy : public tessaro::IClock {
    public:
        explicit ClockProxy(Pc& pc) : m_pc(pc) {}
        void Sleep(uint32_t ms) override { m_pc.Clock().Sleep(ms); }
        uint64_t NowMs() override { return m_pc.Clock().NowMs(); }

    private:
        Pc& m_pc;
    };

    mutable std::recursive_mutex m_mutex;
    std::string m_base;
    std::unique_ptr<DeviceList> m_deviceList;
    std::unique_ptr<Process> m_process;
    std::unique_ptr<Shutdown> m_shutdown;
    std::unique_ptr<Shell> m_shell;
    tessaro::VirtualClock m_virtual;
    RealClock m_real;
    bool m_realClock = false;
    tessaro::IClock* m_external = nullptr;
    ClockProxy m_proxy{*this};
    GuidSource m_guid;
    OsVersion m_os;
    ScriptedMessageBox m_box;
    std::unique_ptr<Driver> m_driver;

    bool m_installed = true;
    uint32_t m_serial = 1;
    HubChangeListener m_hubChange;
    uint32_t m_latencyUs = 0;
    uint64_t m_latencyCarryUs = 0;  // bus time below a millisecond not yet put on a millisecond clock
    std::vector<FlashPart> m_parts;
    std::vector<std::unique_ptr<Device>> m_devices;
    std::vector<std::pair<Fault, uint32_t>> m_faults;  // with their match counts
    std::vector<tessaro::Handle> m_open;
    tessaro::Handle m_nextFile = 0x1000;
    uint32_t m_nextHandle = 1;
    uint32_t m_reEnumerateMs = 1000;
    Device* m_restarting = nullptr;  // leaves the bus once its reset request is recorded
    int m_restartMs = 0;
    uint64_t m_busRequests = 0;                // vendor requests the driver received
    std::map<uint32_t, std::string> m_retired;  // handles of earlier enumerations, by device

    std::vector<LogEntry> m_log;
    uint64_t m_seq = 0;
    std::string m_logPath;
    std::FILE* m_logFile = nullptr;  // open from the first line on, one line written per request
    bool m_saveAtExit = true;

    // The system around the driver.
    tessaro::MemoryRegistry m_registry;
    bool m_seeded = false;
    bool m_machine64 = true;
    std::string m_driverVersion = "3.00";
    int m_driverKeyMode = -1;  // -1: follows the driver (present with version when installed)
    std::string m_program;
    std::string m_driveC;
    std::string m_desktop;
    bool m_desktopFails = false;
    std::unique_ptr<tessaro::IFileSystem> m_files;
    tessaro::IFileSystem* m_externalFiles = nullptr;
    std::string m_scheme = kBalancedScheme;
    std::string m_schemeName = "Balanced";
    std::map<std::string, PowerSetting> m_power;  // "scheme/subgroup/setting", lower case
    int m_activations = 0;
    SetupOutcome m_install;
    SetupOutcome m_uninstall;
    uint32_t m_setupMs = 0;
    uint32_t m_powercfgMs = 0;
    std::vector<std::pair<SystemFault, uint32_t>> m_systemFaults;
    std::vector<ProcessStart> m_starts;
    std::map<uintptr_t, RunningProcess> m_processes;
    uintptr_t m_nextProcess = 0x500;
    struct ListItem {
        Device* device = nullptr;
        size_t function = 0;
        int pending = -1;  // state change set by SetInstallParams: 1 enable, 0 disable
    };
    std::map<uintptr_t, std::vector<ListItem>> m_lists;
    uintptr_t m_nextList = 0x700;
    bool m_privilege = false;
    int m_restarts = 0;
};

}  // namespace bench
