// bench::Pc: the simulated PC that tests, the demo and training use instead
// of real hardware.  It is described by a bench file (docs/bench.md) or built
// with the small API below, and hands out the ports of platform/ports.h that
// stand for hardware, drivers and system state.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bench/controller.h"
#include "bench/spec.h"
#include "bench/system_ports.h"
#include "platform/ports.h"
#include "platform/virtual_clock.h"

namespace bench {

// One call the driver saw.
struct LogEntry {
    enum class Kind { Open, Control, Close };
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
    std::string note;
};

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

private:
    friend class Pc;
    DeviceSpec m_spec;
    std::unique_ptr<Controller> m_controller;
    std::vector<FunctionState> m_functions;
    std::vector<uint8_t> m_noStore;
    bool m_plugged = true;
    bool m_restarted = false;  // a software reset applied the after-reset bcdDevice
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
    void SetLatency(uint32_t ms);
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

    GuidSource& Guids() { return m_guid; }
    OsVersion& Os() { return m_os; }
    ScriptedMessageBox& Boxes() { return m_box; }

    // --- running -----------------------------------------------------------------
    tessaro::IClock& Clock();
    tessaro::VirtualClock* Virtual();  // null unless the clock in use is a virtual one
    Device* FindDevice(const std::string& name);
    std::vector<std::string> DeviceNames() const;
    void Unplug(const std::string& name);
    void Plug(const std::string& name);
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
    friend class Driver;

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
    void Changed() { ++m_serial; }

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
    uint32_t m_latency = 0;
    std::vector<FlashPart> m_parts;
    std::vector<std::unique_ptr<Device>> m_devices;
    std::vector<std::pair<Fault, uint32_t>> m_faults;  // with their match counts
    std::vector<tessaro::Handle> m_open;
    tessaro::Handle m_nextFile = 0x1000;
    uint32_t m_nextHandle = 1;

    std::vector<LogEntry> m_log;
    uint64_t m_seq = 0;
    std::string m_logPath;
    bool m_logStarted = false;
    bool m_saveAtExit = true;
};

}  // namespace bench
