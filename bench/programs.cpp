// Programs started through the shell (POWERCFG through cmd.exe, the suspend
// helper, the driver setup program, Notepad) and restarts of the PC.
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

constexpr uint32_t kStillActive = 259;
constexpr uint32_t kInfinite = 0xFFFFFFFF;
constexpr uint32_t kSeeMaskNoCloseProcess = 0x40;
constexpr const char* kDifxLog = "c:\\difxcmd.log";

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

}  // namespace

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

}  // namespace bench
