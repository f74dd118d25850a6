// The system around the filter driver: registry, device manager, programs
// started through the shell (POWERCFG through cmd.exe, the suspend helper,
// the driver setup program, Notepad), restarts and the desktop folder.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bench/adapters.h"
#include "bench/pc.h"
#include "platform/native.h"
#include "platform/winconst.h"

namespace bench {

namespace {

constexpr uint32_t kStillActive = 259;
constexpr uint32_t kInfinite = 0xFFFFFFFF;
constexpr uint32_t kSeeMaskNoCloseProcess = 0x40;
constexpr const char* kEnumRoot = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\";
constexpr const char* kDifxLog = "c:\\difxcmd.log";

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

bool Wildcard(const char* pattern, const char* name) {
    if (*pattern == '\0') return *name == '\0';
    if (*pattern == '*') return Wildcard(pattern + 1, name) || (*name && Wildcard(pattern, name + 1));
    if (*name == '\0') return false;
    return (*pattern == '?' || *pattern == *name) && Wildcard(pattern + 1, name + 1);
}

std::string LastComponent(const std::string& path) {
    const size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

std::string PowerKey(const std::string& scheme, const std::string& subgroup, const std::string& setting) {
    return Lower(scheme) + "/" + Lower(subgroup) + "/" + Lower(setting);
}

bool ParsePowerValue(const std::string& text, uint32_t& value) {
    if (text.empty()) return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    if (*end != '\0' || text[0] == '-') return false;
    value = static_cast<uint32_t>(v);
    return true;
}

}  // namespace

// --- settings --------------------------------------------------------------------

void Pc::SetMachine64(bool is64) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_machine64 = is64;
}

void Pc::SetDriverKey(const std::string& version, int keyMode) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!version.empty()) m_driverVersion = version;
    m_driverKeyMode = keyMode;
}

void Pc::SetProgram(const std::string& moduleFileName) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_program = moduleFileName.empty() ? std::string() : ResolvePath(moduleFileName);
    m_files.reset();
}

void Pc::SetDriveC(const std::string& folder) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_driveC = folder;
    m_files.reset();
}

void Pc::SetDesktop(const std::string& folder, bool fails) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!folder.empty()) m_desktop = folder;
    m_desktopFails = fails;
}

void Pc::SetActiveScheme(const std::string& guid, const std::string& name) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_scheme = Lower(guid);
    if (!name.empty()) m_schemeName = name;
}

void Pc::SetPowerValue(const std::string& scheme, const std::string& subgroup, const std::string& setting,
                       uint32_t ac, uint32_t dc) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_power[PowerKey(scheme, subgroup, setting)] = PowerSetting{ac, dc};
}

void Pc::SetSetup(bool install, const SetupOutcome& outcome) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    (install ? m_install : m_uninstall) = outcome;
}

void Pc::SetSetupTime(uint32_t ms) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_setupMs = ms;
}

void Pc::SetPowercfgTime(uint32_t ms) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_powercfgMs = ms;
}

bool Pc::SetSetupPackage(const std::string& fileName, std::string* error) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_program.empty()) {
        if (error) *error = "a setup package needs the program's place (\"program\")";
        return false;
    }
    const size_t cut = m_program.find_last_of("\\/");
    const std::string folder = cut == std::string::npos ? std::string(".") : m_program.substr(0, cut);
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const struct {
        std::string name;
        const char* text;
    } files[] = {{fileName, ""},
                 {"install.iss", "[InstallShield Silent]\r\nVersion=v7.00\r\nFile=Response File\r\n"},
                 {"uninstall.iss", "[InstallShield Silent]\r\nVersion=v7.00\r\nFile=Response File\r\n"}};
    for (const auto& f : files) {
        const std::string path = folder + "/" + f.name;
        if (std::ifstream(path).good()) continue;
        std::ofstream out(path, std::ios::binary);
        out << f.text;
        if (!out) {
            if (error) *error = "cannot create " + path;
            return false;
        }
    }
    return true;
}

void Pc::AddSystemFault(const SystemFault& fault) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_systemFaults.push_back({fault, 0});
}

bool Pc::SystemFaultHits(SystemFault::Kind kind, const std::string& program, const std::string& text,
                         uint32_t* error) {
    bool hit = false;
    for (auto& f : m_systemFaults) {
        const SystemFault& sf = f.first;
        if (sf.kind != kind) continue;
        if (kind == SystemFault::Kind::Start) {
            if (!Wildcard(Lower(sf.program).c_str(), Lower(program).c_str())) continue;
            if (!sf.contains.empty() && Lower(text).find(Lower(sf.contains)) == std::string::npos) continue;
        } else if (kind == SystemFault::Kind::Powercfg) {
            if (!sf.contains.empty() && Lower(sf.contains) != Lower(text)) continue;
        }
        ++f.second;
        const bool strikes = sf.nth ? f.second == sf.nth : (sf.first ? f.second <= sf.first : true);
        if (strikes && !hit) {
            hit = true;
            if (error) *error = sf.error;
        }
    }
    return hit;
}

void Pc::Event(const std::string& text) {
    LogEntry entry;
    entry.kind = LogEntry::Kind::Event;
    entry.timeMs = Clock().NowMs();
    entry.ok = true;
    entry.note = text;
    Record(entry);
}

std::vector<std::string> Pc::Events() const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::vector<std::string> out;
    for (const LogEntry& e : m_log)
        if (e.kind == LogEntry::Kind::Event) out.push_back(e.note);
    return out;
}

std::vector<ProcessStart> Pc::Starts() const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_starts;
}

// --- registry ------------------------------------------------------------------------

std::string Pc::DriverKeyPath() const {
    return std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\") + (m_machine64 ? "Wow6432Node\\" : "") +
           "Varnel Logic\\Varnel Logic Generic USB Class Filter Driver";
}

tessaro::MemoryRegistry& Pc::Registry() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Seed();
    return m_registry;
}

void Pc::Seed() {
    if (m_seeded) return;
    m_seeded = true;
    const tessaro::OsVersionInfoEx& os = m_os.Info();
    char buildLab[128];
    std::snprintf(buildLab, sizeof buildLab, "%u.%u.%s.bench_rtm.000000-0000", os.dwBuildNumber,
                  os.wServicePackMajor, m_machine64 ? "amd64fre" : "x86fre");
    m_registry.SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "BuildLabEx",
                         buildLab);
    SeedDriverKey();
    for (const auto& d : m_devices) SeedDevice(*d);
}

void Pc::SeedDriverKey() {
    const int mode = m_driverKeyMode < 0 ? (m_installed ? 2 : 0) : m_driverKeyMode;
    if (mode >= 1) m_registry.CreatePath(DriverKeyPath());
    if (mode == 2) m_registry.CreatePath(DriverKeyPath() + "\\" + m_driverVersion);
}

void Pc::SeedDevice(const Device& device) {
    for (const FunctionState& f : device.m_functions)
        for (const EnumKey& key : f.spec.registry) {
            const std::string path = kEnumRoot + key.enumerator + "\\" +
                                     (key.instance.empty() ? f.spec.instanceId : key.instance) +
                                     "\\Device Parameters";
            m_registry.CreatePath(path);
            if (key.selectiveSuspend >= 0)
                m_registry.SetDword(path, "EnableSelectiveSuspend", static_cast<uint32_t>(key.selectiveSuspend));
        }
}

// --- files, desktop ------------------------------------------------------------------

std::string Pc::DriveC() const { return ResolvePath(m_driveC.empty() ? std::string("drive-c") : m_driveC); }

std::string Pc::DesktopFolder() const {
    return ResolvePath(m_desktop.empty() ? std::string("desktop") : m_desktop);
}

void Pc::UseFiles(tessaro::IFileSystem* files) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_externalFiles = files;
}

tessaro::IFileSystem& Pc::Files() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_externalFiles) return *m_externalFiles;
    if (!m_files) {
        tessaro::FileSystemOptions options;
        options.moduleFileName = m_program;
        options.driveCRoot = DriveC();
        m_files = tessaro::MakeFileSystem(options);
    }
    return *m_files;
}

bool Pc::Desktop(std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_desktopFails) {
        Event("desktop folder query failed");
        return false;
    }
    path = DesktopFolder();
    // The desktop exists on every PC; make sure it does here too.
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
    return true;
}

// --- power scheme ----------------------------------------------------------------------

std::string Pc::ActiveScheme() const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_scheme;
}

int Pc::SchemeActivations() const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_activations;
}

bool Pc::PowerValue(const std::string& scheme, const std::string& subgroup, const std::string& setting,
                    uint32_t* ac, uint32_t* dc) const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = m_power.find(PowerKey(scheme, subgroup, setting));
    PowerSetting value{1, 1};  // USB selective suspend is on unless changed
    if (it != m_power.end()) {
        value = it->second;
    } else {
        const bool knownScheme = Lower(scheme) == m_scheme;
        const bool usb = Lower(subgroup) == kUsbSubgroup && Lower(setting) == kUsbSelectiveSuspend;
        if (!knownScheme || !usb) return false;
    }
    if (ac) *ac = value.ac;
    if (dc) *dc = value.dc;
    return true;
}

uint32_t Pc::Powercfg(const std::vector<std::string>& args, std::string& output) {
    const char* invalid = "Invalid Parameters -- try \"/?\" for help\r\n";
    if (args.empty() || (args[0][0] != '-' && args[0][0] != '/')) {
        output = invalid;
        return 1;
    }
    const std::string option = Lower(args[0].substr(1));
    uint32_t error = 0;
    if (SystemFaultHits(SystemFault::Kind::Powercfg, std::string(), option, &error)) {
        output = "An unexpected error condition has occurred.\r\n";
        Event("POWERCFG -" + option + " failed");
        return error ? error : 1;
    }
    if (option == "getactivescheme") {
        output = "Power Scheme GUID: " + m_scheme + "  (" + m_schemeName + ")\r\n";
        return 0;
    }
    const bool knownScheme = args.size() > 1 && Lower(args[1]) == m_scheme;
    if (option == "setacvalueindex" || option == "setdcvalueindex") {
        uint32_t value = 0;
        if (args.size() != 5 || !ParsePowerValue(args[4], value)) {
            output = invalid;
            return 1;
        }
        uint32_t ac = 0, dc = 0;
        if (!knownScheme || !PowerValue(args[1], args[2], args[3], &ac, &dc)) {
            output = "The power scheme, subgroup or setting specified does not exist.\r\n";
            return 1;
        }
        PowerSetting& s = m_power[PowerKey(args[1], args[2], args[3])];
        s = PowerSetting{ac, dc};
        (option == "setacvalueindex" ? s.ac : s.dc) = value;
        Event(std::string("power scheme ") + (option == "setacvalueindex" ? "AC" : "DC") + " value " +
              Lower(args[3]) + " = " + std::to_string(value));
        return 0;
    }
    if (option == "setactive") {
        if (args.size() != 2 || !knownScheme) {
            output = "The power scheme, subgroup or setting specified does not exist.\r\n";
            return 1;
        }
        ++m_activations;
        Event("power scheme " + m_scheme + " made active");
        return 0;
    }
    output = invalid;
    return 1;
}

// --- programs ------------------------------------------------------------------------------

uint32_t Pc::RunCmd(const std::string& parameters, std::string& note) {
    if (Lower(parameters.substr(0, 3)) != "/c ") {
        note = "cmd.exe without /c";
        return 0;
    }
    std::vector<std::string> words = Words(parameters.substr(3));
    std::string redirect;
    for (size_t i = 0; i < words.size(); ++i) {
        if (words[i][0] != '>') continue;
        redirect = words[i].size() > 1 ? words[i].substr(1) : (i + 1 < words.size() ? words[i + 1] : "");
        words.erase(words.begin() + static_cast<long>(i), words.end());
        break;
    }
    std::string output;
    uint32_t code = 1;
    if (!words.empty() && (Lower(words[0]) == "powercfg" || Lower(words[0]) == "powercfg.exe")) {
        code = Powercfg(std::vector<std::string>(words.begin() + 1, words.end()), output);
    } else {
        note = "'" + (words.empty() ? std::string() : words[0]) + "' is not recognized as a command";
        code = 1;
    }
    if (!redirect.empty()) {
        // The command interpreter creates the file before the command runs.
        uint32_t error = 0;
        if (!Files().WriteAll(redirect, output.data(), output.size(), error))
            note += (note.empty() ? "" : "; ") + std::string("cannot write ") + redirect;
    }
    if (note.empty()) note = code == 0 ? "POWERCFG done" : "POWERCFG failed: " + output;
    return code;
}

uint32_t Pc::RunPwrsusp(const std::string& parameters, std::string& note) {
    const std::vector<std::string> args = Words(parameters);
    if (args.size() != 1) {
        note = "pwrsusp: wrong argument count";
        return 0xFFFFFFFF;
    }
    const int value = std::atoi(args[0].c_str());
    std::string output;
    Powercfg({"-GETACTIVESCHEME"}, output);
    const size_t at = output.find("GUID");
    if (at == std::string::npos || output.size() < at + 6 + 36) {
        note = "pwrsusp: invalid power scheme string";
        return 0xFFFFFFFF;
    }
    const std::string scheme = output.substr(at + 6, 36);
    Powercfg({"-SETACVALUEINDEX", scheme, kUsbSubgroup, kUsbSelectiveSuspend, std::to_string(value)}, output);
    Powercfg({"-SETDCVALUEINDEX", scheme, kUsbSubgroup, kUsbSelectiveSuspend, std::to_string(value)}, output);
    Powercfg({"-SETACTIVE", scheme}, output);
    note = "pwrsusp: USB selective suspend " + std::to_string(value);
    return 0;
}

uint32_t Pc::RunSetup(const tessaro::ShellStart& start, std::string& note) {
    const std::string& p = start.parameters;
    const std::string lower = Lower(p);
    const size_t quote = p.find('"');
    const bool wellFormed = lower.rfind("/w /s /f1\"", 0) == 0 && p.size() > 11 && p.back() == '"' &&
                            quote == 9 && p.find('"', quote + 1) == p.size() - 1;
    if (!wellFormed) {
        note = "setup: command line not understood";
        return 1;
    }
    const std::string response = p.substr(quote + 1, p.size() - quote - 2);
    const std::string responseName = Lower(LastComponent(response));
    const bool install = responseName == "install.iss";
    if (!install && responseName != "uninstall.iss") {
        note = "setup: unknown response file " + response;
        return 1;
    }
    if (!Files().Exists(response)) {
        note = "setup: response file " + response + " missing";
        return 0xFFFFFFFD;  // InstallShield's "no response file"
    }
    const SetupOutcome& outcome = install ? m_install : m_uninstall;
    Seed();
    if (outcome.succeeds) {
        if (install) {
            std::string version = m_driverVersion;
            const std::string title = LastComponent(start.file);
            const size_t v = Lower(title).find("_v");
            const size_t dot = Lower(title).rfind(".exe");
            if (v != std::string::npos && dot != std::string::npos && dot > v + 2)
                version = title.substr(v + 2, dot - v - 2);
            m_installed = true;
            m_registry.CreatePath(DriverKeyPath() + "\\" + version);
            note = "setup: filter driver " + version + " installed";
        } else {
            m_installed = false;
            m_registry.DeletePath(DriverKeyPath());
            note = "setup: filter driver removed";
        }
    } else {
        note = std::string("setup: ") + (install ? "install" : "uninstall") + " failed";
    }
    if (outcome.writesLog) {
        std::string text = outcome.logText;
        if (text.empty())
            text = outcome.succeeds ? "DIFXCMD: driver package processed.\r\nVXI-SUCCESS\r\n"
                                    : "DIFXCMD: driver package could not be processed (0xE000020B).\r\n";
        uint32_t error = 0;
        if (!Files().WriteAll(kDifxLog, text.data(), text.size(), error)) note += "; cannot write the log";
    }
    return outcome.exitCode;
}

bool Pc::Start(const tessaro::ShellStart& start, intptr_t* instApp, uintptr_t* proc) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    ProcessStart record;
    record.start = start;
    record.timeMs = Clock().NowMs();
    if (instApp) *instApp = 0;
    if (proc) *proc = 0;
    const std::string name = Lower(LastComponent(start.file));
    uint32_t error = 0;
    auto refuse = [&](uint32_t code, const std::string& why) {
        record.ok = false;
        record.instApp = static_cast<intptr_t>(code <= 32 ? code : 31);
        record.note = why;
        if (instApp) *instApp = record.instApp;
        m_starts.push_back(record);
        Event("start of " + start.file + " " + start.parameters + " failed: " + why);
        tessaro::SetLastError(code);
        return false;
    };
    if (SystemFaultHits(SystemFault::Kind::Start, name, start.parameters, &error))
        return refuse(error, "fault");

    uint32_t exitCode = 0;
    uint64_t runMs = 0;
    if (name == "cmd.exe") {
        exitCode = RunCmd(start.parameters, record.note);
        if (Lower(start.parameters).find("powercfg") != std::string::npos) runMs = m_powercfgMs;
    } else if (name == "pwrsusp.exe") {
        exitCode = RunPwrsusp(start.parameters, record.note);
        runMs = 4 * static_cast<uint64_t>(m_powercfgMs);  // the query and three settings
    } else if (Wildcard("vxusbflt_setup_v*.exe", name.c_str())) {
        exitCode = RunSetup(start, record.note);
        runMs = m_setupMs;
    } else if (name == "notepad.exe") {
        record.note = "Notepad shows " + start.parameters;
    } else {
        return refuse(tessaro::win::kErrFileNotFound, "no such program");
    }
    record.ok = true;
    record.instApp = 42;
    record.exitCode = exitCode;
    if (instApp) *instApp = record.instApp;
    if (start.mask & kSeeMaskNoCloseProcess) {
        const uintptr_t h = m_nextProcess++;
        m_processes[h] = RunningProcess{exitCode, Clock().NowMs() + runMs};
        if (proc) *proc = h;
    }
    m_starts.push_back(record);
    Event("started " + start.file + (start.parameters.empty() ? "" : " " + start.parameters) + ": " + record.note);
    return true;
}

int Pc::Wait(uintptr_t proc, uint32_t timeoutMs) {
    uint64_t remaining = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        auto it = m_processes.find(proc);
        if (it == m_processes.end()) {
            tessaro::SetLastError(tessaro::win::kErrInvalidHandle);
            return -1;
        }
        const uint64_t now = Clock().NowMs();
        remaining = it->second.endMs > now ? it->second.endMs - now : 0;
    }
    // The wait itself runs without the PC's lock, so other threads keep
    // talking to the driver meanwhile.
    if (remaining == 0) return 0;
    if (timeoutMs != kInfinite && timeoutMs < remaining) {
        Clock().Sleep(timeoutMs);
        return 1;
    }
    Clock().Sleep(static_cast<uint32_t>(remaining));
    return 0;
}

bool Pc::ExitCode(uintptr_t proc, uint32_t* code) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = m_processes.find(proc);
    if (it == m_processes.end()) {
        tessaro::SetLastError(tessaro::win::kErrInvalidHandle);
        return false;
    }
    if (code) *code = Clock().NowMs() < it->second.endMs ? kStillActive : it->second.exitCode;
    return true;
}

void Pc::CloseProcess(uintptr_t proc) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_processes.erase(proc);
}

// --- restart ------------------------------------------------------------------------------

bool Pc::AdjustPrivilege(bool enable) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    uint32_t error = 0;
    if (SystemFaultHits(SystemFault::Kind::Privilege, std::string(), std::string(), &error)) {
        Event(std::string("shutdown privilege ") + (enable ? "enable" : "disable") + " failed");
        tessaro::SetLastError(error);
        return false;
    }
    m_privilege = enable;
    Event(std::string("shutdown privilege ") + (enable ? "enabled" : "disabled"));
    return true;
}

bool Pc::InitiateShutdown(const char* message, uint32_t timeoutSeconds, bool force, bool reboot) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    uint32_t error = 0;
    if (!m_privilege) error = tessaro::win::kErrPrivilegeNotHeld;
    if (SystemFaultHits(SystemFault::Kind::Shutdown, std::string(), std::string(), &error) || error) {
        Event("shutdown request refused (" + std::to_string(error) + ")");
        tessaro::SetLastError(error);
        return false;
    }
    ++m_restarts;
    Event(std::string(reboot ? "restart" : "shutdown") + " requested in " + std::to_string(timeoutSeconds) + " s" +
          (force ? ", applications forced closed" : "") + (message && *message ? ": " + std::string(message) : ""));
    return true;
}

int Pc::Restarts() const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_restarts;
}

// --- device manager ------------------------------------------------------------------------

void Pc::SetFunctionEnabled(Device& device, size_t function, bool enabled) {
    FunctionState& f = device.m_functions[function];
    if (f.enabled == enabled) return;
    f.enabled = enabled;
    Changed();
}

uintptr_t Pc::ListOpen(const std::string& className, bool presentOnly) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    uint32_t error = 0;
    if (SystemFaultHits(SystemFault::Kind::DeviceList, std::string(), std::string(), &error)) {
        Event("device list of class " + className + " refused");
        tessaro::SetLastError(error);
        return 0;
    }
    std::vector<ListItem> items;
    for (auto& d : m_devices)
        for (size_t i = 0; i < d->m_functions.size(); ++i) {
            const FunctionState& f = d->m_functions[i];
            if (Lower(f.spec.deviceClass) != Lower(className)) continue;
            if (presentOnly && (!d->m_plugged || !f.spec.present)) continue;
            items.push_back(ListItem{d.get(), i, -1});
        }
    const uintptr_t list = m_nextList++;
    m_lists[list] = items;
    return list;
}

bool Pc::ListEnum(uintptr_t list, uint32_t index) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = m_lists.find(list);
    if (it == m_lists.end()) {
        tessaro::SetLastError(tessaro::win::kErrInvalidHandle);
        return false;
    }
    if (index >= it->second.size()) {
        tessaro::SetLastError(tessaro::win::kErrNoMoreItems);
        return false;
    }
    return true;
}

bool Pc::ListHardwareId(uintptr_t list, uint32_t index, std::string& id, uint32_t maxBytes) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = m_lists.find(list);
    if (it == m_lists.end() || index >= it->second.size()) {
        tessaro::SetLastError(tessaro::win::kErrInvalidParameter);
        return false;
    }
    const FunctionState& f = it->second[index].device->m_functions[it->second[index].function];
    if (f.spec.hardwareIdFails) {
        tessaro::SetLastError(f.spec.hardwareIdError);
        return false;
    }
    if (f.spec.hardwareIds.empty()) {
        tessaro::SetLastError(13);  // ERROR_INVALID_DATA: the property is not there
        return false;
    }
    // The property is a list of strings ending in an empty one; it must fit
    // the caller's buffer as a whole.
    size_t need = 1;
    for (const std::string& h : f.spec.hardwareIds) need += h.size() + 1;
    if (need > maxBytes) {
        tessaro::SetLastError(tessaro::win::kErrInsufficientBuffer);
        return false;
    }
    id = f.spec.hardwareIds.front();
    return true;
}

bool Pc::ListSetParams(uintptr_t list, uint32_t index, bool enable) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = m_lists.find(list);
    if (it == m_lists.end() || index >= it->second.size()) {
        tessaro::SetLastError(tessaro::win::kErrInvalidParameter);
        return false;
    }
    it->second[index].pending = enable ? 1 : 0;
    return true;
}

bool Pc::ListChangeState(uintptr_t list, uint32_t index) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = m_lists.find(list);
    if (it == m_lists.end() || index >= it->second.size() || it->second[index].pending < 0) {
        tessaro::SetLastError(tessaro::win::kErrInvalidParameter);
        return false;
    }
    ListItem& item = it->second[index];
    const bool enable = item.pending == 1;
    SetFunctionEnabled(*item.device, item.function, enable);
    const FunctionState& f = item.device->m_functions[item.function];
    Event(std::string(enable ? "enabled " : "disabled ") + item.device->Name() + " " +
          (f.spec.hardwareIds.empty() ? std::string() : f.spec.hardwareIds.front()));
    return true;
}

void Pc::ListClose(uintptr_t list) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_lists.erase(list);
}

}  // namespace bench
