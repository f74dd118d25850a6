// The system around the filter driver: settings, registry, the desktop
// folder and the power scheme.  Programs started through the shell live in
// programs.cpp, the device manager in device_manager.cpp.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bench/adapters.h"
#include "bench/pc.h"
#include "bench/text.h"
#include "platform/native.h"
#include "platform/winconst.h"

namespace bench {

namespace {

constexpr const char* kEnumRoot = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\";

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

}  // namespace bench
