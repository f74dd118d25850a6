#include "power/PowerPlan.h"

#include <cctype>
#include <vector>

#include "platform/ports.h"
#include "platform/winconst.h"
#include "power/Programs.h"
#include "settings/CIniFile.h"
#include "settings/DebugLog.h"

using tessaro::Sys;
namespace win = tessaro::win;

namespace {

// The answer of the active-scheme query is only examined this far.
constexpr size_t kAnswerExamined = 99;

void Report(const std::string& text, int silent) {
    DebugLog("%s\n", text.c_str());
    if (!silent) Sys().box->Show(text, "Quillon", win::kMbSystemModal | win::kMbIconError);
}

enum class Outcome { Done, NotStarted, NotEnded, Refused };

// Runs "cmd.exe <parameters>" hidden, from the system folder.  Where the shell
// gives the process, its end is awaited (within kPowercfgTimeoutMs) instead of
// the fixed wait, and with checkExit a non-zero exit code counts as refused.
Outcome RunCommand(const std::string& parameters, uint32_t fixedWaitMs, bool checkExit, bool* waitedForEnd) {
    tessaro::ShellStart start;
    start.verb = "open";
    start.file = power::SystemProgram("cmd.exe");
    start.parameters = parameters;
    start.directory = Sys().process->SystemDirectory();
    start.show = win::kSwHide;
    start.mask = win::kSeeMaskNoCloseProcess | win::kSeeMaskFlagDdeWait;
    if (waitedForEnd) *waitedForEnd = false;
    if (start.file.empty()) {
        DebugLog("System folder unknown: cmd.exe not started\n");
        return Outcome::NotStarted;
    }
    power::ProgramRun run = power::StartProgram(start, true, kPowercfgTimeoutMs, false);
    if (!run.started) {
        DebugLog("ShellExecuteEx cmd.exe %s failed, %u (%d)\n", parameters.c_str(), run.error,
                 static_cast<int>(run.instApp));
        return Outcome::NotStarted;
    }
    if (!run.hadHandle) {
        Sys().clock->Sleep(fixedWaitMs);
        return Outcome::Done;
    }
    if (run.waited != 0) {
        if (run.waited == 1)
            DebugLog("cmd.exe %s did not end within %u ms\n", parameters.c_str(), kPowercfgTimeoutMs);
        else
            DebugLog("Wait for cmd.exe %s failed, %u\n", parameters.c_str(), run.error);
        return Outcome::NotEnded;
    }
    if (waitedForEnd) *waitedForEnd = true;
    if (checkExit && run.haveExitCode && run.exitCode != 0) {
        DebugLog("cmd.exe %s ended with %u\n", parameters.c_str(), run.exitCode);
        return Outcome::Refused;
    }
    return Outcome::Done;
}

bool ReadAnswer(std::string& text) {
    std::vector<uint8_t> bytes;
    uint32_t error = 0;
    if (!Sys().files->ReadAll(kPowerPlanFile, bytes, error)) return false;
    size_t n = 0;
    while (n < bytes.size() && n < kAnswerExamined && bytes[n]) ++n;
    text.assign(reinterpret_cast<const char*>(bytes.data()), n);
    return true;
}

}  // namespace

const char* SuspendMethodName(SuspendMethod method) {
    switch (method) {
        case SuspendMethod::PowerPlan: return "power plan";
        case SuspendMethod::PerDevice: return "per device";
        default: return "none";
    }
}

SuspendMethod ChooseSuspendMethod(const std::string& setting, uint32_t major, uint32_t minor) {
    const bool windows8 = major == 6 && minor >= 2;
    if (setting.empty() || setting == "1") return windows8 ? SuspendMethod::PowerPlan : SuspendMethod::PerDevice;
    if (setting == "2") return SuspendMethod::PerDevice;
    if (setting == "3") return SuspendMethod::PowerPlan;
    return SuspendMethod::None;
}

SuspendMethod CurrentSuspendMethod() {
    std::string setting;
    CIniFile ini;
    std::string path;
    if (ini.FindIniFile(path)) {
        ini.SetFileName(path);
        setting = ini.GetString("DisableSelectiveSuspend", "VX7100");
    }
    tessaro::OsVersionInfoEx info{};
    info.dwOSVersionInfoSize = sizeof info;
    uint32_t major = 0, minor = 0;
    if (Sys().os->GetVersionEx(&info)) {
        major = info.dwMajorVersion;
        minor = info.dwMinorVersion;
    } else {
        DebugLog("GetVersionEx ERROR! %u\n", tessaro::LastError());
    }
    DebugLog("MajorVersion %d, MinorVersion %d.\n", static_cast<int>(major), static_cast<int>(minor));
    return ChooseSuspendMethod(setting, major, minor);
}

bool IsSchemeGuid(const std::string& text) {
    if (text.size() != 36) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-') return false;
        } else if (!std::isxdigit(c)) {
            return false;
        }
    }
    return true;
}

bool SchemeGuidFromAnswer(const std::string& answer, std::string& guid) {
    std::string examined = answer.substr(0, kAnswerExamined);
    examined = examined.substr(0, examined.find('\0'));
    const size_t mark = examined.find("GUID:");
    if (mark == std::string::npos || mark + 6 + 36 > examined.size()) return false;
    std::string candidate = examined.substr(mark + 6, 36);
    if (!IsSchemeGuid(candidate)) return false;
    guid = candidate;
    return true;
}

int ChangePowerPlanUsbSelectiveSuspend(int value, int silent) {
    // An answer left by an earlier query must never choose the scheme.
    uint32_t error = 0;
    if (!Sys().files->Delete(kPowerPlanFile, error) && error != win::kErrFileNotFound &&
        error != win::kErrPathNotFound) {
        DebugLog("Cannot delete %s, %u\n", kPowerPlanFile, error);
        Report("Powercfg GETACTIVESCHEME ERROR!", silent);
        return 0;
    }
    bool waited = false;
    if (RunCommand(std::string("/c POWERCFG -GETACTIVESCHEME > ") + kPowerPlanFile, 300, false, &waited) !=
        Outcome::Done) {
        Report("Powercfg GETACTIVESCHEME ERROR!", silent);
        return 0;
    }
    std::string answer;
    bool read = ReadAnswer(answer);
    for (int retry = 1; !read && retry <= 3; ++retry) {
        DebugLog("re-try read power plan file (%d)\n", retry);
        Sys().clock->Sleep(300);
        read = ReadAnswer(answer);
    }
    if (!read) {
        Report("Open power plan file ERROR!", silent);
        return 0;
    }
    if (!waited) {
        // Without the command's end to wait for, give it time to finish writing.
        Sys().clock->Sleep(300);
        ReadAnswer(answer);
    }
    std::string scheme;
    if (!SchemeGuidFromAnswer(answer, scheme)) {
        Report("Power plan file format ERROR!", silent);
        return 0;
    }
    const std::string setting = Format("%s %s %s %03d", scheme.c_str(), kUsbSettingsSubgroup,
                                       kUsbSelectiveSuspendSetting, value);
    if (RunCommand("/c POWERCFG -SetAcValueIndex " + setting, 300, true, nullptr) != Outcome::Done) {
        Report("Powercfg SetAcValueIndex ERROR!", silent);
        return 0;
    }
    if (RunCommand("/c POWERCFG -SETDCVALUEINDEX " + setting, 300, true, nullptr) != Outcome::Done) {
        Report("Powercfg SetDcValueIndex ERROR!", silent);
        return 0;
    }
    if (RunCommand("/c POWERCFG -SETACTIVE " + scheme, 1200, true, nullptr) != Outcome::Done) {
        Report("Powercfg SetActive ERROR!", silent);
        return 0;
    }
    return 1;
}

int LaunchSuspendHelper(int value, const std::string& programFolder) {
    tessaro::OsVersionInfoEx info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!Sys().os->GetVersionEx(&info)) info.dwMajorVersion = 0;
    if (info.dwMajorVersion != 6) return 1;
    const std::string folder = programFolder.empty() ? CIniFile::ProgramFolder() : programFolder;
    tessaro::ShellStart start;
    start.verb = "open";
    start.file = power::JoinPath(folder, "pwrsusp.exe");
    start.parameters = Format("%d", value & 0xFF);
    // The helper runs as administrator: it starts in the system folder, so
    // that nothing it looks for in its current folder can be a planted file.
    start.directory = Sys().process->SystemDirectory();
    if (start.directory.empty()) {
        DebugLog("System folder unknown: pwrsusp.exe not started\n");
        return 0;
    }
    start.show = win::kSwHide;
    start.mask = win::kSeeMaskNoCloseProcess | win::kSeeMaskFlagDdeWait;
    power::ProgramRun run = power::StartProgram(start, false, 0, false);
    if (!run.started) {
        DebugLog("ShellExecuteEx pwrsusp.exe %s failed, %u (%d)\n", start.parameters.c_str(), run.error,
                 static_cast<int>(run.instApp));
        return 0;
    }
    return 1;
}
