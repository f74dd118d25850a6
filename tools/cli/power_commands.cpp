// tessaro-cli: the conditions around an update: the filter driver's version
// against the package beside the tool, USB selective suspend by the way the
// INI file and Windows choose, and the hub in the system's device list.
#include <cstdio>
#include <string>
#include <vector>

#include "hub/CHubIsp.h"
#include "power/DriverSetup.h"
#include "power/PowerPlan.h"
#include "settings/CIniFile.h"
#include "tools/cli/cli.h"
#include "tools/cli/output.h"

namespace {

// The version check's boxes, as lines on standard error; nothing closes.
class CliSink : public IUpdateDialogSink {
public:
    void SetStatus(const std::string&) override {}
    int ShowBox(const std::string& text, const std::string& caption, uint32_t) override {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
        return 1;
    }
    void StopProgressTimer() override {}
    void SetProgress(int) override {}
    void PostStartUpdate() override {}
    void MarkRestartEnding() override {}
    void Close() override {}
    void SetFirmwareVersionField(const std::string&) override {}
};

const char* CheckMeaning(int result) {
    switch (result) {
        case kDriverNotInstalled: return "no driver installed: the package would be installed";
        case kDriverOlder: return "the installed driver is older than the package (it is used as it is)";
        case kDriverCurrent: return "the installed driver is as new as the package, or the package tells no version";
        default: return "no driver package beside the tool";
    }
}

int Driver(cli::Args& args) {
    std::string folder;
    if (!args.Option("--folder", folder)) folder = CIniFile::ProgramFolder();
    if (!args.Rest().empty()) return cli::Fail("driver takes no arguments but --folder DIR");
    const bool is64 = Is64BitOs();
    cli::Say("Windows: %s-bit, driver key HKEY_LOCAL_MACHINE\\%s\n", is64 ? "64" : "32",
                FilterDriverKey(is64).c_str());

    std::string installed, setupFile;
    int direction = kSetupInstall, ready = 0;
    DriverSetupState state{installed, setupFile, direction, ready, folder};
    CliSink sink;
    const int result = CheckDriverVersion(state, sink);
    if (installed.empty())
        cli::Say("installed: none\n");
    else
        cli::Say("installed: %s (compared as %f)\n", installed.c_str(),
                    static_cast<double>(InstalledDriverNumber(installed)));
    if (result == kDriverPackageMissing) {
        cli::Say("package: none in %s\n", folder.c_str());
    } else {
        const size_t slash = setupFile.find_last_of("\\/");
        std::string title = slash == std::string::npos ? setupFile : setupFile.substr(slash + 1);
        title = title.substr(0, title.rfind('.'));
        float number = 0;
        if (PackageDriverNumber(title, number))
            cli::Say("package: %s (version %f)\n", setupFile.c_str(), static_cast<double>(number));
        else
            cli::Say("package: %s (no version in its name)\n", setupFile.c_str());
    }
    cli::Say("check: %d, %s\n", result, CheckMeaning(result));
    cli::Result()["windows_bits"] = is64 ? 64 : 32;
    cli::Result()["installed"] = installed.empty() ? nlohmann::json(nullptr) : nlohmann::json(installed);
    cli::Result()["package"] = result == kDriverPackageMissing ? nlohmann::json(nullptr) : nlohmann::json(setupFile);
    cli::Result()["check"] = result;
    cli::Result()["check_text"] = CheckMeaning(result);
    if (result == kDriverPackageMissing && cli::JsonOutput())
        cli::Result()["error"] = {{"message", "no driver package in " + folder}};
    return result == kDriverPackageMissing ? 1 : 0;
}
TESSARO_CLI_COMMAND("driver", "driver [--folder DIR]       installed filter driver, package version and the check",
                    Driver);

int Suspend(cli::Args& args) {
    long hubOption = -1;
    if (!args.Number("--hub", hubOption, false)) return 1;
    const std::vector<std::string>& rest = args.Rest();
    if (rest.size() != 1 || (rest[0] != "off" && rest[0] != "on")) return cli::Fail("suspend off|on [--hub N]");
    const uint32_t value = rest[0] == "on" ? 1 : 0;

    const SuspendMethod method = CurrentSuspendMethod();
    cli::Say("way: %s\n", SuspendMethodName(method));
    cli::Result()["way"] = SuspendMethodName(method);
    cli::Result()["value"] = value;
    cli::Result()["hubs"] = nlohmann::json::array();
    if (method == SuspendMethod::None) {
        cli::Say("DisableSelectiveSuspend leaves selective suspend as it is\n");
        return 0;
    }
    if (method == SuspendMethod::PowerPlan) {
        if (!ChangePowerPlanUsbSelectiveSuspend(static_cast<int>(value), 1))
            return cli::Fail(value ? "the power plan could not be changed back" : "Selective suspend deactivation failed!");
        cli::Say("power plan: USB selective suspend %s for AC and DC\n", value ? "on" : "off");
        return 0;
    }

    cli::QuietIsp isp;
    unsigned count = 0;
    if (!isp.OpenDevice()) return cli::Fail(isp.m_lasterror);
    if (!isp.GetHubNumber(&count)) return cli::Fail("Get hub number ERROR!");
    isp.CloseDevice();
    int first = 0, last = static_cast<int>(count) - 1;
    if (hubOption >= 0) {
        if (hubOption >= static_cast<long>(count)) return cli::Fail("no hub " + std::to_string(hubOption));
        first = last = static_cast<int>(hubOption);
    }
    for (int hub = first; hub <= last; ++hub) {
        std::vector<std::string> paths;
        if (!isp.GetHubRegistryPaths(hub, &paths))
            return cli::Fail("hub " + std::to_string(hub) + ": Get Instance ID failed! " + isp.m_lasterror);
        if (!isp.SetSelectiveSuspend(hub, &paths, value))
            return cli::Fail("hub " + std::to_string(hub) + ": " +
                             (value ? "Activate selective suspend failed! " : "Deactivate selective suspend failed! ") +
                             isp.m_lasterror);
        cli::Say("hub %d: EnableSelectiveSuspend %u\n", hub, value);
        cli::Result()["hubs"].push_back(hub);
    }
    return 0;
}
TESSARO_CLI_COMMAND("suspend", "suspend off|on [--hub N]    USB selective suspend, the way the INI file and Windows choose",
                    Suspend);

int FindHub(cli::Args& args) {
    if (!args.Rest().empty()) return cli::Fail("find-hub takes no arguments");
    std::string vid, pid, revision;
    std::fflush(stdout);
    if (!FindHubHardwareId(vid, pid, revision)) {
        if (cli::JsonOutput()) cli::Result()["error"] = {{"message", "no hub found in the system's list of USB devices"}};
        return 1;
    }
    cli::Result()["vid"] = vid;
    cli::Result()["pid"] = pid;
    cli::Result()["revision"] = revision.empty() ? nlohmann::json(nullptr) : nlohmann::json(revision);
    cli::Say("VID %s, PID %s, revision %s\n", vid.c_str(), pid.c_str(), revision.empty() ? "-" : revision.c_str());
    return 0;
}
TESSARO_CLI_COMMAND("find-hub", "find-hub                    the hub in the system's list of USB devices", FindHub);

}  // namespace
