#include "power/DriverSetup.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/ports.h"
#include "platform/winconst.h"
#include "power/Programs.h"
#include "settings/CRegistry.h"
#include "settings/DebugLog.h"

using tessaro::Sys;
namespace win = tessaro::win;

namespace {

constexpr const char* kDialogCaption = "USB3.0 Hub Update Tool";
constexpr const char* kSetupPattern = "VXUSBFLT_SETUP_V*.exe";
constexpr uint32_t kErrorBox = win::kMbSystemModal | win::kMbIconError;

void ConsoleLine(const std::string& text) { Sys().console->Write(text + "\n"); }

// Missing files are no failure of a delete that only clears the way.
bool DeleteIfPresent(const char* path, uint32_t& error) {
    error = 0;
    if (Sys().files->Delete(path, error)) return true;
    return error == win::kErrFileNotFound || error == win::kErrPathNotFound;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

// Up to four characters after a mark in a hardware ID ("" without the mark).
std::string After(const std::string& id, const char* mark) {
    const size_t at = id.find(mark);
    if (at == std::string::npos) return std::string();
    return id.substr(at + std::strlen(mark), 4);
}

int CheckVersion(DriverSetupState& state, IUpdateDialogSink* dialog) {
    const std::string pattern = power::JoinPath(state.programFolder, kSetupPattern);
    state.installedVersion.clear();

    const bool is64 = Is64BitOs();
    DebugLog(is64 ? "64 bit OS.\n" : "32 bit OS.\n");
    {
        CRegistry reg(win::kKeyAllAccess);
        std::string name;
        if (reg.SetPath(FilterDriverKey(is64), win::kKeyAllAccess) && reg.GetFirstSubKey(name))
            state.installedVersion = name;
    }

    const std::vector<std::string> found = Sys().files->Find(pattern);
    if (found.empty()) {
        if (dialog) {
            dialog->ShowBox("driver file is missing!", "ERROR", kErrorBox);
            DebugLog("Couldn't find driver package!\n");
            dialog->Close();
        } else {
            ConsoleLine("ERROR! driver file is missing!");
            DebugLog("Couldn't find driver package!\n");
            WriteResultLog(Fail);
        }
        return kDriverPackageMissing;
    }
    state.setupFile = power::JoinPath(state.programFolder, found.front());
    const size_t dot = found.front().rfind('.');
    const std::string title = dot == std::string::npos ? found.front() : found.front().substr(0, dot);

    if (state.installedVersion.empty()) return kDriverNotInstalled;
    const float installed = InstalledDriverNumber(state.installedVersion);
    float package = 0;
    if (!PackageDriverNumber(title, package)) {
        DebugLog("illegal filter driver name! %s.\n", title.c_str());
        return kDriverCurrent;
    }
    DebugLog("iRegDriverVersion = %f.\n", static_cast<double>(installed));
    DebugLog("iExeDriverVersion = %f.\n", static_cast<double>(package));
    return installed >= package ? kDriverCurrent : kDriverOlder;
}

void OpenLogInNotepad() {
    tessaro::ShellStart start;
    start.verb = "open";
    start.file = power::SystemProgram("notepad.exe");
    start.parameters = kSetupLogFile;
    start.directory = Sys().process->SystemDirectory();
    start.show = win::kSwShowNormal;
    if (start.file.empty()) {
        DebugLog("System folder unknown: notepad.exe not started\n");
        return;
    }
    power::ProgramRun run = power::StartProgram(start, false, 0, false);
    if (!run.started) DebugLog("ShellExecuteEx notepad.exe failed, %u (%d)\n", run.error, static_cast<int>(run.instApp));
}

void RunSetup(DriverSetupState& state, IUpdateDialogSink* dialog) {
    const bool install = state.direction == kSetupInstall;
    // The response file's path is the folder as held (with its trailing
    // backslash), one more backslash and the file name; Windows reads the
    // doubled separator as one.
    const std::string parameters = "/w /s /f1\"" + state.programFolder + "\\" +
                                   (install ? "install.iss" : "uninstall.iss") + "\"";
    const char* failedLine = install ? "ERROR!! install filter driver failed!" : "ERROR!! uninstall filter driver failed!";
    const char* failedStatus = install ? "Install filter driver fail!" : "Uninstall filter driver fail!";
    const char* noLog = "Process driver data fail!\n\nPlease restart your PC and try again.";

    if (dialog) {
        dialog->SetStatus(install ? "Install filter driver, it will take a while..."
                                  : "Uninstall filter driver, it will take a while...");
    } else {
        state.driverReady = 0;
        ConsoleLine(install ? "Installing filter driver, please wait..." : "Uninstalling filter driver, please wait...");
    }

    auto logUnusable = [&]() {
        if (dialog) {
            dialog->ShowBox(noLog, kDialogCaption, kErrorBox);
            DebugLog("%s\n", noLog);
            dialog->SetStatus("Process driver data fail!");
            dialog->Close();
        } else {
            ConsoleLine(noLog);
            DebugLog("find no difxcmd.log\n");
            WriteResultLog(Fail);
        }
    };
    auto setupFailed = [&]() {
        if (dialog) {
            dialog->ShowBox(install ? "Install Filter driver fail!" : "Uninstall Filter driver fail!", kDialogCaption,
                            kErrorBox);
            dialog->SetStatus(failedStatus);
            dialog->StopProgressTimer();
            dialog->SetProgress(100);
            dialog->Close();
        } else {
            ConsoleLine(failedLine);
            WriteResultLog(Fail);
        }
        if (Sys().files->Exists(kSetupLogFile)) OpenLogInNotepad();
    };

    // A log left by an earlier run must never pass for this one.
    uint32_t error = 0;
    if (!DeleteIfPresent(kSetupLogFile, error)) {
        DebugLog("Cannot delete %s, %u\n", kSetupLogFile, error);
        logUnusable();
        return;
    }

    tessaro::ShellStart start;
    start.verb = "open";
    start.file = state.setupFile;
    start.parameters = parameters;
    start.directory = state.programFolder;
    start.show = win::kSwHide;
    start.mask = win::kSeeMaskNoCloseProcess;
    power::ProgramRun run;
    if (!start.file.empty()) run = power::StartProgram(start, true, kSetupTimeoutMs, true);
    if (!run.started || !run.hadHandle) {
        DebugLog("ShellExecuteEx %s %s failed, %u (%d)\n", start.file.c_str(), parameters.c_str(), run.error,
                 static_cast<int>(run.instApp));
        if (dialog) {
            dialog->ShowBox(install ? "Filter driver install failed!\nCannot launch driver package."
                                    : "Filter driver uninstall failed!\nCannot launch driver package.",
                            kDialogCaption, kErrorBox);
            dialog->SetStatus(failedStatus);
            dialog->Close();
        } else {
            ConsoleLine(failedLine);
            WriteResultLog(Fail);
        }
        return;
    }
    if (dialog) {
        dialog->StopProgressTimer();
        dialog->SetProgress(100);
    }
    if (run.waited != 0) {
        if (run.waited == 1)
            DebugLog("The setup program did not end within %u s\n", kSetupTimeoutMs / 1000);
        else
            DebugLog("Wait for the setup program failed, %u\n", run.error);
        setupFailed();
        return;
    }

    std::vector<uint8_t> bytes;
    if (!Sys().files->ReadAll(kSetupLogFile, bytes, error)) {
        logUnusable();
        return;
    }
    const std::string log(bytes.begin(), bytes.end());
    if (log.find(kSetupSuccessMarker) == std::string::npos) {
        setupFailed();
        return;
    }

    if (!Sys().files->Delete(kSetupLogFile, error)) {
        DebugLog("Cannot delete %s, %u\n", kSetupLogFile, error);
        if (dialog) {
            tessaro::SetLastError(error);
            ShowLastError();
        } else {
            // Nothing may wait for a click in an unattended run.
            ConsoleLine(Format("Cannot delete %s: %s", kSetupLogFile, Sys().errors->Text(error).c_str()));
        }
    }

    const std::string finished = "Filter driver installation finished! Preparing for FW update";
    if (!dialog) {
        state.driverReady = 1;
        ConsoleLine(install ? finished + "." : std::string("Filter driver is uninstalled!"));
        for (int dot = 1; dot <= 20; ++dot) {
            Sys().clock->Sleep(1000);
            Sys().console->Write(dot == 20 ? ".\n" : ".");
        }
        return;
    }
    if (install) {
        dialog->SetStatus(finished + ".");
        Sys().clock->Sleep(1000);
        dialog->SetStatus(finished + "...");
        Sys().clock->Sleep(1000);
        dialog->SetStatus(finished + ".....");
        Sys().clock->Sleep(1000);
        dialog->PostStartUpdate();
        return;
    }
    dialog->SetStatus("Filter driver is uninstalled!");
    dialog->ShowBox(
        "Your computer will be restarted after uninstall driver.\nPlease unplug USB cable & Power Adapter,\n"
        "and re-plug them to hub device after restart.",
        kDialogCaption, win::kMbSystemModal | win::kMbIconInformation);
    if (!RebootSystem()) dialog->ShowBox("System shutdown ERROR!", kDialogCaption, kErrorBox);
    dialog->MarkRestartEnding();
    dialog->Close();
}

int FindHub(IUpdateDialogSink* dialog, std::string* vid, std::string* pid, std::string* revision) {
    static const char* const kConsoleIds[] = {"vid_2c7e&pid_0b40", "vid_2c7e&pid_0b42", "vid_2c7e&pid_0b47",
                                              "vid_8564&pid_4000"};
    static const char* const kDialogIds[] = {"vid_2c7e&pid_0b40", "vid_2c7e&pid_0b42", "vid_8564&pid_4000"};
    const char* const kHighSpeedFunction = "vid_2c7e&pid_0b40&rev_3298";

    tessaro::IDeviceList& devices = *Sys().devices;
    const tessaro::IDeviceList::List list = devices.Open("usb", true);
    uint32_t endError = list ? 0 : tessaro::LastError();
    uint32_t index = 0;
    if (list) {
        for (;; ++index) {
            if (!devices.Enum(list, index)) {
                endError = tessaro::LastError();
                break;
            }
            std::string id;
            // A device whose ID cannot be read is passed over; the hub may come later.
            if (!devices.HardwareId(list, index, id, 260)) {
                DebugLog("SetupDiGetDeviceRegistryProperty ERROR! %d\n", static_cast<int>(tessaro::LastError()));
                continue;
            }
            id = Lower(id);
            if (id.find(kHighSpeedFunction) != std::string::npos) {
                if (!dialog) DebugLog("skip 2.0 hub: %s\n", id.c_str());
                continue;
            }
            bool match = false;
            if (dialog) {
                for (const char* want : kDialogIds) match = match || id.find(want) != std::string::npos;
            } else {
                for (const char* want : kConsoleIds) match = match || id.find(want) != std::string::npos;
            }
            if (!match) continue;
            const std::string rev = After(id, "rev_");
            if (dialog) {
                DebugLog("Hub is found!\n");
                if (id.find("rev_") != std::string::npos) dialog->SetFirmwareVersionField(rev);
            } else {
                DebugLog("Hub is found! Hardware ID: %s\n", id.c_str());
                *vid = After(id, "vid_");
                *pid = After(id, "pid_");
                if (id.find("rev_") != std::string::npos) *revision = rev;
                ConsoleLine("\nUSB3.0 Hub is found.");
            }
            devices.Close(list);
            return 1;
        }
    }
    DebugLog("SetupDiEnumDeviceInfo ERROR! i=%d, (%d)\n", static_cast<int>(index), static_cast<int>(endError));
    if (list) devices.Close(list);
    if (!dialog) ConsoleLine("\nERROR!! Can't find USB3.0 Hub!");
    return 0;
}

}  // namespace

bool Is64BitOs() {
    tessaro::IRegistry& reg = *Sys().registry;
    tessaro::IRegistry::Key key = 0;
    if (reg.Open(win::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", win::kKeyRead, &key) != 0)
        return false;
    char text[257] = {};
    uint32_t type = 0, size = 256;
    const long rc = reg.QueryValue(key, "BuildLabEx", &type, reinterpret_cast<uint8_t*>(text), &size);
    reg.Close(key);
    if (rc != 0) return false;
    text[size < 256 ? size : 256] = '\0';
    return std::strstr(text, "amd64") != nullptr;
}

std::string FilterDriverKey(bool is64) {
    return is64 ? "SOFTWARE\\Wow6432Node\\Varnel Logic\\Varnel Logic Generic USB Class Filter Driver"
                : "SOFTWARE\\Varnel Logic\\Varnel Logic Generic USB Class Filter Driver";
}

long GetFilterDriverVersion(float* version, int showBox) {
    const bool is64 = Is64BitOs();
    DebugLog(is64 ? "64 bit OS.\n" : "32 bit OS.\n");
    tessaro::IRegistry& reg = *Sys().registry;
    tessaro::IRegistry::Key key = 0;
    long rc = reg.Open(win::kHkeyLocalMachine, FilterDriverKey(is64), win::kKeyAllAccess, &key);
    char name[20] = {};
    uint32_t size = sizeof name;
    if (rc == 0) {
        rc = reg.EnumKey(key, 0, name, &size);
        reg.Close(key);
    }
    if (rc == 0) {
        const std::string text(name, size < sizeof name ? size : sizeof name - 1);
        DebugLog("achKey %s", text.c_str());
        if (version) *version = static_cast<float>(std::atof(text.substr(0, 4).c_str()));
        return 0;
    }
    // The code the registry call returned, not whatever the thread saw last.
    const std::string reason = Sys().errors->Text(static_cast<uint32_t>(rc));
    if (showBox == 1) Sys().box->Show(reason, "Error", kErrorBox);
    DebugLog("GetFilterDriverVersion, %s", reason.c_str());
    return rc;
}

int RequireFilterDriverVersion(std::string& failure) {
    float version = 0;
    if (GetFilterDriverVersion(&version, 1) != 0) {
        failure = "Cannot identify filter driver version!";
        return 0;
    }
    if (version < kMinimumDriverVersion) {
        DebugLog("current driver ver %f, threshold version %f.", static_cast<double>(version),
                 static_cast<double>(kMinimumDriverVersion));
        failure = Format(
            "Please update driver to latest version before running this program.\n\nCurrent installed driver version "
            "is v%f",
            static_cast<double>(version));
        return 0;
    }
    return 1;
}

float InstalledDriverNumber(const std::string& text) {
    std::string number = text;
    const std::string last = number.size() < 4 ? number : number.substr(number.size() - 4);
    if (std::atoi(last.c_str()) > 0 && number.size() > 4) number.erase(4, 1);
    return static_cast<float>(std::atof(number.c_str()));
}

bool PackageDriverNumber(const std::string& title, float& number) {
    size_t mark = title.find("_v");
    if (mark == std::string::npos) mark = title.find("_V");
    if (mark == std::string::npos) return false;
    const std::string text = title.substr(mark + 2);
    if (text.size() <= 4) {
        number = static_cast<float>(std::atof(text.c_str()));
        return true;
    }
    // "1.0.8" is 1.0008: the part after the last dot becomes four digits
    // behind the one before.
    std::string digits;
    for (char c : text)
        if (c >= '.' && c <= '9') digits.push_back(c);
    const size_t dot = digits.rfind('.');
    if (dot != std::string::npos) {
        digits.insert(dot + 1, "00");
        digits.erase(dot, 1);
    }
    number = static_cast<float>(std::atof(digits.c_str()));
    return true;
}

int CheckDriverVersion(DriverSetupState& state) { return CheckVersion(state, nullptr); }

int CheckDriverVersion(DriverSetupState& state, IUpdateDialogSink& dialog) { return CheckVersion(state, &dialog); }

void RunDriverSetup(DriverSetupState& state) { RunSetup(state, nullptr); }

void RunDriverSetup(DriverSetupState& state, IUpdateDialogSink& dialog) { RunSetup(state, &dialog); }

int FindHubHardwareId(std::string& vid, std::string& pid, std::string& revision) {
    vid.clear();
    pid.clear();
    revision.clear();
    return FindHub(nullptr, &vid, &pid, &revision);
}

int FindHubHardwareId(IUpdateDialogSink& dialog) { return FindHub(&dialog, nullptr, nullptr, nullptr); }

int RebootSystem(const char* message) {
    tessaro::IShutdown& shutdown = *Sys().shutdown;
    if (!shutdown.AdjustShutdownPrivilege(true)) {
        DebugLog("AdjustTokenPrivileges ERROR! %u\n", tessaro::LastError());
        return 0;
    }
    if (!shutdown.InitiateShutdown(message, 5, false, true)) {
        const uint32_t error = tessaro::LastError();
        DebugLog("InitiateSystemShutdown ERROR! %u\n", error);
        shutdown.AdjustShutdownPrivilege(false);
        tessaro::SetLastError(error);
        return 0;
    }
    shutdown.AdjustShutdownPrivilege(false);
    return 1;
}
